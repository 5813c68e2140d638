// The memory controllers' SMBus engines on the device models of their
// configuration registers: the commands the classes write, the slaves they
// serve, and the DDR4 page select of the Haswell-E engine.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "sdk/core/sdk.h"
#include "sdk/hw/smbus_engines_5000x.h"
#include "sdk/hw/smbus_engines_snbe.h"
#include "tests/sdk/smbus/smbus_family_images.h"
#include "tests/support/manual_clock_guard.h"
#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

constexpr const char* kDdr3 = "spd/DDR3-M378B5173DB0-CK0.spd";
constexpr const char* kDdr4 = "spd/DDR4-M393A1G40EB1-CPB.spd";
constexpr machine::PciAddress kEngineFunction{0, 0x10, 0};
constexpr uint32_t kAddress = 0x80000000u | 0x10u << 11;

class Engines : public ::testing::Test {
protected:
    void TearDown() override { ReleaseSDK(); }

    // A memory controller at 00:10.0 with the engines of `model`, modules
    // from tests/data at spd/<n>, a register image at 0x51 behind the FB-DIMM
    // engines and a thermal sensor at 0x18 behind the others.
    void Load(const char* model, std::vector<std::pair<int, const char*>> modules) {
        image_.write("lspci.txt", LspciText({FunctionDump(kEngineFunction, 0x8086, 0x1234).Class(0x06, 0x00)}));
        image_.copyData("smbus-sensors/jc42.regs", "jc42.regs");
        image_.write("chip.regs", "00: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n");
        const std::string device = std::string(model) == "intel-imc"
                                       ? R"({"address": "0x18", "jc42": "jc42.regs"})"
                                       : R"({"address": "0x51", "registers": "chip.regs"})";
        image_.write("machine.json", std::string(R"({"smbus": {"controller": ")") + model +
                                         R"(", "function": "00:10.0", "devices": [)" + device + "]}}");
        for (const auto& [slot, file] : modules) {
            image_.copyData(file, "spd/" + std::to_string(slot) + ".bin");
            spd_[slot] = readFile(dataPath(file));
        }
        machine_ = image_.load();
        ASSERT_TRUE(machine_);
        config_ = std::make_unique<MachineConfigSpace>(*machine_);
    }

    // The commands written to a register.
    std::vector<uint32_t> Commands(uint32_t reg) const {
        std::vector<uint32_t> values;
        for (const auto& [r, value] : config_->m_writes)
            if (r == reg) values.push_back(value);
        return values;
    }

    ManualClockGuard clock_;
    ImageDir image_;
    std::unique_ptr<machine::SimulatedMachine> machine_;
    std::unique_ptr<MachineConfigSpace> config_;
    std::string spd_[8];
};

TEST_F(Engines, FiveThousandSeriesReadWritesItsCommandAndStarts) {
    ASSERT_NO_FATAL_FAILURE(Load("intel-5000", {{3, kDdr3}}));
    Intel_5000X_SMBusRegisterSpace engine(config_.get(), kAddress | 0x74, 0x78);
    uint8_t value = 0;
    ASSERT_EQ(engine.ReadByteData(3, 0x40, &value), 1);
    EXPECT_EQ(value, uint8_t(spd_[3][0x40]));
    const auto commands = Commands(0x78);
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ(commands.front(), 0xA3400000u);
    EXPECT_EQ(commands.back(), 0xA3400000u | 0x08000000u) << "the clock released: the command runs";
    EXPECT_EQ(engine.ReadByteData(2, 0x40, &value), 0) << "an empty socket";
}

TEST_F(Engines, FiveThousandSeriesWriteCommand) {
    ASSERT_NO_FATAL_FAILURE(Load("intel-5000", {{0, kDdr3}}));
    Intel_5000X_SMBusRegisterSpace engine(config_.get(), kAddress | 0x74, 0x78);
    EXPECT_EQ(engine.WriteByte(1, 0x10, 0x55), 1);
    EXPECT_EQ(Commands(0x78).front(), 0xA1105501u);
    uint8_t value = 0;
    ASSERT_EQ(engine.ReadByteData(1, 0x10, &value), 1);
    EXPECT_EQ(value, 0x55);
    EXPECT_EQ(engine.WriteByte(0, 0x10, 0x55), 1) << "the EEPROM acknowledges";
    ASSERT_EQ(engine.ReadByteData(0, 0x10, &value), 1);
    EXPECT_EQ(value, uint8_t(spd_[0][0x10])) << "and keeps its bytes";
    EXPECT_EQ(engine.WriteByte(2, 0x10, 0x55), 0) << "nobody at the address";
}

TEST_F(Engines, ModuleSelectAbove7FailsWithoutAnAccess) {
    ASSERT_NO_FATAL_FAILURE(Load("intel-5000", {{0, kDdr3}}));
    Intel_5000X_SMBusRegisterSpace fbd(config_.get(), kAddress | 0x74, 0x78);
    Intel_E8500_SMBusRegisterSpace e8500(config_.get(), kAddress | 0x80);
    uint8_t value = 0;
    EXPECT_EQ(fbd.ReadByte(8, 0, &value), 0);
    EXPECT_EQ(e8500.ReadByte(8, 0, &value), 0);
    EXPECT_EQ(fbd.WriteByte(8, 0, 0), 0);
    EXPECT_EQ(config_->Accesses(), 0u);
}

