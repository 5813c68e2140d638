// Where the PCI domain finds the PCI Express configuration window: the
// registers of the host bridges and memory controllers that hold its base.
#include <gtest/gtest.h>

#include <optional>

#include "sdk/core/sdk.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/register_space.h"
#include "tests/sdk/pci/pci_test_support.h"
#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

using vexa::test::PrintTo;

struct EcamCase {
    const char* name;
    std::vector<FunctionDump> functions;  // 00:00.0 first
    std::optional<uint32_t> base;
};

class EcamBase : public PciTest, public ::testing::WithParamInterface<EcamCase> {};

TEST_P(EcamBase, FromTheBridgeRegister) {
    startImage(LspciText(GetParam().functions));
    CPCIInterface* pci = scannedPCI();
    ASSERT_TRUE(pci);
    CRegisterSpace* express = pci->GetExpressSpace();
    if (!GetParam().base) {
        EXPECT_FALSE(express);
        EXPECT_EQ(sdk().GetRegisterSpaces(REGSPACE_PCI_EXPRESS, nullptr), 0);
        return;
    }
    ASSERT_TRUE(express);
    EXPECT_EQ(express->GetBaseHigh(), 0u);
    EXPECT_EQ(express->GetBaseLow(), *GetParam().base);
    EXPECT_TRUE(sdk().FindIOSpace(0, *GetParam().base, IOSPACE_MEMORY));
}

FunctionDump Bridge(uint16_t vendor, uint16_t device, unsigned reg, uint32_t value, uint8_t function = 0) {
    return FunctionDump({0, 0, function}, vendor, device).Class(6, 0).HeaderType(0x80).Dword(reg, value);
}

// A register that is not dword-aligned: its bytes in place.
FunctionDump BridgeByte(uint16_t vendor, uint16_t device, unsigned reg, uint8_t value) {
    return FunctionDump({0, 0, 0}, vendor, device).Class(6, 0).Byte(reg, value);
}

FunctionDump Device5(unsigned reg, uint32_t value) {
    return FunctionDump({0, 5, 0}, 0x8086, 0x3C28).Class(8, 0x80).Dword(reg, value);
}

