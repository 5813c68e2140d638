#include "sdk/monitor/winbond_w83627dhg.h"

#include <algorithm>
#include <iterator>

#include "platform/threads.h"
#include "sdk/core/helpers.h"
#include "sdk/core/sensor.h"
#include "sdk/monitor/winbond_monitor.h"

namespace {

using namespace winbond;

constexpr uint32_t kMonitorIdDhg = 0x5CA300C1;
constexpr uint32_t kMonitorIdEhf = 0x5CA300A1;
constexpr float kReferenceVoltage = 2.048f;
constexpr uint32_t kNoExponent = 0xFFFFFFFF;
constexpr uint32_t kLargestExponent = 7;
constexpr uint32_t kDivisorSettleMs = 100;
constexpr uint8_t kLastBankDhg = 4;
constexpr uint8_t kLastBankEhf = 5;

constexpr uint8_t kDhgFanCounts[4] = {0x28, 0x29, 0x2A, 0x3F};  // fans 0-3 in bank 0
constexpr uint8_t kBank5Voltage = 0x52;                     // voltage 7 of the W83627EHF
constexpr uint8_t kBank5FanCount = 0x53;                    // fan 4

constexpr _stVoltageLabel kDhgVoltages[] = {
    {"CPU VCORE", 0x01000100, 1, 1, 1}, {"VIN1", 0x00000101, 1, 1, 1},   {"+3.3V", 0x02000102, 2, 34, 34},
    {"+5V", 0x03000103, 1, 3, 1},       {"+12V", 0x04000104, 2, 597, 100}, {"VIN5", 0x00000105, 1, 1, 1},
    {"VIN6", 0x00000106, 1, 1, 1},      {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stVoltageLabel kEhfVoltages[] = {
    {"CPU VCORE", 0x01000100, 1, 1, 1}, {"VIN0", 0x00000101, 1, 1, 1}, {"AVCC", 0x00000102, 2, 34, 34},
    {"+3.3V", 0x02000103, 2, 34, 34},   {"VIN1", 0x00000104, 1, 1, 1}, {"VIN2", 0x00000105, 1, 1, 1},
    {"VIN3", 0x00000106, 1, 1, 1},      {"VIN4", 0x00000107, 1, 1, 1}, {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stSensorLabel kTemperatures[] = {
    {"SYSTIN", 0x00000200, 1}, {"CPUTIN", 0x01000201, 2}, {"AUXTIN", 0x00000202, 2}, {nullptr, kLabelTableEnd, 0}};
constexpr _stSensorLabel kDhgFans[] = {{"SYSFANIN", 0x00000400, 1},  {"CPUFANIN0", 0x01000401, 1},
                                       {"AUXFANIN0", 0x00000402, 1}, {"AUXFANIN1", 0x00000403, 1},
                                       {"AUXFANIN2", 0x00000404, 1}, {nullptr, kLabelTableEnd, 0}};
constexpr _stSensorLabel kEhfFans[] = {{"SYSFANIN", 0x00000400, 1},  {"CPUFANIN0", 0x00000401, 1},
                                       {"AUXFANIN0", 0x00000402, 1}, {"CPUFANIN1", 0x00000403, 1},
                                       {"AUXFANIN1", 0x00000404, 1}, {nullptr, kLabelTableEnd, 0}};

// Boards whose W83627DHG-class chip is named "Nuvoton W83677".
constexpr uint32_t kRenamedBoards[] = {
    0x545B80,   0x571AE0,   0x571B2C,   0x571CA0,   0x572040,   0x572180,   0x573E20,   0x5748E0,   0x574CA0,
    0x577D80,   0x577EC0,   0x577F80,   0x578680,   0x57C240,   0x5B7C20,   0x5B7CE0,   0x5B80A0,   0x5BE1A0,
    0x5C0400,   0x5FFF20,   0x600040,   0x6001E0,   0x608C60,   0x609040,   0x60BEC0,   0xA8B7EA,   0xAE36AA,
    0xAE3A2A,   0xAE416A,   0xAE43EA,   0xAE92AA,   0xAEFAAA,   0xAEFBEA,   0xAEFE6A,   0xAEFFEA,   0xAF0DEA,
    0xB6F92A,   0xB7022A,   0xB808EA,   0x182D0138, 0x182F6178, 0x1831A958, 0x183749F8};
// Boards that wire the fifth fan input of the W83627DHG class.
constexpr uint32_t kFifthFanBoards[] = {0x005BE1A0, 0x055C9C2E, 0x16AE40B8, 0x2C39AEE8, 0x35432E66, 0x3E4CCCAC,
                                        0x48BB1AF2, 0x737EC7E1, 0xC922E784, 0xF279AEE8, 0xF37EC7E1, 0xF3837805};

bool Listed(const uint32_t* first, const uint32_t* last, uint32_t key) { return std::find(first, last, key) != last; }

// The exponents of the five fans: fans 0-2 by the classic fields, fan 3
// from 0x59 bits 1-0 and 0x4C bit 7, fan 4 from 0x59 bits 3-2 and bit 7.
void ReadFiveFanExponents(CHardwareMonitor* monitor, uint32_t (&exponents)[5]) {
    uint8_t reg47 = 0xFF, reg4B = 0xFF, reg4C = 0xFF, reg59 = 0xFF, reg5D = 0xFF;
    monitor->ReadRegister(0x47, &reg47);
    monitor->ReadRegister(0x4B, &reg4B);
    monitor->ReadRegister(0x4C, &reg4C);
    monitor->ReadRegister(0x59, &reg59);
    monitor->ReadRegister(0x5D, &reg5D);
    for (uint32_t fan = 0; fan < 3; ++fan) exponents[fan] = ClassicFanExponent(fan, reg47, reg4B, reg5D, true);
    exponents[3] = uint32_t(reg4C >> 7) << 2 | (reg59 & 3);
    exponents[4] = uint32_t(reg59 >> 7) << 2 | ((reg59 >> 2) & 3);
}

// The 9-bit temperature of the selected bank's 0x50/0x51 when 0x50 reads a
// byte that can be one; 0 otherwise.
uint32_t BankedTemperature(CHardwareMonitor* monitor) {
    uint8_t high = 0xFF, low = 0xFF;
    if (!monitor->ReadRegister(kBankedFirst, &high) || high == 0x00 || high == 0x7F || high == 0x80) return 0;
    monitor->ReadRegister(kBankedFirst + 1, &low);
    const uint32_t r = NineBit(high, low);
    return r >= 1 && r <= 510 ? r : 0;
}

// A fan count at update: a zero or overflowing count shows 0 on an existing
// fan; an accepted one creates the fan when missing. With `failedIsZero` a
// failed read counts as an overflow, otherwise it changes nothing.
void UpdateFan(CHardwareMonitor* monitor, CFanSensor*& fan, uint8_t index, uint8_t reg, uint32_t exponent,
               bool failedIsZero) {
    uint8_t count = 0xFF;
    const int read = monitor->ReadRegister(reg, &count);
    if (!read && !failedIsZero) return;
    if (!FanAccepted(read, count)) {
        if (fan) fan->m_dwRawValue = 0;
        return;
    }
    EnsureFan(monitor, fan, index, exponent)->m_dwRawValue = count;
}

} // namespace

// ---- W83627DHG / W83667HG ----

Winbond_W83627DHG_HardwareMonitor::Winbond_W83627DHG_HardwareMonitor(uint32_t chipId)
    : CHardwareMonitor(MONITOR_CHIP, kMonitorIdDhg), m_dwChipId(chipId) {
    std::fill(std::begin(m_dwFanExponents), std::end(m_dwFanExponents), kNoExponent);
    const bool w83667hg = chipId == 0xA5 || chipId == 0xB3;
    FormatString(m_szName, sizeof m_szName, "%s", w83667hg ? "Winbond W83667HG" : "Winbond W83627DHG");
    m_fReferenceVoltage = kReferenceVoltage;
    m_pVoltageLabels = kDhgVoltages;
    m_pTemperatureLabels = kTemperatures;
    m_pFanLabels = kDhgFans;
}

bool Winbond_W83627DHG_HardwareMonitor::FifthFanBoard() const {
    return Listed(std::begin(kFifthFanBoards), std::end(kFifthFanBoards), m_dwBoardKey);
}

void Winbond_W83627DHG_HardwareMonitor::DumpRegisters(CReportGenerator* report) {
    DumpBankedRegisters(this, report, WinbondSelectBank, kLastBankDhg);
}

int Winbond_W83627DHG_HardwareMonitor::SetSensorValue(uint32_t index, uint32_t classCode, float) {
    return ResetStatus(this, m_pStatus, index, classCode, WinbondSelectBank, kResetRegister, true);
}

int Winbond_W83627DHG_HardwareMonitor::CreateSensors() {
    if (Listed(std::begin(kRenamedBoards), std::end(kRenamedBoards), m_dwBoardKey))
        FormatString(m_szName, sizeof m_szName, "%s", "Nuvoton W83677");
    WinbondSelectBank(this, 0);
    for (uint8_t i = 0; i < 7; ++i) {
        uint8_t byte = 0xFF;
        if (ReadsVoltage(this, kFirstVoltage + i, byte)) m_pVoltages[i] = NewVoltage(this, i);
    }
    uint8_t byte = 0xFF;
    if (ReadsTemperature(this, kTemperature0, byte)) m_pTemperatures[0] = NewTemperature(this, 0);
    CreateFanSensors();
    for (uint8_t bank = 1; bank <= 2; ++bank) {
        WinbondSelectBank(this, bank);
        if (BankedTemperature(this)) m_pTemperatures[bank] = NewTemperature(this, bank);
    }
    WinbondSelectBank(this, 0);
    ApplySensorLabels();
    return 1;
}

namespace {
constexpr uint8_t kDivisorRegisters[] = {0x47, 0x4B, 0x5D};
} // namespace

void Winbond_W83627DHG_HardwareMonitor::Close() {
    if (!m_bDivisorsSaved) return;
    WinbondSelectBank(this, 0);
    for (size_t i = 0; i < std::size(kDivisorRegisters); ++i) WriteRegister(kDivisorRegisters[i], m_bySavedDivisors[i]);
    m_bDivisorsSaved = false;
}

void Winbond_W83627DHG_HardwareMonitor::RaiseDivisor(uint32_t fan, uint8_t count) {
    if (!m_bDivisorsSaved && count == 0xFF && m_dwFanExponents[fan] < kLargestExponent) {
        m_bDivisorsSaved = true;
        for (size_t i = 0; i < std::size(kDivisorRegisters); ++i)
            m_bDivisorsSaved = m_bDivisorsSaved && ReadRegister(kDivisorRegisters[i], &m_bySavedDivisors[i]);
    }
    const uint8_t divisorRegister = fan == 2 ? 0x4B : 0x47;
    const uint32_t lowShift = fan == 0 ? 4 : 6;
    const uint8_t highBit = uint8_t(0x20 << fan);  // 0x5D bits 5-7
    uint32_t& exponent = m_dwFanExponents[fan];
    while (exponent < kLargestExponent && count == 0xFF) {
        ++exponent;
        uint8_t divisor = 0xFF, high = 0xFF;
        ReadRegister(divisorRegister, &divisor);
        ReadRegister(0x5D, &high);
        divisor = uint8_t((divisor & ~(3u << lowShift)) | (exponent & 3) << lowShift);
        high = uint8_t((exponent & 4) ? high | highBit : high & ~highBit);
        WriteRegister(divisorRegister, divisor);
        WriteRegister(0x5D, high);
        Sleep(kDivisorSettleMs);
        ReadRegister(kDhgFanCounts[fan], &count);
    }
}

// Fan 4's divisor is never raised: its count lives in bank 5 and its
// exponent in bank 0, and a fan that overflows is found by a later update
// once its count is accepted.
void Winbond_W83627DHG_HardwareMonitor::CreateFanSensors() {
    ReadFiveFanExponents(this, m_dwFanExponents);
    for (uint8_t fan = 0; fan < 3; ++fan) {
        uint8_t count = 0xFF;
        const int read = ReadRegister(kDhgFanCounts[fan], &count);
        if (FanAccepted(read, count)) m_pFans[fan] = NewFan(this, fan, m_dwFanExponents[fan]);
        if (count == 0xFF) RaiseDivisor(fan, count);
    }
    uint8_t count = 0xFF;
    if (ReadsFan(this, kDhgFanCounts[3], count)) m_pFans[3] = NewFan(this, 3, m_dwFanExponents[3]);
    if (!FifthFanBoard()) return;
    WinbondSelectBank(this, 5);
    if (ReadsFan(this, kBank5FanCount, count)) m_pFans[4] = NewFan(this, 4, m_dwFanExponents[4]);
}

void Winbond_W83627DHG_HardwareMonitor::UpdateFans() {
    for (uint8_t fan = 0; fan < 4; ++fan) UpdateFan(this, m_pFans[fan], fan, kDhgFanCounts[fan], m_dwFanExponents[fan], false);
    if (!FifthFanBoard()) return;
    WinbondSelectBank(this, 5);
    UpdateFan(this, m_pFans[4], 4, kBank5FanCount, m_dwFanExponents[4], false);
}

int Winbond_W83627DHG_HardwareMonitor::Update() {
    WinbondSelectBank(this, 0);
    UpdateVoltages(this, m_pVoltages, 7, kFirstVoltage, kFineVoltStep, true);
    uint8_t byte = 0xFF;
    if (m_pTemperatures[0] && ReadsTemperature(this, kTemperature0, byte)) {
        m_pTemperatures[0]->m_dwRawValue = byte;
        m_pTemperatures[0]->SetValue(float(byte), 1);
    }
    UpdateFans();
    UpdateStatus(this, m_pStatus, kStatusRegister, kStatusBit);
    for (uint8_t bank = 1; bank <= 2; ++bank) {
        WinbondSelectBank(this, bank);
        const uint32_t r = BankedTemperature(this);
        if (!r) continue;
        CTemperatureSensor* sensor = EnsureTemperature(this, m_pTemperatures[bank], bank);
        sensor->m_dwRawValue = r;
        sensor->SetValue(float(r), 1);
    }
    WinbondSelectBank(this, 0);
    ApplySensorFormulas();
    return 1;
}

// ---- W83627EHF ----

Winbond_W83627EHF_HardwareMonitor::Winbond_W83627EHF_HardwareMonitor()
    : CHardwareMonitor(MONITOR_CHIP, kMonitorIdEhf) {
    FormatString(m_szName, sizeof m_szName, "%s", "Winbond W83627EHF");
    m_fReferenceVoltage = kReferenceVoltage;
    m_pVoltageLabels = kEhfVoltages;
    m_pTemperatureLabels = kTemperatures;
    m_pFanLabels = kEhfFans;
}

void Winbond_W83627EHF_HardwareMonitor::DumpRegisters(CReportGenerator* report) {
    DumpBankedRegisters(this, report, WinbondSelectBank, kLastBankEhf);
}

int Winbond_W83627EHF_HardwareMonitor::SetSensorValue(uint32_t index, uint32_t classCode, float) {
    return ResetStatus(this, m_pStatus, index, classCode, WinbondSelectBank, kResetRegister, true);
}

int Winbond_W83627EHF_HardwareMonitor::CreateSensors() {
    WinbondSelectBank(this, 0);
    for (uint8_t i = 0; i < 7; ++i) {
        uint8_t byte = 0xFF;
        if (ReadsVoltage(this, kFirstVoltage + i, byte)) m_pVoltages[i] = NewVoltage(this, i);
    }
    m_pTemperatures[0] = NewTemperature(this, 0);
    ReadFiveFanExponents(this, m_dwFanExponents);
    for (uint8_t fan = 0; fan < 4; ++fan) {
        uint8_t count = 0xFF;
        if (ReadsFan(this, kDhgFanCounts[fan], count))
            m_pFans[fan] = NewFan(this, fan, m_dwFanExponents[fan]);
    }
    for (uint8_t bank = 1; bank <= 2; ++bank) {
        WinbondSelectBank(this, bank);
        m_pTemperatures[bank] = NewTemperature(this, bank);
    }
    WinbondSelectBank(this, 5);
    uint8_t byte = 0xFF;
    if (ReadsVoltage(this, kBank5Voltage, byte)) m_pVoltages[7] = NewVoltage(this, 7);
    if (ReadsFan(this, kBank5FanCount, byte)) m_pFans[4] = NewFan(this, 4, m_dwFanExponents[4]);
    WinbondSelectBank(this, 0);
    ApplySensorLabels();
    return 1;
}

int Winbond_W83627EHF_HardwareMonitor::Update() {
    WinbondSelectBank(this, 0);
    UpdateVoltages(this, m_pVoltages, 7, kFirstVoltage, kFineVoltStep, false);
    StoreRawByte(this, m_pTemperatures[0], kTemperature0);
    for (uint8_t fan = 0; fan < 4; ++fan) UpdateFan(this, m_pFans[fan], fan, kDhgFanCounts[fan], m_dwFanExponents[fan], true);
    UpdateStatus(this, m_pStatus, kStatusRegister, kStatusBit);
    UpdateBankedTemperatures(this, m_pTemperatures, 2, WinbondSelectBank);
    WinbondSelectBank(this, 5);
    UpdateVoltages(this, &m_pVoltages[7], 1, kBank5Voltage, kFineVoltStep, false);
    UpdateFan(this, m_pFans[4], 4, kBank5FanCount, m_dwFanExponents[4], true);
    WinbondSelectBank(this, 0);
    ApplySensorFormulas();
    return 1;
}

CHardwareMonitor* CreateWinbondW83627DHG(uint32_t chip) { return new Winbond_W83627DHG_HardwareMonitor(chip & 0xFFFF); }

CHardwareMonitor* CreateWinbondW83627EHF(uint32_t) { return new Winbond_W83627EHF_HardwareMonitor; }
