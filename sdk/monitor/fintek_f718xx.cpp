#include "sdk/monitor/fintek_f718xx.h"

#include <algorithm>

#include "sdk/core/helpers.h"
#include "sdk/core/sensor.h"
#include "sdk/monitor/chip_sensor_slots.h"

namespace {

constexpr _stVoltageLabel kF71805FVoltages[] = {
    {"CPU VCORE", 0x01000100, 1, 1, 1}, {"VIN1", 0x00000101, 1, 1, 1},      {"VIN2", 0x00000102, 1, 1, 1},
    {"+5V", 0x03000103, 2, 68, 100},    {"+12V", 0x04000104, 2, 30, 10},    {"-12V", 0x06000105, 1, -240, 60},
    {"-5V", 0x05000106, 1, -240, 60},   {"+5V VCCH", 0x00000107, 2, 68, 100}, {nullptr, kLabelTableEnd, 0, 0, 0},
};
constexpr _stVoltageLabel kF71882FVoltages[] = {
    {"+3.3V", 0x02000100, 1, 2, 1},   {"CPU VCORE", 0x01000101, 1, 1, 1}, {"VIN2", 0x00000102, 1, 2, 1},
    {"VIN3", 0x00000103, 1, 147, 100}, {"+5V", 0x03000104, 1, 247, 47},   {"+12V", 0x04000105, 1, 220, 20},
    {"VIN6", 0x00000106, 1, 2, 1},    {"VSB3V", 0x00000107, 1, 2, 1},     {"VBAT", 0x00000108, 1, 2, 1},
    {nullptr, kLabelTableEnd, 0, 0, 0},
};
constexpr _stVoltageLabel kF8000Voltages[] = {
    {"VIN0", 0x00000100, 1, 1, 1}, {"VIN1", 0x00000101, 1, 1, 1}, {"VIN2", 0x00000102, 1, 1, 1},
    {nullptr, kLabelTableEnd, 0, 0, 0},
};
constexpr _stVoltageLabel kF81865FVoltages[] = {
    {"+3.3V", 0x02000100, 1, 2, 1}, {"CPU VCORE", 0x01000101, 1, 1, 1}, {"DRAM", 0x08000102, 1, 3, 1},
    {"VIN3", 0x00000103, 1, 1, 1},  {"+5V", 0x03000104, 2, 20, 4.7f},   {"VBAT", 0x00000105, 1, 2, 1},
    {nullptr, kLabelTableEnd, 0, 0, 0},
};
constexpr _stVoltageLabel kF71811Voltages[] = {
    {"+3.3V", 0x02000100, 1, 2, 1}, {"CPU VCORE", 0x01000101, 1, 1, 1}, {"DRAM", 0x08000102, 1, 2, 1},
    {"VIN3", 0x00000103, 1, 1, 1},  {"VIN4", 0x00000104, 1, 1, 1},      {"VIN5", 0x00000105, 1, 1, 1},
    {"VIN6", 0x00000106, 1, 1, 1},  {"VSB3V", 0x00000107, 1, 2, 1},     {"VBAT", 0x00000108, 1, 2, 1},
    {"5VSB", 0x00000109, 1, 3, 1},  {nullptr, kLabelTableEnd, 0, 0, 0},
};

constexpr _stSensorLabel kThreeTemperatures[] = {
    {"TMPIN0", 0x00000200, 1}, {"TMPIN1", 0x00000201, 1}, {"TMPIN2", 0x00000202, 1}, {nullptr, kLabelTableEnd, 0}};
constexpr _stSensorLabel kTwoTemperatures[] = {
    {"TMPIN0", 0x00000200, 1}, {"TMPIN1", 0x00000201, 1}, {nullptr, kLabelTableEnd, 0}};
// The F71882F boards whose register 0x0A tells what the first diode measures.
constexpr _stSensorLabel kNorthBridgeTemperatures[] = {
    {"NB", 0x00000200, 1}, {"VREG", 0x02000201, 1}, {"System", 0x00000202, 1}, {nullptr, kLabelTableEnd, 0}};
constexpr _stSensorLabel kCpuTemperatures[] = {
    {"CPU", 0x01000200, 1}, {"VREG", 0x02000201, 1}, {"System", 0x00000202, 1}, {nullptr, kLabelTableEnd, 0}};

constexpr _stSensorLabel kFans[] = {
    {"FANIN0", 0x00000400, 1}, {"FANIN1", 0x00000401, 1}, {"FANIN2", 0x00000402, 1},
    {"FANIN3", 0x00000403, 1}, {"FANIN4", 0x00000404, 1}, {nullptr, kLabelTableEnd, 0},
};
constexpr _stSensorLabel kFourFans[] = {
    {"FANIN0", 0x00000400, 1}, {"FANIN1", 0x00000401, 1}, {"FANIN2", 0x00000402, 1},
    {"FANIN3", 0x00000403, 1}, {nullptr, kLabelTableEnd, 0},
};
constexpr _stSensorLabel kThreeFans[] = {
    {"FANIN0", 0x00000400, 1}, {"FANIN1", 0x00000401, 1}, {"FANIN2", 0x00000402, 1}, {nullptr, kLabelTableEnd, 0}};
constexpr _stSensorLabel kTwoFans[] = {
    {"FANIN0", 0x00000400, 1}, {"FANIN1", 0x00000401, 1}, {nullptr, kLabelTableEnd, 0}};

constexpr const char* kPwmNames[4] = {"CPU", "System Fan 1", "System Fan 2", "System Fan 3"};

constexpr FintekLayout kF71805FLayout{FintekScheme::Legacy, 0x11, 8, {0x1B, 0x1C, 0x1D}, 3,
                                      {0x20, 0x22, 0x24},   3,    {},   0};
constexpr FintekLayout kF71882FLayout{FintekScheme::StoreAtCreation, 0x20, 9, {0x72, 0x74, 0x76}, 3,
                                      {0xA0, 0xB0, 0xC0, 0xD0},       3,    {0xA3, 0xB3, 0xC3, 0xD3}, 3};
constexpr FintekLayout kF71808ELayout{FintekScheme::ReadingsAtFirstPoll, 0x20, 9, {0x72, 0x74, 0x76}, 3,
                                      {0xA0, 0xB0, 0xC0, 0xD0},           4,    {0xA3, 0xB3, 0xC3, 0xD3}, 4};
constexpr FintekLayout kF8000Layout{FintekScheme::EveryUpdate, 0x20, 3, {0x70, 0x72, 0x74}, 3,
                                    {0xA0, 0xB0, 0xC0},         3,    {},   0};
constexpr FintekLayout kF81865FLayout{FintekScheme::StoreAtCreation, 0x20, 6, {0x72, 0x74}, 2,
                                      {0xA0, 0xB0},                   2,    {},   0};
constexpr FintekLayout kF71811Layout{FintekScheme::EveryUpdate, 0x20, 10, {0x70, 0x72, 0x74}, 3,
                                     {0xA0, 0xB0, 0xC0, 0xD0, 0xE0}, 5,    {},   0};

constexpr float kPercentPerStep = 100.0f / 255.0f;

} // namespace

