// The manifest's "batteries" section (docs/machine-images.md): the
// batteries the battery interface class lists, in order.
//   "batteries": [{"chemistry": "LION", "designed_capacity": 57720, "full_charged_capacity": 52000,
//                  "remaining_capacity": 41000, "voltage": 11100, "rate": -9500, "cycle_count": 0,
//                  "state": "discharging", "relative": false, "short_term": false, "system": true}]
#include "machine/manifest_schema.h"

namespace vexa::machine::schema {

namespace {

constexpr size_t kMaxBatteries = 8;
// The battery interface class, as it ends every battery interface path.
constexpr const char* kBatteryInterfaceClass = "{72631e54-78a4-11d0-bcf7-00aa00b7b32a}";
// Capacities and voltages below the value that means "unknown".
constexpr uint64_t kMaxReading = 0xFFFFFFFE;
constexpr uint64_t kMaxRate = 0x7FFFFFFF;

struct StateName {
    const char* name;
    uint32_t bits;
};
constexpr StateName kStates[] = {{"online", BatteryFacts::kPowerOnLine},
                                 {"charging", BatteryFacts::kPowerOnLine | BatteryFacts::kCharging},
                                 {"discharging", BatteryFacts::kDischarging}};

uint32_t powerState(const json& value, const std::string& path) {
    const std::string name = text(value, path);
    for (const StateName& state : kStates)
        if (name == state.name) return state.bits;
    fail(path, "\"" + name + "\" is not a state (online, charging, discharging)");
}

// A rate in mW: a signed number, negative while discharging.
int32_t rate(const json& value, const std::string& path) {
    if (!value.is_number_integer()) fail(path, "not an integer");
    const int64_t mw = value.get<int64_t>();
    if (mw < -int64_t(kMaxRate) || mw > int64_t(kMaxRate)) fail(path, "out of range");
    return int32_t(mw);
}

BatteryFacts battery(const json& value, const std::string& path, size_t index) {
    expectObject(value, path,
                 {"path", "chemistry", "designed_capacity", "full_charged_capacity", "remaining_capacity", "voltage",
                  "rate", "cycle_count", "state", "relative", "short_term", "system"});
    BatteryFacts facts;
    facts.interfacePath = "\\\\?\\acpi#pnp0c0a#" + std::to_string(index + 1) + "#" + kBatteryInterfaceClass;
    if (const json* item = member(value, "path")) facts.interfacePath = text(*item, child(path, "path"));
    if (facts.interfacePath.empty()) fail(child(path, "path"), "an empty path");
    if (const json* item = member(value, "chemistry")) facts.chemistry = text(*item, child(path, "chemistry"));
    if (facts.chemistry.size() > 4) fail(child(path, "chemistry"), "more than four characters");
    const std::pair<const char*, uint32_t*> readings[] = {{"designed_capacity", &facts.designedCapacity},
                                                          {"full_charged_capacity", &facts.fullChargedCapacity},
                                                          {"remaining_capacity", &facts.remainingCapacity},
                                                          {"voltage", &facts.voltage},
                                                          {"cycle_count", &facts.cycleCount}};
    for (const auto& [key, field] : readings)
        if (const json* item = member(value, key))
            *field = uint32_t(unsignedValue(*item, child(path, key), kMaxReading));
    if (const json* item = member(value, "rate")) facts.rate = rate(*item, child(path, "rate"));
    if (const json* item = member(value, "state")) facts.powerState = powerState(*item, child(path, "state"));
    const std::pair<const char*, uint32_t> flags[] = {{"relative", BatteryFacts::kCapacityRelative},
                                                      {"short_term", BatteryFacts::kShortTerm}};
    for (const auto& [key, bit] : flags)
        if (const json* item = member(value, key); item && boolean(*item, child(path, key))) facts.capabilities |= bit;
    if (const json* item = member(value, "system"); item && !boolean(*item, child(path, "system")))
        facts.capabilities &= ~BatteryFacts::kSystemBattery;
    return facts;
}

} // namespace

void readBatteries(const json& section, std::vector<BatteryFacts>& batteries) {
    const json& items = array(section, "batteries");
    if (items.size() > kMaxBatteries) fail("batteries", "more than " + std::to_string(kMaxBatteries) + " entries");
    for (size_t i = 0; i < items.size(); ++i) batteries.push_back(battery(items[i], element("batteries", i), i));
}

} // namespace vexa::machine::schema
