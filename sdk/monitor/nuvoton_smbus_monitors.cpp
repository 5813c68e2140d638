#include "sdk/monitor/nuvoton_smbus_monitors.h"

#include "platform/threads.h"
#include "sdk/monitor/chip_sensor_slots.h"

namespace {

constexpr uint32_t kBankSettleMs = 10;
constexpr float kFanConstant = 1.35e6f;

// ---- W83795G ----
constexpr _stVoltageLabel kW83795GVoltages[] = {
    {"CPU VCore", 0x01000100, 1, 1, 1}, {"VIN1", 0x00000101, 1, 1, 1},  {"VIN2", 0x00000102, 1, 1, 1},
    {"VIN3", 0x00000103, 1, 1, 1},      {"VIN4", 0x00000104, 1, 1, 1},  {"VIN5", 0x00000105, 1, 1, 1},
    {"VIN6", 0x00000106, 1, 1, 1},      {"VIN7", 0x00000107, 1, 1, 1},  {"VIN8", 0x00000108, 1, 1, 1},
    {"VIN9", 0x00000109, 1, 1, 1},      {"VIN10", 0x0000010A, 1, 1, 1}, {"VTT", 0x0000010B, 1, 1, 1},
    {"3VDD", 0x0000010C, 1, 3, 1},      {"3VSB", 0x0000010D, 1, 3, 1},  {"VBAT", 0x0000010E, 1, 3, 1},
    {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stSensorLabel kW83795GTemperatures[] = {
    {"TMPIN0", 0x00000200, 1}, {"TMPIN1", 0x00000201, 1}, {"TMPIN2", 0x00000202, 1},
    {"TMPIN3", 0x00000203, 1}, {"TMPIN4", 0x00000204, 1}, {nullptr, kLabelTableEnd, 0}};
constexpr _stSensorLabel kW83795GFans[] = {
    {"FANIN0", 0x00000400, 1},  {"FANIN1", 0x00000401, 1},  {"FANIN2", 0x00000402, 1},  {"FANIN3", 0x00000403, 1},
    {"FANIN4", 0x00000404, 1},  {"FANIN5", 0x00000405, 1},  {"FANIN6", 0x00000406, 1},  {"FANIN7", 0x00000407, 1},
    {"FANIN8", 0x00000408, 1},  {"FANIN9", 0x00000409, 1},  {"FANIN10", 0x0000040A, 1}, {"FANIN11", 0x0000040B, 1},
    {"FANIN12", 0x0000040C, 1}, {"FANIN13", 0x0000040D, 1}, {nullptr, kLabelTableEnd, 0}};

constexpr uint8_t kW83795GBankRegister = 0x00;
constexpr uint8_t kW83795GFirstVoltage = 0x10;
constexpr uint8_t kW83795GFirstTemperature = 0x21;
constexpr uint8_t kW83795GFirstFan = 0x2E;
// Inputs 11-14 carry fixed names; the others are named after their index.
constexpr const char* kW83795GNamedVoltages[] = {"VTT", "3VDD", "3VSB", "VBAT"};
constexpr int kW83795GFirstNamedVoltage = 11;

// ---- NCT7802 ----
constexpr _stVoltageLabel kNct7802Voltages[] = {
    {"VCC", 0x00000100, 1, 1, 1},  {"VCORE", 0x00000101, 1, 1, 1}, {"VIN2", 0x00000102, 1, 1, 1},
    {"VIN3", 0x00000103, 1, 1, 1}, {"VIN4", 0x00000104, 1, 1, 1},  {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stSensorLabel kNct7802Fans[] = {
    {"FANIN0", 0x00000400, 1}, {"FANIN1", 0x00000401, 1}, {"FANIN2", 0x00000402, 1}, {nullptr, kLabelTableEnd, 0}};

// Register 0x0B is not a voltage input.
constexpr uint8_t kNct7802VoltageRegisters[] = {0x09, 0x0A, 0x0C, 0x0D, 0x0E};
constexpr uint8_t kNct7802VoltageLowBits = 0x0F;  // bits 7-6: the low bits of the last voltage read
constexpr uint8_t kNct7802FirstFan = 0x10;
constexpr uint8_t kNct7802FanLowBits = 0x13;  // bits 7-3: the low bits of the last count read
constexpr float kNct7802VoltStep = 0.002f;

// ---- NCT7904 ----
constexpr _stVoltageLabel kNct7904Voltages[] = {
    {"VIN0", 0x00000100, 1, 1, 1},  {"VIN1", 0x00000101, 1, 1, 1},  {"VIN2", 0x00000102, 1, 1, 1},
    {"VIN3", 0x00000103, 1, 1, 1},  {"VIN4", 0x00000104, 1, 1, 1},  {"VIN5", 0x00000105, 1, 1, 1},
    {"VIN6", 0x00000106, 1, 1, 1},  {"VIN7", 0x00000107, 1, 1, 1},  {"VIN8", 0x00000108, 1, 1, 1},
    {"VIN9", 0x00000109, 1, 1, 1},  {"VIN10", 0x0000010A, 1, 1, 1}, {"VIN11", 0x0000010B, 1, 1, 1},
    {"VIN12", 0x0000010C, 1, 1, 1}, {"VIN13", 0x0000010D, 1, 1, 1}, {"3VDD", 0x0000010E, 1, 3, 1},
    {"VBAT", 0x0000010F, 1, 3, 1},  {"3VSB", 0x00000110, 1, 3, 1},  {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stSensorLabel kNct7904Fans[] = {
    {"FANIN0", 0x00000400, 1}, {"FANIN1", 0x00000401, 1}, {"FANIN2", 0x00000402, 1},  {"FANIN3", 0x00000403, 1},
    {"FANIN4", 0x00000404, 1}, {"FANIN5", 0x00000405, 1}, {"FANIN6", 0x00000406, 1},  {"FANIN7", 0x00000407, 1},
    {"FANIN8", 0x00000408, 1}, {"FANIN9", 0x00000409, 1}, {"FANIN10", 0x0000040A, 1}, {"FANIN11", 0x0000040B, 1},
    {nullptr, kLabelTableEnd, 0}};

// The processor rows carry the processor role, the second processor's
// flag in bit 30 and the socket in bit 31 ("CPU1" 0x41.., "CPU2" 0x81..).
// The 24 DIMM rows name DIMM k mod 3 of channel (k / 3) mod 4 of CPU k / 12.
#define VEXA_DIMM_ROW(cpu, ch, dimm) \
    {"DIMM" #dimm " (CPU" #cpu "/ch" #ch ")", 0x00000208 + (cpu) * 12 + (ch) * 3 + (dimm), 3}
#define VEXA_DIMM_CHANNEL(cpu, ch) VEXA_DIMM_ROW(cpu, ch, 0), VEXA_DIMM_ROW(cpu, ch, 1), VEXA_DIMM_ROW(cpu, ch, 2)
constexpr _stSensorLabel kNct7904Temperatures[] = {
    {"CPU0", 0x01000200, 1}, {"CPU1", 0x41000201, 1}, {"CPU2", 0x81000202, 1}, {"CPU3", 0xC1000203, 1},
    {"CPU4", 0x01000204, 1}, {"CPU5", 0x41000205, 1}, {"CPU6", 0x81000206, 1}, {"CPU7", 0xC1000207, 1},
    VEXA_DIMM_CHANNEL(0, 0), VEXA_DIMM_CHANNEL(0, 1), VEXA_DIMM_CHANNEL(0, 2), VEXA_DIMM_CHANNEL(0, 3),
    VEXA_DIMM_CHANNEL(1, 0), VEXA_DIMM_CHANNEL(1, 1), VEXA_DIMM_CHANNEL(1, 2), VEXA_DIMM_CHANNEL(1, 3),
    {nullptr, kLabelTableEnd, 0}};
#undef VEXA_DIMM_CHANNEL
#undef VEXA_DIMM_ROW

constexpr uint8_t kNct7904BankRegister = 0xFF;
constexpr uint8_t kNct7904BankMask = 0x07;
constexpr uint8_t kNct7904FirstVoltage = 0x40;
constexpr uint8_t kNct7904FirstFan = 0x80;
constexpr uint8_t kNct7904FirstProcessorTemperature = 0xA0;
constexpr uint8_t kNct7904DimmBank = 2;
constexpr uint8_t kNct7904FirstDimmGroup = 0xD0;  // three readings and their mask per group of four
constexpr int kNct7904DimmGroups = 8;
constexpr int kNct7904FirstDimmSensor = 8;
constexpr float kNct7904VoltStep = 0.002f;

bool UsableByte(uint8_t value) { return value != 0x00 && value != 0xFF; }

} // namespace

// ---- W83795G ----

Nuvoton_W83795G_HardwareMonitor::Nuvoton_W83795G_HardwareMonitor() : CHardwareMonitor(MONITOR_CHIP, 0x5CA30079) {
    FormatString(m_szName, sizeof m_szName, "Nuvoton W83795G");
    m_pVoltageLabels = kW83795GVoltages;
    m_pTemperatureLabels = kW83795GTemperatures;
    m_pFanLabels = kW83795GFans;
}

int Nuvoton_W83795G_HardwareMonitor::SetBank(uint8_t bank) {
    const int written = WriteRegister(kW83795GBankRegister, bank & 3);
    Sleep(kBankSettleMs);
    return written;
}

int Nuvoton_W83795G_HardwareMonitor::CreateSensors() {
    Update();
    ApplySensorLabels();
    return 1;
}

int Nuvoton_W83795G_HardwareMonitor::Update() {
    SetBank(0);
    uint8_t value = 0;
    for (int i = 0; i < 15; ++i) {
        if (!ReadRegister(uint8_t(kW83795GFirstVoltage + i), &value) || !UsableByte(value)) continue;
        CVoltageSensor* sensor =
            i >= kW83795GFirstNamedVoltage
                ? EnsureSensor(*this, m_pVoltages[i], uint8_t(i), kW83795GNamedVoltages[i - kW83795GFirstNamedVoltage])
                : EnsureIndexedSensor(*this, m_pVoltages[i], uint8_t(i), kVoltageInputPrefix);
        StoreVoltage(sensor, value, kEightMillivoltStep);
    }
    // Negative readings (bit 7) and 0x7F are no readings on this chip.
    for (int i = 0; i < 4; ++i) {
        if (!ReadRegister(uint8_t(kW83795GFirstTemperature + i), &value) || value == 0x00 || value == 0x7F ||
            (value & 0x80))
            continue;
        EnsureIndexedSensor(*this, m_pTemperatures[i], uint8_t(i), kTemperatureInputPrefix)->m_dwRawValue = value;
    }
    // The byte is the upper eight bits of a 12-bit count.
    for (int i = 0; i < 14; ++i) {
        if (!ReadRegister(uint8_t(kW83795GFirstFan + i), &value) || !UsableByte(value)) {
            ClearFan(m_pFans[i]);
            continue;
        }
        EnsureFan(*this, m_pFans[i], uint8_t(i), 1)->m_dwRawValue = uint32_t(value) << 4;
    }
    ApplySensorFormulas();
    return 1;
}

// ---- NCT7802 ----

Nuvoton_NCT7802_HardwareMonitor::Nuvoton_NCT7802_HardwareMonitor() : CHardwareMonitor(MONITOR_CHIP, 0x5CA300C1) {
    FormatString(m_szName, sizeof m_szName, "Nuvoton NCT7802");
    m_fFanConstant = kFanConstant;
    m_pVoltageLabels = kNct7802Voltages;
    m_pFanLabels = kNct7802Fans;
}

int Nuvoton_NCT7802_HardwareMonitor::CreateSensors() {
    Update();
    ApplySensorLabels();
    return 1;
}

int Nuvoton_NCT7802_HardwareMonitor::Update() {
    uint8_t high = 0, low = 0;
    for (int i = 0; i < 5; ++i) {
        if (!ReadRegister(kNct7802VoltageRegisters[i], &high) || !UsableByte(high)) continue;
        ReadRegister(kNct7802VoltageLowBits, &low);
        const uint32_t raw = uint32_t(high) << 2 | low >> 6;
        SetVoltageReading(EnsureIndexedSensor(*this, m_pVoltages[i], uint8_t(i), kVoltageInputPrefix), raw,
                          raw * kNct7802VoltStep);
    }
    for (int i = 0; i < 3; ++i) {
        if (!ReadRegister(uint8_t(kNct7802FirstFan + i), &high) || !UsableByte(high)) {
            ClearFan(m_pFans[i]);
            continue;
        }
        ReadRegister(kNct7802FanLowBits, &low);
        EnsureFan(*this, m_pFans[i], uint8_t(i), 1)->m_dwRawValue = uint32_t(high) << 5 | low >> 3;
    }
    ApplySensorFormulas();
    return 1;
}

// ---- NCT7904 ----

Nuvoton_NCT7904_HardwareMonitor::Nuvoton_NCT7904_HardwareMonitor() : CHardwareMonitor(MONITOR_CHIP, 0x5CA300C5) {
    FormatString(m_szName, sizeof m_szName, "Nuvoton NCT7904");
    m_fFanConstant = kFanConstant;
    m_pVoltageLabels = kNct7904Voltages;
    m_pTemperatureLabels = kNct7904Temperatures;
    m_pFanLabels = kNct7904Fans;
}

uint8_t Nuvoton_NCT7904_HardwareMonitor::GetBank() {
    uint8_t value = 0;
    if (!ReadRegister(kNct7904BankRegister, &value) || value == 0xFF) return kNoBank;
    return value & kNct7904BankMask;
}

int Nuvoton_NCT7904_HardwareMonitor::SetBank(uint8_t bank) {
    uint8_t value = 0;
    ReadRegister(kNct7904BankRegister, &value);
    const int written = WriteRegister(kNct7904BankRegister, uint8_t((value & ~kNct7904BankMask) | (bank & kNct7904BankMask)));
    Sleep(kBankSettleMs);
    return written;
}

int Nuvoton_NCT7904_HardwareMonitor::CreateSensors() {
    Update();
    ApplySensorLabels();
    return 1;
}

// The bank found is put back; when it could not be read the chip is left
// in bank 0, where it starts, rather than in whatever bank 0xFF selects.
int Nuvoton_NCT7904_HardwareMonitor::Update() {
    const uint8_t saved = GetBank();
    SetBank(0);
    ReadVoltages();
    ReadFans();
    ReadProcessorTemperatures();
    SetBank(kNct7904DimmBank);
    ReadDimmTemperatures();
    SetBank(saved == kNoBank ? 0 : saved);
    ApplySensorFormulas();
    return 1;
}

// Eleven bits: the high byte and bits 2-0 of the byte after it.
void Nuvoton_NCT7904_HardwareMonitor::ReadVoltages() {
    uint8_t high = 0, low = 0;
    for (int i = 0; i < 17; ++i) {
        if (!ReadRegister(uint8_t(kNct7904FirstVoltage + 2 * i), &high)) continue;
        ReadRegister(uint8_t(kNct7904FirstVoltage + 2 * i + 1), &low);
        const uint32_t raw = uint32_t(high) * 8 + (low & 7);
        SetVoltageReading(EnsureIndexedSensor(*this, m_pVoltages[i], uint8_t(i), kVoltageInputPrefix), raw,
                          raw * kNct7904VoltStep);
    }
}

// Thirteen bits: the high byte and bits 4-0 of the byte after it.
void Nuvoton_NCT7904_HardwareMonitor::ReadFans() {
    uint8_t high = 0, low = 0;
    for (int i = 0; i < 12; ++i) {
        if (!ReadRegister(uint8_t(kNct7904FirstFan + 2 * i), &high) || high == 0xFF) {
            ClearFan(m_pFans[i]);
            continue;
        }
        ReadRegister(uint8_t(kNct7904FirstFan + 2 * i + 1), &low);
        const uint32_t count = uint32_t(high) * 32 + (low & 0x1F);
        if (!count) {
            ClearFan(m_pFans[i]);
            continue;
        }
        EnsureFan(*this, m_pFans[i], uint8_t(i), 1)->m_dwRawValue = count;
    }
}

void Nuvoton_NCT7904_HardwareMonitor::ReadProcessorTemperatures() {
    uint8_t value = 0, unused = 0;
    for (int i = 0; i < 8; ++i) {
        if (!ReadRegister(uint8_t(kNct7904FirstProcessorTemperature + 2 * i), &value)) continue;
        ReadRegister(uint8_t(kNct7904FirstProcessorTemperature + 2 * i + 1), &unused);
        if (!UsableByte(value)) continue;
        EnsureIndexedSensor(*this, m_pTemperatures[i], uint8_t(i), kTemperatureInputPrefix)->m_dwRawValue = value;
    }
}

// Eight groups of four registers: three readings and the mask of the ones present.
void Nuvoton_NCT7904_HardwareMonitor::ReadDimmTemperatures() {
    for (int group = 0; group < kNct7904DimmGroups; ++group) {
        const uint8_t first = uint8_t(kNct7904FirstDimmGroup + 4 * group);
        uint8_t mask = 0, value = 0;
        ReadRegister(uint8_t(first + 3), &mask);
        for (int j = 0; j < 3; ++j) {
            if (!(mask & (1 << j)) || !ReadRegister(uint8_t(first + j), &value) || !value) continue;
            const int index = kNct7904FirstDimmSensor + 3 * group + j;
            EnsureIndexedSensor(*this, m_pTemperatures[index], uint8_t(index), kTemperatureInputPrefix)->m_dwRawValue = value;
        }
    }
}
