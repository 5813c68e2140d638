#include "sdk/monitor/lpcio.h"

#include <cstring>
#include <iterator>

#include "sdk/core/report_generator.h"
#include "sdk/hw/register_space.h"
#include "sdk/monitor/config_mode.h"

namespace {

struct ChipName {
    uint32_t chipId;
    const char* model;
    const char* vendor;  // null: the vendor's own name
};

struct VendorNames {
    uint32_t vendorCode;
    const char* vendor;
    const ChipName* chips;
    size_t count;
};

constexpr ChipName kSmsc[] = {
    {0x51, "LPC47B27x", nullptr}, {0x59, "LPC47M10x", nullptr}, {0x5A, "LPC47N227", nullptr},
    {0x5D, "LPC47B357", nullptr}, {0x5F, "LPC47M14x", nullptr}, {0x60, "LPC47M192", nullptr},
    {0x62, "LPC47S45x", nullptr}, {0x67, "EMC2700P", nullptr},  {0x6B, "LPC47M292", nullptr},
    {0x74, "LPC47M182", nullptr}, {0x76, "LPC47M584", nullptr}, {0x78, "DME1737", nullptr},
    {0x7C, "SCH3112", nullptr},   {0x7D, "SCH3114", nullptr},   {0x7F, "SCH3116", nullptr},
    {0x81, "SCH5307-NS", nullptr}, {0x85, "SCH5317", nullptr},  {0x89, "SCH5027", nullptr},
    {0x8C, "SCH5327", nullptr},   {0x90, "SCH5017", nullptr},   {0xC6, "SCH5627", nullptr},
    {0xC7, "SCH5636", nullptr},
};

constexpr ChipName kIte[] = {
    {0x8603, "IT8603", nullptr}, {0x8606, "IT8606", nullptr}, {0x8620, "IT8620", nullptr},
    {0x8623, "IT8623", nullptr}, {0x8705, "IT8705", nullptr}, {0x8712, "IT8712", nullptr},
    {0x8716, "IT8716", nullptr}, {0x8718, "IT8718", nullptr}, {0x8720, "IT8720", nullptr},
    {0x8721, "IT8721", nullptr}, {0x8728, "IT8728", nullptr}, {0x8732, "IT8732", nullptr},
    {0x8771, "IT8771", nullptr}, {0x8772, "IT8772", nullptr}, {0x8783, "IT8783", nullptr},
};

constexpr ChipName kVia[] = {{0x3C, "VT1211", nullptr}};

constexpr ChipName kFintek[] = {
    {0x0341, "F71872F", nullptr},  {0x0406, "F71805F", nullptr},  {0x0501, "F71862F", nullptr},
    {0x0507, "F71858DG", nullptr}, {0x0541, "F71882F", nullptr},  {0x0581, "F8000", nullptr},
    {0x0601, "F71862FG", nullptr}, {0x0704, "F81865F", nullptr},  {0x0723, "F71889F", nullptr},
    {0x0814, "F71869", nullptr},   {0x0901, "F71808E", nullptr},  {0x0903, "F71858AD", nullptr},
    {0x0909, "F71889ED", nullptr}, {0x1001, "F71808A", nullptr},  {0x1005, "F71889A", nullptr},
    {0x1007, "F71869A", nullptr},  {0x1010, "F81866A", nullptr},  {0x1106, "F71868AD", nullptr},
    {0x1117, "F71877", nullptr},   {0x1118, "F71811", nullptr},
};

constexpr ChipName kWinbond[] = {
    {0x52, "W83627HF", nullptr},    {0x59, "AS99127F", "AsusTek"}, {0x60, "W83697HF", nullptr},
    {0x70, "W83637HF", nullptr},    {0x82, "W83627THF", nullptr},  {0x85, "W83687THF", nullptr},
    {0x87, "ASB100", "AsusTek"},    {0x88, "W83627EHF", nullptr},  {0xA0, "W83627DHG", nullptr},
    {0xA2, "W83627UHG", nullptr},   {0xA5, "W83667HG", nullptr},   {0xB0, "W83627DHG-P", nullptr},
    {0xB3, "W83667HG-A", nullptr},  {0xB4, "NCT6771", "Nuvoton"},  {0xC3, "NCT6776", "Nuvoton"},
    {0xC4, "NCT6106", "Nuvoton"},   {0xC5, "NCT6779", "Nuvoton"},  {0xC7, "NCT6683", "Nuvoton"},
    {0xC8, "NCT6791", "Nuvoton"},   {0xC9, "NCT6792", "Nuvoton"},
};

constexpr ChipName kNationalSemiconductor[] = {
    {0xE0, "PC87309", nullptr}, {0xE1, "PC87360", nullptr}, {0xE4, "PC87364", nullptr}, {0xE5, "PC87365", nullptr},
    {0xE8, "PC87363", nullptr}, {0xE9, "PC87366", nullptr}, {0xEC, "PC87591", nullptr}, {0xEE, "PC87417", nullptr},
    {0xF0, "PC87372", nullptr}, {0xF1, "PC8374L", nullptr}, {0xF2, "PC87427", nullptr},
};

constexpr VendorNames kVendors[] = {
    {CHIP_VENDOR_SMSC, "SMSC", kSmsc, std::size(kSmsc)},
    {CHIP_VENDOR_ITE, "ITE", kIte, std::size(kIte)},
    {CHIP_VENDOR_VIA, "VIA", kVia, std::size(kVia)},
    {CHIP_VENDOR_FINTEK, "Fintek", kFintek, std::size(kFintek)},
    {CHIP_VENDOR_WINBOND, "Winbond", kWinbond, std::size(kWinbond)},
    {CHIP_VENDOR_NATIONAL_SEMICONDUCTOR, "NS", kNationalSemiconductor, std::size(kNationalSemiconductor)},
};

void CopyName(char (&destination)[256], const char* name) {
    std::strncpy(destination, name, sizeof destination - 1);
    destination[sizeof destination - 1] = '\0';
}

} // namespace

