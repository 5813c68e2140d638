#include "sdk/cpu/amd_bulldozer.h"

#include <cstring>

#include "sdk/core/sdk.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/fidvid_amd.h"
#include "sdk/cpu/intel_shared_bodies.h"
#include "sdk/hw/pci_device.h"

namespace {

constexpr uint32_t kK15Class = 0x2040000;
constexpr uint32_t kFunction4 = 4;
constexpr uint32_t kFunction5 = 5;
constexpr uint32_t kTdpLimit = 0x1B8;             // F4x1B8: TDP (15:0) and base TDP (31:16)
constexpr uint32_t kTdpToWatts = 0xE8;            // F5xE8 bits 15:0
constexpr uint32_t kComputeUnitStatus = 0x80;     // F5x80 bit 16 + n: both cores of unit n enabled
constexpr uint32_t kSmuVoltageFlags = 0x1F428;    // bit 29: the 6.25 mV voltage interface
constexpr uint32_t kFineVIDBit = 1u << 29;

// The node generations: function 0 and its functions 1 to 5.
constexpr AMDNodeIds kOrochiNode = {0x1600, 0x1605};
constexpr AMDNodeIds kTrinityNode = {0x1400, 0x1405};
constexpr AMDNodeIds kKaveriNode = {0x141A, 0x141F};
constexpr AMDNodeIds kCarrizoNode = {0x1570, 0x1575};

struct PackageRow {
    int32_t modelGroup;  // the extended model's high nibble
    int32_t packageType;
    int32_t packageCode;
};
constexpr PackageRow kPackages[] = {
    {0x00, 1, 0x10036}, {0x00, 3, 0x10023}, {0x00, 5, 0x10030}, {0x20, 1, 0x10036}, {0x20, 3, 0x10023},
    {0x20, 5, 0x10030}, {0x10, 0, 0x10043}, {0x10, 1, 0x10043}, {0x10, 2, 0x10042}, {0x30, 0, 0x1004C},
    {0x30, 1, 0x1004B}, {0x60, 0, 0x10051},
};

} // namespace

bool amd_k15::IsAPUModel(int32_t model) {
    const int32_t group = model & 0xF0;
    return group == 0x10 || group == 0x30 || group == 0x60;
}

CCPUInfos* CreateAMDK15Infos() { return new AMD_K15_Infos; }

AMD_K15_Infos::AMD_K15_Infos() : AMDNodeInfos(kK15Class) { m_bDumpNodeRegisters = true; }

int32_t AMD_K15_Infos::PackageCode(int32_t model) const {
    for (const PackageRow& row : kPackages)
        if (row.modelGroup == (model & 0xF0) && row.packageType == m_iPackageType) return row.packageCode;
    return -1;
}

uint32_t AMD_K15_Infos::VoltageInterfaceFlag(int32_t model) const {
    switch (model & 0xF0) {
    case 0x10: {
        uint32_t flags = 0;
        return amd_smu::ReadRegister(kSmuVoltageFlags, &flags) && (flags & kFineVIDBit) ? 1 : 0;
    }
    case 0x30:
    case 0x60: return 1;
    default: return 0;
    }
}

FIDVID_Control* AMD_K15_Infos::CreateFIDVIDControl(uint32_t fineVIDSteps) const {
    return new K15_FIDVID_Control(fineVIDSteps);
}

AMDNodeInfos::RatioRules AMD_K15_Infos::PStateRatioRules(int32_t model) const {
    RatioRules rules;
    const bool apu = amd_k15::IsAPUModel(model);
    rules.nominalBusClock = apu ? 100 : 200;
    rules.multiplierScale = apu ? 2.0f : 1.0f;
    rules.writeThreadNonTurboAndMin = true;
    return rules;
}

void AMD_K15_Infos::Initialize(CCPUThread* thread) {
    const int32_t model = thread->m_iExtModel;
    ReadAMDProcessorTopology(thread);
    if (thread->m_dwMaxExtendedLeaf >= 0x80000001) {
        ReadBrandFields(thread);
        if (std::strstr(thread->m_szBrandString, "Eng Sample")) thread->m_bEngineeringSample = 1;
        if (const int32_t package = PackageCode(model); package != -1) thread->m_iPackageCode = package;
    }
    if (thread->m_dwMaxExtendedLeaf >= 0x80000007 && CachePStateMsrs(thread)) {
        m_pFIDVID = CreateFIDVIDControl(VoltageInterfaceFlag(model));
        m_pFIDVID->Refresh();
    }
    if (thread->m_dwMaxExtendedLeaf >= 0x80000008) ReadCoreCount(thread);
    InstallExpressWindowFromMsr(thread);
    FindNodeDevices(thread);
    ReadNodeFunctions(thread);
    ReadBoostedPStates();
    ReadPStateRatios(thread, PStateRatioRules(model));
    CacheMSRs(thread, {amd_msr::kHWCR, amd_msr::kNBConfig});
    ReadTDPAndComputeUnit(thread);
    GetTemperature(thread);
    GetPower(thread);
}

void AMD_K15_Infos::FindNodeDevices(CCPUThread* thread) {
    if (m_pNodeDevices && m_pNodeDevices->GetCount() > 0) return;
    for (const AMDNodeIds& ids : {kOrochiNode, kTrinityNode, kKaveriNode, kCarrizoNode})
        FindAMDNodeDevices(this, thread, ids, thread->m_iCoresPerPackage);
}

void AMD_K15_Infos::ReadNodeFunctions(CCPUThread* thread) {
    ReadLinkMultiplier(thread, FindNodeFunction(m_pNodeDevices, kOrochiNode.function0));
    OpenExtendedConfig({0x1603, 0x1403, 0x141D, 0x1573});
}

void AMD_K15_Infos::ReadTDPAndComputeUnit(CCPUThread* thread) {
    uint32_t limit = 0, toWatts = 0;
    if (ReadNode(kFunction4, kTdpLimit, &limit) && ReadNode(kFunction5, kTdpToWatts, &toWatts)) {
        const float watts = float((toWatts & 0x3FF) * 64 + ((toWatts >> 10) & 0x3F)) / 65536.0f;
        thread->m_fTDP = float(limit & 0xFFFF) * watts;
        m_iBaseTDP = static_cast<int32_t>(float(limit >> 16) * watts);
    }
    // A compute unit with one core enabled shares its level-2 cache with
    // that core only.
    uint32_t units = 0;
    const int32_t unit = thread->m_iComputeUnitId;
    if (!ReadNode(kFunction5, kComputeUnitStatus, &units) || unit < 0 || unit > 15 || (units >> (16 + unit)) & 1)
        return;
    CTListIterator<CCacheDescriptor> it(thread->m_pCaches);
    for (CCacheDescriptor* cache = it.GetFirst(); cache; cache = it.GetNext())
        if (cache->m_iSharedBy > 1 && cache->m_iSharedBy < m_iNC + 1) cache->m_iSharedBy /= 2;
}
