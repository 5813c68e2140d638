// The SMBus of a machine image: the manifest's "smbus" section and its
// files, the ICH controller model on the ports of 00:1f.3 and the slaves
// behind it, as software sees them through the ports.
#include "machine/image_loader.h"
#include "machine/manifest.h"
#include "machine/smbus_files.h"

#include "tests/support/image_dir.h"
#include "tests/support/test_paths.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace vexa::machine {
namespace {

constexpr uint16_t kBase = 0x400;
constexpr PciAddress kSmbus{0, 0x1F, 3};

// An lspci.txt with the ICH10 SMBus function: command, BAR4 and HOSTC as given.
std::string SmbusFunction(uint16_t command = 0x0001, uint32_t bar = kBase | 1, uint8_t hostConfig = 0x01) {
    std::string text = "00:1f.3 SMBus: Intel Corporation 82801JI (ICH10 Family) SMBus Controller\n";
    char row[128];
    std::snprintf(row, sizeof row, "00: 86 80 30 3a %02x %02x 80 02 00 00 05 0c 00 00 00 00\n", command & 0xFF,
                  command >> 8);
    text += row;
    std::snprintf(row, sizeof row, "20: %02x %02x %02x %02x 00 00 00 00 00 00 00 00 43 10 d4 82\n", bar & 0xFF,
                  (bar >> 8) & 0xFF, (bar >> 16) & 0xFF, bar >> 24);
    text += row;
    std::snprintf(row, sizeof row, "40: %02x 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n", hostConfig);
    return text + row;
}

// Software's side of the controller: one transfer through the ports.
class Host {
public:
    explicit Host(Machine& machine) : m_(machine) {}

    uint8_t In(unsigned offset) {
        uint32_t value = 0xFF;
        m_.readPort(uint16_t(kBase + offset), 1, value);
        return uint8_t(value);
    }
    void Out(unsigned offset, uint8_t value) { m_.writePort(uint16_t(kBase + offset), 1, value); }

    // A transfer of `type` (2 byte data, 3 word data); the status after it.
    uint8_t Transfer(uint8_t address, uint8_t command, uint8_t type) {
        Out(0x00, 0xFF);
        Out(0x04, address);
        Out(0x03, command);
        Out(0x02, uint8_t(0x40 | type << 2));
        const uint8_t status = In(0x00);
        Out(0x00, 0xFF);
        return status;
    }
    bool ReadByte(uint8_t slave, uint8_t command, uint8_t& value) {
        if (Transfer(uint8_t(slave << 1 | 1), command, 2) & 0x04) return false;
        value = In(0x05);
        return true;
    }
    bool WriteByte(uint8_t slave, uint8_t command, uint8_t value) {
        Out(0x05, value);
        return !(Transfer(uint8_t(slave << 1), command, 2) & 0x04);
    }

private:
    Machine& m_;
};

class SmbusImage : public ::testing::Test {
protected:
    std::unique_ptr<SimulatedMachine> Load(const std::string& manifest, const std::string& lspci = SmbusFunction()) {
        image_.write("machine.json", manifest);
        image_.write("lspci.txt", lspci);
        return image_.load();
    }
    std::string LoadError(const std::string& manifest, const std::string& lspci = SmbusFunction()) {
        image_.write("machine.json", manifest);
        image_.write("lspci.txt", lspci);
        return image_.loadError();
    }

