#include "sdk/monitor/nuvoton_nct6106.h"

#include <iterator>

#include "sdk/core/helpers.h"
#include "sdk/core/sensor.h"
#include "sdk/monitor/chip_sensor_slots.h"
#include "sdk/monitor/nuvoton_bank_select.h"

namespace {

constexpr uint8_t kThreeBitBank = 0x07;

constexpr _stVoltageLabel kNCT6106Voltages[] = {
    {"VCORE", 0x01000100, 1, 1, 1}, {"+1.5V", 0x00000101, 2, 10, 20}, {"AVSB", 0x00000102, 1, 2, 1},
    {"3VCC", 0x00000103, 1, 2, 1},  {"+5V", 0x03000104, 2, 40, 10},   {"+12V", 0x04000105, 2, 110, 10},
    {"3VSB", 0x00000106, 1, 2, 1},  {"VBAT", 0x00000107, 1, 2, 1},    {"VIN8", 0x00000108, 1, 1, 1},
    {nullptr, kLabelTableEnd, 0, 0, 0},
};
constexpr _stSensorLabel kNCT6106Temperatures[] = {
    {"System", 0x00000200, 3}, {"CPU", 0x01000201, 3},    {"AUX", 0x00000202, 3},   {"TMPIN3", 0x00000203, 3},
    {"TMPIN4", 0x00000204, 3}, {"TMPIN5", 0x00000205, 3}, {nullptr, kLabelTableEnd, 0},
};
constexpr _stSensorLabel kNCT6106Fans[] = {
    {"System", 0x00000400, 2}, {"CPU", 0x01000401, 2}, {"AUX", 0x00000402, 2}, {nullptr, kLabelTableEnd, 0},
};

// Register 0x06 holds no voltage input.
constexpr uint8_t kNCT6106VoltageRegisters[9] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x07, 0x08, 0x09};
constexpr uint8_t kNCT6106FirstTemperature = 0x10;
constexpr uint8_t kNCT6106FirstFan = 0x30;  // high, low pairs

constexpr _stVoltageLabel kNCT6791Voltages[] = {
    {"+5V", 0x03000100, 1, 5, 1},  {"+3.3V", 0x02000101, 1, 2, 1}, {"+12V", 0x04000102, 1, 12, 1},
    {"VIN3", 0x00000103, 1, 1, 1}, {"VIN4", 0x00000104, 1, 2, 1},  {"VCORE", 0x01000105, 1, 2, 1},
    {nullptr, kLabelTableEnd, 0, 0, 0},
};
constexpr _stSensorLabel kNCT6791Temperatures[] = {
    {"Mainboard", 0x00000200, 3}, {"CPU", 0x01000201, 3}, {nullptr, kLabelTableEnd, 0}};
constexpr _stSensorLabel kNCT6791Fans[] = {
    {"Chassis #1", 0x00000400, 2}, {"Chassis #2", 0x00000401, 2}, {"Chassis #3", 0x00000402, 2},
    {"CPU", 0x01000403, 2},        {nullptr, kLabelTableEnd, 0},
};

constexpr uint8_t kNCT6791VoltageRegisters[6] = {0x01, 0x03, 0x04, 0x0B, 0x0E, 0x00};
constexpr uint8_t kNCT6791TemperatureRegisters[2] = {0x20, 0x52};
constexpr uint8_t kNCT6791FanRegisters[4] = {0x3A, 0x3E, 0x40, 0x44};  // high byte; the low byte follows
// The count the NCT6791D gives for a missing fan.
constexpr uint32_t kNCT6791NoFan = 0x00A5;

bool AcceptedByte(uint8_t value) { return value != 0x00 && value != 0xFF; }

} // namespace

// ---- NCT6106 ----

Nuvoton_NCT6106_HardwareMonitor::Nuvoton_NCT6106_HardwareMonitor() : CHardwareMonitor(MONITOR_CHIP, 0x5CA300C1) {
    m_pVoltageLabels = kNCT6106Voltages;
    m_pTemperatureLabels = kNCT6106Temperatures;
    m_pFanLabels = kNCT6106Fans;
    FormatString(m_szName, sizeof m_szName, "%s", "Nuvoton NCT6106");
}

uint8_t Nuvoton_NCT6106_HardwareMonitor::GetBank() { return ReadNuvotonBank(*this, kThreeBitBank); }

