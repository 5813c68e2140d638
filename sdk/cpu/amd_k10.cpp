#include "sdk/cpu/amd_k10.h"

#include <utility>

#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/cpu/amd_shared_bodies.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/fidvid_amd.h"
#include "sdk/cpu/intel_shared_bodies.h"
#include "sdk/cpu/msr_register.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/register_space_amd_ecs.h"

namespace {

constexpr uint32_t kK10Class = 0x2004000;
constexpr int32_t kFamily10h = 16;
constexpr int32_t kFamily11h = 17;
constexpr uint32_t kEffectiveFrequencyBit = 1u << 0;    // CPUID 6 ECX
constexpr uint32_t kHardwarePStatesBit = 1u << 7;       // CPUID 0x80000007 EDX
constexpr uint32_t kCorePerformanceBoostBit = 1u << 9;  // CPUID 0x80000007 EDX
constexpr int32_t kNominalBusClock = 200;
constexpr int32_t kFamily11hCofOffset = 8;

// Registers of the northbridge functions.
constexpr uint32_t kFunction3 = 3;
constexpr uint32_t kFunction4 = 4;
constexpr uint32_t kNorthbridgeCapabilities = 0xE8;  // F3xE8
constexpr uint32_t kClockPowerControl = 0xD8;        // F3xD8 bits 14:8: the VID of the TDP
constexpr uint32_t kCoreEnable = 0x190;              // F3x190
constexpr uint32_t kBoostControl = 0x15C;            // F4x15C bits 4:2: boosted P-states
constexpr uint32_t kPStateSpecification0 = 0x1E0;    // F4x1E0 to F4x1F0
constexpr uint32_t kSpecificationValid = 1u << 27;

// The package code of CPUID 0x80000001 EBX bits 31:28; -1 for other types.
int32_t PackageOfType(int32_t type, int32_t extModel) {
    switch (type) {
    case 0: return 0x1000C;                                      // Socket Fr4 (1207)
    case 1: return extModel == 0 || extModel == 2 ? 0x10022 : 0x10024;  // AM2+, AM3
    case 2: return 0x1000B;                                      // Socket S1 (638)
    case 3: return 0x10023;                                      // Socket G34 (1974)
    case 4: return 0x10031;                                      // Socket ASB2
    case 5: return 0x10030;                                      // Socket C32 (1207)
    default: return -1;
    }
}

} // namespace

CCPUInfos* CreateAMDK10Infos() { return new AMD_K10_Infos; }

AMD_K10_Infos::AMD_K10_Infos() : CCPUInfos(CPU_INFOS_FAMILY, kK10Class) {}

AMD_K10_Infos::~AMD_K10_Infos() { delete[] m_pPStateSpecifications; }

bool AMD_K10_Infos::ReadNode(uint32_t function, uint32_t reg, uint32_t* value) {
    return m_pExtendedConfig && m_pExtendedConfig->ReadConfigDword(function, reg, value);
}

