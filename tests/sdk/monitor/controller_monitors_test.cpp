// The abit uGuru (both generations), the Apple SMC, and the AMD SB6xx/7xx
// and Gigabyte DES monitors, on simulated machines whose SMBIOS and
// firmware name the boards their probes look for.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "machine/devices/abit_uguru.h"
#include "machine/devices/apple_smc.h"
#include "machine/devices/indexed_registers.h"
#include "sdk/core/sensor.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/register_space_lpc.h"
#include "sdk/monitor/abit_uguru.h"
#include "sdk/monitor/asus_monitors.h"
#include "sdk/monitor/southbridge_voltage_monitors.h"
#include "sdk/system/acpi_interface.h"
#include "tests/sdk/monitor/board_source_test_support.h"
#include "tests/support/image_dir.h"

namespace vexa::test {
namespace {

using Clock = std::chrono::steady_clock;
using machine::AbitUGuruSettings;

const SmbiosNames kAbit{"http://www.abit.com.tw/", "AN8", "http://www.abit.com.tw/", "AN8 (Fatal1ty)"};
const SmbiosNames kMacBookPro{"Apple Inc.", "MacBookPro5,1", "Apple Inc.", "Mac-F42D86C8"};

AbitUGuruSettings::Bank Bank(std::initializer_list<std::pair<uint8_t, uint8_t>> values) {
    AbitUGuruSettings::Bank bank{};
    for (auto [reg, value] : values) bank[reg] = value;
    return bank;
}

class UGuruMonitors : public BoardSourceTest {
protected:
    void startWith(AbitUGuruSettings settings) {
        std::vector<std::unique_ptr<machine::PortDevice>> devices;
        add<machine::AbitUGuru>(devices, std::move(settings));
        startPlatform(kAbit, std::move(devices));
    }
};

TEST_F(UGuruMonitors, Generation2003ScalesItsRows) {
    AbitUGuruSettings uguru;
    uguru.banks[0x21] = Bank({{0x06, 200}, {0x00, 42}});
    uguru.banks[0x26] = Bank({{0x00, 45}});
    startWith(uguru);
    initialised();
    CHardwareMonitor* monitor = monitorWithId(0x147B0003);
    ASSERT_NE(monitor, nullptr);
    EXPECT_STREQ(monitor->m_szName, "abit UGuru 2003");
    CSensor* five = sensor(monitor, SENSOR_VOLTAGE, 7);
    EXPECT_STREQ(five->m_szName, "ATX +5V");
    EXPECT_EQ(five->m_dwId, 0x3000107u);
    EXPECT_NEAR(five->m_fValue, 4.902, 0.001);  // 6250 × 200 / 255 mV
    EXPECT_NEAR(sensor(monitor, SENSOR_FAN, 0)->m_fValue, 2700.0, 0.01);  // 15300 × 45 / 255
    EXPECT_FLOAT_EQ(sensor(monitor, SENSOR_TEMPERATURE, 0)->m_fValue, 42.0f);
}

// A 2003 controller whose second bank does not answer is no 2003
// controller, and a 2005 read does not answer either: no monitor, and the
// spaces the probe made are gone.
TEST_F(UGuruMonitors, ControllerThatAnswersNeitherProtocolGivesNoMonitor) {
    AbitUGuruSettings uguru;
    uguru.banks[0x21] = Bank({});
    startWith(uguru);
    initialised();
    EXPECT_EQ(monitorWithId(0x147B0003), nullptr);
    EXPECT_EQ(monitorWithId(0x147B0005), nullptr);
    EXPECT_EQ(sdk().FindRegisterSpace(0, 0xE0, REGSPACE_UGURU), nullptr);
    EXPECT_EQ(sdk().FindRegisterSpace(0, 0xE0, REGSPACE_UGURU_2005), nullptr);
}

AbitUGuruSettings Generation2005(uint8_t boardId) {
    AbitUGuruSettings uguru;
    uguru.generation = AbitUGuruSettings::Generation::UGuru2005;
    uguru.banks[8] = Bank({});
    for (unsigned offset = 0; offset < 0x28; ++offset) uguru.banks[8][0x80 + offset] = uint8_t(0x40 + offset);
    uguru.banks[9] = Bank({{0x0A, 0x00}, {0x0B, boardId}});
    return uguru;
}

class UGuru2005Boards : public UGuruMonitors, public ::testing::WithParamInterface<uint8_t> {};

// Every board id with a table reads its block and updates its sensors.
TEST_P(UGuru2005Boards, ReadsTheBoardsTable) {
    startWith(Generation2005(GetParam()));
    initialised();
    auto* monitor = static_cast<abit_uGuru2005_HardwareMonitor*>(monitorWithId(0x147B0005));
    ASSERT_NE(monitor, nullptr);
    EXPECT_EQ(monitor->m_dwBoardId, GetParam());
    CSensor* cpu = sensor(monitor, SENSOR_TEMPERATURE, 0);
    ASSERT_NE(cpu, nullptr);
    EXPECT_EQ(cpu->m_dwId, 0x1000200u);
    EXPECT_EQ(cpu->m_dwRawValue, 0x40u + 0x18);
    CSensor* core = sensor(monitor, SENSOR_VOLTAGE, 0);
    ASSERT_NE(core, nullptr);
    EXPECT_STREQ(core->m_szName, "CPU Core");
    EXPECT_TRUE(core->IsValid());
}

INSTANTIATE_TEST_SUITE_P(Ids, UGuru2005Boards,
                         ::testing::Values(12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29,
                                           30, 32));

TEST_F(UGuruMonitors, Generation2005BlockEndsAfterTheHighestOffset) {
    startWith(Generation2005(13));  // highest offset 0x27
    initialised();
    auto* monitor = static_cast<abit_uGuru2005_HardwareMonitor*>(monitorWithId(0x147B0005));
    ASSERT_NE(monitor, nullptr);
    EXPECT_EQ(monitor->m_dwBlockLength, 40u);
    EXPECT_STREQ(sensor(monitor, SENSOR_FAN, 7)->m_szName, "AUX5");
    EXPECT_FLOAT_EQ(sensor(monitor, SENSOR_FAN, 7)->m_fValue, 60.0f * (0x40 + 0x27));
}

TEST_F(UGuruMonitors, Generation2005BoardWithoutTableHasNoSensors) {
    startWith(Generation2005(31));
    initialised();
    CHardwareMonitor* monitor = monitorWithId(0x147B0005);
    ASSERT_NE(monitor, nullptr);
    EXPECT_EQ(monitor->CreateSensors(), 0);
    EXPECT_EQ(monitor->Update(), 0);
    EXPECT_EQ(monitor->GetSensorList(0xFFFFFFFF), nullptr);
}

// Rows beyond a run cut short keep no reading from bytes never read, and a
// row with a divisor of 0 shows none.
TEST_F(UGuruMonitors, Generation2005ShortRunAndZeroDivisorLeaveNoReading) {
    AbitUGuruSettings uguru = Generation2005(18);
    uguru.runLimit = 0x20;  // up to the fans
    startWith(uguru);
    initialised();
    CHardwareMonitor* monitor = monitorWithId(0x147B0005);
    ASSERT_NE(monitor, nullptr);
    EXPECT_TRUE(sensor(monitor, SENSOR_TEMPERATURE, 0)->IsValid());
    EXPECT_FALSE(sensor(monitor, SENSOR_FAN, 0)->IsValid() && sensor(monitor, SENSOR_FAN, 0)->m_fValue > 0);
    EXPECT_EQ(sensor(monitor, SENSOR_FAN, 0)->m_dwRawValue, CSensor::kNoRawValue);
    EXPECT_EQ(sensor(monitor, SENSOR_FAN, 3)->m_dwRawValue, CSensor::kNoRawValue);
}

// ---- Apple SMC ----

machine::AppleSmcSettings MacBookProKeys() {
    machine::AppleSmcSettings smc;
    smc.keys["TA0P"] = {40, 0};
    smc.keys["TB0T"] = {0x70, 0};  // 112: no sensor
    smc.keys["TC0D"] = {55, 0};
    smc.keys["FNum"] = {1};
    smc.keys["F0Ac"] = {0x1F, 0x40};  // 2000 rpm
    std::vector<uint8_t> description(16, 0);
    std::memcpy(description.data() + 4, "Leftside    ", 12);
    smc.keys["F0ID"] = description;
    smc.keys["MOCN"] = {0, 0};
    smc.keys["MO_X"] = {0xFF, 0xF6};  // -10
    smc.keys["MO_Y"] = {0x00, 0x05};
    return smc;
}

class AppleSMCMonitor : public BoardSourceTest {
protected:
    machine::AppleSmc* startWith(machine::AppleSmcSettings settings, const SmbiosNames& names = kMacBookPro) {
        std::vector<std::unique_ptr<machine::PortDevice>> devices;
        machine::AppleSmc* smc = add<machine::AppleSmc>(devices, std::move(settings));
        startPlatform(names, std::move(devices));
        return smc;
    }
};

TEST_F(AppleSMCMonitor, ReadsTemperaturesFansAndMotion) {
    machine::AppleSmc* smc = startWith(MacBookProKeys());
    initialised();
    CHardwareMonitor* apple = monitorWithId(0x106BA001);
    ASSERT_NE(apple, nullptr);
    EXPECT_STREQ(sensor(apple, SENSOR_TEMPERATURE, 0)->m_szName, "Ambient");
    EXPECT_EQ(sensor(apple, SENSOR_TEMPERATURE, 0)->m_dwRawValue, 40u);
    EXPECT_EQ(sensor(apple, SENSOR_TEMPERATURE, 1), nullptr);
    EXPECT_EQ(sensor(apple, SENSOR_TEMPERATURE, 2)->m_dwId, 0x1000202u);  // "CPU Diode"
    EXPECT_STREQ(sensor(apple, SENSOR_FAN, 0)->m_szName, "Leftside    ");
    EXPECT_FLOAT_EQ(sensor(apple, SENSOR_FAN, 0)->m_fValue, 2000.0f);
    EXPECT_FLOAT_EQ(sensor(apple, SENSOR_POSITION, 0)->m_fValue, -10.0f);
    EXPECT_FLOAT_EQ(sensor(apple, SENSOR_POSITION, 1)->m_fValue, 5.0f);
    // MO_Z does not answer: the axis has no reading.
    EXPECT_FALSE(sensor(apple, SENSOR_POSITION, 2)->IsValid());
    const std::string text = report(false);
    const size_t z = text.find("(Z)");
    ASSERT_NE(z, std::string::npos) << text;
    EXPECT_NE(text.rfind("n.a.", z), std::string::npos);
    EXPECT_GT(text.rfind("n.a.", z), text.rfind('\n', z));
    EXPECT_EQ(smc->key("MOCN"), (std::vector<uint8_t>{0xE0, 0x00}));
}

TEST_F(AppleSMCMonitor, FanCountAboveSixteenIsClamped) {
    machine::AppleSmcSettings smc = MacBookProKeys();
    smc.keys["FNum"] = {40};
    for (int fan = 0; fan < 20; ++fan) smc.keys[std::string("F") + char(fan < 10 ? '0' + fan : 'A' + fan - 10) + "Ac"] = {0x10, 0};
    startWith(smc);
    initialised();
    CHardwareMonitor* apple = monitorWithId(0x106BA001);
    ASSERT_NE(apple, nullptr);
    EXPECT_NE(sensor(apple, SENSOR_FAN, 9), nullptr);
    for (uint32_t fan = 16; fan < 40; ++fan) EXPECT_EQ(sensor(apple, SENSOR_FAN, fan), nullptr) << fan;
}

TEST_F(AppleSMCMonitor, SilentControllerLeavesEverySensorOutWithinTheWaitBounds) {
    machine::AppleSmcSettings smc = MacBookProKeys();
    smc.answers = false;
    startWith(smc);
    const auto start = Clock::now();
    initialised();
    EXPECT_LT(elapsedMs(start), 2000.0);
    CHardwareMonitor* apple = monitorWithId(0x106BA001);
    ASSERT_NE(apple, nullptr);
    EXPECT_EQ(apple->GetSensorList(0xFFFFFFFF), nullptr);
    EXPECT_NE(report(false).find("Apple SMC"), std::string::npos);
}

TEST_F(AppleSMCMonitor, MacProWithoutItsModelNameGetsNoMonitor) {
    startWith(MacBookProKeys(), SmbiosNames{"Apple Inc.", "MacPro1,1", "Apple Inc.", "Mac-F4208DC8"});
    initialised();
    EXPECT_EQ(monitorWithId(0x106BA001), nullptr);
}

// ---- AMD SB6xx/7xx and Gigabyte DES ----

class SouthbridgeMonitors : public BoardSourceTest {
protected:
    machine::IndexedRegisters* startWithPorts(uint16_t indexPort, uint16_t dataPort,
                                              std::initializer_list<std::pair<uint8_t, uint8_t>> values,
                                              machine::SimulatedHardware hardware = {}) {
        machine::IndexedRegistersSettings settings;
        settings.indexPort = indexPort;
        settings.dataPort = dataPort;
        for (auto [reg, value] : values) settings.registers[reg] = value;
        std::vector<std::unique_ptr<machine::PortDevice>> devices;
        machine::IndexedRegisters* block = add<machine::IndexedRegisters>(devices, settings);
        startPlatform({"Gigabyte", "Desktop", "Gigabyte Technology Co., Ltd.", "GA-MA790X"}, std::move(devices),
                      std::move(hardware));
        return block;
    }
    CLPCRegisterSpace* spaceAt(uint32_t base) {
        auto* ports = new CPortIOSpace(base, 0x100);
        sdk().m_pIOSpaces->AddTail(ports);
        auto* space = new CLPCRegisterSpace(ports, 0, 1);
        sdk().m_pRegisterSpaces->AddTail(space);
        return space;
    }
};

TEST_F(SouthbridgeMonitors, SB600VoltageFromTheAnalogInputs) {
    startWithPorts(0xCD0, 0xCD1, {{0x5A, 0x9C}, {0x59, 0x40}, {0x5E, 0x00}, {0x5D, 0x00}, {0x62, 0x40}, {0x61, 0x00}});
    AMD_SB600_HardwareMonitor monitor(0x54A5E5, spaceAt(0xCD0));
    EXPECT_EQ(monitor.CreateSensors(), 1);
    CSensor* core = sensor(&monitor, SENSOR_VOLTAGE, 0);
    ASSERT_NE(core, nullptr);
    EXPECT_STREQ(core->m_szName, "CPU VCore");
    EXPECT_EQ(core->m_dwRawValue, 625u);
    EXPECT_NEAR(core->m_fValue, 625.0 / 341, 0.001);
    EXPECT_EQ(sensor(&monitor, SENSOR_VOLTAGE, 1), nullptr);  // 0: no input
    EXPECT_STREQ(sensor(&monitor, SENSOR_VOLTAGE, 2)->m_szName, "+12V");
}

TEST_F(SouthbridgeMonitors, SB600TwoVoltageBoardNeverReadsTheFirstInput) {
    startWithPorts(0xCD0, 0xCD1, {{0x5A, 0x9C}, {0x59, 0x40}, {0x5E, 0x30}, {0x62, 0x40}});
    AMD_SB600_HardwareMonitor monitor(0x6EEF158C, spaceAt(0xCD0));
    record();
    monitor.CreateSensors();
    for (const machine::Access& access : hw().accessLog()) {
        if (access.kind == machine::AccessKind::Port && access.dir == machine::AccessDir::Write && access.address == 0xCD0) {
            EXPECT_TRUE(access.value != 0x5A && access.value != 0x59);
        }
    }
    EXPECT_EQ(sensor(&monitor, SENSOR_VOLTAGE, 0), nullptr);
    EXPECT_STREQ(sensor(&monitor, SENSOR_VOLTAGE, 1)->m_szName, "CPU IO");
    EXPECT_STREQ(sensor(&monitor, SENSOR_VOLTAGE, 2)->m_szName, "+12V");
}

// The firmware's 'TAMG' table with the 48-byte "ESDT" record naming the
// sensor ports: base and index offset in the word at 26, the data port's
// offset in the word at 28, the voltage register and millivolts per step
// at 30 and 32, the current register and its multiplier at 34 and 36.
machine::AcpiTable TamgTable(uint16_t indexWord, uint16_t dataWord, uint32_t currentMultiplier) {
    std::vector<uint8_t> table(36 + 48, 0);
    std::memcpy(table.data(), "TAMG", 4);
    table[4] = uint8_t(table.size());
    uint8_t* record = table.data() + 36;
    std::memcpy(record, "ESDT", 4);
    record[26] = uint8_t(indexWord);
    record[27] = uint8_t(indexWord >> 8);
    record[28] = uint8_t(dataWord);
    record[30] = 0x11;
    record[32] = 25;  // 25 mV per step
    record[34] = 0x10;
    for (int i = 0; i < 4; ++i) record[36 + i] = uint8_t(currentMultiplier >> (8 * i));
    uint8_t sum = 0;
    for (uint8_t byte : table) sum = uint8_t(sum + byte);
    table[9] = uint8_t(-sum);
    return {"TAMG", table};
}

struct DesCase {
    uint16_t indexWord;
    uint32_t multiplier;
    bool monitor;
    float amperes;  // < 0: no current sensor
};

class GigabyteDES : public SouthbridgeMonitors, public ::testing::WithParamInterface<DesCase> {};

TEST_P(GigabyteDES, RecordNamesThePortsAndTheScales) {
    const DesCase& c = GetParam();
    machine::SimulatedHardware hardware;
    hardware.acpiTables.push_back(TamgTable(c.indexWord, 0x0001, c.multiplier));
    const uint16_t base = c.indexWord & 0xFFF0;
    startWithPorts(base, uint16_t(base + 1), {{0x10, 100}, {0x11, 50}}, std::move(hardware));
    ASSERT_TRUE(sdk().CreateACPIInterface(0, 0, 0));
    ASSERT_NE(sdk().m_pACPI->m_pBoardRecord, nullptr);
    initialised();
    CHardwareMonitor* des = monitorWithId(0x1458400A);
    ASSERT_EQ(des != nullptr, c.monitor);
    if (!des) return;
    EXPECT_NEAR(sensor(des, SENSOR_VOLTAGE, 0)->m_fValue, 1.25, 0.001);
    CSensor* current = sensor(des, SENSOR_CURRENT, 0);
    if (c.amperes < 0) {
        EXPECT_EQ(current, nullptr);
        EXPECT_EQ(sensor(des, SENSOR_POWER, 0), nullptr);
        return;
    }
    ASSERT_NE(current, nullptr);
    EXPECT_NEAR(current->m_fValue, c.amperes, 0.001);
    EXPECT_NEAR(sensor(des, SENSOR_POWER, 0)->m_fValue, 1.25 * c.amperes, 0.001);
}

INSTANTIATE_TEST_SUITE_P(Records, GigabyteDES,
                         ::testing::Values(DesCase{0x06F0, 2000, true, 2.0f},   // 100 × 2000 = 200000: 2 A
                                           DesCase{0x06F0, 50, true, -1.0f},    // 5000: ignored
                                           DesCase{0x0050, 2000, false, 0},     // below 0x100
                                           DesCase{0x0CF8, 2000, false, 0}));   // the PCI configuration ports

} // namespace
} // namespace vexa::test

