// Family 15h temperature and power: the northbridge's temperature (through
// the index pair F3x1E8/F3x1EC when the extended configuration space is
// open), the package power of the server dies, the telemetry of function 5
// on Trinity and Richland, the SMU's power readings on Kaveri. Every
// register changed on the way is put back before the call returns.
#include "platform/threads.h"
#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/cpu/amd_bulldozer.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/intel_shared_bodies.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/pci_interface.h"
#include "sdk/hw/register_space_amd_ecs.h"

namespace {

constexpr uint32_t kFunction3 = 3;
constexpr uint32_t kFunction4 = 4;
constexpr uint32_t kFunction5 = 5;
constexpr int32_t kTemperatureRegister = 0xA4;      // F3xA4 bits 31:21: CurTmp
constexpr uint32_t kThermalIndex = 0x1E8;           // F3x1E8/F3x1EC: an index and data pair
constexpr uint32_t kThermalData = 0x1EC;
constexpr uint32_t kThermalFraction = 0x31;
constexpr uint32_t kThermalInteger = 0x30;
constexpr uint32_t kBoostControl = 0x15C;           // F4x15C bit 7: the power reading
constexpr uint32_t kProcessorPower = 0x1C0;         // F4x1C0 bits 9:0: tenths of a watt above base TDP
constexpr uint32_t kTelemetryControl = 0x12C;       // F5x12C bit 6
constexpr uint32_t kTelemetrySelect = 0x188;        // F5x188 bit 6
constexpr uint32_t kTelemetryMode = 0x18C;          // F5x18C bits 1:0
constexpr uint32_t kCoresTelemetry = 0x158;         // F5x158, F5x15C: VID 23:16, current 7:0
constexpr uint32_t kUncoreTelemetry = 0x15C;
constexpr uint32_t kSmuVoltageFlags = 0x1F428;
constexpr uint32_t kSmuCurrentScales = 0x1F840;
constexpr uint32_t kTelemetryBit = 1u << 29;
constexpr uint32_t kPackageRole = 0x1001000;
constexpr uint32_t kGraphicsRegisterBar = 0x24;     // 00:01.0, the integrated graphics
constexpr uint32_t kSmuPowerLimit = 90000;          // readings at or above are not powers
constexpr float kSmuPowerUnit = 0.00390625f;        // 1/256 W
constexpr uint32_t kSmuDoneResponse = 1;
constexpr uint32_t kSmuSettleMs = 20;

// The package sensor slots of the readings (in the thread's slot array).
enum Slot : int {
    kSlotTemperature = 0,
    kSlotPower0 = 2,
    kSlotPower1 = 3,
    kSlotPower2 = 4,
    kSlotPower3 = 5,
    kSlotCoresVoltage = 7,
    kSlotUncoreVoltage = 8,
    kSlotCoresCurrent = 12,
    kSlotUncoreCurrent = 13,
};

template <class T>
void Report(CCPUThread* thread, int slot, uint8_t index, const char* name, float value, bool packageRole = false) {
    if (value <= 0) return;
    CSensor*& sensor = thread->m_pPackageSensors[slot];
    if (!sensor) {
        auto* created = new T(index);
        FormatString(created->m_szName, sizeof created->m_szName, "%s", name);
        if (packageRole) created->m_dwId |= kPackageRole;
        GetSDK()->m_pSensors->AddTail(created);
        sensor = created;
    }
    sensor->SetValue(value, 1);
}

} // namespace

CTemperatureSensor* AMD_K15_Infos::PackageTemperatureSensor(CCPUThread* thread) {
    CSensor*& slot = thread->m_pPackageSensors[kSlotTemperature];
    if (!slot) slot = AddTemperatureSensor(1, "Package", 0.0f);
    return dynamic_cast<CTemperatureSensor*>(slot);
}

