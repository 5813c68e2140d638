#include "sdk/display/nvapi_api.h"

#include <algorithm>

#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/display/display_adapter.h"
#include "sdk/display/display_interface.h"
#include "sdk/display/gpu_i2c.h"
#include "sdk/display/nvidia_gpu_tables.h"

namespace {

constexpr uint32_t kThermalSensorSelector = 15, kCoolerSelector = 7;
constexpr int32_t kAllLevels = -1;
constexpr uint32_t kApplyEntry = 1;
constexpr uint32_t kDdcPorts = 3;
constexpr uint32_t kI2CSpeed = 35;
constexpr uint32_t kMaxPercent = 100;

bool IsGKFamily(const CDisplayAdapter* adapter) { return (adapter->FamilyCode & kNvidiaGroupMask) == kNvidiaGroupGK; }

template <typename Count, typename Array>
uint32_t Clamped(Count count, const Array& records) {
    if (count <= 0) return 0;
    return std::min<uint32_t>(uint32_t(count), uint32_t(std::size(records)));
}

uint32_t LevelCount(const NvapiLevelClockTable& table) { return Clamped(table.LevelCount, table.Levels); }
uint32_t EntryCount(const NvapiLevelClockTable& table) { return Clamped(table.EntriesPerLevel, table.Levels[0].Entries); }
uint32_t PstateCount(const NvapiPstateTable& table) { return Clamped(table.PstateCount, table.Pstates); }

// kHz into MHz, millivolts into volts.
float ToMega(uint32_t thousandths) { return float(double(thousandths) / 1000.0); }

// The entry of a clock domain among the levels with that id: the first or
// the last that matches; null when none.
const NvapiLevelClockEntry* FindEntry(const NvapiLevelClockTable& table, int32_t level, uint32_t domain,
                                      bool lastMatch) {
    const NvapiLevelClockEntry* found = nullptr;
    const uint32_t entries = EntryCount(table);
    for (uint32_t l = 0; l < LevelCount(table); ++l) {
        if (int32_t(table.Levels[l].LevelId) != level) continue;
        for (uint32_t e = 0; e < entries; ++e) {
            if (table.Levels[l].Entries[e].Domain != domain) continue;
            if (!lastMatch) return &table.Levels[l].Entries[e];
            found = &table.Levels[l].Entries[e];
        }
    }
    return found;
}

const char* LevelKindName(uint32_t kind) {
    switch (kind) {
    case 0: return "Default";
    case 1: return "Overclocked";
    case 2: return "2D Desktop";
    case 4: return "3D Applications";
    case 8:
    case 16: return "Test";
    default: return "Unknown";
    }
}

} // namespace

NVAPI_DisplayAPI::NVAPI_DisplayAPI() : CDisplayAPI(DISPLAY_API_NVAPI) {
    FormatString(Name, sizeof Name, "%s", "NVIDIA NVAPI");
}

void NVAPI_DisplayAPI::Dump(CReportGenerator* report) { DumpNameField(report); }

void NVAPI_DisplayAPI::Dump2(CReportGenerator* report) { DumpNameSection(report); }

int NVAPI_DisplayAPI::EnumerateGPUs() {
    GPUCount = 0;
    uint32_t count = 0;
    if (NvAPI_EnumPhysicalGPUs(GPUHandles, &count) != kNvapiOk) return 0;
    GPUCount = std::min(count, kNvapiMaxPhysicalGpus);
    return 1;
}

int NVAPI_DisplayAPI::EnumGPUs() {
    GPUCount = 0;
    return NvAPI_Initialize() == kNvapiOk && EnumerateGPUs();
}

void NVAPI_DisplayAPI::PrePCIScan() {
    if (NvAPI_Initialize() != kNvapiOk) return;
    NvapiGpuHandle handles[kNvapiMaxPhysicalGpus] = {};
    uint32_t count = 0;
    if (NvAPI_EnumPhysicalGPUs(handles, &count) != kNvapiOk) return;
    for (uint32_t i = 0; i < std::min(count, kNvapiMaxPhysicalGpus); ++i) {
        uint32_t device = 0, subsystem = 0, revision = 0, external = 0;
        NvAPI_GPU_GetPCIIdentifiers(handles[i], &device, &subsystem, &revision, &external);
    }
}

