// The Fintek monitors on simulated chips found through detection: each
// member's register map, range tests, scaling, fan counts and PWM outputs,
// the F71882F's models and board quirks, fan control, and fans that stop.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sdk/core/sensor.h"
#include "sdk/monitor/fintek_f718xx.h"
#include "tests/sdk/monitor/chip_monitor_test_support.h"

namespace vexa::test {
namespace {

struct FintekCase {
    const char* name;
    uint16_t chipId;
    const char* monitorName;
    std::map<uint8_t, uint8_t> registers;
    std::vector<Reading> readings;
    uint32_t boardKey = 0x12345678;
};

void PrintTo(const FintekCase& c, std::ostream* os) { *os << c.name; }

ChipOnPorts Fintek(uint16_t chipId, const std::map<uint8_t, uint8_t>& registers) {
    return ChipWithMonitor(machine::SuperIoProtocol::Fintek,
                           {{0x20, uint8_t(chipId >> 8)}, {0x21, uint8_t(chipId)}, {0x23, 0x19}, {0x24, 0x34}},
                           {{0, registers}}, false);
}

class FintekMonitor : public ChipMonitorTest {};

class FintekMembers : public FintekMonitor, public ::testing::WithParamInterface<FintekCase> {};

TEST_P(FintekMembers, ReadTheirRegisterMaps) {
    const FintekCase& c = GetParam();
    startWithChips({Fintek(c.chipId, c.registers)});
    CHardwareMonitor& monitor = initSingleMonitor(c.boardKey);
    ASSERT_NE(dynamic_cast<Fintek_HardwareMonitor*>(&monitor), nullptr);
    EXPECT_STREQ(monitor.m_szName, c.monitorName);
    expectReadings(monitor, c.readings);
    EXPECT_FALSE(chip(0).inConfigMode());
}

// Registers of the F71882F-type map that the cases below share.
std::map<uint8_t, uint8_t> F71882FRegisters() {
    return {{0x20, 0xCE}, {0x21, 0x6B}, {0x22, 0x00}, {0x25, 0x6B},  // voltages
            {0x72, 0x2D}, {0x74, 0x80}, {0x76, 0x7F},                 // temperatures
            {0xA0, 0x05}, {0xA1, 0xDC}, {0xB0, 0x0F}, {0xB1, 0xFF}, {0xC0, 0x00}, {0xC1, 0x00},
            {0xD0, 0x03}, {0xD1, 0xE8},                                // fans
            {0xA3, 0xFF}, {0xB3, 0x00}, {0xD3, 0x66}};                 // PWM outputs
}

const std::vector<Reading> kF71882FCommon = {
    {SENSOR_VOLTAGE, "+3.3V", 3.296f},           // 0xCE x 8 mV x 2
    {SENSOR_VOLTAGE, "CPU VCORE", 0.856f},
    {SENSOR_VOLTAGE, "VIN2", kNoSensor},         // 0x00
    {SENSOR_VOLTAGE, "+12V", 0.856f * 220 / 20},
    {SENSOR_TEMPERATURE, "TMPIN0", 45.0f},
    {SENSOR_TEMPERATURE, "TMPIN1", kNoSensor},   // 0x80
    {SENSOR_TEMPERATURE, "TMPIN2", kNoSensor},   // 0x7F
    {SENSOR_FAN, "FANIN0", 1000.0f},             // 1,500,000 / 1500
    {SENSOR_FAN, "FANIN1", kNoSensor},           // 0x0FFF
    {SENSOR_FAN, "FANIN2", kNoSensor},           // 0
    {SENSOR_FAN_PWM, "CPU", 100.0f},
    {SENSOR_FAN_PWM, "System Fan 1", 0.0f},
};

INSTANTIATE_TEST_SUITE_P(
    Members, FintekMembers,
    ::testing::Values(
        FintekCase{"F71805F", 0x0406, "Fintek F71805F",
                   {{0x11, 0x6B}, {0x12, 0x00}, {0x14, 0x7D}, {0x1B, 0x2D}, {0x1C, 0xFF}, {0x1D, 0x7F},
                    {0x20, 0x05}, {0x21, 0xDC}, {0x22, 0x0F}, {0x23, 0xFF}, {0x24, 0xFF}, {0x25, 0xFF}},
                   {{SENSOR_VOLTAGE, "CPU VCORE", 0.856f},
                    {SENSOR_VOLTAGE, "VIN1", kNoSensor},
                    {SENSOR_VOLTAGE, "+5V", 1.0f * 168 / 100},  // 0x7D x 8 mV x (68 + 100) / 100
                    {SENSOR_TEMPERATURE, "TMPIN0", 45.0f},
                    {SENSOR_TEMPERATURE, "TMPIN1", kNoSensor},  // only 0xFF is absent here
                    {SENSOR_TEMPERATURE, "TMPIN2", 127.0f},
                    {SENSOR_FAN, "FANIN0", 1000.0f},
                    {SENSOR_FAN, "FANIN1", 1.5e6f / 4095},      // 0x0FFF is a count here
                    {SENSOR_FAN, "FANIN2", kNoSensor}}},
        FintekCase{"F71872F", 0x0341, "Fintek F71872F", {{0x11, 0x6B}}, {{SENSOR_VOLTAGE, "CPU VCORE", 0.856f}}},
        FintekCase{"F71882F", 0x0541, "Fintek F71882F", F71882FRegisters(),
                   Joined(kF71882FCommon, {{SENSOR_FAN, "FANIN3", 1500.0f}, {SENSOR_FAN_PWM, "System Fan 3", 40.0f}})},
        FintekCase{"F71882FG", 0x0601, "Fintek F71882FG", F71882FRegisters(),
                   Joined(kF71882FCommon,
                        {{SENSOR_FAN, "FANIN3", kNoSensor}, {SENSOR_FAN_PWM, "System Fan 3", kNoSensor}})},
        FintekCase{"F718xx", 0x1007, "Fintek F718xx", F71882FRegisters(), kF71882FCommon},
        FintekCase{"F71808E", 0x0901, "Fintek F71808", F71882FRegisters(),
                   Joined(kF71882FCommon, {{SENSOR_FAN, "FANIN3", 1500.0f}, {SENSOR_FAN_PWM, "System Fan 3", 40.0f}})},
        FintekCase{"F8000", 0x0581, "Fintek F8000",
                   {{0x20, 0x6B}, {0x21, 0x00}, {0x23, 0x6B}, {0x70, 0x2D}, {0x72, 0x7F}, {0xA0, 0x05}, {0xA1, 0xDC},
                    {0xB0, 0x0F}, {0xB1, 0xFF}},
                   {{SENSOR_VOLTAGE, "VIN0", 0.856f},
                    {SENSOR_VOLTAGE, "VIN1", kNoSensor},
                    {SENSOR_TEMPERATURE, "TMPIN0", 45.0f},
                    {SENSOR_TEMPERATURE, "TMPIN1", kNoSensor},
                    {SENSOR_FAN, "FANIN0", 1000.0f},
                    {SENSOR_FAN, "FANIN1", kNoSensor}}},
        FintekCase{"F81865F", 0x0704, "Fintek F81865",
                   {{0x24, 0x7D}, {0x25, 0xB0}, {0x72, 0x2D}, {0x74, 0x80}, {0xB0, 0x03}, {0xB1, 0xE8}},
                   {{SENSOR_VOLTAGE, "+5V", 1.0f * 24.7f / 4.7f},  // 0x7D x 8 mV x (20 + 4.7) / 4.7
                    {SENSOR_VOLTAGE, "VBAT", 2.816f},
                    {SENSOR_TEMPERATURE, "TMPIN0", 45.0f},
                    {SENSOR_TEMPERATURE, "TMPIN1", kNoSensor},
                    {SENSOR_FAN, "FANIN1", 1500.0f}}},
        FintekCase{"F71811", 0x1118, "Hardware monitor ID=0x19341118",
                   {{0x29, 0x6B}, {0x74, 0x2D}, {0xE0, 0x05}, {0xE1, 0xDC}},
                   {{SENSOR_VOLTAGE, "5VSB", 0.856f * 3}, {SENSOR_TEMPERATURE, "TMPIN2", 45.0f},
                    {SENSOR_FAN, "FANIN4", 1000.0f}}},
        // Boards whose register 0x0A says what the first diode measures.
        FintekCase{"F71882FOnCpuBoard", 0x0541, "Fintek F71882F", {{0x0A, 0x01}, {0x72, 0x2D}},
                   {{SENSOR_TEMPERATURE, "CPU", 45.0f}}, 0x47853E0},
        FintekCase{"F71882FOnNorthBridgeBoard", 0x0541, "Fintek F71882F", {{0x0A, 0x00}, {0x72, 0x2D}},
                   {{SENSOR_TEMPERATURE, "NB", 45.0f}}, 0xD17DCDF0},
        FintekCase{"F71882FOnQuirkBoardOtherValue", 0x0541, "Fintek F71882F", {{0x0A, 0x02}, {0x72, 0x2D}},
                   {{SENSOR_TEMPERATURE, "TMPIN0", 45.0f}}, 0x47853E0}),
    [](const auto& test) { return std::string(test.param.name); });

// A fan that stops reads 0 on every member; the F71805F's "no fan" count
// 0xFFFF included.
class FintekStoppedFan : public FintekMonitor, public ::testing::WithParamInterface<uint16_t> {};

TEST_P(FintekStoppedFan, ReadsZero) {
    const uint16_t chipId = GetParam();
    const uint8_t high = chipId == 0x0406 || chipId == 0x0341 ? 0x20 : 0xA0;  // the older map
    startWithChips({Fintek(chipId, {{high, 0x05}, {uint8_t(high + 1), 0xDC}})});
    CHardwareMonitor& monitor = initSingleMonitor();
    CSensor* fan = sensorLabelled(monitor, SENSOR_FAN, "FANIN0");
    ASSERT_NE(fan, nullptr);
    EXPECT_NEAR(fan->m_fValue, 1000.0f, 1e-3);
    monitor.WriteRegister(high, 0xFF);
    monitor.WriteRegister(uint8_t(high + 1), 0xFF);
    monitor.Poll(0);
    EXPECT_EQ(fan->m_dwRawValue, 0u);
    EXPECT_EQ(fan->m_fValue, 0.0f);
}

INSTANTIATE_TEST_SUITE_P(Members, FintekStoppedFan, ::testing::Values(0x0406, 0x0341, 0x0541, 0x0901, 0x0581, 0x0704));

// Duty = percent of 255, written to the output of the PWM sensor found.
TEST_F(FintekMonitor, FanControlWritesTheDuty) {
    startWithChips({Fintek(0x0541, {{0xA3, 0x10}, {0xB3, 0x10}})});
    CHardwareMonitor& monitor = initSingleMonitor();
    record();
    EXPECT_EQ(monitor.SetSensorValue(0, SENSOR_FAN_PWM, 100.0f), 1);
    EXPECT_EQ(monitor.SetSensorValue(1, SENSOR_FAN_PWM, 40.0f), 1);
    EXPECT_EQ(monitor.SetSensorValue(0, SENSOR_FAN, 40.0f), 1);  // no PWM class: nothing written
    EXPECT_EQ(monitor.SetSensorValue(7, SENSOR_FAN_PWM, 40.0f), 1);
    const std::vector<std::pair<uint8_t, uint8_t>> expected = {{0xA3, 255}, {0xB3, 102}};
    EXPECT_EQ(registerWrites(), expected);
}

// Reading writes nothing to the chip, except register 0x96 on the boards
// that need it cleared.
TEST_F(FintekMonitor, ReadingWritesNoRegister) {
    startWithChips({Fintek(0x0541, {{0x20, 0x6B}, {0x96, 0x12}})});
    record();
    initSingleMonitor(0x5A9428B4);
    const std::vector<std::pair<uint8_t, uint8_t>> expected = {{0x96, 0xFF}};
    EXPECT_EQ(registerWrites(), expected);
}

} // namespace
} // namespace vexa::test
