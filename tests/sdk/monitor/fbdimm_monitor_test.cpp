// FB-DIMM buffers through the memory controller's AMB window: the probe's
// geometry and tests, the monitors' readings, the "DIMM" monitors over the
// thermal sensors of memory modules, and the Dell Precision 490 sample's
// two FB-DIMMs.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sdk/core/device.h"
#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/pci_interface.h"
#include "sdk/monitor/fbdimm_monitor.h"
#include "tests/sdk/monitor/platform_sources_test_support.h"
#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

constexpr uint32_t kWindowBase = 0xFE000000;
constexpr size_t kWindowSize = 0x40000;  // 8 slots of 4 channels

struct AMB {
    uint32_t channel, slot;
    uint8_t temperature;  // half degrees C
};

// One function's lspci rows: the ids and the dwords given.
std::string Function(const char* address, uint16_t device, std::vector<std::pair<unsigned, uint32_t>> dwords = {},
                     uint16_t vendor = 0x8086) {
    uint8_t bytes[0x60] = {};
    bytes[0] = uint8_t(vendor), bytes[1] = uint8_t(vendor >> 8), bytes[2] = uint8_t(device);
    bytes[3] = uint8_t(device >> 8), bytes[0x0B] = 0x06;
    for (const auto& [offset, value] : dwords)
        for (unsigned i = 0; i < 4; ++i) bytes[offset + i] = uint8_t(value >> (8 * i));
    std::ostringstream text;
    text << address << " Host bridge: test\n";
    for (unsigned row = 0; row < sizeof bytes; row += 16) {
        char line[8];
        std::snprintf(line, sizeof line, "%02x:", row);
        text << line;
        for (unsigned i = 0; i < 16; ++i) {
            std::snprintf(line, sizeof line, " %02x", bytes[row + i]);
            text << line;
        }
        text << "\n";
    }
    return text.str();
}

// The window's bytes: all ones but the AMBs given.
std::string Window(const std::vector<AMB>& ambs) {
    std::string bytes(kWindowSize, '\xFF');
    for (const AMB& amb : ambs) {
        const uint32_t base = CMemoryModuleHardwareMonitor::AMBOffset(amb.channel, amb.slot);
        bytes.replace(base, 0x800, 0x800, '\0');
        bytes[base] = char(0x86), bytes[base + 1] = char(0x80);
        bytes[base + CMemoryModuleHardwareMonitor::kTemperatureOffset] = char(amb.temperature);
    }
    return bytes;
}

AcpiImage ImageWith(const std::string& lspci, const std::vector<AMB>& ambs) {
    AcpiImage image;
    image.manifest = R"({"memory": [{"base": "0xFE000000", "size": "0x40000", "file": "amb.bin"}]})";
    image.files["lspci.txt"] = lspci;
    image.files["amb.bin"] = Window(ambs);
    return image;
}

struct Found {
    uint32_t channel, slot;
    float celsius;
};

struct GeometryCase {
    const char* name;
    uint16_t hostBridge;
    uint16_t controllerVendor, controller;
    uint32_t enable, baseLow, baseHigh;
    std::vector<AMB> ambs;
    std::vector<Found> found;
};

void PrintTo(const GeometryCase& c, std::ostream* os) { *os << c.name; }

class FBDIMMProbe : public PlatformSourceTest, public ::testing::WithParamInterface<GeometryCase> {};

