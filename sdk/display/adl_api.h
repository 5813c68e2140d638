// AMD adapters through the AMD Display Library (ADL) of the graphics
// driver, loaded from the system folder: temperature, fan speed, activity,
// core voltage and the overdrive performance levels with their clocks.
#pragma once

#include <cstdint>

#include "platform/win_types.h"
#include "sdk/display/display_api.h"

class ADL_SDK_DisplayAPI : public CDisplayAPI {
public:
    // The most adapters and performance levels taken from the library's
    // counts; larger counts are cut to these.
    static constexpr int32_t kMaxAdapters = 64;
    static constexpr int32_t kMaxPerfLevels = 64;

    ADL_SDK_DisplayAPI();
    ~ADL_SDK_DisplayAPI() override;

    // 1 when the library started and reports at least one adapter; the
    // active adapters found on the PCI bus are bound with their ADL index.
    int Init() override;
    // Stops the library and unloads it.
    void Release() override;
    void Dump(CReportGenerator* report) override;
    void Dump2(CReportGenerator* report) override;
    int GetTemperature(CDisplayAdapter* adapter, float* degrees) override;
    int GetFanSpeed(CDisplayAdapter* adapter, float* rpm) override;
    int GetCoreVoltage(CDisplayAdapter* adapter, float* volts) override;
    int GetUsage(CDisplayAdapter* adapter, int32_t domain, float* percent) override;
    int32_t GetPerfLevelCount(CDisplayAdapter* adapter) override;
    int GetCoreClock(CDisplayAdapter* adapter, int32_t level, float* mhz, float* min, float* max) override;
    int GetMemoryClock(CDisplayAdapter* adapter, int32_t level, float* mhz, float* min, float* max) override;

    using MainControlCreate = int (*)(void* (*)(int), int);
    using NoArguments = int (*)();
    using CountGet = int (*)(int*);
    using AdapterInfoGet = int (*)(void*, int);
    using ActiveGet = int (*)(int, int*);
    using IndexedRecordGet = int (*)(int, int, void*);
    using RecordGet = int (*)(int, void*);
    using Unused = int (*)();

    HMODULE Library = nullptr;
    MainControlCreate Create = nullptr;
    NoArguments Destroy = nullptr;
    CountGet NumberOfAdaptersGet = nullptr;
    AdapterInfoGet AdapterInfoGetFunction = nullptr;
    ActiveGet AdapterActiveGet = nullptr;
    Unused ColorCapsGet = nullptr;
    Unused ColorGet = nullptr;
    Unused ColorSet = nullptr;
    Unused DisplayInfoGet = nullptr;
    Unused MemoryInfoGet = nullptr;
    Unused ClockInfoGet = nullptr;
    IndexedRecordGet TemperatureGet = nullptr;
    Unused FanSpeedInfoGet = nullptr;
    IndexedRecordGet FanSpeedGet = nullptr;
    RecordGet CurrentActivityGet = nullptr;
    RecordGet ODParametersGet = nullptr;
    IndexedRecordGet ODPerformanceLevelsGet = nullptr;

private:
    void FetchEntryPoints();
    void Unload();
    // The number of levels the overdrive parameters report (at most
    // kMaxPerfLevels); -1 when they cannot be had.
    int32_t LevelCount(CDisplayAdapter* adapter);
    // The engine (offset 0) or memory (offset 4) clock of a level in MHz.
    int LevelClock(CDisplayAdapter* adapter, int32_t level, size_t offset, float* mhz);
};

// The memory callbacks handed to the library.
void* AdlMemoryAlloc(int size);
void AdlMemoryFree(void* block);