    test::ImageDir image_;
};

// ---- The manifest and its files ----

TEST_F(SmbusImage, MistakesNameTheKeyOrTheFile) {
    image_.copyData("spd/DDR3-M378B5173DB0-CK0.spd", "m.spd");
    image_.write("bad.hex", "# module\n92 13 0B\n92 zz\n");
    image_.write("big.spd", std::string(300, 'x'));
    image_.write("chip.regs", "00: 00 01\n");
    const std::string deviceAt50 = R"("devices": [{"address": "0x50", "spd": "m.spd"}])";
    const struct {
        const char* name;
        std::string manifest;
        std::string lspci;
        const char* message;
    } cases[] = {
        {"unknown key", R"({"smbus": {"typo": 1}})", SmbusFunction(), "machine.json: smbus.typo: unknown key"},
        {"unknown controller", R"({"smbus": {"controller": "pixie"}})", SmbusFunction(), "is not a controller model"},
        {"base of a controller with a base register", R"({"smbus": {"base": "0x400"}})", SmbusFunction(),
         "smbus.base: the ich model takes its base from the PCI function"},
        {"controller without its base", R"({"smbus": {"controller": "ati-sb800"}})", SmbusFunction(),
         "smbus: the ati-sb800 model needs \"base\""},
        {"misaligned base", R"({"smbus": {"controller": "amd-fch", "base": "0xB20"}})", SmbusFunction(),
         "smbus: smbus.base: 0x0B20 is no I/O base of this controller (a multiple of 0x100)"},
        {"controller without its function", R"({"smbus": {"controller": "intel-imc"}})", SmbusFunction(),
         "smbus: the intel-imc model needs \"function\""},
        {"function of a controller without one", R"({"smbus": {"controller": "tm8000", "function": "00:00.1"}})",
         SmbusFunction(), "smbus.function: the tm8000 model has none"},
        {"base register without a base", R"({"smbus": {"controller": "via-vt8233", "function": "00:1f.3"}})",
         SmbusFunction(), "smbus: the base register 0xD0 of 00:1f.3 holds no I/O base"},
        {"two files", R"({"smbus": {"devices": [{"address": "0x50", "spd": "m.spd", "jc42": "m.spd"}]}})",
         SmbusFunction(), "smbus.devices[0]: give exactly one of"},
        {"no address", R"({"smbus": {"devices": [{"spd": "m.spd"}]}})", SmbusFunction(), "\"address\" is required"},
        {"address too high", R"({"smbus": {"devices": [{"address": 128, "spd": "m.spd"}]}})", SmbusFunction(),
         "smbus.devices[0].address: out of range"},
        {"page select address", R"({"smbus": {"devices": [{"address": "0x36", "spd": "m.spd"}]}})", SmbusFunction(),
         "0x36 is the SPD page select"},
        {"address twice",
         R"({"smbus": {"devices": [{"address": "0x50", "spd": "m.spd"}, {"address": "0x50", "spd": "m.spd"}]}})",
         SmbusFunction(), "smbus.devices[1]: SMBus address 0x50 is taken"},
        {"bank register of an EEPROM",
         R"({"smbus": {"devices": [{"address": "0x50", "spd": "m.spd", "bank_register": 0}]}})", SmbusFunction(),
         "only register images take it"},
        {"missing file", R"({"smbus": {"devices": [{"address": "0x50", "spd": "none.spd"}]}})", SmbusFunction(),
         "smbus.devices[0]: none.spd: missing"},
        {"bad hex", R"({"smbus": {"devices": [{"address": "0x50", "spd": "bad.hex"}]}})", SmbusFunction(),
         "bad.hex: line 3: not a row of hex bytes"},
        {"oversized EEPROM", R"({"smbus": {"devices": [{"address": "0x50", "spd": "big.spd"}]}})", SmbusFunction(),
         "1 to 256 bytes or 512, not 300"},
        {"short register row", R"({"smbus": {"devices": [{"address": "0x2c", "registers": "chip.regs"}]}})",
         SmbusFunction(), "chip.regs: line 1: not a row"},
        {"bad function", R"({"smbus": {"function": "00:1f"}})", SmbusFunction(),
         "smbus.function: \"00:1f\" is not a PCI function"},
        {"function not in the image", R"({"smbus": {"function": "00:1f.4", )" + deviceAt50 + "}}", SmbusFunction(),
         "the controller's PCI function 00:1f.4 is not in lspci.txt"},
        {"no I/O base", R"({"smbus": {)" + deviceAt50 + "}}", SmbusFunction(0x0001, 0xFED00000), "holds no I/O base"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string error = LoadError(c.manifest, c.lspci);
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

TEST(SmbusFiles, SampleFilesParse) {
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(parseSpdHexText(test::readFile(test::dataPath("spd/Hynix_HMT425S6CFR6A.spd.hex")), bytes, error))
        << error;
    EXPECT_EQ(bytes.size(), 256u);
    EXPECT_EQ(bytes[2], 0x0B);
    ASSERT_TRUE(parseSpdHexText(test::readFile(test::dataPath("spd/micron-MT40A1G16KD-062E-E.spd.hex")), bytes, error))
        << error;
    EXPECT_EQ(bytes.size(), 512u);

    std::map<unsigned, RegisterImageDevice::Bank> banks;
    ASSERT_TRUE(parseRegisterImage(test::readFile(test::dataPath("smbus-sensors/nct7904.regs")), banks, error))
        << error;
    EXPECT_EQ(banks.size(), 6u);
    ASSERT_TRUE(parseRegisterImage(test::readFile(test::dataPath("smbus-sensors/adm1032.regs")), banks, error))
        << error;
    EXPECT_EQ(banks.at(0)[0xFE], 0x41);

    std::array<uint16_t, Jc42Sensor::kRegisters> registers{};
    ASSERT_TRUE(parseJc42Registers(test::readFile(test::dataPath("smbus-sensors/jc42.regs")), registers, error))
        << error;
    EXPECT_EQ(registers[5], 0xC1A0);
    EXPECT_FALSE(parseJc42Registers("10=0000\n", registers, error)) << "register 0x10 does not exist";
    EXPECT_FALSE(parseRegisterImage("[bank 0]\n[bank 0]\n", banks, error)) << "a bank twice";
}

// ---- spd/<n> files and the default chipset ----

// An image of nothing but module files: each at 0x50 + n on the ICH9 SMBus
// of the default chipset; other files in spd/ are left alone.
TEST_F(SmbusImage, SpdFilesAloneGetTheDefaultChipset) {
    image_.copyData("spd/DDR3-M378B5173DB0-CK0.spd", "spd/0.bin");
    image_.copyData("spd/Samsung_K4B4G1646Q.spd.hex", "spd/1.hex");            // no final line break
    image_.copyData("spd/micron-MT40A1G16KD-062E-E.spd.hex", "spd/3.hex");     // double blanks, DDR4
    image_.copyData("spd/DDR3-M391B1G73QH0-CMA.spd", "spd/DDR3-M391B1G73QH0-CMA.spd");
    image_.write("spd/notes.txt", "not a module\n");
    auto machine = image_.load();
    ASSERT_TRUE(machine);

    const struct {
        PciAddress function;
        uint32_t id;
    } functions[] = {{{0, 0, 0}, 0x29C08086}, {{0, 0x1F, 0}, 0x29188086}, {kSmbus, 0x29308086}};
    for (const auto& f : functions) {
        uint8_t id[4] = {};
        ASSERT_TRUE(machine->readPciConfig(f.function, 0, id));
        EXPECT_EQ(uint32_t(id[0] | id[1] << 8 | id[2] << 16 | id[3] << 24), f.id);
    }

    std::vector<uint8_t> samsung, micron;
    std::string error;
    ASSERT_TRUE(parseSpdHexText(test::readFile(test::dataPath("spd/Samsung_K4B4G1646Q.spd.hex")), samsung, error));
    ASSERT_TRUE(
        parseSpdHexText(test::readFile(test::dataPath("spd/micron-MT40A1G16KD-062E-E.spd.hex")), micron, error));
    const std::string raw = test::readFile(test::dataPath("spd/DDR3-M378B5173DB0-CK0.spd"));
    Host host(*machine);
    uint8_t value = 0;
    ASSERT_TRUE(host.ReadByte(0x50, 117, value));
    EXPECT_EQ(value, uint8_t(raw[117]));
    ASSERT_TRUE(host.ReadByte(0x51, 0xFF, value));
    EXPECT_EQ(value, samsung[0xFF]) << "the last byte of the file without a final line break";
    ASSERT_TRUE(host.WriteByte(0x37, 0, 0));
    ASSERT_TRUE(host.ReadByte(0x53, 0x40, value));
    EXPECT_EQ(value, micron[0x140]);
    ASSERT_TRUE(host.WriteByte(0x36, 0, 0));
    EXPECT_FALSE(host.ReadByte(0x52, 0, value)) << "no spd/2";
    int answering = 0;
    for (uint8_t address = 0x08; address < 0x78; ++address) answering += host.ReadByte(address, 0, value);
    EXPECT_EQ(answering, 3) << "three modules; the page selects take writes only";
}

TEST_F(SmbusImage, SpdFileMistakesNameTheFiles) {
    const std::string raw = test::readFile(test::dataPath("spd/DDR3-M378B5173DB0-CK0.spd"));
    const struct {
        const char* name;
        std::vector<std::pair<std::string, std::string>> files;
        std::string manifest;
        const char* message;
    } cases[] = {
        {"clash with the manifest", {{"spd/0.bin", raw}, {"m.spd", raw}},
         R"({"smbus": {"devices": [{"address": "0x51", "spd": "m.spd"}, {"address": "0x50", "spd": "m.spd"}]}})",
         "spd/0.bin: its module at 0x50 clashes with machine.json smbus.devices[1] (m.spd)"},
        {"two files for one slot", {{"spd/0.bin", raw}, {"spd/0.hex", "92 10\n"}}, "",
         "spd/0.bin and spd/0.hex both put a module at 0x50"},
        {"slot past 7", {{"spd/8.bin", raw}}, "", "spd/8.bin: modules sit at 0x50-0x57 (spd/0 to spd/7)"},
        {"long slot number", {{"spd/00000000000000000000001.hex", "92\n"}}, "", "modules sit at 0x50-0x57"},
        {"bad hex text", {{"spd/2.hex", "# module\n92 10 0B\n92 zz\n"}}, "", "spd/2.hex: line 3: not a row of hex bytes"},
        {"empty raw file", {{"spd/1.bin", ""}}, "", "spd/1.bin: an SPD image holds 1 to 256 bytes or 512, not 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::ImageDir image;
        for (const auto& [name, content] : c.files) image.write(name, content);
        if (!c.manifest.empty()) image.write("machine.json", c.manifest);
        image.write("lspci.txt", SmbusFunction());
        const std::string error = image.loadError();
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

// The default chipset stands in only for a missing lspci.txt, and only for
// the ICH model.
TEST_F(SmbusImage, DefaultChipsetOnlyWithoutADumpAndForTheIch) {
    image_.copyData("spd/DDR3-M378B5173DB0-CK0.spd", "spd/0.bin");
    image_.write("lspci.txt", "00:00.0 Host bridge\n00: 86 80 c0 29 06 00 90 20 02 00 00 06 00 00 00 00\n");
    EXPECT_NE(image_.loadError().find("/spd: the controller's PCI function 00:1f.3 is not in lspci.txt"),
              std::string::npos);

    test::ImageDir other;
    other.copyData("spd/DDR3-M378B5173DB0-CK0.spd", "spd/0.bin");
    other.write("machine.json", R"({"smbus": {"controller": "via-vt8233"}})");
    EXPECT_NE(other.loadError().find("function 00:11.0 is not in lspci.txt"), std::string::npos);

    test::ImageDir empty;
    empty.write("machine.json", "{}");
    auto machine = empty.load();
    ASSERT_TRUE(machine);
    uint8_t id[4] = {};
    ASSERT_TRUE(machine->readPciConfig(kSmbus, 0, id));
    EXPECT_EQ(id[0], 0xFF) << "no modules, no chipset";
}

// ---- The controller through the ports ----

TEST_F(SmbusImage, X58ModulesAnswerAtTheirAddresses) {
    std::string error;
    auto x58 = loadImage(test::sourcePath("machines/x58-nehalem"), error);
    ASSERT_TRUE(x58) << error;
    const char* modules[] = {"spd/DDR3-9905403-440.A00LF.spd", "spd/DDR3-M378B5173DB0-CK0.spd",
                             "spd/DDR3-M391B1G73QH0-CMA.spd"};
    Host host(*x58);
    for (uint8_t slave = 0x50; slave <= 0x52; ++slave) {
        const std::string spd = test::readFile(test::dataPath(modules[slave - 0x50]));
        uint8_t value = 0;
        ASSERT_TRUE(host.ReadByte(slave, 122, value)) << int(slave);
        EXPECT_EQ(value, uint8_t(spd[122])) << "the serial number's first byte";
    }
    uint8_t value = 0;
    for (uint8_t slave = 0x53; slave <= 0x56; ++slave) EXPECT_FALSE(host.ReadByte(slave, 0, value)) << int(slave);
    EXPECT_FALSE(host.ReadByte(0x37, 0, value)) << "no DDR4 module: the page select goes unanswered";
}

TEST_F(SmbusImage, InUseSemaphoreIsTakenByAReadAndFreedByWritingIt) {
    auto machine = Load("{\"smbus\": {}}");
    Host host(*machine);
    EXPECT_FALSE(host.In(0x00) & 0x40) << "free: this read takes it";
    EXPECT_TRUE(host.In(0x00) & 0x40);
    host.Out(0x00, 0x40);
    EXPECT_FALSE(host.In(0x00) & 0x40);
}

TEST_F(SmbusImage, Ddr4EepromPagesFollowThePageSelect) {
    image_.copyData("spd/DDR4-M393A1G40EB1-CPB.spd", "ddr4.spd");
    auto machine = Load(R"({"smbus": {"devices": [{"address": "0x51", "spd": "ddr4.spd"}]}})");
    const std::string spd = test::readFile(test::dataPath("spd/DDR4-M393A1G40EB1-CPB.spd"));
    Host host(*machine);
    uint8_t value = 0;
    ASSERT_TRUE(host.ReadByte(0x51, 0x40, value));
    EXPECT_EQ(value, uint8_t(spd[0x40]));
    ASSERT_TRUE(host.WriteByte(0x37, 0, 0));
    ASSERT_TRUE(host.ReadByte(0x51, 0x40, value));
    EXPECT_EQ(value, uint8_t(spd[0x140]));
    ASSERT_TRUE(host.WriteByte(0x36, 0, 0));
    ASSERT_TRUE(host.ReadByte(0x51, 0x40, value));
    EXPECT_EQ(value, uint8_t(spd[0x40]));
    EXPECT_TRUE(host.WriteByte(0x51, 0x40, 0x12)) << "acknowledged";
    ASSERT_TRUE(host.ReadByte(0x51, 0x40, value));
    EXPECT_EQ(value, uint8_t(spd[0x40])) << "write-protected";
}

TEST_F(SmbusImage, ThermalSensorSendsItsWordMostSignificantByteFirst) {
    image_.copyData("smbus-sensors/jc42.regs", "jc42.regs");
    auto machine = Load(R"({"smbus": {"devices": [{"address": "0x18", "jc42": "jc42.regs"}]}})");
    Host host(*machine);
    EXPECT_FALSE(host.Transfer(0x18 << 1 | 1, 0x05, 3) & 0x04);
    EXPECT_EQ(host.In(0x05), 0xC1);
    EXPECT_EQ(host.In(0x06), 0xA0);
    host.Out(0x05, 0x12);
    host.Out(0x06, 0x34);
    EXPECT_FALSE(host.Transfer(0x18 << 1, 0x02, 3) & 0x04) << "the high limit takes writes";
    EXPECT_FALSE(host.Transfer(0x18 << 1 | 1, 0x02, 3) & 0x04);
    EXPECT_EQ(host.In(0x05), 0x12);
    EXPECT_EQ(host.In(0x06), 0x34);
}

TEST_F(SmbusImage, BankedRegisterImageSwitchesBanks) {
    image_.copyData("smbus-sensors/nct7802.regs", "nct7802.regs");
    auto machine =
        Load(R"({"smbus": {"devices": [{"address": "0x2c", "registers": "nct7802.regs", "bank_register": "0x00"}]}})");
    const std::string text = test::readFile(test::dataPath("smbus-sensors/nct7802.regs"));
    std::map<unsigned, RegisterImageDevice::Bank> banks;
    std::string error;
    ASSERT_TRUE(parseRegisterImage(text, banks, error)) << error;
    Host host(*machine);
    uint8_t value = 0;
    ASSERT_TRUE(host.ReadByte(0x2C, 0x01, value));
    EXPECT_EQ(value, banks[0][0x01]);
    ASSERT_TRUE(host.WriteByte(0x2C, 0x00, 1));
    ASSERT_TRUE(host.ReadByte(0x2C, 0x01, value));
    EXPECT_EQ(value, banks[1][0x01]);
    ASSERT_TRUE(host.ReadByte(0x2C, 0x00, value));
    EXPECT_EQ(value, 1);
}

// The ports answer only while the function is shown with its I/O decoding
// on; transfers start only while the host is enabled.
TEST_F(SmbusImage, PortsFollowThePciFunction) {
    const std::string manifest = R"({"smbus": {"devices": [{"address": "0x50", "spd": "m.spd"}]}})";
    image_.copyData("spd/DDR3-M378B5173DB0-CK0.spd", "m.spd");
    uint8_t value = 0;
    {
        auto machine = Load(manifest, SmbusFunction(0x0000));
        EXPECT_EQ(Host(*machine).In(0x05), 0xFF) << "I/O decoding off";
        uint8_t on[2] = {0x01, 0x00};
        ASSERT_TRUE(machine->writePciConfig(kSmbus, 0x04, on));
        EXPECT_TRUE(Host(*machine).ReadByte(0x50, 2, value));
    }
    {
        auto machine = Load(manifest, SmbusFunction(0x0001, kBase | 1, 0x00));
        Host host(*machine);
        EXPECT_EQ(host.Transfer(0x50 << 1 | 1, 2, 2) & 0x07, 0) << "host disabled: nothing started";
    }
    {
        auto machine = Load(R"({"smbus": {"stuck_busy": true, "devices": [{"address": "0x50", "spd": "m.spd"}]}})");
        EXPECT_TRUE(Host(*machine).Transfer(0x50 << 1 | 1, 2, 2) & 0x01) << "stuck busy";
    }
}

} // namespace
} // namespace vexa::machine
