// What the Intel memory-controller decoders outside the MCHBAR window
// share: configuration registers of the host bridge at any offset, the
// registers of other PCI functions and the processor's MSRs, and the
// FSB:DRAM ratio texts whose value is not simply DRAM over bus.
#pragma once

#include <cstdint>
#include <span>

class CMemoryInfo;
class CNorthBridge;

namespace intel_mc {

// The 32 bits of the bridge's configuration space from `reg` on (bits 7:0
// are the byte at `reg`), put together from aligned dword reads, as the
// configuration ports reach only those. All ones where a read fails.
uint32_t BridgeRegister(CNorthBridge& bridge, uint32_t reg);

// A configuration register of (bus, device, function) through the root's
// PCI domain; false without the domain or when the read fails (`value` is
// then all ones).
bool ReadFunction(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg, uint32_t& value);
bool WriteFunction(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg, uint32_t value);
// The value alone: all ones when the read fails, as an absent function
// answers.
uint32_t FunctionValue(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg);

// The low dword of an MSR through the root's driver; false without a
// driver or when the read fails.
bool ReadMSRLow(uint32_t index, uint32_t& low);

// Writes the text "bus:dram" and a ratio given apart from it.
void SetRatioText(CMemoryInfo& memory, int bus, int dram, float ratio);

// The PCI bus of the bridge's function (0 without one).
uint8_t BridgeBus(const CNorthBridge& bridge);

// A bit field of a register and the value of each of its codes; -1 (or
// -1.0) for a code that means nothing, which leaves the record's field as
// it was. No values: the register has no such field.
struct IntField {
    uint8_t high = 0, low = 0;
    std::span<const int> values;
};
struct FloatField {
    uint8_t high = 0, low = 0;
    std::span<const float> values;
};
void ApplyField(int& field, uint32_t reg, const IntField& code);
void ApplyField(float& field, uint32_t reg, const FloatField& code);

// Where a controller keeps its timings in one register.
struct TimingFields {
    FloatField cl;
    IntField rcd, rp, ras, rc, idle;
};
void ApplyTimings(CMemoryInfo& memory, uint32_t reg, const TimingFields& fields);

} // namespace intel_mc