Fintek_HardwareMonitor::Fintek_HardwareMonitor(uint32_t id, const char* name, const FintekLayout& layout,
                                               const FintekLabels& labels)
    : CHardwareMonitor(MONITOR_CHIP, id), m_Layout(layout) {
    m_fFanConstant = kFanConstant;
    m_pVoltageLabels = labels.voltages;
    m_pTemperatureLabels = labels.temperatures;
    m_pFanLabels = labels.fans;
    if (name) FormatString(m_szName, sizeof m_szName, "%s", name);
}

bool Fintek_HardwareMonitor::VoltageInRange(uint8_t value) const { return value >= 1 && value <= 254; }

bool Fintek_HardwareMonitor::TemperatureInRange(uint8_t value) const {
    if (m_Layout.scheme == FintekScheme::Legacy) return value != 0xFF;
    return value != 0xFF && value != 0x80 && value != 0x7F;
}

bool Fintek_HardwareMonitor::IsNoFanCount(uint32_t count) const {
    if (count == 0 || count == 0xFFFF) return true;
    return m_Layout.scheme != FintekScheme::Legacy && count == 0x0FFF;
}

int Fintek_HardwareMonitor::CreateSensors() {
    switch (m_Layout.scheme) {
    case FintekScheme::Legacy: ReadInRange(false, false); break;
    case FintekScheme::StoreAtCreation: ReadInRange(true, false); break;
    case FintekScheme::ReadingsAtFirstPoll: ReadInRange(false, false); break;
    case FintekScheme::EveryUpdate: Update(); break;
    }
    ApplySensorLabels();
    return 1;
}

