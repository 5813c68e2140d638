// The USB liquid-cooler monitor over a stand-in of the cooler's USB library
// installed in the program-files folder: the library's calls, the message
// exchanged, the readings, and the library freed on every path.
#include <gtest/gtest.h>

#include <filesystem>
#include <cstring>
#include <string>

#include "platform/modules.h"
#include "platform/shell_folders.h"
#include "sdk/core/device.h"
#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/monitor/usb_cooler_monitor.h"
#include "tests/sdk/monitor/platform_sources_test_support.h"

namespace vexa::test {
namespace {

namespace fs = std::filesystem;

using SetFn = void (*)(uint32_t, int, int, uint32_t, uint32_t, const uint8_t*);
using CallsFn = void (*)(int*, uint8_t*);

class CoolerTest : public PlatformSourceTest {
protected:
    void SetUp() override {
        PlatformSourceTest::SetUp();
        BootWith({});
    }
    void TearDown() override {
        PlatformSourceTest::TearDown();
        std::error_code code;
        fs::remove_all(folder(), code);
    }

    static fs::path folder() { return fs::path(platform::programFilesFolder()) / "Antec CC"; }

    static void Install() {
        fs::create_directories(folder());
        const fs::path target = folder() / "SiUSBXp.dll";
        fs::copy_file(FAKE_COOLER_LIBRARY, target, fs::copy_options::overwrite_existing);
        fs::permissions(target, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
    }

    // Scripts the library the monitor loaded.
    static void Script(Asetek_CC_HardwareMonitor& monitor, uint32_t devices, int productAnswers, int opens,
                       uint32_t written, uint32_t read, const uint8_t (&reply)[32]) {
        auto set = platform::lookup<SetFn>(monitor.m_hLibrary, "FakeCooler_Set");
        ASSERT_NE(set, nullptr);
        set(devices, productAnswers, opens, written, read, reply);
    }
    static void Calls(Asetek_CC_HardwareMonitor& monitor, int (&counts)[4], uint8_t (&request)[8]) {
        platform::lookup<CallsFn>(monitor.m_hLibrary, "FakeCooler_Calls")(counts, request);
    }
};

constexpr uint8_t kReply[32] = {0x05, 0xDC, 0, 0, 0, 0, 0, 0, 0x0B, 0xB8, 0x1E};

TEST_F(CoolerTest, ReadsLiquidFanAndPump) {
    Install();
    Asetek_CC_HardwareMonitor monitor;
    EXPECT_EQ(monitor.CreateSensors(), 1);
    EXPECT_STREQ(monitor.m_szName, "Asetek CC (Kuhler H2O 920)");
    EXPECT_EQ(monitor.m_dwId, 0x2433B111u);
    EXPECT_EQ(monitor.m_dwUpdateDivider, 5u);
    Script(monitor, 1, 1, 1, 32, 32, kReply);
    EXPECT_EQ(monitor.Update(), 1);
    ASSERT_NE(monitor.m_pLiquid, nullptr);
    EXPECT_FLOAT_EQ(monitor.m_pLiquid->m_fValue, 30.0f);
    EXPECT_STREQ(monitor.m_pLiquid->m_szName, "Liquid");
    ASSERT_NE(monitor.m_pFan, nullptr);
    EXPECT_EQ(monitor.m_pFan->m_dwRawValue, 1500u);
    EXPECT_STREQ(monitor.m_pFan->m_szName, "Fan");
    ASSERT_NE(monitor.m_pPump, nullptr);
    EXPECT_FLOAT_EQ(monitor.m_pPump->m_fValue, 3000.0f);
    EXPECT_EQ(monitor.m_pPump->m_dwId, uint32_t(SENSOR_FAN | 1));
    int counts[4];
    uint8_t request[8];
    Calls(monitor, counts, request);
    EXPECT_EQ(counts[0], 1);
    EXPECT_EQ(counts[1], 1);
    const uint8_t expected[8] = {0x10, 0x19, 0x19, 0xFF, 0x64, 0x64, 0x02, 0x00};
    EXPECT_EQ(std::memcmp(request, expected, 8), 0);
    monitor.Close();
    EXPECT_EQ(monitor.m_hLibrary, nullptr);
}

// A short write reads nothing and still closes the device; a failed open
// closes nothing.
TEST_F(CoolerTest, FailedTransfersLeaveTheSensorsAndCloseTheDevice) {
    Install();
    Asetek_CC_HardwareMonitor monitor;
    ASSERT_EQ(monitor.CreateSensors(), 1);
    int counts[4];
    uint8_t request[8];
    Script(monitor, 1, 1, 1, 31, 32, kReply);
    EXPECT_EQ(monitor.Update(), 1);
    Calls(monitor, counts, request);
    EXPECT_EQ(counts[3], 0) << "no read after a short write";
    EXPECT_EQ(counts[1], 1) << "closed";
    EXPECT_EQ(monitor.m_pFan, nullptr);
    Script(monitor, 1, 1, 0, 32, 32, kReply);
    EXPECT_EQ(monitor.Update(), 1);
    Calls(monitor, counts, request);
    EXPECT_EQ(counts[1], 0);
    EXPECT_EQ(monitor.m_pLiquid, nullptr);
}

// A failed product query keeps the plain name.
TEST_F(CoolerTest, NameWithoutProduct) {
    Install();
    Asetek_CC_HardwareMonitor first;
    ASSERT_EQ(first.CreateSensors(), 1);
    Script(first, 1, 0, 1, 32, 32, kReply);  // the script lives in the loaded library
    Asetek_CC_HardwareMonitor second;
    EXPECT_EQ(second.CreateSensors(), 1);
    EXPECT_STREQ(second.m_szName, "Asetek CC");
}

// No library: no monitor and no device; with the library but no cooler the
// probe drops both and the library is freed with the monitor.
TEST_F(CoolerTest, ProbeKeepsOnlyAnAttachedCooler) {
    CHardwareMonitorInterface& monitors = Monitors(MONITOR_OPTION_USB_COOLER);
    EXPECT_EQ(monitors.ProbeUSBCooler(), 1);
    EXPECT_TRUE(MonitorsOfKind(MONITOR_USB_COOLER).empty());
    Install();
    EXPECT_EQ(monitors.ProbeUSBCooler(), 1);
    const auto found = MonitorsOfKind(MONITOR_USB_COOLER);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0]->m_pOwnerDevice->m_dwKind, DEVICE_WATER_COOLER | DEVICE_COMPOSITE);
    EXPECT_STREQ(found[0]->m_pOwnerDevice->GetName(), "Asetek CC");
    // The cooler's library stays loaded only while a monitor holds it.
    auto* cooler = static_cast<Asetek_CC_HardwareMonitor*>(found[0]);
    const HMODULE library = cooler->m_hLibrary;
    ASSERT_NE(library, nullptr);
    Script(*cooler, 0, 1, 1, 32, 32, kReply);  // no device from now on
    EXPECT_EQ(monitors.ProbeUSBCooler(), 1);
    EXPECT_EQ(MonitorsOfKind(MONITOR_USB_COOLER).size(), 1u);
    monitors.Close();
    EXPECT_EQ(cooler->m_hLibrary, nullptr);
    EXPECT_EQ(GetModuleHandleA("SiUSBXp.dll"), nullptr) << "every load given back";
}

} // namespace
} // namespace vexa::test
