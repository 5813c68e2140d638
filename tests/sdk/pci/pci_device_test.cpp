// PCI functions: their class descriptions, typed headers and base address
// registers, configuration snapshots and report blocks.
#include <gtest/gtest.h>

#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/pci_class_names.h"
#include "sdk/hw/pci_header.h"
#include "sdk/hw/register_space_pci.h"
#include "tests/sdk/pci/pci_test_support.h"
#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

using vexa::test::PrintTo;

using machine::PciAddress;

// ---- Class descriptions ----

struct ClassCase {
    const char* name;
    uint8_t base, sub, progIF;
    const char* description;
};

class ClassDescriptions : public ::testing::TestWithParam<ClassCase> {};

TEST_P(ClassDescriptions, AreTheMostSpecificNameKnown) {
    const ClassCase& c = GetParam();
    char text[CPCIDevice::kDescriptionSize];
    FormatPCIClassDescription(text, sizeof text, c.base, c.sub, c.progIF);
    EXPECT_STREQ(text, c.description);
}

INSTANTIATE_TEST_SUITE_P(
    PciClasses, ClassDescriptions,
    ::testing::Values(
        ClassCase{"smbus", 0x0C, 0x05, 0x00, "SMBus Controller"},
        ClassCase{"semi_transparent_secondary", 0x06, 0x09, 0x80,
                  "Semi-Transparent PCI to PCI Bridge (Secondaty Bus to Host)"},
        ClassCase{"semi_transparent_primary", 0x06, 0x09, 0x40,
                  "Semi-Transparent PCI to PCI Bridge (Primary Bus to Host)"},
        ClassCase{"semi_transparent_other_pi", 0x06, 0x09, 0x01, "Semi-Transparent PCI to PCI Bridge"},
        ClassCase{"ata_chained_dma", 0x01, 0x05, 0x30, "ATA Controller (chained DMA)"},
        ClassCase{"ata_other_pi", 0x01, 0x05, 0x00, "ATA Controller"},
        ClassCase{"vga_8514", 0x03, 0x00, 0x01, "VGA+8514 Controller"},
        ClassCase{"vga", 0x03, 0x00, 0x00, "VGA Controller"},
        ClassCase{"ehci", 0x0C, 0x03, 0x20, "USB 2.0 Controller (EHCI)"},
        ClassCase{"usb_other_pi", 0x0C, 0x03, 0x30, "USB Controller"},
        ClassCase{"network_subclass_not_listed", 0x02, 0x04, 0x00, "Network Controller"},
        ClassCase{"system_device_any_subclass", 0x08, 0x80, 0x00, "System Device"},
        ClassCase{"parallel_target", 0x07, 0x01, 0xFE, "Parallel IEEE1284 Target"},
        ClassCase{"wireless_80211b", 0x0D, 0x21, 0x00, "Wireless Ethernet 802.11b"},
        ClassCase{"management_card", 0x11, 0x20, 0x00, "Management Card"},
        ClassCase{"class_0x11_other", 0x11, 0x80, 0x00, "Data Aquisition and Signal Processing Device"},
        ClassCase{"base_class_0", 0x00, 0x01, 0x00, "BaseClass 0x00, SubClass 0x01, PI 0x00"},
        ClassCase{"base_class_0x12", 0x12, 0x00, 0x00, "BaseClass 0x12, SubClass 0x00, PI 0x00"},
        ClassCase{"unassigned", 0xFF, 0xFF, 0x00, "BaseClass 0xFF, SubClass 0xFF, PI 0x00"}),
    CaseName{});

// ---- Headers ----

class PciDeviceTest : public PciTest {
protected:
    // Scans a machine with these functions and returns the one at `at`.
    CPCIDevice* scanOne(const std::vector<FunctionDump>& functions, PciAddress at) {
        startImage(LspciWithHostBridge(functions));
        CPCIInterface* pci = scannedPCI();
        return pci ? pci->FindDevice(at.bus, at.device, at.function) : nullptr;
    }

    static std::string reportOf(CPCIDevice& device) {
        CReportGenerator_Buffer report;
        device.Dump(&report);
        device.DumpRegisters(&report);
        return report.GetText();
    }
};

