#include "sdk/monitor/ite_it87.h"

#include <algorithm>
#include <iterator>

#include "platform/threads.h"
#include "sdk/core/helpers.h"
#include "sdk/core/sensor.h"
#include "sdk/monitor/chip_sensor_slots.h"

namespace {

constexpr _stVoltageLabel kFamilyVoltages[] = {
    {"CPU VCORE", 0x01000100, 1, 1, 1},  {"VIN1", 0x00000101, 1, 1, 1},       {"+3.3V", 0x02000102, 1, 1, 1},
    {"+5V", 0x03000103, 2, 68, 100},     {"+12V", 0x04000104, 2, 30, 10},     {"-12V", 0x06000105, 1, -240, 60},
    {"-5V", 0x05000106, 1, -240, 60},    {"+5V VCCH", 0x00000107, 2, 68, 100}, {"VBAT", 0x00000108, 1, 1, 1},
    {nullptr, kLabelTableEnd, 0, 0, 0},
};
constexpr _stSensorLabel kFamilyTemperatures[] = {
    {"TMPIN0", 0x00000200, 1}, {"TMPIN1", 0x00000201, 1}, {"TMPIN2", 0x00000202, 1}, {nullptr, kLabelTableEnd, 0}};
constexpr _stSensorLabel kFamilyFans[] = {
    {"FANIN0", 0x00000400, 1}, {"FANIN1", 0x00000401, 1}, {"FANIN2", 0x00000402, 1},
    {"FANIN3", 0x00000403, 1}, {"FANIN4", 0x00000404, 1}, {nullptr, kLabelTableEnd, 0},
};

constexpr _stVoltageLabel kIT8721Voltages[] = {
    {"+12V", 0x04000100, 1, 1069, 249}, {"+5V", 0x03000101, 1, 268, 150}, {"CPU VCORE", 0x01000102, 1, 1, 1},
    {"VIN3", 0x00000103, 1, 1, 1},      {"VIN4", 0x00000104, 1, 1, 1},    {"+3.3V", 0x02000105, 2, 2.49f, 10},
    {"VIN6", 0x00000106, 1, 1, 1},      {"VIN7", 0x00000107, 1, 1, 1},    {"VIN8", 0x00000108, 1, 1, 1},
    {nullptr, kLabelTableEnd, 0, 0, 0},
};
constexpr _stSensorLabel kIT8721Temperatures[] = {
    {"CPU", 0x01000200, 1}, {"Mainboard", 0x00000201, 1}, {"TMPIN2", 0x00000202, 1}, {nullptr, kLabelTableEnd, 0}};
constexpr _stSensorLabel kIT8721Fans[] = {
    {"CPU", 0x01000400, 1},    {"FANIN1", 0x00000401, 1}, {"FANIN2", 0x00000402, 1},
    {"FANIN3", 0x00000403, 1}, {"FANIN4", 0x00000404, 1}, {nullptr, kLabelTableEnd, 0},
};
constexpr _stVoltageLabel kIT8758Voltages[] = {
    {"VIN1", 0x00000101, 2, 7.5f, 10}, {"VIN2", 0x00000102, 1, 1, 1}, {"VIN3", 0x00000103, 1, 1, 1},
    {"VIN4", 0x00000104, 1, 1, 1},     {"CPU VCORE", 0x01000105, 1, 1, 1}, {"VIN6", 0x00000106, 1, 1, 1},
    {"VIN7", 0x00000107, 1, 1, 1},     {"VIN8", 0x00000108, 1, 1, 1}, {nullptr, kLabelTableEnd, 0, 0, 0},
};

struct Model {
    int32_t model;
    const char* name;
    float step;
};
constexpr Model kModels[] = {
    {0x8603, "ITE IT8603", 0.012f}, {0x8606, "ITE IT8606", 0.012f}, {0x8620, "ITE IT8620", 0.012f},
    {0x8623, "ITE IT8620", 0.012f}, {0x8721, "ITE IT8721", 0.012f}, {0x8728, "ITE IT8728", 0.012f},
    {0x8732, "ITE IT8732", 0.0109f}, {0x8771, "ITE IT8772", 0.012f}, {0x8772, "ITE IT8772", 0.012f},
};
constexpr Model kOtherModel = {0, "ITE IT87", 0.016f};

constexpr int32_t kIT8721 = 0x8721;
constexpr uint8_t kIT8758Signature = 0xFA;

// Registers.
constexpr uint8_t kFanDivisors = 0x0B, kFanControl = 0x0C, kFanCountLow = 0x0D, kFanEnable = 0x13,
                  kPwmOutput = 0x15, kFanCountHigh = 0x18, kFirstVoltage = 0x20, kBattery = 0x28,
                  kFirstTemperature = 0x29, kModelSignature = 0x50, kFourthFanLow = 0x80, kFourthFanHigh = 0x81;
constexpr uint8_t kBatteryIndex = 8;  // after VIN0-VIN7
constexpr uint8_t kLowestVoltage = 11;
constexpr uint8_t kFourthFanPresent = 0x10;
constexpr uint8_t kPwmAutomatic = 0x80;
constexpr uint32_t kDivisorSearchMs = 100;
constexpr uint32_t kFourthFanDivisor = 2;

constexpr uint32_t kControlAutomatic = 1, kControlManual = 2;

bool IsOneOf(int32_t model, std::initializer_list<int32_t> models) {
    return std::find(models.begin(), models.end(), model) != models.end();
}

float PwmPercent(uint32_t raw) { return float(raw) * 100.0f * 0.0078125f; }

} // namespace

