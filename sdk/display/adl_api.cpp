#include "sdk/display/adl_api.h"

#include <cstdlib>
#include <cstring>

#include "platform/modules.h"
#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/display/display_adapter.h"
#include "sdk/display/display_api_support.h"
#include "sdk/display/display_interface.h"
#include "sdk/nvapi/secure_load.h"

namespace {

constexpr int kAdlOk = 0;
constexpr size_t kAdapterInfoBytes = 1572;
constexpr size_t kAdapterIndexOffset = 4, kBusOffset = 0x108, kDeviceOffset = 0x10C, kFunctionOffset = 0x110;
constexpr int32_t kFanSpeedRpm = 2;
constexpr size_t kLevelsHeaderBytes = 8, kLevelBytes = 12;

int32_t Field(const uint8_t* record, size_t offset) {
    int32_t value = 0;
    std::memcpy(&value, record + offset, sizeof value);
    return value;
}

void SetField(uint8_t* record, size_t offset, int32_t value) { std::memcpy(record + offset, &value, sizeof value); }

// A record whose first field is its size, the rest zero.
template <size_t Bytes>
struct Record {
    uint8_t bytes[Bytes] = {};
    Record() { SetField(bytes, 0, int32_t(Bytes)); }
    int32_t operator[](size_t offset) const { return Field(bytes, offset); }
};

} // namespace

void* AdlMemoryAlloc(int size) { return size > 0 ? std::malloc(size_t(size)) : nullptr; }

void AdlMemoryFree(void* block) {
    if (block) std::free(block);
}

ADL_SDK_DisplayAPI::ADL_SDK_DisplayAPI() : CDisplayAPI(DISPLAY_API_ADL) { FormatString(Name, sizeof Name, "AMD ADL"); }

ADL_SDK_DisplayAPI::~ADL_SDK_DisplayAPI() { Release(); }

void ADL_SDK_DisplayAPI::FetchEntryPoints() {
    using vexa::platform::lookup;
    Create = lookup<MainControlCreate>(Library, "ADL_Main_Control_Create");
    Destroy = lookup<NoArguments>(Library, "ADL_Main_Control_Destroy");
    NumberOfAdaptersGet = lookup<CountGet>(Library, "ADL_Adapter_NumberOfAdapters_Get");
    AdapterInfoGetFunction = lookup<AdapterInfoGet>(Library, "ADL_Adapter_AdapterInfo_Get");
    AdapterActiveGet = lookup<ActiveGet>(Library, "ADL_Adapter_Active_Get");
    ColorCapsGet = lookup<Unused>(Library, "ADL_Display_ColorCaps_Get");
    ColorGet = lookup<Unused>(Library, "ADL_Display_Color_Get");
    ColorSet = lookup<Unused>(Library, "ADL_Display_Color_Set");
    DisplayInfoGet = lookup<Unused>(Library, "ADL_Display_DisplayInfo_Get");
    MemoryInfoGet = lookup<Unused>(Library, "ADL_Adapter_MemoryInfo_Get");
    ClockInfoGet = lookup<Unused>(Library, "ADL_Adapter_ClockInfo_Get");
    TemperatureGet = lookup<IndexedRecordGet>(Library, "ADL_Overdrive5_Temperature_Get");
    FanSpeedInfoGet = lookup<Unused>(Library, "ADL_Overdrive5_FanSpeedInfo_Get");
    FanSpeedGet = lookup<IndexedRecordGet>(Library, "ADL_Overdrive5_FanSpeed_Get");
    CurrentActivityGet = lookup<RecordGet>(Library, "ADL_Overdrive5_CurrentActivity_Get");
    ODParametersGet = lookup<RecordGet>(Library, "ADL_Overdrive5_ODParameters_Get");
    ODPerformanceLevelsGet = lookup<IndexedRecordGet>(Library, "ADL_Overdrive5_ODPerformanceLevels_Get");
}

void ADL_SDK_DisplayAPI::Unload() {
    if (Library) FreeLibrary(Library);
    Library = nullptr;
}

int ADL_SDK_DisplayAPI::Init() {
    Library = SecureLoadSystemLibraryExA("atiadlxx.dll", 0);
    if (!Library) Library = SecureLoadSystemLibraryExA("atiadlxy.dll", 0);
    if (!Library) return 0;
    FetchEntryPoints();
    if (!Create || Create(AdlMemoryAlloc, 0) != kAdlOk) {
        Unload();
        Create = nullptr;
        Destroy = nullptr;
        return 0;
    }
    int count = 0;
    if (NumberOfAdaptersGet) NumberOfAdaptersGet(&count);
    int result = 0;
    if (count > 0) {
        result = 1;
        // The records hold at most kMaxAdapters adapters, whatever the
        // library counts.
        const int records = count < kMaxAdapters ? count : kMaxAdapters;
        auto* array = static_cast<uint8_t*>(AdlMemoryAlloc(int(records * kAdapterInfoBytes)));
        if (array) {
            std::memset(array, 0, records * kAdapterInfoBytes);
            if (AdapterInfoGetFunction) AdapterInfoGetFunction(array, int(records * kAdapterInfoBytes));
            CDisplayInterface* display = GetSDK()->m_pDisplay;
            for (int i = 0; i < records; ++i) {
                const uint8_t* record = array + i * kAdapterInfoBytes;
                const int32_t index = Field(record, kAdapterIndexOffset);
                int active = 0;
                if (!AdapterActiveGet || AdapterActiveGet(index, &active) != kAdlOk || !active || !display) continue;
                CDisplayAdapter* adapter = display->FindAdapterByLocation(
                    uint32_t(Field(record, kBusOffset)), uint32_t(Field(record, kDeviceOffset)),
                    uint32_t(Field(record, kFunctionOffset)));
                if (adapter) adapter->AddAPIEntry(this, index);
            }
            AdlMemoryFree(array);
        }
    }
    if (result) return 1;
    Release();
    return 0;
}

