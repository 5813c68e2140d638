// The display-API monitor over scripted display APIs bound to an adapter:
// the sensors each answering query makes, their readings, names and
// owner, and which monitors the probe keeps.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sdk/core/device.h"
#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/display/display_adapter.h"
#include "sdk/display/display_api.h"
#include "sdk/display/display_interface.h"
#include "sdk/monitor/display_api_monitor.h"
#include "tests/sdk/monitor/platform_sources_test_support.h"

namespace vexa::test {
namespace {

// An API that answers the queries a test gives it and records the levels
// it was asked the clocks of.
class ScriptedAPI final : public CDisplayAPI {
public:
    explicit ScriptedAPI(uint32_t code, const char* name = "Scripted") : CDisplayAPI(code) {
        FormatString(Name, sizeof Name, "%s", name);
    }
    std::optional<float> temperature, voltage, fan, core, memory;
    std::optional<uint32_t> duty;
    std::map<int32_t, float> usage;
    int32_t level = -1;
    std::vector<int32_t> levelsAsked;

    int GetTemperature(CDisplayAdapter*, float* value) override { return Give(temperature, value); }
    int GetCoreVoltage(CDisplayAdapter*, float* value) override { return Give(voltage, value); }
    int GetFanSpeed(CDisplayAdapter*, float* value) override { return Give(fan, value); }
    int GetFanDuty(CDisplayAdapter*, uint32_t* value) override { return Give(duty, value); }
    int GetUsage(CDisplayAdapter*, int32_t domain, float* value) override {
        const auto it = usage.find(domain);
        return it == usage.end() ? 0 : (*value = it->second, 1);
    }
    int32_t GetCurrentPerfLevel(CDisplayAdapter*) override { return level; }
    int GetCoreClock(CDisplayAdapter*, int32_t asked, float* mhz, float*, float*) override {
        levelsAsked.push_back(asked);
        return Give(core, mhz);
    }
    int GetMemoryClock(CDisplayAdapter*, int32_t, float* mhz, float*, float*) override { return Give(memory, mhz); }

private:
    template <typename T>
    static int Give(const std::optional<T>& answer, T* value) {
        if (!answer) return 0;
        *value = *answer;
        return 1;
    }
};

class DisplayAPIMonitor : public PlatformSourceTest {
protected:
    void SetUp() override {
        PlatformSourceTest::SetUp();
        BootWith({});
        auto* display = new CDisplayInterface(0);
        GetSDK()->m_pInterfaces->AddTail(display);
        GetSDK()->m_pDisplay = display;
        adapter_ = new CDisplayAdapter;
        display->AddAdapter(adapter_);
    }
    void TearDown() override {
        PlatformSourceTest::TearDown();
        apis_.clear();
    }

    ScriptedAPI& Bind(uint32_t code, const char* name = "Scripted") {
        apis_.push_back(std::make_unique<ScriptedAPI>(code, name));
        adapter_->AddAPIEntry(apis_.back().get(), -1);
        return *apis_.back();
    }