TEST_P(FBDIMMProbe, FindsTheAnsweringBuffers) {
    const GeometryCase& c = GetParam();
    const std::vector<std::pair<unsigned, uint32_t>> window = {{0x48, c.baseLow}, {0x4C, c.baseHigh}, {0x50, c.enable}};
    const std::string lspci =
        Function("00:00.0", c.hostBridge) + Function("00:10.0", c.controller, window, c.controllerVendor);
    BootWith(ImageWith(lspci, c.ambs));
    ASSERT_EQ(GetSDK()->CreatePCIInterface(), 1);
    GetSDK()->m_pPCI->ScanBus();
    CHardwareMonitorInterface& monitors = Monitors();
    EXPECT_EQ(monitors.ProbeFBDIMM(), 1);
    const auto found = MonitorsOfKind(MONITOR_MEMORY_MODULE);
    ASSERT_EQ(found.size(), c.found.size());
    for (size_t i = 0; i < found.size(); ++i) {
        SCOPED_TRACE(i);
        auto* monitor = static_cast<CMemoryModuleHardwareMonitor*>(found[i]);
        EXPECT_STREQ(monitor->m_szName, "FB-DIMM");
        EXPECT_EQ(monitor->m_dwChannel, c.found[i].channel);
        EXPECT_EQ(monitor->m_dwSlot, c.found[i].slot);
        EXPECT_EQ(monitor->CreateSensors(), 1);
        EXPECT_EQ(monitor->Update(), 1);
        ASSERT_NE(monitor->m_pTemperature, nullptr);
        EXPECT_STREQ(monitor->m_pTemperature->m_szName, "core");
        EXPECT_FLOAT_EQ(monitor->m_pTemperature->m_fValue, c.found[i].celsius);
        EXPECT_EQ(monitor->m_pOwnerDevice, nullptr);
    }
    // The window is shared through the root's list.
    if (!found.empty()) {
        EXPECT_EQ(static_cast<CMemoryModuleHardwareMonitor*>(found[0])->m_pWindow,
                  GetSDK()->FindIOSpace(c.baseHigh & 0xFF, c.baseLow & 0xFFFE0000, IOSPACE_MEMORY));
    }
}

const std::vector<AMB> kSpread = {{0, 0, 0x5B}, {1, 2, 0x50}, {2, 0, 0x60}, {0, 5, 0x40}};

INSTANTIATE_TEST_SUITE_P(
    Cases, FBDIMMProbe,
    ::testing::Values(
        // A 5000X (neither 5000Z nor 5000V) has four channels of four slots.
        GeometryCase {"four_channels", 0x25C0, 0x8086, 0x25F0, 1, kWindowBase, 0, kSpread,
                      {{0, 0, 45.5f}, {1, 2, 40.0f}, {2, 0, 48.0f}}},
        GeometryCase {"two_channels_of_a_5000V", 0x25D4, 0x8086, 0x25F0, 1, kWindowBase, 0, kSpread,
                      {{0, 0, 45.5f}, {1, 2, 40.0f}}},
        GeometryCase {"eight_slots_of_a_7300", 0x3600, 0x8086, 0x360C, 1, kWindowBase | 0x1234, 0, kSpread,
                      {{0, 0, 45.5f}, {0, 5, 32.0f}, {1, 2, 40.0f}, {2, 0, 48.0f}}},
        GeometryCase {"window_switched_off", 0x25C0, 0x8086, 0x25F0, 0, kWindowBase, 0, kSpread, {}},
        GeometryCase {"no_window_base", 0x25C0, 0x8086, 0x25F0, 1, 0x1FFFF, 0, kSpread, {}},
        GeometryCase {"another_controller", 0x25C0, 0x8086, 0x25F8, 1, kWindowBase, 0, kSpread, {}},
        GeometryCase {"another_vendor", 0x25C0, 0x10DE, 0x25F0, 1, kWindowBase, 0, kSpread, {}}),
    [](const auto& param) { return std::string(param.param.name); });

// A buffer that stops answering keeps its last reading.
TEST_F(PlatformSourceTest, BufferThatStopsAnsweringKeepsItsReading) {
    BootWith(ImageWith(Function("00:00.0", 0x25C0), {{1, 2, 0x5B}}));
    CIOSpace* window = new CMemoryIOSpace(0, kWindowBase, 0xFFFFFFFF);
    GetSDK()->m_pIOSpaces->AddTail(window);
    CMemoryModuleHardwareMonitor present("FB-DIMM", window, 1, 2), absent("FB-DIMM", window, 1, 3);
    present.CreateSensors();
    absent.CreateSensors();
    EXPECT_EQ(present.Update(), 1);
    EXPECT_EQ(present.m_pTemperature->m_dwRawValue, 0x5Bu);
    EXPECT_FLOAT_EQ(present.m_pTemperature->m_fValue, 45.5f);
    EXPECT_EQ(absent.Update(), 1);
    EXPECT_FALSE(absent.m_pTemperature->IsValid());
    // Without a window a monitor reads nothing.
    CMemoryModuleHardwareMonitor bare("DIMM", nullptr, 0, 0);
    EXPECT_EQ(bare.Update(), 0);
}

