// The SMBus sensor-chip monitors on registers in memory: what each chip's
// registers read as (scaling, formats, counts and divisors), which inputs
// become sensors, banks put back, and the ADT7475's fan outputs.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <optional>

#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/hw/io_request.h"
#include "sdk/monitor/analog_devices_adt74xx.h"
#include "sdk/monitor/chip_monitor_factory.h"
#include "sdk/monitor/hardware_monitor.h"
#include "sdk/monitor/lpcio.h"
#include "sdk/monitor/nuvoton_smbus_monitors.h"
#include "sdk/monitor/regulator_controller_monitors.h"
#include "sdk/monitor/regulator_current_monitors.h"
#include "tests/sdk/monitor/sensor_chip_registers.h"

namespace vexa::test {
namespace {

// A chip's monitor as the factory makes it, on registers in memory.
class ChipMonitor : public ::testing::Test {
protected:
    void TearDown() override {
        monitor_.reset();
        ReleaseSDK();
    }

    CHardwareMonitor& Make(uint32_t vendor, uint32_t chip) {
        const MonitorClass monitorClass = SelectMonitorClass(vendor, chip);
        const ChipMonitorCreator create = BuiltInChipMonitors().creators[static_cast<size_t>(monitorClass)];
        EXPECT_NE(create, nullptr) << std::hex << vendor << ":" << chip;
        monitor_.reset(create ? create(chip) : new CHardwareMonitor(MONITOR_CHIP, 0));
        monitor_->m_pRegisterSpace = &registers_;
        monitor_->m_pRequest = new CSMBusRequest;
        return *monitor_;
    }
    // Init's first pass: the sensors found, then a forced poll.
    CHardwareMonitor& Start(uint32_t vendor, uint32_t chip) {
        CHardwareMonitor& monitor = Make(vendor, chip);
        monitor.CreateSensors();
        monitor.Poll(1);
        return monitor;
    }

