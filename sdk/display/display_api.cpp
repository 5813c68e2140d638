#include "sdk/display/display_api.h"

#include <cstring>

#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/display/display_adapter.h"
#include "sdk/display/display_devices.h"
#include "sdk/display/display_interface.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/pci_interface.h"
#include "sdk/system/wmi_interface.h"

namespace {
constexpr int32_t kMaxFunctionsPerDevice = 64;
constexpr uint32_t kDisplayNameChars = 31;
} // namespace

CDisplayAPI::CDisplayAPI(uint32_t code) : Name{}, Code(code) {}

int CDisplayAPI::GetDisplayDeviceIDs(const char* deviceName, uint16_t* vendor, uint16_t* device) {
    bool found = false;
    ForEachDisplayDevice([&](const DISPLAY_DEVICEA& listed) {
        if (std::strcmp(listed.DeviceName, deviceName) != 0) return true;
        ParseDisplayDeviceIDs(listed.DeviceID, vendor, device);
        found = true;
        return false;
    });
    return found ? 1 : 0;
}

int CDisplayAPI::FindDisplayDevice(uint16_t vendor, uint16_t device, CDisplayAdapter* adapter) {
    bool found = false;
    ForEachDisplayDevice([&](const DISPLAY_DEVICEA& listed) {
        uint16_t listedVendor = 0, listedDevice = 0;
        ParseDisplayDeviceIDs(listed.DeviceID, &listedVendor, &listedDevice);
        if (listedVendor != vendor || listedDevice != device) return true;
        FormatString(adapter->Name, sizeof adapter->Name, "%s", listed.DeviceString);
        found = true;
        return false;
    });
    return found ? 1 : 0;
}

void CDisplayAPI::RegisterAdapter(CDisplayAdapter* adapter) {
    if (CDisplayInterface* display = GetSDK()->m_pDisplay) display->AddAdapter(adapter);
}

void CDisplayAPI::DumpNameField(CReportGenerator* report) { report->PrintField("API", "\t\t\t\t", "%s", Name); }

void CDisplayAPI::DumpNameSection(CReportGenerator* report) {
    char title[sizeof Name + 8];
    FormatString(title, sizeof title, "API %s", Name);
    report->PrintSectionTitle(title);
}

int CDisplayAPI::Init() {
    BRENIKSDK* sdk = GetSDK();
    CDisplayInterface* display = sdk->m_pDisplay;
    ForEachDisplayDevice([&](const DISPLAY_DEVICEA& listed) {
        uint16_t vendor = 0, device = 0;
        if (!GetDisplayDeviceIDs(listed.DeviceName, &vendor, &device) || !sdk->m_pPCI || !display) return true;
        CTList<CDevice> functions;
        sdk->m_pPCI->FindDevicesByID(vendor, device, &functions);
        CTListIterator<CDevice> it(&functions);
        int32_t considered = 0;
        CPCIDevice* free = nullptr;
        for (CDevice* function = it.GetFirst(); function && considered < kMaxFunctionsPerDevice && !free;
             function = it.GetNext(), ++considered)
            if (!display->FindAdapterOfDevice(function)) free = static_cast<CPCIDevice*>(function);
        functions.RemoveAll();
        if (!free) return true;
        auto* adapter = new CDisplayAdapter;
        adapter->AddAPIEntry(this, -1);
        display->AddAdapter(adapter);
        adapter->AddChild(free);
        FormatString(adapter->DisplayName, sizeof adapter->DisplayName, "%.*s", int(kDisplayNameChars),
                     listed.DeviceName);
        FindDisplayDevice(vendor, device, adapter);
        adapter->FamilyCode = GPUFamilyOfVendor(free->GetVendorID());
        return true;
    });
    return 1;
}

int CDisplayAPI::GetMemorySize(CDisplayAdapter* adapter, uint32_t* mb) {
    CWMIInterface* wmi = GetSDK()->m_pWMI;
    if (!wmi || !wmi->Connect(L"\\\\.\\root\\cimv2")) return 0;
    int result = 0;
    const int count = wmi->QueryProperty("Win32_VideoController", L"AdapterRAM");
    if (count > 0) {
        const int position = adapter && adapter->Index >= 0 && adapter->Index < count ? adapter->Index : 0;
        CTListIterator<CWMI_Property> it(wmi->m_pProperties);
        CWMI_Property* value = it.GetFirst();
        for (int i = 0; value && i < position; ++i) value = it.GetNext();
        if (value) {
            *mb = uint32_t(value->m_iValue) >> 20;
            result = 1;
        }
    }
    wmi->Disconnect();
    return result;
}
