// The manifest's "adl" section (docs/machine-images.md): the AMD display
// library in the system folder.
//   "adl": {"file": "atiadlxx.dll", "missing": ["ADL_Adapter_Active_Get"], "create_result": 0,
//           "reported_adapters": 2,
//           "adapters": [{"index": 0, "bus": 1, "device": 0, "function": 0, "active": true,
//                         "temperature_millidegrees": 65500, "fan_rpm": 1200, "fan_percent": 30,
//                         "vddc_mv": 1100, "activity_percent": 3, "reported_levels": 3,
//                         "levels": [{"engine": 11000, "memory": 40000, "vddc_mv": 900}],
//                         "failing": ["ADL_Overdrive5_Temperature_Get"]}]}
#include "machine/manifest_schema.h"

#include <set>

namespace vexa::machine::schema {
namespace {

constexpr size_t kMaxAdapters = 64, kMaxLevels = 16;

const std::set<std::string> kEntryPoints = {
    "ADL_Main_Control_Create", "ADL_Main_Control_Destroy", "ADL_Adapter_NumberOfAdapters_Get",
    "ADL_Adapter_AdapterInfo_Get", "ADL_Adapter_Active_Get", "ADL_Display_ColorCaps_Get", "ADL_Display_Color_Get",
    "ADL_Display_Color_Set", "ADL_Display_DisplayInfo_Get", "ADL_Adapter_MemoryInfo_Get", "ADL_Adapter_ClockInfo_Get",
    "ADL_Overdrive5_Temperature_Get", "ADL_Overdrive5_FanSpeedInfo_Get", "ADL_Overdrive5_FanSpeed_Get",
    "ADL_Overdrive5_CurrentActivity_Get", "ADL_Overdrive5_ODParameters_Get", "ADL_Overdrive5_ODPerformanceLevels_Get",
};

uint32_t word(const json& object, const char* key, const std::string& path, uint32_t fallback, uint64_t max) {
    const json* value = member(object, key);
    return value ? uint32_t(unsignedValue(*value, child(path, key), max)) : fallback;
}

// A whole number that may be negative.
int32_t signedWord(const json& object, const char* key, const std::string& path, int32_t fallback) {
    const json* value = member(object, key);
    if (!value) return fallback;
    if (value->is_number_integer() && !value->is_number_unsigned()) {
        const int64_t number = value->get<int64_t>();
        if (number < INT32_MIN) fail(child(path, key), "out of range");
        return int32_t(number);
    }
    return int32_t(unsignedValue(*value, child(path, key), INT32_MAX));
}

std::set<std::string> entryPoints(const json& value, const std::string& path) {
    std::set<std::string> names;
    size_t i = 0;
    for (const json& entry : array(value, path)) {
        const std::string at = element(path, i++);
        const std::string name = text(entry, at);
        if (!kEntryPoints.count(name)) fail(at, "not an entry point of the library: " + name);
        names.insert(name);
    }
    return names;
}

AdlAdapter readAdapter(const json& value, const std::string& path) {
    expectObject(value, path,
                 {"index", "bus", "device", "function", "active", "temperature_millidegrees", "fan_rpm", "fan_percent",
                  "vddc_mv", "activity_percent", "levels", "reported_levels", "failing"});
    AdlAdapter adapter;
    adapter.index = signedWord(value, "index", path, 0);
    adapter.bus = word(value, "bus", path, 0, 255);
    adapter.device = word(value, "device", path, 0, 31);
    adapter.function = word(value, "function", path, 0, 7);
    if (const json* active = member(value, "active")) adapter.active = boolean(*active, child(path, "active"));
    adapter.temperatureMillidegrees = signedWord(value, "temperature_millidegrees", path, 0);
    adapter.fanRpm = word(value, "fan_rpm", path, 0, UINT32_MAX);
    adapter.fanPercent = word(value, "fan_percent", path, 0, UINT32_MAX);
    adapter.vddcMv = word(value, "vddc_mv", path, 0, UINT32_MAX);
    adapter.activityPercent = word(value, "activity_percent", path, 0, UINT32_MAX);
    if (const json* levels = member(value, "levels")) {
        const std::string where = child(path, "levels");
        const json& items = array(*levels, where);
        if (items.size() > kMaxLevels) fail(where, "more than " + std::to_string(kMaxLevels) + " entries");
        size_t i = 0;
        for (const json& item : items) {
            const std::string at = element(where, i++);
            expectObject(item, at, {"engine", "memory", "vddc_mv"});
            adapter.levels.push_back({word(item, "engine", at, 0, INT32_MAX), word(item, "memory", at, 0, INT32_MAX),
                                      word(item, "vddc_mv", at, 0, INT32_MAX)});
        }
    }
    if (member(value, "reported_levels")) adapter.reportedLevels = word(value, "reported_levels", path, 0, INT32_MAX);
    if (const json* failing = member(value, "failing")) adapter.failing = entryPoints(*failing, child(path, "failing"));
    return adapter;
}

} // namespace

void readAdl(const json& section, AdlLibrarySettings& library) {
    const std::string path = "adl";
    expectObject(section, path, {"file", "missing", "create_result", "reported_adapters", "adapters"});
    if (const json* file = member(section, "file")) {
        library.file = text(*file, child(path, "file"));
        if (library.file != "atiadlxx.dll" && library.file != "atiadlxy.dll")
            fail(child(path, "file"), "must be atiadlxx.dll or atiadlxy.dll");
    }
    if (const json* missing = member(section, "missing")) library.missing = entryPoints(*missing, child(path, "missing"));
    library.createResult = signedWord(section, "create_result", path, 0);
    if (member(section, "reported_adapters")) library.reportedAdapters = signedWord(section, "reported_adapters", path, 0);
    if (const json* adapters = member(section, "adapters")) {
        const std::string where = child(path, "adapters");
        const json& items = array(*adapters, where);
        if (items.size() > kMaxAdapters) fail(where, "more than " + std::to_string(kMaxAdapters) + " entries");
        size_t i = 0;
        for (const json& item : items) library.adapters.push_back(readAdapter(item, element(where, i++)));
    }
}

} // namespace vexa::machine::schema
