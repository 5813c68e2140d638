// The super-I/O configuration mode the board multiplexers use: the
// Winbond key sequence, register access through the index/data pair and
// the dump of a logical device's registers.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/register_space_lpc.h"
#include "sdk/monitor/config_mode.h"
#include "tests/sdk/smbus/smbus_fakes.h"

namespace vexa::test {
namespace {

// Index and data ports that note every write and can stop answering.
class ConfigPorts : public FakePorts {
public:
    ConfigPorts() : FakePorts(0x2E) {}
    int ReadByte(uint32_t offset, uint8_t* value) override { return m_dead ? 0 : FakePorts::ReadByte(offset, value); }
    int WriteByte(uint32_t offset, uint32_t value) override {
        m_written.emplace_back(offset, uint8_t(value));
        return m_dead ? 0 : FakePorts::WriteByte(offset, value);
    }
    std::vector<std::pair<uint32_t, uint8_t>> m_written;
    bool m_dead = false;
};

class ConfigModes : public ::testing::Test {
protected:
    void TearDown() override { ReleaseSDK(); }
    ConfigPorts ports_;
    CLPCRegisterSpace space_{&ports_, 0, 1};
};

TEST_F(ConfigModes, WinbondKeysAndLogicalDevice) {
    Winbond_LPCIO_ConfigMode mode(&space_);
    EXPECT_EQ(mode.m_byLDN, 0x0B);
    EXPECT_EQ(mode.GetBaseAddress(), 0x2Eu);
    EXPECT_EQ(mode.Enter(), 1);
    mode.Exit();
    EXPECT_EQ(ports_.m_written, (std::vector<std::pair<uint32_t, uint8_t>>{{0, 0x87}, {0, 0x87}, {0, 0xAA}}));
}

TEST_F(ConfigModes, WinbondRegisterAccessGoesThroughIndexAndData) {
    Winbond_LPCIO_ConfigMode mode(&space_);
    EXPECT_EQ(mode.WriteRegister(CConfigMode::kLogicalDeviceSelect, 8), 1);
    EXPECT_EQ(ports_.m_written, (std::vector<std::pair<uint32_t, uint8_t>>{{0, 7}, {1, 8}}));
    ports_.At(1) = 0x3C;
    uint8_t value = 0;
    EXPECT_EQ(mode.ReadRegister(0x20, &value), 1);
    EXPECT_EQ(value, 0x3C);
    EXPECT_EQ(ports_.At(0), 0x20);
}

// A chip that does not answer: the key stops after its first byte, reads
// fail with 0xFF and say so.
TEST_F(ConfigModes, WinbondOnPortsThatDoNotAnswer) {
    ports_.m_dead = true;
    Winbond_LPCIO_ConfigMode mode(&space_);
    EXPECT_EQ(mode.Enter(), 0);
    EXPECT_EQ(ports_.m_written.size(), 1u);
    uint8_t value = 0;
    EXPECT_EQ(mode.ReadRegister(0x20, &value), 0);
    EXPECT_EQ(value, 0xFF);
    EXPECT_EQ(mode.WriteRegister(0x07, 8), 0);
}

TEST_F(ConfigModes, WithoutASpaceEverythingFails) {
    Winbond_LPCIO_ConfigMode mode(nullptr);
    uint8_t value = 0;
    EXPECT_EQ(mode.Enter(), 0);
    mode.Exit();
    EXPECT_EQ(mode.ReadRegister(0x20, &value), 0);
    EXPECT_EQ(value, 0xFF);
    EXPECT_EQ(mode.WriteRegister(0x20, 1), 0);
    EXPECT_EQ(mode.GetBaseAddress(), 0xFFFFFFFFu);
}

// The base has no key and no register access.
TEST_F(ConfigModes, BaseModeHasNoKey) {
    CConfigMode mode(&space_, 9);
    uint8_t value = 0;
    EXPECT_EQ(mode.Enter(), 1);
    mode.Exit();
    EXPECT_EQ(mode.ReadRegister(0x20, &value), 0);
    EXPECT_EQ(value, 0xFF);
    EXPECT_EQ(mode.WriteRegister(0x20, 1), 0);
    EXPECT_TRUE(ports_.m_written.empty());
}

// A chip behind the index/data pair: the index port selects a register of
// one register file; reading one register fails.
class ChipPorts : public ConfigPorts {
public:
    static constexpr uint8_t kUnreadable = 0x25;

