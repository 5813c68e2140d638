#include "tests/support/ata_sectors.h"

#include <algorithm>

namespace vexa::test {
namespace {

void putWord(std::string& sector, size_t word, uint16_t value) {
    sector[2 * word] = char(value & 0xFF);
    sector[2 * word + 1] = char(value >> 8);
}

// Two characters per word, the first in the high byte; blank-padded.
void putText(std::string& sector, size_t firstWord, size_t words, std::string text) {
    text.resize(2 * words, ' ');
    for (size_t i = 0; i < words; ++i)
        putWord(sector, firstWord + i, uint16_t(uint8_t(text[2 * i]) << 8 | uint8_t(text[2 * i + 1])));
}

} // namespace

std::string identifySector(const IdentifyFields& fields) {
    std::string sector(512, '\0');
    putText(sector, 10, 10, std::string(20 - std::min<size_t>(20, fields.serial.size()), ' ') + fields.serial);
    putText(sector, 23, 4, fields.firmware);
    putText(sector, 27, 20, fields.model);
    const uint64_t small = std::min<uint64_t>(fields.sectors, 0x0FFFFFFF);
    putWord(sector, 60, uint16_t(small));
    putWord(sector, 61, uint16_t(small >> 16));
    putWord(sector, 82, 0x7068 | (fields.smartSupported ? 1 : 0));
    putWord(sector, 83, 0x7400);  // 48-bit addressing
    putWord(sector, 85, 0x3068 | (fields.smartEnabled ? 1 : 0));
    for (size_t i = 0; i < 4; ++i) putWord(sector, 100 + i, uint16_t(fields.sectors >> (16 * i)));
    return sector;
}

std::string smartSector(const std::vector<SmartAttribute>& attributes) {
    std::string sector(512, '\0');
    sector[0] = 0x10;  // data structure revision
    int next = 0;
    for (const SmartAttribute& attribute : attributes) {
        const int entry = attribute.entry >= 0 ? attribute.entry : next++;
        const size_t offset = 2 + 12 * size_t(entry);
        sector[offset] = char(attribute.id);
        sector[offset + 1] = 0x22;  // flags
        sector[offset + 3] = 100;   // value
        sector[offset + 4] = 100;   // worst
        sector[offset + 5] = char(attribute.rawLow);
    }
    return sector;
}

} // namespace vexa::test
