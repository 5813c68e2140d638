// Display adapters from the PCI display functions: numbered in PCI order,
// named from the Windows display devices, their board makers from the
// subsystem vendor; the x58 sample's GeForce with its monitor; the host.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "machine/host_machine.h"
#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/display/display_adapter.h"
#include "sdk/display/display_interface.h"
#include "sdk/display/edid.h"
#include "sdk/display/pll.h"
#include "tests/sdk/pci/pci_test_support.h"

namespace vexa::test {
namespace {

class DisplayAdapters : public PciTest {
protected:
    CDisplayInterface* Scan(uint32_t flags = 0) {
        if (!scannedPCI()) return nullptr;
        EXPECT_EQ(sdk().CreateDisplayInterface(flags), 1);
        return sdk().m_pDisplay;
    }
};

FunctionDump DisplayFunction(uint8_t device, uint16_t vendor, uint16_t id, uint16_t subVendor, uint16_t subSystem) {
    FunctionDump dump(machine::PciAddress{0, device, 0}, vendor, id);
    dump.Class(0x03, device == 2 ? 0x00 : 0x80).Word(0x2C, subVendor).Word(0x2E, subSystem);
    return dump;
}

TEST_F(DisplayAdapters, TwoDisplayFunctionsBecomeAdaptersZeroAndOne) {
    startImage(LspciWithHostBridge({DisplayFunction(2, 0x8086, 0x0102, 0x1043, 0x844D),
                                    DisplayFunction(3, 0x10DE, 0x0A65, 0x1022, 0x1234)}),
               R"({"displays": [{"name": "\\\\.\\DISPLAY1", "description": "Intel(R) HD Graphics",
                                 "device_id": "PCI\\VEN_8086&DEV_0102&SUBSYS_844D1043"},
                                {"name": "\\\\.\\DISPLAY2", "description": "NVIDIA GeForce 210",
                                 "device_id": "PCI\\VEN_10DE&DEV_0A65"}],
                   "wmi": {"root\\cimv2": {"Win32_VideoController": [
                       {"AdapterRAM": {"uint32": 268435456}}, {"AdapterRAM": {"uint32": 4293918720}}]}}})");
    ASSERT_EQ(sdk().CreateWMIInterface(), 1);
    CDisplayInterface* display = Scan();
    ASSERT_NE(display, nullptr);
    ASSERT_EQ(display->Adapters->GetCount(), 2u);
    CDisplayAdapter* first = display->GetAdapter(0);
    CDisplayAdapter* second = display->GetAdapter(1);
    EXPECT_EQ(display->GetAdapter(-1), nullptr);
    EXPECT_EQ(display->GetAdapter(2), nullptr);
    EXPECT_EQ(first->Index, 0);
    EXPECT_EQ(second->Index, 1);
    EXPECT_STREQ(first->Name, "Intel(R) HD Graphics");
    EXPECT_STREQ(second->Name, "NVIDIA GeForce 210");
    EXPECT_EQ(first->FamilyCode, 0x4000000u);
    EXPECT_EQ(second->FamilyCode, 0x1050218u) << "the NVIDIA register API names the GT218's family";
    EXPECT_STREQ(first->BoardVendor, "ASUSTeK Computer Inc.");
    EXPECT_STREQ(second->BoardVendor, "Advanced Micro Devices Inc. (AMD)");
    EXPECT_EQ(first->GetVendorID(), 0x8086);
    EXPECT_EQ(second->GetDeviceID(), 0x0A65);
    EXPECT_EQ(display->FindAdapterByLocation(0, 3, 0), second);
    EXPECT_EQ(display->FindAdaptersByID(0x10DE, 0x0A65, nullptr), 1);
    EXPECT_EQ(display->FindAdapterOfDevice(second->GetPCIDevice()), second);
    // No API answers: one level, no clock generators; the memory size is
    // WMI's controller of the adapter's position.
    EXPECT_EQ(first->PerfLevelCount, 1);
    EXPECT_EQ(first->CorePLL[0], nullptr);
    EXPECT_EQ(first->MemorySize, 256);
    EXPECT_EQ(second->MemorySize, 4095);

    CReportGenerator_Buffer report;
    display->DumpAdapters(&report);
    const std::string text = report.GetText();
    for (const char* line : {"Display adapter 0", "Display adapter 1", "Intel(R) HD Graphics",
                             "bus 0 (0x0), device 3 (0x3), function 0 (0x0)", "0x10DE (0x1022)", "0x0A65 (0x1234)", "256 MB"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
}

TEST_F(DisplayAdapters, UnknownBoardMakersShowTheirIds) {
    startImage(LspciWithHostBridge({DisplayFunction(2, 0x1002, 0x9440, 0x1FFF, 0x0042)}));
    CDisplayInterface* display = Scan();
    ASSERT_NE(display, nullptr);
    ASSERT_EQ(display->Adapters->GetCount(), 1u);
    EXPECT_STREQ(display->GetAdapter(0)->BoardVendor, "0x1FFF (0x0042)");
    EXPECT_EQ(display->GetAdapter(0)->FamilyCode, 0x2000000u);
    EXPECT_STREQ(display->GetAdapter(0)->Name, "");  // no display device names it
}

// The x58 sample: its GeForce 210 (10de:0a65 at 06:00.0) is adapter 0, with
// the monitor of its edid/0.bin.
TEST_F(DisplayAdapters, X58GeForceWithItsMonitor) {
    startX58();
    CDisplayInterface* display = Scan();
    ASSERT_NE(display, nullptr);
    ASSERT_EQ(display->Adapters->GetCount(), 1u);
    CDisplayAdapter* adapter = display->GetAdapter(0);
    EXPECT_EQ(adapter->GetVendorID(), 0x10DE);
    EXPECT_EQ(adapter->GetDeviceID(), 0x0A65);
    EXPECT_EQ(adapter->GetPCIBus(), 6);
    EXPECT_STREQ(adapter->Name, "NVIDIA GeForce 210");
    EXPECT_STREQ(adapter->BoardVendor, "EVGA Corp.");
    ASSERT_EQ(display->Monitors->GetCount(), 1u);
    CTListIterator<_EDID_INFOS> monitors(display->Monitors);
    EXPECT_STREQ(monitors.GetFirst()->MonitorID, "PHL0081");

    CReportGenerator_Buffer report;
    display->Dump(&report);
    const std::string text = report.GetText();
    for (const char* line : {"Display Adapters", "NVIDIA GeForce 210", "bus 6 (0x6), device 0 (0x0)", "Monitor 0",
                             "\tModel\t\t\tPhilips 190V (Philips)", "PHL0081", "1440 x 900 @ 59 Hz"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
}

// This host: as many adapters as the kernel lists PCI display functions the
// scan can read, as many monitors as connectors with an EDID; never an error.
TEST_F(DisplayAdapters, HostAdaptersAndMonitorsAsTheKernelListsThem) {
    start(std::make_unique<machine::HostMachine>());
    CDisplayInterface* display = Scan();
    ASSERT_NE(display, nullptr);
    size_t displayFunctions = 0;
    std::error_code code;
    for (const auto& entry : std::filesystem::directory_iterator("/sys/bus/pci/devices", code)) {
        std::ifstream in(entry.path() / "class");
        std::string cls;
        if (in >> cls && cls.rfind("0x03", 0) == 0) ++displayFunctions;
    }
    EXPECT_LE(display->Adapters->GetCount(), displayFunctions);
    size_t edids = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/sys/class/drm", code)) {
        std::error_code sizeCode;
        const auto bytes = std::filesystem::file_size(entry.path() / "edid", sizeCode);
        if (!sizeCode && bytes > 0) ++edids;
    }
    EXPECT_EQ(display->Monitors->GetCount(), edids);
    if (displayFunctions == 0) {
        EXPECT_EQ(display->Adapters->GetCount(), 0u);
    }
}

} // namespace
} // namespace vexa::test
