// The manifest keys of the SoC message bus ("pci.message_bus") and of
// Itanium processors ("ia64"), the message bus model behind the host
// bridge, and the Itanium answers of a machine built from an image.
#include "machine/devices/message_bus.h"
#include "machine/manifest.h"
#include "machine/simulated_machine.h"

#include "tests/support/image_dir.h"

#include <gtest/gtest.h>

namespace vexa::machine {
namespace {

constexpr uint8_t kReadOpcode = 0x10;
constexpr uint8_t kWriteOpcode = 0x11;

uint32_t Message(uint8_t opcode, uint8_t port, uint8_t reg) {
    return uint32_t(opcode) << 24 | uint32_t(port) << 16 | uint32_t(reg) << 8 | 0xF0;
}

void WriteDword(PciRegisterBlock& block, unsigned offset, uint32_t value) {
    const uint8_t bytes[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
    block.write(offset, bytes);
}

uint32_t ReadDword(PciRegisterBlock& block, unsigned offset) {
    uint8_t bytes[4] = {};
    block.read(offset, bytes);
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

TEST(MessageBus, ReadAndWriteMessagesMoveRegistersThroughTheDataRegister) {
    MessageBus bus({{0x04, 0xB1, 0x9A}, {0x03, 0x12345678, 0xCAFE}});
    WriteDword(bus, MessageBus::kControl, Message(kReadOpcode, 0x04, 0xB1));
    EXPECT_EQ(ReadDword(bus, MessageBus::kData), 0x9Au);
    EXPECT_EQ(ReadDword(bus, MessageBus::kControl), 0u) << "MCR keeps nothing";
    // Register bits 31:8 come from MCRX.
    WriteDword(bus, MessageBus::kControlExtension, 0x12345600);
    WriteDword(bus, MessageBus::kControl, Message(0x06, 0x03, 0x78));
    EXPECT_EQ(ReadDword(bus, MessageBus::kData), 0xCAFEu);
    EXPECT_EQ(ReadDword(bus, MessageBus::kControlExtension), 0x12345600u);
    WriteDword(bus, MessageBus::kControlExtension, 0);
    // A write message stores MDR; an unknown opcode does nothing.
    WriteDword(bus, MessageBus::kData, 0x55);
    WriteDword(bus, MessageBus::kControl, Message(kWriteOpcode, 0x04, 0xB1));
    WriteDword(bus, MessageBus::kData, 0);
    WriteDword(bus, MessageBus::kControl, Message(0x42, 0x04, 0xB1));
    EXPECT_EQ(ReadDword(bus, MessageBus::kData), 0u);
    WriteDword(bus, MessageBus::kControl, Message(kReadOpcode, 0x04, 0xB1));
    EXPECT_EQ(ReadDword(bus, MessageBus::kData), 0x55u);
    // An unlisted register reads 0; a write that misses the opcode byte sends nothing.
    WriteDword(bus, MessageBus::kControl, Message(kReadOpcode, 0x05, 0x01));
    EXPECT_EQ(ReadDword(bus, MessageBus::kData), 0u);
    const uint8_t low[2] = {0xF0, 0xB1};
    bus.write(MessageBus::kControl, low);
    EXPECT_EQ(ReadDword(bus, MessageBus::kData), 0u);
}

TEST(MessageBus, AnswersAtTheHostBridgeOfAnImage) {
    test::ImageDir image;
    image.write("lspci.txt", "00:00.0 Host bridge: Intel Corporation Device 0f00 (rev 0e)\n"
                             "00: 86 80 00 0f 06 00 00 00 0e 00 00 06 00 00 00 00\n");
    image.write("machine.json", R"({"pci": {"message_bus": [{"port": 4, "register": "0xB1", "value": "0x2D"}]}})");
    auto machine = image.load();
    const uint32_t command = Message(kReadOpcode, 0x04, 0xB1);
    ASSERT_TRUE(machine->writePciConfig({0, 0, 0}, MessageBus::kControl,
                                        std::span(reinterpret_cast<const uint8_t*>(&command), 4)));
    uint8_t data[4] = {};
    ASSERT_TRUE(machine->readPciConfig({0, 0, 0}, MessageBus::kData, data));
    EXPECT_EQ(data[0], 0x2D);
}

TEST(SocManifest, MessageBusAndIa64Keys) {
    Manifest manifest;
    std::string error;
    ASSERT_TRUE(parseManifest("{}", manifest, error)) << error;
    EXPECT_FALSE(manifest.pci.messageBus);
    EXPECT_FALSE(manifest.ia64);
    ASSERT_TRUE(parseManifest(R"({"pci": {"message_bus": [{"port": "0x04", "register": "0xB1", "value": 7}]},
        "ia64": {"cpuid": ["0x49656E69756E6547", "0x6C65746E", 0, "0x1F020200", 0],
                 "pal": [{"procedure": 14, "results": [0, "0xF00000002", 0, 0]},
                         {"procedure": 42, "arguments": ["0xFFFFFFFFFFFFFFFF", 0, 0], "results": [0, 1, 2, 3],
                          "cpus": [1]}]}})",
                              manifest, error))
        << error;
    ASSERT_TRUE(manifest.pci.messageBus);
    EXPECT_EQ(*manifest.pci.messageBus, (std::vector<MessageBusRegister>{{0x04, 0xB1, 7}}));
    ASSERT_TRUE(manifest.ia64);
    EXPECT_EQ(manifest.ia64->cpuid[0], 0x49656E69756E6547u);
    EXPECT_EQ(manifest.ia64->cpuid[3], 0x1F020200u);
    ASSERT_EQ(manifest.ia64->pal.size(), 2u);
    EXPECT_EQ(manifest.ia64->pal[0].arguments, (std::array<uint64_t, 4>{14, 0, 0, 0}));
    EXPECT_EQ(manifest.ia64->pal[1].arguments, (std::array<uint64_t, 4>{42, ~0ull, 0, 0}));
    EXPECT_EQ(manifest.ia64->pal[1].cpus, std::vector<unsigned>{1});
}

TEST(SocManifest, MistakesNameTheKey) {
    const struct {
        const char* json;
        const char* path;
    } cases[] = {
        {R"({"pci": {"message_bus": {"port": 4}}})", "pci.message_bus"},
        {R"({"pci": {"message_bus": [{"port": 4, "register": 1}]}})", "pci.message_bus[0]"},
        {R"({"pci": {"message_bus": [{"port": 256, "register": 1, "value": 0}]}})", "pci.message_bus[0].port"},
        {R"({"pci": {"message_bus": [{"port": 1, "register": 1, "value": 0}, {"port": 1, "register": 1, "value": 2}]}})",
         "pci.message_bus[1]"},
        {R"({"ia64": {"cpuid": [1, 2, 3]}})", "ia64.cpuid"},
        {R"({"ia64": {"pal": [{"procedure": 14}]}})", "ia64.pal[0]"},
        {R"({"ia64": {"pal": [{"procedure": 14, "results": [0, 1]}]}})", "ia64.pal[0].results"},
        {R"({"ia64": {"pal": [{"procedure": 14, "results": [0, 0, 0, 0], "cpus": [256]}]}})", "ia64.pal[0].cpus"},
        {R"({"ia64": {"registers": []}})", "ia64"},
    };
    for (const auto& c : cases) {
        Manifest manifest;
        std::string error;
        EXPECT_FALSE(parseManifest(c.json, manifest, error)) << c.json;
        EXPECT_EQ(error.rfind(c.path, 0), 0u) << c.json << ": " << error;
    }
}

TEST(Ia64Machine, AnswersItsPalByProcessorAndArguments) {
    test::ImageDir image;
    image.write("machine.json", R"({"cpu": {"logical_processors": 2}, "ia64": {"cpuid": [1, 2, 3, 4, 5],
        "pal": [{"procedure": 42, "arguments": ["0xFFFFFFFFFFFFFFFF", 0, 0], "results": [0, 10, 11, 0], "cpus": [1]},
                {"procedure": 42, "arguments": ["0xFFFFFFFFFFFFFFFF", 0, 0], "results": [0, 20, 21, 0]}]}})");
    auto machine = image.load();
    std::array<uint64_t, Ia64Facts::kCpuidRegisters> cpuid{};
    ASSERT_TRUE(machine->ia64Cpuid(1, cpuid));
    EXPECT_EQ(cpuid, (std::array<uint64_t, 5>{1, 2, 3, 4, 5}));
    EXPECT_FALSE(machine->ia64Cpuid(2, cpuid)) << "no third processor";
    std::array<uint64_t, 4> results{};
    ASSERT_TRUE(machine->palCall(0, {42, ~0ull, 0, 0}, results));
    EXPECT_EQ(results, (std::array<uint64_t, 4>{0, 20, 21, 0}));
    ASSERT_TRUE(machine->palCall(1, {42, ~0ull, 0, 0}, results));
    EXPECT_EQ(results, (std::array<uint64_t, 4>{0, 10, 11, 0}));
    ASSERT_TRUE(machine->palCall(1, {42, 0, 0, 0}, results));
    EXPECT_EQ(results[0], kPalUnimplemented) << "other arguments";
}

TEST(Ia64Machine, AnX86MachineHasNoItaniumAnswers) {
    test::ImageDir image;
    image.write("machine.json", "{}");
    auto machine = image.load();
    std::array<uint64_t, Ia64Facts::kCpuidRegisters> cpuid{};
    std::array<uint64_t, 4> results{};
    EXPECT_FALSE(machine->ia64Cpuid(0, cpuid));
    EXPECT_FALSE(machine->palCall(0, {20, 0, 0, 0}, results));
}

} // namespace
} // namespace vexa::machine
