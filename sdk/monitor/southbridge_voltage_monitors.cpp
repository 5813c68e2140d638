#include "sdk/monitor/southbridge_voltage_monitors.h"

#include <cstring>

#include "sdk/core/helpers.h"
#include "sdk/hw/register_space_lpc.h"
#include "sdk/monitor/platform_monitor_support.h"

namespace {

// ---- SB6xx/7xx ----

constexpr uint32_t kSingleVoltageBoard = 0x5425F4;
constexpr uint32_t kThreeVoltageBoards[] = {0x54A5E5, 0xA955E4, 0x5377CCA0, 0x5692F965, 0x56D905E0};
constexpr uint32_t kTwoVoltageBoard = 0x6EEF158C;
// High and low register of each analog input; the value sits in bits 15-6.
constexpr uint8_t kInputRegisters[3][2] = {{0x5A, 0x59}, {0x5E, 0x5D}, {0x62, 0x61}};

constexpr _stVoltageLabel kSingleVoltage[] = {
    {"CPU VCore", 0x1000100, 1, 1, 21820.67f}, {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stVoltageLabel kThreeVoltages[] = {{"CPU VCore", 0x1000100, 1, 1, 341},
                                              {"CPU IO", 0x101, 1, 1, 181.18f},
                                              {"+12V", 0x4000102, 1, 1, 50.62f},
                                              {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stVoltageLabel kTwoVoltages[] = {
    {"CPU IO", 0x101, 1, 1, 181.18f}, {"+12V", 0x4000102, 1, 1, 50.62f}, {nullptr, kLabelTableEnd, 0, 0, 0}};

bool ThreeVoltageBoard(uint32_t key) {
    for (uint32_t board : kThreeVoltageBoards)
        if (board == key) return true;
    return false;
}

const _stVoltageLabel* VoltageTable(uint32_t key) {
    if (key == kSingleVoltageBoard) return kSingleVoltage;
    if (ThreeVoltageBoard(key)) return kThreeVoltages;
    if (key == kTwoVoltageBoard) return kTwoVoltages;
    return nullptr;
}

// ---- DES ----

constexpr size_t kVoltageRegister = 30, kVoltageMultiplier = 32, kCurrentRegister = 34, kCurrentMultiplier = 36;
constexpr double kMinCurrentProduct = 10000.0, kMaxCurrentProduct = 100000000.0;
constexpr double kProductPerAmpere = 100000.0;

uint16_t Word(const uint8_t* record, size_t offset) { return uint16_t(record[offset] | record[offset + 1] << 8); }
uint32_t Dword(const uint8_t* record, size_t offset) { return uint32_t(Word(record, offset)) | uint32_t(Word(record, offset + 2)) << 16; }

// A byte 1 to 254 of the register; false for 0, 255 or a failed read.
bool ReadReading(CLPCRegisterSpace* space, uint8_t reg, uint8_t& value) {
    return space && space->ReadRegister(reg, &value) && value != 0 && value != 0xFF;
}

} // namespace

AMD_SB600_HardwareMonitor::AMD_SB600_HardwareMonitor(uint32_t boardKey, CLPCRegisterSpace* space)
    : CHardwareMonitor(MONITOR_CHIP, 0x1022A600), m_pSpace(space) {
    FormatString(m_szName, sizeof m_szName, "%s", "AMD SB6xx/7xx");
    m_dwBoardKey = boardKey;
    m_pVoltageLabels = VoltageTable(boardKey);
    m_pRegisterSpace = space;
}

bool AMD_SB600_HardwareMonitor::KnownBoard(uint32_t boardKey) { return VoltageTable(boardKey) != nullptr; }

int AMD_SB600_HardwareMonitor::CreateSensors() {
    Update();
    ApplySensorLabels();
    return 1;
}

int AMD_SB600_HardwareMonitor::Update() {
    const uint32_t first = ThreeVoltageBoard(m_dwBoardKey) ? 0 : m_dwBoardKey == kTwoVoltageBoard ? 1 : 3;
    for (uint32_t input = first; input < 3 && m_pSpace; ++input) {
        const uint32_t value = uint32_t(m_pSpace->ReadIndexed(kInputRegisters[input][0])) << 8 |
                               m_pSpace->ReadIndexed(kInputRegisters[input][1]);
        if (value == 0 || value == 0xFFFF) continue;
        LateSensor(this, SENSOR_VOLTAGE, uint8_t(input), nullptr)->m_dwRawValue = value >> 6;
    }
    ApplySensorFormulas();
    return 1;
}

Gigabyte_DES_HardwareMonitor::Gigabyte_DES_HardwareMonitor(const uint8_t* record, CLPCRegisterSpace* space)
    : CHardwareMonitor(MONITOR_CHIP, 0x1458400A), m_pRecord(record), m_pSpace(space) {
    FormatString(m_szName, sizeof m_szName, "%s", "Gigabyte DES");
    m_dwUpdateDivider = 2;
    m_pRegisterSpace = space;
}

int Gigabyte_DES_HardwareMonitor::CreateSensors() {
    Update();
    ApplySensorLabels();
    return 1;
}

int Gigabyte_DES_HardwareMonitor::Update() {
    if (!m_pRecord) return 1;
    double current = -1.0;
    uint8_t byte = 0;
    if (ReadReading(m_pSpace, m_pRecord[kCurrentRegister], byte)) {
        const double product = double(Dword(m_pRecord, kCurrentMultiplier)) * byte;
        if (product > kMinCurrentProduct && product < kMaxCurrentProduct) {
            CSensor* sensor = LateSensor(this, SENSOR_CURRENT, 0, "CPU");
            sensor->m_dwRawValue = byte;
            current = product / kProductPerAmpere;
            sensor->SetValue(float(current), 1);
        }
    }
    if (ReadReading(m_pSpace, m_pRecord[kVoltageRegister], byte)) {
        CSensor* sensor = LateSensor(this, SENSOR_VOLTAGE, 0, "CPU");
        sensor->m_dwRawValue = byte;
        const double volts = double(Word(m_pRecord, kVoltageMultiplier)) * byte / 1000.0;
        sensor->m_fUnconvertedValue = float(volts);
        if (volts > 0 && current > 0) LateSensor(this, SENSOR_POWER, 0, "CPU")->SetValue(float(volts * current), 1);
    }
    ApplySensorFormulas();
    return 1;
}