    ChipPorts() {
        for (unsigned i = 0; i < m_registers.size(); ++i) m_registers[i] = uint8_t(i ^ 0x5A);
        m_registers[CConfigMode::kLogicalDeviceSelect] = 0x03;
    }
    int ReadByte(uint32_t offset, uint8_t* value) override {
        if (offset == 1 && m_index == kUnreadable) return 0;
        return ConfigPorts::ReadByte(offset, value);
    }

    std::array<uint8_t, 256> m_registers{};

protected:
    uint8_t OnRead(uint32_t offset) override { return offset == 1 ? m_registers[m_index] : m_index; }
    void OnWrite(uint32_t offset, uint8_t value) override {
        if (offset == 0) m_index = value;
        else m_registers[m_index] = value;
    }

private:
    uint8_t m_index = 0;
};

TEST_F(ConfigModes, DumpShowsTheLogicalDevicesRegistersAndPutsTheSelectBack) {
    ChipPorts chip;
    CLPCRegisterSpace space(&chip, 0, 1);
    Winbond_LPCIO_ConfigMode mode(&space);
    CReportGenerator_Buffer report;
    mode.Dump(&report);

    std::string expected =
        "Config Mode I/O address\t0x2E\n"
        "Config Mode LDN\t\t0xB\n"
        "Config Mode registers\t\n"
        "\t\t00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F \n";
    for (unsigned base = 0; base < 0x80; base += 16) {
        char row[64];
        std::snprintf(row, sizeof row, "\t%02X\t", base);
        expected += row;
        for (unsigned reg = base; reg < base + 16; ++reg) {
            // Register 7 shows the hardware monitor's device while it is dumped.
            const uint8_t value = reg == CConfigMode::kLogicalDeviceSelect ? 0x0B : uint8_t(reg ^ 0x5A);
            if (reg == ChipPorts::kUnreadable) std::snprintf(row, sizeof row, "ER ");
            else std::snprintf(row, sizeof row, "%02X ", value);
            expected += row;
        }
        expected += "\n";
    }
    EXPECT_EQ(std::string(report.GetText()), expected);
    EXPECT_EQ(chip.m_registers[CConfigMode::kLogicalDeviceSelect], 0x03);
    ASSERT_GE(chip.m_written.size(), 3u);
    EXPECT_EQ(chip.m_written[0], (std::pair<uint32_t, uint8_t>{0, 0x87}));
    EXPECT_EQ(chip.m_written[1], (std::pair<uint32_t, uint8_t>{0, 0x87}));
    EXPECT_EQ(chip.m_written.back(), (std::pair<uint32_t, uint8_t>{0, 0xAA}));
}

// Without the configuration registers only the address and the device are
// shown, and nothing is written beyond the attempt to enter.
TEST_F(ConfigModes, DumpWithoutRegisterAccess) {
    const struct {
        const char* name;
        bool dead;
        bool baseMode;
        const char* registersLine;
        size_t writes;
    } cases[] = {
        {"chip that does not answer", true, false, nullptr, 1},
        {"mode without register access", false, true, "\t00\tER ER ER ER ER ER ER ER ER ER ER ER ER ER ER ER \n", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ChipPorts chip;
        chip.m_dead = c.dead;
        CLPCRegisterSpace space(&chip, 0, 1);
        std::unique_ptr<CConfigMode> mode;
        if (c.baseMode) mode = std::make_unique<CConfigMode>(&space, 9);
        else mode = std::make_unique<Winbond_LPCIO_ConfigMode>(&space);
        CReportGenerator_Buffer report;
        mode->Dump(&report);
        const std::string text = report.GetText();
        EXPECT_EQ(text.rfind("Config Mode I/O address\t0x2E\nConfig Mode LDN\t\t0x", 0), 0u) << text;
        if (c.registersLine) EXPECT_NE(text.find(c.registersLine), std::string::npos) << text;
        else EXPECT_EQ(text.find("Config Mode registers"), std::string::npos) << text;
        EXPECT_EQ(chip.m_written.size(), c.writes);
    }
}

// The mode shares its space: deleting it leaves the space usable.
TEST_F(ConfigModes, DeletingTheModeKeepsTheSpace) {
    delete new Winbond_LPCIO_ConfigMode(&space_);
    EXPECT_EQ(space_.WriteIndexed(0x07, 1), 1);
}

} // namespace
} // namespace vexa::test
