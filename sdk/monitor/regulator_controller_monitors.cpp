#include "sdk/monitor/regulator_controller_monitors.h"

#include <cmath>

#include "sdk/monitor/chip_sensor_slots.h"

namespace {

// ---- CHL8266 ----
struct PMBusReading {
    uint8_t command;
    uint32_t sensorClass;
    uint8_t index;
    const char* label;
};
constexpr PMBusReading kChl8266Readings[] = {
    {0x88, SENSOR_VOLTAGE, 0, "+12V GPU"}, {0x8B, SENSOR_VOLTAGE, 1, "VGPU"}, {0x8C, SENSOR_CURRENT, 0, "GPU"},
    {0x8D, SENSOR_TEMPERATURE, 0, "GPU VRM"}, {0x96, SENSOR_POWER, 0, "GPU"}};

// ---- CHL8326 ----
// The output voltage comes in millivolts with a zero exponent.
constexpr _stVoltageLabel kChl8326Voltages[] = {
    {"12V ATX CPU", 0x04000100, 1, 1, 1}, {"CPU VCORE", 0x01000101, 1, 1, 1000}, {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr uint8_t kChl8326Commands[] = {0x88, 0x8B};

// ---- VT1165 ----
constexpr _stVoltageLabel kVt1165Voltages[] = {{"VID", 0x00000100, 1, 1, 1}, {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stSensorLabel kVt1165Temperatures[] = {{"TMPIN0", 0x00000200, 4}, {nullptr, kLabelTableEnd, 0}};
constexpr uint32_t VT1165CurrentScaleTable[8] = {24, 36, 32, 28, 26, 38, 34, 30};
constexpr uint8_t kVt1165Vid = 0x1C;
constexpr uint8_t kVt1165Temperature = 0x0A;
constexpr uint8_t kVt1165Current = 0x1E;
constexpr uint8_t kVt1165Readout = 0x07;
constexpr uint8_t kVt1165Page = 0x08;
constexpr uint8_t kVt1165ScaleLow = 0x04;
constexpr uint8_t kVt1165ScaleHigh = 0x05;
constexpr uint8_t kVt1165ScaleFactor = 0x0E;
constexpr double kVidTop = 1.6125;
constexpr double kVidStep = 0.00625;

} // namespace

double DecodePMBusLinear(uint16_t word) {
    const int exponent = word >> 11;
    const double mantissa = word & 0x7FF;
    return (word & 0x8000) ? std::ldexp(mantissa, exponent - 32) : std::ldexp(mantissa, exponent);
}

// ---- CHL8266 ----

CHIL_CHL8266_HardwareMonitor::CHIL_CHL8266_HardwareMonitor() : CHardwareMonitor(MONITOR_CHIP, 0xC0010201) {
    FormatString(m_szName, sizeof m_szName, "CHIL CHL8266");
}

CSensor* CHIL_CHL8266_HardwareMonitor::SensorOfWord(int i) {
    const PMBusReading& reading = kChl8266Readings[i];
    switch (reading.sensorClass) {
    case SENSOR_VOLTAGE: return EnsureSensor(*this, m_pVoltages[reading.index], reading.index, reading.label);
    case SENSOR_CURRENT: return EnsureSensor(*this, m_pCurrent, 0, reading.label);
    case SENSOR_TEMPERATURE: return EnsureSensor(*this, m_pTemperature, 0, reading.label);
    default: return EnsureSensor(*this, m_pPower, 0, reading.label);
    }
}

int CHIL_CHL8266_HardwareMonitor::CreateSensors() {
    uint16_t word = 0;
    for (int i = 0; i < 5; ++i)
        if (ReadWordRegister(kChl8266Readings[i].command, &word)) SensorOfWord(i);
    ApplySensorLabels();
    return 1;
}

int CHIL_CHL8266_HardwareMonitor::Update() {
    uint16_t word = 0;
    for (int i = 0; i < 5; ++i) {
        if (!ReadWordRegister(kChl8266Readings[i].command, &word)) continue;
        CSensor* sensor = SensorOfWord(i);
        sensor->m_dwRawValue = word;
        sensor->SetValue(float(DecodePMBusLinear(word)), 1);
    }
    ApplySensorFormulas();
    return 1;
}

// ---- CHL8326 ----

CHIL_CHL8326_HardwareMonitor::CHIL_CHL8326_HardwareMonitor() : CHardwareMonitor(MONITOR_CHIP, 0xC0010701) {
    FormatString(m_szName, sizeof m_szName, "CHIL CHL8326");
    m_pVoltageLabels = kChl8326Voltages;
}

int CHIL_CHL8326_HardwareMonitor::CreateSensors() {
    Update();
    ApplySensorLabels();
    return 1;
}

int CHIL_CHL8326_HardwareMonitor::Update() {
    uint16_t word = 0;
    for (int i = 0; i < 2; ++i) {
        if (!ReadWordRegister(kChl8326Commands[i], &word)) continue;
        SetVoltageReading(EnsureIndexedSensor(*this, m_pVoltages[i], uint8_t(i), kVoltageInputPrefix), word,
                          float(DecodePMBusLinear(word)));
    }
    ApplySensorFormulas();
    return 1;
}

// ---- VT1165 ----

Volterra_VT1165_HardwareMonitor::Volterra_VT1165_HardwareMonitor() : CHardwareMonitor(MONITOR_CHIP, 0xC002000A) {
    FormatString(m_szName, sizeof m_szName, "Volterra VT1165");
    m_pVoltageLabels = kVt1165Voltages;
    m_pTemperatureLabels = kVt1165Temperatures;
    m_dwUpdateDivider = 2;
}

void Volterra_VT1165_HardwareMonitor::ReadVid() {
    uint8_t value = 0;
    if (!ReadRegister(kVt1165Vid, &value)) return;
    const uint32_t vid = value & 0x3F;
    SetVoltageReading(EnsureSensor(*this, m_pVoltage, 0, "VID"), vid, float(kVidTop - vid * kVidStep));
}

void Volterra_VT1165_HardwareMonitor::ReadTemperatureAndCurrent() {
    uint8_t value = 0;
    if (ReadRegister(kVt1165Temperature, &value)) {
        CTemperatureSensor* temperature = EnsureIndexedSensor(*this, m_pTemperature, 0, kTemperatureInputPrefix);
        temperature->m_dwRawValue = value;
        temperature->SetValue(float(value), 1);
    }
    if (ReadRegister(kVt1165Current, &value) && CurrentScale != kNoScale) {
        CCurrentSensor* current = EnsureSensor(*this, m_pCurrent, 0, "CIN0");
        current->m_dwRawValue = value & 0x7F;
        current->SetValue(float((value & 0x7F) * double(CurrentScale) / 124.0), 1);
    }
}

// Selects the temperature and current readout once; the page register and
// the page-0 readout register are kept for Close to put back.
void Volterra_VT1165_HardwareMonitor::SelectReadout() {
    m_bConfigured = ReadRegister(kVt1165Page, &m_bySavedPage) != 0;
    WriteRegister(kVt1165Page, 0x00);
    m_bConfigured = m_bConfigured && ReadRegister(kVt1165Readout, &m_bySavedReadout);
    WriteRegister(kVt1165Readout, 0xA7);
    WriteRegister(kVt1165Page, 0x81);
}

int Volterra_VT1165_HardwareMonitor::CreateSensors() {
    ReadVid();
    SelectReadout();
    uint8_t low = 0, high = 0, factor = 0;
    if (ReadRegister(kVt1165ScaleLow, &low) && ReadRegister(kVt1165ScaleHigh, &high) &&
        ReadRegister(kVt1165ScaleFactor, &factor))
        CurrentScale = VT1165CurrentScaleTable[(high & 1) * 4 + (low >> 6)] * factor;
    ReadTemperatureAndCurrent();
    ApplySensorLabels();
    return 1;
}

int Volterra_VT1165_HardwareMonitor::Update() {
    ReadVid();
    ReadTemperatureAndCurrent();
    ApplySensorFormulas();
    return 1;
}

void Volterra_VT1165_HardwareMonitor::Close() {
    if (!m_bConfigured) return;
    WriteRegister(kVt1165Page, 0x00);
    WriteRegister(kVt1165Readout, m_bySavedReadout);
    WriteRegister(kVt1165Page, m_bySavedPage);
    m_bConfigured = false;
}