CLPCIO::~CLPCIO() { delete m_pConfigMode; }

void CLPCIO::IdentifyChip() {
    for (const VendorNames& vendor : kVendors) {
        if (vendor.vendorCode != m_dwVendor) continue;
        CopyName(m_szVendor, vendor.vendor);
        for (size_t i = 0; i < vendor.count; ++i) {
            const ChipName& chip = vendor.chips[i];
            if (chip.chipId != m_dwChipId) continue;
            CopyName(m_szModel, chip.model);
            if (chip.vendor) CopyName(m_szVendor, chip.vendor);
        }
        return;
    }
}

void CLPCIO::Dump2(CReportGenerator* report) {
    if (!report) return;
    if (m_szVendor[0]) report->PrintField("LPCIO Vendor", "\t\t", "%s", m_szVendor);
    if (m_szModel[0]) report->PrintField("LPCIO Model", "\t\t", "%s", m_szModel);
    if (m_dwVendor != kNotSet) report->PrintField("LPCIO Vendor ID", "\t\t", "0x%X", m_dwVendor);
    if (m_dwChipId != kNotSet) report->PrintField("LPCIO Chip ID", "\t\t", "0x%X", m_dwChipId);
    if (m_dwRevision != kNotSet) report->PrintField("LPCIO Revision ID", "\t", "0x%X", m_dwRevision);
}

void CLPCIO::Dump(CReportGenerator* report) {
    if (!report) return;
    Dump2(report);
    if (m_pConfigMode) m_pConfigMode->Dump(report);
    for (CRegisterSpace* space : {m_pMonitorSpace, m_pSecondSpace, m_pThirdSpace, m_pFourthSpace}) {
        if (!space) continue;
        space->Dump(report);
        report->PrintBlankLine();
    }
}
