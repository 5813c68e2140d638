// Sensors: when a value is a reading, how the minimum and maximum follow
// it, and the report line of every class.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "sdk/core/report_generator.h"
#include "sdk/core/sensor.h"
#include "tests/sdk/hw/kmdriver_test_support.h"

namespace vexa::test {
namespace {

using vexa::test::PrintTo;

std::string deg(const std::string& unit) { return kDegreeSign + unit; }

std::string reportLine(CSensor& sensor) {
    CReportGenerator_Buffer report;
    sensor.Dump(&report);
    return report.GetText();
}

// ---- A new sensor ----

struct NewSensorCase {
    const char* name;
    std::function<CSensor*()> make;
    uint32_t id;
    float value;
};

class NewSensors : public ::testing::TestWithParam<NewSensorCase> {};

TEST_P(NewSensors, HaveNoReadingYet) {
    std::unique_ptr<CSensor> sensor(GetParam().make());
    EXPECT_EQ(sensor->m_dwId, GetParam().id);
    EXPECT_EQ(sensor->m_fValue, GetParam().value);
    EXPECT_FALSE(sensor->IsValid());
    EXPECT_EQ(sensor->m_szName[0], '\0');
    EXPECT_EQ(sensor->m_dwRawValue, 0xFFFFFFFFu);
    EXPECT_EQ(sensor->m_dwFlags, 0u);
    EXPECT_EQ(sensor->m_fUnconvertedValue, -1.0f);
    EXPECT_EQ(sensor->m_fMinimum, 4294967296.0f);
    EXPECT_EQ(sensor->m_fMaximum, -4294967296.0f);
}

INSTANTIATE_TEST_SUITE_P(
    , NewSensors,
    ::testing::Values(NewSensorCase{"Base", [] { return new CSensor(0x1234); }, 0x1234, -1.0f},
                      NewSensorCase{"Voltage", [] { return new CVoltageSensor(3); }, 0x103, -4294967296.0f},
                      NewSensorCase{"Temperature", [] { return new CTemperatureSensor(0); }, 0x200, -4294967296.0f},
                      NewSensorCase{"Fan", [] { return new CFanSensor(1); }, 0x401, -1.0f},
                      NewSensorCase{"Current", [] { return new CCurrentSensor(2); }, 0x802, -1.0f},
                      NewSensorCase{"Power", [] { return new CPowerSensor(4); }, 0x1004, -1.0f},
                      NewSensorCase{"FanPwm", [] { return new CFanPwmSensor(5); }, 0x2005, -1.0f},
                      NewSensorCase{"Position", [] { return new CPositionSensor(6); }, 0x10006, -4294967296.0f},
                      NewSensorCase{"Capacity", [] { return new CCapacitySensor(7); }, 0x20007, -1.0f},
                      NewSensorCase{"Level", [] { return new CLevelSensor(8); }, 0x80008, -1.0f},
                      NewSensorCase{"Counter", [] { return new CCounterSensor(9); }, 0x100009, -1.0f},
                      NewSensorCase{"Utilization", [] { return new CUtilizationSensor(10); }, 0x20000A, -1.0f},
                      NewSensorCase{"ClockSpeed", [] { return new CClockSpeedSensor(255); }, 0x4000FF, -1.0f}),
    CaseName());

TEST(Sensor, TypedExtrasStartAtTheirDefaults) {
    EXPECT_EQ(CTemperatureSensor(0).m_fOffset, 0.0f);
    EXPECT_EQ(CFanSensor(0).m_dwDivisor, 2u);
    EXPECT_EQ(CFanPwmSensor(0).m_dwControl, 0u);
    const CPowerSensor power(0);
    for (double work : {power.m_dPreviousEnergy, power.m_dCurrentEnergy, power.m_dPreviousTime, power.m_dCurrentTime})
        EXPECT_EQ(work, -1.0);
}

// ---- Validity ----

struct ValidityCase {
    const char* name;
    std::function<CSensor*()> make;
    float value;
    bool valid;
};

class SensorValidity : public ::testing::TestWithParam<ValidityCase> {};

TEST_P(SensorValidity, FollowsTheClassRule) {
    std::unique_ptr<CSensor> sensor(GetParam().make());
    sensor->SetValue(GetParam().value, 0);
    EXPECT_EQ(sensor->IsValid(), GetParam().valid);
}

const float kNaN = std::nanf("");

INSTANTIATE_TEST_SUITE_P(
    , SensorValidity,
    ::testing::Values(
        ValidityCase{"VoltageZero", [] { return new CVoltageSensor(0); }, 0.0f, true},
        ValidityCase{"VoltageNegative", [] { return new CVoltageSensor(0); }, -12.0f, true},
        ValidityCase{"VoltageNaN", [] { return new CVoltageSensor(0); }, kNaN, false},
        ValidityCase{"TemperatureBelowZero", [] { return new CTemperatureSensor(0); }, -40.0f, true},
        ValidityCase{"PositionNoReading", [] { return new CPositionSensor(0); }, -4294967296.0f, false},
        ValidityCase{"FanRoundsToZero", [] { return new CFanSensor(0); }, -0.4f, true},
        ValidityCase{"FanRoundsBelowZero", [] { return new CFanSensor(0); }, -0.6f, false},
        ValidityCase{"FanNaN", [] { return new CFanSensor(0); }, kNaN, false},
        ValidityCase{"CurrentHalfBelowZero", [] { return new CCurrentSensor(0); }, -0.5f, true},
        ValidityCase{"PowerMinusOne", [] { return new CPowerSensor(0); }, -1.0f, false},
        ValidityCase{"FanPwmZero", [] { return new CFanPwmSensor(0); }, 0.0f, true},
        ValidityCase{"CapacityZero", [] { return new CCapacitySensor(0); }, 0.0f, false},
        ValidityCase{"CapacityPositive", [] { return new CCapacitySensor(0); }, 0.001f, true},
        ValidityCase{"LevelZero", [] { return new CLevelSensor(0); }, 0.0f, false},
        ValidityCase{"CounterOne", [] { return new CCounterSensor(0); }, 1.0f, true},
        ValidityCase{"UtilizationZero", [] { return new CUtilizationSensor(0); }, 0.0f, true},
        ValidityCase{"UtilizationHundred", [] { return new CUtilizationSensor(0); }, 100.0f, true},
        ValidityCase{"UtilizationAboveHundred", [] { return new CUtilizationSensor(0); }, 100.5f, false},
        ValidityCase{"UtilizationNaN", [] { return new CUtilizationSensor(0); }, kNaN, false},
        ValidityCase{"ClockSpeedZero", [] { return new CClockSpeedSensor(0); }, 0.0f, true},
        ValidityCase{"ClockSpeedNegative", [] { return new CClockSpeedSensor(0); }, -0.1f, false},
        ValidityCase{"BaseZero", [] { return new CSensor(0x100); }, 0.0f, true},
        ValidityCase{"BaseMinusOne", [] { return new CSensor(0x100); }, -1.0f, false}),
    CaseName());

// ---- Minimum and maximum ----

TEST(Sensor, MinimumAndMaximumFollowTrackedReadingsOnly) {
    CVoltageSensor sensor(0);
    sensor.SetValue(1.2f, 1);
    sensor.SetValue(1.5f, 1);
    sensor.SetValue(0.9f, 1);
    sensor.SetValue(3.3f, 0);  // not tracked
    sensor.SetValue(CSensor::kNoReading, 1);  // tracked, but no reading
    EXPECT_EQ(sensor.m_fValue, CSensor::kNoReading);
    EXPECT_EQ(sensor.m_fMinimum, 0.9f);
    EXPECT_EQ(sensor.m_fMaximum, 1.5f);
    sensor.ResetMinMax();
    EXPECT_EQ(sensor.m_fMinimum, 4294967296.0f);
    EXPECT_EQ(sensor.m_fMaximum, -4294967296.0f);
    sensor.SetValue(-5.0f, 1);
    EXPECT_EQ(sensor.m_fMinimum, -5.0f);
    EXPECT_EQ(sensor.m_fMaximum, -5.0f);
}

// ---- Report lines ----

struct LineCase {
    const char* name;
    std::function<CSensor*()> make;
    float value;
    std::string line;
    uint32_t raw = 0xFFFFFFFF;
    const char* label = "";
    uint32_t flags = 0;
};

class SensorLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(SensorLines, ReadAsReported) {
    const LineCase& c = GetParam();
    std::unique_ptr<CSensor> sensor(c.make());
    sensor->SetValue(c.value, 1);
    sensor->m_dwRawValue = c.raw;
    sensor->m_dwFlags = c.flags;
    std::strcpy(sensor->m_szName, c.label);
    EXPECT_EQ(reportLine(*sensor), c.line);
}

INSTANTIATE_TEST_SUITE_P(
    , SensorLines,
    ::testing::Values(
        LineCase{"NewVoltage", [] { return new CVoltageSensor(1); }, CSensor::kNoReading, "\tVoltage 1\tn.a.\n"},
        LineCase{"VoltageZero", [] { return new CVoltageSensor(1); }, 0.0f, "\tVoltage 1\t0.00 Volts\n"},
        LineCase{"VoltagePlusSign", [] { return new CVoltageSensor(2); }, 12.18f, "\tVoltage 2\t+12.18 Volts\n", 0xFFFFFFFF,
                 "", SENSOR_FLAG_PLUS_SIGN},
        LineCase{"VoltageNegative", [] { return new CVoltageSensor(3); }, -5.04f, "\tVoltage 3\t-5.04 Volts\n"},
        LineCase{"TemperatureRoundsUp", [] { return new CTemperatureSensor(0); }, 36.6f,
                 "\tTemperature 0\t37" + deg("C (97") + deg("F)\n")},
        LineCase{"TemperatureBelowZero", [] { return new CTemperatureSensor(0); }, -5.2f,
                 "\tTemperature 0\t-4" + deg("C (22") + deg("F)\n")},
        LineCase{"TemperatureOfAProcessor", [] { return new CTemperatureSensor(7); }, 45.0f,
                 "\tTemperature 7\t45" + deg("C (113") + deg("F)") + " [0x2D] (CPU)\n", 0x2D, "CPU"},
        LineCase{"FanRoundsToZero", [] { return new CFanSensor(0); }, -0.4f, "\tFan 0\t\t0 RPM\n"},
        LineCase{"FanBelowZero", [] { return new CFanSensor(0); }, -0.6f, "\tFan 0\t\tn.a.\n"},
        LineCase{"Fan", [] { return new CFanSensor(2); }, 1874.5f, "\tFan 2\t\t1875 RPM [0x5A] (Chassis)\n", 0x5A,
                 "Chassis"},
        LineCase{"CurrentWithRawAndName", [] { return new CCurrentSensor(0); }, 1.5f,
                 "\tCurrent 0\t1.50 Amps [0x1A] (CPU)\n", 0x1A, "CPU"},
        LineCase{"Power", [] { return new CPowerSensor(1); }, 65.126f, "\tPower 1\t\t65.13 W\n"},
        LineCase{"PowerWithoutReading", [] { return new CPowerSensor(1); }, -1.0f, "\tPower 1\t\tn.a. [0x0]\n", 0},
        LineCase{"FanPwm", [] { return new CFanPwmSensor(3); }, 49.5f, "\tFan PWM 3\t50 pc\n"},
        LineCase{"Position", [] { return new CPositionSensor(0); }, -0.25f, "\tPosition 0\t-0.25\n"},
        LineCase{"CapacityZero", [] { return new CCapacitySensor(0); }, 0.0f, "\tCapacity 0\tn.a.\n"},
        LineCase{"Capacity", [] { return new CCapacitySensor(0); }, 48840.4f, "\tCapacity 0\t48840 mWh\n"},
        LineCase{"Level", [] { return new CLevelSensor(1); }, 99.5f, "\tLevel 1\t\t100 pc\n"},
        LineCase{"CounterHasNoLeadingTab", [] { return new CCounterSensor(4); }, 312.0f, "Counter 4\t\t312\n"},
        LineCase{"HugeReadingsSaturate", [] { return new CFanSensor(0); }, 1e20f, "\tFan 0\t\t2147483647 RPM\n"},
        LineCase{"UtilizationWritesNothing", [] { return new CUtilizationSensor(0); }, 50.0f, ""},
        LineCase{"ClockSpeedWritesNothing", [] { return new CClockSpeedSensor(0); }, 3200.0f, ""},
        LineCase{"BaseShowsTheWholeId", [] { return new CSensor(0x03000201); }, 1.25f,
                 "\tSensor 50332161\t1.25 [0x7]\n", 7},
        LineCase{"BaseWithName", [] { return new CSensor(0x100); }, -1.0f, "\tSensor 256\t-1.00 [0xFFFFFFFF] (Vcore)\n",
                 0xFFFFFFFF, "Vcore"}),
    CaseName());

TEST(Sensor, LongNamesAreCutToTheValueLimit) {
    CCurrentSensor sensor(0);
    sensor.SetValue(1.0f, 0);
    std::memset(sensor.m_szName, 'x', sizeof sensor.m_szName);  // not even terminated
    const std::string line = reportLine(sensor);
    const std::string value = line.substr(line.find('\t', 1) + 1);
    EXPECT_EQ(value.size(), 255u + 1) << "255 characters and the line break";
    EXPECT_EQ(value.rfind("1.00 Amps (xxx", 0), 0u);
}

} // namespace
} // namespace vexa::test