void AMD_K10_Infos::Initialize(CCPUThread* thread) {
    ReadAMDProcessorTopology(thread);
    if (thread->m_dwMaxStandardLeaf >= 6) m_bEffectiveFrequencyInterface = Cpuid(6).ecx & kEffectiveFrequencyBit;
    if (thread->m_dwMaxExtendedLeaf >= 0x80000001) ReadBrandFields(thread);
    if (thread->m_dwMaxExtendedLeaf >= 0x80000007 && (Cpuid(0x80000007).edx & kHardwarePStatesBit)) {
        CacheMSRs(thread, {amd_msr::kPStateLimit, amd_msr::kPStateControl, amd_msr::kPStateStatus});
        for (uint32_t i = 0; i < 5; ++i) thread->GetMSR(amd_msr::kPState0 + i);
        if (thread->m_iExtFamily == kFamily11h)
            m_pFIDVID = new K11_FIDVID_Control;
        else
            m_pFIDVID = new K10_FIDVID_Control;
        m_pFIDVID->Refresh();
    }
    if (thread->m_dwMaxExtendedLeaf >= 0x80000008) {
        const uint32_t size = Cpuid(0x80000008).ecx;
        m_iNC = static_cast<int32_t>(size & 0xFF);
        if (const uint32_t span = (size >> 12) & 0xF) m_iApicCoreIdSpan = 1 << span;
        thread->m_iCoresPerPackage = m_iNC + 1;
        if (CCacheDescriptor* level3 = thread->FindCacheDescriptor(3, 3)) level3->m_iSharedBy = m_iNC + 1;
    }
    InstallExpressWindowFromMsr(thread);
    FindNodeDevices(thread);
    ReadNodeFunctions(thread);
    ReadPStateSpecifications();
    ReadPStateRatios(thread);
    CacheMSRs(thread, {amd_msr::kHWCR, amd_msr::kNBConfig});
    ReadCoreCountAndTDP(thread);
    GetTemperature(thread);
    GetPower(thread);
}

void AMD_K10_Infos::ReadBrandFields(CCPUThread* thread) {
    ReadAMDBrandFields(thread, {m_iPackageType, m_iModelNumber, m_iString1, m_iString2, m_iPage});
    if (m_iModelNumber == 0) thread->m_bEngineeringSample = 1;
    if (const int32_t package = PackageOfType(m_iPackageType, thread->m_iExtModel); package != -1)
        thread->m_iPackageCode = package;
}

void AMD_K10_Infos::FindNodeDevices(CCPUThread* thread) {
    if (!FindAMDNodeDevices(this, thread, kK10Node, m_iApicCoreIdSpan))
        FindAMDNodeDevices(this, thread, kK11Node, thread->m_iCoresPerPackage);
}

void AMD_K10_Infos::ReadNodeFunctions(CCPUThread* thread) {
    if (!m_pNodeDevices) return;
    CTListIterator<CDevice> it(m_pNodeDevices);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext()) {
        auto* function = static_cast<CPCIDevice*>(device);
        const uint16_t id = function->GetDeviceID();
        if (id == kK10Node.function0 || id == kK11Node.function0) ReadLinkMultiplier(thread, function);
        if (id == kK10Node.function0 + kFunction3 || id == kK11Node.function0 + kFunction3)
            m_pExtendedConfig = NodeExtendedConfigSpace(function);
    }
}

void AMD_K10_Infos::ReadPStateSpecifications() {
    if (!m_pExtendedConfig) return;
    m_pPStateSpecifications = new PStateSpecification[kPStateSpecificationRows];
    m_iPStateSpecificationCount = 0;
    for (int row = 0; row < kPStateSpecificationRows; ++row) {
        uint32_t value = 0;
        if (!ReadNode(kFunction4, kPStateSpecification0 + 4 * uint32_t(row), &value) || value == 0 ||
            !(value & kSpecificationValid))
            continue;
        m_pPStateSpecifications[row].fid = static_cast<int32_t>(((value >> 6) & 7) * 256 + (value & 0x3F));
        m_pPStateSpecifications[row].vid = static_cast<int32_t>((value >> 9) & 0x7F);
        ++m_iPStateSpecificationCount;
    }
    // Highest multiplier first; the rows sorted are the first `count`
    // rows, as filled.
    if (m_pFIDVID && m_iPStateSpecificationCount >= 2) {
        for (bool swapped = true; swapped;) {
            swapped = false;
            for (int32_t i = 0; i + 1 < m_iPStateSpecificationCount; ++i) {
                PStateSpecification& a = m_pPStateSpecifications[i];
                PStateSpecification& b = m_pPStateSpecifications[i + 1];
                if (m_pFIDVID->GetMultiplier(a.fid) < m_pFIDVID->GetMultiplier(b.fid)) {
                    std::swap(a, b);
                    swapped = true;
                }
            }
        }
    }
    uint32_t boost = 0;
    if (ReadNode(kFunction4, kBoostControl, &boost)) m_iBoostedPStates = static_cast<int32_t>((boost >> 2) & 7);
}