TEST_F(PciDeviceTest, OrdinaryFunctionRegistersEachBarThatHoldsAnAddress) {
    CPCIDevice* device = scanOne({FunctionDump({0, 2, 0}, 0x10EC, 0x8168)
                                      .Class(2, 0)
                                      .Dword(0x10, 0x0000E001)   // ports at 0xE000
                                      .Dword(0x14, 0xF9EFD004)   // 64-bit memory ...
                                      .Dword(0x18, 0x00000000)   // ... below 4 GB
                                      .Dword(0x1C, 0xC000000C)   // 64-bit prefetchable memory ...
                                      .Dword(0x20, 0x00000014)   // ... whose upper dword looks like an address
                                      .Dword(0x24, 0x00000002)   // nothing in bits 31:2
                                      .Word(0x2C, 0x1043)
                                      .Word(0x2E, 0x82D4)
                                      .Byte(0x3C, 0x0B)
                                      .Byte(0x3D, 0x01)},
                                 {0, 2, 0});
    ASSERT_TRUE(device);
    auto* header = dynamic_cast<CPCIHeaderType0*>(device->m_pHeader);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->m_dwBAR[1], 0xF9EFD004u);
    EXPECT_EQ(device->GetSubVendorID(), 0x1043);
    EXPECT_EQ(device->GetSubSystemID(), 0x82D4);
    EXPECT_TRUE(sdk().FindIOSpace(0, 0xE000, IOSPACE_PORT));
    EXPECT_TRUE(sdk().FindIOSpace(0, 0xF9EFD000, IOSPACE_MEMORY));
    EXPECT_TRUE(sdk().FindIOSpace(0, 0xC0000000, IOSPACE_MEMORY));
    EXPECT_TRUE(sdk().FindIOSpace(0, 0x00000000, IOSPACE_MEMORY) == nullptr);
    EXPECT_TRUE(sdk().FindIOSpace(0, 0x00000004, IOSPACE_PORT) == nullptr);
    EXPECT_TRUE(sdk().FindIOSpace(0, 0x00000000, IOSPACE_PORT) == nullptr);
    EXPECT_TRUE(sdk().FindIOSpace(0, 0x00000010, IOSPACE_MEMORY)) << "an upper dword of 4 or more reads as an address";

    const std::string report = reportOf(*device);
    for (const char* line : {"Description\t\t\tEthernet Controller\n", "PCI header\n",
                             "\tAddress 0 (port)\t0x0000E000\n", "\tAddress 1 (memory)\t0xF9EFD000\n",
                             "\tAddress 3 (memory)\t0xC0000000\n", "\tAddress 4 (memory)\t0x00000010\n",
                             "\tSubvendor ID\t\t0x1043\n", "\tSubsystem ID\t\t0x82D4\n", "\tInt. Line\t\t0x0B\n",
                             "\tInt. Pin\t\t0x01\n"})
        EXPECT_NE(report.find(line), std::string::npos) << line;
    EXPECT_EQ(report.find("\tAddress 2"), std::string::npos);
    EXPECT_EQ(report.find("\tAddress 5"), std::string::npos);
}

TEST_F(PciDeviceTest, RescanningDoesNotListABarSpaceTwice) {
    startX58();
    CPCIInterface* pci = scannedPCI();
    ASSERT_TRUE(pci);
    const uint32_t spaces = sdk().m_pIOSpaces->GetCount();
    pci->FindDevice(0, 0x1F, 3)->CreateHeader();
    EXPECT_EQ(sdk().m_pIOSpaces->GetCount(), spaces);
}

TEST_F(PciDeviceTest, BridgeHasBusNumbersAndNoSubsystemIds) {
    startX58();
    CPCIInterface* pci = scannedPCI();
    ASSERT_TRUE(pci);
    CPCIDevice* port = pci->FindDevice(0, 3, 0);
    ASSERT_TRUE(port);
    auto* header = dynamic_cast<CPCIHeaderType1*>(port->m_pHeader);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->m_byPrimaryBus, 0);
    EXPECT_EQ(header->m_bySecondaryBus, 2);
    EXPECT_EQ(header->m_bySubordinateBus, 5);
    EXPECT_EQ(port->GetSubVendorID(), 0xFFFF);
    EXPECT_EQ(port->GetSubSystemID(), 0xFFFF);
    const std::string report = reportOf(*port);
    EXPECT_NE(report.find("\tPrimary bus\t\t0x00\n\tSecondary bus\t\t0x02\n\tInt. Line"), std::string::npos);
}

