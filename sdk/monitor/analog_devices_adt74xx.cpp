#include "sdk/monitor/analog_devices_adt74xx.h"

#include <algorithm>

#include "sdk/monitor/chip_sensor_slots.h"
#include "sdk/monitor/tachometer_pairs.h"

namespace {

// The temperature rows leave the value the monitor computed from the
// format register (formula 0xFFFFFFFF converts nothing).
constexpr uint32_t kStoredValue = 0xFFFFFFFF;

constexpr _stVoltageLabel kAdt7475Voltages[] = {
    {"CPU VCORE", 0x01000100, 1, 1, 1}, {"+3.3V", 0x02000101, 1, 1, 1}, {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stSensorLabel kThreeTemperatures[] = {{"Remote 1", 0x00000200, kStoredValue},
                                                 {"Local", 0x00000201, kStoredValue},
                                                 {"Remote 2", 0x00000202, kStoredValue},
                                                 {nullptr, kLabelTableEnd, 0}};
constexpr _stSensorLabel kFourFans[] = {{"FANIN0", 0x00000400, 1}, {"FANIN1", 0x00000401, 1},
                                        {"FANIN2", 0x00000402, 1}, {"FANIN3", 0x00000403, 1},
                                        {nullptr, kLabelTableEnd, 0}};

constexpr _stVoltageLabel kAdt7490Voltages[] = {
    {"+2.5V", 0x00000100, 1, 3.32f, 255},   {"CPU VCORE", 0x01000101, 1, 3, 255}, {"ATX +3.3V", 0x02000102, 1, 4.38f, 255},
    {"ATX +5V", 0x03000103, 1, 6.63f, 255}, {"ATX +12V", 0x04000104, 1, 16, 255}, {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stSensorLabel kAdt7490Temperatures[] = {
    {"Remote 1", 0x00000200, kStoredValue}, {"Local", 0x00000201, kStoredValue}, {"Remote 2", 0x00000202, kStoredValue},
    {"PECI0", 0x00000203, kStoredValue},    {"PECI1", 0x00000204, kStoredValue}, {"PECI2", 0x00000205, kStoredValue},
    {"PECI3", 0x00000206, kStoredValue},    {nullptr, kLabelTableEnd, 0}};

constexpr uint8_t kFirstVoltage = 0x20;
constexpr uint8_t kFirstTemperature = 0x25;
constexpr uint8_t kFirstDuty = 0x30;
constexpr uint8_t kFirstPwmConfiguration = 0x5C;
constexpr uint8_t kFanPulses = 0x7B;
constexpr uint8_t kTemperatureFormat = 0x7C;
constexpr uint8_t kManualControl = 0xE0;  // bits 7-5 of a configuration register
constexpr uint8_t kAutomaticControl = 0x20;
constexpr uint8_t kNoTemperature = 0x80;

// The two 10-bit inputs at 0x21 and 0x22 and their volts per step.
constexpr uint8_t kTenBitVoltages[] = {0x21, 0x22};
constexpr float kTenBitVoltSteps[] = {0.003f, 0.0043f};
constexpr const char* kPwmNames[] = {"PWM1", "PWM2", "PWM3"};

constexpr uint32_t kModeAutomatic = 1;
constexpr uint32_t kModeManual = 2;

void SetTenBitVoltage(CSensor* sensor, int input, uint8_t value) {
    const uint32_t raw = uint32_t(value) << 2;
    SetVoltageReading(sensor, raw, raw * kTenBitVoltSteps[input]);
}

} // namespace

// ---- Shared ----

AnalogDeviceThermalController::AnalogDeviceThermalController(uint32_t id, const char* name, float fanConstant)
    : CHardwareMonitor(MONITOR_CHIP, id) {
    FormatString(m_szName, sizeof m_szName, "%s", name);
    m_fFanConstant = fanConstant;
}

uint8_t AnalogDeviceThermalController::ReadTemperatureFormat() {
    uint8_t format = 0;
    ReadRegister(kTemperatureFormat, &format);
    return format;
}

float AnalogDeviceThermalController::TemperatureValue(uint8_t format, uint8_t value) {
    if (format & 1) return value <= 128 ? float(value) : float(int(value) - 256);
    return float(int(value) - 64);
}

void AnalogDeviceThermalController::StoreTemperature(CSensor* sensor, uint8_t format, uint8_t value, bool track) {
    sensor->m_dwRawValue = value;
    sensor->SetValue(TemperatureValue(format, value), track ? 1 : 0);
}

void AnalogDeviceThermalController::ReadFanDivisors(CFanSensor* const* fans, int count) {
    uint8_t pulses = 0;
    if (!ReadRegister(kFanPulses, &pulses)) return;
    for (int i = 0; i < count; ++i)
        if (fans[i]) fans[i]->m_dwDivisor = 1u << ((pulses >> (2 * i)) & 3);
}

void AnalogDeviceThermalController::ReadFanCounts(CFanSensor* const* fans, int count) {
    for (int i = 0; i < count; ++i) {
        uint32_t tachometer = 0;
        if (fans[i] && ReadTachometerPair(*this, i, &tachometer)) fans[i]->m_dwRawValue = tachometer;
    }
}

// ---- ADT7475 ----

AnalogDevice_ADT7475_HardwareMonitor::AnalogDevice_ADT7475_HardwareMonitor()
    : AnalogDeviceThermalController(0x00410075, "Analog Device ADT7475", 5.4e6f) {
    m_pVoltageLabels = kAdt7475Voltages;
    m_pTemperatureLabels = kThreeTemperatures;
    m_pFanLabels = kFourFans;
}

void AnalogDevice_ADT7475_HardwareMonitor::ReadVoltages() {
    uint8_t value = 0;
    for (int i = 0; i < 2; ++i)
        if (ReadRegister(kTenBitVoltages[i], &value) && value != 0x00 && value != 0xFF)
            SetTenBitVoltage(EnsureIndexedSensor(*this, m_pVoltages[i], uint8_t(i), kVoltageInputPrefix), i, value);
}

void AnalogDevice_ADT7475_HardwareMonitor::ReadTemperatures(bool create) {
    const uint8_t format = ReadTemperatureFormat();
    uint8_t value = 0;
    for (int i = 0; i < 3; ++i) {
        if (!m_pTemperatures[i] && !create) continue;
        if (!ReadRegister(uint8_t(kFirstTemperature + i), &value) || value == 0x00 || value == 0xFF) continue;
        StoreTemperature(EnsureIndexedSensor(*this, m_pTemperatures[i], uint8_t(i), kTemperatureInputPrefix), format, value, true);
    }
}

void AnalogDevice_ADT7475_HardwareMonitor::ReadPwms() {
    uint8_t value = 0;
    for (int i = 0; i < 3; ++i) {
        if (!ReadRegister(uint8_t(kFirstDuty + i), &value)) continue;
        CFanPwmSensor* pwm = EnsureSensor(*this, m_pPwms[i], uint8_t(i), kPwmNames[i]);
        pwm->m_dwRawValue = value;
        pwm->SetValue(float(value) * 100.0f / 255.0f, 1);
    }
}

int AnalogDevice_ADT7475_HardwareMonitor::CreateSensors() {
    ReadVoltages();
    ReadTemperatures(true);
    for (int i = 0; i < 4; ++i) {
        uint32_t count = 0;
        if (!ReadTachometerPair(*this, i, &count) || count == 0xFFFF) continue;
        EnsureFan(*this, m_pFans[i], uint8_t(i), 1)->m_dwRawValue = count;
    }
    ReadPwms();
    ApplySensorLabels();
    return 1;
}

int AnalogDevice_ADT7475_HardwareMonitor::Update() {
    ReadVoltages();
    ReadTemperatures(false);
    ReadFanCounts(m_pFans, 4);
    ReadPwms();
    ApplySensorFormulas();
    return 1;
}

uint8_t AnalogDevice_ADT7475_HardwareMonitor::ConfigurationRegister(uint32_t index, uint32_t classCode) {
    if (classCode != SENSOR_FAN_PWM) return 0;
    CSensor* sensor = GetSensor(classCode, index);
    for (int i = 0; sensor && i < 3; ++i)
        if (sensor == m_pPwms[i]) return uint8_t(kFirstPwmConfiguration + i);
    return 0;
}

int AnalogDevice_ADT7475_HardwareMonitor::SetSensorValue(uint32_t index, uint32_t classCode, float percent) {
    const uint8_t configuration = ConfigurationRegister(index, classCode);
    if (!configuration) return 1;
    const int duty = std::clamp(RoundToInt(percent * 255.0f / 100.0f), 0, 255);
    WriteRegister(uint8_t(kFirstDuty + (configuration - kFirstPwmConfiguration)), uint8_t(duty));
    return 1;
}

int AnalogDevice_ADT7475_HardwareMonitor::GetControlMode(uint32_t index, uint32_t classCode, uint32_t* mode) {
    const uint8_t configuration = ConfigurationRegister(index, classCode);
    uint8_t value = 0;
    if (!configuration || !mode || !ReadRegister(configuration, &value)) return 0;
    *mode = (value & kManualControl) == kManualControl ? kModeManual : kModeAutomatic;
    return 1;
}

int AnalogDevice_ADT7475_HardwareMonitor::SetControlMode(uint32_t index, uint32_t classCode, uint32_t mode) {
    const uint8_t configuration = ConfigurationRegister(index, classCode);
    uint8_t value = 0;
    if (!configuration || !ReadRegister(configuration, &value)) return 0;
    if (mode == kModeAutomatic) value = uint8_t((value & 0x1F) | kAutomaticControl);
    else if (mode == kModeManual) value |= kManualControl;
    else return 1;
    WriteRegister(configuration, value);
    return 1;
}

// ---- ADT7490 ----

AnalogDevice_ADT7490_HardwareMonitor::AnalogDevice_ADT7490_HardwareMonitor()
    : AnalogDeviceThermalController(0x0041006E, "Analog Device ADT7490", 1.08e7f) {
    m_pVoltageLabels = kAdt7490Voltages;
    m_pTemperatureLabels = kAdt7490Temperatures;
    m_pFanLabels = kFourFans;
}

int AnalogDevice_ADT7490_HardwareMonitor::CreateSensors() {
    uint8_t value = 0;
    for (int i = 0; i < 5; ++i) {
        if (!ReadRegister(uint8_t(kFirstVoltage + i), &value) || !value) continue;
        m_pVoltages[i] = NewIndexedSensor<CVoltageSensor>(*this, uint8_t(i), kVoltageInputPrefix);
        SetVoltageReading(m_pVoltages[i], value, float(value));
    }
    const uint8_t format = ReadTemperatureFormat();
    for (int i = 0; i < 3; ++i) {
        if (!ReadRegister(uint8_t(kFirstTemperature + i), &value) || value == 0x00 || value == kNoTemperature) continue;
        m_pTemperatures[i] = NewIndexedSensor<CTemperatureSensor>(*this, uint8_t(i), kTemperatureInputPrefix);
        StoreTemperature(m_pTemperatures[i], format, value, false);
    }
    for (int i = 0; i < 4; ++i) {
        uint32_t count = 0;
        if (!ReadTachometerPair(*this, i, &count) || count == 0 || count == 0xFFFF) continue;
        m_pFans[i] = NewIndexedSensor<CFanSensor>(*this, uint8_t(i), kFanInputPrefix);
        m_pFans[i]->m_dwRawValue = count;
    }
    ReadFanDivisors(m_pFans, 4);
    ApplySensorLabels();
    return 1;
}

int AnalogDevice_ADT7490_HardwareMonitor::Update() {
    uint8_t value = 0;
    for (int i = 0; i < 5; ++i)
        if (m_pVoltages[i] && ReadRegister(uint8_t(kFirstVoltage + i), &value))
            SetVoltageReading(m_pVoltages[i], value, float(value));
    const uint8_t format = ReadTemperatureFormat();
    for (int i = 0; i < 3; ++i)
        if (m_pTemperatures[i] && ReadRegister(uint8_t(kFirstTemperature + i), &value))
            StoreTemperature(m_pTemperatures[i], format, value, true);
    ReadFanCounts(m_pFans, 4);
    ApplySensorFormulas();
    return 1;
}

// ---- ADT7467 ----

AnalogDevice_ADT7467_HardwareMonitor::AnalogDevice_ADT7467_HardwareMonitor()
    : AnalogDeviceThermalController(0x00410068, "Analog Device ADT7467", 5.4e6f) {
    m_pVoltageLabels = kAdt7475Voltages;
    m_pTemperatureLabels = kThreeTemperatures;
    m_pFanLabels = kFourFans;
}

int AnalogDevice_ADT7467_HardwareMonitor::CreateSensors() {
    uint8_t value = 0;
    for (int i = 0; i < 2; ++i) {
        if (!ReadRegister(kTenBitVoltages[i], &value) || !value) continue;
        m_pVoltages[i] = NewIndexedSensor<CVoltageSensor>(*this, uint8_t(i), kVoltageInputPrefix);
        SetTenBitVoltage(m_pVoltages[i], i, value);
    }
    const uint8_t format = ReadTemperatureFormat();
    for (int i = 0; i < 3; ++i) {
        if (!ReadRegister(uint8_t(kFirstTemperature + i), &value) || value == 0x00 || value == kNoTemperature) continue;
        m_pTemperatures[i] = NewIndexedSensor<CTemperatureSensor>(*this, uint8_t(i), kTemperatureInputPrefix);
        // A board table that converts these by formula gets offset-64 degrees.
        m_pTemperatures[i]->m_fOffset = -64.0f;
        StoreTemperature(m_pTemperatures[i], format, value, true);
    }
    for (int i = 0; i < 4; ++i) {
        uint32_t count = 0;
        if (!ReadTachometerPair(*this, i, &count) || count == 0xFFFF) continue;
        m_pFans[i] = NewIndexedSensor<CFanSensor>(*this, uint8_t(i), kFanInputPrefix);
        m_pFans[i]->m_dwRawValue = count;
    }
    ReadFanDivisors(m_pFans, 4);
    ApplySensorLabels();
    return 1;
}

int AnalogDevice_ADT7467_HardwareMonitor::Update() {
    uint8_t value = 0;
    for (int i = 0; i < 2; ++i)
        if (m_pVoltages[i] && ReadRegister(kTenBitVoltages[i], &value)) SetTenBitVoltage(m_pVoltages[i], i, value);
    const uint8_t format = ReadTemperatureFormat();
    for (int i = 0; i < 3; ++i)
        if (m_pTemperatures[i] && ReadRegister(uint8_t(kFirstTemperature + i), &value))
            StoreTemperature(m_pTemperatures[i], format, value, true);
    ReadFanCounts(m_pFans, 4);
    ApplySensorFormulas();
    return 1;
}
