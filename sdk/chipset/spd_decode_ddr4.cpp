// DDR4 modules (SPD byte 2 = 12): the JEDEC layout of 512 bytes in two
// pages, times in 0.125 ns units with signed 1 ps corrections. The maker,
// date, serial and part number lie in the upper page (bytes 320-346); a
// module read with only 256 bytes (on a memory controller's engine) has
// none of them.
#include <iterator>

#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/spd_decode_shared.h"
#include "sdk/chipset/spd_interface.h"
#include "sdk/core/helpers.h"

namespace {

constexpr float kMTB = 0.125f;
constexpr float kFTB = 0.001f;
constexpr int kUpperPageLength = 512;

constexpr const char* kDDR4ModuleFormats[] = {"", "RDIMM", "UDIMM", "SO-DIMM", "LRDIMM"};

int DDR4SizeMB(const spd::SPDBytes& b) {
    const int capacityCode = b[4] & 0x0F;
    const int dieCode = (b[6] >> 4) & 7;
    const int widthCode = b[12] & 7;
    const int rankCode = (b[12] >> 3) & 7;
    const int busCode = b[13] & 7;
    if (capacityCode > 9 || dieCode > 3 || widthCode > 3 || rankCode > 3 || busCode > 3) return 0;
    const int capacityMbit = 256 << capacityCode;
    return ((8 << busCode) / (4 << widthCode)) * (capacityMbit / 8) * (1 << dieCode) * (rankCode + 1);
}

} // namespace

void CSPDInterface::DecodeDDR4(CModuleInfo* record) {
    if (!record) return;
    CModuleInfo& r = *record;
    const spd::SPDBytes b(r);
    FormatString(r.m_szMemoryType, sizeof r.m_szMemoryType, "%s", "DDR4");
    r.m_iMemoryType = MEMORY_TYPE_DDR4;
    r.m_fVoltage = 1.2f;
    const int format = b[3] & 0x0F;
    if (format >= 1 && format < static_cast<int>(std::size(kDDR4ModuleFormats)))
        FormatString(r.m_szModuleFormat, sizeof r.m_szModuleFormat, "%s", kDDR4ModuleFormats[format]);
    r.m_iSize = DDR4SizeMB(b);

    auto time = [&](int units, int fineByte) {
        return static_cast<float>(units) * kMTB + static_cast<float>(b.Signed(fineByte)) * kFTB;
    };
    const float tCK = time(b[18], 125);
    spd::SetRoundedClockFigures(r, tCK);
    if (spd::IsUsableTime(tCK)) {
        // The half is added before RoundToInt rounds: 2 x 1600 MHz reads DDR4-3201.
        const float f = 1000.0f / tCK;
        FormatString(r.m_szSpeed, sizeof r.m_szSpeed, "DDR4-%d", RoundToInt(2.0f * f + 0.5f));
    }

    spd::AppendCASLatencies(r.m_pCASTables, b[20], 8, 7);
    spd::AppendCASLatencies(r.m_pCASTables, b[21], 8, 15);
    spd::AppendCASLatencies(r.m_pCASTables, b[22], 8, 23);
    spd::SetCASFrequencies(r.m_pCASTables, time(b[24], 123), spd::ClockOf(tCK));

    r.m_fRCD = time(b[25], 122);
    r.m_fRP = time(b[26], 121);
    r.m_fRAS = static_cast<float>((b[27] & 0x0F) << 8 | b[28]) * kMTB;
    r.m_fRC = static_cast<float>((b[27] >> 4) << 8 | b[29]) * kMTB;

    if (r.m_iSPDLength < kUpperPageLength) return;
    spd::SetManufacturer(r, b[320], b[321], 15);
    r.m_byYear = spd::FromBCD(b[323]);
    r.m_byWeek = spd::FromBCD(b[324]);
    spd::SetSerialNumber(r, b, 325);
    spd::SetPartNumber(r, b, 329);
}