TEST_F(PciDeviceTest, CardBusBridgeTakesItsSubsystemIdsFrom0x40) {
    startImage(readFile(dataPath("pci/tree-fujitsu-p8010")));
    CPCIInterface* pci = scannedPCI();
    ASSERT_TRUE(pci);
    EXPECT_EQ(pciDevices().size(), 22u);
    CPCIDevice* cardbus = pci->FindDevice(0x1C, 3, 0);
    ASSERT_TRUE(cardbus);
    auto* header = dynamic_cast<CPCIHeaderType2*>(cardbus->m_pHeader);
    ASSERT_TRUE(header);
    EXPECT_EQ(cardbus->GetSubVendorID(), 0x10CF);
    EXPECT_EQ(cardbus->GetSubSystemID(), 0x143D);
    EXPECT_EQ(header->m_dwSocketBase, 0xFC402000u);
    EXPECT_EQ(header->m_byCardBusBus, 0x1D);
    EXPECT_EQ(header->m_wIOBase0[0], 0x3001);
    EXPECT_STREQ(cardbus->m_szDescription, "PCI to CardBus Bridge");
    EXPECT_TRUE(sdk().FindIOSpace(0, 0xFC402000, IOSPACE_MEMORY));
    // Its header writes no lines of its own.
    const std::string report = reportOf(*cardbus);
    EXPECT_NE(report.find("PCI header\nPCI capability\n"), std::string::npos);
}

TEST_F(PciDeviceTest, UnknownLayoutHasNoTypedHeaderNoCapabilitiesNoSubsystem) {
    CPCIDevice* device = scanOne({FunctionDump({0, 4, 0}, 0x1234, 0x5678)
                                      .Class(0x12, 0)
                                      .HeaderType(0x7F)
                                      .Capability(0x40, 0x01, 0x00)},
                                 {0, 4, 0});
    ASSERT_TRUE(device);
    EXPECT_FALSE(device->m_pHeader);
    EXPECT_EQ(device->GetSubVendorID(), -1);
    EXPECT_EQ(device->GetSubSystemID(), -1);
    EXPECT_EQ(device->m_pCapabilities->GetCount(), 0u);
    EXPECT_EQ(device->m_dwCapabilityMask, 0u);
    const std::string report = reportOf(*device);
    EXPECT_EQ(report.find("PCI header"), std::string::npos);
    EXPECT_NE(report.find("Description\t\t\tBaseClass 0x12, SubClass 0x00, PI 0x00\n"), std::string::npos);
    EXPECT_NE(report.find("\tHeader\t\t\t0x7F\n"), std::string::npos);
}

TEST_F(PciDeviceTest, AFunctionThatStopsAnsweringReadsAsAllOnes) {
    startImage(LspciWithHostBridge({FunctionDump({0, 2, 0}, 0x8086, 0x10D3).Class(2, 0).Dword(0x10, 0xFEBC0000)}));
    // Only the vendor and device id answer; everything else fails.
    hw().injectFault(machine::Fault{machine::AccessKind::PciConfig, machine::AccessDir::Read,
                                    machine::pciLinear({0, 2, 0}, 4), machine::pciLinear({0, 2, 0}, 0xFFF)});
    CPCIInterface* pci = scannedPCI();
    ASSERT_TRUE(pci);
    CPCIDevice* device = pci->FindDevice(0, 2, 0);
    ASSERT_TRUE(device);
    EXPECT_EQ(device->m_pCommonHeader->m_byHeaderType, 0xFF);
    EXPECT_EQ(device->m_pCommonHeader->m_wCommand, 0xFFFF);
    EXPECT_FALSE(device->m_pHeader);
    EXPECT_STREQ(device->m_szDescription, "BaseClass 0xFF, SubClass 0xFF, PI 0xFF");
    device->ReadConfigSpace();
    ASSERT_EQ(device->m_Snapshot.size(), 256u);
    EXPECT_EQ(device->m_Snapshot[0], 0) << "a failed request leaves zeros";
    EXPECT_EQ(device->m_Snapshot[0xFF], 0);
}