namespace vexa::test {
namespace {

// The manifest's "controllers" section builds the same device models.
TEST(ControllersManifest, PutsTheControllersOnThePortsAndTheHandlerBehindTheSMI) {
    std::unique_ptr<machine::Machine> machine = simulatedMachine(R"({"controllers": {
        "embedded_controller": {"registers": {"0x84": "0x10"}},
        "uguru": {"generation": "2003", "banks": {"0x21": {"0x06": 200}}},
        "apple_smc": {"keys": {"FNum": "01"}},
        "indexed_registers": [{"name": "SB600 analog inputs", "index_port": "0xCD0", "data_port": "0xCD1",
                               "registers": {"0x5A": "0x9C"}}],
        "dell_smi": {"temperatures": {"0": 45}}}})");
    ASSERT_NE(machine, nullptr);
    uint32_t value = 0;
    ASSERT_TRUE(machine->writePort(0x66, 1, 0x80));
    ASSERT_TRUE(machine->writePort(0x62, 1, 0x84));
    ASSERT_TRUE(machine->readPort(0x62, 1, value));
    EXPECT_EQ(value, 0x10u);
    ASSERT_TRUE(machine->writePort(0xCD0, 1, 0x5A));
    ASSERT_TRUE(machine->readPort(0xCD1, 1, value));
    EXPECT_EQ(value, 0x9Cu);
    std::array<uint32_t, 4> registers{0x10A3, 0, 0, 0};
    ASSERT_TRUE(machine->smiCall(registers));
    EXPECT_EQ(registers[0], 45u);
}