float AMD_K15_Infos::GetTemperature(CCPUThread* thread) {
    CPCIDevice* function3 = nullptr;
    for (uint16_t id : {0x1603, 0x1403, 0x141D})
        if (!function3) function3 = FindNodeFunction(m_pNodeDevices, id);
    if (!function3) return -1.0f;
    float value = -1.0f;
    uint32_t raw = 0;
    const bool fromCurTmp = !m_pExtendedConfig;
    if (fromCurTmp) {
        uint32_t reg = 0;
        if (!function3->ReadConfigDword(kTemperatureRegister, &reg)) return -1.0f;
        raw = reg >> 21;
    } else {
        uint32_t saved = 0;
        if (!ReadNode(kFunction3, kThermalIndex, &saved)) return -1.0f;
        const uint32_t cleared = saved & ~0x7FFu;
        uint32_t fraction = 0, integer = 0;
        const bool read = m_pExtendedConfig->WriteConfigDword(kFunction3, kThermalIndex, cleared) &&
                          m_pExtendedConfig->WriteConfigDword(kFunction3, kThermalIndex, cleared | kThermalFraction) &&
                          ReadNode(kFunction3, kThermalData, &fraction) &&
                          m_pExtendedConfig->WriteConfigDword(kFunction3, kThermalIndex, cleared | kThermalInteger) &&
                          ReadNode(kFunction3, kThermalData, &integer);
        m_pExtendedConfig->WriteConfigDword(kFunction3, kThermalIndex, saved);
        if (!read) return -1.0f;
        value = float(integer & 0xFF) + float((fraction >> 5) & 0xFF) * 0.125f;
        raw = static_cast<uint32_t>(value);
    }
    CTemperatureSensor* sensor = PackageTemperatureSensor(thread);
    if (!sensor) return -1.0f;
    if (fromCurTmp) value = float(raw) * 0.125f + sensor->m_fOffset;
    sensor->m_dwRawValue = raw;
    sensor->SetValue(value, 1);
    return sensor->m_fValue;
}

float AMD_K15_Infos::GetPower(CCPUThread* thread) {
    if (!m_pExtendedConfig) return -1.0f;
    switch (thread->m_iExtModel & 0xF0) {
    case 0x00: return ServerPower(thread);
    case 0x10: return TrinityPower(thread);
    case 0x30: return KaveriPower(thread);
    default: return -1.0f;
    }
}

float AMD_K15_Infos::ServerPower(CCPUThread* thread) {
    uint32_t boost = 0, power = 0;
    if (!ReadNode(kFunction4, kBoostControl, &boost) || !(boost & (1u << 7)) ||
        !ReadNode(kFunction4, kProcessorPower, &power))
        return -1.0f;
    const float watts = float(power & 0x3FF) / 10.0f + float(m_iBaseTDP);
    Report<CPowerSensor>(thread, kSlotPower0, 0, "Package", watts, true);
    return watts;
}

float AMD_K15_Infos::TelemetryVoltage(uint32_t reg) {
    uint32_t value = 0;
    if (!ReadNode(kFunction5, reg, &value)) return -1.0f;
    return 1.55f - float((value >> 16) & 0xFF) * 0.00625f;
}

float AMD_K15_Infos::TelemetryPower(CCPUThread* thread, uint32_t scales) {
    struct Plane {
        uint32_t reg;
        uint32_t scale;
        const char* name;
        int voltageSlot, currentSlot, powerSlot;
        uint8_t index;
    };
    const Plane planes[] = {
        {kCoresTelemetry, scales & 0xFFFF, "Cores", kSlotCoresVoltage, kSlotCoresCurrent, kSlotPower0, 0},
        {kUncoreTelemetry, scales >> 16, "Uncore", kSlotUncoreVoltage, kSlotUncoreCurrent, kSlotPower1, 1},
    };
    float powers[2] = {-1.0f, -1.0f};
    for (int i = 0; i < 2; ++i) {
        const Plane& plane = planes[i];
        uint32_t value = 0;
        if (!ReadNode(kFunction5, plane.reg, &value)) continue;
        const float voltage = 1.55f - float((value >> 16) & 0xFF) * 0.00625f;
        const float current = float(value & 0xFF) / 255.0f * float(plane.scale) / 100.0f;
        powers[i] = current * voltage;
        Report<CVoltageSensor>(thread, plane.voltageSlot, plane.index, plane.name, voltage);
        Report<CCurrentSensor>(thread, plane.currentSlot, plane.index, plane.name, current);
        Report<CPowerSensor>(thread, plane.powerSlot, plane.index, plane.name, powers[i]);
    }
    if (powers[0] > 0 && powers[1] > 0)
        Report<CPowerSensor>(thread, kSlotPower2, 2, "Package", powers[0] + powers[1], true);
    return powers[0];
}