void NVAPI_DisplayAPI::BindGPU(uint32_t index) {
    uint32_t deviceId = 0, subsystem = 0, revision = 0, external = 0;
    if (NvAPI_GPU_GetPCIIdentifiers(GPUHandles[index], &deviceId, &subsystem, &revision, &external) != kNvapiOk)
        return;
    uint32_t bus = 0;
    const bool busKnown = NvAPI_GPU_GetBusId(GPUHandles[index], &bus) == kNvapiOk;
    CDisplayInterface* display = GetSDK()->m_pDisplay;
    if (!display) return;
    const auto vendor = uint16_t(deviceId);
    CTList<CDevice> candidates;
    if (display->FindAdaptersByID(vendor, uint16_t(deviceId >> 16), &candidates) == 0)
        display->FindAdaptersByID(vendor, uint16_t(external), &candidates);
    CTListIterator<CDevice> it(&candidates);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext()) {
        auto* adapter = static_cast<CDisplayAdapter*>(device);
        // Without a bus number the first adapter not yet bound takes it.
        const bool matches = busKnown ? adapter->GetPCIBus() == int32_t(bus) : !adapter->FindAPIEntry(this);
        if (!matches) continue;
        adapter->AddAPIEntry(this, int32_t(index));
        if (!adapter->APII2CSpace) {
            auto* i2c = new DisplayAPI_I2CRegisterSpace(this, adapter);
            i2c->InitEngine();
            GetSDK()->m_pRegisterSpaces->AddTail(i2c);
            adapter->APII2CSpace = i2c;
        }
        break;
    }
    candidates.RemoveAll();
}

int NVAPI_DisplayAPI::Init() {
    GPUCount = 0;
    if (NvAPI_Initialize() != kNvapiOk) return 0;
    if (!EnumerateGPUs()) return 1;
    for (uint32_t i = 0; i < GPUCount; ++i) BindGPU(i);
    return 1;
}

bool NVAPI_DisplayAPI::GpuOf(CDisplayAdapter* adapter, NvapiGpuHandle* gpu) {
    const int32_t index = adapter ? adapter->GetAPIIndex(this) : -1;
    if (index < 0 || uint32_t(index) >= GPUCount) return false;
    *gpu = GPUHandles[index];
    return true;
}

// ---- Sensors ----

int NVAPI_DisplayAPI::GetTemperature(CDisplayAdapter* adapter, float* celsius) {
    NvapiGpuHandle gpu = 0;
    if (!GpuOf(adapter, &gpu)) return 0;
    NvapiThermalSettings settings;
    settings.Version = kNvapiThermalSettingsVersion;
    if (NvAPI_GPU_GetThermalSettings(gpu, kThermalSensorSelector, &settings) != kNvapiOk) return 0;
    if (settings.Count == 0 || settings.Sensors[0].CurrentTemperature <= 0) return 0;
    *celsius = float(settings.Sensors[0].CurrentTemperature);
    return 1;
}

int NVAPI_DisplayAPI::GetFanSpeed(CDisplayAdapter* adapter, float* rpm) {
    NvapiGpuHandle gpu = 0;
    uint32_t value = 0;
    if (!GpuOf(adapter, &gpu) || NvAPI_GPU_GetTachReading(gpu, &value) != kNvapiOk) return 0;
    *rpm = float(value);
    return 1;
}

int NVAPI_DisplayAPI::GetFanDuty(CDisplayAdapter* adapter, uint32_t* percent) {
    NvapiGpuHandle gpu = 0;
    if (!GpuOf(adapter, &gpu)) return 0;
    NvapiFanLevels levels;
    levels.Version = kNvapiFanLevelsVersion;
    if (NvAPI_GPU_GetFanLevels(gpu, kCoolerSelector, &levels) != kNvapiOk || levels.Count == 0) return 0;
    *percent = std::min(levels.Coolers[0].Words[NvapiFanLevels::kLevelWord], kMaxPercent);
    return 1;
}

