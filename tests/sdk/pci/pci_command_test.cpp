// Reversible commands that show hidden chipset functions, the VIA 686A/B
// monitor's I/O enable, and the AMD family 10h extended configuration
// access.
#include <gtest/gtest.h>

#include <cstring>

#include "sdk/core/sdk.h"
#include "sdk/hw/command_amd_k10_ecs.h"
#include "sdk/hw/command_pci_config_bit.h"
#include "sdk/hw/command_root_complex.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/register_space_amd_ecs.h"
#include "sdk/hw/register_space_pci.h"
#include "tests/sdk/pci/pci_test_support.h"

namespace vexa::test {
namespace {

using vexa::test::PrintTo;

using machine::AccessDir;
using machine::AccessKind;
using machine::PciAddress;

constexpr PciAddress kLpc{0, 0x1F, 0};
constexpr PciAddress kSmbus{0, 0x1F, 3};
constexpr PciAddress kThermal{0, 0x1F, 6};
constexpr uint64_t kRcba = 0xFED1C000;
constexpr uint64_t kFunctionDisable = kRcba + 0x3418;

// machines/x58-nehalem/machine.json with the root complex block's
// function-disable register set to `bits`.
std::string X58ManifestWithFunctionDisable(uint32_t bits) {
    std::string manifest = X58Manifest();
    const std::string plain = R"("rcba": "0xFED1C000")";
    const size_t at = manifest.find(plain);
    EXPECT_NE(at, std::string::npos);
    if (at == std::string::npos) return manifest;
    return manifest.replace(at, plain.size(),
                            R"("rcba": {"base": "0xFED1C000", "function_disable": ")" + std::to_string(bits) + "\"}");
}

// The ICH10's thermal sensor, which the x58 dump does not list.
std::string X58LspciWithThermal(const std::string& lspci) {
    return lspci + FunctionDump(kThermal, 0x8086, 0x3A32).Class(0x11, 0x80).Text();
}

class Commands : public PciTest {
protected:
    uint32_t physicalDword(uint64_t address) {
        uint8_t bytes[4] = {0xFF, 0xFF, 0xFF, 0xFF};
        hw().readPhysical(address, bytes);
        uint32_t value;
        std::memcpy(&value, bytes, 4);
        return value;
    }

    // Writes of a kind in the access log since record().
    size_t writes(AccessKind kind) {
        size_t count = 0;
        for (const auto& access : ofKind(hw().accessLog(), kind)) count += access.dir == AccessDir::Write;
        return count;
    }

