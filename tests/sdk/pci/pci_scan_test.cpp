// The PCI domain's bus scan: what it finds on the sample machine and on
// the host, by each access path, and how rescans keep the device list.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>

#include "machine/host_machine.h"
#include "machine/lspci_dump.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/pci_header.h"
#include "sdk/hw/register_space_pci.h"
#include "tests/sdk/pci/pci_test_support.h"
#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

using machine::PciAddress;

constexpr uint32_t kX58Ecam = 0xE0000000;

uint16_t Le16(const uint8_t* bytes) { return uint16_t(bytes[0] | bytes[1] << 8); }

// The report of every function without what only the PCI Express window
// shows: the extended capabilities and the register rows past 0xFF.
std::string WithoutExtendedParts(const std::string& report) {
    std::string kept;
    bool extended = false;
    for (const std::string& line : Lines(report)) {
        if (line.rfind("Extended capabilities", 0) == 0) extended = true;
        if (line.rfind("PCI registers", 0) == 0) extended = false;
        const bool extendedRow = line.size() > 4 && line[0] == '\t' && line[1] == '1' && line[4] == '\t';
        if (extended || extendedRow) continue;
        kept += line + "\n";
    }
    return kept;
}

class X58Scan : public PciTest {
protected:
    void SetUp() override {
        PciTest::SetUp();
        startX58();
        std::string error;
        ASSERT_TRUE(machine::parseLspciDump(X58Lspci(), dump_, error)) << error;
    }

    // The x58's ECAM window as a processor description would add it.
    void AttachX58Window(CPCIInterface& pci) {
        auto* window = new CMemoryIOSpace(0, kX58Ecam, CPCIDevice::kExpressSpace);
        sdk().m_pIOSpaces->AddTail(window);
        sdk().m_pRegisterSpaces->AddTail(new CPCIExpressRegisterSpace(window));
        pci.AttachExpressSpace();
    }

    machine::PciDump dump_;
};

TEST_F(X58Scan, FindsExactlyTheFunctionsOfTheDumpWithTheirIds) {
    CPCIInterface* pci = scannedPCI();
    ASSERT_TRUE(pci);
    EXPECT_EQ(pci->m_iMechanism, 1);
    const auto devices = pciDevices();
    ASSERT_EQ(devices.size(), dump_.functions.size());
    ASSERT_EQ(devices.size(), 53u);
    for (size_t i = 0; i < devices.size(); ++i) {
        CPCIDevice& device = *devices[i];
        const machine::PciFunctionDump& expected = dump_.functions[i];
        SCOPED_TRACE(location(device));
        EXPECT_EQ(PciAddress({device.m_byBus, device.m_byDevice, device.m_byFunction}), expected.address);
        EXPECT_EQ(device.GetVendorID(), Le16(&expected.bytes[0]));
        EXPECT_EQ(device.GetDeviceID(), Le16(&expected.bytes[2]));
        EXPECT_EQ(device.m_pCommonHeader->m_byBaseClass, expected.bytes[0x0B]);
        EXPECT_EQ(device.m_pCommonHeader->m_bySubClass, expected.bytes[0x0A]);
        EXPECT_EQ(device.m_pCommonHeader->m_byProgIF, expected.bytes[0x09]);
        if ((expected.bytes[0x0E] & 0x7F) == 0) {
            EXPECT_EQ(device.GetSubVendorID(), Le16(&expected.bytes[0x2C]));
            EXPECT_EQ(device.GetSubSystemID(), Le16(&expected.bytes[0x2E]));
        } else {
            EXPECT_EQ(device.GetSubVendorID(), 0xFFFF) << "a bridge has no subsystem ids";
        }
    }
    // The report names each of them once, in the dump's order.
    const std::string report = briefReport(*pci);
    size_t from = 0;
    for (const auto& function : dump_.functions) {
        char line[96];
        std::snprintf(line, sizeof line, "Location\t\t\tbus %d (0x%02X), device %d (0x%02X), function %d (0x%02X)",
                      function.address.bus, function.address.bus, function.address.device, function.address.device,
                      function.address.function, function.address.function);
        from = report.find(line, from);
        ASSERT_NE(from, std::string::npos) << line;
    }
}

