// The Cyrix configuration registers at ports 0x22/0x23 and the processor
// without CPUID, as a machine image describes them.
#include <gtest/gtest.h>

#include "machine/machine.h"
#include "tests/support/image_dir.h"

namespace vexa::machine {
namespace {

std::unique_ptr<SimulatedMachine> CyrixMachine() {
    test::ImageDir image;
    image.write("machine.json", R"({"ports": {"cyrix_configuration": {"dir0": "0x45", "dir1": 132}}})");
    return image.load();
}

uint32_t Read(Machine& machine, uint16_t port, unsigned width = 1) {
    uint32_t value = 0;
    EXPECT_TRUE(machine.readPort(port, width, value));
    return value;
}

TEST(CyrixConfiguration, IndexSelectsOneAccessOfTheDataPort) {
    const auto machine = CyrixMachine();
    ASSERT_TRUE(machine);
    ASSERT_TRUE(machine->writePort(0x22, 1, 0xFE));
    EXPECT_EQ(Read(*machine, 0x23), 0x45u);
    EXPECT_EQ(Read(*machine, 0x23), 0xFFu) << "the selection was used up";
    ASSERT_TRUE(machine->writePort(0x22, 1, 0xFF));
    EXPECT_EQ(Read(*machine, 0x23), 0x84u);
    // Another register is not modelled: the bus answers.
    ASSERT_TRUE(machine->writePort(0x22, 1, 0xC3));
    EXPECT_EQ(Read(*machine, 0x23), 0xFFu);
    EXPECT_EQ(Read(*machine, 0x22), 0xFFu) << "the index port is write-only";
    // Wider accesses are not decoded.
    ASSERT_TRUE(machine->writePort(0x22, 1, 0xFE));
    EXPECT_EQ(Read(*machine, 0x22, 2), 0xFFFFu);
    EXPECT_EQ(Read(*machine, 0x23), 0x45u);
}

TEST(CyrixConfiguration, IdentificationRegistersAreReadOnly) {
    const auto machine = CyrixMachine();
    ASSERT_TRUE(machine->writePort(0x22, 1, 0xFE));
    ASSERT_TRUE(machine->writePort(0x23, 1, 0x12));
    EXPECT_EQ(Read(*machine, 0x23), 0xFFu) << "the write used the selection";
    ASSERT_TRUE(machine->writePort(0x22, 1, 0xFE));
    EXPECT_EQ(Read(*machine, 0x23), 0x45u);
}

TEST(CyrixConfiguration, WithoutTheKeyThePortsAreTheBuses) {
    test::ImageDir image;
    image.write("machine.json", "{}");
    const auto machine = image.load();
    ASSERT_TRUE(machine->writePort(0x22, 1, 0xFE));
    EXPECT_EQ(Read(*machine, 0x23), 0xFFu);
    EXPECT_TRUE(machine->cpuidSupported());
}

TEST(CyrixConfiguration, ProcessorWithoutCpuid) {
    test::ImageDir image;
    image.write("machine.json", R"({"cpu": {"cpuid": false}})");
    const auto machine = image.load();
    ASSERT_TRUE(machine);
    EXPECT_FALSE(machine->cpuidSupported());
    EXPECT_EQ(machine->cpuid(0, 0, 0), CpuidRegs{});
}

TEST(CyrixConfiguration, ManifestMistakesStopTheLoad) {
    const struct {
        const char* manifest;
        bool withDump;
        const char* message;
    } cases[] = {
        {R"({"ports": {"cyrix_configuration": {"dir0": "0x45"}}})", false, "ports.cyrix_configuration.dir1: required"},
        {R"({"ports": {"cyrix_configuration": {"dir0": "0x145", "dir1": 0}}})", false, "ports.cyrix_configuration.dir0"},
        {R"({"ports": {"cyrix_configuration": {"dir0": 1, "dir1": 0, "ccr3": 0}}})", false, "ccr3"},
        {R"({"cpu": {"cpuid": "no"}})", false, "cpu.cpuid"},
        {R"({"cpu": {"cpuid": false}})", true, "cpu.cpuid"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.manifest);
        test::ImageDir image;
        image.write("machine.json", c.manifest);
        if (c.withDump) image.write("cpuid.txt", "CPUID 00000000: 00000001-69727943-64616574-736E4978\n");
        EXPECT_NE(image.loadError().find(c.message), std::string::npos) << image.loadError();
    }
}

} // namespace
} // namespace vexa::machine