int NVAPI_DisplayAPI::GetUsage(CDisplayAdapter* adapter, int32_t domain, float* percent) {
    NvapiGpuHandle gpu = 0;
    if (domain < 0 || domain >= int32_t(std::size(NvapiUtilization{}.Domains)) || !GpuOf(adapter, &gpu)) return 0;
    NvapiUtilization usage;
    usage.Version = kNvapiUtilizationVersion;
    if (NvAPI_GPU_GetDynamicPstatesInfoEx(gpu, &usage) != kNvapiOk) return 0;
    *percent = float(usage.Domains[domain].Percent);
    return 1;
}

// ---- P-states ----

int NVAPI_DisplayAPI::ReadPstates(CDisplayAdapter* adapter, NvapiPstateTable* table) {
    NvapiGpuHandle gpu = 0;
    if (!GpuOf(adapter, &gpu)) return 0;
    table->Version = kNvapiPstateTableVersion;
    return NvAPI_GPU_GetPstateTable(gpu, table) == kNvapiOk;
}

int32_t NVAPI_DisplayAPI::GetPstateCount(CDisplayAdapter* adapter) {
    NvapiPstateTable table;
    return ReadPstates(adapter, &table) ? int32_t(PstateCount(table)) : -1;
}

int32_t NVAPI_DisplayAPI::GetPstateId(CDisplayAdapter* adapter, int32_t index) {
    NvapiPstateTable table;
    if (!ReadPstates(adapter, &table) || index < 0 || uint32_t(index) >= PstateCount(table)) return -1;
    return int32_t(table.Pstates[index].PstateId);
}

int32_t NVAPI_DisplayAPI::GetCurrentPstate(CDisplayAdapter* adapter, uint32_t* index, uint32_t* id) {
    NvapiPstateTable table;
    NvapiGpuHandle gpu = 0;
    uint32_t current = 0;
    if (!ReadPstates(adapter, &table) || !GpuOf(adapter, &gpu) ||
        NvAPI_GPU_GetCurrentPstate(gpu, &current) != kNvapiOk)
        return 0;
    for (uint32_t i = 0; i < PstateCount(table); ++i) {
        if (table.Pstates[i].PstateId != current) continue;
        *index = i;
        *id = current;
        return 1;
    }
    return 0;
}

int NVAPI_DisplayAPI::GetCoreVoltage(CDisplayAdapter* adapter, float* volts) {
    uint32_t index = 0, current = 0;
    NvapiPstateTable table;
    if (!GetCurrentPstate(adapter, &index, &current) || !ReadPstates(adapter, &table)) return 0;
    for (uint32_t i = 0; i < PstateCount(table); ++i) {
        const NvapiPstateTable::Pstate& pstate = table.Pstates[i];
        if (pstate.PstateId != current || pstate.Voltages[0].Millivolts == 0) continue;
        *volts = ToMega(pstate.Voltages[0].Millivolts);
        return 1;
    }
    return 0;
}

int NVAPI_DisplayAPI::GetPstateVoltage(CDisplayAdapter* adapter, int32_t pstateIndex, int32_t voltageDomain,
                                       float* volts) {
    NvapiPstateTable table;
    if (pstateIndex < 0 || pstateIndex >= int32_t(std::size(table.Pstates)) || !ReadPstates(adapter, &table)) return 0;
    for (const auto& voltage : table.Pstates[pstateIndex].Voltages) {
        if (int32_t(voltage.Domain) != voltageDomain || voltage.Millivolts == 0) continue;
        *volts = ToMega(voltage.Millivolts);
        return 1;
    }
    return 0;
}

int NVAPI_DisplayAPI::SetPstateVoltage(CDisplayAdapter* adapter, int32_t pstateIndex, int32_t voltageDomain,
                                       float volts) {
    NvapiPstateTable table;
    NvapiGpuHandle gpu = 0;
    if (pstateIndex < 0 || pstateIndex >= int32_t(std::size(table.Pstates)) || !ReadPstates(adapter, &table) ||
        !GpuOf(adapter, &gpu))
        return 0;
    for (auto& voltage : table.Pstates[pstateIndex].Voltages) {
        if (int32_t(voltage.Domain) != voltageDomain) continue;
        voltage.Millivolts = uint32_t(int32_t(volts * 1000.0f));
        if (NvAPI_GPU_SetPstateTable(gpu, &table) == kNvapiOk) return 1;
    }
    return 0;
}

