#include "sdk/cpu/amd_shared_bodies.h"

#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/cpu/cpu_infos.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/express_window.h"
#include "sdk/cpu/fidvid_control.h"
#include "sdk/cpu/intel_shared_bodies.h"
#include "sdk/cpu/msr_register.h"
#include "sdk/hw/command_amd_k10_ecs.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/pci_interface.h"
#include "sdk/hw/register_space_amd_ecs.h"
#include "sdk/hw/timer.h"
#include "sdk/hw/timer_count.h"

namespace {

constexpr uint32_t kHTTBit = 1u << 28;         // CPUID 1 EDX
constexpr int32_t kNodeIdRegister = 0x60;     // F0x60 bits 2:0
constexpr int32_t kLinkControlRegister = 0x88;  // F0x88 bits 11:8: link frequency
constexpr int32_t kTemperatureRegister = 0xA4;  // F3xA4 bits 31:21: CurTmp
// Event 0x76 (cycles not halted), counting in the operating-system mode,
// enabled.
constexpr uint32_t kCyclesNotHaltedEvent = 0x420076;
constexpr double kCoreClockWindowTicks = 15000.0;  // ACPI PM timer ticks, about 4.2 ms
constexpr uint32_t kPackagePowerSensorId = 0x1001000;  // role 0x01, power, index 0
constexpr uint32_t kMmioConfigEnabled = 1u << 0;
constexpr uint32_t kMmioConfigBaseMask = 0xFFF00000;

// The link multiplier by F0x88 bits 11:8; -1 for codes that name none.
constexpr int32_t kLinkMultipliers[16] = {1, -1, 2, -1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, -1};

bool ReadCounter(uint32_t index, uint64_t& count) {
    MSR_Register reg(index);
    if (!reg.Read()) return false;
    count = reg.GetValue();
    return true;
}

} // namespace

void ReadAMDProcessorTopology(CCPUThread* thread) {
    const CpuidResult basic = Cpuid(1);
    thread->m_iApicId = static_cast<int32_t>(basic.ebx >> 24);
    thread->m_bMultithreadingCapable = (basic.edx & kHTTBit) ? 1 : 0;
    if (thread->m_bMultithreadingCapable) thread->m_iLogicalPerPackage = static_cast<int32_t>((basic.ebx >> 16) & 0xFF);
}

void ReadAMDBrandFields(CCPUThread* thread, const AMDBrandFields& fields) {
    const uint32_t ebx = Cpuid(0x80000001).ebx;
    const uint32_t brand = ebx & 0xFFFF;
    fields.packageType = static_cast<int32_t>(ebx >> 28);
    fields.modelNumber = static_cast<int32_t>((brand >> 4) & 0x7F);
    fields.string1 = static_cast<int32_t>((brand >> 11) & 0xF);
    fields.string2 = static_cast<int32_t>(brand & 0xF);
    fields.page = static_cast<int32_t>((brand >> 15) & 1);
    thread->m_iBrandId = static_cast<int32_t>((ebx >> 9) & 0x1F);
}

uint32_t NodeApicMask(int32_t logicalPerPackage) {
    uint32_t mask = 0xFF;
    for (int32_t k = 1; k < logicalPerPackage && mask; k *= 2) mask = (mask << 1) & 0xFF;
    return mask;
}

