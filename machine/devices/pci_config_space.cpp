#include "machine/devices/pci_config_space.h"

#include <algorithm>

namespace vexa::machine {

void PciConfigSpace::addFunction(PciAddress address, const Registers& registers) { functions_[address] = registers; }

PciFunctionGate* PciConfigSpace::addGate(std::unique_ptr<PciFunctionGate> gate) {
    gates_.push_back(std::move(gate));
    return gates_.back().get();
}

PciRegisterBlock* PciConfigSpace::addRegisterBlock(std::unique_ptr<PciRegisterBlock> block) {
    blocks_.push_back(std::move(block));
    return blocks_.back().get();
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
    forBlocks(address, offset, count, [&](PciRegisterBlock& block, unsigned from, size_t size) {
        block.read(from, out.subspan(from - offset, size));
    });
}

void PciConfigSpace::write(PciAddress address, unsigned offset, std::span<const uint8_t> data) {
    if (!has(address)) return;
    Registers& registers = functions_.at(address);
    const size_t count = offset < kSize ? std::min(data.size(), kSize - offset) : 0;
    std::vector<bool> answered(count, false);  // bytes a block takes are not stored
    forBlocks(address, offset, count, [&](PciRegisterBlock& block, unsigned from, size_t size) {
        block.write(from, data.subspan(from - offset, size));
        std::fill_n(answered.begin() + (from - offset), size, true);
    });
    for (size_t i = 0; i < count; ++i)
        if (offset + i >= kReadOnlyIdBytes && !answered[i]) registers[offset + i] = data[i];
}

void PciConfigSpace::forBlocks(PciAddress address, unsigned offset, size_t count,
                               const std::function<void(PciRegisterBlock&, unsigned, size_t)>& visit) const {
    if (count == 0) return;
    const unsigned last = unsigned(offset + count - 1);
    for (const auto& block : blocks_) {
        if (block->function() != address || block->last() < offset || block->first() > last) continue;
        const unsigned from = std::max(offset, block->first());
        visit(*block, from, std::min(last, block->last()) - from + 1);
    }
}

uint8_t PciConfigSpace::peekByte(PciAddress address, unsigned offset) const {
    const auto it = functions_.find(address);
    return it == functions_.end() || offset >= kSize ? 0xFF : it->second[offset];
}

} // namespace vexa::machine