// ---- Performance levels ----

int NVAPI_DisplayAPI::ReadLevels(CDisplayAdapter* adapter, NvapiLevelClockTable* table) {
    NvapiGpuHandle gpu = 0;
    if (!GpuOf(adapter, &gpu)) return 0;
    table->Version = kNvapiLevelClockTableVersion;
    return NvAPI_GPU_GetLevelClockTable(gpu, kAllLevels, table) == kNvapiOk;
}

int32_t NVAPI_DisplayAPI::GetPerfLevelCount(CDisplayAdapter* adapter) {
    if (IsGKFamily(adapter)) return 1;
    NvapiLevelClockTable table;
    return ReadLevels(adapter, &table) ? int32_t(LevelCount(table)) : 1;
}

int NVAPI_DisplayAPI::GetPerfLevelName(CDisplayAdapter* adapter, int32_t level, char* name) {
    NvapiLevelClockTable table;
    if (IsGKFamily(adapter) || !ReadLevels(adapter, &table)) return 0;
    int found = 0;
    for (uint32_t l = 0; l < LevelCount(table); ++l) {
        if (int32_t(table.Levels[l].LevelId) != level) continue;
        FormatString(name, 64, "%s", LevelKindName(table.Levels[l].Kind));
        found = 1;
    }
    return found;
}

int32_t NVAPI_DisplayAPI::GetCurrentPerfLevel(CDisplayAdapter* adapter) {
    NvapiLevelClockTable table;
    if (IsGKFamily(adapter) || !ReadLevels(adapter, &table)) return 0;
    return table.CurrentLevel;
}

int NVAPI_DisplayAPI::GetLevelClock(CDisplayAdapter* adapter, int32_t level, uint32_t domain, bool lastMatch,
                                    float* mhz, float* minMHz, float* maxMHz) {
    if (IsGKFamily(adapter)) {
        NvapiGpuHandle gpu = 0;
        if (!GpuOf(adapter, &gpu)) return 0;
        NvapiClockFrequencies frequencies;
        frequencies.Version = kNvapiClockFrequenciesVersion;
        if (NvAPI_GPU_GetAllClockFrequencies(gpu, &frequencies) != kNvapiOk) return 0;
        const NvapiClockFrequencies::Domain& clock = frequencies.Domains[domain];
        if (!(clock.Flags & 1)) return 0;
        *mhz = ToMega(clock.FrequencyKHz);
        return 1;
    }
    NvapiLevelClockTable table;
    if (!ReadLevels(adapter, &table)) return 0;
    const NvapiLevelClockEntry* entry = FindEntry(table, level, domain, lastMatch);
    if (!entry) return 0;
    *mhz = ToMega(entry->ClockKHz);
    *minMHz = ToMega(entry->MinimumKHz);
    *maxMHz = ToMega(entry->MaximumKHz);
    return 1;
}

int NVAPI_DisplayAPI::GetCoreClock(CDisplayAdapter* adapter, int32_t level, float* mhz, float* minMHz,
                                   float* maxMHz) {
    return GetLevelClock(adapter, level, kNvClockDomainCore, true, mhz, minMHz, maxMHz);
}

int NVAPI_DisplayAPI::GetShaderClock(CDisplayAdapter* adapter, int32_t level, float* mhz, float* minMHz,
                                     float* maxMHz) {
    return GetLevelClock(adapter, level, kNvClockDomainShader, false, mhz, minMHz, maxMHz);
}

int NVAPI_DisplayAPI::GetMemoryClock(CDisplayAdapter* adapter, int32_t level, float* mhz, float* minMHz,
                                     float* maxMHz) {
    return GetLevelClock(adapter, level, kNvClockDomainMemory, false, mhz, minMHz, maxMHz);
}