bool FindAMDNodeDevices(CCPUInfos* infos, CCPUThread* thread, const AMDNodeIds& ids, int32_t span) {
    BRENIKSDK* sdk = GetSDK();
    CPCIInterface* pci = sdk->m_pPCI;
    if (!pci) return false;
    if (!infos->m_pNodeDevices) infos->m_pNodeDevices = new CTList<CDevice>;
    CTList<CDevice> candidates;
    const int32_t count = pci->FindDevicesByID(kAMDVendor, ids.function0, &candidates);
    if (infos->m_pNodeDevices->GetCount() > 0) {
        candidates.RemoveAll();
        return count > 0;
    }
    const uint32_t mask = NodeApicMask(thread->m_iLogicalPerPackage);
    const auto apic = static_cast<uint32_t>(thread->m_iApicId);
    CTListIterator<CDevice> it(&candidates);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext()) {
        auto* function0 = static_cast<CPCIDevice*>(device);
        uint32_t value = 0xFFFFFFFF;
        if (!pci->ReadConfig(function0->m_byBus, function0->m_byDevice, 0, kNodeIdRegister, &value)) continue;
        if ((apic & mask) != static_cast<uint32_t>(span) * (value & 7)) continue;
        infos->m_pNodeDevices->AddTail(function0);
        CTListIterator<CDevice> all(sdk->m_pDevices);
        for (CDevice* other = all.GetFirst(); other; other = all.GetNext()) {
            auto* function = dynamic_cast<CPCIDevice*>(other);
            if (!function || function->GetVendorID() != kAMDVendor || function->m_byBus != function0->m_byBus ||
                function->m_byDevice != function0->m_byDevice)
                continue;
            const uint16_t id = function->GetDeviceID();
            if (id > ids.function0 && id <= ids.lastFunction) infos->m_pNodeDevices->AddTail(function);
        }
        break;
    }
    candidates.RemoveAll();
    return count > 0;
}

CPCIDevice* FindNodeFunction(CTList<CDevice>* nodes, uint16_t deviceId) {
    if (!nodes) return nullptr;
    CTListIterator<CDevice> it(nodes);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext()) {
        auto* function = static_cast<CPCIDevice*>(device);
        if (function->GetDeviceID() == deviceId) return function;
    }
    return nullptr;
}

void ReadLinkMultiplier(CCPUThread* thread, CPCIDevice* function0) {
    uint32_t value = 0;
    if (!function0 || !function0->ReadConfigDword(kLinkControlRegister, &value)) return;
    if (const int32_t multiplier = kLinkMultipliers[(value >> 8) & 0xF]; multiplier != -1)
        thread->m_iLinkMultiplier = multiplier;
}

AMD_K10_ECS_RegisterSpace* NodeExtendedConfigSpace(CPCIDevice* function3) {
    BRENIKSDK* sdk = GetSDK();
    CTList<CRegisterSpace> spaces;
    sdk->GetRegisterSpaces(REGSPACE_AMD_K10_ECS, &spaces);
    AMD_K10_ECS_RegisterSpace* found = nullptr;
    CTListIterator<CRegisterSpace> it(&spaces);
    for (CRegisterSpace* space = it.GetFirst(); space && !found; space = it.GetNext()) {
        auto* ecs = static_cast<AMD_K10_ECS_RegisterSpace*>(space);
        if (ecs->m_dwBus == function3->m_byBus && ecs->m_dwDevice == function3->m_byDevice) found = ecs;
    }
    spaces.RemoveAll();
    if (found) return found;
    auto* status = new AMD_K10_ECS_Status(function3);
    sdk->m_pCommands->AddTail(status);
    status->Save();
    status->Enable();
    found = new AMD_K10_ECS_RegisterSpace(function3->m_byBus, function3->m_byDevice, status);
    sdk->m_pRegisterSpaces->AddTail(found);
    return found;
}

void InstallExpressWindowFromMsr(CCPUThread* thread) {
    CPCIInterface* pci = GetSDK()->m_pPCI;
    if (!pci) return;
    const MSR_Register* reg = thread->GetMSR(amd_msr::kMmioConfigBase);
    if (reg && (reg->m_dwLow & kMmioConfigEnabled)) InstallExpressWindow(pci, reg->m_dwLow & kMmioConfigBaseMask);
}

void DumpNodeDevices(CReportGenerator* report, CTList<CDevice>* nodes) {
    if (!report || !nodes) return;
    CTListIterator<CDevice> it(nodes);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext()) {
        const auto* function = static_cast<CPCIDevice*>(device);
        report->PrintFieldFormatted("\tAttached device", "\t\t", "PCI device at bus %d, device %d, function %d",
                                    function->m_byBus, function->m_byDevice, function->m_byFunction);
    }
}

