#include "sdk/monitor/asus_ec_monitor.h"

#include <iterator>

#include "platform/threads.h"
#include "sdk/core/helpers.h"
#include "sdk/monitor/embedded_controller.h"
#include "sdk/monitor/platform_monitor_support.h"

namespace {

constexpr uint32_t kBoardKeys[] = {0x2F310, 0x2F3364C};
constexpr uint8_t kBankRegister = 0xFF;
constexpr uint8_t kBankMask = 0x07;
constexpr uint8_t kUnknownBank = 255;
constexpr uint32_t kBankSettleMs = 10;
constexpr uint8_t kVoltageRegisters[] = {0x90, 0x92, 0x94, 0x96, 0x98, 0x9A, 0xA0};
constexpr uint8_t kFanRegisters[] = {0xB8, 0xBA, 0xBC};
constexpr uint8_t kNoFan = 0x8F;
constexpr float kVoltsPerStep = 0.003125f;

constexpr _stVoltageLabel kVoltages[] = {
    {"PCH 1.1V", 0xD000100, 1, 1, 1},  {"DRAM C/D", 0x8000101, 1, 1, 1}, {"DRAM A/B", 0x102, 1, 1, 1},
    {"CPU VTT", 0x9000103, 1, 1, 1},   {"CPU PLL", 0xC000104, 1, 1, 1},  {"CPU VCCSA", 0x105, 1, 1, 1},
    {"PCH 1.5V", 0xD000106, 1, 1, 1},  {nullptr, kLabelTableEnd, 0, 0, 0},
};
constexpr _stSensorLabel kFans[] = {
    {"Chassis #2", 0x400, 2}, {"Chassis #3", 0x401, 2}, {"Chassis #4", 0x402, 2}, {nullptr, kLabelTableEnd, 0},
};

// Both registers of a pair; false when either read fails.
bool ReadPair(uint8_t reg, uint8_t& first, uint8_t& second) {
    return ECReadByte(reg, &first) && ECReadByte(uint8_t(reg + 1), &second);
}

} // namespace

Asus_EC_HardwareMonitor::Asus_EC_HardwareMonitor(uint32_t boardKey) : CHardwareMonitor(MONITOR_CHIP, 0x12C300EC) {
    FormatString(m_szName, sizeof m_szName, "%s", "Asus EC");
    m_dwUpdateDivider = 2;
    m_dwBoardKey = boardKey;
}

bool Asus_EC_HardwareMonitor::KnownBoard() const {
    for (uint32_t key : kBoardKeys)
        if (m_dwBoardKey == key) return true;
    return false;
}

uint8_t Asus_EC_HardwareMonitor::GetBank() {
    uint8_t value = 0;
    if (!ECReadByte(kBankRegister, &value) || value == 0xFF) return kUnknownBank;
    return value & kBankMask;
}

void Asus_EC_HardwareMonitor::SetBank(uint8_t bank) {
    ECWriteByte(kBankRegister, bank & kBankMask);
    Sleep(kBankSettleMs);
}

void Asus_EC_HardwareMonitor::ReadVoltage(uint32_t index, uint8_t reg) {
    uint8_t high = 0, low = 0;
    if (!ReadPair(reg, high, low)) return;
    const uint32_t steps = uint32_t(high) * 4 + (low >> 6);
    if (!steps) return;
    CSensor* sensor = LateSensor(this, SENSOR_VOLTAGE, uint8_t(index), nullptr);
    sensor->m_dwRawValue = steps;
    sensor->SetValue(float(steps) * kVoltsPerStep, 1);
}

void Asus_EC_HardwareMonitor::ReadFan(uint32_t index, uint8_t reg) {
    uint8_t high = 0, low = 0;
    if (!ReadPair(reg, high, low) || high == kNoFan) return;
    const uint32_t speed = uint32_t(high) << 8 | low;
    if (!speed) return;
    CSensor* sensor = LateSensor(this, SENSOR_FAN, uint8_t(index), nullptr);
    sensor->m_dwRawValue = speed;
    sensor->SetValue(float(speed), 1);
}

// The values set here are final: no formula runs after them.
int Asus_EC_HardwareMonitor::Update() {
    const uint8_t saved = GetBank();
    if (saved == kUnknownBank) return 0;
    SetBank(0);
    if (KnownBoard()) {
        for (uint32_t i = 0; i < std::size(kVoltageRegisters); ++i) ReadVoltage(i, kVoltageRegisters[i]);
        for (uint32_t i = 0; i < std::size(kFanRegisters); ++i) ReadFan(i, kFanRegisters[i]);
    }
    SetBank(saved);
    return 1;
}

int Asus_EC_HardwareMonitor::CreateSensors() {
    if (KnownBoard()) {
        m_pVoltageLabels = kVoltages;
        m_pFanLabels = kFans;
    }
    Update();
    ApplySensorLabels();
    return 1;
}
