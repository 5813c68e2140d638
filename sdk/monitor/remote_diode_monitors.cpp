#include "sdk/monitor/remote_diode_monitors.h"

#include "sdk/monitor/chip_sensor_slots.h"

namespace {

// Formula 1 reads a signed byte: a sensor below 0 °C reads below 0 °C.
constexpr _stSensorLabel kAdm1021Temperatures[] = {
    {"Local", 0x00000200, 1}, {"Remote 1", 0x00000201, 1}, {nullptr, kLabelTableEnd, 0}};
// The remote value is computed by the monitor from its two bytes.
constexpr _stSensorLabel kAdt7461Temperatures[] = {
    {"Local", 0x00000200, 1}, {"External", 0x00000201, 0xFFFFFFFF}, {nullptr, kLabelTableEnd, 0}};
constexpr _stSensorLabel kAdm1033Temperatures[] = {
    {"Local", 0x00000200, 1}, {"Remote", 0x00000201, 1}, {nullptr, kLabelTableEnd, 0}};
constexpr _stSensorLabel kMaximTemperatures[] = {
    {"Local", 0x00000200, 1}, {"Remote", 0x00000201, 1}, {nullptr, kLabelTableEnd, 0}};

constexpr uint8_t kLocalTemperature = 0x00;
constexpr uint8_t kRemoteTemperature = 0x01;
constexpr uint8_t kAdt7461RemoteFraction = 0x10;
constexpr uint8_t kAdm1033FirstTemperature = 0x41;  // then 0x43
constexpr int kAdm1033Offset = 0x40;

// An offset-64 byte as the signed byte formula 1 reads: below 0 °C the
// reading wraps into the byte's negative half.
uint32_t SignedByteFromOffset64(uint8_t value) { return uint8_t(int(value) - kAdm1033Offset); }

} // namespace

RemoteDiodeMonitor::RemoteDiodeMonitor(uint32_t id, const char* name, const _stSensorLabel* temperatures)
    : CHardwareMonitor(MONITOR_CHIP, id) {
    FormatString(m_szName, sizeof m_szName, "%s", name);
    m_pTemperatureLabels = temperatures;
}

// ---- ADM1021 ----

AnalogDevice_ADM1021_HardwareMonitor::AnalogDevice_ADM1021_HardwareMonitor()
    : RemoteDiodeMonitor(0x00410042, "Analog Device ADM1021", kAdm1021Temperatures) {}

int AnalogDevice_ADM1021_HardwareMonitor::CreateSensors() {
    for (int i = 0; i < 2; ++i) m_pTemperatures[i] = NewIndexedSensor<CTemperatureSensor>(*this, uint8_t(i), kTemperatureInputPrefix);
    ApplySensorLabels();
    return 1;
}

int AnalogDevice_ADM1021_HardwareMonitor::Update() {
    uint8_t value = 0;
    for (int i = 0; i < 2; ++i)
        if (m_pTemperatures[i] && ReadRegister(uint8_t(kLocalTemperature + i), &value)) m_pTemperatures[i]->m_dwRawValue = value;
    ApplySensorFormulas();
    return 1;
}

// ---- ADT7461 ----

AnalogDevice_ADT7461_HardwareMonitor::AnalogDevice_ADT7461_HardwareMonitor()
    : RemoteDiodeMonitor(0x00410051, "Analog Device ADT7461", kAdt7461Temperatures) {}

int AnalogDevice_ADT7461_HardwareMonitor::CreateSensors() {
    uint8_t value = 0, high = 0, fraction = 0;
    if (ReadRegister(kLocalTemperature, &value) && value)
        m_pTemperatures[0] = NewIndexedSensor<CTemperatureSensor>(*this, 0, kTemperatureInputPrefix);
    ReadRegister(kRemoteTemperature, &high);
    if (ReadRegister(kAdt7461RemoteFraction, &fraction) && (high || fraction))
        m_pTemperatures[1] = NewIndexedSensor<CTemperatureSensor>(*this, 1, kTemperatureInputPrefix);
    ApplySensorLabels();
    return 1;
}

