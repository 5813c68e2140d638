// Intel integrated graphics by direct register access: adapters bound or
// made for the Intel display devices and named from the device table, the
// stolen-memory size of the graphics control code, the graphics clock from
// the graphics function or the memory controller window.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/cpu/cpu_interface.h"
#include "sdk/display/display_adapter.h"
#include "sdk/display/display_api.h"
#include "sdk/display/display_interface.h"
#include "sdk/display/intel_directio_api.h"
#include "tests/sdk/pci/pci_test_support.h"
#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

struct StolenMemoryCase {
    uint32_t code;
    uint32_t mb;  // 0: no size
};

class IntelStolenMemory : public ::testing::TestWithParam<StolenMemoryCase> {};

TEST_P(IntelStolenMemory, CodeGivesSize) {
    EXPECT_EQ(IntelStolenMemoryMB(GetParam().code), GetParam().mb);
}

// The sizes do not grow with the code: 10 is 96 MB, between 64 and 128.
INSTANTIATE_TEST_SUITE_P(Codes, IntelStolenMemory,
                         ::testing::Values(StolenMemoryCase{0, 0}, StolenMemoryCase{4, 0}, StolenMemoryCase{5, 32},
                                           StolenMemoryCase{6, 48}, StolenMemoryCase{7, 64}, StolenMemoryCase{8, 128},
                                           StolenMemoryCase{9, 256}, StolenMemoryCase{10, 96},
                                           StolenMemoryCase{11, 160}, StolenMemoryCase{12, 224},
                                           StolenMemoryCase{13, 352}, StolenMemoryCase{14, 0},
                                           StolenMemoryCase{15, 0}));

FunctionDump Graphics(uint8_t device, uint16_t id, uint8_t baseClass = 0x03) {
    FunctionDump dump(machine::PciAddress{0, device, 0}, 0x8086, id);
    dump.Class(baseClass, 0x00);
    return dump;
}

std::string DisplayDevices(const std::string& devices) {
    return std::string(R"({"displays": [)") + devices + "]";
}

std::string Display(const char* name, const char* description, uint16_t device) {
    char text[256];
    std::snprintf(text, sizeof text,
                  R"({"name": "\\\\.\\%s", "description": "%s", "device_id": "PCI\\VEN_8086&DEV_%04X"})", name,
                  description, device);
    return text;
}

class IntelGraphics : public PciTest {
protected:
    CDisplayInterface* Scan() {
        if (!scannedPCI()) return nullptr;
        EXPECT_EQ(sdk().CreateDisplayInterface(0), 1);
        return sdk().m_pDisplay;
    }
    static CDisplayAPI* IntelAPI(CDisplayInterface* display) {
        CTListIterator<CDisplayAPI> it(display->APIs);
        for (CDisplayAPI* api = it.GetFirst(); api; api = it.GetNext())
            if (api->Code == DISPLAY_API_INTEL_IO) return api;
        return nullptr;
    }
};

TEST_F(IntelGraphics, BindsThePCIAdapterAndNamesItFromTheTable) {
    // Two display devices of one GPU bind the same adapter once.
    startImage(LspciWithHostBridge({Graphics(2, 0x2772)}),
               DisplayDevices(Display("DISPLAY1", "Intel(R) 82852/82855 GM/GME Graphics Controller", 0x2772) + "," +
                              Display("DISPLAY2", "Intel(R) 82852/82855 GM/GME Graphics Controller", 0x2772)) +
                   "}");
    CDisplayInterface* display = Scan();
    ASSERT_NE(display, nullptr);
    CDisplayAPI* api = IntelAPI(display);
    ASSERT_NE(api, nullptr);
    EXPECT_STREQ(api->Name, "Intel I/O");
    ASSERT_EQ(display->Adapters->GetCount(), 1u);
    CDisplayAdapter* adapter = display->GetAdapter(0);
    EXPECT_STREQ(adapter->Name, "Intel 82852/82855 GM/GME");
    EXPECT_EQ(adapter->FamilyCode, 0x4000000u);
    EXPECT_EQ(adapter->APIEntries->GetCount(), 1u);
    EXPECT_EQ(adapter->GetAPIIndex(api), -1);
    EXPECT_STREQ(adapter->DisplayName, "\\\\.\\DISPLAY1");

    CReportGenerator_Buffer report;
    display->Dump(&report);
    const std::string text = report.GetText();
    EXPECT_NE(text.find("Intel I/O"), std::string::npos) << text;
}