int NVAPI_DisplayAPI::GetLevelSecondClock(CDisplayAdapter* adapter, int32_t level, uint32_t domain, float* mhz) {
    NvapiLevelClockTable table;
    if (IsGKFamily(adapter) || !ReadLevels(adapter, &table)) return 0;
    const NvapiLevelClockEntry* entry = FindEntry(table, level, domain, true);
    if (!entry) return 0;
    *mhz = ToMega(entry->SecondClockKHz);
    return 1;
}

int NVAPI_DisplayAPI::GetCoreClock2(CDisplayAdapter* adapter, int32_t level, float* mhz) {
    return GetLevelSecondClock(adapter, level, kNvClockDomainCore, mhz);
}

int NVAPI_DisplayAPI::GetShaderClock2(CDisplayAdapter* adapter, int32_t level, float* mhz) {
    return GetLevelSecondClock(adapter, level, kNvClockDomainShader, mhz);
}

int NVAPI_DisplayAPI::GetMemoryClock2(CDisplayAdapter* adapter, int32_t level, float* mhz) {
    return GetLevelSecondClock(adapter, level, kNvClockDomainMemory, mhz);
}

int NVAPI_DisplayAPI::SetLevelClock(CDisplayAdapter* adapter, int32_t level, uint32_t domain, float mhz) {
    NvapiGpuHandle gpu = 0;
    NvapiLevelClockTable all;
    if (IsGKFamily(adapter) || !GpuOf(adapter, &gpu) || !ReadLevels(adapter, &all) || LevelCount(all) == 0) return 0;
    const auto khz = uint32_t(int32_t(mhz * 1000.0f));
    int result = 0;
    for (uint32_t p = 0; p < LevelCount(all); ++p) {
        if (int32_t(all.Levels[p].LevelId) != level) continue;
        NvapiLevelClockTable one;
        one.Version = kNvapiLevelClockTableVersion;
        if (NvAPI_GPU_GetLevelClockTable(gpu, int32_t(p), &one) != kNvapiOk) continue;
        const uint32_t entries = EntryCount(one);
        for (uint32_t e = 0; e < entries; ++e) {
            NvapiLevelClockEntry& entry = one.Levels[0].Entries[e];
            const bool ours = entry.Domain == domain;
            if (domain == kNvClockDomainCore && !ours) entry.Flags &= ~kApplyEntry;
            else entry.Flags |= kApplyEntry;
            if (ours) entry.ClockKHz = khz;
        }
        result = NvAPI_GPU_SetLevelClockTable(gpu, int32_t(p), &one) == kNvapiOk;
    }
    return result;
}

int NVAPI_DisplayAPI::SetCoreClock(CDisplayAdapter* adapter, int32_t level, float mhz) {
    return SetLevelClock(adapter, level, kNvClockDomainCore, mhz);
}

int NVAPI_DisplayAPI::SetShaderClock(CDisplayAdapter* adapter, int32_t level, float mhz) {
    return SetLevelClock(adapter, level, kNvClockDomainShader, mhz);
}

int NVAPI_DisplayAPI::SetMemoryClock(CDisplayAdapter* adapter, int32_t level, float mhz) {
    return SetLevelClock(adapter, level, kNvClockDomainMemory, mhz);
}

// ---- I2C ----

int NVAPI_DisplayAPI::I2CReadByte(CDisplayAdapter* adapter, int32_t port, int32_t address, int32_t reg, int32_t,
                                  uint8_t* value, int32_t) {
    NvapiGpuHandle gpu = 0;
    if (!GpuOf(adapter, &gpu)) return 0;
    NvapiI2CInfo info{};
    uint8_t registerByte = uint8_t(reg), data = 0;
    info.Version = kNvapiI2CInfoVersion;
    if (port >= 0 && uint32_t(port) < kDdcPorts) {
        info.DisplayMask = 1u << port;
        info.IsDdcPort = 1;
    }
    info.DeviceAddress = uint8_t(address * 2);
    info.RegisterBytes = &registerByte;
    info.RegisterCount = 1;
    info.Data = &data;
    info.DataCount = 1;
    info.Speed = kI2CSpeed;
    if (NvAPI_I2CRead(gpu, &info) != kNvapiOk) return 0;
    *value = data;
    return 1;
}
