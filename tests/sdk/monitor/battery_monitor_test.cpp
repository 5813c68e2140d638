// Batteries through the battery device interface of simulated machines: the
// probe's choice of batteries, and the capacities, wear, charge, cycles and
// voltage the monitor reads.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "sdk/core/device.h"
#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/monitor/battery_monitor.h"
#include "tests/sdk/monitor/platform_sources_test_support.h"

namespace vexa::test {
namespace {

// What a sensor should show; none: the sensor must not exist.
struct Expected {
    uint32_t raw;
    float value;
};

struct BatteryCase {
    const char* name;
    const char* battery;  // one element of the manifest's "batteries"
    std::optional<Expected> designed, fullCharge, current, voltage, wear, charge;
    std::optional<uint32_t> cycles;  // raw only
};

void PrintTo(const BatteryCase& c, std::ostream* os) { *os << c.name; }

class BatteryReadings : public PlatformSourceTest, public ::testing::WithParamInterface<BatteryCase> {};

void ExpectSensor(CSensor* sensor, const std::optional<Expected>& expected, const char* what) {
    SCOPED_TRACE(what);
    if (!expected) {
        EXPECT_EQ(sensor, nullptr);
        return;
    }
    ASSERT_NE(sensor, nullptr);
    EXPECT_EQ(sensor->m_dwRawValue, expected->raw);
    EXPECT_FLOAT_EQ(sensor->m_fValue, expected->value);
    EXPECT_STREQ(sensor->m_szName, what);
}

TEST_P(BatteryReadings, FromTheBatteryInterface) {
    const BatteryCase& c = GetParam();
    BootWith({std::string(R"({"batteries": [)") + c.battery + "]}"});
    CHardwareMonitorInterface& monitors = Monitors();
    EXPECT_EQ(monitors.ProbeBatteries(), 1);
    const auto batteries = MonitorsOfKind(MONITOR_BATTERY);
    ASSERT_EQ(batteries.size(), 1u);
    auto* monitor = static_cast<RemovableBatteryHardwareMonitor*>(batteries[0]);
    EXPECT_STREQ(monitor->m_szName, "Battery");
    EXPECT_EQ(monitor->m_dwId, 0xFFFFFFFFu);
    EXPECT_EQ(monitor->m_dwUpdateDivider, 2u);
    EXPECT_EQ(monitor->CreateSensors(), 1);

    ExpectSensor(monitor->m_pDesignedCapacity, c.designed, "Designed Capacity");
    ExpectSensor(monitor->m_pFullChargeCapacity, c.fullCharge, "Full Charge Capacity");
    ExpectSensor(monitor->m_pCurrentCapacity, c.current, "Current Capacity");
    ExpectSensor(monitor->m_pVoltage, c.voltage, "Current Voltage");
    ExpectSensor(monitor->m_pWearLevel, c.wear, "Wear Level");
    ExpectSensor(monitor->m_pChargeLevel, c.charge, "Charge Level");
    if (c.cycles) {
        ASSERT_NE(monitor->m_pCycleCount, nullptr);
        EXPECT_EQ(monitor->m_pCycleCount->m_dwRawValue, *c.cycles);
        EXPECT_FALSE(monitor->m_pCycleCount->IsValid()) << "the count is the raw reading only";
    } else {
        EXPECT_EQ(monitor->m_pCycleCount, nullptr);
    }

    // The device holds the same sensors, in its own sensor list too.
    auto* battery = static_cast<CBattery*>(monitor->m_pOwnerDevice);
    ASSERT_NE(battery, nullptr);
    EXPECT_EQ(battery->m_dwKind, DEVICE_BATTERY | DEVICE_COMPOSITE);
    EXPECT_STREQ(battery->GetName(), "Battery");
    EXPECT_EQ(battery->m_pDesignedCapacity, monitor->m_pDesignedCapacity);
    EXPECT_EQ(battery->m_pWearLevel, monitor->m_pWearLevel);
    EXPECT_EQ(battery->m_pChargeLevel, monitor->m_pChargeLevel);
    EXPECT_EQ(battery->m_pVoltage, monitor->m_pVoltage);
    EXPECT_EQ(battery->m_pSensors ? battery->m_pSensors->GetCount() : 0u,
              monitor->m_pAllSensors ? monitor->m_pAllSensors->GetCount() : 0u);

    // A second read makes no further sensors.
    const uint32_t count = monitor->m_pAllSensors ? monitor->m_pAllSensors->GetCount() : 0;
    monitor->Update();
    EXPECT_EQ(monitor->m_pAllSensors ? monitor->m_pAllSensors->GetCount() : 0u, count);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BatteryReadings,
    ::testing::Values(
        BatteryCase {"worn_battery",
                     R"({"designed_capacity": 50000, "full_charged_capacity": 42000, "remaining_capacity": 21000,
                         "voltage": 11100, "cycle_count": 312})",
                     Expected {50000, 50000}, Expected {42000, 42000}, Expected {21000, 21000},
                     Expected {11100, 11.1f}, Expected {84, 16}, Expected {50, 50}, 312u},
        BatteryCase {"full_charge_above_design",
                     R"({"designed_capacity": 40000, "full_charged_capacity": 41000, "remaining_capacity": 41000})",
                     Expected {40000, 40000}, Expected {41000, 41000}, Expected {41000, 41000}, std::nullopt,
                     Expected {100, 0}, Expected {100, 100}, std::nullopt},
        BatteryCase {"unknown_capacity_and_voltage",
                     R"({"designed_capacity": 50000, "full_charged_capacity": 50000})", Expected {50000, 50000},
                     Expected {50000, 50000}, std::nullopt, std::nullopt, Expected {100, 0}, std::nullopt,
                     std::nullopt},
        // A battery that reports no designed capacity has no wear level,
        // and one without a full-charge capacity no charge level: neither is
        // divided by zero.
        BatteryCase {"no_designed_capacity",
                     R"({"designed_capacity": 0, "full_charged_capacity": 30000, "remaining_capacity": 15000})",
                     Expected {0, 0}, Expected {30000, 30000}, Expected {15000, 15000}, std::nullopt, std::nullopt,
                     Expected {50, 50}, std::nullopt},
        BatteryCase {"no_full_charge_capacity",
                     R"({"designed_capacity": 30000, "full_charged_capacity": 0, "remaining_capacity": 15000})",
                     Expected {30000, 30000}, Expected {0, 0}, Expected {15000, 15000}, std::nullopt, Expected {0, 100},
                     std::nullopt, std::nullopt}),
    [](const auto& param) { return std::string(param.param.name); });

