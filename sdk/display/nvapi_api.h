// NVIDIA GPUs described by the NVIDIA driver library (sdk/nvapi): the
// temperature, fan, P-state voltages, load, the driver's performance
// levels with their clocks, and one byte over the GPU's I2C bus. Init binds
// every GPU the library enumerates to the adapter with its PCI ids and
// bus; every query asks the library anew. GPUs of the GK generation have
// no performance-level table: they report one level with its current
// clocks. Counts the library reports are never trusted beyond the records
// that hold them.
#pragma once

#include "sdk/display/display_api.h"
#include "sdk/nvapi/nvapi_stubs.h"

class NVAPI_DisplayAPI : public CDisplayAPI {
public:
    NVAPI_DisplayAPI();

    int Init() override;
    int EnumGPUs() override;
    // Loads and initialises the library and touches every GPU once, before
    // the PCI bus is scanned.
    void PrePCIScan() override;
    void Dump(CReportGenerator* report) override;
    void Dump2(CReportGenerator* report) override;
    int GetTemperature(CDisplayAdapter* adapter, float* celsius) override;
    int GetFanSpeed(CDisplayAdapter* adapter, float* rpm) override;
    int GetFanDuty(CDisplayAdapter* adapter, uint32_t* percent) override;
    int GetPstateVoltage(CDisplayAdapter* adapter, int32_t pstateIndex, int32_t voltageDomain, float* volts) override;
    int GetCoreVoltage(CDisplayAdapter* adapter, float* volts) override;
    int32_t GetPstateCount(CDisplayAdapter* adapter) override;
    int32_t GetPstateId(CDisplayAdapter* adapter, int32_t index) override;
    int32_t GetCurrentPstate(CDisplayAdapter* adapter, uint32_t* index, uint32_t* id) override;
    int SetPstateVoltage(CDisplayAdapter* adapter, int32_t pstateIndex, int32_t voltageDomain, float volts) override;
    int GetUsage(CDisplayAdapter* adapter, int32_t domain, float* percent) override;
    int32_t GetPerfLevelCount(CDisplayAdapter* adapter) override;
    int GetPerfLevelName(CDisplayAdapter* adapter, int32_t level, char* name) override;
    int32_t GetCurrentPerfLevel(CDisplayAdapter* adapter) override;
    int GetCoreClock(CDisplayAdapter* adapter, int32_t level, float* mhz, float* minMHz, float* maxMHz) override;
    int GetShaderClock(CDisplayAdapter* adapter, int32_t level, float* mhz, float* minMHz, float* maxMHz) override;
    int GetMemoryClock(CDisplayAdapter* adapter, int32_t level, float* mhz, float* minMHz, float* maxMHz) override;
    int GetCoreClock2(CDisplayAdapter* adapter, int32_t level, float* mhz) override;
    int GetShaderClock2(CDisplayAdapter* adapter, int32_t level, float* mhz) override;
    int GetMemoryClock2(CDisplayAdapter* adapter, int32_t level, float* mhz) override;
    int SetCoreClock(CDisplayAdapter* adapter, int32_t level, float mhz) override;
    int SetShaderClock(CDisplayAdapter* adapter, int32_t level, float mhz) override;
    int SetMemoryClock(CDisplayAdapter* adapter, int32_t level, float mhz) override;
    // The library does not tell the memory size: never answers.
    int GetMemorySize(CDisplayAdapter*, uint32_t*) override { return 0; }
    // Ports 0 to 2 are the display data channels of displays 0 to 2.
    int I2CReadByte(CDisplayAdapter* adapter, int32_t port, int32_t address, int32_t reg, int32_t fifth,
                    uint8_t* value, int32_t last) override;

    NvapiGpuHandle GPUHandles[kNvapiMaxPhysicalGpus] = {};
    uint32_t GPUCount = 0;

private:
    // The handle of a bound adapter; false for an unbound one.
    bool GpuOf(CDisplayAdapter* adapter, NvapiGpuHandle* gpu);
    void BindGPU(uint32_t index);
    int EnumerateGPUs();
    int ReadPstates(CDisplayAdapter* adapter, NvapiPstateTable* table);
    int ReadLevels(CDisplayAdapter* adapter, NvapiLevelClockTable* table);
    int GetLevelClock(CDisplayAdapter* adapter, int32_t level, uint32_t domain, bool lastMatch, float* mhz,
                      float* minMHz, float* maxMHz);
    int GetLevelSecondClock(CDisplayAdapter* adapter, int32_t level, uint32_t domain, float* mhz);
    int SetLevelClock(CDisplayAdapter* adapter, int32_t level, uint32_t domain, float mhz);
};