    template <typename Command>
    Command* adopt(Command* command) {
        sdk().m_pCommands->AddTail(command);
        return command;
    }
};

// ---- ICH6 and later: the root complex register block ----

struct RootComplexCase {
    const char* name;
    uint32_t bit;
    PciAddress function;
    CCommand* (*make)(CPCIDevice* lpc);
};

class RootComplexCommands : public Commands, public ::testing::WithParamInterface<RootComplexCase> {};

TEST_P(RootComplexCommands, HiddenFunctionIsShownFoundByTheRescanAndHiddenAgainAtClose) {
    const RootComplexCase& c = GetParam();
    startX58Variant(X58LspciWithThermal(X58Lspci()), X58ManifestWithFunctionDisable(c.bit));
    CPCIInterface* pci = scannedPCI();
    ASSERT_TRUE(pci);
    ASSERT_FALSE(pci->FindDevice(c.function.bus, c.function.device, c.function.function)) << "hidden in the image";
    const size_t before = pciDevices().size();

    CCommand* command = adopt(c.make(pci->FindDevice(0, 0x1F, 0)));
    EXPECT_EQ(command->Save(), 1);
    EXPECT_EQ(command->Enable(), 1);
    CPCIDevice* shown = pci->FindDevice(c.function.bus, c.function.device, c.function.function);
    ASSERT_TRUE(shown) << "found by the rescan";
    EXPECT_EQ(pciDevices().size(), before + 1);
    EXPECT_EQ(physicalDword(kFunctionDisable), 0u);

    sdk().Close();
    EXPECT_EQ(physicalDword(kFunctionDisable), c.bit);
    EXPECT_EQ(configDword(c.function, 0), 0xFFFFFFFFu) << "hidden again";
    EXPECT_EQ(configDword(kLpc, 0xF0), 0xFED1C001u) << "the block stays as the BIOS left it";
}

INSTANTIATE_TEST_SUITE_P(
    Pci, RootComplexCommands,
    ::testing::Values(
        RootComplexCase{"smbus", 1u << 3, kSmbus,
                        [](CPCIDevice* lpc) -> CCommand* { return new Intel_82801FB_SMBusControllerStatus(lpc); }},
        RootComplexCase{"thermal", 1u << 24, kThermal,
                        [](CPCIDevice* lpc) -> CCommand* { return new Intel_LPC_ThermalControllerStatus(lpc); }}),
    CaseName{});

TEST_F(Commands, RootComplexBlockSwitchedOnBySaveIsSwitchedOffAgainAtClose) {
    // The BIOS left the block disabled (RCBA bit 0 clear).
    startX58Variant(X58LspciWithRow("00:1f.0", "f0: 00 c0 d1 fe 00 00 00 00 86 0f 00 00 00 00 00 00"),
                    X58ManifestWithFunctionDisable(1u << 3));
    CPCIInterface* pci = scannedPCI();
    ASSERT_TRUE(pci);
    auto* command = adopt(new Intel_82801FB_SMBusControllerStatus(pci->FindDevice(0, 0x1F, 0)));
    command->Save();
    EXPECT_EQ(configDword(kLpc, 0xF0), 0xFED1C001u);
    ASSERT_TRUE(command->m_pMemorySpace);
    EXPECT_EQ(command->m_pMemorySpace->GetBaseLow(), kRcba);
    command->Enable();
    EXPECT_TRUE(pci->FindDevice(0, 0x1F, 3));
    sdk().Close();
    EXPECT_EQ(configDword(kLpc, 0xF0), 0xFED1C000u);
    uint8_t bytes[4];
    EXPECT_FALSE(hw().readPhysical(kFunctionDisable, bytes)) << "the block is off again";
    EXPECT_EQ(configDword(kSmbus, 0), 0xFFFFFFFFu);
}

TEST_F(Commands, RootComplexBlockThatStaysOffLeavesTheCommandInert) {
    startX58Variant(X58LspciWithRow("00:1f.0", "f0: 00 c0 d1 fe 00 00 00 00 86 0f 00 00 00 00 00 00"),
                    X58ManifestWithFunctionDisable(1u << 3));
    CPCIInterface* pci = scannedPCI();
    ASSERT_TRUE(pci);
    // The bridge ignores the enable.
    hw().injectFault(machine::Fault{AccessKind::PciConfig, AccessDir::Write, machine::pciLinear(kLpc, 0xF0),
                                    machine::pciLinear(kLpc, 0xF3)});
    auto* command = adopt(new Intel_82801FB_SMBusControllerStatus(pci->FindDevice(0, 0x1F, 0)));
    EXPECT_EQ(command->Save(), 1);
    EXPECT_FALSE(command->m_pMemorySpace);
    record();
    EXPECT_EQ(command->Enable(), 1);
    EXPECT_EQ(command->Restore(), 1);
    EXPECT_TRUE(hw().accessLog().empty());
    EXPECT_FALSE(pci->FindDevice(0, 0x1F, 3));
}

TEST_F(Commands, FunctionVisibleAtStartIsNeitherTouchedNorHidden) {
    startX58();
    CPCIInterface* pci = scannedPCI();
    ASSERT_TRUE(pci);
    CPCIDevice* smbus = pci->FindDevice(0, 0x1F, 3);
    auto* command = adopt(new Intel_82801FB_SMBusControllerStatus(pci->FindDevice(0, 0x1F, 0)));
    command->Save();
    EXPECT_EQ(command->m_dwSaved, 0u);
    record();
    command->Enable();
    sdk().Close();
    EXPECT_TRUE(hw().accessLog().empty()) << "no write, no rescan";
    EXPECT_EQ(pci->FindDevice(0, 0x1F, 3), smbus);
    EXPECT_EQ(configDword(kSmbus, 0), 0x3A308086u);
}

// ---- Bits in a configuration dword ----

struct ConfigBitCase {
    const char* name;
    std::string lspci;
    std::string manifest;
    PciAddress bridge;
    unsigned reg;
    uint32_t bit;
    CCommand* (*make)(CPCIDevice* bridge);
    bool hidesSmbus;  // the machine models the bit
};

class ConfigBitCommands : public Commands, public ::testing::WithParamInterface<ConfigBitCase> {};

TEST_P(ConfigBitCommands, EnableClearsTheBitAndRestorePutsItBack) {
    const ConfigBitCase& c = GetParam();
    startImage(c.lspci, c.manifest);
    CPCIInterface* pci = scannedPCI();
    ASSERT_TRUE(pci);
    if (c.hidesSmbus) {
        EXPECT_FALSE(pci->FindDevice(0, 0x1F, 3)) << "hidden at start";
    }
    const uint32_t original = configDword(c.bridge, c.reg);
    ASSERT_TRUE(original & c.bit);
    CCommand* command = adopt(c.make(pci->FindDevice(c.bridge.bus, c.bridge.device, c.bridge.function)));
    command->Save();
    command->Enable();
    EXPECT_EQ(configDword(c.bridge, c.reg), original & ~c.bit);
    if (c.hidesSmbus) {
        EXPECT_TRUE(pci->FindDevice(0, 0x1F, 3)) << "found by the rescan";
    }
    sdk().Close();
    EXPECT_EQ(configDword(c.bridge, c.reg), original);
    if (c.hidesSmbus) {
        EXPECT_EQ(configDword(kSmbus, 0), 0xFFFFFFFFu) << "hidden again";
    }
}

TEST_P(ConfigBitCommands, ABitClearAtStartIsLeftAlone) {
    const ConfigBitCase& c = GetParam();
    startImage(c.lspci, c.manifest);
    CPCIInterface* pci = scannedPCI();
    ASSERT_TRUE(pci);
    CPCIDevice* bridge = pci->FindDevice(c.bridge.bus, c.bridge.device, c.bridge.function);
    ASSERT_EQ(bridge->WriteConfigDword(int32_t(c.reg), configDword(c.bridge, c.reg) & ~c.bit), 1u);
    CCommand* command = adopt(c.make(bridge));
    command->Save();
    record();
    command->Enable();
    EXPECT_EQ(writes(AccessKind::PciConfig), 0u);
    sdk().Close();
    EXPECT_FALSE(configDword(c.bridge, c.reg) & c.bit) << "not hidden at close";
}

TEST_P(ConfigBitCommands, ARegisterThatCannotBeReadIsNotWritten) {
    const ConfigBitCase& c = GetParam();
    startImage(c.lspci, c.manifest);
    CPCIInterface* pci = scannedPCI();
    ASSERT_TRUE(pci);
    CCommand* command = adopt(c.make(pci->FindDevice(c.bridge.bus, c.bridge.device, c.bridge.function)));
    command->Save();
    hw().injectFault(machine::Fault{AccessKind::PciConfig, AccessDir::Read, machine::pciLinear(c.bridge, c.reg),
                                    machine::pciLinear(c.bridge, c.reg + 3)});
    record();
    EXPECT_EQ(command->Enable(), 1);
    EXPECT_EQ(command->Restore(), 1);
    EXPECT_EQ(writes(AccessKind::PciConfig), 0u);
}

FunctionDump HostBridge() { return FunctionDump({0, 0, 0}, 0x8086, 0x2570).Class(6, 0); }

INSTANTIATE_TEST_SUITE_P(
    Pci, ConfigBitCommands,
    ::testing::Values(
        ConfigBitCase{"ich5_func_dis",
                      LspciText({HostBridge(),
                                 FunctionDump(kLpc, 0x8086, 0x24D0).Class(6, 1).HeaderType(0x80).Byte(0xF2, 0x08),
                                 FunctionDump(kSmbus, 0x8086, 0x24D3).Class(0x0C, 0x05).Dword(0x20, 0x0401)}),
                      R"({"pci": {"lpc_function_disable": true}})", kLpc, 0xF0, 1u << 19,
                      [](CPCIDevice* bridge) -> CCommand* { return new Intel_82801_SMBusControllerStatus(bridge); },
                      true},
        ConfigBitCase{"sis_96x",
                      LspciText({HostBridge(), FunctionDump({0, 2, 0}, 0x1039, 0x0964).Class(6, 1).Dword(0x74, 0x10000000)}),
                      "{}", PciAddress{0, 2, 0}, 0x74, 1u << 28,
                      [](CPCIDevice* bridge) -> CCommand* { return new SiS_96x_SMBusControllerStatus(bridge); },
                      false}),
    CaseName{});

// ---- VIA 686A/B: the monitor's I/O enable, set rather than cleared ----

constexpr PciAddress kVIAPowerManagement{0, 7, 4};
constexpr uint32_t kVIAEnableOff = 0x12345600;

class VIA686MonitorEnable : public Commands {
protected:
    CCommand* startWithEnable(uint32_t dword74) {
        startImage(LspciText({FunctionDump({0, 0, 0}, 0x1106, 0x0691).Class(6, 0),
                              FunctionDump({0, 7, 0}, 0x1106, 0x0686).Class(6, 1).HeaderType(0x80),
                              FunctionDump(kVIAPowerManagement, 0x1106, 0x3057).Class(6, 0x80).Dword(0x74, dword74)}));
        CPCIInterface* pci = scannedPCI();
        CPCIDevice* function = pci ? pci->FindDevice(0, 7, 4) : nullptr;
        EXPECT_TRUE(function);
        return function ? adopt(new VIA_686AB_MonitorIOEnable(function)) : nullptr;
    }
};

TEST_F(VIA686MonitorEnable, SetByEnableAndClearedAgainAtClose) {
    CCommand* command = startWithEnable(kVIAEnableOff);
    ASSERT_TRUE(command);
    EXPECT_EQ(command->Save(), 1);
    EXPECT_EQ(command->Enable(), 1);
    EXPECT_EQ(configDword(kVIAPowerManagement, 0x74), kVIAEnableOff | 1);
    sdk().Close();
    EXPECT_EQ(configDword(kVIAPowerManagement, 0x74), kVIAEnableOff);
}

TEST_F(VIA686MonitorEnable, ABitSetAtStartIsLeftSet) {
    CCommand* command = startWithEnable(kVIAEnableOff | 1);
    ASSERT_TRUE(command);
    command->Save();
    record();
    command->Enable();
    EXPECT_EQ(writes(AccessKind::PciConfig), 0u);
    sdk().Close();
    EXPECT_EQ(configDword(kVIAPowerManagement, 0x74), kVIAEnableOff | 1);
}

TEST_F(VIA686MonitorEnable, ARegisterThatCannotBeReadIsNotWritten) {
    CCommand* command = startWithEnable(kVIAEnableOff);
    ASSERT_TRUE(command);
    command->Save();
    hw().injectFault(machine::Fault{AccessKind::PciConfig, AccessDir::Read, machine::pciLinear(kVIAPowerManagement, 0x74),
                                    machine::pciLinear(kVIAPowerManagement, 0x77)});
    record();
    EXPECT_EQ(command->Enable(), 1);
    EXPECT_EQ(command->Restore(), 1);
    EXPECT_EQ(writes(AccessKind::PciConfig), 0u);
}

// ---- AMD family 10h: extended configuration access ----

class AmdExtendedAccess : public Commands {
protected:
    static constexpr PciAddress kMiscControl{0, 0x18, 3};

