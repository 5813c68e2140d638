#include "sdk/cpu/amd_bobcat.h"

#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/fidvid_amd.h"
#include "sdk/cpu/intel_shared_bodies.h"

namespace {

constexpr uint32_t kK14Class = 0x2020000;
constexpr int32_t kSocketFT1 = 0x10034;
// A single node: its function 0 is the first whose APIC ID bits above the
// package's are 0 (node 0).
constexpr AMDNodeIds kK14Node = {0x1700, 0x1704};
constexpr int32_t kSingleNodeSpan = 0;
constexpr uint16_t kK14Function3 = 0x1703;

} // namespace

CCPUInfos* CreateAMDK14Infos() { return new AMD_K14_Infos; }

AMD_K14_Infos::AMD_K14_Infos() : AMDNodeInfos(kK14Class) {}

void AMD_K14_Infos::Initialize(CCPUThread* thread) {
    ReadAMDProcessorTopology(thread);
    if (thread->m_dwMaxExtendedLeaf > 0x80000000) {
        ReadBrandFields(thread);
        if (m_iModelNumber == 0) thread->m_bEngineeringSample = 1;
        if (m_iPackageType == 0) thread->m_iPackageCode = kSocketFT1;
    }
    if (thread->m_dwMaxExtendedLeaf > 0x80000006 && CachePStateMsrs(thread)) {
        m_pFIDVID = new K14_FIDVID_Control;
        m_pFIDVID->Refresh();
    }
    if (thread->m_dwMaxExtendedLeaf > 0x80000007) ReadCoreCount(thread);
    InstallExpressWindowFromMsr(thread);
    if (!m_pNodeDevices || m_pNodeDevices->GetCount() == 0) {
        FindAMDNodeDevices(this, thread, kK14Node, kSingleNodeSpan);
        AppendNodeFunctions({0x1718, 0x1716, 0x1719});
    }
    OpenExtendedConfig({kK14Function3});
    ReadBoostedPStates();
    ReadPStateRatios(thread, RatioRules{});
    CacheMSRs(thread, {amd_msr::kHWCR, amd_msr::kNBConfig});
}
