#include "sdk/monitor/national_semiconductor_monitors.h"

#include "sdk/monitor/chip_sensor_slots.h"

namespace {

constexpr _stSensorLabel kLm63Temperatures[] = {
    {"Local", 0x00000200, 1}, {"Remote", 0x00000201, 1}, {nullptr, kLabelTableEnd, 0}};

// A byte of 192 reads as the rail's nominal voltage.
constexpr _stVoltageLabel kLm87Voltages[] = {
    {"+2.5V", 0x00000100, 1, 2.5f, 192}, {"CPU VCORE", 0x01000101, 1, 2.7f, 192}, {"ATX +3.3V", 0x02000102, 1, 3.3f, 192},
    {"ATX +5V", 0x03000103, 1, 5, 192},  {"ATX +12V", 0x04000104, 1, 12, 192},     {"VCCP2", 0x00000105, 1, 2.25f, 192},
    {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stSensorLabel kLm87Temperatures[] = {
    {"External", 0x00000200, 1}, {"Internal", 0x00000201, 1}, {nullptr, kLabelTableEnd, 0}};
constexpr _stSensorLabel kLm87Fans[] = {{"FANIN0", 0x00000400, 1}, {"FANIN1", 0x00000401, 1}, {nullptr, kLabelTableEnd, 0}};

constexpr uint8_t kLm87FirstVoltage = 0x20;
constexpr uint8_t kLm87FirstTemperature = 0x26;
constexpr uint8_t kLm87FirstFan = 0x28;
constexpr uint8_t kLm87FanDivisors = 0x47;  // bits 5-4 fan 0, 7-6 fan 1

bool InRange(uint8_t value) { return value >= 1 && value <= 254; }

} // namespace

// ---- LM63 ----

NS_LM63_HardwareMonitor::NS_LM63_HardwareMonitor() : CHardwareMonitor(MONITOR_CHIP, 0xFF020041) {
    FormatString(m_szName, sizeof m_szName, "NS LM63");
    m_pTemperatureLabels = kLm63Temperatures;
}

int NS_LM63_HardwareMonitor::CreateSensors() {
    for (int i = 0; i < 2; ++i) m_pTemperatures[i] = AddNamedSensor<CTemperatureSensor>(*this, uint8_t(i), kTemperatureInputName);
    ApplySensorLabels();
    return 1;
}

int NS_LM63_HardwareMonitor::Update() {
    uint8_t value = 0;
    for (int i = 0; i < 2; ++i)
        if (m_pTemperatures[i] && ReadRegister(uint8_t(i), &value)) m_pTemperatures[i]->m_dwRawValue = value;
    ApplySensorFormulas();
    return 1;
}

// ---- LM87 ----

NS_LM87_HardwareMonitor::NS_LM87_HardwareMonitor() : CHardwareMonitor(MONITOR_CHIP, 0xFF020087) {
    FormatString(m_szName, sizeof m_szName, "NS LM87");
    m_fFanConstant = 1.35e6f;
    m_pVoltageLabels = kLm87Voltages;
    m_pTemperatureLabels = kLm87Temperatures;
    m_pFanLabels = kLm87Fans;
}

int NS_LM87_HardwareMonitor::CreateSensors() {
    uint8_t value = 0;
    for (int i = 0; i < 6; ++i)
        if (ReadRegister(uint8_t(kLm87FirstVoltage + i), &value) && InRange(value))
            m_pVoltages[i] = AddNamedSensor<CVoltageSensor>(*this, uint8_t(i), kVoltageInputName);
    for (int i = 0; i < 2; ++i)
        if (ReadRegister(uint8_t(kLm87FirstTemperature + i), &value) && InRange(value) && value != 0x80)
            m_pTemperatures[i] = AddNamedSensor<CTemperatureSensor>(*this, uint8_t(i), kTemperatureInputName);
    uint8_t divisors = 0;
    ReadRegister(kLm87FanDivisors, &divisors);
    m_dwFanDivisors[0] = 1u << ((divisors >> 4) & 3);
    m_dwFanDivisors[1] = 1u << ((divisors >> 6) & 3);
    for (int i = 0; i < 2; ++i) {
        if (!ReadRegister(uint8_t(kLm87FirstFan + i), &value) || !InRange(value)) continue;
        m_pFans[i] = AddNamedSensor<CFanSensor>(*this, uint8_t(i), kFanInputName);
        m_pFans[i]->m_dwDivisor = m_dwFanDivisors[i];
    }
    ApplySensorLabels();
    return 1;
}

int NS_LM87_HardwareMonitor::Update() {
    uint8_t value = 0;
    for (int i = 0; i < 6; ++i)
        if (ReadRegister(uint8_t(kLm87FirstVoltage + i), &value) && InRange(value))
            SetVoltageReading(SensorInSlot(*this, m_pVoltages[i], uint8_t(i), kVoltageInputName), value, float(value));
    for (int i = 0; i < 2; ++i)
        if (ReadRegister(uint8_t(kLm87FirstTemperature + i), &value) && value != 0xFF && value && value != 0x80)
            SensorInSlot(*this, m_pTemperatures[i], uint8_t(i), kTemperatureInputName)->m_dwRawValue = value;
    for (int i = 0; i < 2; ++i)
        if (ReadRegister(uint8_t(kLm87FirstFan + i), &value) && InRange(value))
            FanInSlot(*this, m_pFans[i], uint8_t(i), m_dwFanDivisors[i])->m_dwRawValue = value;
    ApplySensorFormulas();
    return 1;
}
