#include "sdk/monitor/regulator_current_monitors.h"

#include <cmath>

#include "sdk/monitor/chip_sensor_slots.h"

namespace {

constexpr const char* kSensorName = "CPU";

// ADP3228: a 10-bit current (high byte at 0x49, low two bits at 0x48) and
// a 16-bit power (0x4D:0x4C).
constexpr uint8_t kCurrentLow = 0x48;
constexpr uint8_t kCurrentHigh = 0x49;
constexpr uint8_t kPowerLow = 0x4C;
constexpr uint8_t kPowerHigh = 0x4D;
constexpr float kAmperesPerStep = 2.2f / 17.0f;
constexpr double kPowerStep = 9.0 / 1024.0;
constexpr double kWattsPerStep = kPowerStep * kPowerStep * 1000.0 / 18.0;

// ASP0800: PMBus commands.
constexpr uint8_t kReadOutputCurrent = 0x8C;
constexpr uint8_t kReadOutputPower = 0x96;

void Store(CSensor* sensor, uint32_t raw, float value) {
    sensor->m_dwRawValue = raw;
    sensor->SetValue(value, 1);
}

} // namespace

// ---- ADP3228 ----

AnalogDevice_ADP3228_HardwareMonitor::AnalogDevice_ADP3228_HardwareMonitor() : CHardwareMonitor(MONITOR_CHIP, 0x00410028) {
    FormatString(m_szName, sizeof m_szName, "Analog Device ADP3228");
}

void AnalogDevice_ADP3228_HardwareMonitor::ReadCurrent() {
    uint8_t low = 0, high = 0;
    if (!ReadRegister(kCurrentLow, &low)) return;
    ReadRegister(kCurrentHigh, &high);
    const uint32_t raw = uint32_t(high) * 4 + (low & 3);
    Store(EnsureSensor(*this, m_pCurrent, 0, kSensorName), raw, float(raw) * kAmperesPerStep);
}

void AnalogDevice_ADP3228_HardwareMonitor::ReadPower() {
    uint8_t low = 0, high = 0;
    if (!ReadRegister(kPowerLow, &low)) return;
    ReadRegister(kPowerHigh, &high);
    const uint32_t raw = uint32_t(high) << 8 | low;
    Store(EnsureSensor(*this, m_pPower, 0, kSensorName), raw, float(raw * kWattsPerStep));
}

int AnalogDevice_ADP3228_HardwareMonitor::CreateSensors() {
    ReadCurrent();
    ReadPower();
    ApplySensorLabels();
    return 1;
}

// Only the sensors the first pass found are read again.
int AnalogDevice_ADP3228_HardwareMonitor::Update() {
    if (m_pCurrent) ReadCurrent();
    if (m_pPower) ReadPower();
    ApplySensorFormulas();
    return 1;
}

// ---- ASP0800 ----

AnalogDevice_ASP0800_HardwareMonitor::AnalogDevice_ASP0800_HardwareMonitor() : CHardwareMonitor(MONITOR_CHIP, 0x00413298) {
    FormatString(m_szName, sizeof m_szName, "Analog Device ASP0800");
}

float AnalogDevice_ASP0800_HardwareMonitor::LinearValue(uint16_t word) {
    const int exponent = word >> 11;
    const uint32_t mantissa = word & 0x3FF;
    // Bit 15 marks a negative exponent: the five bits are 32 minus its size.
    if (word & 0x8000) return float(std::ldexp(double(mantissa), exponent - 32));
    return float(std::ldexp(double(mantissa), exponent));
}

int AnalogDevice_ASP0800_HardwareMonitor::CreateSensors() {
    uint16_t word = 0;
    if (ReadWordRegister(kReadOutputCurrent, &word)) m_pCurrent = NewSensor<CCurrentSensor>(*this, 0, kSensorName);
    if (ReadWordRegister(kReadOutputPower, &word)) m_pPower = NewSensor<CPowerSensor>(*this, 0, kSensorName);
    ApplySensorLabels();
    return 1;
}

int AnalogDevice_ASP0800_HardwareMonitor::Update() {
    uint16_t word = 0;
    if (m_pCurrent && ReadWordRegister(kReadOutputCurrent, &word)) Store(m_pCurrent, word & 0x3FF, LinearValue(word));
    if (m_pPower && ReadWordRegister(kReadOutputPower, &word)) Store(m_pPower, word & 0x3FF, LinearValue(word));
    ApplySensorFormulas();
    return 1;
}
