#include "sdk/cpu/intel_infos.h"

#include <algorithm>
#include <cstring>

#include "sdk/core/helpers.h"
#include "sdk/core/list.h"
#include "sdk/cpu/amd_infos.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_families.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/extended_leaf_caches.h"
#include "sdk/cpu/msr_register.h"

namespace {

constexpr uint32_t kFeatureControlMsr = 0x3A;  // read for the report when VT-x is there
constexpr uint32_t kMiscEnableMsr = 0x1A0;
constexpr uint32_t kLimitCpuidMaxvalBit = 22;
constexpr uint32_t kMaxTopologySubleaves = 32;
constexpr uint32_t kTopologySMT = 1;   // leaf 0xB level types
constexpr uint32_t kTopologyCore = 2;

uint32_t Field(uint32_t value, unsigned high, unsigned low) {
    return static_cast<uint32_t>((value >> low) & ((1ull << (high - low + 1)) - 1));
}

void SetName(CCPUThread* thread, const char* name) {
    FormatString(thread->m_szName, sizeof thread->m_szName, "%s", name);
}

struct I486Row {
    int32_t model;
    const char* name;
    const char* codename;  // null: none
};

constexpr I486Row kI486Models[] = {
    {2, "Intel i486 SX", "P23"},     {3, "Intel i486 DX2", "P24"},    {4, "Intel i486 SL", nullptr},
    {5, "Intel i486 SX2", nullptr},  {7, "Intel i486 DX2-WB", "P24D"}, {8, "Intel iDX4", "P24C"},
    {9, "Intel iDX4-WB", "P24C"},
};

// Installs a family description, when the family has one by now.
void InstallFamily(CCPUThread* thread, CreateFamilyInfos create) {
    if (create) thread->SetFamilyInfos(create());
}

} // namespace

CCPUInfos* CreateIntelInfos() { return new Intel_CPU_Infos; }

Intel_CPU_Infos::Intel_CPU_Infos() : CCPUInfos(CPU_INFOS_VENDOR, CPU_CLASS_INTEL) {}

int32_t InitialApicId(CCPUThread* thread) {
    if (thread->m_dwMaxStandardLeaf >= 0xB) {
        const CpuidResult topology = Cpuid(0xB, 0);
        if (topology.ebx != 0) return static_cast<int32_t>(topology.edx & 0x7FFFFFFF);
    }
    return static_cast<int32_t>(Cpuid(1).ebx >> 24);
}

void ReadBrandString(CCPUThread* thread, bool skipLeadingBlanks) {
    char brand[49];
    for (uint32_t i = 0; i < 3; ++i) {
        const CpuidResult part = Cpuid(0x80000002 + i);
        std::memcpy(brand + 16 * i, &part.eax, 4);
        std::memcpy(brand + 16 * i + 4, &part.ebx, 4);
        std::memcpy(brand + 16 * i + 8, &part.ecx, 4);
        std::memcpy(brand + 16 * i + 12, &part.edx, 4);
    }
    brand[48] = '\0';
    const char* start = brand;
    if (skipLeadingBlanks)
        while (*start == ' ') ++start;
    FormatString(thread->m_szBrandString, sizeof thread->m_szBrandString, "%s", start);
}

void VendorDetectCaches(CCPUThread* thread) {
    if (thread && thread->m_pVendorInfos) thread->m_pVendorInfos->DetectCaches(thread);
}

// ---- Initialize ----