TEST_F(IntelGraphics, MakesAnAdapterForAGraphicsFunctionThePCIScanSkipped) {
    // A graphics function that does not call itself a display controller.
    startImage(LspciWithHostBridge({Graphics(2, 0x0A26, 0x04)}),
               DisplayDevices(Display("DISPLAY1", "Intel(R) HD Graphics 5000", 0x0A26)) + "}");
    CDisplayInterface* display = Scan();
    ASSERT_NE(display, nullptr);
    // No adapter came from the PCI scan, so no vendor was noted and no API made.
    EXPECT_EQ(display->Adapters->GetCount(), 0u);
    Intel_DirectIO_DisplayAPI api;
    ASSERT_EQ(api.Init(), 1);
    ASSERT_EQ(display->Adapters->GetCount(), 1u);
    CDisplayAdapter* adapter = display->GetAdapter(0);
    EXPECT_STREQ(adapter->Name, "Intel HD Graphics 5000");
    EXPECT_STREQ(adapter->Codename, "Haswell ULT GT3");
    EXPECT_FLOAT_EQ(adapter->Technology, 0.022f);
    EXPECT_EQ(adapter->GetDeviceID(), 0x0A26);
}

TEST_F(IntelGraphics, NoIntelDisplayDeviceBindsNothing) {
    startImage(LspciWithHostBridge({Graphics(2, 0x0102)}), "{}");
    CDisplayInterface* display = Scan();
    ASSERT_NE(display, nullptr);
    EXPECT_EQ(IntelAPI(display), nullptr);
    Intel_DirectIO_DisplayAPI api;
    EXPECT_EQ(api.Init(), 0);
}

struct ClarkdaleCase {
    uint8_t controlByte;     // host bridge byte 0x52
    uint32_t clockRegister;  // graphics dword 0x4C
    int memoryResult;
    uint32_t mb;
};

class IntelClarkdale : public IntelGraphics, public ::testing::WithParamInterface<ClarkdaleCase> {};

TEST_P(IntelClarkdale, MemoryFromTheHostBridgeAndClockFromTheGraphicsFunction) {
    const ClarkdaleCase& c = GetParam();
    FunctionDump bridge(machine::PciAddress{0, 0, 0}, 0x8086, 0x0040);
    bridge.Class(0x06, 0x00).Byte(0x52, c.controlByte);
    startImage(LspciText({bridge, Graphics(2, 0x0042).Dword(0x4C, c.clockRegister)}),
               DisplayDevices(Display("DISPLAY1", "Intel(R) HD Graphics", 0x0042)) + "}");
    CDisplayInterface* display = Scan();
    ASSERT_NE(display, nullptr);
    CDisplayAPI* api = IntelAPI(display);
    ASSERT_NE(api, nullptr);
    CDisplayAdapter* adapter = display->GetAdapter(0);
    EXPECT_STREQ(adapter->Codename, "Clarkdale");
    uint32_t mb = 12345;
    EXPECT_EQ(api->GetMemorySize(adapter, &mb), c.memoryResult);
    EXPECT_EQ(mb, c.memoryResult ? c.mb : 12345u);
    float mhz = -1, min = -7, max = -1;
    ASSERT_EQ(api->GetCoreClock(adapter, 0, &mhz, &min, &max), 1);
    EXPECT_FLOAT_EQ(mhz, float(c.clockRegister & 0x3F) * 33.34f);
    EXPECT_FLOAT_EQ(max, float((c.clockRegister >> 16) & 0x3F) * 33.34f);
    EXPECT_EQ(min, -7.0f);
}

INSTANTIATE_TEST_SUITE_P(Codes, IntelClarkdale,
                         ::testing::Values(ClarkdaleCase{0xA0, 0x0015000C, 1, 96}, ClarkdaleCase{0x50, 0x0003, 1, 32},
                                           ClarkdaleCase{0xD2, 0x00150000, 1, 352},
                                           ClarkdaleCase{0x40, 0x000C, 0, 0}));

