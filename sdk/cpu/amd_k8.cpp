#include "sdk/cpu/amd_k8.h"

#include <algorithm>

#include "sdk/core/report_generator.h"
#include "sdk/core/sensor.h"
#include "sdk/cpu/amd_shared_bodies.h"
#include "sdk/cpu/cpu_package.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/fidvid_amd.h"
#include "sdk/cpu/intel_shared_bodies.h"
#include "sdk/cpu/msr_register.h"
#include "sdk/hw/pci_device.h"

namespace {

constexpr uint32_t kK8Class = 0x2002000;
constexpr uint32_t kHTTBit = 1u << 28;     // CPUID 1 EDX
constexpr int32_t kMaxFIDUnlocked = 0x2A;  // the FID/VID status's maximum FID of an unlocked part
constexpr int32_t kNominalBusClock = 200;
constexpr int32_t kThermalControlRegister = 0xE4;  // F3xE4
// F3xE4: the sensor select bits (core in bit 2, sensor in bit 6) and bit 31.
constexpr uint32_t kThermalSelectBits = (1u << 31) | (1u << 6) | (1u << 2);
constexpr float kThermalOffset = -49.0f;
constexpr float kSocketAM2Correction = 21.0f;
constexpr int32_t kSocketAM2 = 0x1000A;

} // namespace

CCPUInfos* CreateAMDK8Infos() { return new AMD_K8_Infos; }

AMD_K8_Infos::AMD_K8_Infos() : CCPUInfos(CPU_INFOS_FAMILY, kK8Class) {}

int32_t AMD_K8_Infos::GetRevision(int32_t extModel, int32_t stepping) {
    switch (extModel & 0x70) {
    case 0x00:
        if ((extModel & 0xF) > 5) return 10;
        switch (stepping) {
        case 0:
        case 1:
        case 4: return 1;
        case 8: return 8;
        case 10: return 10;
        default: return -1;
        }
    case 0x10: return 16;
    case 0x20:
    case 0x30: return 32;
    case 0x40:
    case 0x50: return kRevisionF;
    default: return kRevisionG;
    }
}

void AMD_K8_Infos::Initialize(CCPUThread* thread) {
    const CpuidResult basic = Cpuid(1);
    thread->m_iApicId = static_cast<int32_t>(basic.ebx >> 24);
    thread->m_bMultithreadingCapable = (basic.edx & kHTTBit) ? 1 : 0;
    if (thread->m_bMultithreadingCapable) thread->m_iLogicalPerPackage = static_cast<int32_t>((basic.ebx >> 16) & 0xFF);
    if (thread->m_dwMaxExtendedLeaf >= 0x80000007) {
        const uint32_t power = Cpuid(0x80000007).edx;
        m_bThermalSensor = power & 1;
        m_bFIDControl = (power >> 1) & 1;
        m_bVIDControl = (power >> 2) & 1;
    }
    if (thread->m_dwMaxExtendedLeaf > 0x80000007) {
        thread->m_iCoresPerPackage = static_cast<int32_t>((Cpuid(0x80000008).ecx & 0xFF) + 1);
        thread->m_iLogicalPerPackage = std::min(thread->m_iLogicalPerPackage, thread->m_iCoresPerPackage);
    }
    if (thread->m_iExtFamily == 15) m_iRevision = GetRevision(thread->m_iExtModel, thread->m_iStepping);
    if (m_bFIDControl || m_bVIDControl) {
        if (m_iRevision < kRevisionF)
            m_pFIDVID = new K8_FIDVID_Control;
        else
            m_pFIDVID = new K8_AM2_FIDVID_Control;
        if (m_pFIDVID->Refresh() && m_pFIDVID->m_iMaxFID == kMaxFIDUnlocked) m_bUnlocked = 1;
    }
    if (const MSR_Register* patch = thread->GetMSR(amd_msr::kPatchLevel)) {
        m_iRevisionMajor = static_cast<int32_t>((patch->m_dwLow >> 4) & 0xF);
        m_iRevisionMinor = static_cast<int32_t>(patch->m_dwLow & 0xF);
    }
    thread->m_iNominalBusClock = kNominalBusClock;
    if (m_pFIDVID) {
        const float maximum = m_pFIDVID->GetMaxMultiplier();
        const float bus = GetExactBusClock(thread);
        if (maximum > 0 && bus > 0) thread->m_iStockClock = static_cast<int32_t>(maximum * bus);
    }
    FindAMDNodeDevices(this, thread, kK8Node, thread->m_iCoresPerPackage);
    ReadLinkMultiplier(thread, FindNodeFunction(m_pNodeDevices, kK8Node.function0));
    if (m_iRevision > 7 && m_pNodeDevices) CreateTemperatureSensor(thread);
    thread->GetMSR(amd_msr::kHWCR);
}

