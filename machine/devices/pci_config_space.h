// The configuration space of every PCI function of a simulated machine,
// 4096 bytes each. Registers store what is written, like RAM, except the
// vendor and device id (bytes 0-3), which are read-only. A function that
// is not there reads as all ones and ignores writes, which is how a PCI
// bus answers for an empty slot.
//
// Gates take functions off the bus while a chipset register says so (the
// function-disable bits of Intel south bridges): a hidden function answers
// like an empty slot on every path that reaches configuration space (direct
// accesses, the configuration ports, the PCI Express window) and keeps its
// registers for when it is shown again.
#pragma once

#include "machine/machine.h"

#include <array>
#include <map>
#include <memory>
#include <span>
#include <vector>

namespace vexa::machine {

class PciConfigSpace;

// Decides whether a function is hidden; asked on every access.
class PciFunctionGate {
public:
    virtual ~PciFunctionGate() = default;
    // `space` lets the gate read the register that hides the function
    // (peekByte, which no gate can hide).
    virtual bool hides(PciAddress address, const PciConfigSpace& space) const = 0;
};

class PciConfigSpace {
public:
    static constexpr size_t kSize = 4096;
    using Registers = std::array<uint8_t, kSize>;

    void addFunction(PciAddress address, const Registers& registers);
    // The space owns its gates; the returned pointer stays valid as long
    // as the space does.
    PciFunctionGate* addGate(std::unique_ptr<PciFunctionGate> gate);

    // Whether the function answers now: it is in the image and no gate
    // hides it.
    bool has(PciAddress address) const;
    // Every function of the image, hidden or not.
    std::vector<PciAddress> functions() const;

    // offset + size <= kSize; the caller checks.
    void read(PciAddress address, unsigned offset, std::span<uint8_t> out) const;
    void write(PciAddress address, unsigned offset, std::span<const uint8_t> data);

    // A byte of a function whether a gate hides it or not; 0xFF for a
    // function not in the image or an offset past its space.
    uint8_t peekByte(PciAddress address, unsigned offset) const;

private:
    static constexpr unsigned kReadOnlyIdBytes = 4;
    std::map<PciAddress, Registers> functions_;
    std::vector<std::unique_ptr<PciFunctionGate>> gates_;
};

} // namespace vexa::machine
