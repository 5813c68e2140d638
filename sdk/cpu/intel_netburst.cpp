#include "sdk/cpu/intel_netburst.h"

#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_package.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/fidvid_intel.h"
#include "sdk/cpu/intel_infos.h"
#include "sdk/cpu/intel_legacy_bodies.h"
#include "sdk/cpu/intel_shared_bodies.h"
#include "sdk/cpu/msr_register.h"

namespace {

constexpr uint32_t kFirstNorthwoodSignature = 0xF13;  // before it, brand IDs 11 and 14 are Xeon MP or Xeon
constexpr uint32_t kMiscEnable2 = 0x1A1;
constexpr float kTjMax = 100.0f;

// The first models' ratio code of MSR 0x2A bits 11:8: 16 to 23, then 8 to 15.
float PowerOnRatio(uint32_t code) { return static_cast<float>(code < 8 ? code + 16 : code); }

// The leaf-2 positions of the caches: the descriptor byte's register and
// shift, and the level and type it stands for.
struct CachePosition {
    int32_t level;
    int32_t type;
    bool inEdx;  // else EAX
    unsigned shift;
    bool shareOnExisting;
};
constexpr CachePosition kData{1, CACHE_DATA, false, 24, false};
constexpr CachePosition kTrace{1, CACHE_TRACE, true, 8, false};
constexpr CachePosition kLevel2{2, CACHE_UNIFIED, true, 16, true};
constexpr CachePosition kLevel3{3, CACHE_UNIFIED, true, 0, true};

} // namespace

CCPUInfos* CreateIntelNetburstInfos() { return new Intel_Netburst_Infos; }

Intel_Netburst_Infos::Intel_Netburst_Infos() : CCPUInfos(CPU_INFOS_FAMILY, CPU_CLASS_INTEL_NETBURST) {}

void Intel_Netburst_Infos::Initialize(CCPUThread* thread) {
    if (HasEnhancedSpeedStep(thread)) {
        m_pFIDVID = new Netburst_FIDVID_Control;
        m_pFIDVID->Refresh();
    }
    const int32_t cores = thread->m_iCoresPerPackage > 0 ? thread->m_iCoresPerPackage : 1;
    m_bHyperThreading = thread->m_iLogicalPerPackage / cores > 1 ? 1 : 0;
    ReadPlatformInfo(thread);
    GetStockClock(thread);
    CacheMSRs(thread, {intel_msr::kMiscEnable});
    if (thread->m_iModel > 5) CacheMSRs(thread, {kMiscEnable2});
    CreateLegacyTemperatureSensor(thread, kTjMax);
}

void Intel_Netburst_Infos::ReadPlatformInfo(CCPUThread* thread) {
    if (const MSR_Register* id = thread->GetMSR(intel_msr::kPlatformId)) {
        const uint64_t value = id->GetValue();
        thread->m_iPlatformId = static_cast<int32_t>(Bits64(value, 52, 50));
        if (thread->m_iModel < 6) thread->m_bMobile = Bits64(value, 50, 50);
        if (thread->m_iModel >= 2) thread->m_bEngineeringSample = Bits64(value, 49, 49) ? 0 : 1;
    }
    const bool beforeNorthwood = static_cast<uint32_t>(thread->m_iSignature) < kFirstNorthwoodSignature;
    switch (thread->m_iBrandId) {
    case 10:
    case 15: m_bCeleron = 1; break;
    case 11:
        m_bXeon = 1;
        if (beforeNorthwood) m_bXeonMP = 1;
        break;
    case 12: m_bXeon = m_bXeonMP = 1; break;
    case 14:
        if (beforeNorthwood) m_bXeon = 1;
        break;
    default: break;
    }
}

