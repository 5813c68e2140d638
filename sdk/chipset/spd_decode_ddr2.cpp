// DDR2 modules (SPD byte 2 = 8): cycle times as whole ns plus a fraction
// chosen by the low nibble, the older maker's ID layout (bytes 64-71) and
// BCD dates.
#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/spd_decode_shared.h"
#include "sdk/chipset/spd_interface.h"
#include "sdk/core/helpers.h"

namespace {

// MB per rank for each bit of byte 31.
constexpr int kDDR2RankDensityMB[8] = {1024, 2048, 4096, 8192, 16384, 128, 256, 512};
// tRC fractions of ns by bits 6-4 of byte 40.
constexpr float kDDR2RCFractions[8] = {0.0f, 0.25f, 0.33f, 0.5f, 0.66f, 0.75f, 0.0f, 0.0f};
constexpr const char* kDDR2ModuleFormats[6] = {"Regular RDIMM", "Regular UDIMM", "SO-DIMM",
                                               "Micro-DIMM",    "Mini-RDIMM",    "Mini-UDIMM"};

bool IsCycleTimeByte(uint8_t value) { return value != 0 && value != 0xFF; }

} // namespace

void CSPDInterface::DecodeDDR2(CModuleInfo* record) {
    if (!record) return;
    CModuleInfo& r = *record;
    const spd::SPDBytes b(r);
    FormatString(r.m_szMemoryType, sizeof r.m_szMemoryType, "%s", "DDR2");
    r.m_iMemoryType = MEMORY_TYPE_DDR2;
    spd::SetInterfaceVoltage(r, b[8], false);

    // The cycle times of the highest latency and the two below it; a byte
    // of 0 or 0xFF stands for the one decoded before it.
    float cycleTime = -1.0f;
    if (IsCycleTimeByte(b[9])) {
        cycleTime = spd::NibbleCycleTime(b[9]);
        spd::SetTruncatedClockFigures(r, cycleTime);
        if (spd::IsUsableTime(cycleTime)) FormatString(r.m_szSpeed, sizeof r.m_szSpeed, "PC2-%d", r.m_iPCRating);
    }
    float clocks[3] = {spd::ClockOf(cycleTime)};
    if (IsCycleTimeByte(b[23])) cycleTime = spd::NibbleCycleTime(b[23]);
    clocks[1] = spd::ClockOf(cycleTime);
    if (IsCycleTimeByte(b[25])) cycleTime = spd::NibbleCycleTime(b[25]);
    clocks[2] = spd::ClockOf(cycleTime);

    r.m_iCorrection = b[11];
    r.m_iDataWidth = b[6];
    spd::AppendCASLatencies(r.m_pCASTables, b[18] >> 2, 6, 2);
    spd::SetOlderCASFrequencies(r, clocks);

    if (b[27] >> 2) r.m_fRP = spd::QuarterNanoseconds(b[27]);
    if (b[29] >> 2) r.m_fRCD = spd::QuarterNanoseconds(b[29]);
    if (b[30]) r.m_fRAS = b[30];
    r.m_fRC = static_cast<float>(b[41]) + kDDR2RCFractions[(b[40] >> 4) & 7];
    spd::SetRefreshPeriod(r, b[12]);

    spd::SetManufacturerBytes(r, b, 64);
    spd::SetPartNumber(r, b, 73);

    int rankMB = 0;
    for (int bit = 0; bit < 8; ++bit)
        if (b[31] & (1 << bit)) rankMB += kDDR2RankDensityMB[bit];
    const int ranks = (b[5] & 7) + 1;
    r.m_iBanks = ranks;
    r.m_iSize = ranks * rankMB;

    for (int bit = 0; bit < 6; ++bit)
        if (b[20] & (1 << bit))
            FormatString(r.m_szModuleFormat, sizeof r.m_szModuleFormat, "%s", kDDR2ModuleFormats[bit]);

    r.m_byYear = spd::FromBCD(b[93]);
    r.m_byWeek = spd::FromBCD(b[94]);
    spd::SetSerialNumber(r, b, 95);
}
