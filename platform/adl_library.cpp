// The AMD Display Library as a machine installs it in its system folder,
// under "atiadlxx.dll" or "atiadlxy.dll": the ADL entry points the graphics
// domain fetches, answered from the machine's model. Every function returns
// 0 for success and a negative status otherwise; the records are the
// library's own, of which only the fields the callers read are filled.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "machine/machine.h"
#include "machine/simulated_machine.h"
#include "platform/internal/libraries.h"

namespace vexa::platform {
namespace {

constexpr int kOk = 0;
constexpr int kError = -1;
constexpr int kInvalidParameter = -3;
constexpr int kNotSupported = -8;
constexpr int kFanSpeedPercent = 1;
constexpr int kFanSpeedRpm = 2;
constexpr size_t kAdapterInfoBytes = 1572;

using Allocate = void* (*)(int);

machine::AmdDisplayLibrary* model() {
    auto* simulated = dynamic_cast<machine::SimulatedMachine*>(&machine::current());
    return simulated ? simulated->amdDisplayLibrary() : nullptr;
}

void put(void* record, size_t offset, int32_t value) { std::memcpy(static_cast<uint8_t*>(record) + offset, &value, 4); }

int32_t get(const void* record, size_t offset) {
    int32_t value = 0;
    std::memcpy(&value, static_cast<const uint8_t*>(record) + offset, 4);
    return value;
}

// Counts the call; the adapter's state when the library was started and
// the entry point does not fail for it.
std::optional<machine::AdlAdapter> adapterCall(const char* entryPoint, int index) {
    machine::AmdDisplayLibrary* library = model();
    if (!library) return std::nullopt;
    library->called(entryPoint);
    if (!library->created()) return std::nullopt;
    auto adapter = library->adapter(index);
    if (!adapter || adapter->failing.count(entryPoint)) return std::nullopt;
    return adapter;
}

int create(Allocate allocate, int) {
    machine::AmdDisplayLibrary* library = model();
    if (!library) return kError;
    library->called("ADL_Main_Control_Create");
    if (!allocate) return kInvalidParameter;
    const int result = library->settings().createResult;
    library->setCreated(result == kOk);
    return result;
}

int destroy() {
    machine::AmdDisplayLibrary* library = model();
    if (!library) return kError;
    library->called("ADL_Main_Control_Destroy");
    library->setCreated(false);
    return kOk;
}

int numberOfAdapters(int* count) {
    machine::AmdDisplayLibrary* library = model();
    if (!library) return kError;
    library->called("ADL_Adapter_NumberOfAdapters_Get");
    if (!count) return kInvalidParameter;
    if (!library->created()) return kError;
    const auto& settings = library->settings();
    *count = settings.reportedAdapters ? *settings.reportedAdapters : int(settings.adapters.size());
    return kOk;
}

// Fills as many whole records as `size` bytes hold.
int adapterInfo(void* records, int size) {
    machine::AmdDisplayLibrary* library = model();
    if (!library) return kError;
    library->called("ADL_Adapter_AdapterInfo_Get");
    if (!records || size <= 0) return kInvalidParameter;
    if (!library->created()) return kError;
    const auto& adapters = library->settings().adapters;
    const size_t fits = std::min(adapters.size(), size_t(size) / kAdapterInfoBytes);
    for (size_t i = 0; i < fits; ++i) {
        void* record = static_cast<uint8_t*>(records) + i * kAdapterInfoBytes;
        put(record, 0, int32_t(kAdapterInfoBytes));
        put(record, 4, adapters[i].index);
        put(record, 0x108, int32_t(adapters[i].bus));
        put(record, 0x10C, int32_t(adapters[i].device));
        put(record, 0x110, int32_t(adapters[i].function));
    }
    return kOk;
}

int active(int index, int* status) {
    const auto adapter = adapterCall("ADL_Adapter_Active_Get", index);
    if (!adapter) return kError;
    if (!status) return kInvalidParameter;
    *status = adapter->active ? 1 : 0;
    return kOk;
}

int temperature(int index, int, void* record) {
    const auto adapter = adapterCall("ADL_Overdrive5_Temperature_Get", index);
    if (!adapter) return kError;
    if (!record || get(record, 0) < 8) return kInvalidParameter;
    put(record, 4, adapter->temperatureMillidegrees);
    return kOk;
}

int fanSpeed(int index, int, void* record) {
    const auto adapter = adapterCall("ADL_Overdrive5_FanSpeed_Get", index);
    if (!adapter) return kError;
    if (!record || get(record, 0) < 16) return kInvalidParameter;
    const int32_t type = get(record, 4);
    if (type == kFanSpeedRpm)
        put(record, 8, int32_t(adapter->fanRpm));
    else if (type == kFanSpeedPercent)
        put(record, 8, int32_t(adapter->fanPercent));
    else
        return kNotSupported;
    return kOk;
}

int currentActivity(int index, void* record) {
    const auto adapter = adapterCall("ADL_Overdrive5_CurrentActivity_Get", index);
    if (!adapter) return kError;
    if (!record || get(record, 0) < 40) return kInvalidParameter;
    put(record, 12, int32_t(adapter->vddcMv));
    put(record, 16, int32_t(adapter->activityPercent));
    return kOk;
}

int odParameters(int index, void* record) {
    const auto adapter = adapterCall("ADL_Overdrive5_ODParameters_Get", index);
    if (!adapter) return kError;
    if (!record || get(record, 0) < 56) return kInvalidParameter;
    put(record, 4, int32_t(adapter->reportedLevels ? *adapter->reportedLevels : adapter->levels.size()));
    return kOk;
}

// Fills as many levels as the record's size holds.
int odPerformanceLevels(int index, int, void* record) {
    const auto adapter = adapterCall("ADL_Overdrive5_ODPerformanceLevels_Get", index);
    if (!adapter) return kError;
    if (!record || get(record, 0) < 8 + 12) return kInvalidParameter;
    const size_t fits = std::min(adapter->levels.size(), size_t(get(record, 0) - 8) / 12);
    for (size_t i = 0; i < fits; ++i) {
        put(record, 8 + 12 * i, int32_t(adapter->levels[i].engine10kHz));
        put(record, 12 + 12 * i, int32_t(adapter->levels[i].memory10kHz));
        put(record, 16 + 12 * i, int32_t(adapter->levels[i].vddcMv));
    }
    return kOk;
}

// The entry points the graphics domain fetches without calling.
int unsupported() {
    if (machine::AmdDisplayLibrary* library = model()) library->called("unsupported");
    return kNotSupported;
}

const LibraryExport kAllExports[] = {
    {"ADL_Main_Control_Create", exported(create)},
    {"ADL_Main_Control_Destroy", exported(destroy)},
    {"ADL_Adapter_NumberOfAdapters_Get", exported(numberOfAdapters)},
    {"ADL_Adapter_AdapterInfo_Get", exported(adapterInfo)},
    {"ADL_Adapter_Active_Get", exported(active)},
    {"ADL_Display_ColorCaps_Get", exported(unsupported)},
    {"ADL_Display_Color_Get", exported(unsupported)},
    {"ADL_Display_Color_Set", exported(unsupported)},
    {"ADL_Display_DisplayInfo_Get", exported(unsupported)},
    {"ADL_Adapter_MemoryInfo_Get", exported(unsupported)},
    {"ADL_Adapter_ClockInfo_Get", exported(unsupported)},
    {"ADL_Overdrive5_Temperature_Get", exported(temperature)},
    {"ADL_Overdrive5_FanSpeedInfo_Get", exported(unsupported)},
    {"ADL_Overdrive5_FanSpeed_Get", exported(fanSpeed)},
    {"ADL_Overdrive5_CurrentActivity_Get", exported(currentActivity)},
    {"ADL_Overdrive5_ODParameters_Get", exported(odParameters)},
    {"ADL_Overdrive5_ODPerformanceLevels_Get", exported(odPerformanceLevels)},
};

// The exports of the machine's library: all but the ones it lacks.
std::span<const LibraryExport> exports() {
    thread_local std::vector<LibraryExport> offered;
    offered.clear();
    machine::AmdDisplayLibrary* library = model();
    for (const LibraryExport& entry : kAllExports)
        if (library && library->exports(entry.name)) offered.push_back(entry);
    return offered;
}

bool installedAs(const char* file) {
    machine::AmdDisplayLibrary* library = model();
    return library && library->settings().file == file;
}

void noIdentity(uint32_t&, uint32_t&) {}

} // namespace

const SimulatedLibrary adlLibrary{"atiadlxx.dll", exports, [] { return installedAs("atiadlxx.dll"); }, noIdentity};
const SimulatedLibrary adlLibrary32{"atiadlxy.dll", exports, [] { return installedAs("atiadlxy.dll"); }, noIdentity};

} // namespace vexa::platform