ITE_IT87_HardwareMonitor::ITE_IT87_HardwareMonitor(int32_t model)
    : CHardwareMonitor(MONITOR_CHIP, 0x900012), m_nModel(model) {
    Model chosen = kOtherModel;
    for (const Model& known : kModels)
        if (known.model == model) chosen = known;
    m_fVoltageStep = chosen.step;
    FormatString(m_szName, sizeof m_szName, "%s", chosen.name);
    const bool it8721 = model == kIT8721;
    m_pVoltageLabels = it8721 ? kIT8721Voltages : kFamilyVoltages;
    m_pTemperatureLabels = it8721 ? kIT8721Temperatures : kFamilyTemperatures;
    m_pFanLabels = it8721 ? kIT8721Fans : kFamilyFans;
}

// Only these models may count in 8 bits; the others always count in 16.
bool ITE_IT87_HardwareMonitor::HasEightBitCounts() const { return IsOneOf(m_nModel, {0x8705, 0x8712, 0x8716}); }

int ITE_IT87_HardwareMonitor::CreateSensors() {
    if (m_nModel == kIT8721) {
        // Board tables do not apply to this model.
        uint8_t signature = 0;
        const bool it8758 = ReadRegister(kModelSignature, &signature) && signature == kIT8758Signature;
        m_pVoltageLabels = it8758 ? kIT8758Voltages : kIT8721Voltages;
        m_pTemperatureLabels = kIT8721Temperatures;
        m_pFanLabels = kIT8721Fans;
        FormatString(m_szName, sizeof m_szName, "%s", it8758 ? "ITE IT8758" : "ITE IT8721");
    }
    ReadVoltages(true, 1);
    ReadTemperatures();
    ReadFanDivisors();
    uint8_t control = 0, enabled = 0;
    ReadRegister(kFanControl, &control);
    ReadRegister(kFanEnable, &enabled);
    ReadFans(control, enabled, false);
    ReadPwms(true);
    ApplySensorLabels();
    return 1;
}

int ITE_IT87_HardwareMonitor::Update() {
    ReadVoltages(false, kLowestVoltage);
    ReadTemperatures();
    uint8_t control = 0, enabled = 0;
    ReadRegister(kFanControl, &control);
    ReadRegister(kFanControl, &control);
    ReadRegister(kFanEnable, &enabled);
    ReadFans(control, enabled, true);
    ReadPwms(false);
    ApplySensorFormulas();
    return 1;
}

