// The Linux host's batteries: every power supply of /sys/class/power_supply
// whose type is "Battery" and that powers the system (scope not "Device",
// which marks the batteries of mice and other peripherals). Linux counts
// energy in uWh and charge in uAh; a battery that gives only charge is
// converted with its design minimum voltage, and one that gives neither
// reports its capacity in percent.
#include "machine/host_machine.h"

#include <algorithm>
#include <optional>

#include "machine/file_bytes.h"
#include "machine/text_scan.h"

namespace vexa::machine {

namespace {

constexpr uint64_t kMaxAttribute = uint64_t(1) << 48;
constexpr const char* kBatteryInterfaceClass = "{72631e54-78a4-11d0-bcf7-00aa00b7b32a}";

std::string attributeText(const std::string& folder, const char* name) {
    return readSysfsAttribute(folder + "/" + name);
}

std::optional<uint64_t> attribute(const std::string& folder, const char* name) {
    uint64_t value = 0;
    const std::string text = attributeText(folder, name);
    if (text.empty() || !parseDecimal(text, value, kMaxAttribute)) return std::nullopt;
    return value;
}

// A reading in milli-units from micro-units, or unknown.
uint32_t milli(std::optional<uint64_t> micro) {
    if (!micro) return BatteryFacts::kUnknown;
    return uint32_t(std::min<uint64_t>(*micro / 1000, BatteryFacts::kUnknown - 1));
}

// An energy in mWh from "energy_<suffix>", or from "charge_<suffix>" and
// the battery's design voltage.
uint32_t energy(const std::string& folder, const std::string& suffix, std::optional<uint64_t> microvolts) {
    if (auto uwh = attribute(folder, ("energy_" + suffix).c_str())) return milli(uwh);
    auto uah = attribute(folder, ("charge_" + suffix).c_str());
    if (!uah || !microvolts) return BatteryFacts::kUnknown;
    // Both may be as large as the attribute limit: the product is taken wide.
    const unsigned __int128 uwh = static_cast<unsigned __int128>(*uah) * *microvolts / 1000000;
    return milli(uint64_t(std::min<unsigned __int128>(uwh, kMaxAttribute)));
}

uint32_t powerState(const std::string& status) {
    if (status == "Charging") return BatteryFacts::kPowerOnLine | BatteryFacts::kCharging;
    if (status == "Discharging") return BatteryFacts::kDischarging;
    if (status == "Full" || status == "Not charging") return BatteryFacts::kPowerOnLine;
    return 0;
}

std::optional<BatteryFacts> hostBattery(const std::string& folder, size_t index) {
    if (attributeText(folder, "type") != "Battery" || attributeText(folder, "scope") == "Device") return std::nullopt;
    if (attributeText(folder, "present") == "0") return std::nullopt;
    BatteryFacts facts;
    facts.interfacePath = "\\\\?\\acpi#pnp0c0a#" + std::to_string(index + 1) + "#" + kBatteryInterfaceClass;
    facts.chemistry = attributeText(folder, "technology").substr(0, 4);
    auto designVolts = attribute(folder, "voltage_min_design");
    if (!designVolts) designVolts = attribute(folder, "voltage_now");
    facts.designedCapacity = energy(folder, "full_design", designVolts);
    facts.fullChargedCapacity = energy(folder, "full", designVolts);
    facts.remainingCapacity = energy(folder, "now", designVolts);
    if (facts.designedCapacity == BatteryFacts::kUnknown) {
        // Only the charge in percent is known.
        facts.capabilities |= BatteryFacts::kCapacityRelative;
        facts.designedCapacity = facts.fullChargedCapacity = 100;
        const auto percent = attribute(folder, "capacity");
        facts.remainingCapacity = percent ? uint32_t(std::min<uint64_t>(*percent, 100)) : BatteryFacts::kUnknown;
    }
    if (facts.fullChargedCapacity == BatteryFacts::kUnknown) facts.fullChargedCapacity = 0;
    facts.voltage = milli(attribute(folder, "voltage_now"));
    facts.cycleCount = uint32_t(std::min<uint64_t>(attribute(folder, "cycle_count").value_or(0), 0xFFFFFFFF));
    facts.powerState = powerState(attributeText(folder, "status"));
    if (auto uw = attribute(folder, "power_now"))
        facts.rate = int32_t(std::min<uint64_t>(*uw / 1000, 0x7FFFFFFF)) *
                     (facts.powerState & BatteryFacts::kDischarging ? -1 : 1);
    return facts;
}

} // namespace

std::vector<BatteryFacts> HostMachine::batteries() const {
    const std::string folder = sysRoot_ + "/sys/class/power_supply";
    std::vector<std::string> supplies = listFolder(folder);
    std::sort(supplies.begin(), supplies.end());
    std::vector<BatteryFacts> batteries;
    for (const std::string& supply : supplies)
        if (auto facts = hostBattery(folder + "/" + supply, batteries.size())) batteries.push_back(std::move(*facts));
    return batteries;
}

} // namespace vexa::machine
