// The typed sensors: when each one's value is a reading, and how it reads
// in a report.
#include <algorithm>
#include <cmath>
#include <limits>

#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/core/sensor.h"

namespace {

constexpr size_t kReadingSize = 256;

// trunc(x) as an int, saturating where int ends; 0 for a NaN.
int Truncated(double x) {
    if (std::isnan(x)) return 0;
    constexpr double low = std::numeric_limits<int>::min(), high = std::numeric_limits<int>::max();
    return static_cast<int>(std::trunc(std::clamp(x, low, high)));
}

// trunc(value + 0.5): how whole-number readings print.
int Rounded(float value) { return Truncated(static_cast<double>(value) + 0.5); }

bool AboveNoReading(float value) { return value > CSensor::kNoReading; }
bool RoundsToNonNegative(float value) { return !std::isnan(value) && RoundToInt(value) >= 0; }

// A reading of one number with a fixed-point format.
struct Reading {
    char text[kReadingSize] = "";
};

Reading Fixed(const char* format, float value) {
    Reading reading;
    FormatString(reading.text, sizeof reading.text, format, static_cast<double>(value));
    return reading;
}

Reading Whole(const char* format, float value) {
    Reading reading;
    FormatString(reading.text, sizeof reading.text, format, Rounded(value));
    return reading;
}

} // namespace

// ---- Validity ----

bool CVoltageSensor::IsValid() const { return AboveNoReading(m_fValue); }
bool CTemperatureSensor::IsValid() const { return AboveNoReading(m_fValue); }
bool CPositionSensor::IsValid() const { return AboveNoReading(m_fValue); }
bool CFanSensor::IsValid() const { return RoundsToNonNegative(m_fValue); }
bool CCurrentSensor::IsValid() const { return RoundsToNonNegative(m_fValue); }
bool CPowerSensor::IsValid() const { return RoundsToNonNegative(m_fValue); }
bool CFanPwmSensor::IsValid() const { return RoundsToNonNegative(m_fValue); }
bool CCapacitySensor::IsValid() const { return m_fValue > 0.0f; }
bool CLevelSensor::IsValid() const { return m_fValue > 0.0f; }
bool CCounterSensor::IsValid() const { return m_fValue > 0.0f; }
bool CUtilizationSensor::IsValid() const { return m_fValue >= 0.0f && m_fValue <= 100.0f; }
bool CClockSpeedSensor::IsValid() const { return m_fValue >= 0.0f; }

// ---- Report lines ----

void CVoltageSensor::Dump(CReportGenerator* report) {
    const bool plus = (m_dwFlags & SENSOR_FLAG_PLUS_SIGN) != 0;
    DumpReading(report, "\tVoltage %d", "\t", Fixed(plus ? "+%.2f Volts" : "%.2f Volts", m_fValue).text);
}

void CTemperatureSensor::Dump(CReportGenerator* report) {
    Reading reading;
    FormatString(reading.text, sizeof reading.text, "%d%sC (%d%sF)", Rounded(m_fValue), kDegreeSign,
                 Truncated(static_cast<double>(m_fValue) * 1.8 + 32.0), kDegreeSign);
    DumpReading(report, "\tTemperature %d", "\t", reading.text);
}

void CFanSensor::Dump(CReportGenerator* report) {
    DumpReading(report, "\tFan %d", "\t\t", Whole("%d RPM", m_fValue).text);
}

void CCurrentSensor::Dump(CReportGenerator* report) {
    DumpReading(report, "\tCurrent %d", "\t", Fixed("%.2f Amps", m_fValue).text);
}

void CPowerSensor::Dump(CReportGenerator* report) {
    DumpReading(report, "\tPower %d", "\t\t", Fixed("%.2f W", m_fValue).text);
}

void CFanPwmSensor::Dump(CReportGenerator* report) {
    DumpReading(report, "\tFan PWM %d", "\t", Whole("%d pc", m_fValue).text);
}

void CPositionSensor::Dump(CReportGenerator* report) {
    DumpReading(report, "\tPosition %d", "\t", Fixed("%.2f", m_fValue).text);
}

void CCapacitySensor::Dump(CReportGenerator* report) {
    DumpReading(report, "\tCapacity %d", "\t", Whole("%d mWh", m_fValue).text);
}

void CLevelSensor::Dump(CReportGenerator* report) {
    DumpReading(report, "\tLevel %d", "\t\t", Whole("%d pc", m_fValue).text);
}

void CCounterSensor::Dump(CReportGenerator* report) {
    DumpReading(report, "Counter %d", "\t\t", Whole("%d", m_fValue).text);
}