void AMD_K10_Infos::ReadPStateRatios(CCPUThread* thread) {
    if (thread->m_dwMaxExtendedLeaf >= 0x80000007)
        m_bBoostSupported = (Cpuid(0x80000007).edx & kCorePerformanceBoostBit) ? 1 : 0;
    MSR_Register cofvid(amd_msr::kCOFVIDStatus);
    if (cofvid.Read()) {
        const auto maxCpuCof = static_cast<int32_t>((cofvid.m_dwHigh >> 17) & 0x3F);
        if (maxCpuCof == 0) {
            m_bUnlocked = 1;
        } else if (thread->m_iExtFamily == kFamily10h || thread->m_iExtFamily == kFamily11h) {
            const int32_t value = maxCpuCof + (thread->m_iExtFamily == kFamily11h ? kFamily11hCofOffset : 0);
            thread->m_iStockClock = value * 100;
            m_iMaxCpuCof = value;
        }
    }
    if (m_pFIDVID) {
        int32_t fid = -1;
        if (m_fMaxTurboRatio <= 0 && m_pFIDVID->GetPState(0, &fid, nullptr, nullptr))
            m_fMaxTurboRatio = thread->m_fMaxMultiplier = m_pFIDVID->GetMultiplier(fid);
        auto nonTurboFrom = [&](int32_t index) {
            if (m_fMaxNonTurboRatio > 0 || !m_pFIDVID->GetPState(index, &fid, nullptr, nullptr)) return;
            m_fMaxNonTurboRatio = m_pFIDVID->GetMultiplier(fid);
            if (thread->m_iStockClock == -1)
                thread->m_iStockClock = static_cast<int32_t>(m_fMaxNonTurboRatio * float(kNominalBusClock));
        };
        if (m_iBoostedPStates != -1 && m_iBoostedPStates < m_pFIDVID->m_iPStateCount) nonTurboFrom(m_iBoostedPStates);
        nonTurboFrom(0);
    }
    thread->m_iNominalBusClock = kNominalBusClock;
    if (!GetSDK()->GetACPITimer()) return;
    m_fTSCRate = MeasureAMDMsrRate(amd_msr::kTimeStampCounter);
    if (m_bEffectiveFrequencyInterface) {
        m_fAPERFRate = MeasureAMDMsrRate(amd_msr::kAperf);
        m_fMPERFRate = MeasureAMDMsrRate(amd_msr::kMperf);
    }
    m_fPerfCounterRate = MeasurePerfCounterRate();
}

void AMD_K10_Infos::ReadCoreCountAndTDP(CCPUThread* thread) {
    uint32_t capabilities = 0;
    if (!ReadNode(kFunction3, kNorthbridgeCapabilities, &capabilities)) return;
    m_iCmpCap = static_cast<int32_t>(((capabilities >> 12) & 3) + ((capabilities & (1u << 15)) ? 5 : 1));
    if (capabilities & (1u << 29)) m_iCmpCap *= 2;
    thread->m_iCoresPerPackage = m_iCmpCap;
    uint32_t clock = 0;
    int32_t fid = -1, vid = -1, current = -1;
    if (!ReadNode(kFunction3, kClockPowerControl, &clock) || !m_pFIDVID || m_pFIDVID->m_iPStateCount < 1 ||
        !m_pFIDVID->GetPState(0, &fid, &vid, &current))
        return;
    m_iTDCLimit = m_iCmpCap * current;
    thread->m_fTDP = static_cast<float>(m_iTDCLimit) * m_pFIDVID->GetVoltage(static_cast<int32_t>((clock >> 8) & 0x7F));
}