int Nuvoton_NCT6106_HardwareMonitor::SetBank(uint8_t bank) { return SelectNuvotonBank(*this, bank, kThreeBitBank); }

int Nuvoton_NCT6106_HardwareMonitor::CreateSensors() {
    Update();
    ApplySensorLabels();
    return 1;
}

int Nuvoton_NCT6106_HardwareMonitor::Update() {
    SetBank(0);
    if (GetBank() == 0) ReadBankZero();
    SetBank(0);
    ApplySensorFormulas();
    return 1;
}

void Nuvoton_NCT6106_HardwareMonitor::ReadBankZero() {
    uint8_t value = 0;
    for (uint8_t i = 0; i < std::size(kNCT6106VoltageRegisters); ++i)
        if (ReadRegister(kNCT6106VoltageRegisters[i], &value) && AcceptedByte(value))
            StoreVoltage(EnsureIndexedSensor(*this, m_pVoltages[i], i, "VIN"), value, kEightMillivoltStep);
    for (uint8_t i = 0; i < std::size(m_pTemperatures); ++i)
        if (ReadRegister(uint8_t(kNCT6106FirstTemperature + i), &value) && AcceptedByte(value))
            EnsureIndexedSensor(*this, m_pTemperatures[i], i, "TMPIN")->m_dwRawValue = value;
    for (uint8_t i = 0; i < std::size(m_pFans); ++i) {
        uint8_t high = 0, low = 0;
        ReadRegister(uint8_t(kNCT6106FirstFan + 2 * i), &high);
        const bool readLow = ReadRegister(uint8_t(kNCT6106FirstFan + 2 * i + 1), &low);
        const uint32_t count = uint32_t(high) << 8 | low;
        if (!readLow || count == 0) ClearFan(m_pFans[i]);
        else EnsureFan(*this, m_pFans[i], i, 1)->m_dwRawValue = count;
    }
}

void Nuvoton_NCT6106_HardwareMonitor::DumpRegisters(CReportGenerator* report) {
    if (!PrintBankedDumpStart(*this, report)) return;
    SetBank(0);
    PrintBankRegisters(*this, report, 0, 0x00, 0x100);
    SetBank(0);
}

// ---- NCT6791D ----

Nuvoton_NCT6791_HardwareMonitor::Nuvoton_NCT6791_HardwareMonitor() : CHardwareMonitor(MONITOR_CHIP, 0x005001C8) {
    m_pVoltageLabels = kNCT6791Voltages;
    m_pTemperatureLabels = kNCT6791Temperatures;
    m_pFanLabels = kNCT6791Fans;
    FormatString(m_szName, sizeof m_szName, "%s", "Nuvoton NCT6791D");
}

int Nuvoton_NCT6791_HardwareMonitor::CreateSensors() {
    Update();
    ApplySensorLabels();
    return 1;
}

int Nuvoton_NCT6791_HardwareMonitor::Update() {
    uint8_t value = 0;
    for (uint8_t i = 0; i < std::size(kNCT6791VoltageRegisters); ++i)
        if (ReadRegister(kNCT6791VoltageRegisters[i], &value) && AcceptedByte(value))
            StoreVoltage(EnsureIndexedSensor(*this, m_pVoltages[i], i, "VIN"), value, kEightMillivoltStep);
    for (uint8_t i = 0; i < std::size(kNCT6791TemperatureRegisters); ++i) {
        if (!ReadRegister(kNCT6791TemperatureRegisters[i], &value) || !AcceptedByte(value)) continue;
        CTemperatureSensor* sensor = EnsureIndexedSensor(*this, m_pTemperatures[i], i, "TMPIN");
        sensor->m_dwRawValue = value;
        sensor->SetValue(float(value), 1);
    }
    for (uint8_t i = 0; i < std::size(kNCT6791FanRegisters); ++i) {
        uint32_t count = 0;
        if (!ReadCount(*this, kNCT6791FanRegisters[i], uint8_t(kNCT6791FanRegisters[i] + 1), &count)) continue;
        if (count == 0 || count == kNCT6791NoFan) ClearFan(m_pFans[i]);
        else EnsureFan(*this, m_pFans[i], i, 1)->m_dwRawValue = count;
    }
    ApplySensorFormulas();
    return 1;
}
