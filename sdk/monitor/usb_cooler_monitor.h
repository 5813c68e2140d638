// A USB liquid cooler driven through the Silicon Labs USB library of its
// software: one 32-byte message each way per refresh gives the fan and
// pump speeds and the liquid temperature.
#pragma once

#include <cstdint>

#include "sdk/monitor/hardware_monitor.h"

struct ModuleRecord;

class Asetek_CC_HardwareMonitor : public CHardwareMonitor {
public:
    static constexpr uint32_t kMessageSize = 32;
    // The library's functions, all returning 0 for success.
    using SetTimeoutsFn = int (*)(uint32_t readMs, uint32_t writeMs);
    using GetNumDevicesFn = int (*)(uint32_t* count);
    using GetProductStringFn = int (*)(uint32_t device, char* buffer, uint32_t flags);
    using OpenFn = int (*)(uint32_t device, void** handle);
    using CloseFn = int (*)(void* handle);
    using ReadFn = int (*)(void* handle, void* buffer, uint32_t size, uint32_t* read, void* overlapped);
    using WriteFn = int (*)(void* handle, void* buffer, uint32_t size, uint32_t* written, void* overlapped);
    using GetPartNumberFn = int (*)(uint32_t device, uint8_t* part);

    Asetek_CC_HardwareMonitor();
    // Frees the library when Close did not.
    ~Asetek_CC_HardwareMonitor() override;

    // Loads the library and looks for the cooler: 1 when a device is there.
    int CreateSensors() override;
    // One exchange with the cooler; 1 in every case.
    int Update() override;
    // Frees the library.
    void Close() override;

    ModuleRecord* m_hLibrary = nullptr;
    CSensor* m_pLiquid = nullptr;
    CSensor* m_pFan = nullptr;
    CSensor* m_pPump = nullptr;
    SetTimeoutsFn m_pSetTimeouts = nullptr;
    GetNumDevicesFn m_pGetNumDevices = nullptr;
    GetProductStringFn m_pGetProductString = nullptr;
    OpenFn m_pOpen = nullptr;
    CloseFn m_pClose = nullptr;
    ReadFn m_pRead = nullptr;
    WriteFn m_pWrite = nullptr;
    GetPartNumberFn m_pGetPartNumber = nullptr;

private:
    bool ResolveFunctions();
};