uint32_t AMD_K10_Infos::SetCoreEnableMask(uint32_t mask) {
    if (!m_pExtendedConfig) return 0;
    uint32_t value = 0;
    m_pExtendedConfig->ReadConfigDword(kFunction3, kCoreEnable, &value);
    return static_cast<uint32_t>(m_pExtendedConfig->WriteConfigDword(kFunction3, kCoreEnable, ~mask & 0xF));
}

float AMD_K10_Infos::GetMultiplier(CCPUThread*) { return FIDVIDCurrentMultiplier(this); }

float AMD_K10_Infos::GetTemperature(CCPUThread* thread) {
    CPCIDevice* function3 = FindNodeFunction(m_pNodeDevices, kK10Node.function0 + kFunction3);
    if (!function3) function3 = FindNodeFunction(m_pNodeDevices, kK11Node.function0 + kFunction3);
    return AMDNorthbridgeTemperature(thread, function3);
}

float AMD_K10_Infos::GetPower(CCPUThread* thread) { return AMDPStatePower(this, thread); }

float AMD_K10_Infos::GetCoreClock(CCPUThread*, CTimer*) {
    GetSDK()->GetPerformanceTimer();
    return m_bEffectiveFrequencyInterface ? AMDEffectiveFrequency() : MeasurePerfCounterRate();
}

void AMD_K10_Infos::DumpRegisters(CReportGenerator* report) {
    if (!report) return;
    struct IntegerLine {
        const char* label;
        const char* tabs;
        const char* format;
        int32_t value;
    };
    const IntegerLine lines[] = {
        {"\tPackage Type", "\t\t", "0x%X", m_iPackageType},
        {"\tModel", "\t\t\t", "%02d", m_iModelNumber},
        {"\tString 1", "\t\t", "0x%X", m_iString1},
        {"\tString 2", "\t\t", "0x%X", m_iString2},
        {"\tPage", "\t\t\t", "0x%X", m_iPage},
        {"\tCmpCap", "\t\t\t", "%d", m_iCmpCap},
        {"\tApicIdCoreSize", "\t\t", "%d", m_iApicCoreIdSpan},
        {"\tTDC Limit", "\t\t", "%d Amps", m_iTDCLimit},
        {"\tBoosted P-States", "\t", "%d", m_iBoostedPStates},
    };
    for (const IntegerLine& line : lines)
        if (line.value != -1) report->PrintField(line.label, line.tabs, line.format, line.value);
    if (m_fMaxNonTurboRatio > 0) report->PrintField("\tMax non-turbo ratio", "\t", "%.2fx", m_fMaxNonTurboRatio);
    if (m_fMaxTurboRatio > 0) report->PrintField("\tMax turbo ratio", "\t\t", "%.2fx", m_fMaxTurboRatio);
    if (m_iMaxCpuCof != -1) report->PrintField("\tMax CPU COF", "\t\t", "%d", m_iMaxCpuCof);
    report->PrintField("\tCore Performance Boost", "\t", "%s", m_bBoostSupported ? "yes" : "no");
    if (m_pPStateSpecifications && m_pFIDVID) {
        for (int32_t row = 0; row < kPStateSpecificationRows; ++row) {
            const PStateSpecification& state = m_pPStateSpecifications[row];
            if (state.fid == -1) continue;
            report->PrintField("\tP-State", "\t\t\t", "%d, FID 0x%X - VID 0x%02X (%.2fx - %.3f V)", row, state.fid,
                               state.vid, double(m_pFIDVID->GetMultiplier(state.fid)),
                               double(m_pFIDVID->GetVoltage(state.vid)));
        }
    }
    DumpNodeDevices(report, m_pNodeDevices);
    const struct {
        const char* label;
        float rate;
    } rates[] = {{"\tTSC", m_fTSCRate}, {"\tAPERF", m_fAPERFRate}, {"\tMPERF", m_fMPERFRate},
                 {"\tPERFEVT", m_fPerfCounterRate}};
    for (const auto& rate : rates)
        if (rate.rate > 0) report->PrintField(rate.label, "\t\t\t", "%.1f MHz", double(rate.rate));
}
