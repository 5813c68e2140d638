#include "sdk/display/intel_directio_api.h"

#include <cstring>

#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/cpu/cpu_interface.h"
#include "sdk/display/display_adapter.h"
#include "sdk/display/display_api_support.h"
#include "sdk/display/display_devices.h"
#include "sdk/display/display_interface.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/pci_interface.h"

namespace {

constexpr uint16_t kIntelVendor = 0x8086;
constexpr uint16_t kClarkdaleGraphics = 0x0042;
constexpr uint16_t kEaglelakeGraphics = 0x2E22;
constexpr uint32_t kMchbarRegister = 0x48;
constexpr uint32_t kMchbarMask = 0xFFFFC000;
constexpr uint32_t kMchbarWindowSize = 0x4C00;
constexpr uint32_t kThermalWindowSize = 0x1000;
constexpr uint32_t kGraphicsRatioRegister = 0x5948;
constexpr float kDefaultBusClock = 100.0f;
constexpr float kClarkdaleClockStep = 33.34f;

struct IntelGraphicsRow {
    uint16_t device;
    const char* name;      // null: unchanged
    const char* codename;  // null: unchanged
    uint32_t family;       // 0xFFFFFFFF: unchanged
    float technology;      // < 0: unchanged
};

constexpr uint32_t kKeep = 0xFFFFFFFF;

const IntelGraphicsRow kIntelGraphics[] = {
    {0x0042, nullptr, "Clarkdale", kKeep, 0.045f},
    {0x0102, nullptr, "Sandy Bridge", kKeep, 0.032f},
    {0x0112, nullptr, "Sandy Bridge", kKeep, 0.032f},
    {0x0116, nullptr, "Sandy Bridge", kKeep, 0.032f},
    {0x0122, nullptr, "Sandy Bridge", kKeep, 0.032f},
    {0x0126, nullptr, "Sandy Bridge", kKeep, 0.032f},
    {0x0412, nullptr, nullptr, 0x4400000, 0.022f},
    {0x0A26, "Intel HD Graphics 5000", "Haswell ULT GT3", kKeep, 0.022f},
    {0x0D26, nullptr, nullptr, 0x4400005, 0.022f},
    {0x2772, "Intel 82852/82855 GM/GME", nullptr, kKeep, -1.0f},
    {0x27A6, "Intel i945GME", nullptr, kKeep, -1.0f},
    {0x27AE, "Intel i945GME", nullptr, kKeep, -1.0f},
    {0x2E22, nullptr, "Eaglelake", kKeep, 0.065f},
};

// The generations whose graphics clock ratio sits in the MCHBAR window.
constexpr uint16_t kMchbarClockDevices[] = {0x0102, 0x0112, 0x0116, 0x0122, 0x0126,
                                            0x0166, 0x0402, 0x0412, 0x0A16, 0x0D26};

void ApplyDeviceRow(CDisplayAdapter* adapter, uint16_t device) {
    for (const IntelGraphicsRow& row : kIntelGraphics) {
        if (row.device != device) continue;
        if (row.name) FormatString(adapter->Name, sizeof adapter->Name, "%s", row.name);
        if (row.codename) FormatString(adapter->Codename, sizeof adapter->Codename, "%s", row.codename);
        if (row.family != kKeep) adapter->FamilyCode = row.family;
        if (row.technology > 0.0f) adapter->Technology = row.technology;
    }
}

template <typename Visit>
void ForEachPCIChild(CDisplayAdapter* adapter, Visit visit) {
    CTListIterator<CDevice> it(adapter->m_pChildren);
    for (CDevice* child = it.GetFirst(); child; child = it.GetNext())
        if (child->m_dwKind & DEVICE_PCI) visit(static_cast<CPCIDevice*>(child));
}

// The chipset window whose base the host bridge's register 0x48 holds;
// null when the bridge cannot be read, the window is not enabled (when
// `needEnable`) or its base is 0.
CIOSpace* HostBridgeWindow(uint32_t size, bool needEnable) {
    CPCIInterface* pci = GetSDK()->m_pPCI;
    if (!pci) return nullptr;
    CPCIDevice* bridge = pci->FindDevice(0, 0, 0);
    uint32_t value = 0;
    if (!bridge || !bridge->ReadConfigDword(kMchbarRegister, &value)) return nullptr;
    if (needEnable && !(value & 1)) return nullptr;
    return SharedMemoryWindow(value & kMchbarMask, size);
}

// The processor interface's measured bus clock, 100 MHz without one; -1
// while the processor interface has not measured it yet.
float MeasuredBusClock() {
    CCPUInterface* cpu = GetSDK()->m_pCPU;
    return cpu ? cpu->m_fBusClock : kDefaultBusClock;
}

} // namespace

uint32_t IntelStolenMemoryMB(uint32_t code) {
    switch (code) {
    case 5: return 32;
    case 6: return 48;
    case 7: return 64;
    case 8: return 128;
    case 9: return 256;
    case 10: return 96;
    case 11: return 160;
    case 12: return 224;
    case 13: return 352;
    default: return 0;
    }
}