// The remote raw reading keeps both bytes; its value is the signed
// high byte plus the fraction.
int AnalogDevice_ADT7461_HardwareMonitor::Update() {
    uint8_t value = 0, fraction = 0;
    if (m_pTemperatures[0] && ReadRegister(kLocalTemperature, &value)) m_pTemperatures[0]->m_dwRawValue = value;
    if (m_pTemperatures[1] && ReadRegister(kRemoteTemperature, &value)) {
        ReadRegister(kAdt7461RemoteFraction, &fraction);
        const auto raw = uint16_t(value << 8 | fraction);
        m_pTemperatures[1]->m_dwRawValue = raw;
        m_pTemperatures[1]->SetValue(float(int16_t(raw & 0xFFE0)) / 256.0f, 1);
    }
    ApplySensorFormulas();
    return 1;
}

// ---- ADM1033 ----

AnalogDevice_ADM1033_HardwareMonitor::AnalogDevice_ADM1033_HardwareMonitor()
    : RemoteDiodeMonitor(0x00410033, "Analog Device ADM1033", kAdm1033Temperatures) {}

int AnalogDevice_ADM1033_HardwareMonitor::CreateSensors() {
    uint8_t value = 0;
    for (int i = 0; i < 2; ++i) {
        if (!ReadRegister(uint8_t(kAdm1033FirstTemperature + 2 * i), &value) || !value) continue;
        m_pTemperatures[i] = NewIndexedSensor<CTemperatureSensor>(*this, uint8_t(i), kTemperatureInputPrefix);
        m_pTemperatures[i]->m_dwRawValue = SignedByteFromOffset64(value);
    }
    ApplySensorLabels();
    return 1;
}

// Each pass reads the registers the sensors were found at.
int AnalogDevice_ADM1033_HardwareMonitor::Update() {
    uint8_t value = 0;
    for (int i = 0; i < 2; ++i) {
        if (!ReadRegister(uint8_t(kAdm1033FirstTemperature + 2 * i), &value) || !value) continue;
        EnsureIndexedSensor(*this, m_pTemperatures[i], uint8_t(i), kTemperatureInputPrefix)->m_dwRawValue =
            SignedByteFromOffset64(value);
    }
    ApplySensorFormulas();
    return 1;
}

// ---- MAX1617, MAX6648 ----

Maxim_MAX1617_HardwareMonitor::Maxim_MAX1617_HardwareMonitor() : Maxim_MAX1617_HardwareMonitor(0x004D0016) {}

Maxim_MAX1617_HardwareMonitor::Maxim_MAX1617_HardwareMonitor(uint32_t id)
    : RemoteDiodeMonitor(id, "Maxim MAX6648", kMaximTemperatures) {}

Maxim_MAX6648_HardwareMonitor::Maxim_MAX6648_HardwareMonitor() : Maxim_MAX1617_HardwareMonitor(0x004D0059) {}

int Maxim_MAX1617_HardwareMonitor::CreateSensors() {
    uint8_t value = 0;
    for (int i = 0; i < 2; ++i)
        if (ReadRegister(uint8_t(kLocalTemperature + i), &value) && value)
            m_pTemperatures[i] = NewIndexedSensor<CTemperatureSensor>(*this, uint8_t(i), kTemperatureInputPrefix);
    ApplySensorLabels();
    return 1;
}

// A byte of 0 keeps the previous reading.
int Maxim_MAX1617_HardwareMonitor::Update() {
    uint8_t value = 0;
    for (int i = 0; i < 2; ++i)
        if (m_pTemperatures[i] && ReadRegister(uint8_t(kLocalTemperature + i), &value) && value)
            m_pTemperatures[i]->m_dwRawValue = value;
    ApplySensorFormulas();
    return 1;
}