int Fintek_HardwareMonitor::Update() {
    switch (m_Layout.scheme) {
    case FintekScheme::Legacy:
        RefreshExisting();
        ReadFans(true);
        break;
    case FintekScheme::StoreAtCreation:
    case FintekScheme::ReadingsAtFirstPoll:
        RefreshExisting();
        ReadFans(false);
        ReadPwms(true);
        break;
    case FintekScheme::EveryUpdate: ReadInRange(true, true); break;
    }
    ApplySensorFormulas();
    return 1;
}

void Fintek_HardwareMonitor::ReadInRange(bool store, bool clearStoppedFans) {
    uint8_t value = 0;
    for (uint8_t i = 0; i < m_Layout.voltages; ++i) {
        if (!ReadRegister(uint8_t(m_Layout.firstVoltage + i), &value) || !VoltageInRange(value)) continue;
        CVoltageSensor* sensor = EnsureIndexedSensor(*this, m_pVoltages[i], i, "VIN");
        if (store) StoreVoltage(sensor, value, kEightMillivoltStep);
    }
    for (uint8_t i = 0; i < m_Layout.temperatures; ++i) {
        if (!ReadRegister(m_Layout.temperatureRegisters[i], &value) || !TemperatureInRange(value)) continue;
        CTemperatureSensor* sensor = EnsureIndexedSensor(*this, m_pTemperatures[i], i, "TMPIN");
        if (store) sensor->m_dwRawValue = value;
    }
    for (uint8_t i = 0; i < m_Layout.fans; ++i) {
        uint32_t count = 0;
        const uint8_t high = m_Layout.fanRegisters[i];
        if (!ReadCount(*this, high, uint8_t(high + 1), &count)) continue;
        if (IsNoFanCount(count)) {
            if (clearStoppedFans) ClearFan(m_pFans[i]);
            continue;
        }
        CFanSensor* fan = EnsureFan(*this, m_pFans[i], i, 1);
        if (store) fan->m_dwRawValue = count;
    }
    ReadPwms(store);
}

void Fintek_HardwareMonitor::RefreshExisting() {
    uint8_t value = 0;
    for (uint8_t i = 0; i < m_Layout.voltages; ++i)
        if (m_pVoltages[i] && ReadRegister(uint8_t(m_Layout.firstVoltage + i), &value))
            StoreVoltage(m_pVoltages[i], value, kEightMillivoltStep);
    for (uint8_t i = 0; i < m_Layout.temperatures; ++i)
        if (m_pTemperatures[i] && ReadRegister(m_Layout.temperatureRegisters[i], &value))
            m_pTemperatures[i]->m_dwRawValue = value;
}

// A count that means "no fan" shows 0; the older chips' 0xFFFF, too, which
// would otherwise read as a fan of 22 rpm.
void Fintek_HardwareMonitor::ReadFans(bool existingOnly) {
    for (uint8_t i = 0; i < m_Layout.fans; ++i) {
        uint32_t count = 0;
        const uint8_t high = m_Layout.fanRegisters[i];
        if ((existingOnly && !m_pFans[i]) || !ReadCount(*this, high, uint8_t(high + 1), &count)) continue;
        if (IsNoFanCount(count)) ClearFan(m_pFans[i]);
        else EnsureFan(*this, m_pFans[i], i, 1)->m_dwRawValue = count;
    }
}

void Fintek_HardwareMonitor::ReadPwms(bool store) {
    uint8_t value = 0;
    for (uint8_t i = 0; i < m_Layout.pwms; ++i) {
        if (!ReadRegister(m_Layout.pwmRegisters[i], &value)) continue;
        CFanPwmSensor* pwm = EnsureSensor(*this, m_pPwms[i], i, kPwmNames[i]);
        if (!store) continue;
        pwm->m_dwRawValue = value;
        pwm->SetValue(float(value) * kPercentPerStep, 1);
    }
}

void Fintek_HardwareMonitor::WritePwmDuty(uint32_t index, uint32_t classCode, float percent) {
    if (classCode != SENSOR_FAN_PWM) return;
    CSensor* sensor = GetSensor(classCode, index);
    const int32_t duty = std::min<int32_t>(RoundToInt(percent * 255.0f / 100.0f), 255);
    for (uint8_t i = 0; i < m_Layout.pwms; ++i)
        if (sensor && sensor == m_pPwms[i]) WriteRegister(m_Layout.pwmRegisters[i], uint8_t(std::max(duty, 0)));
}

// ---- The members ----

Fintek_F71805F_HardwareMonitor::Fintek_F71805F_HardwareMonitor()
    : Fintek_HardwareMonitor(0x19340406, "Fintek F71805F", kF71805FLayout,
                             {kF71805FVoltages, kThreeTemperatures, kFourFans}) {}

