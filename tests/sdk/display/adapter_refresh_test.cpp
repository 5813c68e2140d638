// The adapter's refresh over its bound APIs: levels capped at eight, clock
// generators made once per family and level and written by the last API
// that answers, memory facts from the first; the generators' own rules.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/display/display_adapter.h"
#include "sdk/display/display_api.h"
#include "sdk/display/pll.h"

namespace vexa::test {
namespace {

// An API that answers what a test gives it and counts the levels asked.
class ScriptedAPI final : public CDisplayAPI {
public:
    ScriptedAPI() : CDisplayAPI(DISPLAY_API_NVIDIA_IO) {}
    int32_t levels = 1;
    std::map<int32_t, float> core, shader, memory;
    int32_t highestLevelAsked = -1;
    int32_t memorySize = -1;
    uint32_t memoryType = 0xFFFFFFFF;

    int32_t GetPerfLevelCount(CDisplayAdapter*) override { return levels; }
    int32_t GetCurrentPerfLevel(CDisplayAdapter*) override { return 1; }
    int GetPerfLevelName(CDisplayAdapter*, int32_t level, char* name) override {
        FormatString(name, 64, "Level %c", 'A' + level);
        return 1;
    }
    int GetCoreClock(CDisplayAdapter*, int32_t level, float* mhz, float*, float*) override {
        if (level > highestLevelAsked) highestLevelAsked = level;
        return Answer(core, level, mhz);
    }
    int GetShaderClock(CDisplayAdapter*, int32_t level, float* mhz, float*, float*) override {
        return Answer(shader, level, mhz);
    }
    int GetMemoryClock(CDisplayAdapter*, int32_t level, float* mhz, float*, float*) override {
        return Answer(memory, level, mhz);
    }
    int GetMemorySize(CDisplayAdapter*, uint32_t* mb) override {
        if (memorySize < 0) return 0;
        *mb = uint32_t(memorySize);
        return 1;
    }
    int GetMemoryType(CDisplayAdapter*, uint32_t* type) override {
        if (memoryType == 0xFFFFFFFF) return 0;
        *type = memoryType;
        return 1;
    }

private:
    static int Answer(const std::map<int32_t, float>& clocks, int32_t level, float* mhz) {
        const auto it = clocks.find(level);
        if (it == clocks.end()) return 0;
        *mhz = it->second;
        return 1;
    }
};

class AdapterRefresh : public ::testing::Test {
protected:
    void TearDown() override {
        delete adapter;  // not in the root's device list
        ReleaseSDK();
    }
    CDisplayAdapter* adapter = new CDisplayAdapter;
    ScriptedAPI first, second;
};

TEST_F(AdapterRefresh, TwelveLevelsAreCutToEight) {
    adapter->FamilyCode = 0x1050084;
    first.levels = 12;
    adapter->AddAPIEntry(&first, -1);
    adapter->Refresh();
    EXPECT_EQ(adapter->PerfLevelCount, 8);
    EXPECT_EQ(first.highestLevelAsked, 7);
    EXPECT_EQ(adapter->CurrentPerfLevel, 1);
    EXPECT_STREQ(adapter->PerfLevelName[7], "Level H");
}

TEST_F(AdapterRefresh, TheLastAPIWinsClocksAndTheFirstMemory) {
    adapter->FamilyCode = 0x1000000;
    first.core = {{0, 400.0f}};
    first.memory = {{0, 500.0f}};
    first.memorySize = 512;
    second.core = {{0, 589.0f}};
    second.shader = {{0, 1402.0f}};
    second.memorySize = 1024;
    second.memoryType = 0x30;
    adapter->AddAPIEntry(&first, -1);
    adapter->AddAPIEntry(&second, 0);
    adapter->AddAPIEntry(&second, 5);  // bound once: the first index stays
    EXPECT_EQ(adapter->GetAPIIndex(&second), 0);
    adapter->Refresh();
    ASSERT_NE(adapter->CorePLL[0], nullptr);
    EXPECT_FLOAT_EQ(adapter->GetClock(GPU_CLOCK_CORE, 0), 589.0f);
    EXPECT_FLOAT_EQ(adapter->GetClock(GPU_CLOCK_SHADER, 0), 1402.0f);
    EXPECT_FLOAT_EQ(adapter->GetClock(GPU_CLOCK_MEMORY, 0), 500.0f);
    EXPECT_FLOAT_EQ(adapter->GetClock(GPU_CLOCK_CORE, 1), -1.0f);
    EXPECT_FLOAT_EQ(adapter->GetClock(1, 0), -1.0f);
    EXPECT_STREQ(adapter->CorePLL[0]->Name, "NVIDIA GPU Core PLL");
    EXPECT_EQ(adapter->MemorySize, 512);
    EXPECT_EQ(adapter->MemoryType, 0x30u);
    EXPECT_EQ(GetSDK()->m_pPLLs->GetCount(), 3u);

    // A generator stays and keeps its clock when no API answers any more.
    CPLL* core = adapter->CorePLL[0];
    first.core.clear();
    second.core.clear();
    adapter->Refresh();
    EXPECT_EQ(adapter->CorePLL[0], core);
    EXPECT_FLOAT_EQ(core->Frequency, 589.0f);
    EXPECT_EQ(GetSDK()->m_pPLLs->GetCount(), 3u);

    CReportGenerator_Buffer report;
    adapter->Dump(&report);
    const std::string text = report.GetText();
    for (const char* line : {"Memory size", "512 MB", "GDDR3", "Core clock", "589.0 MHz", "1402.0 MHz"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
}

TEST_F(AdapterRefresh, GeneratorsFollowTheFamily) {
    first.core = {{0, 300.0f}};
    first.shader = {{0, 600.0f}};
    first.memory = {{0, 400.0f}};
    adapter->AddAPIEntry(&first, -1);
    adapter->FamilyCode = 0x4000000;  // Intel: a core generator only
    adapter->Refresh();
    EXPECT_NE(adapter->CorePLL[0], nullptr);
    EXPECT_EQ(adapter->ShaderPLL[0], nullptr);
    EXPECT_EQ(adapter->MemoryPLL[0], nullptr);
    EXPECT_STREQ(adapter->CorePLL[0]->Name, "Intel IGP Core PLL");

    CDisplayAdapter unknown;
    unknown.AddAPIEntry(&first, -1);
    unknown.Refresh();  // family -1: no generator at all
    EXPECT_EQ(unknown.CorePLL[0], nullptr);
}

TEST_F(AdapterRefresh, GeneratorRules) {
    NVIDIA_GPU_CORE_PLL core(adapter, 0);
    EXPECT_FLOAT_EQ(core.Frequency, -1.0f);
    EXPECT_EQ(core.Type, 0x20000000u);
    EXPECT_EQ(core.Id, 0x1001000u);
    adapter->AddAPIEntry(&first, -1);
    EXPECT_EQ(core.Apply(), 0);  // the API sets no clocks
    EXPECT_EQ(core.SetFrequency(700.0f), 1);
    EXPECT_FLOAT_EQ(core.Frequency, 700.0f);

    ATI_GPU_MEM_PLL memory(adapter, 0);
    memory.Outputs->AddTail(new CPLLOutput("GPU Memory", PLL_OUTPUT_GPU_MEMORY, 1.0f));
    EXPECT_EQ(memory.Update(), 0);
    EXPECT_EQ(memory.Outputs->GetCount(), 0u);
    EXPECT_STREQ(memory.Name, "ATI GPU Memory PLL");

    CPLL plain(PLL_TYPE_CORE, 0x1234);
    EXPECT_STREQ(plain.Name, "PLL ID = 0x1234");
    EXPECT_EQ(plain.SetFrequency(1.0f), 0);
}

TEST(AdapterReport, MemorySizesTechnologyAndTypes) {
    CDisplayAdapter adapter;
    adapter.Index = 0;
    const auto text = [&] {
        CReportGenerator_Buffer report;
        adapter.Dump(&report);
        return std::string(report.GetText());
    };
    adapter.MemorySize = 2048;
    adapter.Technology = 0.065f;
    adapter.MemoryType = 0x20;
    std::string out = text();
    EXPECT_NE(out.find("2 GB"), std::string::npos) << out;
    EXPECT_NE(out.find("65 nm"), std::string::npos) << out;
    EXPECT_NE(out.find("0x20"), std::string::npos) << out;
    adapter.MemorySize = 1024;
    adapter.Technology = 0.13f;
    out = text();
    EXPECT_NE(out.find("1024 MB"), std::string::npos) << out;
    EXPECT_NE(out.find("0.13 um"), std::string::npos) << out;
    adapter.MemorySize = 1536;
    adapter.Technology = -1.0f;
    out = text();
    EXPECT_NE(out.find("1536 MB"), std::string::npos) << out;
    EXPECT_EQ(out.find("Technology"), std::string::npos) << out;
}

} // namespace
} // namespace vexa::test
