#include "sdk/monitor/smsc_sensor_chips.h"

#include "sdk/monitor/chip_sensor_slots.h"
#include "sdk/monitor/tachometer_pairs.h"

namespace {

constexpr float kFanConstant = 5.4e6f;
constexpr uint8_t kNoTemperature = 0x80;

constexpr _stVoltageLabel kEmc6d10xVoltages[] = {
    {"+1.5V", 0x00000100, 1, 3.32f, 255},   {"CPU VCORE", 0x01000101, 1, 3, 255}, {"ATX +3.3V", 0x02000102, 1, 4.38f, 255},
    {"ATX +5V", 0x03000103, 1, 6.64f, 255}, {"ATX +12V", 0x04000104, 1, 16, 255}, {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stVoltageLabel kDme1737Voltages[] = {
    {"+5VTR", 0x00000100, 1, 6.64f, 255},   {"CPU VCORE", 0x01000101, 1, 3, 255}, {"ATX +3.3V", 0x02000102, 1, 4.38f, 255},
    {"ATX +5V", 0x03000103, 1, 6.64f, 255}, {"ATX +12V", 0x04000104, 1, 16, 255}, {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stSensorLabel kEmc6d10xTemperatures[] = {
    {"Diode 1", 0x00000200, 1}, {"Internal", 0x00000201, 1}, {"Diode 2", 0x00000202, 1}, {nullptr, kLabelTableEnd, 0}};
constexpr _stSensorLabel kFourFans[] = {{"FANIN0", 0x00000400, 1}, {"FANIN1", 0x00000401, 1},
                                        {"FANIN2", 0x00000402, 1}, {"FANIN3", 0x00000403, 1},
                                        {nullptr, kLabelTableEnd, 0}};

constexpr _stVoltageLabel kEmc6w201Voltages[] = {
    {"AUX", 0x00000100, 1, 3.32f, 255},     {"CPU VCORE", 0x01000101, 1, 2, 255}, {"ATX +3.3V", 0x02000102, 1, 4.38f, 255},
    {"ATX +5V", 0x03000103, 1, 6.64f, 255}, {"ATX +12V", 0x04000104, 1, 16, 255}, {"VIN5", 0x00000105, 1, 3.32f, 255},
    {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stSensorLabel kEmc6w201Temperatures[] = {
    {"Remote Diode 1", 0x00000200, 1}, {"Remote Diode 2", 0x00000201, 1}, {"Remote Diode 3", 0x00000202, 1},
    {"Remote Diode 4", 0x00000203, 1}, {"Remote Diode 5", 0x00000204, 1}, {"Ambient", 0x00000205, 1},
    {nullptr, kLabelTableEnd, 0}};
constexpr _stSensorLabel kFiveFans[] = {{"FANIN0", 0x00000400, 1}, {"FANIN1", 0x00000401, 1},
                                        {"FANIN2", 0x00000402, 1}, {"FANIN3", 0x00000403, 1},
                                        {"FANIN4", 0x00000404, 1}, {nullptr, kLabelTableEnd, 0}};
constexpr uint8_t kEmc6w201FirstVoltage = 0x20;
constexpr uint8_t kEmc6w201FirstTemperature = 0x26;
constexpr uint8_t kEmc6w201FirstFan = 0x2C;

// The EMCT03 values are computed by the monitor from both bytes.
constexpr _stSensorLabel kEmct03Temperatures[] = {
    {"TMPIN0", 0x00000200, 0xFFFFFFFF}, {"TMPIN1", 0x00000201, 0xFFFFFFFF}, {"TMPIN2", 0x00000202, 0xFFFFFFFF},
    {"TMPIN3", 0x00000203, 0xFFFFFFFF}, {"TMPIN4", 0x00000204, 0xFFFFFFFF}, {nullptr, kLabelTableEnd, 0}};
constexpr uint8_t kEmct03Pairs[3][2] = {{0x00, 0x23}, {0x01, 0x10}, {0xF8, 0xF9}};

constexpr _stSensorLabel kLpc47b397Temperatures[] = {
    {"Motherboard", 0x00000200, 1}, {"CPU", 0x00000201, 1}, {"TMPIN2", 0x00000202, 1}, {"TMPIN3", 0x00000203, 1},
    {nullptr, kLabelTableEnd, 0}};
constexpr uint8_t kLpc47b397TemperatureRegisters[] = {0x25, 0x26, 0x27, 0x80};

constexpr _stSensorLabel kThreeFans[] = {
    {"FANIN0", 0x00000400, 1}, {"FANIN1", 0x00000401, 1}, {"FANIN2", 0x00000402, 1}, {nullptr, kLabelTableEnd, 0}};
constexpr uint8_t kLpc47m10xFans[] = {0x59, 0x5A, 0x6B};

constexpr uint8_t kFirstVoltage = 0x20;
constexpr uint8_t kFirstTemperature = 0x25;

void SetByteVoltage(CSensor* sensor, uint8_t value) { SetVoltageReading(sensor, value, float(value)); }

} // namespace

// ---- EMC6D10x, DME1737 ----

SMSC_EMC6D10X_HardwareMonitor::SMSC_EMC6D10X_HardwareMonitor()
    : SMSC_EMC6D10X_HardwareMonitor(0x550060, "SMSC EMC6D10X", kEmc6d10xVoltages) {}

SMSC_EMC6D10X_HardwareMonitor::SMSC_EMC6D10X_HardwareMonitor(uint32_t id, const char* name,
                                                             const _stVoltageLabel* voltages)
    : CHardwareMonitor(MONITOR_CHIP, id) {
    FormatString(m_szName, sizeof m_szName, "%s", name);
    m_fFanConstant = kFanConstant;
    m_pVoltageLabels = voltages;
    m_pTemperatureLabels = kEmc6d10xTemperatures;
    m_pFanLabels = kFourFans;
}

void SMSC_EMC6D10X_HardwareMonitor::FindSensors(bool rejectZero) {
    uint8_t value = 0;
    for (int i = 0; i < 5; ++i) {
        const bool read = ReadRegister(uint8_t(kFirstVoltage + i), &value);
        if (!rejectZero || (read && value))
            m_pVoltages[i] = NewIndexedSensor<CVoltageSensor>(*this, uint8_t(i), kVoltageInputPrefix);
    }
    for (int i = 0; i < 3; ++i)
        if (ReadRegister(uint8_t(kFirstTemperature + i), &value) && value != kNoTemperature && (!rejectZero || value))
            m_pTemperatures[i] = NewIndexedSensor<CTemperatureSensor>(*this, uint8_t(i), kTemperatureInputPrefix);
    for (int i = 0; i < 4; ++i) {
        uint32_t count = 0;
        if (!ReadTachometerPair(*this, i, &count) || count == 0xFFFF || (rejectZero && !count)) continue;
        m_pFans[i] = NewIndexedSensor<CFanSensor>(*this, uint8_t(i), kFanInputPrefix);
        m_pFans[i]->m_dwDivisor = 1;
    }
    ApplySensorLabels();
}

int SMSC_EMC6D10X_HardwareMonitor::CreateSensors() {
    FindSensors(false);
    return 1;
}

int SMSC_EMC6D10X_HardwareMonitor::Update() {
    uint8_t value = 0;
    for (int i = 0; i < 5; ++i)
        if (m_pVoltages[i] && ReadRegister(uint8_t(kFirstVoltage + i), &value)) SetByteVoltage(m_pVoltages[i], value);
    for (int i = 0; i < 3; ++i)
        if (m_pTemperatures[i] && ReadRegister(uint8_t(kFirstTemperature + i), &value))
            m_pTemperatures[i]->m_dwRawValue = value;
    for (int i = 0; i < 4; ++i) {
        uint32_t count = 0;
        if (m_pFans[i] && ReadTachometerPair(*this, i, &count)) m_pFans[i]->m_dwRawValue = count;
    }
    ApplySensorFormulas();
    return 1;
}

SMSC_DME1737_HardwareMonitor::SMSC_DME1737_HardwareMonitor()
    : SMSC_EMC6D10X_HardwareMonitor(0x55008C, "SMSC DME1737", kDme1737Voltages) {}

int SMSC_DME1737_HardwareMonitor::CreateSensors() {
    FindSensors(true);
    return 1;
}

// ---- EMC6W201 ----

SMSC_EMC6W201_HardwareMonitor::SMSC_EMC6W201_HardwareMonitor() : CHardwareMonitor(MONITOR_CHIP, 0x5500B0) {
    FormatString(m_szName, sizeof m_szName, "SMSC EMC6W201");
    m_fFanConstant = kFanConstant;
    m_pVoltageLabels = kEmc6w201Voltages;
    m_pTemperatureLabels = kEmc6w201Temperatures;
    m_pFanLabels = kFiveFans;
}

void SMSC_EMC6W201_HardwareMonitor::Read(bool create) {
    uint8_t value = 0;
    for (int i = 0; i < 6; ++i) {
        if (!ReadRegister(uint8_t(kEmc6w201FirstVoltage + i), &value)) continue;
        if (create && value) m_pVoltages[i] = NewIndexedSensor<CVoltageSensor>(*this, uint8_t(i), kVoltageInputPrefix);
        if (m_pVoltages[i]) SetByteVoltage(m_pVoltages[i], value);
    }
    for (int i = 0; i < 6; ++i) {
        if (!ReadRegister(uint8_t(kEmc6w201FirstTemperature + i), &value)) continue;
        if (create && value && value != kNoTemperature)
            m_pTemperatures[i] = NewIndexedSensor<CTemperatureSensor>(*this, uint8_t(i), kTemperatureInputPrefix);
        if (m_pTemperatures[i]) m_pTemperatures[i]->m_dwRawValue = value;
    }
    for (int i = 0; i < 5; ++i) {
        uint32_t count = 0;
        if (!ReadCountPair(*this, uint8_t(kEmc6w201FirstFan + 2 * i), &count)) continue;
        if (create && count != 0xFFFF) {
            m_pFans[i] = NewIndexedSensor<CFanSensor>(*this, uint8_t(i), kFanInputPrefix);
            m_pFans[i]->m_dwDivisor = 1;
        }
        if (m_pFans[i]) m_pFans[i]->m_dwRawValue = count;
    }
}

int SMSC_EMC6W201_HardwareMonitor::CreateSensors() {
    Read(true);
    ApplySensorLabels();
    return 1;
}

int SMSC_EMC6W201_HardwareMonitor::Update() {
    Read(false);
    ApplySensorFormulas();
    return 1;
}

// ---- EMCT03 ----

SMSC_EMCT03_HardwareMonitor::SMSC_EMCT03_HardwareMonitor() : CHardwareMonitor(MONITOR_CHIP, 0x550001) {
    FormatString(m_szName, sizeof m_szName, "SMSC EMCT03");
    m_pTemperatureLabels = kEmct03Temperatures;
}

// A pair below 0x100 (0 degrees and up to a fraction) is taken for absent.
void SMSC_EMCT03_HardwareMonitor::Read() {
    for (int i = 0; i < 3; ++i) {
        uint8_t degrees = 0, fraction = 0;
        ReadRegister(kEmct03Pairs[i][0], &degrees);
        ReadRegister(kEmct03Pairs[i][1], &fraction);
        const auto pair = uint16_t(degrees << 8 | fraction);
        if (pair < 0x100) continue;
        CTemperatureSensor* sensor = EnsureIndexedSensor(*this, m_pTemperatures[i], uint8_t(i), kTemperatureInputPrefix);
        sensor->m_dwRawValue = pair;
        sensor->SetValue(float(int16_t(pair)) / 256.0f, 1);
    }
}

int SMSC_EMCT03_HardwareMonitor::CreateSensors() {
    Read();
    ApplySensorLabels();
    return 1;
}

int SMSC_EMCT03_HardwareMonitor::Update() {
    Read();
    ApplySensorFormulas();
    return 1;
}

// ---- LPC47B397 ----

SMSC_LPC47B397_HardwareMonitor::SMSC_LPC47B397_HardwareMonitor() : CHardwareMonitor(MONITOR_CHIP, 0x550002) {
    FormatString(m_szName, sizeof m_szName, "SMSC LPC47B397");
    m_fFanConstant = kFanConstant;
    m_pTemperatureLabels = kLpc47b397Temperatures;
    m_pFanLabels = kFourFans;
}

int SMSC_LPC47B397_HardwareMonitor::CreateSensors() {
    uint8_t value = 0;
    for (int i = 0; i < 4; ++i)
        if (ReadRegister(kLpc47b397TemperatureRegisters[i], &value) && value != kNoTemperature)
            m_pTemperatures[i] = NewIndexedSensor<CTemperatureSensor>(*this, uint8_t(i), kTemperatureInputPrefix);
    for (int i = 0; i < 4; ++i) {
        uint32_t count = 0;
        if (!ReadTachometerPair(*this, i, &count) || count == 0xFFFF) continue;
        m_pFans[i] = NewIndexedSensor<CFanSensor>(*this, uint8_t(i), kFanInputPrefix);
        m_pFans[i]->m_dwDivisor = 1;
    }
    ApplySensorLabels();
    return 1;
}

int SMSC_LPC47B397_HardwareMonitor::Update() {
    uint8_t value = 0;
    for (int i = 0; i < 4; ++i)
        if (m_pTemperatures[i] && ReadRegister(kLpc47b397TemperatureRegisters[i], &value) && value != kNoTemperature)
            m_pTemperatures[i]->m_dwRawValue = value;
    for (int i = 0; i < 4; ++i) {
        uint32_t count = 0;
        if (m_pFans[i] && ReadTachometerPair(*this, i, &count)) m_pFans[i]->m_dwRawValue = count;
    }
    ApplySensorFormulas();
    return 1;
}

// ---- LPC47M10x ----

SMSC_LPC47M10x_HardwareMonitor::SMSC_LPC47M10x_HardwareMonitor() : CHardwareMonitor(MONITOR_CHIP, 0x550003) {
    FormatString(m_szName, sizeof m_szName, "SMSC LPC47M10x");
    m_fFanConstant = kFanConstant;
    m_pFanLabels = kThreeFans;
}

int SMSC_LPC47M10x_HardwareMonitor::CreateSensors() {
    uint8_t count = 0;
    for (int i = 0; i < 3; ++i)
        if (ReadRegister(kLpc47m10xFans[i], &count) && count >= 1 && count <= 254)
            EnsureFan(*this, m_pFans[i], uint8_t(i), 1)->m_dwRawValue = count;
    ApplySensorLabels();
    return 1;
}

// A stopped fan (0 or 255) keeps its sensor and shows 0.
int SMSC_LPC47M10x_HardwareMonitor::Update() {
    uint8_t count = 0;
    for (int i = 0; i < 3; ++i) {
        if (ReadRegister(kLpc47m10xFans[i], &count) && count >= 1 && count <= 254)
            EnsureFan(*this, m_pFans[i], uint8_t(i), 1)->m_dwRawValue = count;
        else
            ClearFan(m_pFans[i]);
    }
    ApplySensorFormulas();
    return 1;
}
