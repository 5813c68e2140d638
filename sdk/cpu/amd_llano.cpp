#include "sdk/cpu/amd_llano.h"

#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/fidvid_amd.h"
#include "sdk/cpu/intel_shared_bodies.h"

namespace {

constexpr uint32_t kK12Class = 0x2010000;
constexpr AMDNodeIds kK12Node = {0x1700, 0x1704};
constexpr uint16_t kK12Function3 = 0x1703;
constexpr uint32_t kFunction3 = 3;
constexpr uint32_t kClockPowerControl = 0xD8;  // F3xD8 bits 14:8: the VID of the TDP

} // namespace

CCPUInfos* CreateAMDK12Infos() { return new AMD_K12_Infos; }

AMD_K12_Infos::AMD_K12_Infos() : AMDNodeInfos(kK12Class) {}

void AMD_K12_Infos::Initialize(CCPUThread* thread) {
    ReadAMDProcessorTopology(thread);
    if (thread->m_dwMaxExtendedLeaf > 0x80000000) {
        ReadBrandFields(thread);
        if (m_iModelNumber == 0) thread->m_bEngineeringSample = 1;
    }
    if (thread->m_dwMaxExtendedLeaf > 0x80000006 && CachePStateMsrs(thread)) {
        m_pFIDVID = new K12_FIDVID_Control;
        m_pFIDVID->Refresh();
    }
    if (thread->m_dwMaxExtendedLeaf > 0x80000007) ReadCoreCount(thread);
    InstallExpressWindowFromMsr(thread);
    FindAMDNodeDevices(this, thread, kK12Node, thread->m_iCoresPerPackage);
    OpenExtendedConfig({kK12Function3});
    ReadBoostedPStates();
    RatioRules rules;
    rules.measureRates = false;
    ReadPStateRatios(thread, rules);
    CacheMSRs(thread, {amd_msr::kHWCR, amd_msr::kNBConfig});
    ReadTDP(thread);
    GetTemperature(thread);
    GetPower(thread);
}

// The TDC of the first P-state that is not boosted, for all cores, at the
// voltage of F3xD8's VID.
void AMD_K12_Infos::ReadTDP(CCPUThread* thread) {
    uint32_t clock = 0;
    if (!ReadNode(kFunction3, kClockPowerControl, &clock) || !m_pFIDVID || m_pFIDVID->m_iPStateCount < 1) return;
    int32_t index = m_iBoostedPStates;
    if (index < 0 || index >= m_pFIDVID->m_iPStateCount) index = 0;
    int32_t fid = -1, vid = -1, current = -1;
    if (!m_pFIDVID->GetPState(index, &fid, &vid, &current)) return;
    m_iTDCLimit = thread->m_iCoresPerPackage * current;
    thread->m_fTDP = static_cast<float>(m_iTDCLimit) * m_pFIDVID->GetVoltage(static_cast<int32_t>((clock >> 8) & 0x7F));
}

float AMD_K12_Infos::GetTemperature(CCPUThread* thread) {
    return AMDNorthbridgeTemperature(thread, FindNodeFunction(m_pNodeDevices, kK12Function3));
}

float AMD_K12_Infos::GetPower(CCPUThread* thread) { return AMDPStatePower(this, thread); }
