#include "sdk/monitor/nuvoton_nct677x.h"

#include <iterator>

#include "sdk/core/helpers.h"
#include "sdk/core/sensor.h"
#include "sdk/monitor/chip_sensor_slots.h"
#include "sdk/monitor/nuvoton_bank_select.h"

namespace {

constexpr uint32_t kMonitorId = 0x5CA300C1;

constexpr _stVoltageLabel kVoltages[] = {
    {"CPU VCORE", 0x01000100, 1, 1, 1}, {"VIN1", 0x00000101, 1, 1, 1},  {"AVCC", 0x00000102, 1, 2, 1},
    {"3VCC", 0x00000103, 1, 2, 1},      {"VIN4", 0x00000104, 1, 1, 1},  {"VIN5", 0x00000105, 1, 1, 1},
    {"VIN6", 0x00000106, 1, 1, 1},      {"VIN7", 0x00000107, 1, 1, 1},  {"VIN8", 0x00000108, 1, 1, 1},
    {"VIN9", 0x00000109, 1, 1, 1},      {"VIN10", 0x0000010A, 1, 1, 1}, {"VIN11", 0x0000010B, 1, 1, 1},
    {"VIN12", 0x0000010C, 1, 1, 1},     {"VIN13", 0x0000010D, 1, 1, 1}, {nullptr, kLabelTableEnd, 0, 0, 0},
};

constexpr _stSensorLabel kTemperatures[] = {
    {"SYSTIN", 0x00000200, 1}, {"CPUTIN", 0x01000201, 2}, {"AUXTIN", 0x00000202, 2},
    {"TMPIN3", 0x00000203, 3}, {"TMPIN4", 0x00000204, 2}, {nullptr, kLabelTableEnd, 0},
};

constexpr _stSensorLabel kFans[] = {
    {"SYSFANIN", 0x00000400, 2},  {"CPUFANIN", 0x01000401, 2},  {"AUXFANIN0", 0x00000402, 2},
    {"AUXFANIN1", 0x00000403, 2}, {"AUXFANIN2", 0x00000404, 2}, {"AUXFANIN3", 0x00000405, 2},
    {nullptr, kLabelTableEnd, 0},
};

struct ChipName {
    uint32_t deviceId;
    const char* name;
};
constexpr ChipName kNames[] = {{0xB4, "Nuvoton NCT6771"}, {0xC3, "Nuvoton NCT6776"}, {0xC5, "Nuvoton NCT6779"},
                               {0xC8, "Nuvoton NCT6791"}, {0xC9, "Nuvoton NCT6792"}};

// Bank 0: voltages 0-6 at 0x20-0x26, the system temperature at 0x27.
constexpr uint8_t kFirstVoltage = 0x20;
constexpr uint8_t kBankZeroVoltages = 7;
constexpr uint8_t kSystemTemperature = 0x27;
// Banks 1 and 2: the temperature's degrees at 0x50, its half degree in bit 7 of 0x51.
constexpr uint8_t kNineBitHigh = 0x50, kNineBitLow = 0x51;
// Banks 6 and 7: one temperature byte at 0x20.
constexpr uint8_t kByteTemperature = 0x20;

// The extra voltage inputs of the NCT6779 and later, in bank 4.
struct BankFourVoltage {
    uint8_t index, reg;
};
constexpr BankFourVoltage kBankFourVoltages[] = {{7, 0x8A}, {8, 0x80}, {9, 0x8D}, {10, 0x84}, {11, 0x81}};

// Fan counts, high byte first: five pairs from 0x56 in bank 6, or six
// pairs from 0xC0 in bank 4 on the NCT679x.
constexpr uint8_t kBankSixFans = 0x56, kBankFourFans = 0xC0;

bool AcceptedByte(uint8_t value) { return value != 0x00 && value != 0xFF; }

// Counts the chip gives for a stopped or missing fan.
bool IsNoFanCount(uint32_t count) {
    return count == 0x0000 || count == 0x0014 || count == 0x00A4 || count == 0x01FF || count == 0xFFFF;
}

} // namespace

Nuvoton_NCT6776_HardwareMonitor::Nuvoton_NCT6776_HardwareMonitor(uint32_t deviceId)
    : CHardwareMonitor(MONITOR_CHIP, kMonitorId), m_dwDeviceId(deviceId) {
    m_pVoltageLabels = kVoltages;
    m_pTemperatureLabels = kTemperatures;
    m_pFanLabels = kFans;
    const char* name = "Nuvoton NCT6776";
    for (const ChipName& chip : kNames)
        if (chip.deviceId == deviceId) name = chip.name;
    FormatString(m_szName, sizeof m_szName, "%s", name);
}

uint8_t Nuvoton_NCT6776_HardwareMonitor::BankMask() const { return HasSixFans() ? 0x0F : 0x07; }

bool Nuvoton_NCT6776_HardwareMonitor::HasBankFourVoltages() const {
    return m_dwDeviceId == 0xC5 || HasSixFans();
}

