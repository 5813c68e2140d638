// DDR3 modules (SPD byte 2 = 11): the JEDEC layout of 256 bytes, with
// times in medium time-base units (bytes 10/11) and, from SPD revision 1.1
// on, signed fine corrections in fine time-base units (byte 9). Without the
// corrections a DDR3-1866 module (tCK 1.071 ns = 9 x 0.125 - 54 ps) would
// read as DDR3-1778.
#include <iterator>

#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/spd_decode_shared.h"
#include "sdk/chipset/spd_interface.h"
#include "sdk/core/helpers.h"

namespace {

constexpr const char* kDDR3ModuleFormats[] = {"", "RDIMM", "UDIMM", "SO-DIMM", "Micro-DIMM", "Mini-RDIMM", "Mini-UDIMM"};

// The size factors of bytes 4, 7 and 8; 0 where a code is outside the table.
struct DDR3Geometry {
    int capacityMbit = 0;  // per SDRAM device
    int deviceWidth = 0;   // bits
    int ranks = 0;
    int busWidth = 0;      // primary bus, bits

    explicit DDR3Geometry(const spd::SPDBytes& b) {
        if ((b[4] & 0x0F) <= 9) capacityMbit = 256 << (b[4] & 0x0F);
        if ((b[7] & 7) <= 3) deviceWidth = 4 << (b[7] & 7);
        if (((b[7] >> 3) & 7) <= 3) ranks = ((b[7] >> 3) & 7) + 1;
        if ((b[8] & 7) <= 3) busWidth = 8 << (b[8] & 7);
    }
    int SizeMB() const {
        if (!capacityMbit || !deviceWidth || !ranks || !busWidth) return 0;
        return (busWidth / deviceWidth) * (capacityMbit / 8) * ranks;
    }
};

} // namespace

void CSPDInterface::DecodeDDR3(CModuleInfo* record) {
    if (!record) return;
    CModuleInfo& r = *record;
    const spd::SPDBytes b(r);
    FormatString(r.m_szMemoryType, sizeof r.m_szMemoryType, "%s", "DDR3");
    r.m_iMemoryType = MEMORY_TYPE_DDR3;

    r.m_fVoltage = 1.5f;
    if (b[6] & 0x02) r.m_fVoltage = 1.35f;
    if (b[6] & 0x04) r.m_fVoltage = 1.2f;
    const int format = b[3] & 0x0F;
    if (format >= 1 && format < static_cast<int>(std::size(kDDR3ModuleFormats)))
        FormatString(r.m_szModuleFormat, sizeof r.m_szModuleFormat, "%s", kDDR3ModuleFormats[format]);
    const int bankCode = (b[4] >> 4) & 7;
    if (bankCode <= 3) r.m_iBanks = 8 << bankCode;
    r.m_iSize = DDR3Geometry(b).SizeMB();

    // A time of `units` medium time bases plus a signed fine correction;
    // -1 without a medium time base.
    const float mtb = b[11] ? static_cast<float>(b[10]) / static_cast<float>(b[11]) : -1.0f;
    const float ftb = (b[9] & 0x0F) ? static_cast<float>(b[9] >> 4) * 0.001f / static_cast<float>(b[9] & 0x0F) : 0.0f;
    auto time = [&](int units, int fineByte) {
        if (mtb < 0.0f) return -1.0f;
        return static_cast<float>(units) * mtb + (fineByte ? static_cast<float>(b.Signed(fineByte)) * ftb : 0.0f);
    };

    const float tCK = time(b[12], 34);
    spd::SetRoundedClockFigures(r, tCK);
    if (spd::IsUsableTime(tCK)) {
        r.m_iDataRate = static_cast<int>(2000.0f / tCK + 0.5f);
        FormatString(r.m_szSpeed, sizeof r.m_szSpeed, "PC3-%d", r.m_iPCRating);
        spd::AppendSpeedBinLetter(r.m_szSpeed, sizeof r.m_szSpeed, r.m_iClock, b[16]);
    }

    spd::AppendCASLatencies(r.m_pCASTables, b[14], 8, 4);
    spd::AppendCASLatencies(r.m_pCASTables, b[15], 7, 12);
    spd::SetCASFrequencies(r.m_pCASTables, time(b[16], 35), spd::ClockOf(tCK));

    r.m_fRCD = time(b[18], 36);
    r.m_fRP = time(b[20], 37);
    r.m_fRAS = time((b[21] & 0x0F) << 8 | b[22], 0);
    r.m_fRC = time((b[21] >> 4) << 8 | b[23], 38);

    spd::SetManufacturer(r, b[117], b[118], 15);
    r.m_byYear = spd::FromBCD(b[120]);
    r.m_byWeek = spd::FromBCD(b[121]);
    spd::SetSerialNumber(r, b, 122);
    spd::SetPartNumber(r, b, 128);
}