TEST_F(X58Scan, DriverRequestsAndPortsGiveTheSameReport) {
    CPCIInterface* pci = scannedPCI(PCI_ACCESS_DRIVER);
    ASSERT_TRUE(pci);
    const std::string byDriver = fullReport(*pci);
    CKMDriver* driver = sdk().m_pDriver;
    ReleaseSDK();
    GetSDK()->m_pDriver = driver;
    pci = scannedPCI(PCI_ACCESS_PORTS);
    ASSERT_TRUE(pci);
    EXPECT_EQ(pciDevices().size(), 53u);
    const std::string byPorts = fullReport(*pci);
    EXPECT_EQ(byPorts, byDriver);
    EXPECT_NE(byDriver.find("\tF0\t01 C0 D1 FE 00 00 00 00 86 0F 00 00 00 00 00 00 "), std::string::npos)
        << "the LPC bridge's last row";
}

TEST_F(X58Scan, PciExpressWindowAddsOnlyTheExtendedSpace) {
    CPCIInterface* pci = scannedPCI();
    ASSERT_TRUE(pci);
    EXPECT_FALSE(pci->GetExpressSpace()) << "the X58 I/O hub is not among the ECAM rules";
    const std::string conventional = fullReport(*pci);
    AttachX58Window(*pci);
    const std::string withWindow = fullReport(*pci);
    EXPECT_NE(withWindow, conventional);
    EXPECT_EQ(WithoutExtendedParts(withWindow), conventional);

    // Every PCI Express function reads through the window; its snapshot and
    // extended rows are the dump's bytes.
    int express = 0;
    for (CPCIDevice* device : pciDevices()) {
        if (!(device->m_dwCapabilityMask & PCICAPS_PCIE)) continue;
        ++express;
        SCOPED_TRACE(location(*device));
        ASSERT_EQ(device->m_pRegisterSpace->GetClass(), uint32_t(REGSPACE_PCI_EXPRESS));
        ASSERT_EQ(device->m_Snapshot.size(), 4096u);
        const auto& expected = *std::find_if(dump_.functions.begin(), dump_.functions.end(), [&](const auto& f) {
            return f.address == PciAddress{device->m_byBus, device->m_byDevice, device->m_byFunction};
        });
        EXPECT_TRUE(std::equal(expected.bytes.begin(), expected.bytes.end(), device->m_Snapshot.begin()));
        const uint16_t first = Le16(&expected.bytes[0x100]);
        EXPECT_EQ(device->m_pExtendedCapabilities->GetCount() > 0, first != 0 && first != 0xFFFF);
    }
    EXPECT_GT(express, 10);
    EXPECT_NE(withWindow.find("\t100\t"), std::string::npos);
    EXPECT_NE(withWindow.find("Extended capabilities"), std::string::npos);
}

TEST_F(X58Scan, ConfigAccessRoutesByRegister) {
    CPCIInterface* pci = scannedPCI();
    ASSERT_TRUE(pci);
    uint32_t value = 0;
    EXPECT_EQ(pci->ReadConfig(0, 0x1F, 3, 0x20, &value), 1u);
    EXPECT_EQ(value, 0x00000401u);
    EXPECT_EQ(pci->ReadConfig(0, 1, 0, 0x100, &value), 0u) << "no window yet";
    EXPECT_EQ(value, 0xFFFFFFFFu);
    EXPECT_EQ(pci->WriteConfig(0, 1, 0, 0x100, 0), 0u);
    EXPECT_EQ(pci->ReadConfig(0, 1, 0, -4, &value), 0u);
    EXPECT_EQ(pci->ReadConfig(0, 1, 0, 0x1000, &value), 0u);
    AttachX58Window(*pci);
    EXPECT_EQ(pci->ReadConfig(0, 1, 0, 0x100, &value), 1u);
    EXPECT_EQ(value, configDword(PciAddress{0, 1, 0}, 0x100));
    EXPECT_EQ(pci->WriteConfig(0, 1, 0, 0x1A0, 0x12345678), 1u);
    EXPECT_EQ(configDword(PciAddress{0, 1, 0}, 0x1A0), 0x12345678u);
    EXPECT_EQ(pci->WriteConfig(0, 1, 0, 0x1A1, 0), 0u) << "the window takes aligned dwords only";
    EXPECT_EQ(pci->WriteConfig(0, 0x1F, 3, 0x40, 0x01), 1u);
}

