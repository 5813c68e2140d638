// What the NVIDIA, VIA and SiS memory-controller decoders share: bit fields
// of a configuration dword, the registers of other PCI functions, the
// presence of a function by its ids, and the FSB:DRAM ratio in its two
// forms (the text "bus:dram" and the factor dram / bus).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>

class CMemoryInfo;

namespace decoder_fields {

// Bits high..low of a dword, moved down to bit 0.
constexpr uint32_t Bits(uint32_t value, unsigned high, unsigned low) {
    const unsigned width = high - low + 1;
    return width >= 32 ? value >> low : (value >> low) & ((1u << width) - 1);
}
constexpr bool Bit(uint32_t value, unsigned bit) { return (value >> bit) & 1u; }

// Family tables of host bridges: rows with a `device` id, sorted by it.
template <typename Row, size_t N>
constexpr bool SortedByDevice(const Row (&rows)[N]) {
    for (size_t i = 1; i < N; ++i)
        if (rows[i - 1].device >= rows[i].device) return false;
    return true;
}
// The row of a device id, or null.
template <typename Row, size_t N>
const Row* FindByDevice(const Row (&rows)[N], uint16_t device) {
    const Row* row = std::lower_bound(std::begin(rows), std::end(rows), device,
                                      [](const Row& candidate, uint16_t id) { return candidate.device < id; });
    return row != std::end(rows) && row->device == device ? row : nullptr;
}

// The configuration dword of a function of any bus through the PCI domain:
// all ones when the read fails or there is no PCI domain. `read` (when
// given) says whether the read succeeded.
uint32_t ReadFunction(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg, bool* read = nullptr);

// Whether the PCI domain lists at least one function with these ids.
bool DevicePresent(uint16_t vendor, uint16_t device);

// The ratio of a bus part and a DRAM part as they stand: "1:1" for equal
// parts, else "%d:%d"; the factor dram / bus. A bus part of 0 has no ratio:
// both are left unknown (-1.0 and an empty text) rather than divided by 0.
void SetRatio(CMemoryInfo& memory, int bus, int dram);
// The same, but "%d:%d" even for equal parts ("2:2").
void SetRatioAsWritten(CMemoryInfo& memory, int bus, int dram);
// The same as SetRatio after reducing both parts to lowest terms.
void SetReducedRatio(CMemoryInfo& memory, int bus, int dram);

} // namespace decoder_fields
