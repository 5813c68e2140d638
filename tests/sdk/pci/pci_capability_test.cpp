// The capability lists of PCI functions: the walks, their bounds, the
// capability mask, the decoded capabilities and their report lines.
#include <gtest/gtest.h>

#include "sdk/core/report_generator.h"
#include "sdk/hw/pci_caps_agp.h"
#include "sdk/hw/pci_caps_basic.h"
#include "sdk/hw/pci_caps_express.h"
#include "sdk/hw/pci_caps_hypertransport.h"
#include "sdk/hw/register_space.h"
#include "tests/sdk/pci/pci_test_support.h"

namespace vexa::test {
namespace {

using vexa::test::PrintTo;

using machine::PciAddress;

constexpr PciAddress kFunction{0, 2, 0};

// A host bridge whose PCIEXBAR (0x60) puts the PCI Express window at
// 0xE0000000, where the machine has one.
FunctionDump HostBridgeWithWindow() {
    return FunctionDump({0, 0, 0}, 0x8086, 0x29C0).Class(6, 0).Dword(0x60, 0xE0000001);
}
// The function whose capabilities a test writes.
FunctionDump Function() { return FunctionDump(kFunction, 0x1106, 0x3344).Class(3, 0); }

constexpr const char* kWindowManifest = R"({"memory_devices": {"ecam": {"base": "0xE0000000", "buses": 16}}})";

std::string CapabilityReport(CPCIDevice& device, bool extended = false) {
    CReportGenerator_Buffer report;
    CTListIterator<CPCICapability> it(extended ? device.m_pExtendedCapabilities : device.m_pCapabilities);
    for (CPCICapability* capability = it.GetFirst(); capability; capability = it.GetNext()) capability->Dump(&report);
    return report.GetText();
}

std::vector<uint32_t> Ids(CTList<CPCICapability>* list) {
    std::vector<uint32_t> ids;
    CTListIterator<CPCICapability> it(list);
    for (CPCICapability* capability = it.GetFirst(); capability; capability = it.GetNext())
        ids.push_back(capability->m_dwID);
    return ids;
}

template <typename Caps>
Caps* First(CPCIDevice& device, uint32_t id) {
    CTListIterator<CPCICapability> it(device.m_pCapabilities);
    for (CPCICapability* capability = it.GetFirst(); capability; capability = it.GetNext())
        if (capability->IsID(id)) return dynamic_cast<Caps*>(capability);
    return nullptr;
}

class Capabilities : public PciTest {
protected:
    CPCIDevice* scan(FunctionDump function, bool window = false) {
        if (window) startImage(LspciText({HostBridgeWithWindow(), function}), kWindowManifest);
        else startImage(LspciWithHostBridge({function}));
        CPCIInterface* pci = scannedPCI();
        return pci ? pci->FindDevice(kFunction.bus, kFunction.device, kFunction.function) : nullptr;
    }

};

// ---- The standard walk ----

TEST_F(Capabilities, StandardListBuildsTheMaskByIdModulo32) {
    CPCIDevice* device = scan(Function()
                                  .Capability(0x40, 0x01, 0x50)
                                  .Word(0x42, 0x0003)  // power management 1.2
                                  .Capability(0x50, 0x11, 0x60)
                                  .Capability(0x60, 0x13, 0x71)  // no class of its own; next pointer's low bits ignored
                                  .Capability(0x70, 0x10, 0x00)
                                  .Word(0x72, 0x0001));  // a PCI Express endpoint
    ASSERT_TRUE(device);
    EXPECT_EQ(Ids(device->m_pCapabilities), (std::vector<uint32_t>{0x01, 0x11, 0x13, 0x10}));
    EXPECT_EQ(device->m_dwCapabilityMask, 1u << 1 | 1u << 17 | 1u << 19 | 1u << 16);
    EXPECT_EQ(CapabilityReport(*device),
              "\tCaps class\t\tPower Management\n\tCaps offset\t\t0x40\n\tCaps version\t\t1.2\n"
              "\tCaps class\t\tMSI-X\n\tCaps offset\t\t0x50\n"
              "\tCaps class\t\t0x13\n\tCaps offset\t\t0x60\n"
              "\tCaps class\t\tPCI Express\n\tCaps offset\t\t0x70\n\tDevice type\t\tPCI-E Endpoint Device\n"
              "\tPort\t\t\t0\n\tVersion\t\t\t1.0\n\tLink width\t\t0x (max 0x)\n");
}

struct WalkEnd {
    const char* name;
    FunctionDump function;
    std::vector<uint32_t> ids;
};

class StandardWalkEnds : public Capabilities, public ::testing::WithParamInterface<WalkEnd> {};

TEST_P(StandardWalkEnds, Where) {
    CPCIDevice* device = scan(GetParam().function);
    ASSERT_TRUE(device);
    EXPECT_EQ(Ids(device->m_pCapabilities), GetParam().ids);
}

INSTANTIATE_TEST_SUITE_P(
    Pci, StandardWalkEnds,
    ::testing::Values(
        WalkEnd{"pointer_into_the_header", Function().Capability(0x40, 0x05, 0x3C), {0x05}},
        WalkEnd{"id_0xff", Function().Capability(0x40, 0x05, 0x48).Capability(0x48, 0xFF, 0x50), {0x05}},
        WalkEnd{"loop_after_48_entries", Function().Capability(0x40, 0x05, 0x40),
                std::vector<uint32_t>(48, 0x05)},
        WalkEnd{"first_pointer_below_0x40", Function().Byte(0x34, 0x20).Byte(0x20, 0x01), {}}),
    CaseName{});

// ---- The extended walk ----

TEST_F(Capabilities, ExtendedListThroughTheWindow) {
    CPCIDevice* device = scan(Function()
                                  .Capability(0x40, 0x10, 0x00)
                                  .ExtendedCapability(0x100, 0x0001, 0x140)
                                  .ExtendedCapability(0x140, 0x0005, 0x180)
                                  .Dword(0x144, 0x02000200)  // two link entries, port 2
                                  .ExtendedCapability(0x180, 0x000B, 0x1C0)
                                  .Dword(0x184, 0x01801234)  // VSEC 0x1234, 24 bytes
                                  .ExtendedCapability(0x1C0, 0x0023, 0x000),
                              true);
    ASSERT_TRUE(device);
    ASSERT_EQ(device->m_pRegisterSpace->GetClass(), uint32_t(REGSPACE_PCI_EXPRESS));
    EXPECT_EQ(Ids(device->m_pExtendedCapabilities), (std::vector<uint32_t>{0x0001, 0x0005, 0x000B, 0x0023}));
    EXPECT_EQ(device->m_dwExtendedCapabilityMask, 1u << 1 | 1u << 5 | 1u << 11 | 1u << 3);
    EXPECT_EQ(CapabilityReport(*device, true),
              "\tCaps class\t\tAdvanced Error Reporting\n\tCaps offset\t\t0x100\n"
              "\tCaps class\t\tRoot Complex Link Declaration\n\tCaps offset\t\t0x140\n"
              "\tLink Entries #\t\t2\n\tPort Number\t\t2\n"
              "\tCaps class\t\tVendor Specific\n\tCaps offset\t\t0x180\n\tVendor ID\t\t4660\n\tSize\t\t\t24\n"
              "\tCaps class\t\t0x23\n\tCaps offset\t\t0x1C0\n");
    CTListIterator<CPCICapability> it(device->m_pExtendedCapabilities);
    EXPECT_EQ(it.GetFirst()->m_iSize, 16);
    EXPECT_EQ(it.GetNext()->m_iSize, 48) << "(2 link entries + 1) x 16";
    EXPECT_EQ(it.GetNext()->m_iSize, 24);
    // The report marks the extended list once.
    CReportGenerator_Buffer report;
    device->Dump(&report);
    const std::string text = report.GetText();
    EXPECT_NE(text.find("PCI capability\n\tCaps class\t\tPCI Express\n"), std::string::npos);
    EXPECT_NE(text.find("Extended capabilities\n\tCaps class\t\tAdvanced Error Reporting\n"), std::string::npos);
}

class ExtendedWalkEnds : public Capabilities, public ::testing::WithParamInterface<WalkEnd> {};

TEST_P(ExtendedWalkEnds, Where) {
    FunctionDump function = GetParam().function;
    CPCIDevice* device = scan(function.Capability(0x40, 0x10, 0x00), true);
    ASSERT_TRUE(device);
    EXPECT_EQ(Ids(device->m_pExtendedCapabilities), GetParam().ids);
}

FunctionDump LongChain(unsigned loopBackTo) {
    FunctionDump function = Function();
    for (unsigned offset = 0x100; offset < 0x1000; offset += 4)
        function.ExtendedCapability(offset, 0x0002, offset + 4 < 0x1000 ? offset + 4 : loopBackTo);
    return function;
}

INSTANTIATE_TEST_SUITE_P(
    Pci, ExtendedWalkEnds,
    ::testing::Values(
        WalkEnd{"next_below_0x100", Function().ExtendedCapability(0x100, 0x0001, 0x0FC), {0x0001}},
        WalkEnd{"id_0", Function().ExtendedCapability(0x100, 0x0001, 0x110), {0x0001}},
        WalkEnd{"nothing_at_0x100", Function(), {}},
        WalkEnd{"self_loop", Function().ExtendedCapability(0x100, 0x0003, 0x100), {0x0003}},
        WalkEnd{"loop_back_to_an_earlier_entry",
                Function()
                    .ExtendedCapability(0x100, 0x0001, 0x200)
                    .ExtendedCapability(0x200, 0x0002, 0x300)
                    .ExtendedCapability(0x300, 0x0004, 0x200),
                {0x0001, 0x0002, 0x0004}},
        WalkEnd{"every_dword_then_back_to_the_start", LongChain(0x100), std::vector<uint32_t>(960, 0x0002)},
        WalkEnd{"every_dword_then_out_of_the_space", LongChain(0x000), std::vector<uint32_t>(960, 0x0002)}),
    CaseName{});

TEST_F(Capabilities, NoExtendedWalkWithoutTheWindow) {
    CPCIDevice* device = scan(Function().Capability(0x40, 0x10, 0x00).ExtendedCapability(0x100, 0x0001, 0));
    ASSERT_TRUE(device);
    EXPECT_EQ(device->m_pRegisterSpace->GetClass(), uint32_t(REGSPACE_PCI));
    EXPECT_EQ(device->m_pExtendedCapabilities->GetCount(), 0u);
}

// ---- Decoded capabilities ----

struct AgpCase {
    const char* name;
    uint8_t version;
    uint32_t status, command;
    int32_t maxRate, currentRate;
    uint32_t agp3Supported, agp3Enabled;
    const char* lines;
};

class Agp : public Capabilities, public ::testing::WithParamInterface<AgpCase> {};

TEST_P(Agp, RatesQueuesAndFeatures) {
    const AgpCase& c = GetParam();
    CPCIDevice* device = scan(
        Function().Capability(0x58, 0x02, 0x00).Byte(0x5A, c.version).Dword(0x5C, c.status).Dword(0x60, c.command));
    ASSERT_TRUE(device);
    auto* agp = First<CPCICaps_AGP>(*device, 2);
    ASSERT_TRUE(agp);
    EXPECT_EQ(agp->m_iMaxRate, c.maxRate);
    EXPECT_EQ(agp->m_iCurrentRate, c.currentRate);
    EXPECT_EQ(agp->m_AGP3Mode.m_bSupported, c.agp3Supported);
    EXPECT_EQ(agp->m_AGP3Mode.m_bEnabled, c.agp3Enabled);
    EXPECT_EQ(agp->m_SidebandAddressing.m_bSupported, (c.status >> 9) & 1);
    EXPECT_EQ(agp->m_SidebandAddressing.m_bEnabled, (c.command >> 9) & 1);
    EXPECT_EQ(agp->m_FastWrite.m_bSupported, (c.status >> 4) & 1);
    EXPECT_EQ(CapabilityReport(*device), std::string("\tCaps class\t\tAGP\n\tCaps offset\t\t0x58\n") + c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Pci, Agp,
    ::testing::Values(
        AgpCase{"agp2_at_2x", 0x20, 0x1F000217, 0x07000302, 4, 2, 0, 0,
                "\tCaps version\t\t2.0\n\tCaps status\t\tenabled\n\tTransfer rate\t\t2x (max 4x)\n"
                "\tQueue length\t\t8 (max 32)\n"},
        AgpCase{"agp3_mode3_at_8x", 0x30, 0x1F00021B, 0x1F000302, 8, 8, 1, 1,
                "\tCaps version\t\t3.0\n\tCaps status\t\tenabled\n\tTransfer rate\t\t8x (max 8x)\n"
                "\tQueue length\t\t32 (max 32)\n"},
        AgpCase{"agp3_rate_code_4_selects_nothing", 0x30, 0x0000000B, 0x00000004, 8, -1, 1, 0,
                "\tCaps version\t\t3.0\n\tCaps status\t\tdisabled\n\tMax transfer\t\t8x\n"
                "\tQueue length\t\t1 (max 1)\n"},
        AgpCase{"agp3_bridge_in_agp2_mode", 0x30, 0x00000007, 0x00000104, 4, 4, 0, 0,
                "\tCaps version\t\t3.0\n\tCaps status\t\tenabled\n\tTransfer rate\t\t4x (max 4x)\n"
                "\tQueue length\t\t1 (max 1)\n"}),
    CaseName{});

struct HtCase {
    const char* name;
    FunctionDump function;
    const char* lines;
};

class HyperTransport : public Capabilities, public ::testing::WithParamInterface<HtCase> {};

TEST_P(HyperTransport, InterfaceLines) {
    CPCIDevice* device = scan(GetParam().function);
    ASSERT_TRUE(device);
    EXPECT_EQ(CapabilityReport(*device),
              std::string("\tCaps class\t\tHyperTransport\n\tCaps offset\t\t0x80\n") + GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Pci, HyperTransport,
    ::testing::Values(
        HtCase{"slave_primary_both_links",
               Function()
                   .Capability(0x80, 0x08, 0x00)
                   .Word(0x82, 0x0000)
                   .Word(0x86, 0x1100)  // link 0: 16 bits in and out
                   .Word(0x8A, 0x0000)  // link 1: 8 bits in and out
                   .Byte(0x8C, 0x22)    // revision 1.02
                   .Byte(0x8D, 0x05)    // link 0 at 800 MHz
                   .Byte(0x91, 0x0F),   // link 1 at 100 MHz
               "\tCaps revision\t\t1.02\n\tInterface type\t\tSlave/Primary\n"
               "\tLink 0 width (in/out)\t16 bits/16 bits\n\tLink 0 frequency\t800 MHz\n"
               "\tLink 1 width (in/out)\t8 bits/8 bits\n\tLink 1 frequency\t100 MHz\n"},
        HtCase{"host_secondary_link_0_only",
               Function()
                   .Capability(0x80, 0x08, 0x00)
                   .Word(0x82, 0x2014)  // host/secondary, device number 5
                   .Word(0x86, 0x3200)  // in: code 2 (none), out: 32 bits
                   .Byte(0x88, 0x60)    // revision 3.00
                   .Byte(0x89, 0x0B),   // 2000 MHz
               "\tCaps revision\t\t3.00\n\tInterface type\t\tHost/Secondary\n\tDevice number\t\t5\n"
               "\tLink 0 width (out)\t32 bits\n\tLink 0 frequency\t2000 MHz\n"},
        HtCase{"switch", Function().Capability(0x80, 0x08, 0x00).Word(0x82, 0x4000),
               "\tInterface type\t\tSwitch\n"},
        HtCase{"unnamed_type", Function().Capability(0x80, 0x08, 0x00).Word(0x82, 0xF800),
               "\tInterface type\t\t1Fh\n"}),
    CaseName{});

struct ExpressCase {
    const char* name;
    uint16_t capabilities;
    uint32_t slot;
    uint16_t slotStatus;
    const char* slotLines;
};

class PciExpressCapability : public Capabilities, public ::testing::WithParamInterface<ExpressCase> {};

TEST_P(PciExpressCapability, PortAndSlotLines) {
    const ExpressCase& c = GetParam();
    CPCIDevice* device = scan(Function()
                                  .Capability(0x90, 0x10, 0x00)
                                  .Word(0x92, c.capabilities)
                                  .Dword(0x9C, 0x03000481)  // port 3, maximum x8
                                  .Word(0xA2, 0x0041)       // negotiated x4
                                  .Dword(0xA4, c.slot)
                                  .Word(0xAA, c.slotStatus));
    ASSERT_TRUE(device);
    auto* express = First<CPCICaps_PCIE>(*device, 0x10);
    ASSERT_TRUE(express);
    EXPECT_EQ(express->m_iMaxLinkWidth, 8);
    EXPECT_EQ(express->m_iLinkWidth, 4);
    const std::string lines = CapabilityReport(*device);
    EXPECT_NE(lines.find("\tPort\t\t\t3\n\tVersion\t\t\t2.0\n" + std::string(c.slotLines) +
                         "\tLink width\t\t4x (max 8x)\n"),
              std::string::npos)
        << lines;
}

INSTANTIATE_TEST_SUITE_P(
    Pci, PciExpressCapability,
    ::testing::Values(ExpressCase{"endpoint", 0x0002, 0, 0, ""},
                      ExpressCase{"root_port_without_slot", 0x0042, 0, 0, "\tPhysical slot\t\tIntegrated device\n"},
                      ExpressCase{"root_port_with_slot", 0x0142, 5u << 19, 0x0040,
                                  "\tPhysical slot\t\t#5\n\tPresence detect\t\tyes\n"},
                      ExpressCase{"downstream_port_empty_slot", 0x0162, 2u << 19, 0x0000,
                                  "\tPhysical slot\t\t#2\n\tPresence detect\t\tno\n"}),
    CaseName{});

TEST_F(Capabilities, SubsystemVendorAndVendorDependent) {
    CPCIDevice* device = scan(Function()
                                  .Capability(0x40, 0x0D, 0x48)
                                  .Dword(0x44, 0x836B1043)
                                  .Capability(0x48, 0x09, 0x00)
                                  .Byte(0x4A, 0x18));
    ASSERT_TRUE(device);
    EXPECT_EQ(CapabilityReport(*device),
              "\tCaps class\t\tSubsystem Vendor\n\tCaps offset\t\t0x40\n\tSubVendor ID\t\t0x1043\n"
              "\tSubSystem ID\t\t0x836B\n"
              "\tCaps class\t\tVendor Dependant\n\tCaps offset\t\t0x48\n");
    CTListIterator<CPCICapability> it(device->m_pCapabilities);
    EXPECT_EQ(it.GetFirst()->m_iSize, 8);
    EXPECT_EQ(it.GetNext()->m_iSize, 0x18);
}

TEST(PciCapability, ParseBeforeTheWalkSetAnOffsetReadsNothing) {
    CPCICaps_PM pm;
    pm.Parse(nullptr);
    EXPECT_EQ(pm.m_byVersionMajor, 0xFF);
    EXPECT_EQ(pm.m_byVersionMinor, 0xFF);
    CPCICaps_PCIE express;
    express.Parse(nullptr);
    EXPECT_EQ(express.m_iMaxLinkWidth, -1);
    EXPECT_TRUE(express.IsID(0x10));
    EXPECT_FALSE(express.IsID(0x11));
}

TEST_F(Capabilities, PowerManagementVersionOutsideTheKnownOnes) {
    CPCIDevice* device = scan(Function().Capability(0x40, 0x01, 0x00).Word(0x42, 0x0007));
    ASSERT_TRUE(device);
    auto* pm = First<CPCICaps_PM>(*device, 1);
    ASSERT_TRUE(pm);
    EXPECT_EQ(pm->m_byVersionMajor, 0xFF);
    EXPECT_EQ(pm->m_byVersionMinor, 7);
    EXPECT_EQ(CapabilityReport(*device), "\tCaps class\t\tPower Management\n\tCaps offset\t\t0x40\n");
}

} // namespace
} // namespace vexa::test
