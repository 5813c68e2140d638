#include "sdk/cpu/ia64_infos.h"

#include "sdk/core/helpers.h"
#include "sdk/core/list.h"
#include "sdk/core/report_generator.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/ia64_cpu_thread.h"
#include "sdk/cpu/pal_procedure.h"

namespace {

constexpr uint64_t kCallingProcessor = ~0ull;
constexpr uint32_t kVersionRegister = 3;
constexpr uint64_t kInstructionCache = 1;
constexpr uint64_t kDataOrUnifiedCache = 2;
constexpr int32_t kFullyAssociativeWays = 255;

enum IA64Family : int32_t {
    kFamilyItanium = 7,
    kFamilyItanium2 = 31,
    kFamilyDualCoreItanium2 = 32,
};

uint32_t Bits(uint64_t value, unsigned high, unsigned low) {
    return static_cast<uint32_t>((value >> low) & ((1ull << (high - low + 1)) - 1));
}

IA64_CPUThread* IA64Thread(CCPUThread* thread) { return dynamic_cast<IA64_CPUThread*>(thread); }

PAL_Procedure* CallPAL(CCPUThread* thread, uint64_t procedure, uint64_t a1 = 0, uint64_t a2 = 0, uint64_t a3 = 0) {
    IA64_CPUThread* ia64 = IA64Thread(thread);
    return ia64 ? ia64->CallPAL(procedure, a1, a2, a3) : nullptr;
}

// The smallest n with 2^n >= count; 0 for a count of 1 or less.
uint32_t FieldWidth(uint32_t count) {
    uint32_t width = 0;
    while (width < 32 && (1ull << width) < count) ++width;
    return width;
}

// One cache of a level as the PAL describes it, taken from the thread or
// created there.
void DescribeCache(CCPUThread* thread, uint64_t level, uint64_t palType) {
    const PAL_Procedure* info = CallPAL(thread, PAL_CACHE_INFO, level - 1, palType);
    if (!info) return;
    const uint64_t config = info->m_qwResults[1];
    const int32_t type = palType == kInstructionCache ? CACHE_INSTRUCTION : (config & 1) ? CACHE_UNIFIED : CACHE_DATA;
    const auto level32 = static_cast<int32_t>(level);
    CCacheDescriptor* cache = thread->FindCacheDescriptor(level32, type);
    if (!cache) {
        cache = new CCacheDescriptor(level32, type);
        thread->m_pCaches->AddTail(cache);
    }
    cache->m_iSize = static_cast<int32_t>(Bits(info->m_qwResults[2], 31, 0) >> 10);
    const auto ways = static_cast<int32_t>(Bits(config, 15, 8));
    cache->m_iWays = ways == 0 ? kFullyAssociativeWays : ways;
    cache->m_iLineSize = 1 << (Bits(config, 23, 16) & 31);
    if (const PAL_Procedure* shared = CallPAL(thread, PAL_CACHE_SHARED_INFO, level - 1, palType))
        cache->m_iSharedBy = static_cast<int32_t>(Bits(shared->m_qwResults[1], 31, 0));
}

} // namespace

CCPUInfos* CreateIntelIA64Infos() { return new Intel_IA64_CPU_Infos; }

Intel_IA64_CPU_Infos::Intel_IA64_CPU_Infos() : CCPUInfos(CPU_INFOS_VENDOR, kIntelIA64Class) {}

