#include "sdk/system/dmi_connectors.h"

#include <algorithm>

#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/system/dmi_table.h"

namespace {

// Connector types 1 (Centronics) to 33 (IEEE 1394) and 0xA0 to 0xA4.
constexpr DMICodeName kConnectorTypes[] = {
    {1, "Centronics"},
    {2, "Mini Centronics"},
    {3, "Proprietary"},
    {4, "DB-25 male"},
    {5, "DB-25 female"},
    {6, "DB-15 male"},
    {7, "DB-15 female"},
    {8, "DB-9 male"},
    {9, "DB-9 female"},
    {10, "RJ-11"},
    {11, "RJ-45"},
    {12, "50 Pin MiniSCSI"},
    {13, "Mini DIN"},
    {14, "Micro DIN"},
    {15, "PS/2"},
    {16, "Infrared"},
    {17, "HP-HIL"},
    {18, "Access Bus (USB)"},
    {19, "SSA SCSI"},
    {20, "Circular DIN-8 male"},
    {21, "Circular DIN-8 female"},
    {22, "On Board IDE"},
    {23, "On Board Floppy"},
    {24, "9 Pin Dual Inline (pin 10 cut)"},
    {25, "25 Pin Dual Inline (pin 26 cut)"},
    {26, "50 Pin Dual Inline"},
    {27, "68 Pin Dual Inline"},
    {28, "On Board Sound Input From CD-ROM"},
    {29, "Mini Centronics Type-14"},
    {30, "Mini Centronics Type-26"},
    {31, "Mini Jack (headphones)"},
    {32, "BNC"},
    {33, "IEEE 1394"},
    {0xA0, "PC-98"},
    {0xA1, "PC-98 Hireso"},
    {0xA2, "PC-H98"},
    {0xA3, "PC-98 Note"},
    {0xA4, "PC-98 Full"},
};
static_assert(DMICodesSorted(kConnectorTypes));

// Port types 1 (Parallel Port XT/AT) to 31 (Network Port), 0xA0 and 0xA1.
constexpr DMICodeName kPortTypes[] = {
    {1, "Parallel Port XT/AT"},
    {2, "Parallel Port PS/2"},
    {3, "Parallel Port ECP"},
    {4, "Parallel Port EPP"},
    {5, "Parallel Port ECP/EPP"},
    {6, "Serial Port XT/AT"},
    {7, "Serial Port 16450"},
    {8, "Serial Port 16550"},
    {9, "Serial Port 16550A"},
    {10, "SCSI Port"},
    {11, "MIDI Port"},
    {12, "Joystick Port"},
    {13, "Keyboard Port"},
    {14, "Mouse Port"},
    {15, "SSA SCSI"},
    {16, "USB"},
    {17, "Firewire (IEEE P1394)"},
    {18, "PCMCIA Type I"},
    {19, "PCMCIA Type II"},
    {20, "PCMCIA Type III"},
    {21, "Cardbus"},
    {22, "Access Bus Port"},
    {23, "SCSI II"},
    {24, "SCSI Wide"},
    {25, "PC-98"},
    {26, "PC-98 Hireso"},
    {27, "PC-H98"},
    {28, "Video Port"},
    {29, "Audio Port"},
    {30, "Modem Port"},
    {31, "Network Port"},
    {0xA0, "8251 Compatible"},
    {0xA1, "8251 FIFO Compatible"},
};
static_assert(DMICodesSorted(kPortTypes));

// Slot types 3 (ISA) to 19 (AGP 8x) and 0xA0 to 0xA4; PCI Express (0xA5)
// and later show their code.
constexpr DMICodeName kSlotTypes[] = {
    {3, "ISA"},
    {4, "MCA"},
    {5, "EISA"},
    {6, "PCI"},
    {7, "PCMCIA"},
    {8, "VL-VESA"},
    {9, "Proprietary"},
    {10, "Processor Card Slot"},
    {11, "Memory Card Slot"},
    {12, "I/O Riser Card Slot"},
    {13, "NuBus"},
    {14, "PCI66"},
    {15, "AGP"},
    {16, "AGP 2x"},
    {17, "AGP 4x"},
    {18, "PCI-X"},
    {19, "AGP 8x"},
    {0xA0, "PC-98/C20"},
    {0xA1, "PC/98/C24"},
    {0xA2, "PC-98/E"},
    {0xA3, "PC-98/Local Bus"},
    {0xA4, "PC-98/Card"},
};
static_assert(DMICodesSorted(kSlotTypes));

// Data bus widths 3 (8 bits) to 7 (128 bits); the PCI Express lane counts
// (8 and up) and the rest are unknown.
int32_t SlotWidthBits(uint8_t code) { return code >= 3 && code <= 7 ? 8 << (code - 3) : -1; }

// Slot usage 3 (available) and 4 (in use); the rest is unknown.
int32_t SlotInUse(uint8_t code) { return code == 4 ? 1 : code == 3 ? 0 : -1; }

constexpr size_t kDesignatorChars = 127;
constexpr size_t kSlotDesignationChars = 63;
constexpr size_t kOEMLabelSize = 64;

// Port connector lines appear only for the texts that are known.
void PrintIfKnown(CReportGenerator* report, const char* label, const CDMIText& text) {
    if (!text.IsEmpty()) report->PrintField(label, "\t\t", "%s", text.Get());
}

} // namespace

