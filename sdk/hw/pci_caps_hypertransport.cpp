#include "sdk/hw/pci_caps_hypertransport.h"

#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"

namespace {

constexpr int32_t kSlavePrimarySize = 28;
constexpr int32_t kHostSecondarySize = 24;

// Link width codes (three bits) in bits.
int32_t LinkWidth(uint32_t code) {
    switch (code & 7) {
    case 0: return 8;
    case 1: return 16;
    case 3: return 32;
    case 4: return 2;
    case 5: return 4;
    default: return -1;
    }
}

// Link frequency codes (four bits) in MHz.
int32_t LinkFrequency(uint32_t code) {
    constexpr int32_t kMHz[16] = {200, 300, 400, 500, 600, 800, 1000, 1200,
                                  1400, 1600, 1800, 2000, 2200, 2400, 2600, 100};
    return kMHz[code & 0xF];
}

struct InterfaceName {
    int32_t type;
    const char* name;
};

constexpr InterfaceName kInterfaceNames[] = {
    {0x00, "Slave/Primary"},
    {0x01, "Host/Secondary"},
    {0x08, "Switch"},
    {0x10, "Interrupt Discovery and Configuration"},
    {0x11, "Revision ID"},
    {0x12, "Clumping"},
    {0x13, "Extended Configuration Space"},
    {0x14, "Address Mapping"},
    {0x15, "MSI Mapping"},
    {0x16, "Direct Route"},
    {0x17, "VCSet"},
    {0x18, "Retry Mode"},
    {0x19, "X86 Encoding"},
    {0x1A, "Gen3"},
    {0x1B, "Function-Level Extension"},
    {0x1C, "Power Management"},
};

} // namespace

void CPCICaps_HT::Parse(CPCIDevice* device) {
    if (!HasOffset()) return;
    const uint16_t command = Word(device, 2);
    const uint32_t shortType = command >> 13;
    m_iInterfaceType = shortType <= 1 ? int32_t(shortType) : int32_t(command >> 11);
    if (m_iInterfaceType == kSlavePrimary) {
        m_iSize = kSlavePrimarySize;
        const uint16_t link0 = Word(device, 6), link1 = Word(device, 0x0A);
        m_iLink0WidthIn = LinkWidth(link0 >> 8);
        m_iLink0WidthOut = LinkWidth(link0 >> 12);
        m_iLink1WidthIn = LinkWidth(link1 >> 8);
        m_iLink1WidthOut = LinkWidth(link1 >> 12);
        const uint8_t revision = Byte(device, 0x0C);
        m_iRevisionMajor = revision >> 5;
        m_iRevisionMinor = revision & 0x1F;
        m_iLink0Frequency = LinkFrequency(Byte(device, 0x0D));
        m_iLink1Frequency = LinkFrequency(Byte(device, 0x11));
    } else if (m_iInterfaceType == kHostSecondary) {
        m_iSize = kHostSecondarySize;
        m_iDeviceNumber = (command >> 2) & 0x1F;
        const uint16_t link0 = Word(device, 6);
        m_iLink0WidthIn = LinkWidth(link0 >> 8);
        m_iLink0WidthOut = LinkWidth(link0 >> 12);
        const uint8_t revision = Byte(device, 8);
        m_iRevisionMajor = revision >> 5;
        m_iRevisionMinor = revision & 0x1F;
        m_iLink0Frequency = LinkFrequency(Byte(device, 9));
    }
}

void CPCICaps_HT::DumpLink(CReportGenerator* report, int link, int32_t widthIn, int32_t widthOut, int32_t frequency) {
    char label[64];
    if (IsValid(widthIn) && IsValid(widthOut)) {
        FormatString(label, sizeof label, "\tLink %d width (in/out)", link);
        report->PrintField(label, "\t", "%d bits/%d bits", widthIn, widthOut);
    } else if (IsValid(widthIn)) {
        FormatString(label, sizeof label, "\tLink %d width (in)", link);
        report->PrintField(label, "\t\t", "%d bits", widthIn);
    } else if (IsValid(widthOut)) {
        FormatString(label, sizeof label, "\tLink %d width (out)", link);
        report->PrintField(label, "\t", "%d bits", widthOut);
    }
    if (IsValid(frequency)) {
        FormatString(label, sizeof label, "\tLink %d frequency", link);
        report->PrintField(label, "\t", "%d MHz", frequency);
    }
}

void CPCICaps_HT::Dump(CReportGenerator* report) {
    if (!report) return;
    CPCICapability::Dump(report);
    if (IsValid(m_iRevisionMajor) && IsValid(m_iRevisionMinor))
        report->PrintField("\tCaps revision", "\t\t", "%d.%02d", m_iRevisionMajor, m_iRevisionMinor);
    char type[32];
    FormatString(type, sizeof type, "%02Xh", m_iInterfaceType);
    for (const InterfaceName& known : kInterfaceNames)
        if (known.type == m_iInterfaceType) FormatString(type, sizeof type, "%s", known.name);
    report->PrintField("\tInterface type", "\t\t", "%s", type);
    if (IsValid(m_iDeviceNumber)) report->PrintField("\tDevice number", "\t\t", "%d", m_iDeviceNumber);
    DumpLink(report, 0, m_iLink0WidthIn, m_iLink0WidthOut, m_iLink0Frequency);
    DumpLink(report, 1, m_iLink1WidthIn, m_iLink1WidthOut, m_iLink1Frequency);
}