void ADL_SDK_DisplayAPI::Release() {
    if (Destroy && Library) Destroy();
    Unload();
}

void ADL_SDK_DisplayAPI::Dump(CReportGenerator* report) { DumpAPIField(report, "ADL SDK"); }

void ADL_SDK_DisplayAPI::Dump2(CReportGenerator* report) { DumpAPISection(report, "ADL SDK"); }

int ADL_SDK_DisplayAPI::GetTemperature(CDisplayAdapter* adapter, float* degrees) {
    if (!adapter || !Library || !TemperatureGet) return 0;
    Record<8> record;
    if (TemperatureGet(adapter->GetAPIIndex(this), 0, record.bytes) != kAdlOk) return 0;
    float value = float(record[4] / 1000.0);
    if (adapter->TemperatureOffset > 0.0f) value += adapter->TemperatureOffset;
    *degrees = value;
    return 1;
}

int ADL_SDK_DisplayAPI::GetFanSpeed(CDisplayAdapter* adapter, float* rpm) {
    if (!adapter || !Library || !FanSpeedGet) return 0;
    Record<16> record;
    SetField(record.bytes, 4, kFanSpeedRpm);
    if (FanSpeedGet(adapter->GetAPIIndex(this), 0, record.bytes) != kAdlOk) return 0;
    *rpm = float(record[8]);
    return 1;
}

int ADL_SDK_DisplayAPI::GetCoreVoltage(CDisplayAdapter* adapter, float* volts) {
    if (!adapter || !Library || !CurrentActivityGet) return 0;
    Record<40> record;
    if (CurrentActivityGet(adapter->GetAPIIndex(this), record.bytes) != kAdlOk || record[12] <= 0) return 0;
    *volts = float(record[12] / 1000.0);
    return 1;
}

int ADL_SDK_DisplayAPI::GetUsage(CDisplayAdapter* adapter, int32_t domain, float* percent) {
    if (!adapter || domain != GPU_USAGE_GPU || !Library || !CurrentActivityGet) return 0;
    Record<40> record;
    if (CurrentActivityGet(adapter->GetAPIIndex(this), record.bytes) != kAdlOk) return 0;
    *percent = float(record[16]);
    return 1;
}

int32_t ADL_SDK_DisplayAPI::LevelCount(CDisplayAdapter* adapter) {
    if (!adapter || !Library || !ODParametersGet) return -1;
    Record<56> record;
    if (ODParametersGet(adapter->GetAPIIndex(this), record.bytes) != kAdlOk) return -1;
    const int32_t levels = record[4];
    return levels < kMaxPerfLevels ? levels : kMaxPerfLevels;
}

int32_t ADL_SDK_DisplayAPI::GetPerfLevelCount(CDisplayAdapter* adapter) {
    const int32_t levels = LevelCount(adapter);
    return levels < 0 ? 1 : levels;
}

int ADL_SDK_DisplayAPI::LevelClock(CDisplayAdapter* adapter, int32_t level, size_t offset, float* mhz) {
    const int32_t levels = LevelCount(adapter);
    if (levels <= 0 || level < 0 || level >= levels || !ODPerformanceLevelsGet) return 0;
    const size_t bytes = kLevelsHeaderBytes + kLevelBytes * size_t(levels);
    auto* record = static_cast<uint8_t*>(std::calloc(1, bytes));
    if (!record) return 0;
    SetField(record, 0, int32_t(bytes));
    int result = 0;
    if (ODPerformanceLevelsGet(adapter->GetAPIIndex(this), 0, record) == kAdlOk) {
        *mhz = float(Field(record, kLevelsHeaderBytes + kLevelBytes * size_t(level) + offset) / 100.0);
        result = 1;
    }
    std::free(record);
    return result;
}

int ADL_SDK_DisplayAPI::GetCoreClock(CDisplayAdapter* adapter, int32_t level, float* mhz, float*, float*) {
    return LevelClock(adapter, level, 0, mhz);
}

int ADL_SDK_DisplayAPI::GetMemoryClock(CDisplayAdapter* adapter, int32_t level, float* mhz, float*, float*) {
    return LevelClock(adapter, level, 4, mhz);
}
