// The manifest's "nvapi" section (docs/machine-images.md): the NVIDIA
// driver library in the system folder.
//   "nvapi": {"checksum": "0x0004C1F3", "timestamp": "0x4F8E2A10", "initialize": -6, "initialize_failures": 1,
//             "missing": ["0x5F608315"], "trace_hooks": ["pre", "post"],
//             "replaced_after": {"calls": 3, "checksum": "0x0004C1F4", "timestamp": "0x4F8E2A11"},
//             "gpus": [{"device": "0x0A65", "bus": 1, "clocks_khz": {"0": 589000}, ...}]}
#include "machine/manifest_schema.h"

#include <string>

namespace vexa::machine::schema {
namespace {

constexpr size_t kMaxGpus = 64, kMaxLevels = 12, kMaxLevelClocks = 32, kMaxPstates = 16, kMaxPstateClocks = 32,
                 kMaxVoltages = 16, kMaxThermalSensors = 3, kMaxUsageDomains = 8, kMaxI2cBytes = 256;

uint32_t word(const json& object, const char* key, const std::string& path, uint32_t fallback) {
    const json* value = member(object, key);
    return value ? uint32_t(unsignedValue(*value, child(path, key), UINT32_MAX)) : fallback;
}

// A whole number that may be negative (a status, a temperature).
int32_t signedWord(const json& object, const char* key, const std::string& path, int32_t fallback) {
    const json* value = member(object, key);
    if (!value) return fallback;
    if (value->is_number_integer() && !value->is_number_unsigned()) {
        const int64_t number = value->get<int64_t>();
        if (number < INT32_MIN) fail(child(path, key), "out of range (at least " + std::to_string(INT32_MIN) + ")");
        return int32_t(number);
    }
    return int32_t(unsignedValue(*value, child(path, key), INT32_MAX));
}

const json& boundedArray(const json& value, const std::string& path, size_t limit) {
    const json& items = array(value, path);
    if (items.size() > limit) fail(path, "more than " + std::to_string(limit) + " entries");
    return items;
}

// {"0": 589000, "7": 500000}: a key number -> a value, each key once.
template <typename Store>
void keyedWords(const json& value, const std::string& path, uint32_t maxKey, size_t limit, Store store) {
    if (!value.is_object()) fail(path, "expected an object of number -> value");
    if (value.size() > limit) fail(path, "more than " + std::to_string(limit) + " entries");
    for (const auto& item : value.items()) {
        const std::string where = child(path, item.key());
        const uint32_t key = uint32_t(unsignedValue(json(item.key()), where, maxKey));
        store(key, uint32_t(unsignedValue(item.value(), where, UINT32_MAX)), where);
    }
}

ImageIdentity identity(const json& object, const std::string& path) {
    return ImageIdentity{word(object, "checksum", path, 0), word(object, "timestamp", path, 0)};
}

std::vector<NvidiaClock> clocks(const json& value, const std::string& path, size_t limit) {
    std::vector<NvidiaClock> result;
    keyedWords(value, path, 31, limit, [&](uint32_t domain, uint32_t khz, const std::string&) {
        result.push_back({domain, khz});
    });
    return result;
}

NvidiaLevel level(const json& value, const std::string& path) {
    expectObject(value, path, {"id", "kind", "clocks"});
    NvidiaLevel result{word(value, "id", path, 0), word(value, "kind", path, 0), {}};
    if (const json* entries = member(value, "clocks")) {
        const std::string clocksPath = child(path, "clocks");
        size_t i = 0;
        for (const json& entry : boundedArray(*entries, clocksPath, kMaxLevelClocks)) {
            const std::string where = element(clocksPath, i++);
            expectObject(entry, where, {"domain", "khz", "second_khz", "min_khz", "max_khz"});
            result.clocks.push_back({word(entry, "domain", where, 0), word(entry, "khz", where, 0),
                                     word(entry, "second_khz", where, 0), word(entry, "min_khz", where, 0),
                                     word(entry, "max_khz", where, 0)});
        }
    }
    return result;
}

NvidiaPstate pstate(const json& value, const std::string& path) {
    expectObject(value, path, {"id", "clocks_khz", "voltages_mv"});
    NvidiaPstate result{word(value, "id", path, 0), {}, {}};
    if (const json* entries = member(value, "clocks_khz"))
        result.clocks = clocks(*entries, child(path, "clocks_khz"), kMaxPstateClocks);
    if (const json* entries = member(value, "voltages_mv"))
        keyedWords(*entries, child(path, "voltages_mv"), UINT32_MAX, kMaxVoltages,
                   [&](uint32_t domain, uint32_t mv, const std::string&) { result.voltages.push_back({domain, mv}); });
    return result;
}

NvidiaThermalSensor thermalSensor(const json& value, const std::string& path) {
    expectObject(value, path, {"controller", "min", "max", "current", "target"});
    return NvidiaThermalSensor{word(value, "controller", path, 0), signedWord(value, "min", path, 0),
                               signedWord(value, "max", path, 0), signedWord(value, "current", path, 0),
                               word(value, "target", path, 0)};
}

template <typename T, typename Read>
std::vector<T> list(const json& object, const char* key, const std::string& path, size_t limit, Read read) {
    std::vector<T> result;
    const json* value = member(object, key);
    if (!value) return result;
    const std::string listPath = child(path, key);
    size_t i = 0;
    for (const json& entry : boundedArray(*value, listPath, limit)) result.push_back(read(entry, element(listPath, i++)));
    return result;
}

NvidiaGpu gpu(const json& value, const std::string& path) {
    expectObject(value, path, {"vendor", "device", "subsystem", "revision", "external_device", "bus", "clocks_khz",
                               "levels", "current_level", "pstates", "current_pstate", "thermal", "fan_percent",
                               "fan_rpm", "utilization", "i2c"});
    NvidiaGpu result;
    const auto pciId = [&](const char* key, uint16_t fallback) {
        const json* id = member(value, key);
        return id ? uint16_t(unsignedValue(*id, child(path, key), 0xFFFF)) : fallback;
    };
    result.vendor = pciId("vendor", result.vendor);
    result.device = pciId("device", 0);
    result.subsystem = word(value, "subsystem", path, 0);
    result.revision = word(value, "revision", path, 0);
    result.externalDevice = word(value, "external_device", path, result.device);
    result.bus = word(value, "bus", path, 0);
    if (const json* entries = member(value, "clocks_khz")) result.clocks = clocks(*entries, child(path, "clocks_khz"), 32);
    result.levels = list<NvidiaLevel>(value, "levels", path, kMaxLevels, level);
    result.currentLevel = signedWord(value, "current_level", path, 0);
    result.pstates = list<NvidiaPstate>(value, "pstates", path, kMaxPstates, pstate);
    result.currentPstate = word(value, "current_pstate", path, 0);
    result.thermal = list<NvidiaThermalSensor>(value, "thermal", path, kMaxThermalSensors, thermalSensor);
    if (member(value, "fan_percent")) result.fanPercent = word(value, "fan_percent", path, 0);
    if (member(value, "fan_rpm")) result.fanRpm = word(value, "fan_rpm", path, 0);
    if (const json* usage = member(value, "utilization"))
        keyedWords(*usage, child(path, "utilization"), kMaxUsageDomains - 1, kMaxUsageDomains,
                   [&](uint32_t domain, uint32_t percent, const std::string& where) {
                       if (percent > 100) fail(where, "out of range (at most 100)");
                       result.utilization[domain] = percent;
                   });
    if (const json* buses = member(value, "i2c")) {
        const std::string i2cPath = child(path, "i2c");
        if (!buses->is_object()) fail(i2cPath, "expected an object of 7-bit address -> register bytes");
        for (const auto& item : buses->items()) {
            const std::string where = child(i2cPath, item.key());
            const uint8_t address = uint8_t(unsignedValue(json(item.key()), where, 0x7F));
            std::vector<uint8_t> bytes = hexBytes(item.value(), where);
            if (bytes.size() > kMaxI2cBytes) fail(where, "more than 256 register bytes");
            result.i2c[address] = std::move(bytes);
        }
    }
    return result;
}

} // namespace

void readNvapi(const json& section, NvidiaLibrarySettings& library) {
    const std::string path = "nvapi";
    expectObject(section, path,
                 {"checksum", "timestamp", "initialize", "initialize_failures", "missing", "trace_hooks", "replaced_after", "gpus"});
    library.identity = identity(section, path);
    library.initializeStatus = signedWord(section, "initialize", path, 0);
    if (member(section, "initialize_failures")) {
        if (library.initializeStatus == 0) fail(child(path, "initialize_failures"), "needs a failing \"initialize\"");
        library.initializeFailures = word(section, "initialize_failures", path, 0);
    }
    if (const json* missing = member(section, "missing")) {
        const std::string missingPath = child(path, "missing");
        size_t i = 0;
        for (const json& id : array(*missing, missingPath))
            library.missingIds.insert(uint32_t(unsignedValue(id, element(missingPath, i++), UINT32_MAX)));
    }
    if (const json* hooks = member(section, "trace_hooks")) {
        const std::string hooksPath = child(path, "trace_hooks");
        size_t i = 0;
        for (const json& hook : array(*hooks, hooksPath)) {
            const std::string where = element(hooksPath, i++);
            const std::string name = text(hook, where);
            if (name == "pre") library.preHook = true;
            else if (name == "post") library.postHook = true;
            else fail(where, "expected \"pre\" or \"post\"");
        }
    }
    if (const json* replaced = member(section, "replaced_after")) {
        const std::string where = child(path, "replaced_after");
        expectObject(*replaced, where, {"calls", "checksum", "timestamp"});
        if (!member(*replaced, "calls")) fail(where, "\"calls\" is required");
        library.replacement = NvidiaLibrarySettings::Replacement{word(*replaced, "calls", where, 0),
                                                                 identity(*replaced, where)};
    }
    library.gpus = list<NvidiaGpu>(section, "gpus", path, kMaxGpus, gpu);
}

} // namespace vexa::machine::schema
