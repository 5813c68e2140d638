// The names of memory makers by their JEP106 identification code, as SPD
// EEPROMs store it: a bank chosen by the number of leading continuation
// codes 0x7F, then the maker's code in that bank with bit 7 as its odd
// parity bit.
#pragma once

#include <cstdint>

constexpr int kJEDECNameSize = 256;
constexpr int kJEDECBanks = 9;

// Writes the maker's name into `name` (kJEDECNameSize bytes). Reads at most
// the first nine bytes of `id`: the index of the first byte that is not
// 0x7F gives the bank (index + 1), that byte the code, compared as stored.
// Nine continuation codes or an unknown code leave `name` as it was.
void GetJEDECManufacturerName(const uint8_t* id, char* name);

// The table, for its tests: bank (1-9), code as stored, name.
struct JEDECName {
    uint8_t bank;
    uint8_t code;
    const char* name;
};
const JEDECName* JEDECNames(int* count);