// ---- Port connector ----

void CDMI_PortConnector::Fill(const DMIStructureView& structure) {
    CopyDMIString(m_InternalDesignator, structure, 0x04, kDesignatorChars);
    CopyDMIString(m_ExternalDesignator, structure, 0x06, kDesignatorChars);
    if (const auto port = structure.Byte(0x08)) SetDMICodeName(m_PortType, kPortTypes, *port);
    if (const auto inner = structure.Byte(0x05)) SetDMICodeName(m_InternalConnector, kConnectorTypes, *inner);
    if (const auto outer = structure.Byte(0x07)) SetDMICodeName(m_ExternalConnector, kConnectorTypes, *outer);
}

void CDMI_PortConnector::Dump(CReportGenerator* report) {
    PrintHeading(report, "DMI Port Connector");
    if (!m_InternalDesignator.IsEmpty())
        report->PrintField("\tdesignation", "\t\t", "%s (internal)", m_InternalDesignator.Get());
    if (!m_ExternalDesignator.IsEmpty())
        report->PrintField("\tdesignation", "\t\t", "%s (external)", m_ExternalDesignator.Get());
    PrintIfKnown(report, "\tport type", m_PortType);
    PrintIfKnown(report, "\tconnector", m_InternalConnector);
    PrintIfKnown(report, "\tconnector", m_ExternalConnector);
}

// ---- Extension slot ----

void CDMI_ExtensionSlot::Fill(const DMIStructureView& structure) {
    CopyDMIString(m_Designation, structure, 0x04, kSlotDesignationChars);
    if (const auto type = structure.Byte(0x05)) {
        if (const char* name = DMICodeNameOf(kSlotTypes, *type)) SetDMIText(m_SlotType, name);
        else FormatString(m_SlotType.Buffer(), CDMIText::kSize, "%X", *type);
    }
    if (const auto width = structure.Byte(0x06)) m_iDataBusWidth = SlotWidthBits(*width);
    if (const auto usage = structure.Byte(0x07)) m_iInUse = SlotInUse(*usage);
}

void CDMI_ExtensionSlot::Dump(CReportGenerator* report) {
    PrintHeading(report, "DMI Extension Slot");
    PrintText(report, "\tdesignation", "\t\t", m_Designation);
    PrintText(report, "\ttype", "\t\t\t", m_SlotType);
    if (IsValid(m_iDataBusWidth)) report->PrintField("\twidth", "\t\t\t", "%d bits", m_iDataBusWidth);
    if (IsValid(m_iInUse)) report->PrintField("\tpopulated", "\t\t", "%s", m_iInUse ? "yes" : "no");
}

// ---- OEM strings ----

void CDMI_OEM_Strings::Fill(const DMIStructureView& structure) {
    const auto count = structure.Byte(0x04);
    if (!count) return;
    m_iCount = *count;
    for (int i = 1; i <= m_iCount && i <= kSlots; ++i) {
        const auto found = DMIString(structure, static_cast<unsigned>(i));
        if (!found) continue;
        auto text = std::make_unique<CDMIText>();
        const size_t length = std::min(found->size(), CDMIText::kSize - 1);
        std::copy_n(found->data(), length, text->Buffer());
        m_pStrings[i - 1] = std::move(text);
    }
}

void CDMI_OEM_Strings::Dump(CReportGenerator* report) {
    PrintHeading(report, "DMI OEM Strings");
    for (int slot = 0; slot < kSlots; ++slot) {
        if (!m_pStrings[slot]) continue;
        char label[kOEMLabelSize];
        FormatString(label, sizeof label, "\tstring[%d]", slot);
        report->PrintField(label, "\t\t", "%s", m_pStrings[slot]->Get());
    }
}