// Which batteries the probe accepts: system batteries with absolute
// capacities that are no UPS.
struct ChoiceCase {
    const char* name;
    const char* batteries;
    size_t accepted;
};

void PrintTo(const ChoiceCase& c, std::ostream* os) { *os << c.name; }

class BatteryChoice : public PlatformSourceTest, public ::testing::WithParamInterface<ChoiceCase> {};

TEST_P(BatteryChoice, SystemBatteriesOnly) {
    const ChoiceCase& c = GetParam();
    BootWith({std::string(R"({"batteries": )") + c.batteries + "}"});
    CHardwareMonitorInterface& monitors = Monitors();
    EXPECT_EQ(monitors.ProbeBatteries(), c.accepted ? 1 : 0);
    EXPECT_EQ(MonitorsOfKind(MONITOR_BATTERY).size(), c.accepted);
    size_t devices = 0;
    CTListIterator<CDevice> it(GetSDK()->m_pDevices);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext())
        if (device->m_dwKind & DEVICE_BATTERY) {
            ++devices;
            EXPECT_STREQ(device->GetName(), "Battery");
        }
    EXPECT_EQ(devices, c.accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BatteryChoice,
    ::testing::Values(ChoiceCase {"none", "[]", 0},
                      ChoiceCase {"two", R"([{"designed_capacity": 1}, {"designed_capacity": 2}])", 2},
                      ChoiceCase {"relative", R"([{"relative": true}])", 0},
                      ChoiceCase {"short_term", R"([{"short_term": true}])", 0},
                      ChoiceCase {"not_a_system_battery", R"([{"system": false}, {"designed_capacity": 2}])", 1}),
    [](const auto& param) { return std::string(param.param.name); });

// A battery counting in percent, read by a monitor given its path: only the
// charge level, straight from the status.
TEST_F(PlatformSourceTest, BatteryInPercentHasOnlyItsChargeLevel) {
    BootWith({R"({"batteries": [{"relative": true, "designed_capacity": 100, "full_charged_capacity": 100,
                                 "remaining_capacity": 73, "voltage": 12000}]})"});
    RemovableBatteryHardwareMonitor monitor("Battery", "\\\\?\\acpi#pnp0c0a#1#{72631e54-78a4-11d0-bcf7-00aa00b7b32a}");
    monitor.Update();
    EXPECT_EQ(monitor.m_pDesignedCapacity, nullptr);
    EXPECT_EQ(monitor.m_pFullChargeCapacity, nullptr);
    EXPECT_EQ(monitor.m_pCurrentCapacity, nullptr);
    EXPECT_EQ(monitor.m_pWearLevel, nullptr);
    ASSERT_NE(monitor.m_pChargeLevel, nullptr);
    EXPECT_EQ(monitor.m_pChargeLevel->m_dwRawValue, 73u);
    EXPECT_FLOAT_EQ(monitor.m_pChargeLevel->m_fValue, 73.0f);
    ASSERT_NE(monitor.m_pVoltage, nullptr);
    EXPECT_FLOAT_EQ(monitor.m_pVoltage->m_fValue, 12.0f);
}

// A battery that cannot be opened keeps its sensors; nothing fails.
TEST_F(PlatformSourceTest, BatteryThatWentAwayKeepsItsValues) {
    BootWith({R"({"batteries": [{"designed_capacity": 100}]})"});
    RemovableBatteryHardwareMonitor monitor("Battery", "\\\\?\\acpi#pnp0c0a#9#{72631e54-78a4-11d0-bcf7-00aa00b7b32a}");
    EXPECT_EQ(monitor.Update(), 1);
    EXPECT_EQ(monitor.m_pAllSensors, nullptr);
}

} // namespace
} // namespace vexa::test
