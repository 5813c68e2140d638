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
//
// Register blocks put a device model behind some registers of a function
// (the SMBus engines of memory controllers): accesses of those registers
// reach the model in place of the stored bytes, on every path.
#pragma once

#include "machine/machine.h"

#include <array>
#include <functional>
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

// Registers [first, last] of one function that a device model answers.
class PciRegisterBlock {
public:
    virtual ~PciRegisterBlock() = default;
    virtual PciAddress function() const = 0;
    virtual unsigned first() const = 0;
    virtual unsigned last() const = 0;
    // The bytes from `offset` (inside the block) on, as many as `out`
    // holds (never past `last`). A read may change the model's state, as
    // reading a status register can on the hardware.
    virtual void read(unsigned offset, std::span<uint8_t> out) = 0;
    virtual void write(unsigned offset, std::span<const uint8_t> data) = 0;
};

class PciConfigSpace {
public:
    static constexpr size_t kSize = 4096;
    using Registers = std::array<uint8_t, kSize>;

    void addFunction(PciAddress address, const Registers& registers);
    // The space owns its gates; the returned pointer stays valid as long
    // as the space does.
    PciFunctionGate* addGate(std::unique_ptr<PciFunctionGate> gate);
    // The space owns its blocks; they answer while their function does.
    PciRegisterBlock* addRegisterBlock(std::unique_ptr<PciRegisterBlock> block);

    // Whether the function answers now: it is in the image and no gate
    // hides it.
    bool has(PciAddress address) const;
    // Every function of the image, hidden or not.
    std::vector<PciAddress> functions() const;

    // offset + size <= kSize; the caller checks.
    void read(PciAddress address, unsigned offset, std::span<uint8_t> out) const;
    void write(PciAddress address, unsigned offset, std::span<const uint8_t> data);

    // A stored byte of a function whether a gate hides it or not (register
    // blocks are not asked); 0xFF for a function not in the image or an
    // offset past its space.
    uint8_t peekByte(PciAddress address, unsigned offset) const;

private:
    static constexpr unsigned kReadOnlyIdBytes = 4;
    // Calls `visit` with each block of the function that the bytes
    // [offset, offset + count) reach: the first byte it takes and how many.
    void forBlocks(PciAddress address, unsigned offset, size_t count,
                   const std::function<void(PciRegisterBlock&, unsigned, size_t)>& visit) const;

    std::map<PciAddress, Registers> functions_;
    std::vector<std::unique_ptr<PciFunctionGate>> gates_;
    // Reached from the const read(): a block's state is not the bytes'.
    std::vector<std::unique_ptr<PciRegisterBlock>> blocks_;
};

} // namespace vexa::machine