TEST_F(X58Scan, LookupsByLocationIdAndClass) {
    CPCIInterface* pci = scannedPCI();
    ASSERT_TRUE(pci);
    CPCIDevice* smbus = pci->FindDevice(0, 0x1F, 3);
    ASSERT_TRUE(smbus);
    EXPECT_STREQ(smbus->m_szDescription, "SMBus Controller");
    EXPECT_FALSE(pci->FindDevice(0, 0x1F, 1));

    CTList<CDevice> found;
    found.AddTail(smbus);  // emptied first
    EXPECT_EQ(pci->FindDevicesByID(0x8086, 0x3A30, &found), 1);
    EXPECT_EQ(found.GetCount(), 1u);
    EXPECT_EQ(pci->FindDevicesByID(0x10EC, 0x8168, nullptr), 2);  // the two network controllers
    const auto inDump = [&](int sub) {
        return int(std::count_if(dump_.functions.begin(), dump_.functions.end(), [&](const auto& f) {
            return f.bytes[0x0B] == 6 && (sub == -1 || f.bytes[0x0A] == sub);
        }));
    };
    EXPECT_EQ(pci->FindDevicesByClass(6, -1, &found), inDump(-1));  // every bridge
    EXPECT_EQ(found.GetCount(), uint32_t(inDump(-1)));
    EXPECT_EQ(pci->FindDevicesByClass(6, 0, &found), inDump(0));  // host bridges: the hub and the uncore
    EXPECT_EQ(inDump(0), 20);
    EXPECT_EQ(pci->FindDevicesByClass(6, 4, nullptr), inDump(4));  // PCI-to-PCI bridges
    EXPECT_EQ(inDump(4), 10);
    EXPECT_EQ(pci->FindDevicesByClass(6, 0x104, nullptr), inDump(4)) << "the subclass's low byte";
    EXPECT_EQ(pci->FindDevicesByClass(0x12, -1, &found), 0);
    EXPECT_EQ(found.GetCount(), 0u);
}

TEST_F(X58Scan, ALoweredBusCountStillRunsTheHiddenPasses) {
    record();
    CPCIInterface* pci = scannedPCI(PCI_ACCESS_DRIVER, 1);
    ASSERT_TRUE(pci);
    std::set<uint8_t> busesByDriver;
    for (const auto& access : ofKind(hw().accessLog(), machine::AccessKind::PciConfig))
        busesByDriver.insert(uint8_t(access.address >> 20));
    EXPECT_EQ(busesByDriver, std::set<uint8_t>{0});
    // Bus 0 by the driver, the uncore on bus 0xFF by the hidden pass.
    std::set<uint8_t> buses;
    for (CPCIDevice* device : pciDevices()) buses.insert(device->m_byBus);
    EXPECT_EQ(buses, (std::set<uint8_t>{0, 0xFF}));
    CPCIDevice* uncore = pci->FindDevice(0xFF, 0, 0);
    ASSERT_TRUE(uncore);
    EXPECT_EQ(uncore->m_pRegisterSpace, pci->m_pPortConfigSpace);
    EXPECT_EQ(pciDevices().size(), 25u + 20u);
}

TEST_F(X58Scan, RescanAddsNothingAndReadsNothingAgain) {
    CPCIInterface* pci = scannedPCI();
    ASSERT_TRUE(pci);
    const auto before = pciDevices();
    record();
    pci->ScanBus();
    EXPECT_EQ(pciDevices(), before);
    for (const auto& access : ofKind(hw().accessLog(), machine::AccessKind::PciConfig))
        ASSERT_EQ(access.address & 0xFFF, 0u) << "only the vendor ids are read: " << std::hex << access.address;
}

// ---- Rescans on a changing machine ----

class Rescan : public PciTest {};

TEST_F(Rescan, AVanishedFunctionLeavesTheListButItsObjectLives) {
    startX58();
    CPCIInterface* pci = scannedPCI();
    ASSERT_TRUE(pci);
    CPCIDevice* smbus = pci->FindDevice(0, 0x1F, 3);
    ASSERT_TRUE(smbus);
    const size_t count = pciDevices().size();
    // The function disappears from every path: its function-disable bit.
    ASSERT_TRUE(hw().writePhysical(0xFED1C000 + 0x3418, std::vector<uint8_t>{0x08, 0, 0, 0}));
    pci->ScanBus();
    EXPECT_FALSE(pci->FindDevice(0, 0x1F, 3));
    EXPECT_EQ(pciDevices().size(), count - 1);
    // Whoever held it may still ask it.
    EXPECT_EQ(smbus->GetVendorID(), 0x8086);
    uint32_t value = 0;
    EXPECT_EQ(smbus->ReadConfigDword(0, &value), 1u);
    EXPECT_EQ(value, 0xFFFFFFFFu);
    // Shown again, it is found as a new device.
    ASSERT_TRUE(hw().writePhysical(0xFED1C000 + 0x3418, std::vector<uint8_t>{0, 0, 0, 0}));
    pci->ScanBus();
    CPCIDevice* again = pci->FindDevice(0, 0x1F, 3);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->GetDeviceID(), 0x3A30);
}