void Intel_IA64_CPU_Infos::Initialize(CCPUThread* thread) {
    uint64_t version = 0;
    IA64_CPUThread* ia64 = IA64Thread(thread);
    if (ia64 && ia64->GetCPUIDRegister(kVersionRegister, version)) {
        thread->m_iFamily = static_cast<int32_t>(Bits(version, 31, 24));
        thread->m_iModel = static_cast<int32_t>(Bits(version, 23, 16));
        thread->m_iStepping = static_cast<int32_t>(Bits(version, 15, 8));
        m_iArchitectureRevision = static_cast<int32_t>(Bits(version, 39, 32));
    }
    if (const PAL_Procedure* pal = CallPAL(thread, PAL_VERSION)) {
        m_iPALBVersion = static_cast<int32_t>(Bits(pal->m_qwResults[2], 15, 0));
        m_iPALAVersion = static_cast<int32_t>(Bits(pal->m_qwResults[2], 47, 32));
        m_iPALVendor = static_cast<int32_t>(Bits(pal->m_qwResults[2], 31, 24));
    }
    CallPAL(thread, PAL_FIXED_ADDR);  // listed in the thread's dump
    const PAL_Procedure* topology = CallPAL(thread, PAL_LOGICAL_TO_PHYSICAL, kCallingProcessor);
    if (!topology) return;
    const uint64_t placement = topology->m_qwResults[1];
    const uint64_t ids = topology->m_qwResults[2];
    const uint32_t threadsPerCore = Bits(placement, 23, 16);
    const uint32_t coresPerPackage = Bits(placement, 39, 32);
    thread->m_iCoresPerPackage = static_cast<int32_t>(coresPerPackage);
    thread->m_iLogicalPerPackage = static_cast<int32_t>(coresPerPackage * threadsPerCore);
    const uint64_t apicId = uint64_t(Bits(ids, 7, 0)) + (uint64_t(Bits(ids, 39, 32)) << FieldWidth(threadsPerCore)) +
                            (uint64_t(Bits(placement, 55, 48)) << FieldWidth(coresPerPackage * threadsPerCore));
    thread->m_iApicId = static_cast<int32_t>(apicId);
}

void Intel_IA64_CPU_Infos::DetectCaches(CCPUThread* thread) {
    const PAL_Procedure* summary = CallPAL(thread, PAL_CACHE_SUMMARY);
    if (!summary) return;
    const auto levels = static_cast<int32_t>(summary->m_qwResults[1]);
    for (int32_t level = 1; level <= levels; ++level) {
        DescribeCache(thread, static_cast<uint64_t>(level), kInstructionCache);
        DescribeCache(thread, static_cast<uint64_t>(level), kDataOrUnifiedCache);
    }
}

int Intel_IA64_CPU_Infos::Identify(CCPUThread* thread) {
    const char* name = nullptr;
    uint32_t classCode = 0;
    CCPUInfos* family = nullptr;
    switch (thread->m_iFamily) {
    case kFamilyItanium:
        name = "Intel Itanium";
        classCode = kIntelItaniumClass;
        family = new Intel_Itanium_Infos;
        break;
    case kFamilyItanium2:
    case kFamilyDualCoreItanium2:
        name = "Intel Itanium 2";
        classCode = kIntelItanium2Class;
        family = new Intel_Itanium_2_Infos;
        break;
    default: return 1;
    }
    FormatString(thread->m_szName, sizeof thread->m_szName, "%s", name);
    thread->m_dwClassCode = classCode;
    thread->SetFamilyInfos(family);
    return 1;
}

float Intel_IA64_CPU_Infos::GetMultiplier(CCPUThread* thread) {
    const PAL_Procedure* ratios = CallPAL(thread, PAL_FREQ_RATIOS);
    if (!ratios) return -1.0f;
    const auto numerator = static_cast<int32_t>(Bits(ratios->m_qwResults[1], 63, 32));
    const uint32_t denominator = Bits(ratios->m_qwResults[1], 31, 0);
    if (denominator == 0) return -1.0f;
    return static_cast<float>(static_cast<double>(numerator) / static_cast<double>(denominator));
}

void Intel_IA64_CPU_Infos::DumpRegisters(CReportGenerator* report) {
    if (!report) return;
    if (m_iArchitectureRevision != -1)
        report->PrintField("\tArchitecture Revision", "\t", "%d", m_iArchitectureRevision);
    const struct {
        const char* label;
        int32_t version;
    } versions[] = {{"\tPAL A Version", m_iPALAVersion}, {"\tPAL B Version", m_iPALBVersion}};
    for (const auto& line : versions)
        if (line.version != -1) report->PrintField(line.label, "\t\t", "%X.%X", (line.version >> 8) & 0xFF, line.version & 0xFF);
    if (m_iPALVendor != -1) report->PrintField("\tPAL Vendor", "\t\t", "%X", m_iPALVendor);
}