Intel_DirectIO_DisplayAPI::Intel_DirectIO_DisplayAPI() : CDisplayAPI(DISPLAY_API_INTEL_IO) {
    FormatString(Name, sizeof Name, "Intel I/O");
}

int Intel_DirectIO_DisplayAPI::Init() {
    BRENIKSDK* sdk = GetSDK();
    CDisplayInterface* display = sdk->m_pDisplay;
    int result = 0;
    CTList<CDevice> functions;
    ForEachDisplayDevice([&](const DISPLAY_DEVICEA& listed) {
        uint16_t vendor = 0, device = 0;
        GetDisplayDeviceIDs(listed.DeviceName, &vendor, &device);
        if (vendor != kIntelVendor || !sdk->m_pPCI || !display) return true;
        CTList<CDevice> found;
        sdk->m_pPCI->FindDevicesByID(vendor, device, &found);
        const bool added = found.GetCount() > 0;
        CTListIterator<CDevice> more(&found);
        for (CDevice* function = more.GetFirst(); function; function = more.GetNext()) functions.AddTail(function);
        found.RemoveAll();
        if (!added) return true;
        CTListIterator<CDevice> it(&functions);
        for (CDevice* function = it.GetFirst(); function; function = it.GetNext()) {
            auto* pci = static_cast<CPCIDevice*>(function);
            result = 1;
            CDisplayAdapter* adapter = display->FindAdapterOfDevice(pci);
            if (!adapter) {
                adapter = new CDisplayAdapter;
                if (!FindDisplayDevice(pci->GetVendorID(), pci->GetDeviceID(), adapter))
                    FormatString(adapter->Name, sizeof adapter->Name, "Intel 0x%04X", unsigned(pci->GetDeviceID()));
                adapter->AddChild(pci);
                RegisterAdapter(adapter);
            }
            if (adapter->DisplayName[0] == '\0')
                FormatString(adapter->DisplayName, sizeof adapter->DisplayName, "%.*s",
                             int(sizeof adapter->DisplayName - 1), listed.DeviceName);
            adapter->AddAPIEntry(this, -1);
            if (adapter->FamilyCode == 0xFFFFFFFF) adapter->FamilyCode = GPU_FAMILY_INTEL;
            ApplyDeviceRow(adapter, pci->GetDeviceID());
        }
        return true;
    });
    functions.RemoveAll();
    return result;
}

void Intel_DirectIO_DisplayAPI::Dump(CReportGenerator* report) { DumpAPIField(report, "Intel I/O"); }

void Intel_DirectIO_DisplayAPI::Dump2(CReportGenerator* report) { DumpAPISection(report, "Intel I/O"); }

int Intel_DirectIO_DisplayAPI::GetMemorySize(CDisplayAdapter* adapter, uint32_t* mb) {
    CPCIInterface* pci = GetSDK()->m_pPCI;
    if (!adapter || !pci) return 0;
    int result = 0;
    ForEachPCIChild(adapter, [&](CPCIDevice* child) {
        if (child->GetDeviceID() != kClarkdaleGraphics) return;
        uint32_t value = 0;
        if (!pci->ReadConfig(0, 0, 0, 0x52, &value)) return;
        const uint32_t size = IntelStolenMemoryMB((value >> 4) & 0xF);
        if (size == 0) return;
        *mb = size;
        result = 1;
    });
    return result;
}

int Intel_DirectIO_DisplayAPI::GetCoreClock(CDisplayAdapter* adapter, int32_t, float* mhz, float*, float* max) {
    if (!adapter) return 0;
    int result = 0;
    ForEachPCIChild(adapter, [&](CPCIDevice* child) {
        const uint16_t device = child->GetDeviceID();
        if (device == kClarkdaleGraphics) {
            uint32_t value = 0;
            if (!child->ReadConfigDword(0x4C, &value)) return;
            *max = float((value >> 16) & 0x3F) * kClarkdaleClockStep;
            *mhz = float(value & 0x3F) * kClarkdaleClockStep;
            result = 1;
            return;
        }
        bool mchbarClock = false;
        for (uint16_t known : kMchbarClockDevices) mchbarClock = mchbarClock || known == device;
        if (!mchbarClock) return;
        CIOSpace* window = HostBridgeWindow(kMchbarWindowSize, false);
        uint32_t value = 0;
        if (!window || !window->ReadDword(kGraphicsRatioRegister, &value)) return;
        const float busClock = MeasuredBusClock();
        if (busClock <= 0.0f) return;  // a clock of an unknown bus clock is no answer
        *mhz = float((value >> 8) & 0xFF) * busClock * 0.5f;
        result = 1;
    });
    return result;
}

int Intel_DirectIO_DisplayAPI::GetTemperature(CDisplayAdapter* adapter, float*) {
    if (!adapter) return 0;
    ForEachPCIChild(adapter, [&](CPCIDevice* child) {
        if (child->GetDeviceID() == kEaglelakeGraphics) HostBridgeWindow(kThermalWindowSize, true);
    });
    return 0;
}
