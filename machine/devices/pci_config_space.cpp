#include "machine/devices/pci_config_space.h"

#include <algorithm>

namespace vexa::machine {

void PciConfigSpace::addFunction(PciAddress address, const Registers& registers) { functions_[address] = registers; }

PciFunctionGate* PciConfigSpace::addGate(std::unique_ptr<PciFunctionGate> gate) {
    gates_.push_back(std::move(gate));
    return gates_.back().get();
}

bool PciConfigSpace::has(PciAddress address) const {
    if (!functions_.contains(address)) return false;
    return std::none_of(gates_.begin(), gates_.end(),
                        [&](const auto& gate) { return gate->hides(address, *this); });
}

std::vector<PciAddress> PciConfigSpace::functions() const {
    std::vector<PciAddress> addresses;
    for (const auto& [address, registers] : functions_) addresses.push_back(address);
    return addresses;
}

void PciConfigSpace::read(PciAddress address, unsigned offset, std::span<uint8_t> out) const {
    if (!has(address) || offset >= kSize) {
        std::fill(out.begin(), out.end(), 0xFF);
        return;
    }
    const Registers& registers = functions_.at(address);
    const size_t count = std::min(out.size(), kSize - offset);
    std::copy_n(registers.begin() + offset, count, out.begin());
    std::fill(out.begin() + long(count), out.end(), 0xFF);
}

void PciConfigSpace::write(PciAddress address, unsigned offset, std::span<const uint8_t> data) {
    if (!has(address)) return;
    Registers& registers = functions_.at(address);
    for (size_t i = 0; i < data.size() && offset + i < kSize; ++i)
        if (offset + i >= kReadOnlyIdBytes) registers[offset + i] = data[i];
}

uint8_t PciConfigSpace::peekByte(PciAddress address, unsigned offset) const {
    const auto it = functions_.find(address);
    return it == functions_.end() || offset >= kSize ? 0xFF : it->second[offset];
}

} // namespace vexa::machine
