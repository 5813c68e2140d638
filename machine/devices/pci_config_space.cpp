#include "machine/devices/pci_config_space.h"

#include <algorithm>

namespace vexa::machine {

void PciConfigSpace::addFunction(PciAddress address, const Registers& registers) { functions_[address] = registers; }

std::vector<PciAddress> PciConfigSpace::functions() const {
    std::vector<PciAddress> addresses;
    for (const auto& [address, registers] : functions_) addresses.push_back(address);
    return addresses;
}

void PciConfigSpace::read(PciAddress address, unsigned offset, std::span<uint8_t> out) const {
    const auto it = functions_.find(address);
    if (it == functions_.end() || offset >= kSize) {
        std::fill(out.begin(), out.end(), 0xFF);
        return;
    }
    const size_t count = std::min(out.size(), kSize - offset);
    std::copy_n(it->second.begin() + offset, count, out.begin());
    std::fill(out.begin() + long(count), out.end(), 0xFF);
}

void PciConfigSpace::write(PciAddress address, unsigned offset, std::span<const uint8_t> data) {
    const auto it = functions_.find(address);
    if (it == functions_.end()) return;
    for (size_t i = 0; i < data.size() && offset + i < kSize; ++i)
        if (offset + i >= kReadOnlyIdBytes) it->second[offset + i] = data[i];
}

} // namespace vexa::machine