class IntelSandyBridgeClock : public IntelGraphics {
protected:
    CDisplayAdapter* StartSandyBridge(uint32_t mchbarDword, uint32_t ratioRegister) {
        FunctionDump bridge(machine::PciAddress{0, 0, 0}, 0x8086, 0x0100);
        bridge.Class(0x06, 0x00).Dword(0x48, mchbarDword);
        char manifest[512];
        std::snprintf(manifest, sizeof manifest,
                      R"(,"memory_devices": {"mchbar": {"layout": "core", "base": "0xFED10000",
                         "registers": {"0x5948": "0x%08X"}}}})",
                      ratioRegister);
        startImage(LspciText({bridge, Graphics(2, 0x0102)}),
                   DisplayDevices(Display("DISPLAY1", "Intel(R) HD Graphics", 0x0102)) + manifest);
        CDisplayInterface* display = Scan();
        if (!display) return nullptr;
        api_ = IntelAPI(display);
        return api_ ? display->GetAdapter(0) : nullptr;
    }
    CDisplayAPI* api_ = nullptr;
};

TEST_F(IntelSandyBridgeClock, RatioTimesTheDefaultBusClockWithoutAProcessorInterface) {
    CDisplayAdapter* adapter = StartSandyBridge(0xFED10001, 22u << 8);
    ASSERT_NE(adapter, nullptr);
    float mhz = -1, min = -1, max = -1;
    ASSERT_EQ(api_->GetCoreClock(adapter, 0, &mhz, &min, &max), 1);
    EXPECT_FLOAT_EQ(mhz, 1100.0f);
    EXPECT_NE(sdk().FindIOSpace(0, 0xFED10000, 0x2000000), nullptr);
}

TEST_F(IntelSandyBridgeClock, RatioTimesTheMeasuredBusClock) {
    CDisplayAdapter* adapter = StartSandyBridge(0xFED10001, 22u << 8);
    ASSERT_NE(adapter, nullptr);
    auto cpu = std::make_unique<CCPUInterface>(0);
    sdk().m_pCPU = cpu.get();
    float mhz = -1, min = -1, max = -1;
    cpu->m_fBusClock = 99.8f;
    EXPECT_EQ(api_->GetCoreClock(adapter, 0, &mhz, &min, &max), 1);
    EXPECT_NEAR(mhz, 1097.8f, 0.01f);
    // Not measured yet: no answer rather than a negative clock.
    cpu->m_fBusClock = -1.0f;
    mhz = 5.0f;
    EXPECT_EQ(api_->GetCoreClock(adapter, 0, &mhz, &min, &max), 0);
    EXPECT_EQ(mhz, 5.0f);
    sdk().m_pCPU = nullptr;
}

TEST_F(IntelSandyBridgeClock, AnUnassignedWindowIsNeverMapped) {
    CDisplayAdapter* adapter = StartSandyBridge(0x00000000, 22u << 8);
    ASSERT_NE(adapter, nullptr);
    float mhz = 5.0f, min = -1, max = -1;
    EXPECT_EQ(api_->GetCoreClock(adapter, 0, &mhz, &min, &max), 0);
    EXPECT_EQ(mhz, 5.0f);
    EXPECT_EQ(sdk().FindIOSpace(0, 0, 0x2000000), nullptr);
}

} // namespace
} // namespace vexa::test

namespace vexa::test {
namespace {

TEST_F(IntelGraphics, TheGM965NotebookBindsItsIntegratedGraphics) {
    start(loadMachine(sourcePath("machines/fujitsu-p8010-gm965")));
    CDisplayInterface* display = Scan();
    ASSERT_NE(display, nullptr);
    CDisplayAPI* api = IntelAPI(display);
    ASSERT_NE(api, nullptr);
    CDisplayAdapter* adapter = display->FindAdapterByLocation(0, 2, 0);
    ASSERT_NE(adapter, nullptr);
    EXPECT_STREQ(adapter->Name, "Mobile Intel(R) 965 Express Chipset Family");
    EXPECT_EQ(adapter->FamilyCode, 0x4000000u);
    EXPECT_EQ(adapter->FindAPIEntry(api) != nullptr, true);
    // The GM965 is in none of the register tables: no size, no clock.
    uint32_t mb = 7;
    float mhz = -1, min = -1, max = -1;
    EXPECT_EQ(api->GetMemorySize(adapter, &mb), 0);
    EXPECT_EQ(api->GetCoreClock(adapter, 0, &mhz, &min, &max), 0);
}

} // namespace
} // namespace vexa::test