TEST_F(Rescan, AFunctionOnlyTheHiddenPassSeesKeepsItsObject) {
    // The driver's requests do not reach bus 0xFF, the ports do.
    startX58();
    hw().injectFault(machine::Fault{machine::AccessKind::PciConfig, std::nullopt, machine::pciLinear({0xFF, 0, 0}, 0),
                                    machine::pciLinear({0xFF, 31, 7}, 0xFFF)});
    CPCIInterface* pci = scannedPCI();
    ASSERT_TRUE(pci);
    CPCIDevice* uncore = pci->FindDevice(0xFF, 3, 0);
    ASSERT_TRUE(uncore);
    EXPECT_EQ(uncore->m_pRegisterSpace, pci->m_pPortConfigSpace);
    const auto before = pciDevices();
    pci->ScanBus();
    pci->ScanBus();
    EXPECT_EQ(pci->FindDevice(0xFF, 3, 0), uncore) << "the same object, not a new one";
    EXPECT_EQ(pciDevices(), before) << "and the same list order";
}

TEST_F(Rescan, AFunctionTheDriverNoLongerReachesKeepsItsObjectAndReadsThroughThePorts) {
    startX58();
    CPCIInterface* pci = scannedPCI();
    ASSERT_TRUE(pci);
    CPCIDevice* uncore = pci->FindDevice(0xFF, 3, 0);
    ASSERT_TRUE(uncore);
    EXPECT_EQ(uncore->m_pRegisterSpace, pci->m_pConfigSpace);
    hw().injectFault(machine::Fault{machine::AccessKind::PciConfig, std::nullopt, machine::pciLinear({0xFF, 0, 0}, 0),
                                    machine::pciLinear({0xFF, 31, 7}, 0xFFF)});
    pci->ScanBus();
    EXPECT_EQ(pci->FindDevice(0xFF, 3, 0), uncore);
    EXPECT_EQ(uncore->m_pRegisterSpace, pci->m_pPortConfigSpace);
    uint32_t value = 0;
    EXPECT_EQ(uncore->ReadConfigDword(0, &value), 1u);
    EXPECT_EQ(value, 0x2C188086u);
}

TEST_F(Rescan, AFunctionGoneFromEveryPathIsRemovedAfterTheHiddenPass) {
    startX58();
    CPCIInterface* pci = scannedPCI();
    ASSERT_TRUE(pci);
    ASSERT_TRUE(pci->FindDevice(0xFF, 6, 3));
    hw().injectFault(machine::Fault{machine::AccessKind::PciConfig, std::nullopt, machine::pciLinear({0xFF, 6, 3}, 0),
                                    machine::pciLinear({0xFF, 6, 3}, 0xFFF)});
    hw().injectFault(machine::Fault{machine::AccessKind::Port, machine::AccessDir::Read, 0xCFC, 0xCFF});
    pci->ScanBus();
    EXPECT_FALSE(pci->FindDevice(0xFF, 6, 3));
    EXPECT_TRUE(pci->FindDevice(0xFF, 6, 2)) << "only the vanished function goes";
}

TEST_F(Rescan, AFunctionThatVanishesWhereOnlyTheHiddenPassLooksStays) {
    startX58();
    CPCIInterface* pci = scannedPCI(PCI_ACCESS_DRIVER, 1);
    ASSERT_TRUE(pci);
    CPCIDevice* uncore = pci->FindDevice(0xFF, 4, 1);
    ASSERT_TRUE(uncore);
    hw().injectFault(machine::Fault{machine::AccessKind::Port, machine::AccessDir::Read, 0xCFC, 0xCFF});
    pci->ScanBus();
    EXPECT_EQ(pci->FindDevice(0xFF, 4, 1), uncore);
}

// ---- Geometry and mechanisms ----

class Mechanisms : public PciTest {};

TEST_F(Mechanisms, SingleFunctionDeviceGivesOneDeviceEvenWhenMoreFunctionsAnswer) {
    startImage(LspciText({FunctionDump({0, 0, 0}, 0x8086, 0x29C0).Class(6, 0),
                          FunctionDump({0, 0, 1}, 0x8086, 0x29C1).Class(6, 0),
                          FunctionDump({0, 2, 0}, 0x8086, 0x29C2).Class(3, 0).HeaderType(0x80),
                          FunctionDump({0, 2, 1}, 0x8086, 0x29C3).Class(3, 0x80)}));
    CPCIInterface* pci = scannedPCI();
    ASSERT_TRUE(pci);
    std::vector<std::string> found;
    for (CPCIDevice* device : pciDevices()) found.push_back(location(*device));
    EXPECT_EQ(found, (std::vector<std::string>{"00:00.0", "00:02.0", "00:02.1"}));
}

