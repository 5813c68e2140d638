#include "sdk/monitor/winbond_w83627hf.h"

#include <algorithm>

#include "platform/threads.h"
#include "sdk/core/helpers.h"
#include "sdk/core/sensor.h"
#include "sdk/monitor/winbond_monitor.h"

namespace {

using namespace winbond;

constexpr uint8_t kLastDumpBank = 4;

// W83627HF
constexpr uint32_t kHfBankSettleMs = 20;
constexpr uint8_t kFanOutputs[2] = {0x5A, 0x5B};
// The board whose W83627HF gets bits 4-6 of register 0x59 set.
constexpr uint32_t kHfBoardSetting59 = 0xBCF432E0;
constexpr uint8_t kHfBits59 = 0x70;

// W83627THF
constexpr uint8_t kThfVoltageMode = 0x18;  // bit 0: the core voltage's fine scale
constexpr float kThfFineStep = 0.00488f;
constexpr float kThfFineOffset = 0.69f;
// A count at or below 135 / divisor would be 10,000 RPM or more.
constexpr uint32_t kThfCountLimit = 135;

constexpr _stVoltageLabel kHfVoltages[] = {
    {"CPU VCore", 0x01000100, 1, 1, 1}, {"AUX", 0x00000101, 1, 1, 1},    {"+3.3V", 0x02000102, 1, 1, 1},
    {"+5V", 0x03000103, 2, 34, 50},     {"+12V", 0x04000104, 2, 28, 10}, {"-12V", 0x06000105, 3, 232, 56},
    {"-5V", 0x05000106, 3, 120, 56},    {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stVoltageLabel kFiveInputVoltages[] = {
    {"CPU VCore", 0x01000100, 1, 1, 1}, {"AUX", 0x00000101, 1, 1, 1},     {"+3.3V", 0x02000102, 1, 1, 1},
    {"+5V", 0x03000103, 2, 34, 50},     {"+12V", 0x04000104, 2, 28, 10},  {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stVoltageLabel kThfVoltages[] = {
    {"CPU VCore", 0x01000100, 1, 1, 1}, {"VIN1", 0x00000101, 1, 1, 1},    {"+3.3V", 0x02000102, 1, 1, 1},
    {"+5V", 0x03000103, 2, 34, 51},     {"+12V", 0x04000104, 2, 28, 10},  {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stSensorLabel kTwoTemperatures[] = {
    {"TMPIN0", 0x00000200, 1}, {"TMPIN1", 0x00000201, 2}, {nullptr, kLabelTableEnd, 0}};
constexpr _stSensorLabel kThfTemperatures[] = {
    {"SYSTIN", 0x00000200, 1}, {"CPUTIN", 0x01000201, 2}, {"VTIN", 0x00000202, 2}, {nullptr, kLabelTableEnd, 0}};
constexpr _stSensorLabel kTwoFans[] = {{"FANIN0", 0x00000400, 1}, {"FANIN1", 0x00000401, 1}, {nullptr, kLabelTableEnd, 0}};

void Setup(CHardwareMonitor* monitor, uint32_t id, const char* name, const _stVoltageLabel* voltages,
           const _stSensorLabel* temperatures, const _stSensorLabel* fans) {
    monitor->m_dwId = id;
    FormatString(monitor->m_szName, sizeof monitor->m_szName, "%s", name);
    monitor->m_pVoltageLabels = voltages;
    monitor->m_pTemperatureLabels = temperatures;
    monitor->m_pFanLabels = fans;
}

// Voltages of the registers listed, by index, that pass the voltage test.
void CreateVoltages(CHardwareMonitor* monitor, CVoltageSensor** sensors, const uint8_t* registers, uint8_t count) {
    uint8_t byte = 0xFF;
    for (uint8_t i = 0; i < count; ++i)
        if (ReadsVoltage(monitor, registers[i], byte)) sensors[i] = NewVoltage(monitor, i);
}

void UpdateVoltages(CHardwareMonitor* monitor, CVoltageSensor* const* sensors, const uint8_t* registers,
                    uint8_t count) {
    for (uint8_t i = 0; i < count; ++i) winbond::UpdateVoltages(monitor, &sensors[i], 1, registers[i], kVoltStep, false);
}

// Temperature 0 and fans 0 to count - 1 of bank 0 that pass their tests.
void CreateTemperatureAndFans(CHardwareMonitor* monitor, CTemperatureSensor*& temperature, CFanSensor** fans,
                              uint8_t count, const uint32_t* exponents) {
    uint8_t byte = 0xFF;
    if (ReadsTemperature(monitor, kTemperature0, byte)) temperature = NewTemperature(monitor, 0);
    for (uint8_t fan = 0; fan < count; ++fan)
        if (ReadsFan(monitor, kFanCounts[fan], byte)) fans[fan] = NewFan(monitor, fan, exponents[fan]);
}

// Temperature 0, the fans and the status bit as they read.
void UpdateBankZeroBytes(CHardwareMonitor* monitor, CTemperatureSensor* temperature, CFanSensor* const* fans,
                         uint8_t count, CSensor* status) {
    StoreRawByte(monitor, temperature, kTemperature0);
    for (uint8_t fan = 0; fan < count; ++fan) StoreRawByte(monitor, fans[fan], kFanCounts[fan]);
    UpdateStatus(monitor, status, kStatusRegister, kStatusBit);
}

constexpr uint8_t kVoltages0To6[7] = {0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26};
constexpr uint8_t kW83697hfVoltages[5] = {0x20, 0x22, 0x23, 0x24, 0x25};

uint32_t SelectHfBank(CHardwareMonitor* monitor, uint8_t bank) {
    return static_cast<Winbond_W83627HF_HardwareMonitor*>(monitor)->SetBank(bank);
}

} // namespace

// ---- W83627HF ----

Winbond_W83627HF_HardwareMonitor::Winbond_W83627HF_HardwareMonitor() : CHardwareMonitor(MONITOR_CHIP, 0) {
    Setup(this, 0x5CA30021, "Winbond W83627HF", kHfVoltages, kThreeTemperatureLabels, kThreeFanLabels);
}

uint32_t Winbond_W83627HF_HardwareMonitor::SetBank(uint8_t bank) {
    const uint32_t written = WriteRegister(kBankRegister, bank & 7);
    Sleep(kHfBankSettleMs);
    return written;
}

void Winbond_W83627HF_HardwareMonitor::DumpRegisters(CReportGenerator* report) {
    DumpBankedRegisters(this, report, SelectHfBank, kLastDumpBank);
}

int Winbond_W83627HF_HardwareMonitor::SetSensorValue(uint32_t index, uint32_t classCode, float value) {
    CSensor* sensor = GetSensor(classCode, index);
    if (!sensor) return 1;
    if (classCode == SENSOR_FAN_PWM) {
        const uint8_t duty = uint8_t(std::clamp(RoundToInt(value * 255 / 100), 0, 255));
        for (uint32_t output = 0; output < 2; ++output)
            if (sensor == m_pFanOutputs[output]) WriteRegister(kFanOutputs[output], duty);
        return 1;
    }
    return ResetStatus(this, m_pStatus, index, classCode, SelectHfBank, kResetRegister, false);
}

int Winbond_W83627HF_HardwareMonitor::CreateSensors() {
    SetBank(0);
    uint8_t byte = 0;
    if (m_dwBoardKey == kHfBoardSetting59 && ReadRegister(0x59, &byte)) WriteRegister(0x59, byte | kHfBits59);
    ReadClassicFanExponents(this, m_dwFanExponents, true);
    Update();
    ApplySensorLabels();
    return 1;
}

int Winbond_W83627HF_HardwareMonitor::Update() {
    SetBank(0);
    uint8_t byte = 0xFF;
    for (uint8_t i = 0; i < 7; ++i)
        if (ReadsVoltage(this, kVoltages0To6[i], byte)) StoreVoltage(EnsureVoltage(this, m_pVoltages[i], i), byte, kVoltStep);
    if (ReadsTemperature(this, kTemperature0, byte)) EnsureTemperature(this, m_pTemperatures[0], 0)->m_dwRawValue = byte;
    for (uint8_t fan = 0; fan < 3; ++fan) {
        const int read = ReadRegister(kFanCounts[fan], &byte);
        if (!FanAccepted(read, byte) || byte == 0x7F || byte == 0xFE) {
            if (m_pFans[fan]) m_pFans[fan]->m_dwRawValue = 0;
            continue;
        }
        EnsureFan(this, m_pFans[fan], fan, m_dwFanExponents[fan])->m_dwRawValue = byte;
    }
    for (uint8_t output = 0; output < 2; ++output) {
        if (!ReadRegister(kFanOutputs[output], &byte)) continue;
        if (!m_pFanOutputs[output]) {
            char name[8];
            FormatString(name, sizeof name, "PWM%d", int(output) + 1);
            auto* sensor = new CFanPwmSensor(output);
            FormatString(sensor->m_szName, sizeof sensor->m_szName, "%s", name);
            AddSensor(sensor);
            m_pFanOutputs[output] = sensor;
            ApplySensorLabels();
        }
        m_pFanOutputs[output]->m_dwRawValue = byte;
        m_pFanOutputs[output]->SetValue(float(byte) * 100 / 255, 1);
    }
    for (uint8_t bank = 1; bank <= 2; ++bank) {
        SetBank(bank);
        if (!ReadsTemperature(this, kBankedFirst, byte)) continue;
        CTemperatureSensor* sensor = EnsureTemperature(this, m_pTemperatures[bank], bank);
        uint8_t low = 0xFF;
        ReadRegister(kBankedFirst + 1, &low);
        sensor->m_dwRawValue = NineBit(byte, low);
    }
    SetBank(0);
    ApplySensorFormulas();
    return 1;
}

// ---- W83637HF ----

Winbond_W83637HF_HardwareMonitor::Winbond_W83637HF_HardwareMonitor() : CHardwareMonitor(MONITOR_CHIP, 0) {
    Setup(this, 0x5CA30080, "Winbond W83637HF", kFiveInputVoltages, kThreeTemperatureLabels, kThreeFanLabels);
}

void Winbond_W83637HF_HardwareMonitor::DumpRegisters(CReportGenerator* report) {
    DumpBankedRegisters(this, report, WinbondSelectBank, kLastDumpBank);
}

int Winbond_W83637HF_HardwareMonitor::SetSensorValue(uint32_t index, uint32_t classCode, float) {
    return ResetStatus(this, m_pStatus, index, classCode, WinbondSelectBank, kResetRegister, false);
}

int Winbond_W83637HF_HardwareMonitor::CreateSensors() {
    WinbondSelectBank(this, 0);
    CreateVoltages(this, m_pVoltages, kVoltages0To6, 5);
    uint32_t exponents[3] = {};
    ReadClassicFanExponents(this, exponents, true);
    CreateTemperatureAndFans(this, m_pTemperatures[0], m_pFans, 3, exponents);
    m_pTemperatures[1] = NewTemperature(this, 1);
    m_pTemperatures[2] = NewTemperature(this, 2);
    WinbondSelectBank(this, 0);
    ApplySensorLabels();
    return 1;
}

int Winbond_W83637HF_HardwareMonitor::Update() {
    WinbondSelectBank(this, 0);
    UpdateVoltages(this, m_pVoltages, kVoltages0To6, 5);
    UpdateBankZeroBytes(this, m_pTemperatures[0], m_pFans, 3, m_pStatus);
    UpdateBankedTemperatures(this, m_pTemperatures, 2, WinbondSelectBank);
    WinbondSelectBank(this, 0);
    ApplySensorFormulas();
    return 1;
}

// ---- W83697HF ----

Winbond_W83697HF_HardwareMonitor::Winbond_W83697HF_HardwareMonitor() : CHardwareMonitor(MONITOR_CHIP, 0) {
    Setup(this, 0x5CA30060, "Winbond W83697HF", kFiveInputVoltages, kTwoTemperatures, kTwoFans);
}

void Winbond_W83697HF_HardwareMonitor::DumpRegisters(CReportGenerator* report) {
    DumpBankedRegisters(this, report, WinbondSelectBank, kLastDumpBank);
}

int Winbond_W83697HF_HardwareMonitor::SetSensorValue(uint32_t index, uint32_t classCode, float) {
    return ResetStatus(this, m_pStatus, index, classCode, WinbondSelectBank, kResetRegister, false);
}

int Winbond_W83697HF_HardwareMonitor::CreateSensors() {
    WinbondSelectBank(this, 0);
    CreateVoltages(this, m_pVoltages, kW83697hfVoltages, 5);
    uint32_t exponents[3] = {};
    ReadClassicFanExponents(this, exponents, true);
    CreateTemperatureAndFans(this, m_pTemperatures[0], m_pFans, 2, exponents);
    WinbondSelectBank(this, 1);
    uint8_t byte = 0xFF;
    if (ReadsTemperature(this, kBankedFirst, byte)) m_pTemperatures[1] = NewTemperature(this, 1);
    WinbondSelectBank(this, 0);
    ApplySensorLabels();
    return 1;
}

int Winbond_W83697HF_HardwareMonitor::Update() {
    WinbondSelectBank(this, 0);
    UpdateVoltages(this, m_pVoltages, kW83697hfVoltages, 5);
    UpdateBankZeroBytes(this, m_pTemperatures[0], m_pFans, 2, m_pStatus);
    UpdateBankedTemperatures(this, m_pTemperatures, 1, WinbondSelectBank);
    WinbondSelectBank(this, 0);
    ApplySensorFormulas();
    return 1;
}

// ---- W83627THF ----

Winbond_W83627THF_HardwareMonitor::Winbond_W83627THF_HardwareMonitor() : CHardwareMonitor(MONITOR_CHIP, 0) {
    Setup(this, 0x5CA30090, "Winbond W83627THF", kThfVoltages, kThfTemperatures, kThreeFanLabels);
}

void Winbond_W83627THF_HardwareMonitor::DumpRegisters(CReportGenerator* report) {
    DumpBankedRegisters(this, report, WinbondSelectBank, kLastDumpBank);
}

int Winbond_W83627THF_HardwareMonitor::SetSensorValue(uint32_t index, uint32_t classCode, float) {
    return ResetStatus(this, m_pStatus, index, classCode, WinbondSelectBank, kResetRegister, true);
}

bool Winbond_W83627THF_HardwareMonitor::CountPlausible(uint32_t fan, int read, uint8_t count) const {
    return FanAccepted(read, count) && count > kThfCountLimit / (1u << (m_dwFanExponents[fan] & 31));
}

int Winbond_W83627THF_HardwareMonitor::CreateSensors() {
    WinbondSelectBank(this, 0);
    uint8_t byte = 0;
    m_dwCoreVoltageMode = ReadRegister(kThfVoltageMode, &byte) && (byte & 1) ? 9 : 8;
    CreateVoltages(this, m_pVoltages, kVoltages0To6, 5);
    if (ReadsTemperature(this, kTemperature0, byte)) m_pTemperatures[0] = NewTemperature(this, 0);
    ReadClassicFanExponents(this, m_dwFanExponents, true);
    for (uint8_t fan = 0; fan < 3; ++fan) {
        const int read = ReadRegister(kFanCounts[fan], &byte);
        if (CountPlausible(fan, read, byte)) m_pFans[fan] = NewFan(this, fan, m_dwFanExponents[fan]);
    }
    for (uint8_t bank = 1; bank <= 2; ++bank) {
        WinbondSelectBank(this, bank);
        uint32_t r = 0;
        if (ReadBankedTemperature(this, r) && r != 0 && r != kNineBitAllOnes)
            m_pTemperatures[bank] = NewTemperature(this, bank);
    }
    WinbondSelectBank(this, 0);
    ApplySensorLabels();
    return 1;
}

int Winbond_W83627THF_HardwareMonitor::Update() {
    WinbondSelectBank(this, 0);
    uint8_t byte = 0xFF;
    if (m_pVoltages[0] && ReadRegister(kFirstVoltage, &byte)) {
        if (m_dwCoreVoltageMode == 8) StoreVoltage(m_pVoltages[0], byte, kVoltStep);
        if (m_dwCoreVoltageMode == 9) {
            m_pVoltages[0]->m_dwRawValue = byte;
            m_pVoltages[0]->m_fUnconvertedValue = float(byte) * kThfFineStep + kThfFineOffset;
        }
    }
    UpdateVoltages(this, &m_pVoltages[1], &kVoltages0To6[1], 4);
    StoreRawByte(this, m_pTemperatures[0], kTemperature0);
    for (uint8_t fan = 0; fan < 3; ++fan) {
        if (!m_pFans[fan]) continue;
        const int read = ReadRegister(kFanCounts[fan], &byte);
        m_pFans[fan]->m_dwRawValue = CountPlausible(fan, read, byte) ? byte : 0;
    }
    UpdateStatus(this, m_pStatus, kStatusRegister, kStatusBit);
    UpdateBankedTemperatures(this, m_pTemperatures, 2, WinbondSelectBank);
    WinbondSelectBank(this, 0);
    ApplySensorFormulas();
    return 1;
}

CHardwareMonitor* CreateWinbondW83627HF(uint32_t) { return new Winbond_W83627HF_HardwareMonitor; }
CHardwareMonitor* CreateWinbondW83637HF(uint32_t) { return new Winbond_W83637HF_HardwareMonitor; }
CHardwareMonitor* CreateWinbondW83697HF(uint32_t) { return new Winbond_W83697HF_HardwareMonitor; }
CHardwareMonitor* CreateWinbondW83627THF(uint32_t) { return new Winbond_W83627THF_HardwareMonitor; }
