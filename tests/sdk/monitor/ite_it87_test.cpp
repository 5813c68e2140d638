// The ITE IT87 monitor on simulated chips found through detection: each
// model's name, voltage step and tables, temperatures, fan counts and
// divisors, the IT8705/IT8712 divisor search, the battery input and fan
// control.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sdk/core/sensor.h"
#include "sdk/monitor/ite_it87.h"
#include "tests/sdk/monitor/chip_monitor_test_support.h"
#include "tests/support/manual_clock_guard.h"

namespace vexa::test {
namespace {

struct IteCase {
    const char* name;
    uint16_t model;
    uint8_t subId;
    const char* monitorName;
    std::map<uint8_t, uint8_t> registers;
    std::vector<Reading> readings;
};

void PrintTo(const IteCase& c, std::ostream* os) { *os << c.name; }

ChipOnPorts Ite(uint16_t model, uint8_t subId, std::map<uint8_t, uint8_t> registers) {
    registers[0x58] = 0x90;
    registers[0x5B] = subId;
    return ChipWithMonitor(machine::SuperIoProtocol::Ite, {{0x20, uint8_t(model >> 8)}, {0x21, uint8_t(model)}},
                           {{0, registers}}, false);
}

class IteMonitor : public ChipMonitorTest {};

class IteModels : public IteMonitor, public ::testing::WithParamInterface<IteCase> {};

TEST_P(IteModels, ReadTheirInputs) {
    const IteCase& c = GetParam();
    startWithChips({Ite(c.model, c.subId, c.registers)});
    CHardwareMonitor& monitor = initSingleMonitor();
    ASSERT_NE(dynamic_cast<ITE_IT87_HardwareMonitor*>(&monitor), nullptr);
    EXPECT_STREQ(monitor.m_szName, c.monitorName);
    EXPECT_EQ(monitor.m_dwId, 0x900012u);
    expectReadings(monitor, c.readings, 1e-2f);
    EXPECT_FALSE(chip(0).inConfigMode());
}

std::map<uint8_t, uint8_t> Registers(std::map<uint8_t, uint8_t> more) {
    std::map<uint8_t, uint8_t> registers = {{0x20, 0x64}, {0x21, 0x0A}, {0x23, 0x8C}, {0x28, 0x05},
                                            {0x29, 0x2D}, {0x2A, 0x80}, {0x2B, 0xF6}, {0x13, 0x70}};
    for (const auto& [reg, value] : more) registers[reg] = value;
    return registers;
}

INSTANTIATE_TEST_SUITE_P(
    Models, IteModels,
    ::testing::Values(
        IteCase{"IT8728", 0x8728, 0x12, "ITE IT8728",
                Registers({{0x0C, 0x10}, {0x0D, 0x2C}, {0x18, 0x01}, {0x0E, 0xFF}, {0x19, 0xFF}, {0x0F, 0xFF},
                           {0x1A, 0x00}, {0x80, 0x2C}, {0x81, 0x01}, {0x15, 0x81}, {0x16, 0x40}}),
                {{SENSOR_VOLTAGE, "CPU VCORE", 1.2f},          // 0x64 x 12 mV
                 {SENSOR_VOLTAGE, "VIN1", kNoSensor},          // below 11
                 {SENSOR_VOLTAGE, "+5V", 1.68f * 168 / 100},
                 {SENSOR_VOLTAGE, "VBAT", 0.06f},              // 5 counts made it at start
                 {SENSOR_TEMPERATURE, "TMPIN0", 45.0f},
                 {SENSOR_TEMPERATURE, "TMPIN1", kNoSensor},    // 0x80
                 {SENSOR_TEMPERATURE, "TMPIN2", -10.0f},
                 {SENSOR_FAN, "FANIN0", 1.35e6f / (300 * 2)},
                 {SENSOR_FAN, "FANIN1", kNoSensor},            // 0xFFFF
                 {SENSOR_FAN, "FANIN2", 1.35e6f / (255 * 2)},  // 16-bit count 0x00FF; bit 2 of 0x0C ignored
                 {SENSOR_FAN, "FANIN3", 1.35e6f / (300 * 2)},
                 {SENSOR_FAN_PWM, "FANPWM0", 0.0f},            // automatic
                 {SENSOR_FAN_PWM, "FANPWM1", 50.0f},
                 {SENSOR_FAN_PWM, "FANPWM2", 0.0f}}},          // 0xFF: automatic
        IteCase{"IT8705", 0x8705, 0x00, "ITE IT87",
                Registers({{0x0B, 0x49}, {0x0C, 0x00}, {0x0D, 0x96}, {0x18, 0x01}, {0x0E, 0x50}, {0x0F, 0x4B}}),
                {{SENSOR_VOLTAGE, "CPU VCORE", 1.6f},         // 16 mV per count
                 {SENSOR_FAN, "FANIN0", 1.35e6f / (150 * 2)},  // 8-bit count, divisor code 1
                 {SENSOR_FAN, "FANIN1", 1.35e6f / (80 * 2)},
                 {SENSOR_FAN, "FANIN2", 1.35e6f / (75 * 8)},   // bit 6 of 0x0B
                 {SENSOR_FAN, "FANIN3", kNoSensor}}},
        IteCase{"IT8716SixteenBitFan", 0x8716, 0x00, "ITE IT87",
                Registers({{0x0B, 0x00}, {0x0C, 0x01}, {0x0D, 0x2C}, {0x18, 0x01}}),
                {{SENSOR_FAN, "FANIN0", 1.35e6f / 300}}},     // bit 0 of 0x0C: 16 bits; divisor code 0
        IteCase{"IT8721", 0x8721, 0x12, "ITE IT8721", Registers({{0x50, 0x00}, {0x0D, 0x2C}, {0x18, 0x01}}),
                {{SENSOR_VOLTAGE, "+12V", 1.2f * 1069 / 249},
                 {SENSOR_TEMPERATURE, "CPU", 45.0f},
                 {SENSOR_FAN, "CPU", 1.35e6f / (300 * 2)}}},
        IteCase{"IT8758", 0x8721, 0x12, "ITE IT8758", Registers({{0x50, 0xFA}, {0x21, 0x64}, {0x25, 0x64}}),
                {{SENSOR_VOLTAGE, "VIN1", 1.2f * 17.5f / 10},
                 {SENSOR_VOLTAGE, "CPU VCORE", 1.2f},
                 {SENSOR_TEMPERATURE, "Mainboard", kNoSensor}}},
        IteCase{"IT8732", 0x8732, 0x12, "ITE IT8732", Registers({}), {{SENSOR_VOLTAGE, "CPU VCORE", 1.09f}}},
        IteCase{"IT8772", 0x8771, 0x12, "ITE IT8772", Registers({}), {{SENSOR_VOLTAGE, "CPU VCORE", 1.2f}}}),
    [](const auto& test) { return std::string(test.param.name); });

// An IT8712 fan whose 8-bit count overflows gets ever larger divisors,
// 100 ms apart, up to code 7.
TEST_F(IteMonitor, DivisorSearchStopsAtCodeSeven) {
    ManualClockGuard clock;
    startWithChips({Ite(0x8712, 0x00, {{0x0B, 0x01}, {0x0D, 0xFF}, {0x0E, 0x50}, {0x13, 0x70}})});
    record();
    CHardwareMonitor& monitor = initSingleMonitor();
    const std::vector<std::pair<uint8_t, uint8_t>> expected = {{0x0B, 0x02}, {0x0B, 0x03}, {0x0B, 0x04},
                                                               {0x0B, 0x05}, {0x0B, 0x06}, {0x0B, 0x07}};
    EXPECT_EQ(registerWrites(), expected);
    EXPECT_EQ(static_cast<ITE_IT87_HardwareMonitor&>(monitor).m_dwFanDivisors[0], 128u);
    EXPECT_EQ(static_cast<ITE_IT87_HardwareMonitor&>(monitor).m_dwFanDivisors[1], 1u);  // code 0 in bits 3-5
    EXPECT_EQ(sensorLabelled(monitor, SENSOR_FAN, "FANIN0"), nullptr);  // still 0xFF: no fan
}

// The battery input may appear below 11 counts but is refreshed only from 11 on.
TEST_F(IteMonitor, BatteryRefreshesFromElevenCounts) {
    startWithChips({Ite(0x8728, 0x12, {{0x28, 0x05}})});
    CHardwareMonitor& monitor = initSingleMonitor();
    CSensor* battery = sensorLabelled(monitor, SENSOR_VOLTAGE, "VBAT");
    ASSERT_NE(battery, nullptr);
    monitor.WriteRegister(0x28, 0x08);
    monitor.Poll(0);
    EXPECT_EQ(battery->m_dwRawValue, 5u);
    monitor.WriteRegister(0x28, 0x0C);
    monitor.Poll(0);
    EXPECT_EQ(battery->m_dwRawValue, 12u);
}

TEST_F(IteMonitor, FanControlSetsDutyAndMode) {
    startWithChips({Ite(0x8728, 0x12, {{0x15, 0x81}, {0x16, 0x40}, {0x17, 0x20}})});
    CHardwareMonitor& monitor = initSingleMonitor();
    uint32_t mode = 0;
    EXPECT_EQ(monitor.GetControlMode(0, SENSOR_FAN_PWM, &mode), 1);
    EXPECT_EQ(mode, 1u);
    EXPECT_EQ(monitor.GetControlMode(0, SENSOR_FAN, &mode), 0);
    record();
    EXPECT_EQ(monitor.SetControlMode(0, SENSOR_FAN_PWM, 2), 1);  // automatic to manual: full duty
    EXPECT_EQ(monitor.SetSensorValue(1, SENSOR_FAN_PWM, 50.0f), 1);
    EXPECT_EQ(monitor.SetSensorValue(2, SENSOR_FAN_PWM, 100.0f), 1);
    EXPECT_EQ(monitor.SetControlMode(1, SENSOR_FAN_PWM, 1), 1);  // back to automatic, mode bits 0
    const std::vector<std::pair<uint8_t, uint8_t>> expected = {{0x15, 0x7F}, {0x16, 64}, {0x17, 0x7F},
                                                               {0x16, 0x80}};
    EXPECT_EQ(registerWrites(), expected);
}

} // namespace
} // namespace vexa::test
