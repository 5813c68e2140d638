#include "sdk/monitor/winbond_w8379x.h"

#include <algorithm>
#include <iterator>

#include "sdk/core/helpers.h"
#include "sdk/core/sensor.h"
#include "sdk/monitor/winbond_monitor.h"

namespace {

using namespace winbond;

// The extra temperatures: high byte, then the byte whose bit 0 is the half degree.
constexpr uint8_t kExtraTemperatures[2][2] = {{0xC0, 0xC1}, {0xC8, 0xC9}};
constexpr uint32_t kNegativeBit = 0x100;  // sign of a 9-bit temperature

// ---- W83791D ----
constexpr uint8_t kW83791dVoltage7 = 0xB2;
constexpr uint8_t kW83791dResetRegister = 0x46;

constexpr _stVoltageLabel kW83791dVoltages[] = {
    {"CPU VCore", 0x01000100, 1, 1, 1}, {"AUX", 0x00000101, 1, 1, 1},    {"+3.3V", 0x02000102, 1, 1, 1},
    {"+5V", 0x03000103, 2, 34, 50},     {"+12V", 0x04000104, 2, 28, 10}, {"-12V", 0x06000105, 3, 232, 56},
    {"-5V", 0x05000106, 3, 120, 56},    {"VINR1", 0x00000107, 1, 1, 1},  {nullptr, kLabelTableEnd, 0, 0, 0}};

// ---- W83792D ----
constexpr uint8_t kW83792dFanCounts[7] = {0x28, 0x29, 0x2A, 0xB8, 0xB9, 0xBA, 0xBE};
// Register and shift of each fan's three-bit divisor exponent.
constexpr uint8_t kW83792dExponentFields[7][2] = {{0x47, 0}, {0x47, 4}, {0x5B, 0}, {0x5B, 4},
                                                  {0x5C, 0}, {0x5C, 4}, {0x9E, 0}};
constexpr uint8_t kW83792dCoreLowBits = 0x3E;  // bits 1-0 of voltage 0, bits 3-2 of voltage 1
constexpr float kW83792dCoreStep = 0.002f;     // 2 mV per step of the 10-bit value
constexpr uint32_t kW83792dStatusBit = 5;
constexpr uint8_t kW83792dResetRegister = 0x44;
constexpr uint32_t kW83792dCoreVoltageBoards[] = {0x00BF45CE, 0x17ECC888, 0x4705AB38, 0x68E0C4A4,
                                                  0x7E68E090, 0x7E8C17D0, 0x9A3830F6, 0xD184FC60};

constexpr _stVoltageLabel kW83792dVoltages[] = {
    {"CPU VCore", 0x01000100, 1, 1, 1}, {"AUX", 0x00000101, 1, 1, 1},  {"VIN2", 0x00000102, 1, 1, 1},
    {"VIN3", 0x00000103, 1, 1, 1},      {"VIN4", 0x00000104, 1, 1, 1}, {"VIN5", 0x00000105, 1, 1, 1},
    {"+5VCC", 0x00000106, 2, 34, 50},   {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stSensorLabel kW83792dFans[] = {{"FANIN0", 0x00000400, 1}, {"FANIN1", 0x00000401, 1},
                                           {"FANIN2", 0x00000402, 1}, {"FANIN3", 0x00000403, 1},
                                           {"FANIN4", 0x00000404, 1}, {"FANIN5", 0x00000405, 1},
                                           {"FANIN6", 0x00000406, 1}, {nullptr, kLabelTableEnd, 0}};

// ---- W83793 ----
constexpr uint8_t kW83793FirstVoltage = 0x10;
constexpr uint8_t kW83793FirstTemperature = 0x1C;
constexpr uint8_t kW83793FirstFan = 0x23;  // high byte; the low byte follows
constexpr uint32_t kW83793NoCount = 0xFFF;

constexpr _stVoltageLabel kW83793Voltages[] = {
    {"CPU VCore", 0x01000100, 1, 1, 2}, {"AUX", 0x00000101, 1, 1, 1},    {"VIN2", 0x00000102, 1, 1, 1},
    {"VIN3", 0x00000103, 1, 1, 1},      {"-12V", 0x06000104, 3, 232, 56}, {"VIN5", 0x00000105, 1, 1, 1},
    {"+3.3V", 0x02000106, 1, 1, 1},     {"+12V", 0x04000107, 2, 28, 10}, {"+5V", 0x03000108, 2, 34, 50},
    {"+5VSB", 0x00000109, 2, 34, 50},   {"VBAT", 0x0000010A, 1, 1, 1},   {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stSensorLabel kW83793Temperatures[] = {{"TMPIN0", 0x00000200, 1}, {"TMPIN1", 0x00000201, 1},
                                                  {"TMPIN2", 0x00000202, 1}, {"TMPIN3", 0x00000203, 1},
                                                  {"TMPIN4", 0x00000204, 1}, {nullptr, kLabelTableEnd, 0}};
constexpr _stSensorLabel kW83793Fans[] = {
    {"FANIN0", 0x00000400, 1}, {"FANIN1", 0x00000401, 1}, {"FANIN2", 0x00000402, 1}, {"FANIN3", 0x00000403, 1},
    {"FANIN4", 0x00000404, 1}, {"FANIN5", 0x00000405, 1}, {"FANIN6", 0x00000406, 1}, {"FANIN7", 0x00000407, 1},
    {"FANIN8", 0x00000408, 1}, {"FANIN9", 0x00000409, 1}, {nullptr, kLabelTableEnd, 0}};

void Name(CHardwareMonitor* monitor, const char* name) { FormatString(monitor->m_szName, sizeof monitor->m_szName, "%s", name); }

// Voltages first .. first + count - 1 that pass the voltage test.
void CreateVoltages(CHardwareMonitor* monitor, CVoltageSensor** sensors, uint8_t count, uint8_t first) {
    uint8_t byte = 0xFF;
    for (uint8_t i = 0; i < count; ++i)
        if (ReadsVoltage(monitor, uint8_t(first + i), byte)) sensors[i] = NewVoltage(monitor, i);
}

// The 9-bit temperature of an extra pair; false when its high byte does not read.
bool ReadExtraTemperature(CHardwareMonitor* monitor, uint32_t pair, uint32_t& r) {
    uint8_t high = 0xFF, low = 0xFF;
    if (!monitor->ReadRegister(kExtraTemperatures[pair][0], &high)) return false;
    monitor->ReadRegister(kExtraTemperatures[pair][1], &low);
    r = NineBit(high, low, true);
    return true;
}

void UpdateExtraTemperatures(CHardwareMonitor* monitor, CTemperatureSensor* const (&sensors)[3]) {
    for (uint32_t pair = 0; pair < 2; ++pair) {
        uint32_t r = 0;
        if (sensors[pair + 1] && ReadExtraTemperature(monitor, pair, r)) sensors[pair + 1]->m_dwRawValue = r;
    }
}

} // namespace

// ---- W83791D ----

Winbond_W83791D_HardwareMonitor::Winbond_W83791D_HardwareMonitor() : CHardwareMonitor(MONITOR_CHIP, 0x5CA30071) {
    Name(this, "Winbond W83791D");
    m_pVoltageLabels = kW83791dVoltages;
    m_pTemperatureLabels = kThreeTemperatureLabels;
    m_pFanLabels = kThreeFanLabels;
}

int Winbond_W83791D_HardwareMonitor::SetSensorValue(uint32_t index, uint32_t classCode, float) {
    return ResetStatus(this, m_pStatus, index, classCode, WinbondSelectBank, kW83791dResetRegister, false);
}

// An extra temperature is there unless its 9-bit value is negative, which
// is what an unconnected diode reads (0x80 or 0xFF in the high byte).
int Winbond_W83791D_HardwareMonitor::CreateSensors() {
    WinbondSelectBank(this, 0);
    CreateVoltages(this, m_pVoltages, 7, kFirstVoltage);
    uint8_t byte = 0xFF;
    if (ReadsVoltage(this, kW83791dVoltage7, byte)) m_pVoltages[7] = NewVoltage(this, 7);
    if (ReadsTemperature(this, kTemperature0, byte)) m_pTemperatures[0] = NewTemperature(this, 0);
    uint32_t exponents[3] = {};
    ReadClassicFanExponents(this, exponents, false);
    for (uint8_t fan = 0; fan < 3; ++fan)
        if (ReadsFan(this, kFanCounts[fan], byte)) m_pFans[fan] = NewFan(this, fan, exponents[fan]);
    for (uint8_t pair = 0; pair < 2; ++pair) {
        uint32_t r = 0;
        if (ReadExtraTemperature(this, pair, r) && !(r & kNegativeBit))
            m_pTemperatures[pair + 1] = NewTemperature(this, uint8_t(pair + 1));
    }
    WinbondSelectBank(this, 0);
    ApplySensorLabels();
    return 1;
}

int Winbond_W83791D_HardwareMonitor::Update() {
    WinbondSelectBank(this, 0);
    UpdateVoltages(this, m_pVoltages, 7, kFirstVoltage, kVoltStep, false);
    UpdateVoltages(this, &m_pVoltages[7], 1, kW83791dVoltage7, kVoltStep, false);
    StoreRawByte(this, m_pTemperatures[0], kTemperature0);
    for (uint8_t fan = 0; fan < 3; ++fan) StoreRawByte(this, m_pFans[fan], kFanCounts[fan]);
    UpdateExtraTemperatures(this, m_pTemperatures);
    UpdateStatus(this, m_pStatus, kStatusRegister, kStatusBit);
    WinbondSelectBank(this, 0);
    ApplySensorFormulas();
    return 1;
}

// ---- W83792D ----

Winbond_W83792D_HardwareMonitor::Winbond_W83792D_HardwareMonitor() : CHardwareMonitor(MONITOR_CHIP, 0x5CA3007A) {
    Name(this, "Winbond W83792D");
    m_pVoltageLabels = kW83792dVoltages;
    m_pTemperatureLabels = kThreeTemperatureLabels;
    m_pFanLabels = kW83792dFans;
}

int Winbond_W83792D_HardwareMonitor::SetSensorValue(uint32_t index, uint32_t classCode, float) {
    return ResetStatus(this, m_pStatus, index, classCode, WinbondSelectBank, kW83792dResetRegister, false);
}

int Winbond_W83792D_HardwareMonitor::CreateSensors() {
    WinbondSelectBank(this, 0);
    CreateVoltages(this, m_pVoltages, 7, kFirstVoltage);
    uint8_t byte = 0xFF;
    if (ReadsTemperature(this, kTemperature0, byte)) m_pTemperatures[0] = NewTemperature(this, 0);
    for (uint32_t fan = 0; fan < 7; ++fan) {
        uint8_t field = 0xFF;
        ReadRegister(kW83792dExponentFields[fan][0], &field);
        m_dwFanExponents[fan] = (field >> kW83792dExponentFields[fan][1]) & 7;
    }
    for (uint8_t fan = 0; fan < 7; ++fan)
        if (ReadsFan(this, kW83792dFanCounts[fan], byte)) m_pFans[fan] = NewFan(this, fan, m_dwFanExponents[fan]);
    m_pTemperatures[1] = NewTemperature(this, 1);
    m_pTemperatures[2] = NewTemperature(this, 2);
    WinbondSelectBank(this, 0);
    ApplySensorLabels();
    return 1;
}

// On the boards that wire them so, the core voltages are 10-bit values: the
// byte of this pass times four and two low bits from 0x3E, 2 mV per step.
// A voltage whose byte (or 0x3E) did not read now keeps what it had, so a
// value is never widened twice.
void Winbond_W83792D_HardwareMonitor::UpdateCoreVoltages(const bool (&readThisPass)[7], const uint8_t (&bytes)[7]) {
    if (std::find(std::begin(kW83792dCoreVoltageBoards), std::end(kW83792dCoreVoltageBoards), m_dwBoardKey) ==
        std::end(kW83792dCoreVoltageBoards))
        return;
    if (!m_pVoltages[0] || !m_pVoltages[1]) return;
    uint8_t low = 0;
    if (!ReadRegister(kW83792dCoreLowBits, &low)) return;
    for (uint32_t i = 0; i < 2; ++i) {
        if (!readThisPass[i]) continue;
        const uint32_t raw = uint32_t(bytes[i]) << 2 | ((low >> (2 * i)) & 3);
        m_pVoltages[i]->m_dwRawValue = raw;
        m_pVoltages[i]->m_fUnconvertedValue = float(raw) * kW83792dCoreStep;
    }
}

int Winbond_W83792D_HardwareMonitor::Update() {
    WinbondSelectBank(this, 0);
    bool readThisPass[7] = {};
    uint8_t bytes[7] = {};
    for (uint8_t i = 0; i < 7; ++i) {
        if (!m_pVoltages[i]) continue;
        bytes[i] = 0xFF;
        readThisPass[i] = ReadRegister(uint8_t(kFirstVoltage + i), &bytes[i]) != 0;
        if (readThisPass[i]) StoreVoltage(m_pVoltages[i], bytes[i], kVoltStep);
    }
    UpdateCoreVoltages(readThisPass, bytes);
    StoreRawByte(this, m_pTemperatures[0], kTemperature0);
    for (uint8_t fan = 0; fan < 7; ++fan) {
        uint8_t count = 0xFF;
        if (ReadsFan(this, kW83792dFanCounts[fan], count))
            EnsureFan(this, m_pFans[fan], fan, m_dwFanExponents[fan])->m_dwRawValue = count;
    }
    UpdateExtraTemperatures(this, m_pTemperatures);
    UpdateStatus(this, m_pStatus, kStatusRegister, kW83792dStatusBit);
    WinbondSelectBank(this, 0);
    ApplySensorFormulas();
    return 1;
}

// ---- W83793 ----

Winbond_W83793_HardwareMonitor::Winbond_W83793_HardwareMonitor() : CHardwareMonitor(MONITOR_CHIP, 0x5CA3007B) {
    Name(this, "Winbond W83793");
    m_pVoltageLabels = kW83793Voltages;
    m_pTemperatureLabels = kW83793Temperatures;
    m_pFanLabels = kW83793Fans;
}

bool Winbond_W83793_HardwareMonitor::ReadFanCount(uint32_t fan, uint32_t& count) {
    uint8_t high = 0xFF, low = 0xFF;
    const int readHigh = ReadRegister(uint8_t(kW83793FirstFan + 2 * fan), &high);
    const int readLow = ReadRegister(uint8_t(kW83793FirstFan + 2 * fan + 1), &low);
    count = uint32_t(high) << 8 | low;
    return readHigh && readLow;
}

int Winbond_W83793_HardwareMonitor::CreateSensors() {
    CreateVoltages(this, m_pVoltages, 11, kW83793FirstVoltage);
    uint8_t byte = 0xFF;
    for (uint8_t i = 0; i < 5; ++i)
        if (ReadsTemperature(this, uint8_t(kW83793FirstTemperature + i), byte)) m_pTemperatures[i] = NewTemperature(this, i);
    for (uint8_t fan = 0; fan < 10; ++fan) {
        uint32_t count = 0;
        if (ReadFanCount(fan, count) && count != 0 && count != kW83793NoCount) m_pFans[fan] = NewFan(this, fan, 0);
    }
    ApplySensorLabels();
    return 1;
}

int Winbond_W83793_HardwareMonitor::Update() {
    UpdateVoltages(this, m_pVoltages, 11, kW83793FirstVoltage, kVoltStep, false);
    for (uint8_t i = 0; i < 5; ++i) StoreRawByte(this, m_pTemperatures[i], uint8_t(kW83793FirstTemperature + i));
    for (uint32_t fan = 0; fan < 10; ++fan) {
        uint32_t count = 0;
        if (!m_pFans[fan]) continue;
        ReadFanCount(fan, count);
        m_pFans[fan]->m_dwRawValue = count;
    }
    ApplySensorFormulas();
    return 1;
}

CHardwareMonitor* CreateWinbondW83791D(uint32_t) { return new Winbond_W83791D_HardwareMonitor; }
CHardwareMonitor* CreateWinbondW83792D(uint32_t) { return new Winbond_W83792D_HardwareMonitor; }
CHardwareMonitor* CreateWinbondW83793(uint32_t) { return new Winbond_W83793_HardwareMonitor; }