// At creation (`create`) an input in range makes its sensor, the battery
// from `lowestBattery` on; an update refreshes existing sensors only.
void ITE_IT87_HardwareMonitor::ReadVoltages(bool create, uint8_t lowestBattery) {
    uint8_t value = 0;
    for (uint8_t i = 0; i <= kBatteryIndex; ++i) {
        const bool battery = i == kBatteryIndex;
        const uint8_t reg = battery ? kBattery : uint8_t(kFirstVoltage + i);
        const uint8_t lowest = battery ? lowestBattery : kLowestVoltage;
        if ((!create && !m_pVoltages[i]) || !ReadRegister(reg, &value) || value < lowest || value == 0xFF) continue;
        CVoltageSensor* sensor = m_pVoltages[i];
        if (!sensor)
            sensor = battery ? EnsureSensor(*this, m_pVoltages[i], i, "VBAT")
                             : EnsureIndexedSensor(*this, m_pVoltages[i], i, "VIN");
        StoreVoltage(sensor, value, m_fVoltageStep);
    }
}

// 0x80 and 0x7F mean no diode.
void ITE_IT87_HardwareMonitor::ReadTemperatures() {
    uint8_t value = 0;
    for (uint8_t i = 0; i < std::size(m_pTemperatures); ++i)
        if (ReadRegister(uint8_t(kFirstTemperature + i), &value) && value != 0x80 && value != 0x7F)
            EnsureIndexedSensor(*this, m_pTemperatures[i], i, "TMPIN")->m_dwRawValue = value;
}

void ITE_IT87_HardwareMonitor::ReadFanDivisors() {
    if (IsOneOf(m_nModel, {0x8603, 0x8606, 0x8620, 0x8623, 0x8718, 0x8720, 0x8721, 0x8728, 0x8732, 0x8771, 0x8772})) {
        m_dwFanDivisors[0] = m_dwFanDivisors[1] = m_dwFanDivisors[2] = 2;
        return;
    }
    uint8_t divisors = 0;
    ReadRegister(kFanDivisors, &divisors);
    const uint8_t found = divisors;
    if (IsOneOf(m_nModel, {0x8705, 0x8712})) {
        m_dwFanDivisors[0] = SearchFanDivisor(0, divisors);
        m_dwFanDivisors[1] = SearchFanDivisor(1, divisors);
    } else {
        m_dwFanDivisors[0] = 1u << (found & 7);
        m_dwFanDivisors[1] = 1u << ((found >> 3) & 7);
    }
    m_dwFanDivisors[2] = (found & 0x40) ? 8 : 2;
}

// Raises the divisor while the 8-bit count overflows (0xFF), up to code 7,
// giving the chip 100 ms to count at each step.
uint32_t ITE_IT87_HardwareMonitor::SearchFanDivisor(uint8_t fan, uint8_t& divisorRegister) {
    const uint8_t shift = fan * 3;
    uint8_t code = (divisorRegister >> shift) & 7;
    uint8_t count = 0;
    const uint8_t countRegister = uint8_t(kFanCountLow + fan);
    if (ReadRegister(countRegister, &count)) {
        while (code < 7 && count == 0xFF) {
            ++code;
            divisorRegister = uint8_t((divisorRegister & ~(7 << shift)) | (code << shift));
            WriteRegister(kFanDivisors, divisorRegister);
            Sleep(kDivisorSearchMs);
            ReadRegister(countRegister, &count);
        }
    }
    return 1u << code;
}

