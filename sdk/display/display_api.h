// A way of learning about a graphics processor: a vendor driver library or
// direct register access. Every query takes the adapter first, writes its
// answer through the output pointer and returns 1, or returns 0 and leaves
// the output untouched when the value is not offered; counts and indexes
// answer -1 for "not known". The base answers nothing and carries the
// operations every API shares: Windows display devices by name or PCI ids,
// and the video memory size from WMI.
#pragma once

#include <cstdint>

class CDisplayAdapter;
class CReportGenerator;

enum DisplayAPICode : uint32_t {
    DISPLAY_API_GENERIC = 0x10000,
    DISPLAY_API_NVAPI = 0x20004,
    DISPLAY_API_NVIDIA_IO = 0x20005,
    DISPLAY_API_ADL = 0x30006,
    DISPLAY_API_ATI_IO = 0x30007,
    DISPLAY_API_INTEL_IO = 0x30008,
};

enum GPUUsageDomain : int32_t {
    GPU_USAGE_GPU = 0,
    GPU_USAGE_FRAME_BUFFER = 1,
    GPU_USAGE_VIDEO_ENGINE = 2,
    GPU_USAGE_BUS_INTERFACE = 3,
};

class CDisplayAPI {
public:
    explicit CDisplayAPI(uint32_t code);
    virtual ~CDisplayAPI() = default;
    CDisplayAPI(const CDisplayAPI&) = delete;
    CDisplayAPI& operator=(const CDisplayAPI&) = delete;

    // Binds the API to its adapters; non-zero when usable. The base makes
    // an adapter for every display device whose PCI function has none.
    virtual int Init();
    virtual void Release() {}
    virtual int EnumGPUs() { return 0; }
    virtual void PrePCIScan() {}
    virtual void Dump(CReportGenerator*) {}
    virtual void Dump2(CReportGenerator*) {}
    virtual int GetTemperature(CDisplayAdapter*, float*) { return 0; }
    virtual int GetFanSpeed(CDisplayAdapter*, float*) { return 0; }
    virtual int GetFanDuty(CDisplayAdapter*, uint32_t*) { return 0; }
    virtual int GetPstateVoltage(CDisplayAdapter*, int32_t, int32_t, float*) { return 0; }
    virtual int GetCoreVoltage(CDisplayAdapter*, float*) { return 0; }
    virtual int32_t GetPstateCount(CDisplayAdapter*) { return -1; }
    virtual int32_t GetPstateId(CDisplayAdapter*, int32_t) { return -1; }
    virtual int32_t GetCurrentPstate(CDisplayAdapter*, uint32_t*, uint32_t*) { return -1; }
    virtual int ReservedQueryA(void*, void*, void*, void*) { return 0; }
    virtual int SetPstateVoltage(CDisplayAdapter*, int32_t, int32_t, float) { return 0; }
    virtual int ReservedQueryB(void*, void*, void*, void*) { return 0; }
    virtual int GetUsage(CDisplayAdapter*, int32_t, float*) { return 0; }
    virtual int32_t GetPerfLevelCount(CDisplayAdapter*) { return 1; }
    virtual int GetPerfLevelName(CDisplayAdapter*, int32_t, char*) { return 0; }
    virtual int32_t GetCurrentPerfLevel(CDisplayAdapter*) { return -1; }
    virtual int GetCoreClock(CDisplayAdapter*, int32_t, float*, float*, float*) { return 0; }
    virtual int GetShaderClock(CDisplayAdapter*, int32_t, float*, float*, float*) { return 0; }
    virtual int GetMemoryClock(CDisplayAdapter*, int32_t, float*, float*, float*) { return 0; }
    virtual int GetCoreClock2(CDisplayAdapter*, int32_t, float*) { return 0; }
    virtual int GetShaderClock2(CDisplayAdapter*, int32_t, float*) { return 0; }
    virtual int GetMemoryClock2(CDisplayAdapter*, int32_t, float*) { return 0; }
    virtual int SetCoreClock(CDisplayAdapter*, int32_t, float) { return 0; }
    virtual int SetShaderClock(CDisplayAdapter*, int32_t, float) { return 0; }
    virtual int SetMemoryClock(CDisplayAdapter*, int32_t, float) { return 0; }
    virtual int GetMemoryType(CDisplayAdapter*, uint32_t*) { return 0; }
    // Win32_VideoController's AdapterRAM of the adapter's position, in MB.
    virtual int GetMemorySize(CDisplayAdapter* adapter, uint32_t* mb);
    virtual int GetMemoryBusWidth(CDisplayAdapter*, uint32_t*) { return 0; }
    virtual int I2CReadByte(CDisplayAdapter*, int32_t, int32_t, int32_t, int32_t, uint8_t*, int32_t) { return 0; }

    // 1 when a display device with that GDI name exists; its ids are then
    // written as far as its device id holds them.
    int GetDisplayDeviceIDs(const char* deviceName, uint16_t* vendor, uint16_t* device);
    // 1 when a display device with those PCI ids exists; the first one's
    // description becomes the adapter's name.
    int FindDisplayDevice(uint16_t vendor, uint16_t device, CDisplayAdapter* adapter);
    // Hands an adapter this API made to the display interface.
    void RegisterAdapter(CDisplayAdapter* adapter);
    // The API's name as a report field "API", and as a section title.
    void DumpNameField(CReportGenerator* report);
    void DumpNameSection(CReportGenerator* report);

    char Name[256];
    uint32_t Code;
};