TEST(ControllersManifest, RejectsAControllerOnATakenPortAndUnknownKeys) {
    ImageDir image;
    image.write("machine.json", R"({"controllers": {"indexed_registers": [
        {"index_port": "0x62", "data_port": "0x63"}], "embedded_controller": {}}})");
    image.copyData("cpuid/intel-nehalem-westmere/intel-core-i7-cpu-920.test", "cpuid.txt");
    std::string error;
    EXPECT_EQ(machine::loadImage(image.path(), error), nullptr);
    EXPECT_NE(error.find("controllers"), std::string::npos) << error;
    ImageDir misspelt;
    misspelt.write("machine.json", R"({"controllers": {"apple_smc": {"kyes": {}}}})");
    misspelt.copyData("cpuid/intel-nehalem-westmere/intel-core-i7-cpu-920.test", "cpuid.txt");
    EXPECT_EQ(machine::loadImage(misspelt.path(), error), nullptr);
    EXPECT_NE(error.find("kyes"), std::string::npos) << error;
}

} // namespace
} // namespace vexa::test

namespace vexa::test {
namespace {

// The ROG chips read through whatever space and request the factory gives
// them; here an index/data pair stands for the SMBus chip at 0x38.
class ROGMonitor : public SouthbridgeMonitors {};

TEST_F(ROGMonitor, BoardTableNamesTheVoltagesAndRejectsTheLargestReadings) {
    startWithPorts(0x290, 0x291,
                   {{0x90, 0xE8}, {0x91, 0x03},    // VIN0 1000 mV
                    {0x92, 0xFE}, {0x93, 0xFF},    // VIN1 0xFFFE: rejected
                    {0x94, 0xFD}, {0x95, 0xFF},    // VIN2 0xFFFD: accepted
                    {0x96, 0xDC}, {0x97, 0x05},    // VIN3 1500 mV, no row on this board
                    {0xA2, 0xB8}, {0xA3, 0x0B}});  // FANIN1 3000 rpm
    Asus_ROG_38_HardwareMonitor rog;
    rog.m_dwBoardKey = 0xF279AEE8;
    rog.m_pRegisterSpace = spaceAt(0x290);
    rog.m_pRequest = new CLPCRequest;
    EXPECT_EQ(rog.CreateSensors(), 1);
    EXPECT_STREQ(sensor(&rog, SENSOR_VOLTAGE, 0)->m_szName, "CPU");
    EXPECT_NEAR(sensor(&rog, SENSOR_VOLTAGE, 0)->m_fValue, 1.0, 0.001);
    EXPECT_EQ(sensor(&rog, SENSOR_VOLTAGE, 1), nullptr);
    EXPECT_EQ(sensor(&rog, SENSOR_VOLTAGE, 2)->m_dwRawValue, 0xFFFDu);
    EXPECT_STREQ(sensor(&rog, SENSOR_VOLTAGE, 3)->m_szName, "VIN3");
    EXPECT_STREQ(sensor(&rog, SENSOR_FAN, 1)->m_szName, "CPU");
    EXPECT_FLOAT_EQ(sensor(&rog, SENSOR_FAN, 1)->m_fValue, 3000.0f);
}

} // namespace
} // namespace vexa::test