void ITE_IT87_HardwareMonitor::ReadFans(uint8_t control, uint8_t enabled, bool clearStopped) {
    for (uint8_t n = 0; n < 3; ++n) {
        uint8_t low = 0, high = 0;
        if (!(enabled & (0x10 << n)) || !ReadRegister(uint8_t(kFanCountLow + n), &low)) continue;
        ReadRegister(uint8_t(kFanCountHigh + n), &high);
        const bool sixteenBits = !HasEightBitCounts() || (control & (1 << n));
        const uint32_t count = sixteenBits ? uint32_t(high) << 8 | low : low;
        const uint32_t noFan = sixteenBits ? 0xFFFF : 0xFF;
        if (count == noFan) {
            if (clearStopped) ClearFan(m_pFans[n]);
            continue;
        }
        EnsureFan(*this, m_pFans[n], n, m_dwFanDivisors[n])->m_dwRawValue = count;
    }
    if (!(control & kFourthFanPresent)) return;
    uint8_t low = 0, high = 0;
    ReadRegister(kFourthFanLow, &low);
    ReadRegister(kFourthFanHigh, &high);
    const uint32_t count = uint32_t(high) << 8 | low;
    if (count < 0xFFFF) EnsureFan(*this, m_pFans[3], 3, kFourthFanDivisor)->m_dwRawValue = count;
}

// In automatic mode the duty is not shown (0) and the mode bits are kept
// for a return to automatic.
void ITE_IT87_HardwareMonitor::ReadPwms(bool create) {
    uint8_t value = 0;
    for (uint8_t n = 0; n < std::size(m_pPwms); ++n) {
        if ((!create && !m_pPwms[n]) || !ReadRegister(uint8_t(kPwmOutput + n), &value)) continue;
        CFanPwmSensor* pwm = EnsureIndexedSensor(*this, m_pPwms[n], n, "FANPWM");
        const bool automatic = value & kPwmAutomatic;
        if (create && automatic) pwm->m_dwControl = value & 3;
        pwm->m_dwRawValue = automatic ? 0 : value & 0x7F;
        pwm->SetValue(PwmPercent(pwm->m_dwRawValue), 1);
    }
}

int ITE_IT87_HardwareMonitor::PwmOutputOf(uint32_t index, uint32_t classCode) {
    if (classCode != SENSOR_FAN_PWM) return -1;
    CSensor* sensor = GetSensor(classCode, index);
    for (int n = 0; n < int(std::size(m_pPwms)); ++n)
        if (sensor && sensor == m_pPwms[n]) return n;
    return -1;
}

int ITE_IT87_HardwareMonitor::SetSensorValue(uint32_t index, uint32_t classCode, float percent) {
    const int output = PwmOutputOf(index, classCode);
    if (output < 0) return 1;
    const auto duty = uint8_t(RoundToInt(percent * 128.0f / 100.0f));
    WriteRegister(uint8_t(kPwmOutput + output), std::min<uint8_t>(duty, 0x7F));
    return 1;
}

int ITE_IT87_HardwareMonitor::GetControlMode(uint32_t index, uint32_t classCode, uint32_t* mode) {
    const int output = PwmOutputOf(index, classCode);
    uint8_t value = 0;
    if (output < 0 || !mode || !ReadRegister(uint8_t(kPwmOutput + output), &value)) return 0;
    *mode = (value & kPwmAutomatic) ? kControlAutomatic : kControlManual;
    return 1;
}

int ITE_IT87_HardwareMonitor::SetControlMode(uint32_t index, uint32_t classCode, uint32_t mode) {
    const int output = PwmOutputOf(index, classCode);
    uint8_t value = 0;
    if (output < 0 || !ReadRegister(uint8_t(kPwmOutput + output), &value)) return 0;
    const bool automatic = value & kPwmAutomatic;
    if (mode == kControlAutomatic && !automatic)
        WriteRegister(uint8_t(kPwmOutput + output), uint8_t(kPwmAutomatic | (m_pPwms[output]->m_dwControl & 3)));
    else if (mode == kControlManual && automatic)
        WriteRegister(uint8_t(kPwmOutput + output), 0x7F);
    return 1;
}