    SensorChipRegisters registers_;
    std::unique_ptr<CHardwareMonitor> monitor_;
};

// ---- Readings ----

struct ReadingCase {
    const char* name;
    uint32_t vendor, chip;
    std::map<uint8_t, uint8_t> registers;  // bank 0; others read 0
    uint32_t sensorClass;
    uint32_t index;                        // position in the labelled list
    std::optional<float> value;            // none: no such sensor
    const char* label = nullptr;
};

void PrintTo(const ReadingCase& c, std::ostream* os) { *os << c.name; }

class Readings : public ChipMonitor, public ::testing::WithParamInterface<ReadingCase> {};

TEST_P(Readings, RegistersReadAsTheChipMeansThem) {
    const ReadingCase& c = GetParam();
    registers_.Set(c.registers);
    CHardwareMonitor& monitor = Start(c.vendor, c.chip);
    CSensor* sensor = monitor.GetSensor(c.sensorClass, c.index);
    if (!c.value) {
        EXPECT_EQ(sensor, nullptr) << sensor->m_szName;
        return;
    }
    ASSERT_NE(sensor, nullptr);
    EXPECT_NEAR(sensor->m_fValue, *c.value, std::fabs(*c.value) * 1e-4 + 1e-3);
    if (c.label) { EXPECT_STREQ(sensor->m_szName, c.label); }
}

constexpr uint32_t V = SENSOR_VOLTAGE, T = SENSOR_TEMPERATURE, F = SENSOR_FAN, PWM = SENSOR_FAN_PWM;
constexpr uint32_t kAD = CHIP_VENDOR_ANALOG_DEVICES, kMaxim = CHIP_VENDOR_MAXIM, kNuvoton = CHIP_VENDOR_NUVOTON;
constexpr uint32_t kW83795G = 0x790000;
constexpr uint32_t kSMSC = CHIP_VENDOR_SMSC, kNS = CHIP_VENDOR_NATIONAL_SEMICONDUCTOR;

INSTANTIATE_TEST_SUITE_P(
    Chips, Readings,
    ::testing::Values(
        // W83795G: the fan byte is the top of a 12-bit count; negative
        // temperatures and 0x7F are no readings.
        ReadingCase{"W83795GFanTopByte", CHIP_VENDOR_WINBOND, kW83795G, {{0x2E, 0x01}}, F, 0, 84375.0f, "FANIN0"},
        ReadingCase{"W83795GTemperature", CHIP_VENDOR_WINBOND, kW83795G, {{0x21, 0x30}}, T, 0, 48.0f},
        ReadingCase{"W83795GNegativeTemperature", CHIP_VENDOR_WINBOND, kW83795G, {{0x21, 0x85}}, T, 0, std::nullopt},
        ReadingCase{"W83795GTemperature7F", CHIP_VENDOR_WINBOND, kW83795G, {{0x21, 0x7F}}, T, 0, std::nullopt},
        ReadingCase{"W83795G3VddTimesThree", CHIP_VENDOR_WINBOND, kW83795G, {{0x1C, 0xCE}}, V, 0, 0xCE * 0.008f * 3, "3VDD"},
        // NCT7802: ten bits, the low two from register 0x0F.
        ReadingCase{"Nct7802TenBitVoltage", kNuvoton, 0xC3, {{0x09, 0x80}, {0x0F, 0xC0}}, V, 0, 1.030f, "VCC"},
        ReadingCase{"Nct7802FanThirteenBits", kNuvoton, 0xC3, {{0x10, 0x02}, {0x13, 0x08}}, F, 0, 1.35e6f / 65},
        // Remote diodes read as signed bytes.
        ReadingCase{"Adm1021RemoteBelowZero", kAD, 0x42, {{0x01, 0xF6}}, T, 1, -10.0f, "Remote 1"},
        ReadingCase{"Max1617BelowZeroStaysSigned", kMaxim, 0x16, {{0x00, 0x20}, {0x01, 0xFF}}, T, 1, -1.0f, "Remote"},
        ReadingCase{"Max6648Local", kMaxim, 0x59, {{0x00, 0x2A}}, T, 0, 42.0f, "Local"},
        ReadingCase{"Adm1033OffsetSixtyFour", kAD, 0x33, {{0x41, 0x5A}}, T, 0, 26.0f},
        ReadingCase{"Adm1033BelowZero", kAD, 0x33, {{0x41, 0x3F}}, T, 0, -1.0f},
        ReadingCase{"Adm1033RemoteAt0x43", kAD, 0x33, {{0x41, 0x50}, {0x42, 0x7F}, {0x43, 0x60}}, T, 1, 32.0f},
        // The ADT7461's remote reading has eighths of a degree in 0x10.
        ReadingCase{"Adt7461RemoteWithFraction", kAD, 0x51, {{0x00, 0x20}, {0x01, 0x28}, {0x10, 0x40}}, T, 1, 40.25f},
        ReadingCase{"Adt7461RemoteBelowZero", kAD, 0x51, {{0x00, 0x20}, {0x01, 0xF6}, {0x10, 0xE0}}, T, 1, -9.125f},
        ReadingCase{"Adt7461NoRemote", kAD, 0x51, {{0x00, 0x20}}, T, 1, std::nullopt},
        // ADM1026/1027 scale bytes to their rails; ADM1031 divisors.
        ReadingCase{"Adm1026Minus12", kAD, 0x45, {{0x2F, 0xC0}}, V, 0, -56.0f * 0xC0 / 255, "ATX -12V"},
        ReadingCase{"Adm1027FanCount", kAD, 0x27, {{0x28, 0x00}, {0x29, 0x10}}, F, 0, 5.4e6f / 4096},
        ReadingCase{"Adm1027FanAbsent", kAD, 0x27, {{0x28, 0xFF}, {0x29, 0xFF}}, F, 0, std::nullopt},
        ReadingCase{"Adm1027Plus12", kAD, 0x27, {{0x24, 0xC0}}, V, 0, 16.0f * 0xC0 / 255},
        ReadingCase{"Adm1031DivisorEight", kAD, 0x31, {{0x20, 0xC0}, {0x08, 0x10}}, F, 0, 675000.0f / (16 * 8)},
        ReadingCase{"Adm1031DivisorOne", kAD, 0x31, {{0x20, 0x00}, {0x08, 0x10}}, F, 0, 675000.0f / 16},
        // The ADT747x temperature format register.
        ReadingCase{"Adt7475TwosComplement", kAD, 0x75, {{0x7C, 0x01}, {0x25, 0xF6}}, T, 0, -10.0f, "Remote 1"},
        ReadingCase{"Adt7475OffsetFormat", kAD, 0x75, {{0x7C, 0x00}, {0x25, 0xF6}}, T, 0, 182.0f},
        ReadingCase{"Adt7475OffsetZero", kAD, 0x75, {{0x7C, 0x00}, {0x25, 0x40}}, T, 0, 0.0f},
        ReadingCase{"Adt7475Plus128", kAD, 0x75, {{0x7C, 0x01}, {0x25, 0x80}}, T, 0, 128.0f},
        ReadingCase{"Adt7475Duty", kAD, 0x75, {{0x30, 0x80}}, PWM, 0, 0x80 * 100.0f / 255},
        ReadingCase{"Adt7475TenBitVoltage", kAD, 0x75, {{0x21, 0x80}}, V, 0, 0x200 * 0.003f, "CPU VCORE"},
        ReadingCase{"Adt7490FivePlusVolt", kAD, 0x6E, {{0x23, 0xC0}}, V, 0, 6.63f * 0xC0 / 255, "ATX +5V"},
        ReadingCase{"Adt7490FanCountZeroAbsent", kAD, 0x6E, {{0x7B, 0x00}}, F, 0, std::nullopt},
        ReadingCase{"Adt7467KeepsItsFormat", kAD, 0x68, {{0x7C, 0x01}, {0x25, 0xF6}}, T, 0, -10.0f},
        ReadingCase{"Adt7467OffsetFormat", kAD, 0x68, {{0x7C, 0x00}, {0x25, 0x5A}}, T, 0, 26.0f},
        ReadingCase{"Adt7467FanCountZeroPresent", kAD, 0x68, {{0x7B, 0x00}}, F, 0, 0.0f},
        // The aSC7621: 192 is the nominal voltage; a zone starting at 0xF_ is absent.
        ReadingCase{"Asc7621Plus12", CHIP_VENDOR_ANDIGILOG, 0x6C, {{0x24, 0xC0}}, V, 0, 12.0f, "ATX +12V"},
        ReadingCase{"Asc7621Plus12High", CHIP_VENDOR_ANDIGILOG, 0x6C, {{0x24, 0xD0}}, V, 0, 13.0f},
        ReadingCase{"Asc7621ZoneAbsent", CHIP_VENDOR_ANDIGILOG, 0x6C, {{0x25, 0xF5}}, T, 0, std::nullopt},
        ReadingCase{"Asc7621FourthZone", CHIP_VENDOR_ANDIGILOG, 0x6C, {{0x33, 0x2D}}, T, 0, 45.0f, "Zone 4"},
        // SMSC: the EMC6D10x takes what the DME1737 rejects; EMCT03 pairs
        // are degrees and a fraction.
        ReadingCase{"Emc6d10xFanCountZeroPresent", kSMSC, 0x65, {{0x28, 0x00}, {0x29, 0x00}}, F, 0, 0.0f},
        ReadingCase{"Dme1737FanCountZeroAbsent", kSMSC, 0x89, {{0x28, 0x00}, {0x29, 0x00}}, F, 0, std::nullopt},
        ReadingCase{"Dme1737Plus5Vtr", kSMSC, 0x89, {{0x20, 0x64}}, V, 0, 6.64f * 0x64 / 255, "+5VTR"},
        ReadingCase{"Emct03Fraction", kSMSC, 0x01, {{0x01, 0x1A}, {0x10, 0x80}}, T, 0, 26.5f, "TMPIN1"},
        ReadingCase{"Emct03BelowZero", kSMSC, 0x01, {{0x00, 0xF6}, {0x23, 0x00}}, T, 0, -10.0f, "TMPIN0"},
        ReadingCase{"Emc6w201Ambient", kSMSC, 0xB1, {{0x2B, 0x21}}, T, 0, 33.0f, "Ambient"},
        ReadingCase{"Lpc47b397FourthTemperature", kSMSC, 0x02, {{0x25, 0x80}, {0x26, 0x80}, {0x27, 0x80}, {0x80, 0x1E}},
                    T, 0, 30.0f, "TMPIN3"},
        ReadingCase{"Lpc47m10xFan", kSMSC, 0x03, {{0x5A, 0x80}}, F, 0, 5.4e6f / 0x80, "FANIN1"},
        // National: the LM87's 192 is the nominal voltage, the LM63 reads signed bytes.
        ReadingCase{"Lm87Plus12", kNS, 0x87, {{0x24, 0xC4}}, V, 0, 12.25f, "ATX +12V"},
        ReadingCase{"Lm87TemperatureAbsent", kNS, 0x87, {{0x26, 0x80}, {0x27, 0x80}}, T, 0, std::nullopt},
        ReadingCase{"Lm63RemoteBelowZero", kNS, 0x41, {{0x01, 0xF0}}, T, 1, -16.0f, "Remote"}),
    [](const auto& row) { return std::string(row.param.name); });

// The ADT7490 and ADT7467 fan pulses: two bits per fan in 0x7B.
TEST_F(ChipMonitor, FanPulsesGiveEachFanItsDivisor) {
    registers_.Set({{0x7B, 0x1B}, {0x28, 0x00}, {0x29, 0x10}, {0x2A, 0x00}, {0x2B, 0x10}, {0x2C, 0x00}, {0x2D, 0x10},
                    {0x2E, 0x00}, {0x2F, 0x10}});
    CHardwareMonitor& monitor = Start(kAD, 0x6E);
    const uint32_t divisors[] = {8, 4, 2, 1};
    for (uint32_t i = 0; i < 4; ++i) {
        auto* fan = static_cast<CFanSensor*>(monitor.GetSensor(SENSOR_FAN, i));
        ASSERT_NE(fan, nullptr);
        EXPECT_EQ(fan->m_dwDivisor, divisors[i]) << i;
        EXPECT_NEAR(fan->m_fValue, 1.08e7f / (4096.0f * divisors[i]), 0.01f) << i;
    }
}

// ---- What becomes a sensor, and when ----

TEST_F(ChipMonitor, Adm1026TemperatureAbsentAtTheStartStaysAbsent) {
    registers_.Set({{0x1F, 0x80}, {0x28, 0x20}, {0x29, 0x21}});
    CHardwareMonitor& monitor = Start(kAD, 0x45);
    registers_.Set(0x1F, 0x30);
    monitor.Poll(0);
    ASSERT_NE(monitor.GetSensorList(SENSOR_TEMPERATURE), nullptr);
    EXPECT_EQ(monitor.GetSensorList(SENSOR_TEMPERATURE)->GetCount(), 2);
    EXPECT_STREQ(monitor.GetSensor(SENSOR_TEMPERATURE, 0)->m_szName, "AUX");
}

TEST_F(ChipMonitor, Adm1031FanAnsweringLateIsAddedWithItsDivisor) {
    registers_.Fail(0x20).Fail(0x08).Set({{0x20, 0x80}, {0x08, 0x40}});
    CHardwareMonitor& monitor = Start(kAD, 0x31);
    EXPECT_EQ(monitor.FindSensorById(SENSOR_FAN | 0), nullptr);
    registers_.Heal(0x20).Heal(0x08);
    monitor.Poll(0);
    auto* fan = static_cast<CFanSensor*>(monitor.FindSensorById(SENSOR_FAN | 0));
    ASSERT_NE(fan, nullptr);
    EXPECT_EQ(fan->m_dwDivisor, 4u);
    EXPECT_FLOAT_EQ(fan->m_fValue, 675000.0f / (0x40 * 4));
}

TEST_F(ChipMonitor, Nct7904VoltageWithAFailedLowByte) {
    registers_.UseBankRegister(0xFF, 0x07).Set(0x40, 0x80).Fail(0x41);
    CHardwareMonitor& monitor = Start(kNuvoton, 0xC5);
    CSensor* vin0 = monitor.GetSensor(SENSOR_VOLTAGE, 0);
    ASSERT_NE(vin0, nullptr);
    EXPECT_EQ(vin0->m_dwRawValue, 0x80u * 8 + 7);
}

TEST_F(ChipMonitor, Nct7904DimmGroupMaskSelectsTheReadings) {
    registers_.UseBankRegister(0xFF, 0x07).Set({{0xD0, 0x21}, {0xD1, 0x22}, {0xD2, 0x23}, {0xD3, 0x05}}, 2);
    CHardwareMonitor& monitor = Start(kNuvoton, 0xC5);
    EXPECT_NE(monitor.FindSensorById(SENSOR_TEMPERATURE | 8), nullptr);
    EXPECT_EQ(monitor.FindSensorById(SENSOR_TEMPERATURE | 9), nullptr);
    CSensor* third = monitor.FindSensorById(SENSOR_TEMPERATURE | 10);
    ASSERT_NE(third, nullptr);
    EXPECT_STREQ(third->m_szName, "DIMM2 (CPU0/ch0)");
    EXPECT_FLOAT_EQ(third->m_fValue, 0x23);
}

TEST_F(ChipMonitor, Emc6d10xKeepsTheIndexesOfItsTemperatures) {
    registers_.Set({{0x25, 0x20}, {0x26, 0x80}, {0x27, 0x22}});
    CHardwareMonitor& monitor = Start(kSMSC, 0x65);
    EXPECT_NE(monitor.FindSensorById(SENSOR_TEMPERATURE | 0), nullptr);
    EXPECT_EQ(monitor.FindSensorById(SENSOR_TEMPERATURE | 1), nullptr);
    ASSERT_NE(monitor.FindSensorById(SENSOR_TEMPERATURE | 2), nullptr);
    EXPECT_STREQ(monitor.FindSensorById(SENSOR_TEMPERATURE | 2)->m_szName, "Diode 2");
}

TEST_F(ChipMonitor, Emct03WithoutItsSecondReadingHasNoSecondTemperature) {
    registers_.Set({{0x00, 0x20}, {0x01, 0x00}, {0xF8, 0x21}});
    CHardwareMonitor& monitor = Start(kSMSC, 0x01);
    EXPECT_NE(monitor.FindSensorById(SENSOR_TEMPERATURE | 0), nullptr);
    EXPECT_EQ(monitor.FindSensorById(SENSOR_TEMPERATURE | 1), nullptr);
    EXPECT_NE(monitor.FindSensorById(SENSOR_TEMPERATURE | 2), nullptr);
}

TEST_F(ChipMonitor, Lpc47m10xStoppedFanShowsZero) {
    registers_.Set(0x59, 0x40);
    CHardwareMonitor& monitor = Start(kSMSC, 0x03);
    registers_.Set(0x59, 0xFF);
    monitor.Poll(0);
    CSensor* fan = monitor.FindSensorById(SENSOR_FAN | 0);
    ASSERT_NE(fan, nullptr);
    EXPECT_EQ(fan->m_dwRawValue, 0u);
    EXPECT_FLOAT_EQ(fan->m_fValue, 0.0f);
}

TEST_F(ChipMonitor, Lm87FanDivisorsAndLateSensors) {
    registers_.Set({{0x47, 0xC0}, {0x28, 0x40}, {0x26, 0x80}});
    CHardwareMonitor& monitor = Start(kNS, 0x87);
    auto* fan0 = static_cast<CFanSensor*>(monitor.FindSensorById(SENSOR_FAN | 0));
    ASSERT_NE(fan0, nullptr);
    EXPECT_EQ(fan0->m_dwDivisor, 1u);
    EXPECT_EQ(monitor.FindSensorById(SENSOR_FAN | 1), nullptr);
    registers_.Set(0x29, 0x40);
    monitor.Poll(0);
    auto* fan1 = static_cast<CFanSensor*>(monitor.FindSensorById(SENSOR_FAN | 1));
    ASSERT_NE(fan1, nullptr);
    EXPECT_EQ(fan1->m_dwDivisor, 8u);
    EXPECT_EQ(monitor.FindSensorById(SENSOR_TEMPERATURE | 0), nullptr);
}

// ---- Banks ----

TEST_F(ChipMonitor, Nct7904PutsBackTheBankItFound) {
    registers_.Set(0xFF, 0x13).UseBankRegister(0xFF, 0x07);
    Start(kNuvoton, 0xC5);
    EXPECT_EQ(registers_.CurrentBank(), 3u);
    ASSERT_FALSE(registers_.m_writes.empty());
    EXPECT_EQ(registers_.m_writes.back(), std::make_pair(uint8_t(0xFF), uint8_t(0x13)));
}

TEST_F(ChipMonitor, Nct7904WithAnUnreadableBankEndsInBankZero) {
    registers_.UseBankRegister(0xFF, 0x07).Fail(0xFF);
    Start(kNuvoton, 0xC5);
    EXPECT_EQ(registers_.CurrentBank(), 0u);
}

TEST_F(ChipMonitor, W83795GEndsInBankZero) {
    registers_.Set(0x00, 0x02).UseBankRegister(0x00, 0x03);
    Start(CHIP_VENDOR_WINBOND, kW83795G);
    EXPECT_EQ(registers_.CurrentBank(), 0u);
}

// ---- ADT7475 fan outputs ----

TEST_F(ChipMonitor, Adt7475DutyIsWrittenInRange) {
    CHardwareMonitor& monitor = Start(kAD, 0x75);
    const std::pair<float, uint8_t> cases[] = {{100.0f, 0xFF}, {120.0f, 0xFF}, {50.0f, 0x80}, {-5.0f, 0x00}};
    for (const auto& [percent, duty] : cases) {
        registers_.m_writes.clear();
        EXPECT_EQ(monitor.SetSensorValue(0, SENSOR_FAN_PWM, percent), 1);
        ASSERT_EQ(registers_.m_writes.size(), 1u) << percent;
        EXPECT_EQ(registers_.m_writes[0], std::make_pair(uint8_t(0x30), duty)) << percent;
    }
    registers_.m_writes.clear();
    EXPECT_EQ(monitor.SetSensorValue(0, SENSOR_FAN, 50.0f), 1);
    EXPECT_EQ(monitor.SetSensorValue(7, SENSOR_FAN_PWM, 50.0f), 1);
    EXPECT_TRUE(registers_.m_writes.empty());
}

TEST_F(ChipMonitor, Adt7475ControlModes) {
    registers_.Set(0x5C, 0xE2);
    CHardwareMonitor& monitor = Start(kAD, 0x75);
    uint32_t mode = 0;
    EXPECT_EQ(monitor.GetControlMode(0, SENSOR_FAN_PWM, &mode), 1);
    EXPECT_EQ(mode, 2u);
    EXPECT_EQ(monitor.SetControlMode(0, SENSOR_FAN_PWM, 1), 1);
    EXPECT_EQ(registers_.Get(0x5C), 0x22);
    EXPECT_EQ(monitor.GetControlMode(0, SENSOR_FAN_PWM, &mode), 1);
    EXPECT_EQ(mode, 1u);
    EXPECT_EQ(monitor.SetControlMode(0, SENSOR_FAN_PWM, 2), 1);
    EXPECT_EQ(registers_.Get(0x5C), 0xE2);
    registers_.m_writes.clear();
    EXPECT_EQ(monitor.SetControlMode(0, SENSOR_FAN_PWM, 3), 1);
    EXPECT_TRUE(registers_.m_writes.empty());
    registers_.Fail(0x5D);
    EXPECT_EQ(monitor.GetControlMode(1, SENSOR_FAN_PWM, &mode), 0);
    EXPECT_EQ(monitor.SetControlMode(1, SENSOR_FAN_PWM, 2), 0);
    EXPECT_EQ(monitor.SetControlMode(0, SENSOR_VOLTAGE, 2), 0);
    EXPECT_TRUE(registers_.m_writes.empty());
}

// ---- Regulator current and power ----

TEST_F(ChipMonitor, Adp3228CurrentAndPower) {
    registers_.Set({{0x48, 0x03}, {0x49, 0x40}, {0x4C, 0x00}, {0x4D, 0x10}});
    CHardwareMonitor& monitor = Start(kAD, 0x28);
    CSensor* current = monitor.GetSensor(SENSOR_CURRENT, 0);
    CSensor* power = monitor.GetSensor(SENSOR_POWER, 0);
    ASSERT_NE(current, nullptr);
    ASSERT_NE(power, nullptr);
    EXPECT_EQ(current->m_dwRawValue, 259u);
    EXPECT_NEAR(current->m_fValue, 33.52f, 0.01f);
    EXPECT_EQ(power->m_dwRawValue, 4096u);
    EXPECT_NEAR(power->m_fValue, 17.578f, 0.001f);
    EXPECT_STREQ(power->m_szName, "CPU");
}

TEST_F(ChipMonitor, Asp0800LinearWords) {
    const std::pair<uint16_t, float> cases[] = {{0xD0A4, 2.5625f}, {0x0810, 32.0f}, {0xD400, 0.0f}};
    for (const auto& [word, value] : cases) EXPECT_FLOAT_EQ(AnalogDevice_ASP0800_HardwareMonitor::LinearValue(word), value);
    registers_.SetWord(0x8C, 0xD0A4).SetWord(0x96, 0x0810);
    CHardwareMonitor& monitor = Start(kAD, 0x3298);
    ASSERT_NE(monitor.GetSensor(SENSOR_CURRENT, 0), nullptr);
    EXPECT_FLOAT_EQ(monitor.GetSensor(SENSOR_CURRENT, 0)->m_fValue, 2.5625f);
    EXPECT_EQ(monitor.GetSensor(SENSOR_CURRENT, 0)->m_dwRawValue, 0xA4u);
    EXPECT_FLOAT_EQ(monitor.GetSensor(SENSOR_POWER, 0)->m_fValue, 32.0f);
}

// ---- Regulator controllers ----

TEST(PMBusLinear, WordsDecode) {
    const std::pair<uint16_t, double> cases[] = {{0xE860, 12.0}, {0x04B0, 1200.0}, {0x0000, 0.0}, {0x7800, 0.0}};
    for (const auto& [word, value] : cases) EXPECT_DOUBLE_EQ(DecodePMBusLinear(word), value) << std::hex << word;
}

TEST_F(ChipMonitor, Chl8326ReportsOneIdAndVoltsFromMillivolts) {
    registers_.SetWord(0x88, 0xE860).SetWord(0x8B, 0x04B0);
    CHardwareMonitor& monitor = Start(CHIP_VENDOR_CHIL, 0x0D01);
    EXPECT_EQ(monitor.m_dwId, 0xC0010701u);
    ASSERT_NE(monitor.GetSensor(SENSOR_VOLTAGE, 1), nullptr);
    EXPECT_STREQ(monitor.GetSensor(SENSOR_VOLTAGE, 0)->m_szName, "12V ATX CPU");
    EXPECT_FLOAT_EQ(monitor.GetSensor(SENSOR_VOLTAGE, 0)->m_fValue, 12.0f);
    EXPECT_FLOAT_EQ(monitor.GetSensor(SENSOR_VOLTAGE, 1)->m_fValue, 1.2f);
}

TEST_F(ChipMonitor, Chl8266ReadsItsFiveWords) {
    registers_.SetWord(0x88, 0xE860).SetWord(0x8B, 0x04B0).SetWord(0x8C, 0x0810).SetWord(0x8D, 0x0041).SetWord(0x96, 0x0064);
    CHardwareMonitor& monitor = Start(CHIP_VENDOR_CHIL, 0x0201);
    ASSERT_NE(monitor.GetSensor(SENSOR_POWER, 0), nullptr);
    EXPECT_STREQ(monitor.GetSensor(SENSOR_VOLTAGE, 1)->m_szName, "VGPU");
    EXPECT_FLOAT_EQ(monitor.GetSensor(SENSOR_CURRENT, 0)->m_fValue, 32.0f);
    EXPECT_FLOAT_EQ(monitor.GetSensor(SENSOR_TEMPERATURE, 0)->m_fValue, 65.0f);
    EXPECT_FLOAT_EQ(monitor.GetSensor(SENSOR_POWER, 0)->m_fValue, 100.0f);
}

TEST_F(ChipMonitor, Vt1165VidCurrentAndItsReadoutPutBack) {
    registers_.Set({{0x08, 0x01}, {0x1C, 0x3F}, {0x0A, 0x30}, {0x04, 0xC0}, {0x05, 0x01}, {0x0E, 10}, {0x1E, 62}})
        .Set(0x07, 0x12)
        .Set({{0x04, 0xC0}, {0x05, 0x01}, {0x0E, 10}, {0x1E, 62}, {0x0A, 0x30}, {0x1C, 0x3F}}, 1)
        .UseBankRegister(0x08, 0x01);
    CHardwareMonitor& monitor = Start(CHIP_VENDOR_VOLTERRA, 0x0C);
    EXPECT_EQ(monitor.m_dwId, 0xC002000Au);
    EXPECT_EQ(monitor.m_dwUpdateDivider, 2u);
    ASSERT_NE(monitor.GetSensor(SENSOR_VOLTAGE, 0), nullptr);
    EXPECT_NEAR(monitor.GetSensor(SENSOR_VOLTAGE, 0)->m_fValue, 1.21875f, 1e-6);
    ASSERT_NE(monitor.GetSensor(SENSOR_CURRENT, 0), nullptr);
    EXPECT_FLOAT_EQ(monitor.GetSensor(SENSOR_CURRENT, 0)->m_fValue, 150.0f);
    EXPECT_EQ(registers_.Get(0x07), 0xA7);
    monitor.Close();
    EXPECT_EQ(registers_.Get(0x07), 0x12);
    EXPECT_EQ(registers_.CurrentBank(), 1u);
}

} // namespace
} // namespace vexa::test
