#include "sdk/monitor/winbond_monitor.h"

#include "platform/threads.h"
#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/hw/io_request.h"
#include "sdk/hw/register_space.h"
#include "sdk/monitor/register_rows.h"

namespace {

constexpr uint32_t kBankSettleMs = 10;
constexpr uint32_t kStatusResetMs = 5;
constexpr uint8_t kBankBits = 0x07;
constexpr uint8_t kStatusResetBit = 0x80;

template <typename Sensor>
Sensor* Named(CHardwareMonitor* monitor, Sensor* sensor, const char* name) {
    FormatString(sensor->m_szName, sizeof sensor->m_szName, "%s", name);
    monitor->AddSensor(sensor);
    return sensor;
}

// A read of one register through the monitor's request for the dump:
// success gives the byte.
bool DumpRead(CHardwareMonitor* monitor, uint32_t reg, uint8_t* value) {
    CIORequest* request = monitor->m_pRequest;
    request->m_dwRegister = reg;
    request->m_dwOperation = IOOP_READ_BYTE;
    if (!monitor->m_pRegisterSpace->LockedExecute(request)) return false;
    *value = uint8_t(request->m_dwData);
    return true;
}

} // namespace

uint32_t WinbondSelectBank(CHardwareMonitor* monitor, uint8_t bank) {
    uint8_t ignored = 0;
    monitor->ReadRegister(winbond::kBankRegister, &ignored);
    const uint32_t written = monitor->WriteRegister(winbond::kBankRegister, bank & kBankBits);
    Sleep(kBankSettleMs);
    return written;
}

