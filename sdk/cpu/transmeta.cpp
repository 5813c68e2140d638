#include "sdk/cpu/transmeta.h"

#include "sdk/core/helpers.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/cpuid_leaf_range.h"
#include "sdk/cpu/extended_leaf_caches.h"
#include "sdk/cpu/intel_infos.h"

namespace {

constexpr uint32_t kTransmetaLeaves = 0x80860000;
constexpr uint32_t kRevisionLeaf = 0x80860001;
// The registers of the code-morphing processor listed in the thread dump.
constexpr uint32_t kDumpedMsrs[] = {0x80860000, 0x80860001, 0x80860002, 0x80860003, 0x80860004, 0x80868010,
                                    0x80868011, 0x80868018, 0x80868019, 0x8086801A, 0x8086801B, 0x8086801C,
                                    0x8086801D, 0x80868070, 0x80868071, 0x80868074, 0x80868075};
constexpr int32_t kPackageCrusoe = 0x10012;    // "Socket 474 BGA"
constexpr int32_t kPackageEfficeon = 0x10032;  // "Socket 783 BGA"

void SetName(CCPUThread* thread, const char* name) { FormatString(thread->m_szName, sizeof thread->m_szName, "%s", name); }

// The Crusoe's name by level-2 cache, when the size is one of the two
// its models have.
void NameByLevel2(CCPUThread* thread, const char* with256, const char* with512) {
    switch (thread->GetL2Cache()) {
    case 256: SetName(thread, with256); break;
    case 512: SetName(thread, with512); break;
    default: break;
    }
}

} // namespace

CCPUInfos* CreateTransmetaInfos() { return new Transmeta_CPU_Infos; }

Transmeta_CPU_Infos::Transmeta_CPU_Infos() : CCPUInfos(CPU_INFOS_VENDOR, CPU_CLASS_TRANSMETA) {}

void Transmeta_CPU_Infos::Initialize(CCPUThread* thread) {
    if (thread->m_dwMaxExtendedLeaf >= 0x80000001) {
        const uint32_t signature = Cpuid(0x80000001).eax;
        thread->m_iExtFamily = static_cast<int32_t>((signature >> 8) & 0xF);
        thread->m_iExtModel = static_cast<int32_t>((signature >> 4) & 0xF);
        thread->m_iStepping = static_cast<int32_t>(signature & 0xF);
    }
    if (thread->m_dwMaxExtendedLeaf >= 0x80000004) ReadBrandString(thread, false);
    m_dwMaxTransmetaLeaf = Cpuid(kTransmetaLeaves).eax;
    if (m_dwMaxTransmetaLeaf >= kRevisionLeaf) m_dwHardwareRevision = Cpuid(kRevisionLeaf).ebx;
    for (uint32_t msr : kDumpedMsrs) thread->GetMSR(msr);
}

void Transmeta_CPU_Infos::DetectCaches(CCPUThread* thread) { DetectExtendedLeafCaches(thread); }

int Transmeta_CPU_Infos::Identify(CCPUThread* thread) {
    if (thread->m_iFamily == 15) {
        SetName(thread, "Transmeta Efficeon TM8000");
        FormatString(thread->m_szCodename, sizeof thread->m_szCodename, "%s", "Astro");
        thread->m_fTechnology = thread->m_iModel == 3 ? 0.09f : 0.13f;
        thread->m_iPackageCode = kPackageEfficeon;
        thread->m_dwClassCode = 0x10000002;
        return 1;
    }
    if (thread->m_iFamily != 5) return 1;
    thread->m_iPackageCode = kPackageCrusoe;
    thread->m_dwClassCode = 0x10000001;
    if (m_dwHardwareRevision == 0xFFFFFFFF) return 1;
    const uint32_t revision = m_dwHardwareRevision >> 16;
    const bool laterTM5400 = revision == 0x0103 && ((m_dwHardwareRevision >> 8) & 0xFF) != 0;
    if (revision == 0x0101) {
        SetName(thread, "Transmeta Crusoë TM3200");
        thread->m_fTechnology = 0.22f;
    } else if (revision == 0x0102) {
        SetName(thread, "Transmeta Crusoë TM5400");
        thread->m_fTechnology = 0.18f;
    } else if (laterTM5400) {
        NameByLevel2(thread, "Transmeta Crusoë TM5400", "Transmeta Crusoë TM5600");
        thread->m_fTechnology = 0.18f;
    } else if (revision == 0x0103 || revision == 0x0104 || revision == 0x0105) {
        NameByLevel2(thread, "Transmeta Crusoë TM5500", "Transmeta Crusoë TM5800");
        thread->m_fTechnology = 0.13f;
    }
    return 1;
}

void Transmeta_CPU_Infos::DumpCPUID(CReportGenerator* report) {
    DumpCPUIDLeafRange(report, kTransmetaLeaves, m_dwMaxTransmetaLeaf);
}
