#include "sdk/monitor/andigilog_asc7621.h"

#include "sdk/monitor/chip_sensor_slots.h"
#include "sdk/monitor/tachometer_pairs.h"

namespace {

// A byte of 192 reads as the rail's nominal voltage.
constexpr _stVoltageLabel kVoltages[] = {
    {"+2.5V", 0x00000100, 1, 2.5f, 192},   {"CPU VCORE", 0x01000101, 1, 2.25f, 192}, {"ATX +3.3V", 0x02000102, 1, 3.3f, 192},
    {"ATX +5V", 0x03000103, 1, 5, 192},    {"ATX +12V", 0x04000104, 1, 12, 192},     {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stSensorLabel kTemperatures[] = {{"Zone 1", 0x00000200, 1}, {"Zone 2", 0x00000201, 1},
                                            {"Zone 3", 0x00000202, 1}, {"Zone 4", 0x00000203, 1},
                                            {nullptr, kLabelTableEnd, 0}};
constexpr _stSensorLabel kFans[] = {{"FANIN0", 0x00000400, 1}, {"FANIN1", 0x00000401, 1},
                                    {"FANIN2", 0x00000402, 1}, {"FANIN3", 0x00000403, 1},
                                    {nullptr, kLabelTableEnd, 0}};

constexpr uint8_t kFirstVoltage = 0x20;
constexpr uint8_t kTemperatureRegisters[] = {0x25, 0x26, 0x27, 0x33};

} // namespace

Andigilog_ASC7621_HardwareMonitor::Andigilog_ASC7621_HardwareMonitor() : CHardwareMonitor(MONITOR_CHIP, 0x0061006C) {
    FormatString(m_szName, sizeof m_szName, "Andigilog aSC7621");
    m_fFanConstant = 5.4e6f;
    m_pVoltageLabels = kVoltages;
    m_pTemperatureLabels = kTemperatures;
    m_pFanLabels = kFans;
}

// A zone whose first reading has the high nibble 0xF is taken for absent.
int Andigilog_ASC7621_HardwareMonitor::CreateSensors() {
    uint8_t value = 0;
    for (int i = 0; i < 5; ++i)
        if (ReadRegister(uint8_t(kFirstVoltage + i), &value) && value)
            m_pVoltages[i] = NewIndexedSensor<CVoltageSensor>(*this, uint8_t(i), kVoltageInputPrefix);
    for (int i = 0; i < 4; ++i)
        if (ReadRegister(kTemperatureRegisters[i], &value) && value != 0x00 && value != 0x80 && (value & 0xF0) != 0xF0)
            m_pTemperatures[i] = NewIndexedSensor<CTemperatureSensor>(*this, uint8_t(i), kTemperatureInputPrefix);
    for (int i = 0; i < 4; ++i) {
        uint32_t count = 0;
        if (!ReadTachometerPair(*this, i, &count) || count == 0 || count == 0xFFFF) continue;
        m_pFans[i] = NewIndexedSensor<CFanSensor>(*this, uint8_t(i), kFanInputPrefix);
        m_pFans[i]->m_dwDivisor = 1;
    }
    ApplySensorLabels();
    return 1;
}

int Andigilog_ASC7621_HardwareMonitor::Update() {
    uint8_t value = 0;
    for (int i = 0; i < 5; ++i)
        if (m_pVoltages[i] && ReadRegister(uint8_t(kFirstVoltage + i), &value))
            SetVoltageReading(m_pVoltages[i], value, float(value));
    for (int i = 0; i < 4; ++i)
        if (m_pTemperatures[i] && ReadRegister(kTemperatureRegisters[i], &value)) m_pTemperatures[i]->m_dwRawValue = value;
    for (int i = 0; i < 4; ++i) {
        uint32_t count = 0;
        if (m_pFans[i] && ReadTachometerPair(*this, i, &count)) m_pFans[i]->m_dwRawValue = count;
    }
    ApplySensorFormulas();
    return 1;
}
