// Small helpers of the memory-controller decoders of the AMD, ATI and ALi
// chipsets: bit fields of configuration dwords, code tables and FSB:DRAM
// ratio texts.
#pragma once

#include <cstddef>
#include <cstdint>

class CMemoryInfo;

// Bits high:low of a 32-bit value.
constexpr uint32_t FieldBits(uint32_t value, unsigned high, unsigned low) {
    return (value >> low) & ((high - low >= 31) ? 0xFFFFFFFFu : ((1u << (high - low + 1)) - 1));
}
constexpr bool BitSet(uint32_t value, unsigned bit) { return (value >> bit) & 1u; }

// An FSB:DRAM ratio "bus:dram" of a controller's clock code; the record
// keeps dram / bus.
struct RatioCode {
    uint32_t code;
    uint8_t bus;
    uint8_t dram;
};
// The text and ratio of `code`'s entry; nothing for a code not listed.
void SetRatioByCode(CMemoryInfo& memory, const RatioCode* codes, size_t count, uint32_t code);
template <size_t N>
void SetRatioByCode(CMemoryInfo& memory, const RatioCode (&codes)[N], uint32_t code) {
    SetRatioByCode(memory, codes, N, code);
}
// "1:1", the DRAM clocked with the bus.
void SetSynchronousRatio(CMemoryInfo& memory);

// The value of `code` in a table of values by code; `unlisted` (-1 or
// -1.0: the field stays) marks codes without one.
template <typename T, size_t N>
T CodeValue(const T (&table)[N], uint32_t code) {
    return code < N ? table[code] : T(-1);
}
// Writes `value` into `field` when it is not the unlisted -1.
template <typename T>
void SetIfListed(T& field, T value) {
    if (value != T(-1)) field = value;
}

class CNorthBridge;
// "Register r" of a bridge as the decoders count it: the four bytes from
// offset `reg` on (any alignment), read as aligned configuration dwords.
uint32_t BridgeRegister(CNorthBridge& bridge, uint32_t reg);