int32_t AMD_K8_Infos::ReadThermalRegister(uint32_t coreSelect) {
    CPCIDevice* function3 = FindNodeFunction(m_pNodeDevices, kK8Node.lastFunction);
    uint32_t found = 0, value = 0;
    if (!function3 || !function3->ReadConfigDword(kThermalControlRegister, &found)) return -1;
    const uint32_t selected = (found & ~kThermalSelectBits) | ((coreSelect & 1) << 2);
    const bool read = function3->WriteConfigDword(kThermalControlRegister, selected) &&
                      function3->ReadConfigDword(kThermalControlRegister, &value);
    if (selected != found) function3->WriteConfigDword(kThermalControlRegister, found);
    if (!read) return -1;
    return static_cast<int32_t>(m_iRevision < kRevisionG ? (value >> 16) & 0xFF : (value >> 14) & 0x3FF);
}

void AMD_K8_Infos::CreateTemperatureSensor(CCPUThread* thread) {
    if (thread->m_pCoreTemperature || ReadThermalRegister(0) <= 0) return;
    thread->m_pCoreTemperature = AddTemperatureSensor(0, nullptr, kThermalOffset);
}

int AMD_K8_Infos::Identify(CCPUThread* thread) {
    if (thread->m_iExtFamily != 15) return 1;
    if (m_iRevision < kRevisionF)
        IdentifyRevCE(thread);
    else
        IdentifyRevF(thread);
    return 1;
}

float AMD_K8_Infos::GetMultiplier(CCPUThread*) {
    if (m_pFIDVID) return FIDVIDCurrentMultiplier(this);
    MSR_Register hwcr(amd_msr::kHWCR);
    if (!hwcr.Read()) return -1.0f;
    K8_FIDVID_Control decoder;
    return decoder.GetMultiplier(static_cast<int32_t>((hwcr.m_dwLow >> 24) & 0x3F));
}

float AMD_K8_Infos::GetTemperature(CCPUThread* thread) {
    auto* sensor = dynamic_cast<CTemperatureSensor*>(thread->m_pCoreTemperature);
    if (!sensor) return -1.0f;
    const int32_t raw = ReadThermalRegister(static_cast<uint32_t>(thread->m_iCoreId));
    if (raw < 0) return -1.0f;
    float celsius = static_cast<float>(raw) + sensor->m_fOffset;
    if (m_iRevision >= kRevisionG) {
        celsius = static_cast<float>(raw >> 2) + static_cast<float>(raw & 3) * 0.25f + sensor->m_fOffset;
        if (thread->m_iPackageCode == kSocketAM2) celsius += kSocketAM2Correction;
    }
    sensor->m_dwRawValue = static_cast<uint32_t>(raw);
    sensor->SetValue(celsius, 1);
    return sensor->m_fValue;
}

float AMD_K8_Infos::GetCoreClock(CCPUThread*, CTimer*) { return AMDPerfCounterCoreClock(); }

void AMD_K8_Infos::DumpRegisters(CReportGenerator* report) {
    if (!report) return;
    report->PrintField("\tK8 Thermal sensor", "\t", "%s", m_bThermalSensor ? "yes" : "no");
    if (m_iRevisionMajor != -1 && m_iRevisionMinor != -1)
        report->PrintField("\tK8 Revision ID", "\t\t", "%d.%d", m_iRevisionMajor, m_iRevisionMinor);
    DumpNodeDevices(report, m_pNodeDevices);
}