float AMD_K15_Infos::TrinityPower(CCPUThread* thread) {
    uint32_t flags = 0, scales = 0;
    if (!amd_smu::ReadRegister(kSmuVoltageFlags, &flags) || !amd_smu::ReadRegister(kSmuCurrentScales, &scales) ||
        !(flags & kTelemetryBit))
        return -1.0f;
    // The telemetry registers report the planes only with F5x12C bit 6
    // clear and F5x188 bit 6 set.
    uint32_t control = 0, select = 0;
    const bool haveControl = ReadNode(kFunction5, kTelemetryControl, &control);
    if (haveControl && (control & (1u << 6)))
        m_pExtendedConfig->WriteConfigDword(kFunction5, kTelemetryControl, control & ~(1u << 6));
    const bool haveSelect = ReadNode(kFunction5, kTelemetrySelect, &select);
    if (haveSelect) m_pExtendedConfig->WriteConfigDword(kFunction5, kTelemetrySelect, select | (1u << 6));
    const float power = TelemetryPower(thread, scales);
    if (haveSelect) m_pExtendedConfig->WriteConfigDword(kFunction5, kTelemetrySelect, select);
    if (haveControl) m_pExtendedConfig->WriteConfigDword(kFunction5, kTelemetryControl, control);
    return power;
}

float AMD_K15_Infos::KaveriPower(CCPUThread* thread) {
    uint32_t mode = 0;
    if (ReadNode(kFunction5, kTelemetryMode, &mode)) {
        m_pExtendedConfig->WriteConfigDword(kFunction5, kTelemetryMode, (mode | 1u) & ~2u);
        Report<CVoltageSensor>(thread, kSlotCoresVoltage, 0, "Cores", TelemetryVoltage(kCoresTelemetry));
        Report<CVoltageSensor>(thread, kSlotUncoreVoltage, 1, "Uncore", TelemetryVoltage(kUncoreTelemetry));
        m_pExtendedConfig->WriteConfigDword(kFunction5, kTelemetryMode, mode);
    }
    CPCIInterface* pci = GetSDK()->m_pPCI;
    uint32_t bar = 0;
    if (!pci || !pci->ReadConfig(0, 1, 0, kGraphicsRegisterBar, &bar) || bar == 0 || bar == 0xFFFFFFFF) return -1.0f;
    const uint32_t mmio = bar & 0xFFFFFFF0;
    // The SMU prepares its power readings after this sequence; a message
    // it does not answer, or does not answer with 1, ends the reading.
    uint32_t response = 0;
    for (uint32_t message : {0x51u, 0x69u, 0x6Bu, 0x170u})
        if (!amd_smu::SendMessage(mmio, message, &response)) return -1.0f;
    if (response != kSmuDoneResponse) return -1.0f;
    Sleep(kSmuSettleMs);
    if (!amd_smu::SendMessage(mmio, 0x171, &response) || response != kSmuDoneResponse) return -1.0f;
    const struct {
        uint32_t reg;
        int slot;
        uint8_t index;
        const char* name;
        bool packageRole;
    } readings[] = {
        {0x3FE58, kSlotPower0, 0, "Compute Unit 0", false},
        {0x3FE88, kSlotPower1, 1, "Compute Unit 1", false},
        {0x3FE2C, kSlotPower2, 2, "iGPU", false},
        {0x3FF7C, kSlotPower3, 3, "Package", true},
    };
    for (const auto& reading : readings) {
        uint32_t value = 0;
        if (amd_smu::ReadRegister(reading.reg, &value) && value < kSmuPowerLimit)
            Report<CPowerSensor>(thread, reading.slot, reading.index, reading.name, float(value) * kSmuPowerUnit,
                                 reading.packageRole);
    }
    return -1.0f;
}
