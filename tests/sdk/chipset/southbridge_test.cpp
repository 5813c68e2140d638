// Southbridge names on simulated PCI buses: by vendor and device ID, by
// revision ID, by the sibling functions present and by another function's
// strap register; and the AMD FCH, whose ID byte sits behind the
// power-management registers that identification switches and the root's
// close puts back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sdk/chipset/chipset_interface.h"
#include "sdk/chipset/south_bridge.h"
#include "tests/sdk/pci/pci_test_support.h"

namespace vexa::test {
namespace {

constexpr machine::PciAddress kLPC{0, 20, 3};
constexpr machine::PciAddress kIntelLPC{0, 31, 0};

FunctionDump IsaBridge(machine::PciAddress at, uint16_t vendor, uint16_t device, uint8_t revision) {
    return FunctionDump(at, vendor, device).Class(0x06, 0x01).Byte(0x08, revision).HeaderType(0x80);
}

FunctionDump Sibling(machine::PciAddress at, uint16_t vendor, uint16_t device, uint8_t revision = 0) {
    return FunctionDump(at, vendor, device).Class(0x0C, 0x05).Byte(0x08, revision).HeaderType(0x80);
}

// The functions and the SB700 family's SMBus function 00:14.0, beside which
// the bus scan finds the LPC bridge at function 3 of device 20 (no rule
// looks at this function).
std::vector<FunctionDump> WithFunctionZero(std::vector<FunctionDump> functions) {
    functions.push_back(Sibling({0, 20, 0}, 0x1002, 0x4385, 0x3A));
    return functions;
}

struct NamingCase {
    const char* name;
    std::vector<FunctionDump> functions;
    const char* vendor;
    const char* model;
    const char* revision;
};

class SouthBridgeNaming : public PciTest, public testing::WithParamInterface<NamingCase> {};

TEST_P(SouthBridgeNaming, NamesVendorModelAndStepping) {
    startImage(LspciWithHostBridge(WithFunctionZero(GetParam().functions)));
    ASSERT_TRUE(scannedPCI());
    ASSERT_EQ(sdk().CreateChipsetInterface(), 1);
    const CSouthBridge* bridge = sdk().m_pChipset->m_pSouthBridge;
    ASSERT_TRUE(bridge);
    EXPECT_STREQ(bridge->m_szVendor, GetParam().vendor);
    EXPECT_STREQ(bridge->m_szModel, GetParam().model);
    EXPECT_STREQ(bridge->m_szRevision, GetParam().revision);
}

INSTANTIATE_TEST_SUITE_P(
    ByVendor, SouthBridgeNaming,
    testing::Values(
        NamingCase{"AtiSB700ByRevisionWithoutStrap", {IsaBridge(kLPC, 0x1002, 0x439D, 0x3A)}, "AMD", "SB700", "3A"},
        NamingCase{"AtiSB750ByLpcStrap",
                   {IsaBridge(kLPC, 0x1002, 0x439D, 0x3A).Dword(0x9C, 1)}, "AMD", "SB750", "3A"},
        NamingCase{"AtiSB750ByRaid5Sata",
                   {IsaBridge(kLPC, 0x1002, 0x439D, 0x3A), Sibling({0, 17, 0}, 0x1002, 0x4393)}, "AMD", "SB750", "3A"},
        NamingCase{"AtiSB850ByRevisionAndStrap",
                   {IsaBridge(kLPC, 0x1002, 0x439D, 0x45).Dword(0x9C, 1)}, "AMD", "SB850", "45"},
        NamingCase{"AtiSB700FamilyRevisionOutsideItsRangesStaysSB700",
                   {IsaBridge(kLPC, 0x1002, 0x439D, 0x50).Dword(0x9C, 1)}, "AMD", "SB700", "50"},
        NamingCase{"AtiSB910BesideTheRD9x0",
                   {IsaBridge(kLPC, 0x1002, 0x439D, 0x3A), Sibling({0, 2, 0}, 0x1002, 0x5A14)}, "AMD", "SB910/950",
                   "3A"},
        NamingCase{"AtiSP5100BesideTheSR5690",
                   {IsaBridge(kLPC, 0x1002, 0x439D, 0x3A), Sibling({0, 2, 0}, 0x1002, 0x5A10)}, "AMD", "SP 5100",
                   "3A"},
        NamingCase{"AtiSB600", {IsaBridge(kLPC, 0x1002, 0x438D, 0x00)}, "ATI", "SB600", "00"},
        NamingCase{"AmdSB800ByRevision", {IsaBridge(kLPC, 0x1022, 0x439D, 0x42)}, "AMD", "SB800", "42"},
        NamingCase{"Amd8111", {IsaBridge({0, 7, 0}, 0x1022, 0x7468, 0x05)}, "AMD", "AMD-8111", "05"},
        NamingCase{"FchWithoutItsSMBusFunction", {IsaBridge(kLPC, 0x1022, 0x780E, 0x11)}, "AMD",
                   "A5x/A6x/A7x/A8x FCH", "11"},
        NamingCase{"IntelQ65SteppingB3", {IsaBridge(kIntelLPC, 0x8086, 0x1C4C, 5)}, "Intel", "Q65", "B3"},
        NamingCase{"IntelHM65KeepsUnknownStepping", {IsaBridge(kIntelLPC, 0x8086, 0x1C49, 5)}, "Intel", "HM65",
                   "05"},
        NamingCase{"IntelPIIX4E", {IsaBridge({0, 7, 0}, 0x8086, 0x7110, 2)}, "Intel", "82371EB/MB (PIIX4E/M)", "02"},
        NamingCase{"IntelX79WithSasIsC602",
                   {IsaBridge(kIntelLPC, 0x8086, 0x1D41, 6), Sibling({0, 17, 0}, 0x8086, 0x1D68)}, "Intel", "C602",
                   "06"},
        NamingCase{"IntelUnknownKeepsItsID", {IsaBridge(kIntelLPC, 0x8086, 0x1234, 1)}, "Intel", "ID1234", "01"},
        NamingCase{"NvidiaMCP67StrapWith630aAnd520Bits",
                   {IsaBridge({0, 1, 0}, 0x10DE, 0x0548, 0xA2),
                    Sibling({0, 9, 0}, 0x10DE, 0x0542).Dword(0x78, (1u << 27) | (1u << 30))},
                   "NVIDIA", "nForce 630a", "A2"},
        NamingCase{"Nvidia750iBySliBridge",
                   {IsaBridge({0, 1, 0}, 0x10DE, 0x0260, 0xA3), Sibling({0, 2, 0}, 0x10DE, 0x03A3),
                    Sibling({0, 3, 0}, 0x10DE, 0x05B8)},
                   "NVIDIA", "nForce 750i SLI MCP", "A3"},
        NamingCase{"ViaVT8237", {IsaBridge({0, 17, 0}, 0x1106, 0x3227, 0)}, "VIA", "VT8237", "00"},
        NamingCase{"SiS964", {IsaBridge({0, 2, 0}, 0x1039, 0x0964, 0)}, "SiS", "964", "00"},
        NamingCase{"ALiM1563ByEitherVendorId", {IsaBridge({0, 7, 0}, 0x10B9, 0x1563, 0)}, "ALI", "M1563", "00"},
        NamingCase{"ServerWorksCSB5", {IsaBridge({0, 15, 0}, 0x1166, 0x0201, 0x93)}, "ServerWorks", "CSB5", "93"},
        NamingCase{"UnknownVendorKeepsItsIDs", {IsaBridge({0, 7, 0}, 0x1234, 0x5678, 0x0A)}, "ID1234", "ID5678",
                   "0A"}),
    [](const testing::TestParamInfo<NamingCase>& p) { return std::string(p.param.name); });

// ---- The FCH's ID byte ----

constexpr uint16_t kPMIndex = 0xCD6;
constexpr uint16_t kPMData = 0xCD7;

class FchNaming : public PciTest {
protected:
    uint8_t PM(uint8_t index) {
        uint32_t value = 0;
        machine_->writePort(kPMIndex, 1, index);
        machine_->readPort(kPMData, 1, value);
        return uint8_t(value);
    }
    void SetPM(uint8_t index, uint8_t value) {
        machine_->writePort(kPMIndex, 1, index);
        machine_->writePort(kPMData, 1, value);
    }
    machine::Machine* machine_ = nullptr;
};

// An ID byte the table does not list names the FCH by its value; the two
// registers identification changed are as found after the root's close,
// and the log shows the writes that put them back.
TEST_F(FchNaming, UnlistedIdByteAndRegistersPutBackAtClose) {
    const std::string lspci = LspciWithHostBridge(
        {IsaBridge(kLPC, 0x1022, 0x780E, 0x11), Sibling({0, 20, 0}, 0x1022, 0x780B, 0x16)});
    machine_ = &startImage(lspci, R"({"smbus": {"controller": "amd-fch", "base": "0x0B00"}})");
    SetPM(0xC8, 0x01);
    SetPM(0xD8, 0x05);
    SetPM(0xD9, 0x30);
    ASSERT_TRUE(scannedPCI());
    record();
    ASSERT_EQ(sdk().CreateChipsetInterface(), 1);
    const CSouthBridge& bridge = *sdk().m_pChipset->m_pSouthBridge;
    EXPECT_STREQ(bridge.m_szVendor, "AMD");
    EXPECT_STREQ(bridge.m_szModel, "AMD 30 FCH");
    EXPECT_STREQ(bridge.m_szRevision, "2.6");

    std::vector<std::pair<uint32_t, uint32_t>> writes;  // (port, value)
    auto collect = [&] {
        writes.clear();
        for (const machine::Access& a : ofKind(machine_->accessLog(), machine::AccessKind::Port))
            if (a.dir == machine::AccessDir::Write) writes.emplace_back(uint32_t(a.address), uint32_t(a.value));
    };
    collect();
    const std::vector<std::pair<uint32_t, uint32_t>> naming = {
        {kPMIndex, 0xC8}, {kPMIndex, 0xC8}, {kPMData, 0x21}, {kPMIndex, 0xD8}, {kPMIndex, 0xD8},
        {kPMData, 0x1E},  {kPMIndex, 0xD9}};
    EXPECT_EQ(writes, naming);

    sdk().Close();
    collect();
    const std::vector<std::pair<uint32_t, uint32_t>> restoring = {
        {kPMIndex, 0xC8}, {kPMData, 0x01}, {kPMIndex, 0xD8}, {kPMData, 0x05}};
    ASSERT_GE(writes.size(), naming.size() + restoring.size());
    EXPECT_EQ(std::vector(writes.begin() + long(naming.size()), writes.begin() + long(naming.size() + restoring.size())),
              restoring);
    EXPECT_EQ(PM(0xC8), 0x01);
    EXPECT_EQ(PM(0xD8), 0x05);
}

TEST_F(FchNaming, ListedIdByteNamesTheModel) {
    const std::string lspci = LspciWithHostBridge(
        {IsaBridge(kLPC, 0x1022, 0x780E, 0x11), Sibling({0, 20, 0}, 0x1022, 0x780B, 0x14)});
    machine_ = &startImage(lspci, R"({"smbus": {"controller": "amd-fch", "base": "0x0B00"}})");
    SetPM(0xD9, 0x23);
    ASSERT_TRUE(scannedPCI());
    ASSERT_EQ(sdk().CreateChipsetInterface(), 1);
    EXPECT_STREQ(sdk().m_pChipset->m_pSouthBridge->m_szModel, "A88X FCH");
    EXPECT_STREQ(sdk().m_pChipset->m_pSouthBridge->m_szRevision, "2.4");
}

} // namespace
} // namespace vexa::test