TEST_F(Engines, E8500CommandFollowsItsStatusRegister) {
    ASSERT_NO_FATAL_FAILURE(Load("intel-e8500", {{5, kDdr3}}));
    Intel_E8500_SMBusRegisterSpace engine(config_.get(), kAddress | 0x80);
    EXPECT_EQ(engine.m_dwCommandRegister, 0x84u);
    uint8_t value = 0;
    ASSERT_EQ(engine.ReadByteData(5, 0x07, &value), 1);
    EXPECT_EQ(value, uint8_t(spd_[5][0x07]));
    EXPECT_EQ(Commands(0x84), (std::vector<uint32_t>{0xA5070000u}));
}

// An engine whose function does not answer (all ones) fails at once.
TEST_F(Engines, EngineOfAnAbsentFunctionFails) {
    ASSERT_NO_FATAL_FAILURE(Load("intel-5000", {{0, kDdr3}}));
    Intel_5000X_SMBusRegisterSpace fbd(config_.get(), 0x80000000u | 0x11u << 11 | 0x74, 0x78);
    Intel_SNBE_SMBusRegisterSpace snbe(config_.get(), 0x80000000u | 0x11u << 11, 0x180);
    uint8_t value = 0x5A;
    EXPECT_EQ(fbd.ReadByteData(0, 0, &value), 0);
    EXPECT_EQ(snbe.ReadByteData(0x50, 0, &value), 0);
    EXPECT_EQ(value, 0x5A);
    EXPECT_LT(config_->Accesses(), 10u) << "no polling of a function that is not there";
}

TEST_F(Engines, SandyBridgeServesThermalSensorsAndEepromsOnly) {
    ASSERT_NO_FATAL_FAILURE(Load("intel-imc", {{0, kDdr3}}));
    Intel_SNBE_SMBusRegisterSpace engine(config_.get(), kAddress, 0x180);
    uint8_t value = 0;
    EXPECT_EQ(engine.ReadByteData(0x2C, 0, &value), 0) << "device type 5";
    EXPECT_EQ(config_->Accesses(), 0u);
    ASSERT_EQ(engine.ReadByteData(0x18, 0x05, &value), 1);
    EXPECT_EQ(value, 0xC1) << "the temperature's high byte, sent first";
    EXPECT_EQ(Commands(0x184).back(), 0x80050000u);
    EXPECT_EQ(Commands(0x188).back() >> 28, 3u);
    EXPECT_EQ(engine.ReadByteData(0x51, 0x05, &value), 0) << "type 10, select 1: an empty socket";
    EXPECT_EQ(Commands(0x184).back(), 0x81050000u);
    EXPECT_EQ(Commands(0x188).back() >> 28, 10u);
    ASSERT_EQ(engine.ReadByteData(0x50, 0x05, &value), 1) << "the engine recovers from the failure";
    EXPECT_EQ(value, uint8_t(spd_[0][0x05]));
}

// The sensor sends its word most significant byte first: the low byte of
// the result is status bits 15:8.
TEST_F(Engines, SandyBridgeWordOrder) {
    ASSERT_NO_FATAL_FAILURE(Load("intel-imc", {}));
    Intel_SNBE_SMBusRegisterSpace engine(config_.get(), kAddress, 0x180);
    uint8_t low = 0, high = 0;
    ASSERT_EQ(engine.ReadWordData(0x18, 0x05, &low, &high), 1);
    EXPECT_EQ(low, 0xC1);
    EXPECT_EQ(high, 0xA0);
    EXPECT_EQ(Commands(0x184).back(), 0xA0050000u);
}

TEST_F(Engines, HaswellSelectsTheDdr4PageBeforeEachRequestAndLeavesPage0) {
    ASSERT_NO_FATAL_FAILURE(Load("intel-imc", {{0, kDdr4}}));
    const std::string& spd = spd_[0];
    Intel_HSWE_SMBusRegisterSpace engine(config_.get(), kAddress, 0x180);
    uint8_t value = 0;
    ASSERT_EQ(engine.ReadByteData(0x50, 0x140, &value), 1);
    EXPECT_EQ(value, uint8_t(spd[0x140]));
    // The page select: device type 6 (address 0x37: select 7), a write.
    bool selected = false;
    const auto& writes = config_->m_writes;
    for (size_t i = 0; i + 1 < writes.size(); ++i)
        selected = selected || (writes[i].first == 0x188 && writes[i].second >> 28 == 6 &&
                                writes[i + 1] == std::make_pair(0x184u, 0x8F000000u));
    EXPECT_TRUE(selected);
    // The last page select of a request that read page 1 is page 0 (address
    // 0x36: select 6): the EEPROMs are left as the other controllers leave them.
    const auto lastPageSelect = [&] {
        uint32_t last = 0;
        for (const auto& write : writes)
            if (write.first == 0x184 && (write.second & 0x08000000)) last = write.second;
        return last;
    };
    EXPECT_EQ(lastPageSelect(), 0x8E000000u);
    EXPECT_EQ(engine.m_iSelectedPage, 0);
    ASSERT_EQ(engine.ReadByteData(0x50, 0x10, &value), 1);
    EXPECT_EQ(value, uint8_t(spd[0x10]));

    uint8_t bytes[512] = {};
    EXPECT_EQ(engine.ReadBytes(0x50, 0, bytes, 512), 512u);
    EXPECT_EQ(std::memcmp(bytes, spd.data(), 512), 0);
    EXPECT_EQ(lastPageSelect(), 0x8E000000u);
    ASSERT_EQ(engine.ReadByteData(0x50, 0x10, &value), 1) << "page 0 reads after the whole EEPROM";
    EXPECT_EQ(value, uint8_t(spd[0x10]));
}

} // namespace
} // namespace vexa::test
