// The paths to PCI configuration space of simulated machines: mechanism 2,
// unaligned dword reads, and the chipset registers that hide functions from
// every path (the ICH function-disable bits, the root complex register
// block).
#include "machine/devices/ich_function_disable.h"
#include "machine/devices/pci_config_mechanism2.h"
#include "machine/devices/root_complex_block.h"
#include "machine/image_loader.h"
#include "machine/manifest.h"

#include "tests/support/image_dir.h"
#include "tests/support/test_paths.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace vexa::machine {
namespace {

constexpr PciAddress kLpc = kIchLpcBridge;
constexpr PciAddress kSmbus = kIchSmbus;
constexpr uint64_t kEcam = 0xE0000000;
constexpr uint64_t kRcba = 0xFED1C000;
constexpr uint64_t kFunctionDisable = kRcba + RootComplexRegisters::kFunctionDisable;

// Registers whose byte i is i * 7 + 1, with the given ids.
PciConfigSpace::Registers Pattern(uint16_t vendor, uint16_t device) {
    PciConfigSpace::Registers registers;
    for (unsigned i = 0; i < registers.size(); ++i) registers[i] = uint8_t(i * 7 + 1);
    registers[0] = uint8_t(vendor), registers[1] = uint8_t(vendor >> 8);
    registers[2] = uint8_t(device), registers[3] = uint8_t(device >> 8);
    return registers;
}

uint32_t Dword(const PciConfigSpace::Registers& registers, unsigned offset) {
    uint32_t value = 0;
    for (unsigned i = 0; i < 4; ++i) value |= uint32_t(registers[offset + i]) << (8 * i);
    return value;
}

// ---- Mechanism 2 ----

class Mechanism2 : public ::testing::Test {
protected:
    void SetUp() override {
        space_.addFunction(kFunction, Pattern(0x8086, 0x04A3));
        ports_.write(0xCFA, 1, kFunction.bus);
        ports_.write(0xCF8, 1, 0xF0 | kFunction.function << 1);
    }
    static constexpr PciAddress kFunction{3, 9, 5};
    PciConfigSpace space_;
    PciConfigMechanism2 ports_{space_};
};

TEST_F(Mechanism2, WindowReachesTheSelectedBusFunctionAndDevice) {
    EXPECT_EQ(ports_.read(0xCF8, 1), 0xFAu);
    EXPECT_EQ(ports_.read(0xCFA, 1), 3u);
    EXPECT_EQ(ports_.read(0xC900, 4), 0x04A38086u);
    EXPECT_EQ(ports_.read(0xC940, 2), uint32_t(uint8_t(0x40 * 7 + 1) | uint8_t(0x41 * 7 + 1) << 8));
    EXPECT_EQ(ports_.read(0xC800, 4), 0xFFFFFFFFu) << "device 8: nothing there";
    ports_.write(0xC944, 4, 0xA1B2C3D4);
    uint8_t bytes[4];
    space_.read(kFunction, 0x44, bytes);
    EXPECT_EQ(bytes[0], 0xD4);
    EXPECT_EQ(bytes[3], 0xA1);
}

TEST_F(Mechanism2, KeyZeroClosesTheWindowAndOnlyBytesReachTheRegisters) {
    EXPECT_TRUE(ports_.decodes(0xC000, 4));
    EXPECT_FALSE(ports_.decodes(0xCFFE, 4)) << "past the window";
    EXPECT_FALSE(ports_.decodes(0xCF8, 4));
    EXPECT_FALSE(ports_.decodes(0xCFA, 2));
    ports_.write(0xCF8, 1, 0x0A);  // key 0, function 5
    EXPECT_FALSE(ports_.decodes(0xC900, 4));
    EXPECT_TRUE(ports_.decodes(0xCF8, 1));
}

TEST(Mechanism2Image, ReplacesMechanism1OnThePorts) {
    test::ImageDir image;
    image.write("lspci.txt", "00:00.0 Host bridge\n00: 86 80 a3 04 06 00 00 22 05 00 00 06 00 00 00 00\n");
    image.write("machine.json", R"({"pci": {"mechanism": 2}})");
    const auto machine = image.load();
    ASSERT_TRUE(machine);
    uint32_t value = 0;
    ASSERT_TRUE(machine->writePort(0xCF8, 4, 0x80000000));
    ASSERT_TRUE(machine->readPort(0xCFC, 4, value));
    EXPECT_EQ(value, 0xFFFFFFFFu) << "no address register of mechanism 1";
    ASSERT_TRUE(machine->writePort(0xCF8, 1, 0x10));
    ASSERT_TRUE(machine->writePort(0xCFA, 1, 0));
    ASSERT_TRUE(machine->readPort(0xC000, 4, value));
    EXPECT_EQ(value, 0x04A38086u);
}

// ---- Unaligned dword reads: bytes r..r+3 on every path ----

struct PathCase {
    const char* name;
    // Reads the dword at `reg` of 00:1f.3 of the x58 through one path.
    std::function<uint32_t(Machine&, unsigned reg)> read;
};

std::string PathName(const ::testing::TestParamInfo<PathCase>& row) { return row.param.name; }

class UnalignedReads : public ::testing::TestWithParam<PathCase> {};

TEST_P(UnalignedReads, GiveTheFourBytesFromTheRegisterOn) {
    std::string error;
    auto machine = loadImage(test::sourcePath("machines/x58-nehalem"), error);
    ASSERT_TRUE(machine) << error;
    // 00:1f.3 bytes 0x20..0x2F: 01 04 00 00 00 00 00 00 00 00 00 00 43 10 d4 82
    EXPECT_EQ(GetParam().read(*machine, 0x2C), 0x82D41043u);
    EXPECT_EQ(GetParam().read(*machine, 0x2D), 0x0082D410u) << "byte 0x30 is 0";
    EXPECT_EQ(GetParam().read(*machine, 0x2E), 0x000082D4u);
    EXPECT_EQ(GetParam().read(*machine, 0x1F), 0x00040100u);
}

INSTANTIATE_TEST_SUITE_P(
    Pci, UnalignedReads,
    ::testing::Values(
        PathCase{"direct",
                 [](Machine& m, unsigned reg) {
                     uint8_t bytes[4];
                     EXPECT_TRUE(m.readPciConfig(kSmbus, reg, bytes));
                     uint32_t value;
                     std::memcpy(&value, bytes, 4);
                     return value;
                 }},
        PathCase{"ecam_window", [](Machine& m, unsigned reg) {
                     uint8_t bytes[4];
                     EXPECT_TRUE(m.readPhysical(kEcam + pciLinear(kSmbus, reg), bytes));
                     uint32_t value;
                     std::memcpy(&value, bytes, 4);
                     return value;
                 }}),
    PathName);

TEST_F(Mechanism2, UnalignedDwordGivesTheFourBytesFromTheRegisterOn) {
    const PciConfigSpace::Registers pattern = Pattern(0x8086, 0x04A3);
    for (unsigned reg : {0x41u, 0x42u, 0x43u, 0x7Du})
        EXPECT_EQ(ports_.read(uint16_t(0xC900 + reg), 4), Dword(pattern, reg)) << std::hex << reg;
    // Past register 0xFF the next device's registers follow, as the ports do.
    EXPECT_EQ(ports_.read(0xC9FE, 4) & 0xFFFF, uint32_t(pattern[0xFE] | pattern[0xFF] << 8));
    EXPECT_EQ(ports_.read(0xC9FE, 4) >> 16, 0xFFFFu) << "device 10 is absent";
}

// ---- Hidden functions ----

class X58Hiding : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        machine_ = loadImage(test::sourcePath("machines/x58-nehalem"), error);
        ASSERT_TRUE(machine_) << error;
    }

    uint32_t direct(PciAddress fn, unsigned reg) {
        uint8_t bytes[4];
        EXPECT_TRUE(machine_->readPciConfig(fn, reg, bytes));
        uint32_t value;
        std::memcpy(&value, bytes, 4);
        return value;
    }
    uint32_t ports(PciAddress fn, unsigned reg) {
        uint32_t value = 0;
        EXPECT_TRUE(machine_->writePort(0xCF8, 4, 0x80000000u | fn.bus << 16 | fn.device << 11 | fn.function << 8 | reg));
        EXPECT_TRUE(machine_->readPort(0xCFC, 4, value));
        return value;
    }
    uint32_t window(PciAddress fn, unsigned reg) {
        uint8_t bytes[4];
        EXPECT_TRUE(machine_->readPhysical(kEcam + pciLinear(fn, reg), bytes));
        uint32_t value;
        std::memcpy(&value, bytes, 4);
        return value;
    }
    void writePhysical(uint64_t address, uint32_t value) {
        uint8_t bytes[4];
        std::memcpy(bytes, &value, 4);
        EXPECT_TRUE(machine_->writePhysical(address, bytes));
    }
    void writeConfig(PciAddress fn, unsigned reg, uint32_t value) {
        uint8_t bytes[4];
        std::memcpy(bytes, &value, 4);
        EXPECT_TRUE(machine_->writePciConfig(fn, reg, bytes));
    }

    std::unique_ptr<Machine> machine_;
};