// ---- Measurements ----

float MeasureAMDMsrRate(uint32_t msr) {
    CTimer* timer = GetSDK()->GetACPITimer();
    return timer ? MeasureMSRRate(timer, msr) : -1.0f;
}

// The event select is written only when its value could be kept, so that
// it always goes back as it was.
float MeasurePerfCounterRate() {
    if (!GetSDK()->GetACPITimer()) return -1.0f;
    MSR_Register select(amd_msr::kPerfEventSelect0);
    if (!select.Read()) return -1.0f;
    const uint32_t high = select.m_dwHigh, low = select.m_dwLow;
    select.Write(0, kCyclesNotHaltedEvent);
    const float rate = MeasureAMDMsrRate(amd_msr::kPerfCounter0);
    select.Write(high, low);
    return rate;
}

float AMDPerfCounterCoreClock() {
    GetSDK()->GetPerformanceTimer();
    return MeasurePerfCounterRate();
}

float AMDEffectiveFrequency() {
    CTimer* timer = GetSDK()->GetACPITimer();
    if (!timer) return -1.0f;
    const float tsc = MeasureMSRRate(timer, amd_msr::kTimeStampCounter);
    uint64_t aperf0, mperf0, aperf1, mperf1;
    if (!ReadCounter(amd_msr::kAperf, aperf0) || !ReadCounter(amd_msr::kMperf, mperf0)) return -1.0f;
    vexa::platform::ReferenceCount count = CountAgainst(*timer);
    if (!count.Start() || !count.WaitFor(kCoreClockWindowTicks, CTimer::kWaitSlackNs)) return -1.0f;
    if (!ReadCounter(amd_msr::kAperf, aperf1) || !ReadCounter(amd_msr::kMperf, mperf1)) return -1.0f;
    const auto aperf = static_cast<float>(aperf1 - aperf0);
    const auto mperf = static_cast<float>(mperf1 - mperf0);
    if (tsc <= 0 || mperf <= 0) return -1.0f;
    return aperf * tsc / mperf;
}

float AMDPStatePower(CCPUInfos* infos, CCPUThread* thread) {
    FIDVID_Control* control = infos->m_pFIDVID;
    if (!control) return -1.0f;
    int32_t index = 0;
    MSR_Register status(amd_msr::kPStateStatus);
    if (status.Read()) index = static_cast<int32_t>(status.m_dwLow & 7);
    int32_t fid = -1, vid = -1, current = -1;
    if (!control->GetPState(index, &fid, &vid, &current)) return -1.0f;
    const float power =
        static_cast<float>(thread->m_iCoresPerPackage * current) * control->GetVoltage(vid);
    CSensor*& sensor = thread->m_pPackageSensors[PACKAGE_SENSOR_PACKAGE_POWER];
    if (!sensor) {
        sensor = AddPowerSensor(0, "Package");
        sensor->m_dwId |= kPackagePowerSensorId;
    }
    sensor->SetValue(power, 1);
    return power;
}

float AMDNorthbridgeTemperature(CCPUThread* thread, CPCIDevice* function3) {
    uint32_t value = 0;
    if (!function3 || !function3->ReadConfigDword(kTemperatureRegister, &value)) return -1.0f;
    if (!thread->m_pCoreTemperature) thread->m_pCoreTemperature = AddTemperatureSensor(0, nullptr, 0.0f);
    auto* sensor = dynamic_cast<CTemperatureSensor*>(thread->m_pCoreTemperature);
    if (!sensor) return -1.0f;
    const uint32_t curTmp = value >> 21;
    sensor->m_dwRawValue = curTmp;
    sensor->SetValue(static_cast<float>(curTmp) * 0.125f + sensor->m_fOffset, 1);
    return sensor->m_fValue;
}