TEST_F(Mechanisms, Mechanism2VisitsEightBusesOfSixteenDevices) {
    // An i486-era board: its driver has no configuration request and
    // mechanism 1 finds nothing, so mechanism 2 must answer.
    startImage(LspciText({FunctionDump({0, 0, 0}, 0x8086, 0x04A3).Class(6, 0),
                          FunctionDump({0, 15, 0}, 0x8086, 0x0482).Class(6, 1),
                          FunctionDump({0, 16, 0}, 0x1000, 0x0001).Class(1, 0),
                          FunctionDump({7, 3, 0}, 0x10EC, 0x8029).Class(2, 0),
                          FunctionDump({8, 0, 0}, 0x10EC, 0x8029).Class(2, 0)}),
               R"({"pci": {"mechanism": 2}, "driver": {"fail": ["0x9C402448"]}})");
    record();
    CPCIInterface* pci = scannedPCI(PCI_ACCESS_DRIVER, 256);
    ASSERT_TRUE(pci);
    EXPECT_EQ(pci->m_iMechanism, 2);
    EXPECT_EQ(pci->m_iDevicesPerBus, 16);
    EXPECT_EQ(pci->m_iBusCount, 8) << "256 exceeds what mechanism 2 reaches";
    EXPECT_FALSE(pci->m_pPortConfigSpace);
    std::vector<std::string> found;
    for (CPCIDevice* device : pciDevices()) found.push_back(location(*device));
    EXPECT_EQ(found, (std::vector<std::string>{"00:00.0", "00:0f.0", "07:03.0"}));
    for (const auto& access : ofKind(hw().accessLog(), machine::AccessKind::Port))
        if (access.address >= 0xC000 && access.address <= 0xCFFF) {
            ASSERT_LT((access.address >> 8) & 0xF, 16u);
        }
    // Mode 2 has no configuration space under mechanism 2.
    pci->m_iAccessMode = PCI_ACCESS_PORTS;
    EXPECT_EQ(briefReport(*pci), "PCI I/O space not found\n");
}

TEST_F(Mechanisms, NeitherMechanismAnswersLeavesTheDomainAbsent) {
    startImage(LspciText({FunctionDump({0, 0, 0}, 0x8086, 0x1237).Class(6, 0)}),
               R"({"driver": {"fail": ["0x9C402448"]}})");
    EXPECT_EQ(sdk().CreatePCIInterface(), 0);
    EXPECT_FALSE(sdk().m_pPCI);
    EXPECT_EQ(sdk().m_pRegisterSpaces->GetCount(), 0u);
}

TEST_F(Mechanisms, AnAccessModeWithoutSpaceScansNothingAndSaysSo) {
    startX58();
    CPCIInterface* pci = createPCI();
    ASSERT_TRUE(pci);
    for (int mode : {0, 3}) {
        pci->m_iAccessMode = mode;
        pci->ScanBus();
        EXPECT_TRUE(pciDevices().empty());
        uint32_t value = 0;
        EXPECT_EQ(pci->ReadConfig(0, 0, 0, 0, &value), 0u);
        EXPECT_EQ(value, 0xFFFFFFFFu);
        EXPECT_EQ(fullReport(*pci), "PCI I/O space not found\n");
    }
}

// ---- The host ----

// The functions of PCI domain 0 in sysfs, as "BB:DD.F".
std::vector<std::string> SysfsFunctions() {
    std::vector<std::string> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/sys/bus/pci/devices", error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("0000:", 0) == 0) found.push_back(name.substr(5));
    }
    std::sort(found.begin(), found.end());
    return found;
}

TEST_F(PciTest, OnTheHostTheScanFindsWhatSysfsShows) {
    const auto expected = SysfsFunctions();
    if (expected.empty()) GTEST_SKIP() << "no PCI functions in sysfs";
    start(std::make_unique<machine::HostMachine>());
    CPCIInterface* pci = scannedPCI();
    ASSERT_TRUE(pci);
    std::vector<std::string> found;
    for (CPCIDevice* device : pciDevices()) found.push_back(location(*device));
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, expected);
    for (CPCIDevice* device : pciDevices()) {
        const std::string vendor = readFile("/sys/bus/pci/devices/0000:" + location(*device) + "/vendor");
        EXPECT_EQ(std::stoul(vendor, nullptr, 16), device->GetVendorID()) << location(*device);
    }
    const std::string report = fullReport(*pci);
    EXPECT_NE(report.find("PCI registers"), std::string::npos);
}

} // namespace
} // namespace vexa::test
