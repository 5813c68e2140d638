// Fully buffered DDR2 modules (SPD byte 2 = 9 or 10): times in medium
// time-base units (bytes 9/10), one CAS latency at the highest clock, and
// the size from the row, column, bank and rank counts, which can exceed 32
// bits before the division and are multiplied in 64 bits.
#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/spd_decode_shared.h"
#include "sdk/chipset/spd_interface.h"
#include "sdk/core/helpers.h"

void CSPDInterface::DecodeFBDIMM(CModuleInfo* record) {
    if (!record) return;
    CModuleInfo& r = *record;
    const spd::SPDBytes b(r);
    FormatString(r.m_szMemoryType, sizeof r.m_szMemoryType, "%s", "FB-DDR2");
    r.m_iMemoryType = MEMORY_TYPE_FB_DDR2;

    const float mtb = b[10] ? static_cast<float>(b[9]) / static_cast<float>(b[10]) : -1.0f;
    auto time = [&](int units) { return mtb < 0.0f ? -1.0f : static_cast<float>(units) * mtb; };
    const float tCK = time(b[11]);
    spd::SetTruncatedClockFigures(r, tCK);
    const float f = spd::ClockOf(tCK);
    if (f > 0.0f) {
        FormatString(r.m_szSpeed, sizeof r.m_szSpeed, "PC2-%d", r.m_iPCRating);
        auto* entry = new CAS_Table;
        entry->m_fFrequency = f;
        const float tAA = time(b[14]);
        if (spd::IsUsableTime(tAA)) entry->m_fCASLatency = static_cast<float>(static_cast<int>(tAA * f / 1000.0f + 0.9f));
        r.m_pCASTables->AddTail(entry);
    }

    r.m_fRCD = time(b[19]);
    r.m_fRP = time(b[21]);
    r.m_fRAS = time(b[23]);
    r.m_fRC = time(b[24]);

    spd::SetManufacturer(r, b[117], b[118], 7);
    r.m_iBanks = 4 << (b[4] & 3);
    const uint64_t rows = uint64_t(1) << ((b[4] >> 5) + 12);
    const uint64_t columns = uint64_t(1) << (((b[4] >> 2) & 7) + 9);
    const uint64_t ranks = (b[7] >> 3) & 7;
    r.m_iSize = static_cast<int>(rows * 8 * columns * static_cast<uint64_t>(r.m_iBanks) * ranks / 1048576);

    r.m_byYear = spd::FromBCD(b[120]);
    r.m_byWeek = spd::FromBCD(b[121]);
    spd::SetSerialNumber(r, b, 122);
}
