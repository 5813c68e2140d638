#include "sdk/system/dmi_memory.h"

#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/system/dmi_table.h"

namespace {

// Error detecting methods 4 (8-bit parity) to 8 (CRC) of the memory
// controller; 3 (none) and the rest leave the text empty.
constexpr DMICodeName kControllerErrorDetection[] = {
    {4, "8-bit parity"}, {5, "32-bit ECC"}, {6, "64-bit ECC"}, {7, "128-bit ECC"}, {8, "CRC"},
};
static_assert(DMICodesSorted(kControllerErrorDetection));

// Memory array locations 3 (Motherboard) to 10 and 0xA0 to 0xA4.
constexpr DMICodeName kArrayLocations[] = {
    {3, "Motherboard"},
    {4, "ISA Add-on Card"},
    {5, "EISA Add-on Card"},
    {6, "PCI Add-on Card"},
    {7, "MCA Add-on Card"},
    {8, "PCMCIA Add-on Card"},
    {9, "Proprietary Add-on Card"},
    {10, "NuBus"},
    {0xA0, "PC-98/C20 Add-on Card"},
    {0xA1, "PC-98/C24 Add-on Card"},
    {0xA2, "PC-98/E Add-on Card"},
    {0xA3, "PC-98/Local Bus Add-on Card"},
    {0xA4, "PC-98/Card Slot Add-on Card"},
};
static_assert(DMICodesSorted(kArrayLocations));

// Memory array uses 3 (System Memory) to 7.
constexpr DMICodeName kArrayUses[] = {
    {3, "System Memory"}, {4, "Video Memory"}, {5, "Flash Memory"},
    {6, "Non-volatile RAM"}, {7, "Cache Memory"},
};
static_assert(DMICodesSorted(kArrayUses));

// Memory array error correction 3 (None) to 7 (CRC).
constexpr DMICodeName kArrayErrorCorrection[] = {
    {3, "None"}, {4, "Parity"}, {5, "Single-bit ECC"}, {6, "Multi-bit ECC"}, {7, "CRC"},
};
static_assert(DMICodesSorted(kArrayErrorCorrection));

// Memory device form factors 3 (SIMM) to 14 (SRIM); FB-DIMM (15) and
// later stay empty.
constexpr DMICodeName kFormFactors[] = {
    {3, "SIMM"}, {4, "SIP"}, {5, "Chip"}, {6, "DIP"}, {7, "ZIP"}, {8, "Proprietary Card"},
    {9, "DIMM"}, {10, "TSOP"}, {11, "Row of chips"}, {12, "RIMM"}, {13, "SODIMM"}, {14, "SRIM"},
};
static_assert(DMICodesSorted(kFormFactors));

// Memory device types 3 (DRAM) to 18 (DDR); DDR2 (19) and later stay empty.
constexpr DMICodeName kMemoryTypes[] = {
    {3, "DRAM"},    {4, "EDRAM"},   {5, "VRAM"},   {6, "SRAM"},   {7, "RAM"},    {8, "ROM"},
    {9, "FLASH"},   {10, "EEPROM"}, {11, "FEPROM"}, {12, "EPROM"}, {13, "CDRAM"}, {14, "3DRAM"},
    {15, "SDRAM"},  {16, "SGRAM"},  {17, "RDRAM"}, {18, "DDR"},
};
static_assert(DMICodesSorted(kMemoryTypes));

// A size byte of the memory controller and module structures: 2 to the
// power of bits 4-0 MB. 0x7D (not determinable), 0x7E (disabled) and 0x7F
// (not installed) are unknown, and so is 2^31, which an int32_t cannot hold.
int32_t PowerOfTwoSizeMB(uint8_t code) {
    if (code == 0x7D || code == 0x7E || code == 0x7F) return -1;
    const unsigned exponent = code & 0x1F;
    return exponent < 31 ? int32_t(1) << exponent : -1;
}

// A width or size word: 0 and 0xFFFF say the value is unknown.
bool IsKnownWord(uint16_t word) { return word != 0 && word != 0xFFFF; }

constexpr uint16_t kSizeInKB = 0x8000;
constexpr uint32_t kCapacityUnknown = 0x80000000;
constexpr uint8_t kDoubleBank = 0x80;

} // namespace

// ---- Memory controller ----

void CDMI_MemoryController::Fill(const DMIStructureView& structure) {
    if (const auto method = structure.Byte(0x04))
        SetDMICodeName(m_ErrorCorrection, kControllerErrorDetection, *method);
    if (const auto size = structure.Byte(0x08)) m_iMaxModuleSizeMB = PowerOfTwoSizeMB(*size);
}

