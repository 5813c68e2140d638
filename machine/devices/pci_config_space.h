// The configuration space of every PCI function of a simulated machine,
// 4096 bytes each. Registers store what is written, like RAM, except the
// vendor and device id (bytes 0-3), which are read-only. A function that
// is not there reads as all ones and ignores writes, which is how a PCI
// bus answers for an empty slot.
#pragma once

#include "machine/machine.h"

#include <array>
#include <map>
#include <span>
#include <vector>

namespace vexa::machine {

class PciConfigSpace {
public:
    static constexpr size_t kSize = 4096;
    using Registers = std::array<uint8_t, kSize>;

    void addFunction(PciAddress address, const Registers& registers);
    bool has(PciAddress address) const { return functions_.contains(address); }
    std::vector<PciAddress> functions() const;

    // offset + size <= kSize; the caller checks.
    void read(PciAddress address, unsigned offset, std::span<uint8_t> out) const;
    void write(PciAddress address, unsigned offset, std::span<const uint8_t> data);

private:
    static constexpr unsigned kReadOnlyIdBytes = 4;
    std::map<PciAddress, Registers> functions_;
};

} // namespace vexa::machine