Fintek_F71872F_HardwareMonitor::Fintek_F71872F_HardwareMonitor()
    : Fintek_HardwareMonitor(0x19340341, "Fintek F71872F", kF71805FLayout,
                             {kF71805FVoltages, kThreeTemperatures, kFourFans}) {}

namespace {

struct ModelName {
    int32_t model;
    const char* name;
};
constexpr ModelName kF71882FModels[] = {
    {0x501, "Fintek F71862F"}, {0x541, "Fintek F71882F"},  {0x601, "Fintek F71882FG"},
    {0x723, "Fintek F71889F"}, {0x814, "Fintek F71869"},   {0x909, "Fintek F71889ED"},
    {0x1005, "Fintek F71889A"}, {0x1106, "Fintek F71868AD"},
};

const char* F71882FName(int32_t model) {
    for (const ModelName& known : kF71882FModels)
        if (known.model == model) return known.name;
    return "Fintek F718xx";
}

// The models with a fourth fan and a fourth PWM output.
bool HasFourthFan(int32_t model) { return model == 0x541 || model == 0x723 || model == 0x909; }

FintekLayout F71882FLayout(int32_t model) {
    FintekLayout layout = kF71882FLayout;
    if (HasFourthFan(model)) layout.fans = layout.pwms = 4;
    return layout;
}

bool BoardKeyIsOneOf(uint32_t key, std::initializer_list<uint32_t> keys) {
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

} // namespace

Fintek_F71882F_HardwareMonitor::Fintek_F71882F_HardwareMonitor(int32_t model)
    : Fintek_HardwareMonitor(0x19340541, F71882FName(model), F71882FLayout(model),
                             {kF71882FVoltages, kThreeTemperatures, kFourFans}),
      m_nModel(model) {}

int Fintek_F71882F_HardwareMonitor::CreateSensors() {
    ApplyBoardQuirks();
    return Fintek_HardwareMonitor::CreateSensors();
}

void Fintek_F71882F_HardwareMonitor::ApplyBoardQuirks() {
    uint8_t value = 0;
    if (BoardKeyIsOneOf(m_dwBoardKey, {0x47853E0, 0x6A45470, 0x7785400, 0x87853F0, 0x68BEE680, 0x68BEE6AB,
                                       0x8A2BB490, 0x938A7FD8, 0x980BF460, 0xD17DCDEC, 0xD17DCDF0})) {
        if (!ReadRegister(0x0A, &value)) return;
        if ((value & 3) == 0) m_pTemperatureLabels = kNorthBridgeTemperatures;
        else if ((value & 3) == 1) m_pTemperatureLabels = kCpuTemperatures;
    } else if (BoardKeyIsOneOf(m_dwBoardKey, {0x27F0AF90, 0x47F0AF90, 0x5A9428B4})) {
        ReadRegister(0x96, &value);
        WriteRegister(0x96, 0xFF);
    }
}

int Fintek_F71882F_HardwareMonitor::SetSensorValue(uint32_t index, uint32_t classCode, float percent) {
    WritePwmDuty(index, classCode, percent);
    return 1;
}

Fintek_F71808E_HardwareMonitor::Fintek_F71808E_HardwareMonitor()
    : Fintek_HardwareMonitor(0x19340901, "Fintek F71808", kF71808ELayout,
                             {kF71882FVoltages, kThreeTemperatures, kFourFans}) {}

int Fintek_F71808E_HardwareMonitor::SetSensorValue(uint32_t index, uint32_t classCode, float percent) {
    WritePwmDuty(index, classCode, percent);
    return 1;
}

Fintek_F8000_HardwareMonitor::Fintek_F8000_HardwareMonitor()
    : Fintek_HardwareMonitor(0x19340581, "Fintek F8000", kF8000Layout,
                             {kF8000Voltages, kThreeTemperatures, kThreeFans}) {}

Fintek_F81865F_HardwareMonitor::Fintek_F81865F_HardwareMonitor()
    : Fintek_HardwareMonitor(0x19340704, "Fintek F81865", kF81865FLayout,
                             {kF81865FVoltages, kTwoTemperatures, kTwoFans}) {}

Fintek_F71811_HardwareMonitor::Fintek_F71811_HardwareMonitor()
    : Fintek_HardwareMonitor(0x19341118, nullptr, kF71811Layout, {kF71811Voltages, kThreeTemperatures, kFans}) {}
