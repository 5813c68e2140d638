// The host's batteries from a fake /sys/class/power_supply: which supplies
// count, how energies and charges become mWh; and this host, compared with
// its own /sys.
#include "machine/host_machine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace vexa::machine {
namespace {

namespace fs = std::filesystem;

class SupplyTree {
public:
    SupplyTree() : root_((fs::temp_directory_path() / ("host-batteries-" + std::to_string(getpid()))).string()) {
        fs::create_directories(root_ + "/sys/class/power_supply");
    }
    ~SupplyTree() { fs::remove_all(root_); }
    void write(const std::string& supply, const std::string& name, const std::string& text) const {
        const std::string folder = root_ + "/sys/class/power_supply/" + supply;
        fs::create_directories(folder);
        std::ofstream(folder + "/" + name) << text << "\n";
    }
    const std::string& root() const { return root_; }

private:
    std::string root_;
};

TEST(HostBatteries, SystemBatteriesInMilliwattHours) {
    SupplyTree tree;
    // An energy-counting battery.
    tree.write("BAT0", "type", "Battery");
    tree.write("BAT0", "technology", "Li-ion");
    tree.write("BAT0", "energy_full_design", "56160000");
    tree.write("BAT0", "energy_full", "50540000");
    tree.write("BAT0", "energy_now", "37900000");
    tree.write("BAT0", "voltage_now", "11650000");
    tree.write("BAT0", "power_now", "14000000");
    tree.write("BAT0", "cycle_count", "42");
    tree.write("BAT0", "status", "Discharging");
    // A charge-counting battery: mAh times the design voltage.
    tree.write("BAT1", "type", "Battery");
    tree.write("BAT1", "charge_full_design", "5200000");
    tree.write("BAT1", "charge_full", "5000000");
    tree.write("BAT1", "charge_now", "2500000");
    tree.write("BAT1", "voltage_min_design", "10800000");
    tree.write("BAT1", "status", "Charging");
    // Not system batteries: the mains, a mouse's battery, an absent one.
    tree.write("AC", "type", "Mains");
    tree.write("hidpp_battery_0", "type", "Battery");
    tree.write("hidpp_battery_0", "scope", "Device");
    tree.write("BAT2", "type", "Battery");
    tree.write("BAT2", "present", "0");
    // Only a percentage.
    tree.write("CMB0", "type", "Battery");
    tree.write("CMB0", "capacity", "64");

    const auto batteries = HostMachine(tree.root()).batteries();
    ASSERT_EQ(batteries.size(), 3u);
    const BatteryFacts& energy = batteries[0];
    EXPECT_EQ(energy.capabilities, BatteryFacts::kSystemBattery);
    EXPECT_EQ(energy.chemistry, "Li-i");
    EXPECT_EQ(energy.designedCapacity, 56160u);
    EXPECT_EQ(energy.fullChargedCapacity, 50540u);
    EXPECT_EQ(energy.remainingCapacity, 37900u);
    EXPECT_EQ(energy.voltage, 11650u);
    EXPECT_EQ(energy.rate, -14000);
    EXPECT_EQ(energy.cycleCount, 42u);
    EXPECT_EQ(energy.powerState, BatteryFacts::kDischarging);
    const BatteryFacts& charge = batteries[1];
    EXPECT_EQ(charge.designedCapacity, 56160u);
    EXPECT_EQ(charge.fullChargedCapacity, 54000u);
    EXPECT_EQ(charge.remainingCapacity, 27000u);
    EXPECT_EQ(charge.voltage, BatteryFacts::kUnknown);
    EXPECT_EQ(charge.powerState, BatteryFacts::kPowerOnLine | BatteryFacts::kCharging);
    EXPECT_NE(charge.interfacePath, energy.interfacePath);
    const BatteryFacts& percent = batteries[2];
    EXPECT_EQ(percent.capabilities, BatteryFacts::kSystemBattery | BatteryFacts::kCapacityRelative);
    EXPECT_EQ(percent.remainingCapacity, 64u);
}

TEST(HostBatteries, NoPowerSupplyFolderNoBattery) {
    SupplyTree tree;
    fs::remove_all(tree.root() + "/sys/class/power_supply");
    EXPECT_TRUE(HostMachine(tree.root()).batteries().empty());
}

// This host: as many batteries as /sys lists system batteries that are
// present.
TEST(HostBatteries, ThisHostAgreesWithSys) {
    size_t expected = 0;
    std::error_code code;
    for (const auto& entry : fs::directory_iterator("/sys/class/power_supply", code)) {
        std::string type, scope, present = "1";
        std::ifstream(entry.path() / "type") >> type;
        std::ifstream(entry.path() / "scope") >> scope;
        std::ifstream(entry.path() / "present") >> present;
        if (type == "Battery" && scope != "Device" && present != "0") ++expected;
    }
    EXPECT_EQ(HostMachine().batteries().size(), expected);
}

} // namespace
} // namespace vexa::machine
