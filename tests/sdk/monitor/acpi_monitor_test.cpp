// The ACPI monitor over simulated namespaces: the methods it keeps, the
// names and indexes of its sensors, and how it reads their results.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "machine/host_machine.h"
#include "sdk/core/device.h"
#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/monitor/acpi_monitor.h"
#include "tests/sdk/monitor/platform_sources_test_support.h"

namespace vexa::test {
namespace {

constexpr uint32_t kAllFeatures = 0x7FFFFFFF;

struct Reading {
    uint32_t classCode;
    uint32_t index;
    std::string name;
    uint32_t raw;
    float value;  // -1: no value stored
};

struct ACPICase {
    const char* name;
    const char* acpiNamespace;
    std::vector<Reading> readings;  // empty: no monitor
};

void PrintTo(const ACPICase& c, std::ostream* os) { *os << c.name; }

class ACPIReadings : public PlatformSourceTest, public ::testing::WithParamInterface<ACPICase> {};

TEST_P(ACPIReadings, FromTheNamespace) {
    const ACPICase& c = GetParam();
    BootWith({std::string(R"({"acpi_namespace": )") + c.acpiNamespace + "}"});
    ASSERT_EQ(GetSDK()->CreateACPIInterface(0, 0, kAllFeatures), 1);
    CHardwareMonitorInterface& monitors = Monitors();
    EXPECT_EQ(monitors.ProbeACPIAndBoard(), 1);
    const auto found = MonitorsOfKind(MONITOR_ACPI);
    if (c.readings.empty()) {
        EXPECT_TRUE(found.empty());
        return;
    }
    ASSERT_EQ(found.size(), 1u);
    CHardwareMonitor* monitor = found[0];
    EXPECT_STREQ(monitor->m_szName, "ACPI");
    EXPECT_EQ(monitor->m_dwUpdateDivider, 3u);
    EXPECT_EQ(monitor->m_pOwnerDevice, static_cast<CDevice*>(GetSDK()->m_pMainboard));
    EXPECT_EQ(monitor->CreateSensors(), 1) << "a second call does not walk again";
    EXPECT_EQ(monitor->Poll(1), 1);
    ASSERT_EQ(monitor->m_pAllSensors->GetCount(), c.readings.size());
    for (const Reading& r : c.readings) {
        SCOPED_TRACE(r.name);
        CSensor* sensor = SensorOf(monitor, r.classCode, r.index);
        ASSERT_NE(sensor, nullptr);
        EXPECT_EQ(sensor->m_szName, r.name);
        EXPECT_EQ(sensor->m_dwRawValue, r.raw);
        if (r.value == -1.0f) EXPECT_FALSE(sensor->IsValid());
        else EXPECT_NEAR(sensor->m_fValue, r.value, 1e-4);
    }
}

constexpr uint32_t kNone = CSensor::kNoRawValue;

INSTANTIATE_TEST_SUITE_P(
    Cases, ACPIReadings,
    ::testing::Values(
        ACPICase {"tenths_of_kelvin", R"({"_TZ_": {"THRM": {"_TMP": {"returns": [3032]}}}})",
                  {{SENSOR_TEMPERATURE, 0, "THRM", 3032, 30.0f}}},
        ACPICase {"whole_degrees", R"({"_TZ_": {"TZ00": {"_TMP": {"returns": [45]}}}})",
                  {{SENSOR_TEMPERATURE, 0, "TZ00", 45, 45.0f}}},
        ACPICase {"neither_unit", R"({"_TZ_": {"TZ00": {"_TMP": {"returns": [1000]}}}})",
                  {{SENSOR_TEMPERATURE, 0, "TZ00", 1000, -1.0f}}},
        ACPICase {"zones_then_controller",
                  R"({"_SB_": {"PCI0": {"LPCB": {"EC0_": {"CUTP": {"returns": [52]}, "OTHR": {}}}}},
                      "_TZ_": {"CPUZ": {"_TMP": {"returns": [3132]}}, "NOTZ": {},
                               "SYSZ": {"_TMP": {"returns": [41]}}}})",
                  {{SENSOR_TEMPERATURE, 0, "CPUZ", 3132, 40.0f},
                   {SENSOR_TEMPERATURE, 1, "SYSZ", 41, 41.0f},
                   {SENSOR_TEMPERATURE, 2, "CPU", 52, 52.0f}}},
        ACPICase {"controller_methods_in_order",
                  R"({"_SB_": {"H8EC": {"GTMP": {"returns": [60]}, "CTMP": {"returns": [50]}},
                               "EC0_": {"PANT": {"returns": [30]}, "PHTP": {"returns": [3232]}}}})",
                  {{SENSOR_TEMPERATURE, 0, "CTMP", 50, 50.0f},
                   {SENSOR_TEMPERATURE, 1, "GTMP", 60, 60.0f},
                   {SENSOR_TEMPERATURE, 2, "PCH", 3232, 50.0f},
                   {SENSOR_TEMPERATURE, 3, "Pant", 30, 30.0f}}},
        ACPICase {"fan_of_the_combined_method", R"({"_SB_": {"ATKD": {"TMPR": {"returns": ["0x001E0000"]}}}})",
                  {{SENSOR_TEMPERATURE, 0, "CPU", kNone, -1.0f}, {SENSOR_FAN, 0, "CPU", 3000, 3000.0f}}},
        ACPICase {"method_without_result", R"({"_TZ_": {"THRM": {"_TMP": {"returns": []}}}})",
                  {{SENSOR_TEMPERATURE, 0, "THRM", kNone, -1.0f}}},
        ACPICase {"nothing_recognised", R"({"_SB_": {"PCI0": {}}, "_TZ_": {"THRM": {}}})", {}}),
    [](const auto& param) { return std::string(param.param.name); });

