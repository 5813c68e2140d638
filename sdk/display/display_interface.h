// The graphics domain: one display adapter per PCI display controller, the
// display APIs that describe them, and the monitors' EDID.
#pragma once

#include <cstdint>

#include "sdk/core/interface.h"
#include "sdk/core/list.h"

class CDevice;
class CDisplayAdapter;
class CDisplayAPI;
class CReportGenerator;
struct _EDID_INFOS;

enum DisplayInterfaceFlags : uint32_t {
    // Also create the APIs that load vendor driver libraries.
    UseVendorLibraries = 0x1,
};

class CDisplayInterface : public CInterface {
public:
    explicit CDisplayInterface(uint32_t flags);
    CDisplayInterface(const CDisplayInterface&) = delete;
    CDisplayInterface& operator=(const CDisplayInterface&) = delete;

    int Init() override;  // always 1
    void Close() override;
    ~CDisplayInterface() override;

    // Numbers the adapter, lists it here and in the root's device list.
    void AddAdapter(CDisplayAdapter* adapter);
    CDisplayAdapter* GetAdapter(int32_t index);
    CDisplayAdapter* FindAdapterOfDevice(CDevice* pciDevice);
    CDisplayAdapter* FindAdapterByLocation(uint32_t bus, uint32_t device, uint32_t function);
    int32_t FindAdaptersByID(uint16_t vendor, uint16_t device, CTList<CDevice>* list);
    // Decodes the EDID of every present monitor; 1 when one was decoded.
    int ReadMonitors();
    void Refresh();
    // APIs, adapters, the video controllers WMI lists, the monitors.
    void Dump(CReportGenerator* report);
    void DumpAdapters(CReportGenerator* report);

    CTList<CDevice>* Adapters;   // references; the root's device list owns them
    CTList<CDisplayAPI>* APIs;   // owned
    uint32_t Flags;
    CTList<_EDID_INFOS>* Monitors;  // owned plain records

private:
    void DropAdapters();
    void DropAPIs();
    void CreateAdapters();
    // Initialises the API and keeps it, or deletes it when it fails.
    void AddAPI(CDisplayAPI* api);
    bool HasAdapterOfVendor(uint16_t vendor);
    void CreateNVIDIAAPIs();
    void DumpVideoControllers(CReportGenerator* report);
};
