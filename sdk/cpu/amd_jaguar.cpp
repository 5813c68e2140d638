#include "sdk/cpu/amd_jaguar.h"

#include "sdk/core/sensor.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/fidvid_amd.h"
#include "sdk/hw/pci_device.h"

namespace {

constexpr uint32_t kK16Class = 0x2080000;
constexpr AMDNodeIds kKabiniNode = {0x1530, 0x1535};
constexpr AMDNodeIds kMullinsNode = {0x1580, 0x1585};
constexpr uint16_t kKabiniFunction3 = 0x1533;
constexpr uint16_t kMullinsFunction3 = 0x1583;
constexpr int32_t kTemperatureRegister = 0xA4;  // F3xA4 bits 31:21: CurTmp
constexpr uint32_t kSmuVoltageFlags = 0x3F9D8;  // bit 29: the 6.25 mV voltage interface and telemetry
constexpr uint32_t kSmuCurrentScales = 0x3F994;
constexpr uint32_t kTelemetryBit = 1u << 29;

} // namespace

CCPUInfos* CreateAMDK16Infos() { return new AMD_K16_Infos; }

AMD_K16_Infos::AMD_K16_Infos() : AMD_K15_Infos(kK16Class) { m_bDumpNodeRegisters = true; }

int32_t AMD_K16_Infos::PackageCode(int32_t model) const {
    const int32_t group = model & 0xF0;
    if (group != 0x00 && group != 0x30) return -1;
    if (m_iPackageType == 0) return 0x10045;  // Socket FT3 (BGA769)
    if (m_iPackageType == 1) return 0x10046;  // Socket AM1 (721)
    return -1;
}

uint32_t AMD_K16_Infos::VoltageInterfaceFlag(int32_t) const {
    uint32_t flags = 0;
    return amd_smu::ReadRegister(kSmuVoltageFlags, &flags) && (flags & kTelemetryBit) ? 1 : 0;
}

FIDVID_Control* AMD_K16_Infos::CreateFIDVIDControl(uint32_t fineVIDSteps) const {
    return new K16_FIDVID_Control(fineVIDSteps);
}

void AMD_K16_Infos::FindNodeDevices(CCPUThread* thread) {
    if (m_pNodeDevices && m_pNodeDevices->GetCount() > 0) return;
    for (const AMDNodeIds& ids : {kKabiniNode, kMullinsNode})
        FindAMDNodeDevices(this, thread, ids, thread->m_iCoresPerPackage);
}

void AMD_K16_Infos::ReadNodeFunctions(CCPUThread*) { OpenExtendedConfig({kKabiniFunction3, kMullinsFunction3}); }

AMDNodeInfos::RatioRules AMD_K16_Infos::PStateRatioRules(int32_t) const { return RatioRules{}; }

float AMD_K16_Infos::GetTemperature(CCPUThread* thread) {
    if (!m_pNodeDevices) return -1.0f;
    float result = -1.0f;
    CTListIterator<CDevice> it(m_pNodeDevices);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext()) {
        auto* function = static_cast<CPCIDevice*>(device);
        const uint16_t id = function->GetDeviceID();
        uint32_t value = 0;
        if ((id != kKabiniFunction3 && id != kMullinsFunction3) ||
            !function->ReadConfigDword(kTemperatureRegister, &value))
            continue;
        CTemperatureSensor* sensor = PackageTemperatureSensor(thread);
        if (!sensor || !function->ReadConfigDword(kTemperatureRegister, &value)) continue;
        sensor->m_dwRawValue = value >> 21;
        sensor->SetValue(float(value >> 21) * 0.125f + sensor->m_fOffset, 1);
        result = sensor->m_fValue;
    }
    return result;
}

float AMD_K16_Infos::GetPower(CCPUThread* thread) {
    uint32_t flags = 0, scales = 0;
    if (!m_pExtendedConfig || !amd_smu::ReadRegister(kSmuVoltageFlags, &flags) ||
        !amd_smu::ReadRegister(kSmuCurrentScales, &scales) || !(flags & kTelemetryBit))
        return -1.0f;
    return TelemetryPower(thread, scales);
}