// Without an ACPI interface no monitor is made.
TEST_F(PlatformSourceTest, NoACPIInterfaceNoMonitor) {
    BootWith({R"({"acpi_namespace": {"_TZ_": {"THRM": {"_TMP": {"returns": [3032]}}}}})"});
    CHardwareMonitorInterface& monitors = Monitors();
    EXPECT_EQ(monitors.ProbeACPIAndBoard(), 0);
    EXPECT_TRUE(MonitorsOfKind(MONITOR_ACPI).empty());
}

// On the Linux host the kernel's ACPI thermal zones answer through the
// driver: a zone at 45 degrees, then at 47.5 on the next refresh.
TEST_F(PlatformSourceTest, HostThermalZoneThroughTheDriver) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("acpi-host-" + std::to_string(getpid()));
    const fs::path zone = root / "sys/class/thermal/thermal_zone0";
    fs::create_directories(zone / "device");
    std::ofstream(zone / "type") << "acpitz\n";
    std::ofstream(zone / "device/path") << "\\_TZ_.TZ00\n";
    std::ofstream(zone / "temp") << "45000\n";
    BootWith({});
    // Both trees fake: the test reaches no device of the machine it runs on.
    install(std::make_unique<machine::HostMachine>(root.string(), root.string()));
    ASSERT_EQ(GetSDK()->CreateACPIInterface(0, 0, kAllFeatures), 1);
    CHardwareMonitorInterface& monitors = Monitors();
    EXPECT_EQ(monitors.ProbeACPIAndBoard(), 1);
    const auto found = MonitorsOfKind(MONITOR_ACPI);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0]->Poll(1), 1);
    CSensor* sensor = SensorOf(found[0], SENSOR_TEMPERATURE, 0);
    ASSERT_NE(sensor, nullptr);
    EXPECT_STREQ(sensor->m_szName, "TZ00");
    EXPECT_EQ(sensor->m_dwRawValue, 3182u);
    EXPECT_FLOAT_EQ(sensor->m_fValue, 45.0f);
    std::ofstream(zone / "temp") << "47500\n";
    EXPECT_EQ(found[0]->Update(), 1);
    EXPECT_NEAR(sensor->m_fValue, 47.5f, 1e-4);
    fs::remove_all(root);
}

} // namespace
} // namespace vexa::test
