#include "sdk/monitor/analog_devices_adm102x.h"

#include "sdk/monitor/chip_sensor_slots.h"
#include "sdk/monitor/tachometer_pairs.h"

namespace {

// ---- ADM1026 ----
constexpr _stVoltageLabel kAdm1026Voltages[] = {
    {"+3.3V STDBY", 0x00000100, 1, 4.38f, 255}, {"+3.3V", 0x02000101, 1, 4.38f, 255},
    {"ATX +5V", 0x03000102, 1, 6.63f, 255},     {"CPU VCORE", 0x01000103, 1, 3, 255},
    {"ATX +12V", 0x04000104, 1, 16, 255},       {"ATX -12V", 0x06000105, 1, -56, 255},
    {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stSensorLabel kAdmTemperatures[] = {
    {"CPU", 0x01000200, 3}, {"AUX", 0x00000201, 3}, {"System", 0x00000202, 3}, {nullptr, kLabelTableEnd, 0}};
constexpr _stSensorLabel kTwoFans[] = {{"FANIN0", 0x00000400, 1}, {"FANIN1", 0x00000401, 1}, {nullptr, kLabelTableEnd, 0}};
constexpr _stSensorLabel kThreeFans[] = {
    {"FANIN0", 0x00000400, 1}, {"FANIN1", 0x00000401, 1}, {"FANIN2", 0x00000402, 1}, {nullptr, kLabelTableEnd, 0}};

constexpr uint8_t kAdm1026FirstVoltage = 0x2A;
constexpr uint8_t kAdm1026Temperatures[] = {0x1F, 0x28, 0x29};
constexpr uint8_t kAdm1026FirstFan = 0x38;
constexpr uint8_t kNoTemperature = 0x80;

// ---- ADM1027 ----
constexpr _stVoltageLabel kAdm1027Voltages[] = {
    {"+1.5V", 0x00000100, 1, 3.32f, 255},   {"CPU VCORE", 0x01000101, 1, 3, 255}, {"ATX +3.3V", 0x02000102, 1, 4.38f, 255},
    {"ATX +5V", 0x03000103, 1, 6.63f, 255}, {"ATX +12V", 0x04000104, 1, 16, 255}, {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr uint8_t kAdm1027FirstVoltage = 0x20;
constexpr uint8_t kAdm1027FirstTemperature = 0x25;

// ---- ADM1031 ----
constexpr _stSensorLabel kAdm1031Temperatures[] = {
    {"Local", 0x00000200, 1}, {"Remote 1", 0x00000201, 1}, {"Remote 2", 0x00000202, 1}, {nullptr, kLabelTableEnd, 0}};
constexpr uint8_t kAdm1031FirstTemperature = 0x0A;
constexpr uint8_t kAdm1031FirstFan = 0x08;
constexpr uint8_t kAdm1031FirstFanCharacteristics = 0x20;

void SetByteVoltage(CSensor* sensor, uint8_t value) { SetVoltageReading(sensor, value, float(value)); }

// An 8-bit tachometer that overflows (0xFF) has counted no turn: the fan
// stands, and a count of 0 shows it as 0 rpm.
uint32_t EightBitCount(uint8_t value) { return value == 0xFF ? 0 : value; }

} // namespace

// ---- ADM1026 ----

AnalogDevice_ADM1026_HardwareMonitor::AnalogDevice_ADM1026_HardwareMonitor() : CHardwareMonitor(MONITOR_CHIP, 0x00410045) {
    FormatString(m_szName, sizeof m_szName, "Analog Device ADM1026");
    m_fFanConstant = 1.35e6f;
    m_pVoltageLabels = kAdm1026Voltages;
    m_pTemperatureLabels = kAdmTemperatures;
    m_pFanLabels = kTwoFans;
}

int AnalogDevice_ADM1026_HardwareMonitor::CreateSensors() {
    uint8_t value = 0;
    for (int i = 0; i < 6; ++i)
        if (ReadRegister(uint8_t(kAdm1026FirstVoltage + i), &value) && value)
            m_pVoltages[i] = NewIndexedSensor<CVoltageSensor>(*this, uint8_t(i), kVoltageInputPrefix);
    for (int i = 0; i < 3; ++i)
        if (ReadRegister(kAdm1026Temperatures[i], &value) && value != kNoTemperature)
            m_pTemperatures[i] = NewIndexedSensor<CTemperatureSensor>(*this, uint8_t(i), kTemperatureInputPrefix);
    for (int i = 0; i < 2; ++i)
        if (ReadRegister(uint8_t(kAdm1026FirstFan + i), &value) && value != 0x00 && value != 0xFF)
            m_pFans[i] = NewIndexedSensor<CFanSensor>(*this, uint8_t(i), kFanInputPrefix);  // divisor 2
    ApplySensorLabels();
    return 1;
}

int AnalogDevice_ADM1026_HardwareMonitor::Update() {
    uint8_t value = 0;
    for (int i = 0; i < 6; ++i)
        if (m_pVoltages[i] && ReadRegister(uint8_t(kAdm1026FirstVoltage + i), &value)) SetByteVoltage(m_pVoltages[i], value);
    for (int i = 0; i < 3; ++i)
        if (m_pTemperatures[i] && ReadRegister(kAdm1026Temperatures[i], &value)) m_pTemperatures[i]->m_dwRawValue = value;
    for (int i = 0; i < 2; ++i)
        if (m_pFans[i] && ReadRegister(uint8_t(kAdm1026FirstFan + i), &value)) m_pFans[i]->m_dwRawValue = EightBitCount(value);
    ApplySensorFormulas();
    return 1;
}

// ---- ADM1027 ----

AnalogDevice_ADM1027_HardwareMonitor::AnalogDevice_ADM1027_HardwareMonitor() : CHardwareMonitor(MONITOR_CHIP, 0x00410027) {
    FormatString(m_szName, sizeof m_szName, "Analog Device ADM1027");
    m_fFanConstant = 5.4e6f;
    m_pVoltageLabels = kAdm1027Voltages;
    m_pTemperatureLabels = kAdmTemperatures;
    m_pFanLabels = kThreeFans;
}

int AnalogDevice_ADM1027_HardwareMonitor::CreateSensors() {
    uint8_t value = 0;
    for (int i = 0; i < 5; ++i)
        if (ReadRegister(uint8_t(kAdm1027FirstVoltage + i), &value) && value)
            m_pVoltages[i] = NewIndexedSensor<CVoltageSensor>(*this, uint8_t(i), kVoltageInputPrefix);
    for (int i = 0; i < 3; ++i)
        if (ReadRegister(uint8_t(kAdm1027FirstTemperature + i), &value) && value != kNoTemperature)
            m_pTemperatures[i] = NewIndexedSensor<CTemperatureSensor>(*this, uint8_t(i), kTemperatureInputPrefix);
    for (int i = 0; i < 3; ++i) {
        uint32_t count = 0;
        if (!ReadTachometerPair(*this, i, &count) || count == 0 || count == 0xFFFF) continue;
        m_pFans[i] = NewIndexedSensor<CFanSensor>(*this, uint8_t(i), kFanInputPrefix);
        m_pFans[i]->m_dwDivisor = 1;
    }
    ApplySensorLabels();
    return 1;
}

int AnalogDevice_ADM1027_HardwareMonitor::Update() {
    uint8_t value = 0;
    for (int i = 0; i < 5; ++i)
        if (m_pVoltages[i] && ReadRegister(uint8_t(kAdm1027FirstVoltage + i), &value)) SetByteVoltage(m_pVoltages[i], value);
    for (int i = 0; i < 3; ++i)
        if (m_pTemperatures[i] && ReadRegister(uint8_t(kAdm1027FirstTemperature + i), &value))
            m_pTemperatures[i]->m_dwRawValue = value;
    for (int i = 0; i < 3; ++i) {
        uint32_t count = 0;
        if (m_pFans[i] && ReadTachometerPair(*this, i, &count)) m_pFans[i]->m_dwRawValue = count;
    }
    ApplySensorFormulas();
    return 1;
}

// ---- ADM1031 ----

AnalogDevice_ADM1031_HardwareMonitor::AnalogDevice_ADM1031_HardwareMonitor() : CHardwareMonitor(MONITOR_CHIP, 0x00410031) {
    FormatString(m_szName, sizeof m_szName, "Analog Device ADM1031");
    m_fFanConstant = 675000.0f;
    m_pTemperatureLabels = kAdm1031Temperatures;
    m_pFanLabels = kThreeFans;
}

void AnalogDevice_ADM1031_HardwareMonitor::ReadFanDivisor(int fan) {
    uint8_t characteristics = 0;
    if (ReadRegister(uint8_t(kAdm1031FirstFanCharacteristics + fan), &characteristics))
        m_pFans[fan]->m_dwDivisor = 1u << (characteristics >> 6);
}

int AnalogDevice_ADM1031_HardwareMonitor::CreateSensors() {
    uint8_t value = 0;
    for (int i = 0; i < 3; ++i) {
        if (!ReadRegister(uint8_t(kAdm1031FirstTemperature + i), &value) || !value) continue;
        m_pTemperatures[i] = NewIndexedSensor<CTemperatureSensor>(*this, uint8_t(i), kTemperatureInputPrefix);
        m_pTemperatures[i]->m_dwRawValue = value;
    }
    for (int i = 0; i < 2; ++i) {
        uint8_t characteristics = 0;
        if (!ReadRegister(uint8_t(kAdm1031FirstFanCharacteristics + i), &characteristics)) continue;
        m_pFans[i] = NewIndexedSensor<CFanSensor>(*this, uint8_t(i), kFanInputPrefix);
        m_pFans[i]->m_dwDivisor = 1u << (characteristics >> 6);
        if (ReadRegister(uint8_t(kAdm1031FirstFan + i), &value)) m_pFans[i]->m_dwRawValue = EightBitCount(value);
    }
    ApplySensorLabels();
    return 1;
}

int AnalogDevice_ADM1031_HardwareMonitor::Update() {
    uint8_t value = 0;
    for (int i = 0; i < 3; ++i)
        if (ReadRegister(uint8_t(kAdm1031FirstTemperature + i), &value) && value)
            EnsureIndexedSensor(*this, m_pTemperatures[i], uint8_t(i), kTemperatureInputPrefix)->m_dwRawValue = value;
    for (int i = 0; i < 2; ++i) {
        if (!ReadRegister(uint8_t(kAdm1031FirstFan + i), &value)) continue;
        if (!m_pFans[i]) {
            m_pFans[i] = NewIndexedSensor<CFanSensor>(*this, uint8_t(i), kFanInputPrefix);
            ReadFanDivisor(i);
            ApplySensorLabels();
        }
        m_pFans[i]->m_dwRawValue = EightBitCount(value);
    }
    ApplySensorFormulas();
    return 1;
}
