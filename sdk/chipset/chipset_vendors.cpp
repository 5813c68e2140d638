// Host bridges by PCI vendor: the vendors named right here (a vendor name
// and a few models), the Transmeta TM8000's memory clock, and the vendors
// whose bridges have family code of their own (ATI, AMD, ALi, SiS, NVIDIA,
// VIA and Intel, each in its <vendor>_northbridges file). Bridges of other
// vendors keep the "ID%04X" texts and the memory record stays unknown.
#include "sdk/chipset/ali_northbridges.h"
#include "sdk/chipset/amd_northbridges.h"
#include "sdk/chipset/ati_northbridges.h"
#include "sdk/chipset/chipset_interface.h"
#include "sdk/chipset/intel_northbridges.h"
#include "sdk/chipset/memory_info.h"
#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/north_bridge.h"
#include "sdk/chipset/nvidia_northbridges.h"
#include "sdk/chipset/sis_northbridges.h"
#include "sdk/chipset/via_northbridges.h"
#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/kmdriver.h"

namespace {

struct BridgeModel {
    uint16_t device;
    const char* model;
};

// A vendor whose bridges this file names: the vendor text, the models it
// knows (others keep their "ID%04X" text) and what else identification does.
struct BridgeVendor {
    uint16_t vendor;
    const char* name;
    const BridgeModel* models;
    size_t modelCount;
    void (*decode)(CChipsetInterface& chipset, CNorthBridge& bridge);
};

constexpr BridgeModel kCompaqModels[] = {{0x0007, "Triflex Model 4000"}};
constexpr BridgeModel kIBMModels[] = {{0x0302, "PCI-X Host Bridge"}};
constexpr BridgeModel kCyrixModels[] = {{0x0001, "MediaGXm MMX"}};
constexpr BridgeModel kServerWorksModels[] = {
    {0x0007, "NB6635"}, {0x0009, "NB6536"}, {0x0011, "CMIC-HE"}, {0x0012, "NB7430 Grand Champion LE"}, {0x0014, "GC LE"}};
constexpr BridgeModel kTransmetaModels[] = {{0x0060, "TM8000"}, {0x0395, "LongRun"}};
constexpr BridgeModel kRDCModels[] = {{0x6020, "R6020"}, {0x6021, "R6021"}, {0x6022, "R6022"}};

constexpr uint16_t kTM8000 = 0x0060;

void DecodeTransmeta(CChipsetInterface& chipset, CNorthBridge& bridge) {
    if (bridge.GetDeviceID() == kTM8000) DecodeTransmetaTM8000(&bridge, chipset.m_pMemoryInfo);
}

void IdentifyIntel(CChipsetInterface& chipset, CNorthBridge& bridge) { IdentifyIntelNorthBridge(&chipset, &bridge); }

// A vendor whose identifier names every bridge itself.
template <int (*Identify)(CChipsetInterface*, CNorthBridge*)>
void Family(CChipsetInterface& chipset, CNorthBridge& bridge) {
    Identify(&chipset, &bridge);
}

template <size_t N>
constexpr BridgeVendor Vendor(uint16_t id, const char* name, const BridgeModel (&models)[N],
                              void (*decode)(CChipsetInterface&, CNorthBridge&) = nullptr) {
    return {id, name, models, N, decode};
}

constexpr BridgeVendor kVendors[] = {
    Vendor(0x0E11, "Compaq", kCompaqModels),
    {0x1002, "ATI", nullptr, 0, Family<IdentifyATINorthBridge>},
    Vendor(0x1014, "IBM", kIBMModels),
    {0x1022, "AMD", nullptr, 0, Family<IdentifyAMDNorthBridge>},
    {0x1025, "ALI", nullptr, 0, Family<IdentifyALiNorthBridge>},
    {0x1039, "SiS", nullptr, 0, Family<IdentifySiSNorthBridge>},
    Vendor(0x1078, "Cyrix", kCyrixModels),
    {0x10B9, "ALI", nullptr, 0, Family<IdentifyALiNorthBridge>},
    {0x10DE, "NVIDIA", nullptr, 0, Family<IdentifyNVIDIANorthBridge>},
    {0x1106, "VIA", nullptr, 0, Family<IdentifyVIANorthBridge>},
    Vendor(0x1166, "ServerWorks", kServerWorksModels),
    {0x1179, "Toshiba", nullptr, 0, nullptr},
    Vendor(0x1279, "Transmeta", kTransmetaModels, DecodeTransmeta),
    Vendor(0x17F3, "RDC", kRDCModels),
    {0x8086, "Intel", nullptr, 0, IdentifyIntel},
};

constexpr uint8_t kTM8000ClockRegister = 0x4E;
constexpr float kTM8000ClockStep = 16.6667f;

} // namespace

void CChipsetInterface::IdentifyNorthBridge(CNorthBridge* bridge) {
    if (!bridge || !bridge->m_pDevice) return;
    const uint16_t vendor = bridge->GetVendorID();
    for (const BridgeVendor& entry : kVendors) {
        if (entry.vendor != vendor) continue;
        FormatString(bridge->m_szVendor, sizeof bridge->m_szVendor, "%s", entry.name);
        for (size_t i = 0; i < entry.modelCount; ++i)
            if (entry.models[i].device == bridge->GetDeviceID())
                FormatString(bridge->m_szModel, sizeof bridge->m_szModel, "%s", entry.models[i].model);
        if (entry.decode) entry.decode(*this, *bridge);
        return;
    }
}

void DecodeTransmetaTM8000(CNorthBridge*, CMemoryInfo* memory) {
    if (!memory) return;
    memory->m_iMemoryType = MEMORY_TYPE_DDR;
    CKMDriver* driver = GetSDK()->m_pDriver;
    if (!driver) return;
    for (uint32_t function = 1; function <= 4; ++function) {
        uint32_t value = 0;
        if (!driver->ReadPCIConfigDwordByPorts(0, 0, function, kTM8000ClockRegister, &value)) continue;
        const uint8_t step = static_cast<uint8_t>(value);
        if (!step) continue;
        memory->m_fDRAMFrequency = static_cast<float>(step) * kTM8000ClockStep;
        memory->m_bAsynchronous = 1;
        return;
    }
}