namespace winbond {

const _stSensorLabel kThreeTemperatureLabels[4] = {
    {"TMPIN0", 0x00000200, 1}, {"TMPIN1", 0x00000201, 2}, {"TMPIN2", 0x00000202, 2}, {nullptr, kLabelTableEnd, 0}};
const _stSensorLabel kThreeFanLabels[4] = {
    {"FANIN0", 0x00000400, 1}, {"FANIN1", 0x00000401, 1}, {"FANIN2", 0x00000402, 1}, {nullptr, kLabelTableEnd, 0}};

bool VoltageAccepted(int read, uint8_t byte) { return read && byte != 0x00 && byte != 0xFF; }

bool TemperatureAccepted(int read, uint8_t byte) { return read && byte != 0x00 && byte != 0x7F && !(byte & 0x80); }

bool FanAccepted(int read, uint8_t byte) { return read && byte != 0x00 && byte != 0xFF; }

bool ReadsVoltage(CHardwareMonitor* monitor, uint8_t reg, uint8_t& byte) {
    byte = 0xFF;
    const int read = monitor->ReadRegister(reg, &byte);
    return VoltageAccepted(read, byte);
}

bool ReadsTemperature(CHardwareMonitor* monitor, uint8_t reg, uint8_t& byte) {
    byte = 0xFF;
    const int read = monitor->ReadRegister(reg, &byte);
    return TemperatureAccepted(read, byte);
}

bool ReadsFan(CHardwareMonitor* monitor, uint8_t reg, uint8_t& byte) {
    byte = 0xFF;
    const int read = monitor->ReadRegister(reg, &byte);
    return FanAccepted(read, byte);
}

uint32_t NineBit(uint8_t high, uint8_t low, bool lowBitZero) {
    const uint32_t extra = lowBitZero ? (low & 0x01) : (low >> 7);
    return uint32_t(high) * 2 + extra;
}

uint32_t ClassicFanExponent(uint32_t fan, uint8_t reg47, uint8_t reg4B, uint8_t reg5D, bool threeBits) {
    uint32_t low = 0;
    switch (fan) {
    case 0: low = (reg47 >> 4) & 3; break;
    case 1: low = (reg47 >> 6) & 3; break;
    case 2: low = (reg4B >> 6) & 3; break;
    default: return 0;
    }
    const uint32_t high = threeBits ? (reg5D >> (5 + fan)) & 1 : 0;
    return high << 2 | low;
}

void ReadClassicFanExponents(CHardwareMonitor* monitor, uint32_t (&exponents)[3], bool threeBits) {
    uint8_t reg47 = 0xFF, reg4B = 0xFF, reg5D = 0xFF;
    monitor->ReadRegister(0x47, &reg47);
    monitor->ReadRegister(0x4B, &reg4B);
    if (threeBits) monitor->ReadRegister(0x5D, &reg5D);
    for (uint32_t fan = 0; fan < 3; ++fan) exponents[fan] = ClassicFanExponent(fan, reg47, reg4B, reg5D, threeBits);
}

CVoltageSensor* NewVoltage(CHardwareMonitor* monitor, uint8_t index, const char* name) {
    return Named(monitor, new CVoltageSensor(index), name);
}

CTemperatureSensor* NewTemperature(CHardwareMonitor* monitor, uint8_t index, const char* name) {
    return Named(monitor, new CTemperatureSensor(index), name);
}

CFanSensor* NewFan(CHardwareMonitor* monitor, uint8_t index, const char* name, uint32_t exponent) {
    auto* fan = new CFanSensor(index);
    fan->m_dwDivisor = 1u << (exponent & 31);
    return Named(monitor, fan, name);
}

CVoltageSensor* NewVoltage(CHardwareMonitor* monitor, uint8_t index) {
    char name[16];
    FormatString(name, sizeof name, "VIN%d", int(index));
    return NewVoltage(monitor, index, name);
}

CTemperatureSensor* NewTemperature(CHardwareMonitor* monitor, uint8_t index) {
    char name[16];
    FormatString(name, sizeof name, "TMPIN%d", int(index));
    return NewTemperature(monitor, index, name);
}

CFanSensor* NewFan(CHardwareMonitor* monitor, uint8_t index, uint32_t exponent) {
    char name[16];
    FormatString(name, sizeof name, "FANIN%d", int(index));
    return NewFan(monitor, index, name, exponent);
}

CTemperatureSensor* EnsureTemperature(CHardwareMonitor* monitor, CTemperatureSensor*& slot, uint8_t index) {
    if (!slot) {
        slot = NewTemperature(monitor, index);
        monitor->ApplySensorLabels();
    }
    return slot;
}

CFanSensor* EnsureFan(CHardwareMonitor* monitor, CFanSensor*& slot, uint8_t index, uint32_t exponent) {
    if (!slot) {
        slot = NewFan(monitor, index, exponent);
        monitor->ApplySensorLabels();
    }
    return slot;
}

CVoltageSensor* EnsureVoltage(CHardwareMonitor* monitor, CVoltageSensor*& slot, uint8_t index) {
    if (!slot) {
        slot = NewVoltage(monitor, index);
        monitor->ApplySensorLabels();
    }
    return slot;
}

void StoreVoltage(CSensor* sensor, uint8_t byte, float step) {
    sensor->m_dwRawValue = byte;
    sensor->m_fUnconvertedValue = float(byte) * step;
}

void UpdateVoltages(CHardwareMonitor* monitor, CVoltageSensor* const* sensors, uint32_t count, uint8_t first,
                    float step, bool testBytes) {
    for (uint32_t i = 0; i < count; ++i) {
        if (!sensors[i]) continue;
        uint8_t byte = 0xFF;
        const int read = monitor->ReadRegister(uint8_t(first + i), &byte);
        if (testBytes ? VoltageAccepted(read, byte) : read != 0) StoreVoltage(sensors[i], byte, step);
    }
}

void StoreRawByte(CHardwareMonitor* monitor, CSensor* sensor, uint8_t reg) {
    uint8_t byte = 0xFF;
    if (sensor && monitor->ReadRegister(reg, &byte)) sensor->m_dwRawValue = byte;
}

bool ReadBankedTemperature(CHardwareMonitor* monitor, uint32_t& r) {
    uint8_t high = 0xFF, low = 0xFF;
    if (!monitor->ReadRegister(kBankedFirst, &high)) return false;
    monitor->ReadRegister(kBankedFirst + 1, &low);
    r = NineBit(high, low);
    return true;
}

void UpdateBankedTemperatures(CHardwareMonitor* monitor, CTemperatureSensor* const* temperatures, uint8_t lastBank,
                              WinbondBankSelect selectBank) {
    for (uint8_t bank = 1; bank <= lastBank; ++bank) {
        selectBank(monitor, bank);
        uint32_t r = 0;
        if (temperatures[bank] && ReadBankedTemperature(monitor, r)) temperatures[bank]->m_dwRawValue = r;
    }
}

void UpdateStatus(CHardwareMonitor* monitor, CSensor* slot, uint8_t reg, uint32_t bit) {
    uint8_t byte = 0;
    if (slot && monitor->ReadRegister(reg, &byte)) slot->m_dwRawValue = (byte >> bit) & 1;
}

int ResetStatus(CHardwareMonitor* monitor, CSensor* slot, uint32_t index, uint32_t classCode,
                WinbondBankSelect selectBank, uint8_t resetRegister, bool clearAgain) {
    CSensor* sensor = monitor->GetSensor(classCode, index);
    if (!sensor || classCode != kStatusClass || sensor != slot) return 1;
    selectBank(monitor, 0);
    uint8_t byte = 0;
    if (!monitor->ReadRegister(resetRegister, &byte)) return 1;
    monitor->WriteRegister(resetRegister, byte | kStatusResetBit);
    Sleep(kStatusResetMs);
    if (clearAgain) monitor->WriteRegister(resetRegister, byte & ~kStatusResetBit);
    return 1;
}

void DumpBankedRegisters(CHardwareMonitor* monitor, CReportGenerator* report, WinbondBankSelect selectBank,
                         uint8_t lastBank) {
    if (!report) return;
    report->PrintField("Hardware registers", "\t", "%s", "");
    if (!monitor->m_pRegisterSpace) return;
    monitor->m_pRegisterSpace->Dump(report);
    if (!monitor->m_pRequest) return;
    monitor->m_pRequest->Dump(report);
    const auto read = [monitor](uint32_t reg, uint8_t* value) { return DumpRead(monitor, reg, value); };
    selectBank(monitor, 0);
    report->PrintField("bank 0", "\t", "%s", "");
    PrintRegisterRows(report, 0x100, read);
    for (uint8_t bank = 1; bank <= lastBank; ++bank) {
        selectBank(monitor, bank);
        char label[16];
        FormatString(label, sizeof label, "bank %d", int(bank));
        report->PrintField(label, "\t", "%s", "");
        PrintRegisterRow(report, kBankedFirst, read);
    }
    selectBank(monitor, 0);
}

} // namespace winbond