    void SetUp() override {
        Commands::SetUp();
        std::vector<FunctionDump> functions = {FunctionDump({0, 0, 0}, 0x1022, 0x9600).Class(6, 0)};
        for (uint8_t function = 0; function < 4; ++function)
            functions.push_back(FunctionDump({0, 0x18, function}, 0x1022, uint16_t(0x1200 + function))
                                    .Class(6, 0)
                                    .HeaderType(0x80));
        functions.back().Dword(0x8C, 0x00000010).Dword(0x1A0, 0xCAFE1234);
        startImage(LspciText(functions),
                   R"({"pci": {"extended_register_bits": true},
                       "memory_devices": {"ecam": {"base": "0xE0000000", "buses": 1}}})");
        pci_ = scannedPCI();
        ASSERT_TRUE(pci_);
        northbridge_ = pci_->FindDevice(0, 0x18, 3);
        ASSERT_TRUE(northbridge_);
    }

    CPCIInterface* pci_ = nullptr;
    CPCIDevice* northbridge_ = nullptr;
};

TEST_F(AmdExtendedAccess, ThroughThePortsWithTheRegisterInBits27To24) {
    auto* status = adopt(new AMD_K10_ECS_Status(northbridge_));
    status->Save();
    EXPECT_EQ(status->m_dwSaved, 0u);
    AMD_K10_ECS_RegisterSpace space(0, 0x18, status);
    EXPECT_EQ(space.GetClass(), uint32_t(REGSPACE_AMD_K10_ECS));
    record();
    uint32_t value = 0;
    EXPECT_EQ(space.ReadConfigDword(3, 0x1A0, &value), 1);
    EXPECT_EQ(value, 0xCAFE1234u);
    EXPECT_TRUE(configDword(kMiscControl, 0x8C) & AMD_K10_ECS_Status::kExtendedAccess) << "switched on first";
    bool addressed = false;
    for (const auto& access : ofKind(hw().accessLog(), AccessKind::Port))
        addressed |= access.address == 0xCF8 && access.dir == AccessDir::Write && access.value == 0x8100C3A0u;
    EXPECT_TRUE(addressed);
    EXPECT_EQ(space.WriteConfigDword(3, 0x1A4, 0x600DF00D), 1);
    EXPECT_EQ(configDword(kMiscControl, 0x1A4), 0x600DF00Du);
    EXPECT_EQ(space.ReadConfigDword(3, 0x1000, &value), 0);
    EXPECT_EQ(value, 0xFFFFFFFFu);
    EXPECT_EQ(space.WriteConfigDword(3, 0x1000, 0), 0);

    sdk().Close();
    EXPECT_EQ(configDword(kMiscControl, 0x8C), 0x00000010u) << "off again, as Save found it";
}