void Intel_CPU_Infos::Initialize(CCPUThread* thread) {
    if (thread->m_dwMaxStandardLeaf >= 1) {
        const CpuidResult basic = Cpuid(1);
        m_iProcessorType = static_cast<int32_t>(Field(basic.eax, 13, 12));
        m_bEnhancedSpeedStep = static_cast<int32_t>(Field(basic.ecx, 7, 7));
        thread->m_iExtModel = static_cast<int32_t>(Field(basic.eax, 19, 16) * 16) + thread->m_iModel;
        thread->m_iExtFamily = static_cast<int32_t>(Field(basic.eax, 27, 20) * 16) + thread->m_iFamily;
        thread->m_iBrandId = static_cast<int32_t>(Field(basic.ebx, 7, 0));
        thread->m_bVirtualization = Field(basic.ecx, 5, 5);
        if (thread->m_bVirtualization) thread->GetMSR(kFeatureControlMsr);
        thread->m_bMultithreadingCapable = Field(basic.edx, 28, 28);
        if (thread->m_bMultithreadingCapable) {
            thread->m_iLogicalPerPackage = static_cast<int32_t>(Field(basic.ebx, 23, 16));
            thread->m_iApicId = InitialApicId(thread);
        }
    }
    DetectDeterministicCaches(thread);
    if (thread->m_dwMaxStandardLeaf >= 6) m_bDigitalThermalSensor = static_cast<int32_t>(Cpuid(6).eax & 1);
    if (thread->m_dwMaxStandardLeaf >= 0xB) ReadTopologyLeaf();
    if (thread->m_dwMaxExtendedLeaf >= 0x80000004) ReadBrandString(thread, true);
    if (thread->m_dwMaxExtendedLeaf >= 0x80000006) AddLevel2FromExtendedLeaf(thread);
    AMD_CPU_Infos::ReadMicrocodeRevision(thread);
}

void Intel_CPU_Infos::EnumerateDeterministicCaches(CCPUThread* thread) { ::EnumerateDeterministicCaches(thread, 4); }

void Intel_CPU_Infos::DetectDeterministicCaches(CCPUThread* thread) {
    auto enumerate = [thread] {
        thread->m_iCoresPerPackage = static_cast<int32_t>(Field(Cpuid(4, 0).eax, 31, 26) + 1);
        EnumerateDeterministicCaches(thread);
    };
    if (thread->m_dwMaxStandardLeaf >= 4) {
        enumerate();
        return;
    }
    // A BIOS may limit the highest leaf to 2 (for old operating systems);
    // the limit is lifted for the walk and put back afterwards. The
    // thread keeps the highest leaf the processor reports with the limit.
    const bool limitable = (thread->m_iExtFamily == 15 && thread->m_iModel >= 4) ||
                           (thread->m_iExtFamily == 6 && thread->m_iExtModel >= 0xE);
    if (!limitable) return;
    MSR_Register* misc = thread->GetMSR(kMiscEnableMsr);
    if (!misc || !((misc->m_dwLow >> kLimitCpuidMaxvalBit) & 1) || !misc->SetBit(kLimitCpuidMaxvalBit, 0)) return;
    if (Cpuid(0).eax >= 4) enumerate();
    misc->SetBit(kLimitCpuidMaxvalBit, 1);
}

void Intel_CPU_Infos::ReadTopologyLeaf() {
    if (Cpuid(0xB, 0).ebx == 0) return;
    int32_t threadsPerCore = 0, logicalPerPackage = 0;
    for (uint32_t subleaf = 0; subleaf < kMaxTopologySubleaves; ++subleaf) {
        const CpuidResult level = Cpuid(0xB, subleaf);
        if (level.ebx == 0) break;
        const uint32_t type = Field(level.ecx, 15, 8);
        if (type == kTopologySMT) threadsPerCore = static_cast<int32_t>(Field(level.ebx, 15, 0));
        if (type == kTopologyCore) logicalPerPackage = static_cast<int32_t>(Field(level.ebx, 15, 0));
    }
    if (logicalPerPackage <= 0) return;
    m_iLogicalPerPackage = logicalPerPackage;
    if (threadsPerCore > 0) m_iCoresPerPackage = logicalPerPackage / threadsPerCore;
}