void CDMI_MemoryController::Dump(CReportGenerator* report) {
    PrintHeading(report, "DMI Memory Controller");
    PrintText(report, "\tcorrection", "\t\t", m_ErrorCorrection);
    if (IsValid(m_iMaxModuleSizeMB))
        report->PrintField("\tMax module size", "\t\t", "%d MBytes", m_iMaxModuleSizeMB);
}

// ---- Memory module ----

void CDMI_MemoryModule::Fill(const DMIStructureView& structure) {
    CopyDMIString(m_Designation, structure, 0x04);
    if (const auto size = structure.Byte(0x09)) {
        m_iInstalledSizeMB = PowerOfTwoSizeMB(*size);
        m_iBankCount = (*size & kDoubleBank) ? 2 : 1;
    }
}

void CDMI_MemoryModule::Dump(CReportGenerator* report) {
    PrintHeading(report, "DMI Memory Module");
    PrintText(report, "\tdesignation", "\t\t", m_Designation);
    if (!IsValid(m_iInstalledSizeMB)) return;
    const char* banks = !IsValid(m_iBankCount) ? "unknown"
                        : m_iBankCount == 1    ? "single bank"
                                               : "double bank";
    report->PrintField("\tsize", "\t\t\t", "%d MBytes (%s)", m_iInstalledSizeMB, banks);
}

// ---- Physical memory array ----

void CDMI_PhysicalMemoryArray::Fill(const DMIStructureView& structure) {
    if (const auto location = structure.Byte(0x04)) SetDMICodeName(m_Location, kArrayLocations, *location);
    if (const auto use = structure.Byte(0x05)) SetDMICodeName(m_Use, kArrayUses, *use);
    if (const auto correction = structure.Byte(0x06))
        SetDMICodeName(m_ErrorCorrection, kArrayErrorCorrection, *correction);
    if (const auto capacityKB = structure.Dword(0x07); capacityKB && *capacityKB != kCapacityUnknown)
        m_iMaxCapacityMB = static_cast<int32_t>(*capacityKB / 1024);
    if (const auto devices = structure.Word(0x0D)) m_iDeviceCount = *devices;
}

void CDMI_PhysicalMemoryArray::Dump(CReportGenerator* report) {
    PrintHeading(report, "DMI Physical Memory Array");
    PrintText(report, "\tlocation", "\t\t", m_Location);
    PrintText(report, "\tusage", "\t\t\t", m_Use);
    PrintText(report, "\tcorrection", "\t\t", m_ErrorCorrection);
    if (IsValid(m_iMaxCapacityMB))
        report->PrintField("\tmax capacity", "\t\t", "%d MBytes", m_iMaxCapacityMB);
    if (IsValid(m_iDeviceCount)) report->PrintField("\tmax# of devices", "\t\t", "%d", m_iDeviceCount);
}

// ---- Memory device ----

void CDMI_MemoryDevice::Fill(const DMIStructureView& structure) {
    CopyDMIString(m_DeviceLocator, structure, 0x10, CDMIText::kSize - 1, DMITextMode::AsStored);
    if (const auto form = structure.Byte(0x0E)) SetDMICodeName(m_FormFactor, kFormFactors, *form);
    if (const auto type = structure.Byte(0x12)) SetDMICodeName(m_MemoryType, kMemoryTypes, *type);
    if (const auto width = structure.Word(0x08); width && IsKnownWord(*width)) m_iTotalWidth = *width;
    if (const auto width = structure.Word(0x0A); width && IsKnownWord(*width)) m_iDataWidth = *width;
    if (const auto size = structure.Word(0x0C); size && IsKnownWord(*size))
        m_iSizeMB = (*size & kSizeInKB) ? (*size >> 10 & 0x1F) : *size;
    if (const auto speed = structure.Word(0x15); speed && IsKnownWord(*speed)) m_iSpeedMHz = *speed;
}

void CDMI_MemoryDevice::Dump(CReportGenerator* report) {
    PrintHeading(report, "DMI Memory Device");
    PrintText(report, "\tdesignation", "\t\t", m_DeviceLocator);
    PrintText(report, "\tformat", "\t\t\t", m_FormFactor);
    PrintText(report, "\ttype", "\t\t\t", m_MemoryType);
    if (IsValid(m_iTotalWidth)) report->PrintField("\ttotal width", "\t\t", "%d bits", m_iTotalWidth);
    if (IsValid(m_iDataWidth)) report->PrintField("\tdata width", "\t\t", "%d bits", m_iDataWidth);
    if (IsValid(m_iSizeMB)) report->PrintField("\tsize", "\t\t\t", "%d MBytes", m_iSizeMB);
    if (IsValid(m_iSpeedMHz)) report->PrintField("\tspeed", "\t\t\t", "%d MHz", m_iSpeedMHz);
}
