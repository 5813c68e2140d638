// Direct Rambus modules (SPD byte 2 = 1): the clock in MHz as stored, the
// speed grade from the clock and two timing bytes, and the size from the
// device geometry and count, multiplied in 64 bits (it can exceed 32
// before the division).
#include <iterator>

#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/spd_decode_shared.h"
#include "sdk/chipset/spd_interface.h"
#include "sdk/core/helpers.h"

namespace {

constexpr const char* kRIMMFormats[] = {"", "RIMM", "SO-RIMM", "Embedded", "32-bits RIMM"};

// The speed grade (ns) of a clock by the value of one timing byte.
struct RDRAMGrade {
    int clock;
    int timingByte;  // 10 or 12
    uint8_t value;
    int grade;
};
constexpr RDRAMGrade kRDRAMGrades[] = {
    {300, 10, 6, 45},  {300, 10, 8, 53},  {400, 12, 8, 40}, {400, 12, 10, 45},
    {400, 12, 12, 50}, {533, 10, 8, 32}, {533, 10, 10, 35},
};

} // namespace

void CSPDInterface::DecodeRDRAM(CModuleInfo* record) {
    if (!record) return;
    CModuleInfo& r = *record;
    const spd::SPDBytes b(r);
    FormatString(r.m_szMemoryType, sizeof r.m_szMemoryType, "%s", "RDRAM");
    r.m_iMemoryType = MEMORY_TYPE_RDRAM;
    const int format = b[3];
    if (format >= 1 && format < static_cast<int>(std::size(kRIMMFormats)))
        FormatString(r.m_szModuleFormat, sizeof r.m_szModuleFormat, "%s", kRIMMFormats[format]);
    r.m_iClock = (b[35] & 0x0F) << 8 | b[37];
    r.m_iPCRating = r.m_iDataRate = 2 * r.m_iClock;

    spd::SetManufacturerBytes(r, b, 64);
    spd::SetPartNumber(r, b, 73);
    r.m_byYear = b[93];
    r.m_byWeek = b[94];
    spd::SetSerialNumber(r, b, 95);

    const uint8_t devices = b[99];
    if (devices != 0xFF) {
        const uint64_t bits = (uint64_t(1) << (b[4] & 0x0F)) * (uint64_t(1) << (b[5] & 7)) * devices * 8;
        r.m_iSize = static_cast<int>(bits / 1024);
    }
    r.m_iDataWidth = b[100];

    int grade = 0;
    for (const RDRAMGrade& row : kRDRAMGrades)
        if (row.clock == r.m_iClock && b[row.timingByte] == row.value) grade = row.grade;
    if (grade) FormatString(r.m_szSpeed, sizeof r.m_szSpeed, "PC%d-%d", r.m_iPCRating, grade);
    else FormatString(r.m_szSpeed, sizeof r.m_szSpeed, "PC%d", r.m_iPCRating);
}