TEST_F(X58Hiding, FunctionDisableBit3HidesTheSmbusFromEveryPathUntilCleared) {
    EXPECT_EQ(window({0, 0, 0}, 0) & 0xFFFF, 0x8086u);
    uint8_t fd[4];
    ASSERT_TRUE(machine_->readPhysical(kFunctionDisable, fd));
    EXPECT_EQ(fd[0], 0) << "the image's block hides nothing";
    writeConfig(kSmbus, 0x40, 0x00000011);  // a register changed before hiding

    writePhysical(kFunctionDisable, RootComplexRegisters::kSmbusDisable);
    EXPECT_EQ(direct(kSmbus, 0), 0xFFFFFFFFu);
    EXPECT_EQ(ports(kSmbus, 0), 0xFFFFFFFFu);
    EXPECT_EQ(window(kSmbus, 0), 0xFFFFFFFFu);
    writeConfig(kSmbus, 0x40, 0x00000055);  // goes nowhere
    EXPECT_EQ(direct(kLpc, 0), 0x3A168086u) << "the other functions stay";

    writePhysical(kFunctionDisable, 0);
    EXPECT_EQ(direct(kSmbus, 0), 0x3A308086u);
    EXPECT_EQ(ports(kSmbus, 0x40), 0x00000011u) << "kept while hidden";
    EXPECT_EQ(window(kSmbus, 0x20), 0x00000401u);
}