INSTANTIATE_TEST_SUITE_P(
    Pci, EcamBase,
    ::testing::Values(
        EcamCase{"intel_pciexbar_256mb", {Bridge(0x8086, 0x29C0, 0x60, 0xE0000001)}, 0xE0000000},
        EcamCase{"intel_pciexbar_128mb", {Bridge(0x8086, 0x2E20, 0x60, 0xE8000003)}, 0xE8000000},
        EcamCase{"intel_pciexbar_64mb", {Bridge(0x8086, 0x2A00, 0x60, 0xFC000005)}, 0xFC000000},
        EcamCase{"intel_pciexbar_reserved_size", {Bridge(0x8086, 0x0100, 0x60, 0xE0000007)}, std::nullopt},
        EcamCase{"intel_pciexbar_disabled", {Bridge(0x8086, 0x29C0, 0x60, 0xE0000000)}, std::nullopt},
        EcamCase{"intel_pciexbar_at_0x48", {Bridge(0x8086, 0x2770, 0x48, 0xF0000001)}, 0xF0000000},
        EcamCase{"intel_e7520", {Bridge(0x8086, 0x3590, 0xCC, 0xE0000000)}, 0xE0000000},
        EcamCase{"intel_e7520_no_window", {Bridge(0x8086, 0x3592, 0xCC, 0x0000FFFF)}, std::nullopt},
        EcamCase{"intel_5000_function_0", {Bridge(0x8086, 0x25F0, 0x64, 0x0000E000)}, 0xE0000000},
        EcamCase{"intel_5000_other_function",
                 {Bridge(0x8086, 0x1237, 0x00, 0x12378086), Bridge(0x8086, 0x25F0, 0x64, 0x0000E000, 1)},
                 std::nullopt},
        EcamCase{"intel_7300_enabled", {Bridge(0x8086, 0x360C, 0x64, 0x0000E001)}, 0xE0000000},
        EcamCase{"intel_7300_disabled", {Bridge(0x8086, 0x360C, 0x64, 0x0000E000)}, std::nullopt},
        EcamCase{"intel_socket_device_5",
                 {Bridge(0x8086, 0x3C00, 0x00, 0x3C008086), Device5(0x84, 0x80000003)}, 0x80000000},
        EcamCase{"intel_socket_device_5_empty", {Bridge(0x8086, 0x0E00, 0x00, 0x0E008086), Device5(0x84, 0)},
                 std::nullopt},
        EcamCase{"intel_haswell_e_device_5",
                 {Bridge(0x8086, 0x2F00, 0x00, 0x2F008086), Device5(0x90, 0xC0000000)}, 0xC0000000},
        EcamCase{"via_byte_at_0x41", {BridgeByte(0x1106, 0x324B, 0x41, 0x0E)}, 0xE0000000},
        EcamCase{"via_byte_at_0x61", {BridgeByte(0x1106, 0x5364, 0x61, 0x0F)}, 0xF0000000},
        EcamCase{"sis", {BridgeByte(0x1039, 0x0656, 0xE0, 0x0E)}, 0xE0000000},
        EcamCase{"sis_none", {BridgeByte(0x1039, 0x0649, 0xE0, 0x00)}, std::nullopt},
        EcamCase{"nvidia_bits_10_3", {Bridge(0x10DE, 0x02F0, 0x90, 0x0E << 3)}, 0xE0000000},
        EcamCase{"nvidia_bits_past_31_are_lost", {Bridge(0x10DE, 0x03A1, 0x88, 0x1E << 3)}, 0xE0000000},
        EcamCase{"nvidia_byte", {Bridge(0x10DE, 0x0070, 0x88, 0x0F)}, 0xF0000000},
        EcamCase{"nvidia_10_bits", {Bridge(0x10DE, 0x005E, 0x90, 0x00E)}, 0xE0000000},
        EcamCase{"nvidia_sized_code_1", {Bridge(0x10DE, 0x0A80, 0x88, 0x1C << 2 | 1)}, 0xE0000000},
        EcamCase{"nvidia_sized_code_3", {Bridge(0x10DE, 0x0A82, 0x88, 0x70 << 0 | 3)}, 0xE0000000 | (3u << 25)},
        EcamCase{"nvidia_mcp89", {Bridge(0x10DE, 0x0D60, 0x64, 0x70)}, 0xE0000000},
        EcamCase{"nvidia_mcp89_zero_is_taken", {Bridge(0x10DE, 0x0D60, 0x64, 0x00)}, 0x00000000},
        EcamCase{"ati_top_4_bits", {Bridge(0x1002, 0x5950, 0x1C, 0xE000000C)}, 0xE0000000},
        EcamCase{"ati_top_11_bits", {Bridge(0x1002, 0x7930, 0x1C, 0xE020000C)}, 0xE0200000},
        EcamCase{"ati_none", {Bridge(0x1002, 0x5A31, 0x1C, 0x0000000C)}, std::nullopt},
        EcamCase{"no_rule", {Bridge(0x8086, 0x3405, 0x60, 0xE0000001)}, std::nullopt},
        EcamCase{"the_later_bridge_wins",
                 {Bridge(0x8086, 0x29C0, 0x60, 0xE0000001),
                  FunctionDump({0, 1, 0}, 0x8086, 0x29C0).Class(6, 0).Dword(0x60, 0xF0000001)},
                 0xF0000000},
        EcamCase{"a_later_bridge_without_a_base_keeps_the_first",
                 {Bridge(0x8086, 0x29C0, 0x60, 0xE0000001),
                  FunctionDump({0, 1, 0}, 0x8086, 0x29C0).Class(6, 0).Dword(0x60, 0xF0000000)},
                 0xE0000000}),
    CaseName{});

TEST_F(PciTest, TheGm965LaptopFindsItsWindowAndItsFunctionsExtendedCapabilities) {
    startImage(readFile(dataPath("pci/tree-fujitsu-p8010")),
               R"({"memory_devices": {"ecam": {"base": "0xF8000000", "buses": 64}}})");
    CPCIInterface* pci = scannedPCI();
    ASSERT_TRUE(pci);
    CRegisterSpace* express = pci->GetExpressSpace();
    ASSERT_TRUE(express);
    EXPECT_EQ(express->GetBaseLow(), 0xF8000000u);
    int attached = 0, withExtended = 0;
    for (CPCIDevice* device : pciDevices()) {
        if (device->m_pRegisterSpace != express) continue;
        ++attached;
        EXPECT_TRUE(device->m_dwCapabilityMask & PCICAPS_PCIE) << location(*device);
        if (device->m_pExtendedCapabilities->GetCount()) ++withExtended;
    }
    EXPECT_GT(attached, 0);
    EXPECT_GT(withExtended, 0);
    // A second scan keeps the one window.
    pci->ScanBus();
    EXPECT_EQ(sdk().GetRegisterSpaces(REGSPACE_PCI_EXPRESS, nullptr), 1);
}

} // namespace
} // namespace vexa::test
