// The AMD display library API over the simulated library: which file is
// loaded, when Init keeps the library, how adapters are bound by their PCI
// location, and the readings with their unit conversions.
#include <gtest/gtest.h>

#include <string>

#include "machine/simulated_machine.h"
#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/display/adl_api.h"
#include "sdk/display/display_adapter.h"
#include "sdk/display/display_interface.h"
#include "tests/sdk/display/ati_test_support.h"

namespace vexa::test {
namespace {

machine::AmdDisplayLibrary* Library() {
    auto* simulated = dynamic_cast<machine::SimulatedMachine*>(&machine::current());
    return simulated ? simulated->amdDisplayLibrary() : nullptr;
}

// One adapter at 01:00.0 with index 3.
std::string Adapter(const std::string& extra = "", int index = 3, bool active = true) {
    return R"({"index": )" + std::to_string(index) + R"(, "bus": 1, "device": 0, "function": 0, "active": )" +
           (active ? "true" : "false") + extra + "}";
}

class AdlTest : public AtiTest {
protected:
    CDisplayInterface* StartWith(const std::string& adl, uint32_t flags = UseVendorLibraries) {
        startGpu({AtiFunction(0x954F)}, R"("adl": )" + adl);
        if (!scannedPCI()) return nullptr;
        EXPECT_EQ(sdk().CreateDisplayInterface(flags), 1);
        return sdk().m_pDisplay;
    }
    static ADL_SDK_DisplayAPI* API(CDisplayInterface* display) {
        CTListIterator<CDisplayAPI> it(display->APIs);
        for (CDisplayAPI* api = it.GetFirst(); api; api = it.GetNext())
            if (api->Code == DISPLAY_API_ADL) return static_cast<ADL_SDK_DisplayAPI*>(api);
        return nullptr;
    }
};

struct InitCase {
    const char* name;
    std::string adl;
    bool kept;
    int32_t boundIndex;  // -1: the adapter is not bound
};

class AdlInit : public AdlTest, public ::testing::WithParamInterface<InitCase> {};

TEST_P(AdlInit, KeepsTheLibraryWhenItReportsAdapters) {
    const InitCase& c = GetParam();
    CDisplayInterface* display = StartWith(c.adl);
    ASSERT_NE(display, nullptr);
    ADL_SDK_DisplayAPI* api = API(display);
    EXPECT_EQ(api != nullptr, c.kept);
    machine::AmdDisplayLibrary* library = Library();
    ASSERT_NE(library, nullptr);
    // A library that is not kept was stopped again (when it had started).
    EXPECT_EQ(library->created(), c.kept);
    CDisplayAdapter* adapter = display->GetAdapter(0);
    if (c.boundIndex >= 0) {
        ASSERT_NE(api, nullptr);
        EXPECT_EQ(adapter->GetAPIIndex(api), c.boundIndex);
    } else if (api) {
        EXPECT_EQ(adapter->FindAPIEntry(api), nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Libraries, AdlInit,
    ::testing::Values(
        InitCase{"BoundByLocation", R"({"adapters": [)" + Adapter() + "]}", true, 3},
        InitCase{"OnlyTheOtherFileName", R"({"file": "atiadlxy.dll", "adapters": [)" + Adapter() + "]}", true, 3},
        InitCase{"NoneActive",
                 R"({"adapters": [)" + Adapter("", 0, false) +
                     R"(, {"index": 1, "bus": 2, "device": 0, "function": 0, "active": false}]})",
                 true, -1},
        InitCase{"CreateFails", R"({"create_result": -1, "adapters": [)" + Adapter() + "]}", false, -1},
        InitCase{"NoCreate", R"({"missing": ["ADL_Main_Control_Create"], "adapters": [)" + Adapter() + "]}", false, -1},
        InitCase{"NoAdapters", R"({"adapters": []})", false, -1},
        InitCase{"NoActiveCall", R"({"missing": ["ADL_Adapter_Active_Get"], "adapters": [)" + Adapter() + "]}", true,
                 -1},
        InitCase{"CountBeyondTheRecords", R"({"reported_adapters": 100000000, "adapters": [)" + Adapter() + "]}", true,
                 3}),
    [](const ::testing::TestParamInfo<InitCase>& row) { return std::string(row.param.name); });

TEST_F(AdlTest, WithoutVendorLibrariesNothingIsLoaded) {
    CDisplayInterface* display = StartWith(R"({"adapters": [)" + Adapter() + "]}", 0);
    ASSERT_NE(display, nullptr);
    EXPECT_EQ(API(display), nullptr);
    EXPECT_EQ(Library()->calls("ADL_Main_Control_Create"), 0u);
}

TEST_F(AdlTest, CloseStopsTheLibrary) {
    CDisplayInterface* display = StartWith(R"({"adapters": [)" + Adapter() + "]}");
    ASSERT_NE(API(display), nullptr);
    display->Close();
    EXPECT_EQ(Library()->calls("ADL_Main_Control_Destroy"), 1u);
    EXPECT_FALSE(Library()->created());
    CReportGenerator_Buffer report;
    display->Dump(&report);
    EXPECT_NE(std::string(report.GetText()).find("ADL SDK"), std::string::npos);
}

struct ReadingCase {
    const char* name;
    std::string adapter;  // extra keys of the adapter
    float offset;
    int temperatureResult;
    float temperature;
    int fanResult;
    float rpm;
    int voltageResult;
    float volts;
    int usageResult;
    float usage;
    int32_t levels;
    int coreResult;
    float core;
    float memory;
};

class AdlReadings : public AdlTest, public ::testing::WithParamInterface<ReadingCase> {};

TEST_P(AdlReadings, Readings) {
    const ReadingCase& c = GetParam();
    CDisplayInterface* display = StartWith(R"({"adapters": [)" + Adapter(c.adapter) + "]}");
    ASSERT_NE(display, nullptr);
    ADL_SDK_DisplayAPI* api = API(display);
    ASSERT_NE(api, nullptr);
    CDisplayAdapter* adapter = display->GetAdapter(0);
    adapter->TemperatureOffset = c.offset;
    float value = -5, min = -5, max = -5;
    EXPECT_EQ(api->GetTemperature(adapter, &value), c.temperatureResult);
    EXPECT_FLOAT_EQ(value, c.temperatureResult ? c.temperature : -5.0f);
    value = -5;
    EXPECT_EQ(api->GetFanSpeed(adapter, &value), c.fanResult);
    EXPECT_FLOAT_EQ(value, c.fanResult ? c.rpm : -5.0f);
    value = -5;
    EXPECT_EQ(api->GetCoreVoltage(adapter, &value), c.voltageResult);
    EXPECT_FLOAT_EQ(value, c.voltageResult ? c.volts : -5.0f);
    value = -5;
    EXPECT_EQ(api->GetUsage(adapter, GPU_USAGE_GPU, &value), c.usageResult);
    EXPECT_FLOAT_EQ(value, c.usageResult ? c.usage : -5.0f);
    EXPECT_EQ(api->GetPerfLevelCount(adapter), c.levels);
    value = -5;
    EXPECT_EQ(api->GetCoreClock(adapter, 0, &value, &min, &max), c.coreResult);
    EXPECT_FLOAT_EQ(value, c.coreResult ? c.core : -5.0f);
    value = -5;
    EXPECT_EQ(api->GetMemoryClock(adapter, 0, &value, &min, &max), c.coreResult);
    EXPECT_FLOAT_EQ(value, c.coreResult ? c.memory : -5.0f);
    EXPECT_EQ(min, -5.0f);
    EXPECT_EQ(max, -5.0f);
}

const std::string kLevels = R"(, "levels": [{"engine": 70000, "memory": 40000}, {"engine": 60000, "memory": 50000}])";

INSTANTIATE_TEST_SUITE_P(
    Values, AdlReadings,
    ::testing::Values(
        ReadingCase{"WithoutOffset",
                    R"(, "temperature_millidegrees": 65500, "fan_rpm": 1200, "vddc_mv": 1100, "activity_percent": 3)" +
                        kLevels,
                    -1.0f, 1, 65.5f, 1, 1200.0f, 1, 1.1f, 1, 3.0f, 2, 1, 700.0f, 400.0f},
        ReadingCase{"WithOffset", R"(, "temperature_millidegrees": 65500)" + kLevels, 42.0f, 1, 107.5f, 1, 0.0f, 0, 0, 1,
                    0.0f, 2, 1, 700.0f, 400.0f},
        ReadingCase{"NoOverdrive",
                    R"(, "failing": ["ADL_Overdrive5_Temperature_Get", "ADL_Overdrive5_FanSpeed_Get",
                                     "ADL_Overdrive5_CurrentActivity_Get", "ADL_Overdrive5_ODParameters_Get"])" +
                        kLevels,
                    -1.0f, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0},
        ReadingCase{"NoLevels", R"(, "levels": [])", -1.0f, 1, 0.0f, 1, 0.0f, 0, 0, 1, 0.0f, 0, 0, 0, 0},
        ReadingCase{"LevelsCountedBeyondTheRecord", R"(, "reported_levels": 1000000)" + kLevels, -1.0f, 1, 0.0f, 1, 0.0f,
                    0, 0, 1, 0.0f, 64, 1, 700.0f, 400.0f}),
    [](const ::testing::TestParamInfo<ReadingCase>& row) { return std::string(row.param.name); });

TEST_F(AdlTest, OnlyTheGPUUsageIsAskedAndOnlyLevelsBelowTheCount) {
    CDisplayInterface* display = StartWith(R"({"adapters": [)" + Adapter(kLevels) + "]}");
    ADL_SDK_DisplayAPI* api = API(display);
    ASSERT_NE(api, nullptr);
    CDisplayAdapter* adapter = display->GetAdapter(0);
    const unsigned before = Library()->calls("ADL_Overdrive5_CurrentActivity_Get");
    float value = -5, min = -5, max = -5;
    EXPECT_EQ(api->GetUsage(adapter, GPU_USAGE_FRAME_BUFFER, &value), 0);
    EXPECT_EQ(Library()->calls("ADL_Overdrive5_CurrentActivity_Get"), before);
    EXPECT_EQ(api->GetCoreClock(adapter, 1, &value, &min, &max), 1);
    EXPECT_FLOAT_EQ(value, 600.0f);
    value = -5;
    EXPECT_EQ(api->GetCoreClock(adapter, 2, &value, &min, &max), 0);
    EXPECT_EQ(api->GetMemoryClock(adapter, -1, &value, &min, &max), 0);
    EXPECT_EQ(value, -5.0f);
}

} // namespace
} // namespace vexa::test
