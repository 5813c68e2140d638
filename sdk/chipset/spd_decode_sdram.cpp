// SDRAM (SPD byte 2 = 4) and DDR (byte 2 = 7) modules: the two share the
// layout of the JEDEC SDRAM SPD (cycle times as ns and tenths, physical
// banks, the older maker's ID layout, dates as stored) and differ in the
// CAS latencies, the density bits and how times are rounded.
#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/spd_decode_shared.h"
#include "sdk/chipset/spd_interface.h"
#include "sdk/core/helpers.h"

namespace {

// MB per physical bank for each bit of byte 31.
constexpr int kSDRAMBankDensityMB[8] = {4, 8, 16, 32, 64, 128, 256, 512};
constexpr int kDDRBankDensityMB[8] = {1024, 8, 16, 32, 64, 128, 256, 512};

// The clocks of the second- and third-highest latency: 1000 / the cycle
// times of bytes 23 and 25; a byte of 0 leaves its entry unknown.
void SetLowerLatencyClocks(const spd::SPDBytes& b, float (&clocks)[3]) {
    clocks[1] = b[23] ? spd::ClockOf(spd::TenthsCycleTime(b[23])) : -1.0f;
    clocks[2] = b[25] ? spd::ClockOf(spd::TenthsCycleTime(b[25])) : -1.0f;
}

// What both types read alike: module organisation, refresh, identity and date.
void DecodeSDRAMCommonFields(CModuleInfo& r, const spd::SPDBytes& b, const int (&densityMB)[8]) {
    r.m_iCorrection = b[11];
    r.m_iBuffered = b[21] & 1;
    r.m_iRegistered = (b[21] >> 1) & 1;
    r.m_iDataWidth = b[6] | b[7] << 8;
    spd::SetRefreshPeriod(r, b[12]);
    spd::SetManufacturerBytes(r, b, 64);
    spd::SetPartNumber(r, b, 73);
    int bankMB = 0;
    for (int bit = 0; bit < 8; ++bit)
        if (b[31] & (1 << bit)) bankMB += densityMB[bit];
    r.m_iBanks = b[5];
    r.m_iSize = b[5] * bankMB;
    r.m_byYear = b[93];
    r.m_byWeek = b[94];
    spd::SetSerialNumber(r, b, 95);
}

} // namespace

void CSPDInterface::DecodeDDR(CModuleInfo* record) {
    if (!record) return;
    CModuleInfo& r = *record;
    const spd::SPDBytes b(r);
    FormatString(r.m_szMemoryType, sizeof r.m_szMemoryType, "%s", "DDR");
    r.m_iMemoryType = MEMORY_TYPE_DDR;
    spd::SetInterfaceVoltage(r, b[8], false);

    float clocks[3] = {-1.0f, -1.0f, -1.0f};
    if (b[9] >> 4) {
        const float tCK = spd::TenthsCycleTime(b[9]);
        spd::SetTruncatedClockFigures(r, tCK);
        FormatString(r.m_szSpeed, sizeof r.m_szSpeed, "PC%d", r.m_iPCRating);
        clocks[0] = spd::ClockOf(tCK);
    }
    SetLowerLatencyClocks(b, clocks);

    // Latencies 1.0 to 3.0 in half clocks.
    for (int bit = 0; bit < 5; ++bit) {
        if (!(b[18] & (1 << bit))) continue;
        auto* entry = new CAS_Table;
        entry->m_fCASLatency = 1.0f + 0.5f * static_cast<float>(bit);
        r.m_pCASTables->AddTail(entry);
    }
    spd::SetOlderCASFrequencies(r, clocks);

    // Whole nanoseconds: the quarter bits are dropped.
    r.m_fRCD = static_cast<float>(b[29] >> 2);
    r.m_fRP = static_cast<float>(b[27] >> 2);
    r.m_fRAS = b[30];
    DecodeSDRAMCommonFields(r, b, kDDRBankDensityMB);
}

void CSPDInterface::DecodeSDRAM(CModuleInfo* record) {
    if (!record) return;
    CModuleInfo& r = *record;
    const spd::SPDBytes b(r);
    FormatString(r.m_szMemoryType, sizeof r.m_szMemoryType, "%s", "SDRAM");
    r.m_iMemoryType = MEMORY_TYPE_SDRAM;
    spd::SetInterfaceVoltage(r, b[8], true);

    // SDRAM is single data rate: clock, rating and data rate are one number.
    const float tCK = spd::TenthsCycleTime(b[9]);
    float clocks[3] = {spd::ClockOf(tCK), -1.0f, -1.0f};
    if (clocks[0] > 0.0f) {
        const int f = static_cast<int>(clocks[0]);
        r.m_iClock = r.m_iPCRating = r.m_iDataRate = f;
        FormatString(r.m_szSpeed, sizeof r.m_szSpeed, "PC%d", f);
    }
    SetLowerLatencyClocks(b, clocks);

    spd::AppendCASLatencies(r.m_pCASTables, b[18], 5, 1);
    spd::SetOlderCASFrequencies(r, clocks);

    r.m_fRP = b[27];
    r.m_fRCD = b[29];
    r.m_fRAS = b[30];
    DecodeSDRAMCommonFields(r, b, kSDRAMBankDensityMB);
}
