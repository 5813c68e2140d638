// The super-I/O configuration mode the board multiplexers use: the
// Winbond key sequence and register access through the index/data pair.
#include <gtest/gtest.h>

#include <vector>

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

// The mode shares its space: deleting it leaves the space usable.
TEST_F(ConfigModes, DeletingTheModeKeepsTheSpace) {
    delete new Winbond_LPCIO_ConfigMode(&space_);
    EXPECT_EQ(space_.WriteIndexed(0x07, 1), 1);
}

} // namespace
} // namespace vexa::test
