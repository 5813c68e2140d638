#include "sdk/cpu/intel_p5.h"

#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/intel_infos.h"
#include "sdk/cpu/intel_legacy_bodies.h"
#include "sdk/cpu/intel_shared_bodies.h"

namespace {

enum Subcode : uint32_t { kPentium = 0x01, kPentiumMMX = 0x02 };

enum Package : int32_t {
    kSocket4 = 0x10001,
    kSocket5 = 0x10002,
    kTcpMobile = 0x10003,
    kSocket7 = 0x10004,
};

// The level-1 instruction and data caches of one model (each).
struct Level1Row {
    std::initializer_list<int32_t> models;
    int32_t sizeKB;
    int32_t ways;
};
const Level1Row kLevel1[] = {{{0, 1, 2}, 8, 2}, {{4, 7, 8}, 16, 4}};
constexpr int32_t kLineSize = 32;

bool OverDrive(CCPUThread* thread) {
    const Intel_CPU_Infos* vendor = IntelVendorOf(thread);
    return vendor && vendor->m_iProcessorType >= 0 && (vendor->m_iProcessorType & 1);
}

} // namespace

CCPUInfos* CreateIntelP5Infos() { return new Intel_P5_Infos; }

Intel_P5_Infos::Intel_P5_Infos() : CCPUInfos(CPU_INFOS_FAMILY, CPU_CLASS_INTEL_P5) {}

void Intel_P5_Infos::Initialize(CCPUThread* thread) { MeasureTSCClock(thread); }

void Intel_P5_Infos::MeasureTSCClock(CCPUThread*) {
    if (CTimer* timer = GetSDK()->GetACPITimer()) m_fMeasuredTSCClock = MeasureMSRRate(timer, intel_msr::kTimeStampCounter);
}

void Intel_P5_Infos::DetectCaches(CCPUThread* thread) {
    for (const Level1Row& row : kLevel1) {
        bool listed = false;
        for (int32_t model : row.models) listed |= model == thread->m_iModel;
        if (!listed) continue;
        for (int32_t type : {CACHE_INSTRUCTION, CACHE_DATA}) {
            CCacheDescriptor* cache = thread->FindCacheDescriptor(1, type);
            if (!cache) {
                cache = new CCacheDescriptor(1, type);
                thread->m_pCaches->AddTail(cache);
            }
            cache->m_iSize = row.sizeKB;
            cache->m_iWays = row.ways;
            cache->m_iLineSize = kLineSize;
        }
    }
}

float Intel_P5_Infos::GetMultiplier(CCPUThread* thread) {
    return thread->m_iModel == 0 || thread->m_iModel == 1 ? 1.0f : -1.0f;
}

void Intel_P5_Infos::DumpRegisters(CReportGenerator* report) {
    if (m_fMeasuredTSCClock > 0)
        report->PrintField("\tTSC", "\t\t\t", "%.1f MHz", static_cast<double>(m_fMeasuredTSCClock));
}

int Intel_P5_Infos::Identify(CCPUThread* thread) {
    LegacyNamer name(thread, CPU_CLASS_INTEL_P5);
    const bool overDrive = OverDrive(thread);
    // A Pentium or Pentium MMX, named " OverDrive" as the upgrade part.
    auto pentium = [&](const char* base, uint32_t subcode, const char* codename, float technology) {
        name.Name(base, subcode);
        if (overDrive) name.Append(" OverDrive");
        name.Codename(codename);
        thread->m_fTechnology = technology;
    };
    switch (thread->m_iModel) {
    case 0:
    case 1:
        pentium("Intel Pentium", kPentium, "P5", 0.8f);
        thread->m_iPackageCode = kSocket4;
        if (thread->m_iModel == 1) name.Stepping({{3, "B1"}, {5, "C1"}, {7, "D1"}});
        break;
    case 2:
        pentium("Intel Pentium", kPentium, "P54C", 0.6f);
        if (!overDrive) thread->m_iPackageCode = kSocket5;
        name.Stepping({{1, "B1"}, {2, "B3"}, {4, "B5"}, {5, "C2"}, {6, "E0"}, {11, "cB1"}, {12, "cC0"}});
        break;
    case 3:
        name.Name("Intel Pentium Overdrive", kPentium);
        thread->m_fTechnology = 0.35f;
        break;
    case 4:
        pentium("Intel Pentium MMX", kPentiumMMX, "P55C", 0.35f);
        thread->m_iPackageCode = kSocket7;
        name.Stepping({{3, "MXB1"}, {4, "MXA3"}});
        break;
    case 7:
    case 8:
        name.Name("Intel Mobile Pentium MMX", kPentiumMMX);
        thread->m_bMobile = 1;
        thread->m_fTechnology = thread->m_iModel == 7 ? 0.35f : 0.25f;
        thread->m_iPackageCode = kTcpMobile;
        if (thread->m_iModel == 7) name.Stepping({{0, "mA4"}});
        else name.Stepping({{1, "MYA0"}, {2, "MYB2"}});
        break;
    default: break;
    }
    return 1;
}