TEST_F(AmdExtendedAccess, ThroughThePciExpressWindowWhenTheDomainHasOne) {
    auto* window = new CMemoryIOSpace(0, 0xE0000000, 4096);
    sdk().m_pIOSpaces->AddTail(window);
    sdk().m_pRegisterSpaces->AddTail(new CPCIExpressRegisterSpace(window));
    AMD_K10_ECS_Status status(northbridge_);
    status.Save();
    AMD_K10_ECS_RegisterSpace space(0, 0x18, &status);
    record();
    uint32_t value = 0;
    EXPECT_EQ(space.ReadConfigDword(3, 0x1A0, &value), 1);
    EXPECT_EQ(value, 0xCAFE1234u);
    for (const auto& access : ofKind(hw().accessLog(), AccessKind::Port)) ASSERT_NE(access.address, 0xCFCu);
    EXPECT_FALSE(ofKind(hw().accessLog(), AccessKind::Memory).empty());
    status.Restore();
}

TEST_F(AmdExtendedAccess, EnableWritesOnlyWhenTheBitIsClear) {
    AMD_K10_ECS_Status status(northbridge_);
    record();
    EXPECT_EQ(status.Enable(), 1);
    EXPECT_EQ(writes(AccessKind::PciConfig), 1u);
    hw().clearAccessLog();
    EXPECT_EQ(status.Enable(), 1);
    EXPECT_EQ(writes(AccessKind::PciConfig), 0u);
    // Save ran after the bit was set: Restore keeps it set.
    status.Save();
    EXPECT_EQ(status.m_dwSaved, 1u);
    status.Restore();
    EXPECT_TRUE(configDword(kMiscControl, 0x8C) & AMD_K10_ECS_Status::kExtendedAccess);
    // A register that cannot be read is not written.
    hw().injectFault(machine::Fault{AccessKind::PciConfig, AccessDir::Read, machine::pciLinear(kMiscControl, 0x8C),
                                    machine::pciLinear(kMiscControl, 0x8F)});
    hw().clearAccessLog();
    EXPECT_EQ(status.Enable(), 0);
    status.Restore();
    EXPECT_EQ(writes(AccessKind::PciConfig), 0u);
}

} // namespace
} // namespace vexa::test
