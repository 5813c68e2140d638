#include "sdk/monitor/asus_monitors.h"

#include <algorithm>

#include "platform/win_types.h"
#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/kmdriver.h"
#include "sdk/system/acpi_interface.h"

namespace {

// ---- Eee PC ----

constexpr uint32_t kHighPort = 0x381, kLowPort = 0x382, kDataPort = 0x383;
constexpr uint16_t kTemperature = 0xF451, kFanHigh = 0xF466, kFanLow = 0xF467, kDuty = 0xF463, kControl = 0xF4D3;
constexpr uint8_t kManualBit = 0x02;
constexpr uint32_t kModeAutomatic = 1, kModeManual = 2;
constexpr uint32_t kReadWaitMs = 1000;

// ---- ROG ----

constexpr uint32_t kROGWaitMs = 50, kGlobalLockWaitMs = 10000;
constexpr uint32_t kLargestReading = 65533;

constexpr _stSensorLabel kROG40Fans[] = {
    {"Fan #1", 0x400, 2}, {"Fan #2", 0x401, 2}, {"Fan #3", 0x402, 2}, {"Chassis #3", 0x403, 2},
    {nullptr, kLabelTableEnd, 0}};

#define ROG_VOLTAGE(label, key) {label, key, 1, 1, 1000}
constexpr _stVoltageLabel kROGVoltagesB4E9B6A0[] = {
    ROG_VOLTAGE("CPU", 0x1000100), ROG_VOLTAGE("DRAM", 0x8000101), ROG_VOLTAGE("PCH", 0x102),
    ROG_VOLTAGE("VCCIO", 0x103), ROG_VOLTAGE("PCH PLL", 0x104), ROG_VOLTAGE("VCCSA", 0x105),
    ROG_VOLTAGE("CPU PLL", 0x106), {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stVoltageLabel kROGVoltagesF279AEE8[] = {
    ROG_VOLTAGE("CPU", 0x1000100), ROG_VOLTAGE("DRAM", 0x8000101), ROG_VOLTAGE("ICH Core", 0x102),
    ROG_VOLTAGE("CPU PLL", 0x104), ROG_VOLTAGE("IOH PCIE +1.5V", 0x105), ROG_VOLTAGE("IOH Core", 0x106),
    ROG_VOLTAGE("QPI", 0x107), {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stVoltageLabel kROGVoltagesF3837805[] = {
    ROG_VOLTAGE("CPU", 0x1000100), ROG_VOLTAGE("DRAM", 0x8000101), ROG_VOLTAGE("ICH Core", 0x102),
    ROG_VOLTAGE("ICH PCIE +1.5V", 0x103), ROG_VOLTAGE("CPU PLL", 0x105), ROG_VOLTAGE("IOH Core", 0x106),
    ROG_VOLTAGE("QPI", 0x107), {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stVoltageLabel kROGVoltages187EC7E1[] = {
    ROG_VOLTAGE("CPU", 0x1000100), ROG_VOLTAGE("CPU/NB", 0x101), ROG_VOLTAGE("ICH Core (NB)", 0x102),
    ROG_VOLTAGE("CPU VDDA", 0x103), ROG_VOLTAGE("DRAM", 0x8000104), ROG_VOLTAGE("HT", 0x105),
    ROG_VOLTAGE("IOH Core (SB)", 0x106), {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stVoltageLabel kROGVoltagesDefault[] = {
    ROG_VOLTAGE("CPU", 0x1000100), ROG_VOLTAGE("DRAM", 0x8000101), ROG_VOLTAGE("ICH Core", 0x102),
    ROG_VOLTAGE("ICH PCIE +1.5V", 0x103), ROG_VOLTAGE("CPU PLL", 0x104), ROG_VOLTAGE("IOH PCIE +1.5V", 0x105),
    ROG_VOLTAGE("IOH Core", 0x106), ROG_VOLTAGE("QPI", 0x107), {nullptr, kLabelTableEnd, 0, 0, 0}};
#undef ROG_VOLTAGE
constexpr _stSensorLabel kROGFansPSU[] = {
    {"PSU", 0x400, 2}, {"CPU", 0x401, 2}, {"Chassis #1", 0x402, 2}, {"Chassis #2", 0x403, 2},
    {nullptr, kLabelTableEnd, 0}};
constexpr _stSensorLabel kROGFansOPT[] = {
    {"CPU OPT", 0x400, 2}, {"CPU", 0x401, 2}, {"Chassis #2", 0x402, 2}, {"Chassis #1", 0x403, 2},
    {nullptr, kLabelTableEnd, 0}};

struct ROGBoardTables {
    const _stVoltageLabel* voltages;
    const _stSensorLabel* fans;
};

ROGBoardTables ROG38Tables(uint32_t boardKey) {
    switch (boardKey) {
    case 0xB4E9B6A0: return {kROGVoltagesB4E9B6A0, kROGFansPSU};
    case 0xF279AEE8: return {kROGVoltagesF279AEE8, kROGFansPSU};
    case 0xF3837805: case 0x55C9C2E: return {kROGVoltagesF3837805, kROGFansOPT};
    case 0x187EC7E1: case 0x1D6D92DA: return {kROGVoltages187EC7E1, kROGFansPSU};
    default: return {kROGVoltagesDefault, kROGFansPSU};
    }
}

struct ROGTemperature {
    uint8_t reg;
    const char* name;
};
constexpr ROGTemperature kROG40Temperatures[] = {{0xC1, "SB"}, {0xC2, "NB"}, {0xC4, "OPT3"}, {0xC5, "OPT2"}, {0xC6, "OPT1"}};

CKMDriver* Driver() { return GetSDK()->GetDriver(); }

} // namespace

// ---- Eee PC ----

Asus_eeePC_HardwareMonitor::Asus_eeePC_HardwareMonitor()
    : CHardwareMonitor(MONITOR_CHIP, 0x12C300EE), m_Mutex("Access_Asus_eeePC") {
    FormatString(m_szName, sizeof m_szName, "%s", "Asus eeePC");
    m_dwUpdateDivider = 2;
}

int Asus_eeePC_HardwareMonitor::ReadEC(uint16_t address, uint8_t* value) {
    CKMDriver* driver = Driver();
    return driver && driver->WritePortByte(kHighPort, address >> 8) && driver->WritePortByte(kLowPort, address & 0xFF)
               ? driver->ReadPortByte(kDataPort, value)
               : 0;
}

int Asus_eeePC_HardwareMonitor::WriteEC(uint16_t address, uint8_t value) {
    CKMDriver* driver = Driver();
    return driver && driver->WritePortByte(kHighPort, address >> 8) && driver->WritePortByte(kLowPort, address & 0xFF)
               ? driver->WritePortByte(kDataPort, value)
               : 0;
}

bool Asus_eeePC_HardwareMonitor::ReadFanSpeed(uint32_t& speed) {
    uint8_t high = 0, low = 0;
    if (!ReadEC(kFanHigh, &high) || !ReadEC(kFanLow, &low)) return false;
    speed = uint32_t(high) << 8 | low;
    return true;
}

int Asus_eeePC_HardwareMonitor::CreateSensors() {
    SharedControllerTurn turn(m_Mutex, kReadWaitMs);
    if (!turn) return 0;
    uint8_t value = 0;
    uint32_t speed = 0;
    if (ReadEC(kTemperature, &value)) LateSensor(this, SENSOR_TEMPERATURE, 0, "CPU", ROLE_CPU_CORE, false);
    if (ReadFanSpeed(speed)) LateSensor(this, SENSOR_FAN, 0, "CPU", ROLE_CPU_CORE, false);
    if (ReadEC(kDuty, &value)) LateSensor(this, SENSOR_FAN_PWM, 0, "CPU", 0, false);
    ApplySensorLabels();
    return 1;
}

int Asus_eeePC_HardwareMonitor::Update() {
    SharedControllerTurn turn(m_Mutex, kReadWaitMs);
    if (!turn) return 0;
    auto store = [](CSensor* sensor, uint32_t raw) {
        sensor->m_dwRawValue = raw;
        sensor->SetValue(float(raw), 1);
    };
    uint8_t value = 0;
    uint32_t speed = 0;
    if (CSensor* sensor = FindSensorById(SENSOR_TEMPERATURE); sensor && ReadEC(kTemperature, &value)) store(sensor, value);
    if (CSensor* sensor = FindSensorById(SENSOR_FAN); sensor && ReadFanSpeed(speed)) store(sensor, speed);
    if (CSensor* sensor = FindSensorById(SENSOR_FAN_PWM); sensor && ReadEC(kDuty, &value)) store(sensor, value);
    ApplySensorFormulas();
    return 1;
}

bool Asus_eeePC_HardwareMonitor::IsDutySensor(uint32_t index, uint32_t classCode) {
    CSensor* duty = FindSensorById(SENSOR_FAN_PWM);
    return classCode == SENSOR_FAN_PWM && duty && GetSensor(classCode, index) == duty;
}

int Asus_eeePC_HardwareMonitor::SetSensorValue(uint32_t index, uint32_t classCode, float value) {
    SharedControllerTurn turn(m_Mutex, INFINITE);
    if (!turn) return 0;
    if (IsDutySensor(index, classCode)) WriteEC(kDuty, std::min<uint8_t>(uint8_t(RoundToInt(value)), 100));
    return 1;
}

int Asus_eeePC_HardwareMonitor::GetControlMode(uint32_t index, uint32_t classCode, uint32_t* mode) {
    SharedControllerTurn turn(m_Mutex, INFINITE);
    uint8_t control = 0;
    if (!turn || !mode || !IsDutySensor(index, classCode) || !ReadEC(kControl, &control)) return 0;
    *mode = (control & kManualBit) ? kModeManual : kModeAutomatic;
    return 1;
}

int Asus_eeePC_HardwareMonitor::SetControlMode(uint32_t index, uint32_t classCode, uint32_t mode) {
    SharedControllerTurn turn(m_Mutex, INFINITE);
    uint8_t control = 0;
    if (!turn || !IsDutySensor(index, classCode) || !ReadEC(kControl, &control)) return 0;
    const bool manual = control & kManualBit;
    if (mode == kModeManual && !manual) WriteEC(kControl, control | kManualBit);
    else if (mode == kModeAutomatic && manual) WriteEC(kControl, control & ~kManualBit);
    return 1;
}

// ---- ROG ----

Asus_ROG_HardwareMonitor::Asus_ROG_HardwareMonitor() : CHardwareMonitor(MONITOR_CHIP, 0x12C30038), m_Mutex("Asus_ROG") {
    FormatString(m_szName, sizeof m_szName, "%s", "Asus IROG");
    m_dwUpdateDivider = 2;
}

int Asus_ROG_HardwareMonitor::CreateSensors() {
    Update();
    ApplySensorLabels();
    return 1;
}

// The mutex first, then the firmware's global lock; released in that order.
int Asus_ROG_HardwareMonitor::Update() {
    if (!m_Mutex.Acquire(kROGWaitMs)) return 0;
    CACPIInterface* acpi = GetSDK()->m_pACPI;
    if (acpi && !acpi->AcquireGlobalLock(kGlobalLockWaitMs)) {
        m_Mutex.Release();
        return 0;
    }
    ReadSensors();
    ApplySensorFormulas();
    m_Mutex.Release();
    if (acpi) acpi->ReleaseGlobalLock();
    return 1;
}

bool Asus_ROG_HardwareMonitor::ReadWord(uint8_t low, uint32_t& value) {
    uint8_t lowByte = 0, highByte = 0;
    if (!ReadRegister(low, &lowByte) || !ReadRegister(uint8_t(low + 1), &highByte)) return false;
    value = uint32_t(highByte) << 8 | lowByte;
    return value >= 1 && value <= kLargestReading;
}

void Asus_ROG_HardwareMonitor::ReadFans(uint8_t first) {
    for (uint8_t i = 0; i < 4; ++i) {
        uint32_t speed = 0;
        if (ReadWord(uint8_t(first + 2 * i), speed)) {
            CSensor* sensor = LateSensor(this, SENSOR_FAN, i, nullptr);
            sensor->m_dwRawValue = speed;
            sensor->SetValue(float(speed), 1);
        } else if (CSensor* sensor = FindSensorById(SENSOR_FAN | i)) {
            sensor->m_dwRawValue = 0;
        }
    }
}

Asus_ROG_38_HardwareMonitor::Asus_ROG_38_HardwareMonitor() { FormatString(m_szName, sizeof m_szName, "%s", "Asus IROG 01"); }

int Asus_ROG_38_HardwareMonitor::CreateSensors() {
    const ROGBoardTables tables = ROG38Tables(m_dwBoardKey);
    m_pVoltageLabels = tables.voltages;
    m_pFanLabels = tables.fans;
    Update();
    ApplySensorLabels();
    return 1;
}

int Asus_ROG_38_HardwareMonitor::ReadSensors() {
    for (uint8_t i = 0; i < 8; ++i) {
        uint32_t millivolts = 0;
        if (!ReadWord(uint8_t(0x90 + 2 * i), millivolts)) continue;
        CSensor* sensor = LateSensor(this, SENSOR_VOLTAGE, i, nullptr);
        sensor->m_dwRawValue = millivolts;
        sensor->m_fUnconvertedValue = float(millivolts);
    }
    ReadFans(0xA0);
    return 1;
}

Asus_ROG_40_HardwareMonitor::Asus_ROG_40_HardwareMonitor() {
    FormatString(m_szName, sizeof m_szName, "%s", "Asus IROG 02");
    m_pFanLabels = kROG40Fans;
}

int Asus_ROG_40_HardwareMonitor::ReadSensors() {
    for (uint8_t i = 0; i < std::size(kROG40Temperatures); ++i) {
        uint8_t value = 0;
        if (!ReadRegister(kROG40Temperatures[i].reg, &value) || value == 0 || value == 0x7F || (value & 0x80)) continue;
        CSensor* sensor = LateSensor(this, SENSOR_TEMPERATURE, i, kROG40Temperatures[i].name);
        sensor->m_dwRawValue = value;
        sensor->SetValue(float(value), 1);
    }
    ReadFans(0x90);
    return 1;
}
