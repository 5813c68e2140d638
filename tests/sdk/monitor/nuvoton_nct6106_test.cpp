// The Nuvoton NCT6106 and NCT6791D monitors on simulated register blocks:
// their register lists, scaling, no-fan counts and the NCT6106's bank 0.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sdk/core/sensor.h"
#include "sdk/monitor/nuvoton_nct6106.h"
#include "tests/sdk/monitor/chip_monitor_test_support.h"

namespace vexa::test {
namespace {

class NuvotonFixedRegisters : public ChipMonitorTest {};

TEST_F(NuvotonFixedRegisters, NCT6106ReadsBankZeroThroughTheProbe) {
    startWithChips({ChipWithMonitor(machine::SuperIoProtocol::Winbond, {{0x20, 0xC4}, {0x21, 0x10}},
                                    {{0, {{0x4E, 0x00}, {0x4F, 0xA3}, {0x58, 0xC1},  // identification
                                          {0x00, 0x6B}, {0x01, 0x64}, {0x04, 0x00}, {0x05, 0x7D},
                                          {0x06, 0x55}, {0x07, 0xD6}, {0x09, 0x40},  // 0x06 is no input
                                          {0x10, 0x9B}, {0x11, 0xFF},
                                          {0x30, 0x02}, {0x31, 0xC7}, {0x32, 0x00}, {0x33, 0x00}}},
                                     {1, {{0x00, 0x11}}}},
                                    true)});
    CHardwareMonitor& monitor = initSingleMonitor();
    ASSERT_NE(dynamic_cast<Nuvoton_NCT6106_HardwareMonitor*>(&monitor), nullptr);
    EXPECT_STREQ(monitor.m_szName, "Nuvoton NCT6106");
    expectReadings(monitor, {
                        {SENSOR_VOLTAGE, "VCORE", 0.856f},
                        {SENSOR_VOLTAGE, "+1.5V", 0.8f * 30 / 20},  // 0x64 x 8 mV x (10 + 20) / 20
                        {SENSOR_VOLTAGE, "+5V", kNoSensor},         // 0x00
                        {SENSOR_VOLTAGE, "+12V", 1.0f * 120 / 10},  // 0x7D x 8 mV x (110 + 10) / 10
                        {SENSOR_VOLTAGE, "3VSB", 3.424f},           // index 6 from register 0x07
                        {SENSOR_VOLTAGE, "VIN8", 0.512f},           // index 8 from register 0x09
                        {SENSOR_TEMPERATURE, "System", 27.0f},      // 0x9B & 0x7F
                        {SENSOR_TEMPERATURE, "CPU", kNoSensor},
                        {SENSOR_FAN, "System", 711.0f},
                        {SENSOR_FAN, "CPU", kNoSensor},  // count 0
                    });
    // An update writes nothing but the bank register, and leaves bank 0.
    monitor.WriteRegister(0x4E, 0x01);
    record();
    monitor.Update();
    const std::vector<std::pair<uint8_t, uint8_t>> bankZero = {{0x4E, 0x00}, {0x4E, 0x00}};
    EXPECT_EQ(registerWrites(), bankZero);
    EXPECT_EQ(monitorBlock(0)->bankSelection(), 0);
    EXPECT_FALSE(chip(0).inConfigMode());
}

TEST_F(NuvotonFixedRegisters, NCT6791DRegisterListAndNoFanCount) {
    startWithChips({ChipWithMonitor(machine::SuperIoProtocol::Winbond, {}, {{0, {
        {0x01, 0x7D}, {0x03, 0xD2}, {0x04, 0x7D}, {0x0B, 0x00}, {0x0E, 0xFF}, {0x00, 0x50},
        {0x20, 0x7F}, {0x52, 0xFF},
        {0x3A, 0x00}, {0x3B, 0xA5}, {0x3E, 0x00}, {0x3F, 0xA4}, {0x40, 0x05}, {0x41, 0xDC}}}}, false)});
    CHardwareMonitor& monitor = attach(new Nuvoton_NCT6791_HardwareMonitor);
    EXPECT_STREQ(monitor.m_szName, "Nuvoton NCT6791D");
    EXPECT_EQ(monitor.m_dwId, 0x005001C8u);
    expectReadings(monitor, {
                        {SENSOR_VOLTAGE, "+5V", 5.0f},     // 0x7D x 8 mV x 5
                        {SENSOR_VOLTAGE, "+3.3V", 3.36f},  // 0xD2 x 8 mV x 2
                        {SENSOR_VOLTAGE, "+12V", 12.0f},
                        {SENSOR_VOLTAGE, "VIN3", kNoSensor},
                        {SENSOR_VOLTAGE, "VIN4", kNoSensor},
                        {SENSOR_VOLTAGE, "VCORE", 1.28f},         // register 0x00
                        {SENSOR_TEMPERATURE, "Mainboard", 127.0f},  // 0x7F is a reading
                        {SENSOR_TEMPERATURE, "CPU", kNoSensor},
                        {SENSOR_FAN, "Chassis #1", kNoSensor},   // 0x00A5: no fan
                        {SENSOR_FAN, "Chassis #2", 164.0f},      // 0x00A4 is a count
                        {SENSOR_FAN, "Chassis #3", 1500.0f},
                    });
    EXPECT_TRUE(registerWrites().empty());
}

} // namespace
} // namespace vexa::test