    CDisplayAdapter* adapter_ = nullptr;
    std::vector<std::unique_ptr<ScriptedAPI>> apis_;
};

struct Reading {
    uint32_t classCode;
    uint32_t index;
    std::string name;
    uint32_t raw;
    float value;
};

struct AnswerCase {
    const char* name;
    void (*script)(ScriptedAPI&);
    std::vector<Reading> readings;  // in creation order; empty: no monitor
};

void PrintTo(const AnswerCase& c, std::ostream* os) { *os << c.name; }

class DisplayAPIAnswers : public DisplayAPIMonitor, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(DisplayAPIAnswers, BecomeSensors) {
    const AnswerCase& c = GetParam();
    ScriptedAPI& api = Bind(DISPLAY_API_NVAPI);
    c.script(api);
    CHardwareMonitorInterface& monitors = Monitors();
    EXPECT_EQ(monitors.ProbeDisplayAPIs(), 1);
    const auto found = MonitorsOfKind(MONITOR_DISPLAY_API);
    if (c.readings.empty()) {
        EXPECT_TRUE(found.empty());
        EXPECT_EQ(adapter_->m_pSensors ? adapter_->m_pSensors->GetCount() : 0u, 0u);
        return;
    }
    ASSERT_EQ(found.size(), 1u);
    CHardwareMonitor* monitor = found[0];
    EXPECT_EQ(monitor->m_dwId, uint32_t(DISPLAY_API_NVAPI));
    EXPECT_STREQ(monitor->m_szName, "Scripted");
    EXPECT_EQ(monitor->m_pOwnerDevice, static_cast<CDevice*>(adapter_));
    ASSERT_EQ(monitor->m_pAllSensors->GetCount(), c.readings.size());
    ASSERT_NE(adapter_->m_pSensors, nullptr);
    EXPECT_EQ(adapter_->m_pSensors->GetCount(), c.readings.size());
    CTListIterator<CSensor> it(monitor->m_pAllSensors);
    CSensor* sensor = it.GetFirst();
    for (const Reading& r : c.readings) {
        SCOPED_TRACE(r.name);
        ASSERT_NE(sensor, nullptr);
        EXPECT_EQ(sensor->m_dwId, r.classCode | r.index);
        EXPECT_EQ(sensor->m_szName, r.name);
        EXPECT_EQ(sensor->m_dwRawValue, r.raw);
        EXPECT_FLOAT_EQ(sensor->m_fValue, r.value);
        EXPECT_EQ(adapter_->FindSensor(sensor), sensor);
        sensor = it.GetNext();
    }
    // A later update makes no second set of sensors.
    monitor->Poll(1);
    EXPECT_EQ(monitor->m_pAllSensors->GetCount(), c.readings.size());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DisplayAPIAnswers,
    ::testing::Values(
        AnswerCase {"nothing", [](ScriptedAPI&) {}, {}},
        AnswerCase {"temperature_only", [](ScriptedAPI& api) { api.temperature = 47.6f; },
                    {{SENSOR_TEMPERATURE, 0, "TMPIN0", 47, 47.6f}}},
        AnswerCase {"core_voltage", [](ScriptedAPI& api) { api.voltage = 1.125f; },
                    {{SENSOR_VOLTAGE, 0, "VIN0", 1125, 1.125f}}},
        AnswerCase {"fan_speed_and_duty",
                    [](ScriptedAPI& api) {
                        api.fan = 1830.0f;
                        api.duty = 45;
                    },
                    {{SENSOR_FAN, 0, "FANIN0", 1830, 1830.0f}, {SENSOR_FAN_PWM, 0, "FANPWMIN0", 45, 45.0f}}},
        AnswerCase {"loads_and_clocks",
                    [](ScriptedAPI& api) {
                        api.usage = {{0, 12.5f}, {1, 3.0f}, {3, 1.0f}};
                        api.core = 589.0f;
                        api.memory = 500.0f;
                    },
                    {{SENSOR_UTILIZATION, 0, "GPU", 12, 12.5f},
                     {SENSOR_UTILIZATION, 1, "Frame Buffer", 3, 3.0f},
                     {SENSOR_UTILIZATION, 3, "Bus Interface", 1, 1.0f},
                     {SENSOR_CLOCK_SPEED, 0, "Core", 589, 589.0f},
                     {SENSOR_CLOCK_SPEED, 1, "Memory", 500, 500.0f}}}),
    [](const auto& param) { return std::string(param.param.name); });

// Two APIs on one adapter give two monitors in binding order, each with
// only what its API answers.
TEST_F(DisplayAPIMonitor, OneMonitorPerBoundAPI) {
    ScriptedAPI& direct = Bind(DISPLAY_API_NVIDIA_IO, "NVIDIA I/O");
    direct.temperature = 51.0f;
    ScriptedAPI& nvapi = Bind(DISPLAY_API_NVAPI, "");
    nvapi.fan = 1200.0f;
    ScriptedAPI& silent = Bind(DISPLAY_API_ATI_IO);
    (void)silent;
    CHardwareMonitorInterface& monitors = Monitors();
    monitors.ProbeDisplayAPIs();
    const auto found = MonitorsOfKind(MONITOR_DISPLAY_API);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0]->m_dwId, uint32_t(DISPLAY_API_NVIDIA_IO));
    EXPECT_STREQ(found[0]->m_szName, "NVIDIA I/O");
    EXPECT_NE(SensorOf(found[0], SENSOR_TEMPERATURE, 0), nullptr);
    EXPECT_EQ(SensorOf(found[0], SENSOR_FAN, 0), nullptr);
    EXPECT_EQ(found[1]->m_dwId, uint32_t(DISPLAY_API_NVAPI));
    EXPECT_STREQ(found[1]->m_szName, "Display API");
    EXPECT_NE(SensorOf(found[1], SENSOR_FAN, 0), nullptr);
}

// The clocks are asked at the API's current level, -1 included; a query
// that starts answering later makes its sensor then.
TEST_F(DisplayAPIMonitor, ClocksAtTheCurrentLevelAndLateSensors) {
    ScriptedAPI& api = Bind(DISPLAY_API_INTEL_IO);
    api.core = 400.0f;
    CHardwareMonitorInterface& monitors = Monitors();
    monitors.ProbeDisplayAPIs();
    EXPECT_EQ(api.levelsAsked, std::vector<int32_t>({-1}));
    const auto found = MonitorsOfKind(MONITOR_DISPLAY_API);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(SensorOf(found[0], SENSOR_TEMPERATURE, 0), nullptr);
    api.level = 2;
    api.temperature = 60.0f;
    api.core.reset();
    EXPECT_EQ(found[0]->Poll(1), 1);
    EXPECT_EQ(api.levelsAsked, std::vector<int32_t>({-1, 2}));
    ASSERT_NE(SensorOf(found[0], SENSOR_TEMPERATURE, 0), nullptr);
    EXPECT_FLOAT_EQ(SensorOf(found[0], SENSOR_CLOCK_SPEED, 0)->m_fValue, 400.0f) << "keeps its last value";
    api.temperature.reset();
    EXPECT_EQ(found[0]->Poll(1), 0) << "no query answered";
}

// Without a display interface there is nothing to probe.
TEST_F(PlatformSourceTest, NoDisplayInterfaceNoDisplayMonitors) {
    BootWith({});
    CHardwareMonitorInterface& monitors = Monitors();
    EXPECT_EQ(monitors.ProbeDisplayAPIs(), 0);
    EXPECT_TRUE(MonitorsOfKind(MONITOR_DISPLAY_API).empty());
}

} // namespace
} // namespace vexa::test