void Intel_Netburst_Infos::GetStockClock(CCPUThread* thread) {
    float ratio = -1.0f;
    if (thread->m_iModel < 2) {
        thread->m_iNominalBusClock = 100;
        ratio = GetMultiplier(thread);
    } else {
        const MSR_Register* frequency = thread->GetMSR(intel_legacy_msr::kFrequencyId);
        if (!frequency) return;
        const uint32_t low = frequency->m_dwLow;
        constexpr int32_t kBusClocks[] = {100, 133, 200, 166};
        thread->m_iNominalBusClock = kBusClocks[Bits64(low, 17, 16)];
        if (Bits64(low, 17, 16) == 0 && thread->m_iModel >= 4) thread->m_iNominalBusClock = 266;
        thread->m_fMaxNonTurboMultiplier = static_cast<float>(Bits64(low, 7, 0));
        if (Bits64(low, 15, 8) != 0)
            thread->m_fMinMultiplier = static_cast<float>(static_cast<int32_t>(Bits64(low, 7, 0)) -
                                                          static_cast<int32_t>(Bits64(low, 15, 8)));
        ratio = thread->m_fMaxNonTurboMultiplier;
        if (m_pFIDVID && m_pFIDVID->GetMaxMultiplier() > 0) ratio = m_pFIDVID->GetMaxMultiplier();
    }
    const float bus = GetExactBusClock(thread);
    if (ratio > 0 && bus > 0) thread->m_iStockClock = static_cast<int32_t>(bus * ratio);
}

void Intel_Netburst_Infos::GetBrandStockClock(CCPUThread* thread) {
    static constexpr StockClockText kBrandClocks[] = {
        {"3733MHz", 3733}, {"3.73GHz", 3733}, {"3466MHz", 3466}, {"3.46GHz", 3466}, {"3467MHz", 3466},
        {"3.47GHz", 3466}, {"3200MHz", 3200}, {"3.20GHz", 3200},
    };
    if (const int32_t mhz = StockClockFromText(thread->m_szBrandString, kBrandClocks); mhz > 0)
        thread->m_iStockClock = mhz;
}

void Intel_Netburst_Infos::DetectCaches(CCPUThread* thread) {
    if (thread->m_dwMaxStandardLeaf < 2) return;
    CpuidResult descriptors = Cpuid(2);
    for (uint32_t repeat = descriptors.eax & 0xFF; repeat > 1; --repeat) descriptors = Cpuid(2);
    const int32_t cores = thread->m_iCoresPerPackage > 0 ? thread->m_iCoresPerPackage : 1;
    const int32_t sharing = thread->m_iLogicalPerPackage / cores;
    auto take = [&](const CachePosition& position, int32_t newSharing) {
        const auto byte = static_cast<int32_t>(((position.inEdx ? descriptors.edx : descriptors.eax) >> position.shift) & 0xFF);
        const bool decode = thread->m_pVendorInfos != nullptr;
        if (CCacheDescriptor* existing = thread->FindCacheDescriptor(position.level, position.type)) {
            existing->m_iDescriptor = byte;
            if (decode) DecodeCacheDescriptor(existing);
            if (position.shareOnExisting) existing->m_iSharedBy = sharing;
            return;
        }
        auto* cache = new CCacheDescriptor(position.level, position.type);
        cache->m_iDescriptor = byte;
        cache->m_iSharedBy = newSharing;
        if (decode) DecodeCacheDescriptor(cache);
        if (cache->m_iSize != -1) thread->m_pCaches->AddTail(cache);
        else delete cache;
    };
    take(kData, sharing);
    take(kTrace, 1);
    // The trace cache is shared as the level-1 data cache is.
    CCacheDescriptor* data = thread->FindCacheDescriptor(kData.level, kData.type);
    CCacheDescriptor* trace = thread->FindCacheDescriptor(kTrace.level, kTrace.type);
    if (data && trace) trace->m_iSharedBy = data->m_iSharedBy;
    take(kLevel2, sharing);
    take(kLevel3, sharing);
}

// ---- Measurements ----

float Intel_Netburst_Infos::GetMultiplier(CCPUThread* thread) {
    if (thread->m_iModel >= 2) {
        MSR_Register frequency(intel_legacy_msr::kFrequencyId);
        return frequency.Read() ? static_cast<float>(Bits64(frequency.m_dwLow, 31, 24)) : -1.0f;
    }
    MSR_Register poweron(intel_legacy_msr::kPowerOnConfiguration);
    return poweron.Read() ? PowerOnRatio(Bits64(poweron.m_dwLow, 11, 8)) : -1.0f;
}

float Intel_Netburst_Infos::GetTemperature(CCPUThread* thread) { return IntelDigitalThermalTemperature(thread); }

float Intel_Netburst_Infos::GetBusClock(CCPUThread* thread) { return MeasuredBusClock(thread); }
