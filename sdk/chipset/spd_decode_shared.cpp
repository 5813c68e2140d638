#include "sdk/chipset/spd_decode_shared.h"

#include <cmath>
#include <cstring>
#include <iterator>
#include <vector>

#include "sdk/chipset/jedec_names.h"
#include "sdk/core/helpers.h"

namespace spd {

namespace {

struct SpeedBin {
    int clock;
    uint8_t tAAByte;
    char letter;
};
constexpr SpeedBin kDDR3SpeedBins[] = {
    {400, 100, 'D'}, {400, 120, 'E'},
    {533, 90, 'E'},  {533, 105, 'F'}, {533, 120, 'G'},
    {667, 84, 'F'},  {667, 96, 'G'},  {667, 108, 'H'}, {667, 120, 'J'},
    {800, 80, 'G'},  {800, 90, 'H'},  {800, 100, 'J'}, {800, 110, 'K'},
};

// Fractions of a ns chosen by the low nibble of a DDR2 cycle-time byte.
constexpr float kNibbleFractions[16] = {0.0f, 0.1f, 0.2f, 0.3f, 0.4f,  0.5f,   0.6f, 0.7f,
                                        0.8f, 0.9f, 0.25f, 0.33f, 0.66f, 0.75f, 0.875f, 0.0f};

} // namespace

bool IsUsableTime(float ns) { return ns >= 0.001f && std::isfinite(ns); }

float ClockOf(float cycleTime) { return IsUsableTime(cycleTime) ? 1000.0f / cycleTime : -1.0f; }

void SetRoundedClockFigures(CModuleInfo& record, float cycleTime) {
    if (!IsUsableTime(cycleTime)) return;
    const float f = 1000.0f / cycleTime;
    record.m_iClock = static_cast<int>(f + 0.5f);
    record.m_iPCRating = 100 * static_cast<int>(16.0f * f / 100.0f + 0.5f);
}

void AppendCASLatencies(CTList<CAS_Table>* table, uint32_t bitmap, int bits, int first) {
    if (!table) return;
    for (int bit = 0; bit < bits; ++bit) {
        if (!(bitmap & (1u << bit))) continue;
        auto* entry = new CAS_Table;
        entry->m_fCASLatency = static_cast<float>(first + bit);
        table->AddTail(entry);
    }
}

void SetCASFrequencies(CTList<CAS_Table>* table, float tAA, float cap) {
    if (!IsUsableTime(tAA)) return;
    CTListIterator<CAS_Table> it(table);
    for (CAS_Table* entry = it.GetFirst(); entry; entry = it.GetNext()) {
        if (entry->m_fCASLatency <= 0.0f) continue;
        float frequency = 1000.0f / (tAA / entry->m_fCASLatency);
        if (cap > 0.0f && frequency > cap) frequency = cap;
        entry->m_fFrequency = frequency;
    }
}

char DDR3SpeedBinLetter(int clock, uint8_t tAAByte) {
    for (const SpeedBin& bin : kDDR3SpeedBins)
        if (bin.clock == clock && bin.tAAByte == tAAByte) return bin.letter;
    return 0;
}

void AppendSpeedBinLetter(char* speed, int size, int clock, uint8_t tAAByte) {
    const char letter = DDR3SpeedBinLetter(clock, tAAByte);
    if (letter) AppendFormat(speed, size, "%c", letter);
}

void SetManufacturer(CModuleInfo& record, uint8_t countByte, uint8_t code, int maxContinuation) {
    int continuation = countByte & 0x7F;
    if (continuation > maxContinuation) continuation = maxContinuation;
    std::memset(record.m_byJEDECID, 0, sizeof record.m_byJEDECID);
    for (int i = 0; i < continuation; ++i) record.m_byJEDECID[i] = 0x7F;
    record.m_byJEDECID[continuation] = code;
    GetJEDECManufacturerName(record.m_byJEDECID, record.m_szManufacturer);
}

void SetManufacturerBytes(CModuleInfo& record, const SPDBytes& bytes, int first) {
    for (int i = 0; i < 8; ++i) record.m_byJEDECID[i] = bytes[first + i];
    GetJEDECManufacturerName(record.m_byJEDECID, record.m_szManufacturer);
}

uint8_t FromBCD(uint8_t value) { return static_cast<uint8_t>((value >> 4) * 10 + (value & 0x0F)); }

void SetSerialNumber(CModuleInfo& record, const SPDBytes& bytes, int first) {
    record.m_dwSerialNumber = uint32_t(bytes[first]) << 24 | uint32_t(bytes[first + 1]) << 16 |
                              uint32_t(bytes[first + 2]) << 8 | bytes[first + 3];
    FormatString(record.m_szSerialNumber, sizeof record.m_szSerialNumber, "%08X", record.m_dwSerialNumber);
}

void SetPartNumber(CModuleInfo& record, const SPDBytes& bytes, int first) {
    constexpr int kCharacters = 18;
    for (int i = 0; i < kCharacters; ++i) {
        const uint8_t c = bytes[first + i];
        record.m_szPartNumber[i] = c == 0xFF ? '\0' : static_cast<char>(c);
    }
    record.m_szPartNumber[kCharacters] = '\0';
}

void SetTruncatedClockFigures(CModuleInfo& record, float cycleTime) {
    if (!IsUsableTime(cycleTime)) return;
    const float f = 1000.0f / cycleTime;
    record.m_iClock = static_cast<int>(f);
    record.m_iPCRating = 100 * static_cast<int>(16.0f * f / 100.0f + 0.5f);
    record.m_iDataRate = static_cast<int>(2000.0f / cycleTime + 0.5f);
}

float NibbleCycleTime(uint8_t value) { return static_cast<float>(value >> 4) + kNibbleFractions[value & 0x0F]; }

float TenthsCycleTime(uint8_t value) {
    return static_cast<float>(value >> 4) + static_cast<float>(value & 0x0F) * 0.1f;
}

float QuarterNanoseconds(uint8_t value) { return static_cast<float>(value >> 2) + 0.25f * static_cast<float>(value & 3); }

void SetInterfaceVoltage(CModuleInfo& record, uint8_t code, bool sdram) {
    switch (code) {
    case 2: record.m_fVoltage = 1.5f; break;
    case 3: record.m_fVoltage = 3.3f; break;
    case 4: record.m_fVoltage = 2.5f; break;
    case 5:
        if (!sdram) record.m_fVoltage = 1.8f;
        break;
    default: break;
    }
}

void SetRefreshPeriod(CModuleInfo& record, uint8_t code) {
    constexpr float kPeriods[] = {15.625f, 3.9f, 7.8f, 31.3f, 62.5f, 125.0f};
    const int index = code & 0x7F;
    if (index < static_cast<int>(std::size(kPeriods))) record.m_fRefreshPeriod = kPeriods[index];
}

void SetOlderCASFrequencies(CModuleInfo& record, const float (&clocks)[3]) {
    std::vector<CAS_Table*> entries;
    CTListIterator<CAS_Table> it(record.m_pCASTables);
    for (CAS_Table* entry = it.GetFirst(); entry; entry = it.GetNext()) entries.push_back(entry);
    for (size_t fromEnd = 0; fromEnd < 3 && fromEnd < entries.size(); ++fromEnd)
        if (clocks[fromEnd] > 0.0f) entries[entries.size() - 1 - fromEnd]->m_fFrequency = clocks[fromEnd];
    if (!entries.empty()) record.m_fMaxCASLatency = entries.back()->m_fCASLatency;
}

} // namespace spd
