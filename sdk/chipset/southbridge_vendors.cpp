// Southbridge identification: the dispatch by PCI vendor ID, and the
// vendors whose models follow from the device ID alone.
#include "sdk/chipset/chipset_interface.h"
#include "sdk/chipset/south_bridge.h"
#include "sdk/chipset/southbridges.h"
#include "sdk/core/helpers.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/pci_header.h"

namespace {

constexpr SouthBridgeModel kCompaqModels[] = {{0xA0F3, "Triflex"}};
constexpr SouthBridgeModel kCyrixModels[] = {{0x0100, "Cx5530"}};
constexpr SouthBridgeModel kServerWorksModels[] = {{0x0200, "OSB4"}, {0x0201, "CSB5"}};
constexpr SouthBridgeModel kRDCModels[] = {{0x6030, "R6030"}, {0x6031, "R6031"}, {0x6035, "R6035"}};

constexpr SouthBridgeModel kALiModels[] = {
    {0x1533, "M1533"}, {0x1563, "M1563"}, {0x1573, "M1573"}, {0x1575, "M1575"}, {0x1689, "M1689"}};

constexpr SouthBridgeModel kSiSModels[] = {
    {0x0008, "LPC Bridge"}, {0x0018, "85C503"}, {0x0496, "85C496"}, {0x0961, "961"},
    {0x0962, "962"},        {0x0963, "963"},    {0x0964, "964"},    {0x0965, "965"},
    {0x0966, "966"},        {0x0968, "968"},    {0x5582, "5582"}};

constexpr SouthBridgeModel kVIAModels[] = {
    {0x0586, "VT82C586"}, {0x0596, "VT82C596"}, {0x0686, "VT82C686"}, {0x3074, "VT8233"},
    {0x3109, "VT8233C"},  {0x3147, "VT8233A"},  {0x3177, "VT8235"},   {0x3227, "VT8237"},
    {0x3287, "VT8251"},   {0x3337, "VT8237A"},  {0x3372, "VT8237S"},  {0x3402, "VT8261"},
    {0x345B, "VX11"},     {0x8231, "VT8231"},   {0x8324, "CX700/VX700 Series SP"},
    {0x8353, "VX800/VX820"}, {0x8409, "VX855/VX875"}, {0x8410, "VX900/VX900M"}};

// A vendor's text and its namer; a namer of null names by `models`.
struct SouthBridgeVendor {
    uint16_t vendor;
    const char* name;
    void (*namer)(CChipsetInterface*, CSouthBridge*);
    const SouthBridgeModel* models;
    size_t modelCount;
};

template <size_t N>
constexpr SouthBridgeVendor ByTable(uint16_t vendor, const char* name, const SouthBridgeModel (&models)[N]) {
    return {vendor, name, nullptr, models, N};
}

constexpr SouthBridgeVendor ByNamer(uint16_t vendor, const char* name, void (*namer)(CChipsetInterface*, CSouthBridge*)) {
    return {vendor, name, namer, nullptr, 0};
}

constexpr SouthBridgeVendor kVendors[] = {
    ByTable(0x0E11, "Compaq", kCompaqModels),
    ByNamer(0x1002, "ATI", NameATISouthBridge),
    ByNamer(0x1022, "AMD", NameAMDSouthBridge),
    ByNamer(0x1025, "ALI", IdentifyALiSouthBridge),
    ByNamer(0x1039, "SiS", NameSiSSouthBridge),
    ByTable(0x1078, "Cyrix", kCyrixModels),
    ByNamer(0x10B9, "ALI", IdentifyALiSouthBridge),
    ByNamer(0x10DE, "NVIDIA", IdentifyNVIDIASouthBridge),
    ByNamer(0x1106, "VIA", IdentifyVIASouthBridge),
    ByTable(0x1166, "ServerWorks", kServerWorksModels),
    ByTable(0x17F3, "RDC", kRDCModels),
    ByNamer(0x8086, "Intel", IdentifyIntelSouthBridge),
};

} // namespace

void CChipsetInterface::IdentifySouthBridge(CSouthBridge* bridge) {
    if (!bridge || !bridge->m_pDevice) return;
    const uint16_t vendor = bridge->m_pDevice->GetVendorID();
    for (const SouthBridgeVendor& entry : kVendors) {
        if (entry.vendor != vendor) continue;
        SetSouthBridgeVendor(bridge, entry.name);
        if (entry.namer) entry.namer(this, bridge);
        else NameSouthBridgeByTable(bridge, entry.models, entry.modelCount);
        return;
    }
}

void NameSouthBridgeByTable(CSouthBridge* bridge, const SouthBridgeModel* models, size_t count) {
    const uint16_t device = SouthBridgeDeviceID(bridge);
    for (size_t i = 0; i < count; ++i)
        if (models[i].device == device) SetSouthBridgeModel(bridge, models[i].model);
}

void SetSouthBridgeVendor(CSouthBridge* bridge, const char* vendor) {
    FormatString(bridge->m_szVendor, sizeof bridge->m_szVendor, "%s", vendor);
}

void SetSouthBridgeModel(CSouthBridge* bridge, const char* model) {
    FormatString(bridge->m_szModel, sizeof bridge->m_szModel, "%s", model);
}

void SetSouthBridgeRevision(CSouthBridge* bridge, const char* revision) {
    FormatString(bridge->m_szRevision, sizeof bridge->m_szRevision, "%s", revision);
}

uint16_t SouthBridgeDeviceID(const CSouthBridge* bridge) { return bridge->m_pDevice->GetDeviceID(); }

uint8_t SouthBridgeRevisionID(const CSouthBridge* bridge) {
    return bridge->m_pDevice->m_pCommonHeader->m_byRevisionID;
}

void IdentifyALiSouthBridge(CChipsetInterface*, CSouthBridge* bridge) {
    SetSouthBridgeVendor(bridge, "ALI");
    NameSouthBridgeByTable(bridge, kALiModels);
}

void NameSiSSouthBridge(CChipsetInterface*, CSouthBridge* bridge) {
    SetSouthBridgeVendor(bridge, "SiS");
    NameSouthBridgeByTable(bridge, kSiSModels);
}

void IdentifyVIASouthBridge(CChipsetInterface*, CSouthBridge* bridge) {
    SetSouthBridgeVendor(bridge, "VIA");
    NameSouthBridgeByTable(bridge, kVIAModels);
}