void Intel_CPU_Infos::AddLevel2FromExtendedLeaf(CCPUThread* thread) {
    const uint32_t ecx = Cpuid(0x80000006).ecx;
    if (Field(ecx, 31, 16) == 0 || thread->FindCacheDescriptor(2, CACHE_UNIFIED)) return;
    auto* cache = new CCacheDescriptor(2, CACHE_UNIFIED);
    const int32_t cores = thread->m_iCoresPerPackage > 0 ? thread->m_iCoresPerPackage : 1;
    cache->m_iSharedBy = std::max(1, thread->m_iLogicalPerPackage / cores);
    cache->m_iLineSize = static_cast<int32_t>(Field(ecx, 7, 0));
    cache->m_iSize = static_cast<int32_t>(Field(ecx, 31, 16));
    cache->m_iWays = ExtendedLeafWays(Field(ecx, 15, 12));
    thread->m_pCaches->AddTail(cache);
}

// ---- DetectCaches ----

void Intel_CPU_Infos::DetectCaches(CCPUThread* thread) {
    if (thread->m_dwMaxStandardLeaf < 2) return;
    CpuidResult descriptors = Cpuid(2);
    // AL: how often leaf 2 must be executed for the whole list; the last
    // execution's registers count.
    for (uint32_t repeat = descriptors.eax & 0xFF; repeat > 1; --repeat) descriptors = Cpuid(2);
    for (uint32_t reg : {descriptors.ebx, descriptors.ecx, descriptors.edx}) {
        if (reg & 0x80000000u) continue;  // not descriptors
        for (unsigned shift : {24u, 16u, 8u, 0u}) AddCacheDescriptor(thread, static_cast<uint8_t>(reg >> shift));
    }
    // EAX holds descriptors too, above its count byte (the Pentium 4 keeps
    // its level-1 data cache there).
    if (!(descriptors.eax & 0x80000000u))
        for (unsigned shift : {24u, 16u, 8u}) AddCacheDescriptor(thread, static_cast<uint8_t>(descriptors.eax >> shift));
}

void Intel_CPU_Infos::AddCacheDescriptor(CCPUThread* thread, uint8_t byte) {
    auto* cache = new CCacheDescriptor;
    cache->m_iDescriptor = byte;
    DecodeCacheDescriptor(cache);
    if (cache->m_iSize != -1 && !thread->FindCacheDescriptor(cache->m_iLevel, cache->m_iType))
        thread->m_pCaches->AddTail(cache);
    else
        delete cache;
}

// ---- Identify ----

int Intel_CPU_Infos::Identify(CCPUThread* thread) {
    switch (thread->m_iExtFamily) {
    case 3:
        SetName(thread, "Intel i386");
        thread->m_dwClassCode = CPU_CLASS_INTEL_I386;
        break;
    case 4:
        SetName(thread, "Intel i486");
        for (const I486Row& row : kI486Models) {
            if (row.model != thread->m_iModel) continue;
            SetName(thread, row.name);
            if (row.codename) FormatString(thread->m_szCodename, sizeof thread->m_szCodename, "%s", row.codename);
        }
        thread->m_dwClassCode = CPU_CLASS_INTEL_I486;
        thread->m_iPackageCode = static_cast<int32_t>(CPU_PACKAGE_SOCKET_196_PGA);
        break;
    case 5:
        SetName(thread, "Intel P5");
        thread->m_dwClassCode = CPU_CLASS_INTEL_P5;
        InstallFamily(thread, IntelP5Creator());
        break;
    case 6: IdentifyFamily6(thread); break;
    case 11: SetName(thread, "Intel Knights Corner"); break;
    case 15:
        SetName(thread, "Intel Netburst");
        thread->m_dwClassCode = CPU_CLASS_INTEL_NETBURST;
        InstallFamily(thread, IntelNetburstCreator());
        break;
    default: break;
    }
    return 1;
}

void Intel_CPU_Infos::IdentifyFamily6(CCPUThread* thread) {
    const IntelFamily6Row* row = FindIntelFamily6Row(thread->m_iExtModel);
    if (!row) return;
    SetName(thread, row->name);
    InstallFamily(thread, row->create);
}