TEST_F(PciDeviceTest, ConfigAccessNeedsAConfigurationSpace) {
    startX58();
    CPCIDevice device(0, 0x1F, 3);
    uint32_t value = 0;
    EXPECT_EQ(device.ReadConfigDword(0, &value), 0u) << "no register space";
    EXPECT_EQ(value, 0xFFFFFFFFu);
    CPCIRegisterSpace byDriver(nullptr);
    device.m_pRegisterSpace = &byDriver;
    EXPECT_EQ(device.ReadConfigDword(0, &value), 1u);
    EXPECT_EQ(value, 0x3A308086u);
    EXPECT_EQ(device.ReadConfigDword(0x41, &value), 1u);
    EXPECT_EQ(value, 0x00000000u) << "bytes 0x41..0x44";
    EXPECT_EQ(device.ReadConfigDword(-1, &value), 0u);
    EXPECT_EQ(device.ReadConfigDword(0x1000, &value), 0u);
    EXPECT_EQ(device.WriteConfigDword(0x1000, 0), 0u);
    CRegisterSpace other(REGSPACE_LPC, nullptr);
    device.m_pRegisterSpace = &other;
    EXPECT_EQ(device.ReadConfigDword(0, &value), 0u);
    EXPECT_EQ(device.WriteConfigDword(0x40, 0), 0u);
    device.ReadConfigSpace();
    EXPECT_TRUE(device.m_Snapshot.empty());
}

// ---- Snapshots and register rows ----

TEST_F(PciDeviceTest, RegisterRowsFollowTheSnapshot) {
    startX58();
    CPCIInterface* pci = scannedPCI();
    ASSERT_TRUE(pci);
    CPCIDevice* smbus = pci->FindDevice(0, 0x1F, 3);
    ASSERT_TRUE(smbus);
    CReportGenerator_Buffer before;
    smbus->DumpRegisters(&before);
    EXPECT_STREQ(before.GetText(), "") << "no snapshot yet";
    smbus->ReadConfigSpace();
    CReportGenerator_Buffer rows;
    smbus->DumpRegisters(&rows);
    const auto lines = Lines(rows.GetText());
    ASSERT_EQ(lines.size(), 18u);
    EXPECT_EQ(lines[0], "PCI registers\t");
    EXPECT_EQ(lines[1], "\t\t00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ");
    EXPECT_EQ(lines[2], "\t00\t86 80 30 3A 03 01 80 02 00 00 05 0C 00 00 00 00 ");
    EXPECT_EQ(lines[4], "\t20\t01 04 00 00 00 00 00 00 00 00 00 00 43 10 D4 82 ");
}

TEST_F(PciDeviceTest, SnapshotTakenBeforeTheMoveToTheWindowShowsNoExtendedRows) {
    startX58();
    CPCIInterface* pci = scannedPCI();
    ASSERT_TRUE(pci);
    CPCIDevice* port = pci->FindDevice(0, 1, 0);
    port->ReadConfigSpace();
    ASSERT_EQ(port->m_Snapshot.size(), 256u);
    // A window attached later: the function reads through it, its snapshot
    // is still the 256-byte one.
    auto* window = new CMemoryIOSpace(0, 0xE0000000, 4096);
    sdk().m_pIOSpaces->AddTail(window);
    sdk().m_pRegisterSpaces->AddTail(new CPCIExpressRegisterSpace(window));
    pci->AttachExpressSpace();
    ASSERT_EQ(port->m_pRegisterSpace->GetClass(), uint32_t(REGSPACE_PCI_EXPRESS));
    CReportGenerator_Buffer rows;
    port->DumpRegisters(&rows);
    EXPECT_EQ(Lines(rows.GetText()).size(), 18u);
    port->ReadConfigSpace();
    CReportGenerator_Buffer extended;
    port->DumpRegisters(&extended);
    const auto lines = Lines(extended.GetText());
    ASSERT_EQ(lines.size(), 22u);
    EXPECT_EQ(lines[18].substr(0, 5), "\t100\t");
    EXPECT_EQ(lines[21].substr(0, 5), "\t130\t");
}

TEST_F(PciDeviceTest, BriefBlockStopsAtTheRevision) {
    startX58();
    CPCIInterface* pci = scannedPCI();
    ASSERT_TRUE(pci);
    CReportGenerator_Buffer brief;
    pci->FindDevice(0, 0x1F, 3)->DumpBrief(&brief);
    EXPECT_STREQ(brief.GetText(),
                 "Description\t\t\tSMBus Controller\n"
                 "Location\t\t\tbus 0 (0x00), device 31 (0x1F), function 3 (0x03)\n"
                 "Common header\n"
                 "\tVendor ID\t\t0x8086\n"
                 "\tModel ID\t\t0x3A30\n"
                 "\tRevision ID\t\t0x00\n");
}

} // namespace
} // namespace vexa::test