// Memory modules that carry a thermal sensor get a "DIMM" monitor holding
// it in its own lists only; one without gets none.
TEST_F(PlatformSourceTest, ModulesWithThermalSensorsGetDIMMMonitors) {
    BootWith({});
    auto* withSensor = new CMemoryModule;
    auto* sensor = new CTemperatureSensor(0);
    GetSDK()->m_pSensors->AddTail(sensor);
    withSensor->m_pThermalSensor = sensor;
    GetSDK()->m_pDevices->AddTail(withSensor);
    GetSDK()->m_pDevices->AddTail(new CMemoryModule);
    CHardwareMonitorInterface& monitors = Monitors();
    EXPECT_EQ(monitors.ProbeFBDIMM(), 1);
    const auto found = MonitorsOfKind(MONITOR_MEMORY_MODULE);
    ASSERT_EQ(found.size(), 1u);
    auto* monitor = static_cast<CMemoryModuleHardwareMonitor*>(found[0]);
    EXPECT_STREQ(monitor->m_szName, "DIMM");
    EXPECT_EQ(monitor->m_pTemperature, sensor);
    EXPECT_EQ(monitor->m_pWindow, nullptr);
    EXPECT_EQ(monitor->CreateSensors(), 1);
    EXPECT_EQ(monitor->m_pAllSensors->GetCount(), 1u);
    EXPECT_EQ(GetSDK()->m_pSensors->GetCount(), 1u) << "not listed in the root a second time";
}

std::string FileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The Dell Precision 490 sample's AMB window, with its 5000X host bridge
// and FB-DIMM controller as the probe reads them: its two FB-DIMMs, the
// pair of the first branch, with their temperatures in the report.
TEST_F(PlatformSourceTest, DellPrecision490FBDIMMTemperatures) {
    AcpiImage image;
    const std::string dell = sourcePath("machines/dell-precision-490");
    image.manifest = FileText(dell + "/machine.json");
    for (const char* file : {"smbios.bin", "cpuid.txt", "amb.bin"}) image.files[file] = FileText(dell + "/" + file);
    image.files["lspci.txt"] =
        Function("00:00.0", 0x25C0) + Function("00:10.0", 0x25F0, {{0x48, kWindowBase}, {0x4C, 0}, {0x50, 1}});
    BootWith(image);
    ASSERT_EQ(GetSDK()->CreatePCIInterface(), 1);
    GetSDK()->m_pPCI->ScanBus();
    CHardwareMonitorInterface& monitors = Monitors();
    monitors.ProbeFBDIMM();
    const auto found = MonitorsOfKind(MONITOR_MEMORY_MODULE);
    ASSERT_EQ(found.size(), 2u);
    for (CHardwareMonitor* monitor : found) {
        monitor->CreateSensors();
        monitor->Poll(1);
    }
    const std::string report = Report();
    EXPECT_NE(report.find("FB-DIMM"), std::string::npos) << report;
    EXPECT_FLOAT_EQ(static_cast<CMemoryModuleHardwareMonitor*>(found[0])->m_pTemperature->m_fValue, 45.5f);
    EXPECT_FLOAT_EQ(static_cast<CMemoryModuleHardwareMonitor*>(found[1])->m_pTemperature->m_fValue, 44.0f);
    EXPECT_EQ(static_cast<CMemoryModuleHardwareMonitor*>(found[1])->m_dwChannel, 1u);
}

} // namespace
} // namespace vexa::test
