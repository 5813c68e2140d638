#include "sdk/monitor/national_semiconductor_monitors.h"

#include "sdk/hw/register_space_pmio.h"
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

// ---- PC87366 ----
constexpr _stVoltageLabel kPc87366Voltages[] = {
    {"VIN0", 0x00000100, 1, 1, 1},    {"-12V", 0x06000101, 4, 16, -52.5f}, {"+12V", 0x04000102, 1, 6, 1},
    {"+5V", 0x03000103, 1, 2, 1},     {"+1.5V", 0x00000104, 1, 1, 1},     {"+1.8V", 0x00000105, 1, 1, 1},
    {"CPU VID", 0x01000106, 1, 1, 1}, {"VBAT", 0x00000107, 1, 2, 1},      {"+3.3V", 0x02000108, 1, 2, 1},
    {"VIN9", 0x00000109, 1, 1, 1},    {"VIN10", 0x0000010A, 1, 2, 1},     {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stSensorLabel kPc87366Temperatures[] = {
    {"Remote 1", 0x00000200, 1}, {"Remote 2", 0x00000201, 1}, {"Local", 0x00000202, 1}, {nullptr, kLabelTableEnd, 0}};
constexpr _stSensorLabel kPc87366Fans[] = {
    {"FANIN0", 0x00000400, 1}, {"FANIN1", 0x00000401, 1}, {"FANIN2", 0x00000402, 1}, {nullptr, kLabelTableEnd, 0}};
constexpr uint8_t kChannelValue = 0x0B;
constexpr uint8_t kFanCounts[] = {7, 10, 13};  // each followed by its divisor register
constexpr double kVoltsPerStep = 3.025750160217285 * 0.00390625;

// Keeps a banked block's bank selection and puts it back.
class SavedBank {
public:
    explicit SavedBank(Banked_PMIO_RegisterSpace* space) : space_(space) {
        known_ = space_ && space_->ReadRegister(Banked_PMIO_RegisterSpace::kCurrentBank, space_->m_byBankOffset, &bank_);
    }
    ~SavedBank() {
        if (known_) space_->WriteRegister(Banked_PMIO_RegisterSpace::kCurrentBank, space_->m_byBankOffset, bank_);
    }
    SavedBank(const SavedBank&) = delete;
    SavedBank& operator=(const SavedBank&) = delete;

private:
    Banked_PMIO_RegisterSpace* space_;
    uint8_t bank_ = 0;
    bool known_ = false;
};

} // namespace

// ---- LM63 ----

NS_LM63_HardwareMonitor::NS_LM63_HardwareMonitor() : CHardwareMonitor(MONITOR_CHIP, 0xFF020041) {
    FormatString(m_szName, sizeof m_szName, "NS LM63");
    m_pTemperatureLabels = kLm63Temperatures;
}

int NS_LM63_HardwareMonitor::CreateSensors() {
    for (int i = 0; i < 2; ++i) m_pTemperatures[i] = NewIndexedSensor<CTemperatureSensor>(*this, uint8_t(i), kTemperatureInputPrefix);
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
            m_pVoltages[i] = NewIndexedSensor<CVoltageSensor>(*this, uint8_t(i), kVoltageInputPrefix);
    for (int i = 0; i < 2; ++i)
        if (ReadRegister(uint8_t(kLm87FirstTemperature + i), &value) && InRange(value) && value != 0x80)
            m_pTemperatures[i] = NewIndexedSensor<CTemperatureSensor>(*this, uint8_t(i), kTemperatureInputPrefix);
    uint8_t divisors = 0;
    ReadRegister(kLm87FanDivisors, &divisors);
    m_dwFanDivisors[0] = 1u << ((divisors >> 4) & 3);
    m_dwFanDivisors[1] = 1u << ((divisors >> 6) & 3);
    for (int i = 0; i < 2; ++i) {
        if (!ReadRegister(uint8_t(kLm87FirstFan + i), &value) || !InRange(value)) continue;
        m_pFans[i] = NewIndexedSensor<CFanSensor>(*this, uint8_t(i), kFanInputPrefix);
        m_pFans[i]->m_dwDivisor = m_dwFanDivisors[i];
    }
    ApplySensorLabels();
    return 1;
}

int NS_LM87_HardwareMonitor::Update() {
    uint8_t value = 0;
    for (int i = 0; i < 6; ++i)
        if (ReadRegister(uint8_t(kLm87FirstVoltage + i), &value) && InRange(value))
            SetVoltageReading(EnsureIndexedSensor(*this, m_pVoltages[i], uint8_t(i), kVoltageInputPrefix), value, float(value));
    for (int i = 0; i < 2; ++i)
        if (ReadRegister(uint8_t(kLm87FirstTemperature + i), &value) && value != 0xFF && value && value != 0x80)
            EnsureIndexedSensor(*this, m_pTemperatures[i], uint8_t(i), kTemperatureInputPrefix)->m_dwRawValue = value;
    for (int i = 0; i < 2; ++i)
        if (ReadRegister(uint8_t(kLm87FirstFan + i), &value) && InRange(value))
            EnsureFan(*this, m_pFans[i], uint8_t(i), m_dwFanDivisors[i])->m_dwRawValue = value;
    ApplySensorFormulas();
    return 1;
}

// ---- PC87366 ----

NS_PC87366_HardwareMonitor::NS_PC87366_HardwareMonitor(Banked_PMIO_RegisterSpace* fans,
                                                       Banked_PMIO_RegisterSpace* voltages,
                                                       Banked_PMIO_RegisterSpace* temperatures)
    : CHardwareMonitor(MONITOR_CHIP, 0xFF0200E9), m_pFanSpace(fans), m_pVoltageSpace(voltages),
      m_pTemperatureSpace(temperatures) {
    FormatString(m_szName, sizeof m_szName, "NS PC87366");
    m_fFanConstant = 480000.0f;
    m_pVoltageLabels = kPc87366Voltages;
    m_pTemperatureLabels = kPc87366Temperatures;
    m_pFanLabels = kPc87366Fans;
}

int NS_PC87366_HardwareMonitor::ReadChannel(Banked_PMIO_RegisterSpace* space, int channel, uint8_t* value) {
    return space ? space->ReadRegister(int8_t(channel), kChannelValue, value) : 0;
}

void NS_PC87366_HardwareMonitor::ReadVoltages(bool create) {
    SavedBank bank(m_pVoltageSpace);
    for (int i = 0; i < 11; ++i) {
        uint8_t value = 0;
        if (!ReadChannel(m_pVoltageSpace, i, &value) || value == 0x7F || value == 0 || value == 0xFF) continue;
        if (create) m_pVoltages[i] = NewIndexedSensor<CVoltageSensor>(*this, uint8_t(i), kVoltageInputPrefix);
        else if (m_pVoltages[i]) SetVoltageReading(m_pVoltages[i], value, float(value * kVoltsPerStep));
    }
}

void NS_PC87366_HardwareMonitor::ReadTemperatures(bool create) {
    SavedBank bank(m_pTemperatureSpace);
    for (int i = 0; i < 3; ++i) {
        uint8_t value = 0;
        if (!ReadChannel(m_pTemperatureSpace, i, &value) || value == 0x7F || value == 0) continue;
        if (create) m_pTemperatures[i] = NewIndexedSensor<CTemperatureSensor>(*this, uint8_t(i), kTemperatureInputPrefix);
        else if (m_pTemperatures[i]) m_pTemperatures[i]->m_dwRawValue = value;
    }
}

int NS_PC87366_HardwareMonitor::CreateSensors() {
    ReadVoltages(true);
    ReadTemperatures(true);
    for (int i = 0; i < 3 && m_pFanSpace; ++i) {
        uint8_t count = 0, divisor = 0;
        if (!m_pFanSpace->ReadRegister(Banked_PMIO_RegisterSpace::kCurrentBank, kFanCounts[i], &count)) continue;
        m_pFans[i] = NewIndexedSensor<CFanSensor>(*this, uint8_t(i), kFanInputPrefix);  // divisor 2
        if (m_pFanSpace->ReadRegister(Banked_PMIO_RegisterSpace::kCurrentBank, uint8_t(kFanCounts[i] + 1), &divisor))
            m_pFans[i]->m_dwDivisor = 1u << ((divisor >> 5) & 3);
    }
    ApplySensorLabels();
    return 1;
}

int NS_PC87366_HardwareMonitor::Update() {
    ReadVoltages(false);
    ReadTemperatures(false);
    for (int i = 0; i < 3 && m_pFanSpace; ++i) {
        uint8_t count = 0;
        if (m_pFans[i] && m_pFanSpace->ReadRegister(Banked_PMIO_RegisterSpace::kCurrentBank, kFanCounts[i], &count))
            m_pFans[i]->m_dwRawValue = count;
    }
    ApplySensorFormulas();
    return 1;
}
