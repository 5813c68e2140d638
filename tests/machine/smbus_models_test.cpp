// The SMBus host-controller models as the chipset wires them: the ports
// answer only while the chipset decodes them, the AMD power-management
// registers hold the base, the memory-controller engines in configuration
// space run only with their clock released, and the TM8000 shows SPD bytes
// in configuration space. The protocols themselves are tested with the
// library's controllers (tests/sdk/smbus).
#include "machine/image_loader.h"

#include "tests/support/image_dir.h"
#include "tests/support/test_paths.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

namespace vexa::machine {
namespace {

constexpr const char* kDdr3 = "spd/DDR3-M378B5173DB0-CK0.spd";

// One function of lspci.txt: its IDs and the bytes given, zeros elsewhere.
std::string Function(PciAddress address, uint32_t ids, std::vector<std::pair<unsigned, uint8_t>> bytes = {}) {
    std::array<uint8_t, 256> config{};
    for (unsigned i = 0; i < 4; ++i) config[i] = uint8_t(ids >> (8 * i));
    config[0x0E] = 0x80;  // multi-function, so that any function number is found
    for (const auto& [offset, value] : bytes) config[offset] = value;
    char line[80];
    std::snprintf(line, sizeof line, "%02x:%02x.%x Device\n", address.bus, address.device, address.function);
    std::string text = line;
    for (unsigned row = 0; row < config.size(); row += 16) {
        std::snprintf(line, sizeof line, "%02x:", row);
        text += line;
        for (unsigned i = 0; i < 16; ++i) {
            std::snprintf(line, sizeof line, " %02x", config[row + i]);
            text += line;
        }
        text += "\n";
    }
    return text;
}

std::unique_ptr<SimulatedMachine> Load(test::ImageDir& image, const std::string& lspci, const std::string& smbus) {
    if (!lspci.empty()) image.write("lspci.txt", lspci);
    image.write("machine.json", R"({"smbus": {)" + smbus + "}}");
    image.copyData(kDdr3, "spd/0.bin");
    return image.load();
}

uint8_t In(Machine& machine, uint16_t port) {
    uint32_t value = 0;
    machine.readPort(port, 1, value);
    return uint8_t(value);
}

void Out(Machine& machine, uint16_t port, uint8_t value) { machine.writePort(port, 1, value); }

uint32_t ConfigDword(Machine& machine, PciAddress function, unsigned offset) {
    uint8_t bytes[4] = {};
    machine.readPciConfig(function, offset, bytes);
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

void WriteConfigDword(Machine& machine, PciAddress function, unsigned offset, uint32_t value) {
    const uint8_t bytes[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
    machine.writePciConfig(function, offset, bytes);
}

// ---- Port controllers ----

// Each port model answers while its chipset decodes its ports; one
// configuration byte turns that off. A register that keeps what is written
// tells whether the model answers (all ones from an empty bus).
TEST(SmbusModels, PortsAnswerWhileTheChipsetDecodesThem) {
    const struct {
        const char* smbus;
        PciAddress function;
        std::vector<std::pair<unsigned, uint8_t>> registers;  // decoding and host on, the base 0xC00
        uint16_t port;                                        // from 0xC00: a register that keeps its value
        std::pair<unsigned, uint8_t> off;                     // the byte that stops the decoding
    } cases[] = {
        {R"("controller": "ich")", {0, 0x1F, 3}, {{0x04, 0x01}, {0x20, 0x01}, {0x21, 0x0C}, {0x40, 0x01}}, 0x03, {0x04, 0}},
        {R"("controller": "sch")", {0, 0x1F, 0}, {{0x41, 0x0C}, {0x43, 0x80}}, 0x05, {0x43, 0}},
        {R"("controller": "via-vt8233")", {0, 0x11, 0}, {{0xD0, 0x01}, {0xD1, 0x0C}, {0xD2, 0x01}}, 0x03, {0xD1, 0}},
        {R"("controller": "via-vt82c686")", {0, 0x07, 4}, {{0x90, 0x01}, {0x91, 0x0C}, {0xD2, 0x01}}, 0x03, {0x91, 0}},
        {R"("controller": "ati-sb600")", {0, 0x14, 0}, {{0x90, 0x01}, {0x91, 0x0C}, {0xD2, 0x01}}, 0x03, {0x91, 0}},
        {R"("controller": "sis96x")", {0, 0x02, 1}, {{0x04, 0x01}, {0x20, 0x01}, {0x21, 0x0C}}, 0x05, {0x04, 0}},
        {R"("controller": "ali-m7101")", {0, 0x11, 0}, {{0xD1, 0x04}, {0xE3, 0x0C}, {0xF0, 0x01}}, 0x07, {0xD1, 0}},
        {R"("controller": "ali-m1563", "function": "00:02.0")", {0, 0x02, 0}, {{0x80, 0x03}, {0x81, 0x0C}}, 0x03,
         {0x80, 0x02}},
        {R"("controller": "nforce2")", {0, 0x01, 1}, {{0x50, 0x01}, {0x51, 0x0C}}, 0x03, {0x51, 0}},
        {R"("controller": "nforce-mcp")", {0, 0x01, 1}, {{0x04, 0x01}, {0x20, 0x01}, {0x21, 0x0C}}, 0x03, {0x04, 0}},
        // The AMD-756's SMBus block is 0xE0 into its power-management block.
        {R"("controller": "amd-756")", {0, 0x07, 3}, {{0x41, 0x80}, {0x58, 0x01}, {0x59, 0x0C}}, 0xE8, {0x41, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.smbus);
        test::ImageDir image;
        auto machine = Load(image, Function({0, 0, 0}, 0x12348086) + Function(c.function, 0x56781234, c.registers),
                            c.smbus);
        ASSERT_TRUE(machine);
        const uint16_t at = uint16_t(0x0C00 + c.port);
        Out(*machine, at, 0x5A);
        EXPECT_EQ(In(*machine, at), 0x5A);
        ASSERT_TRUE(machine->writePciConfig(c.function, c.off.first, std::span(&c.off.second, 1)));
        EXPECT_EQ(In(*machine, at), 0xFF) << "decoding off";
    }
}

// VIA's host interface enable: with it clear, a start does nothing.
TEST(SmbusModels, TransfersStartOnlyWithTheHostEnabled) {
    test::ImageDir image;
    const PciAddress lpc{0, 0x11, 0};
    auto machine = Load(image, Function({0, 0, 0}, 0x31681106) + Function(lpc, 0x32271106, {{0xD0, 0x01}, {0xD1, 0x0C}}),
                        R"("controller": "via-vt8233")");
    ASSERT_TRUE(machine);
    Out(*machine, 0xC04, 0x50 << 1 | 1);
    Out(*machine, 0xC03, 0x10);
    Out(*machine, 0xC02, 0x48);
    EXPECT_EQ(In(*machine, 0xC00), 0x00) << "nothing started";
    const uint8_t on = 0x01;
    ASSERT_TRUE(machine->writePciConfig(lpc, 0xD2, std::span(&on, 1)));
    Out(*machine, 0xC02, 0x48);
    EXPECT_EQ(In(*machine, 0xC00), 0x02) << "done";
    EXPECT_EQ(In(*machine, 0xC05), uint8_t(test::readFile(test::dataPath(kDdr3))[0x10]));
}

// SB800 and the FCH keep the SMBus base in their power-management
// registers, which software reaches through 0xCD6/0xCD7.
TEST(SmbusModels, AmdPowerManagementRegistersHoldTheBase) {
    const struct {
        const char* smbus;
        uint16_t base;
        uint8_t enableRegister, enableBit;
        std::vector<std::pair<uint8_t, uint8_t>> registers;  // index -> value
    } cases[] = {
        {R"("controller": "ati-sb800", "base": "0xB20")", 0xB20, 0x2C, 0x01, {{0x2C, 0x21}, {0x2D, 0x0B}}},
        {R"("controller": "amd-fch", "base": "0xB00")", 0xB00, 0x00, 0x10, {{0x00, 0x10}, {0x01, 0x0B}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.smbus);
        test::ImageDir image;
        auto machine = Load(image, "", c.smbus);
        ASSERT_TRUE(machine);
        for (const auto& [index, value] : c.registers) {
            Out(*machine, 0xCD6, index);
            EXPECT_EQ(In(*machine, 0xCD7), value) << int(index);
        }
        const auto command = uint16_t(c.base + 0x03);
        Out(*machine, command, 0x5A);
        EXPECT_EQ(In(*machine, command), 0x5A);
        Out(*machine, 0xCD6, c.enableRegister);
        Out(*machine, 0xCD7, uint8_t(In(*machine, 0xCD7) & ~c.enableBit));
        EXPECT_EQ(In(*machine, command), 0xFF) << "the SMBus ports switched off";
    }
}

// ---- Engines in configuration space ----

// The FB-DIMM SPD controller of a 5000-series hub: a command runs only with
// the clock released (bit 27), shows busy once and then its outcome.
TEST(SmbusModels, FbdEngineRunsWithTheClockReleased) {
    test::ImageDir image;
    const PciAddress fbd{0, 0x15, 0};
    auto machine = Load(image, Function(fbd, 0x25F58086), R"("controller": "intel-5000")");
    ASSERT_TRUE(machine);
    const std::string spd = test::readFile(test::dataPath(kDdr3));
    WriteConfigDword(*machine, fbd, 0x78, 0xA0100000);  // module 0, byte 0x10, clock held
    EXPECT_EQ(ConfigDword(*machine, fbd, 0x74) & 0xFFFF, 0u) << "nothing runs";
    WriteConfigDword(*machine, fbd, 0x78, 0xA8100000);
    EXPECT_EQ(ConfigDword(*machine, fbd, 0x74) & 0xFFFF, 0x1000u) << "busy";
    EXPECT_EQ(ConfigDword(*machine, fbd, 0x74) & 0xFFFF, 0x8000u | uint8_t(spd[0x10]));
    EXPECT_EQ(ConfigDword(*machine, fbd, 0x78), 0xA8100000u) << "the command reads back";
    WriteConfigDword(*machine, fbd, 0x78, 0xA9100000);  // module 1: an empty socket
    ConfigDword(*machine, fbd, 0x74);
    EXPECT_EQ(ConfigDword(*machine, fbd, 0x74) & 0xFFFF, 0x2000u) << "bus error";
    EXPECT_EQ(ConfigDword(*machine, fbd, 0x74) >> 16, 0u) << "the second engine has seen nothing";
}

// The engines of an integrated memory controller: a command started with
// the clock held waits, busy, until the clock is released.
TEST(SmbusModels, ImcEngineWaitsForItsClock) {
    test::ImageDir image;
    const PciAddress imc{0, 0x0F, 0};
    auto machine = Load(image, Function(imc, 0x3CA88086), R"("controller": "intel-imc", "function": "00:0f.0")");
    ASSERT_TRUE(machine);
    const std::string spd = test::readFile(test::dataPath(kDdr3));
    WriteConfigDword(*machine, imc, 0x188, 0xA0000000);  // EEPROMs, clock held
    WriteConfigDword(*machine, imc, 0x184, 0x80200000);  // read byte 0x20 of device 0
    EXPECT_EQ(ConfigDword(*machine, imc, 0x180), 0x10000000u);
    EXPECT_EQ(ConfigDword(*machine, imc, 0x180), 0x10000000u) << "still held";
    WriteConfigDword(*machine, imc, 0x188, 0xA8000000);
    EXPECT_EQ(ConfigDword(*machine, imc, 0x180), 0x10000000u) << "running";
    EXPECT_EQ(ConfigDword(*machine, imc, 0x180), 0x80000000u | uint8_t(spd[0x20]));
    EXPECT_EQ(ConfigDword(*machine, imc, 0x188), 0xA8000000u);
    EXPECT_EQ(ConfigDword(*machine, imc, 0x190), 0u) << "the second engine";
}

// The TM8000 shows the first 64 SPD bytes of slot n in 00:00.(n+1).
TEST(SmbusModels, Tm8000WindowShowsTheModulesSpdBytes) {
    test::ImageDir image;
    auto machine = Load(image,
                        Function({0, 0, 0}, 0x00601279) + Function({0, 0, 1}, 0x00611279, {{0x90, 0x77}}) +
                            Function({0, 0, 2}, 0x00611279),
                        R"("controller": "tm8000")");
    ASSERT_TRUE(machine);
    const std::string spd = test::readFile(test::dataPath(kDdr3));
    uint8_t window[0x40] = {};
    ASSERT_TRUE(machine->readPciConfig({0, 0, 1}, 0x50, window));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(window), sizeof window), spd.substr(0, 0x40));
    WriteConfigDword(*machine, {0, 0, 1}, 0x50, 0);
    EXPECT_EQ(ConfigDword(*machine, {0, 0, 1}, 0x50), uint32_t(uint8_t(spd[0]) | uint8_t(spd[1]) << 8 |
                                                               uint8_t(spd[2]) << 16 | uint8_t(spd[3]) << 24))
        << "read-only";
    EXPECT_EQ(ConfigDword(*machine, {0, 0, 1}, 0x90) & 0xFF, 0x77u) << "past the window: the function's own bytes";
    EXPECT_EQ(ConfigDword(*machine, {0, 0, 2}, 0x60), 0xFFFFFFFFu) << "slot 1 is empty";

    test::ImageDir missing;
    missing.write("lspci.txt", Function({0, 0, 0}, 0x00601279));
    missing.write("machine.json", R"({"smbus": {"controller": "tm8000"}})");
    missing.copyData(kDdr3, "spd/2.bin");
    EXPECT_NE(missing.loadError().find("the module at 0x52 shows in 00:00.3, which is not in lspci.txt"),
              std::string::npos);
}

} // namespace
} // namespace vexa::machine