TEST_F(X58Hiding, RootComplexBlockAnswersOnlyWhereTheLpcBridgeEnablesIt) {
    uint8_t bytes[4];
    writePhysical(kRcba + 0x3404, 0x80);  // HPTC, a register like any other here
    ASSERT_TRUE(machine_->readPhysical(kRcba + 0x3404, bytes));
    EXPECT_EQ(bytes[0], 0x80);
    writeConfig(kLpc, 0xF0, 0xFED1C000);  // disabled
    EXPECT_FALSE(machine_->readPhysical(kRcba + 0x3404, bytes)) << "nothing answers there now";
    writeConfig(kLpc, 0xF0, 0xFED20001);  // moved: the model stays where the image put it
    EXPECT_FALSE(machine_->readPhysical(kRcba + 0x3404, bytes));
    writeConfig(kLpc, 0xF0, 0xFED1C001);
    ASSERT_TRUE(machine_->readPhysical(kRcba + 0x3404, bytes));
    EXPECT_EQ(bytes[0], 0x80) << "kept while switched off";
}

TEST_F(X58Hiding, FunctionDisableActsWhileTheBlockIsSwitchedOff) {
    writePhysical(kFunctionDisable, RootComplexRegisters::kSmbusDisable);
    writeConfig(kLpc, 0xF0, 0xFED1C000);
    EXPECT_EQ(direct(kSmbus, 0), 0xFFFFFFFFu);
}

TEST(LpcFunctionDisable, Bit19OfDword0xF0HidesTheSmbus) {
    PciConfigSpace space;
    PciConfigSpace::Registers lpc = Pattern(0x8086, 0x24D0);
    lpc[0xF2] = 0x00;
    space.addFunction(kLpc, lpc);
    space.addFunction(kSmbus, Pattern(0x8086, 0x24D3));
    space.addFunction(PciAddress{0, 0x1F, 1}, Pattern(0x8086, 0x24DB));
    space.addGate(std::make_unique<LpcFunctionDisable>());
    EXPECT_TRUE(space.has(kSmbus));
    const uint8_t hide[4] = {0x00, 0x00, 0x08, 0x00};
    space.write(kLpc, 0xF0, hide);
    EXPECT_FALSE(space.has(kSmbus));
    EXPECT_TRUE(space.has(PciAddress{0, 0x1F, 1})) << "only the SMBus bit is modelled";
    uint8_t bytes[2];
    space.read(kSmbus, 0, bytes);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(space.functions().size(), 3u) << "still part of the machine";
    const uint8_t show[4] = {0x00, 0x00, 0x00, 0x00};
    space.write(kLpc, 0xF0, show);
    EXPECT_TRUE(space.has(kSmbus));
}

TEST(RootComplexRegisters, Bit24HidesTheThermalSensor) {
    PciConfigSpace space;
    space.addFunction(PciAddress{0, 0x1F, 6}, Pattern(0x8086, 0x3A32));
    space.addFunction(kSmbus, Pattern(0x8086, 0x3A30));
    auto* registers = static_cast<RootComplexRegisters*>(
        space.addGate(std::make_unique<RootComplexRegisters>(RootComplexRegisters::kThermalDisable)));
    EXPECT_FALSE(space.has(PciAddress{0, 0x1F, 6}));
    EXPECT_TRUE(space.has(kSmbus));
    const uint8_t both[4] = {0x08, 0x00, 0x00, 0x00};
    registers->write(RootComplexRegisters::kFunctionDisable, both);
    EXPECT_TRUE(space.has(PciAddress{0, 0x1F, 6}));
    EXPECT_FALSE(space.has(kSmbus));
}

} // namespace
} // namespace vexa::machine