bool Nuvoton_NCT6776_HardwareMonitor::HasSixFans() const { return m_dwDeviceId == 0xC8 || m_dwDeviceId == 0xC9; }

uint8_t Nuvoton_NCT6776_HardwareMonitor::GetBank() { return ReadNuvotonBank(*this, BankMask()); }

int Nuvoton_NCT6776_HardwareMonitor::SetBank(uint8_t bank) { return SelectNuvotonBank(*this, bank, BankMask()); }

bool Nuvoton_NCT6776_HardwareMonitor::EnterBank(uint8_t bank) {
    SetBank(bank);
    return GetBank() == bank;
}

int Nuvoton_NCT6776_HardwareMonitor::CreateSensors() {
    Update();
    ApplySensorLabels();
    return 1;
}

int Nuvoton_NCT6776_HardwareMonitor::Update() {
    if (EnterBank(0)) ReadBankZero();
    ReadNineBitTemperature(1);
    ReadNineBitTemperature(2);
    if (HasBankFourVoltages() && EnterBank(4)) ReadBankFourVoltages();
    ReadByteTemperature(6, 4);
    ReadFans();
    ReadByteTemperature(7, 3);
    SetBank(0);
    ApplySensorFormulas();
    return 1;
}

void Nuvoton_NCT6776_HardwareMonitor::ReadBankZero() {
    for (uint8_t i = 0; i < kBankZeroVoltages; ++i) {
        uint8_t value = 0;
        if (!ReadRegister(uint8_t(kFirstVoltage + i), &value) || !AcceptedByte(value)) continue;
        StoreVoltage(EnsureIndexedSensor(*this, m_pVoltages[i], i, "VIN"), value, kEightMillivoltStep);
    }
    uint8_t value = 0;
    if (ReadRegister(kSystemTemperature, &value) && AcceptedByte(value) && value != 0x7F && !(value & 0x80))
        EnsureIndexedSensor(*this, m_pTemperatures[0], 0, "TMPIN")->m_dwRawValue = value;
}

// Temperature `index` from bank `index`: the reading in half degrees. A
// degrees byte of 0x00 or 0xFF means no diode; every other reading, 64
// degrees and more included, is a temperature.
void Nuvoton_NCT6776_HardwareMonitor::ReadNineBitTemperature(uint8_t index) {
    uint8_t high = 0, low = 0;
    if (!EnterBank(index) || !ReadRegister(kNineBitHigh, &high) || !AcceptedByte(high)) return;
    ReadRegister(kNineBitLow, &low);
    EnsureIndexedSensor(*this, m_pTemperatures[index], index, "TMPIN")->m_dwRawValue =
        uint32_t(high) * 2 + (low >> 7);
}

void Nuvoton_NCT6776_HardwareMonitor::ReadBankFourVoltages() {
    for (const BankFourVoltage& input : kBankFourVoltages) {
        uint8_t value = 0;
        if (!ReadRegister(input.reg, &value) || value == 0xFF) continue;
        StoreVoltage(EnsureIndexedSensor(*this, m_pVoltages[input.index], input.index, "VIN"), value,
                     kEightMillivoltStep);
    }
}

// Temperature `index` from register 0x20 of `bank`, its degrees stored at
// once for a table that has no row for it.
void Nuvoton_NCT6776_HardwareMonitor::ReadByteTemperature(uint8_t bank, uint8_t index) {
    uint8_t value = 0;
    if (!EnterBank(bank) || !ReadRegister(kByteTemperature, &value) || !AcceptedByte(value)) return;
    CTemperatureSensor* sensor = EnsureIndexedSensor(*this, m_pTemperatures[index], index, "TMPIN");
    sensor->m_dwRawValue = value;
    sensor->SetValue(float(value), 1);
}

void Nuvoton_NCT6776_HardwareMonitor::ReadFans() {
    const uint8_t bank = HasSixFans() ? 4 : 6;
    const uint8_t fans = HasSixFans() ? 6 : 5;
    const uint8_t first = HasSixFans() ? kBankFourFans : kBankSixFans;
    if (!EnterBank(bank)) return;
    for (uint8_t i = 0; i < fans; ++i) {
        uint32_t count = 0;
        if (!ReadCount(*this, uint8_t(first + 2 * i), uint8_t(first + 2 * i + 1), &count)) continue;
        if (IsNoFanCount(count)) ClearFan(m_pFans[i]);
        else EnsureFan(*this, m_pFans[i], i, 1)->m_dwRawValue = count;
    }
}

void Nuvoton_NCT6776_HardwareMonitor::DumpRegisters(CReportGenerator* report) {
    if (!PrintBankedDumpStart(*this, report)) return;
    SetBank(0);
    PrintBankRegisters(*this, report, 0, 0x00, 0x100);
    for (uint8_t bank = 1; bank <= 7; ++bank) {
        SetBank(bank);
        PrintBankRegisters(*this, report, bank, 0x80, 0x90);
    }
    SetBank(0);
}
