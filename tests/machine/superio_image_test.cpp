// The super-I/O chips of a machine image: the manifest's "superio" list,
// the register dump, and the chip and monitor models as software sees them
// through the ports.
#include "machine/image_loader.h"
#include "machine/manifest.h"
#include "machine/superio_image.h"

#include "tests/support/image_dir.h"
#include "tests/support/test_paths.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

namespace vexa::machine {
namespace {

uint8_t In(Machine& machine, uint16_t port) {
    uint32_t value = 0;
    machine.readPort(port, 1, value);
    return uint8_t(value);
}
void Out(Machine& machine, uint16_t port, uint8_t value) { machine.writePort(port, 1, value); }
void Key(Machine& machine, uint16_t port, std::initializer_list<uint8_t> key) {
    for (uint8_t byte : key) Out(machine, port, byte);
}
uint8_t Config(Machine& machine, uint16_t port, uint8_t reg) {
    Out(machine, port, reg);
    return In(machine, uint16_t(port + 1));
}

const char* kDump = "# a chip\nconfig:20=87\nconfig:21=20\nconfig:30=01\nconfig:60=02\nconfig:61=90\n0:58=90\n";

std::unique_ptr<SimulatedMachine> Image(const std::string& superio, const std::string& dump = kDump) {
    test::ImageDir image;
    image.write("machine.json", "{\"superio\": [" + superio + "]}");
    image.write("chip.regs", dump);
    return image.load();
}

TEST(SuperIoImage, IteChipOpensOnlyWithItsPortsKey) {
    for (uint16_t port : {uint16_t(0x2E), uint16_t(0x4E)}) {
        char entry[128];
        std::snprintf(entry, sizeof entry, R"({"port": "0x%X", "protocol": "ite", "registers": "chip.regs"})", port);
        auto machine = Image(entry);
        ASSERT_TRUE(machine);
        EXPECT_EQ(Config(*machine, port, 0x20), 0xFF) << "closed";
        const uint8_t wrongLast = port == 0x2E ? 0xAA : 0x55;
        Key(*machine, port, {0x87, 0x01, 0x55, wrongLast});
        EXPECT_EQ(Config(*machine, port, 0x20), 0xFF) << "the other port's key";
        Key(*machine, port, {0x87, 0x01, 0x55, uint8_t(port == 0x2E ? 0x55 : 0xAA)});
        EXPECT_EQ(Config(*machine, port, 0x20), 0x87);
        Out(*machine, port, 0x07);
        Out(*machine, uint16_t(port + 1), 0x04);
        EXPECT_EQ(Config(*machine, port, 0x60), 0x02);
        // The monitor block at base 0x290: index 0x295, data 0x296.
        Out(*machine, 0x295, 0x58);
        EXPECT_EQ(In(*machine, 0x296), 0x90);
        Out(*machine, port, 0x02);
        Out(*machine, uint16_t(port + 1), 0x02);
        EXPECT_EQ(Config(*machine, port, 0x20), 0xFF) << "closed again";
    }
}

TEST(SuperIoImage, WinbondMonitorShowsTheVendorIdByBank) {
    std::string error;
    auto machine = loadMachineImage(test::sourcePath("machines/x58-nehalem"), error);
    ASSERT_TRUE(machine) << error;
    Key(*machine, 0x2E, {0x87, 0x87});
    EXPECT_EQ(Config(*machine, 0x2E, 0x20), 0xA5);
    Out(*machine, 0x2E, 0xAA);
    EXPECT_EQ(Config(*machine, 0x2E, 0x20), 0xFF);
    const auto monitor = [&](uint8_t reg) {
        Out(*machine, 0x105, reg);
        return In(*machine, 0x106);
    };
    EXPECT_EQ(monitor(0x4F), 0xA3);
    Out(*machine, 0x105, 0x4E);
    Out(*machine, 0x106, 0x80);
    EXPECT_EQ(monitor(0x4F), 0x5C);
    Out(*machine, 0x105, 0x4E);
    Out(*machine, 0x106, 0x01);
    EXPECT_EQ(monitor(0x4E), 0x01);
    EXPECT_EQ(monitor(0x58), 0xFF) << "bank 1's register 0x58";
}

struct BadImage {
    const char* entry;
    const char* dump;
    const char* message;
};

TEST(SuperIoImage, MistakesAreLoadErrorsNamingTheirPlace) {
    const BadImage cases[] = {
        {R"({"port": "0x2F", "protocol": "ite", "registers": "chip.regs"})", kDump, "superio[0].port: is not 0x2E or 0x4E"},
        {R"({"protocol": "acme", "registers": "chip.regs"})", kDump, "superio[0].protocol: \"acme\" is not"},
        {R"({"protocol": "ite"})", kDump, "superio[0]: \"registers\" is required"},
        {R"({"protocol": "ite", "registers": "chip.regs", "colour": 1})", kDump, "colour"},
        {R"({"protocol": "ite", "registers": "chip.regs"}, {"protocol": "ite", "registers": "chip.regs"})", kDump,
         "superio[1]: a second chip at the port of superio[0]"},
        {R"({"protocol": "ite", "registers": "chip.regs"})", "config:20=87\nG:00=01\n", "line 2: not \"config:II=VV\""},
        {R"({"protocol": "ite", "registers": "chip.regs"})", "config:200=87\n", "line 1:"},
        {R"({"protocol": "ite", "registers": "other.regs"})", kDump, "other.regs: missing"},
    };
    for (const BadImage& c : cases) {
        test::ImageDir image;
        image.write("machine.json", std::string("{\"superio\": [") + c.entry + "]}");
        image.write("chip.regs", c.dump);
        std::string error;
        EXPECT_FALSE(loadMachineImage(image.path(), error)) << c.entry;
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

} // namespace
} // namespace vexa::machine
