#include "sdk/cpu/cpu_package.h"

#include <algorithm>
#include <iterator>

#include "sdk/core/helpers.h"
#include "sdk/core/sensor.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_core.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/fidvid_control.h"

CProcessor::CProcessor(int32_t index, int32_t packageId)
    : CCompositeDevice(DEVICE_PROCESSOR),
      m_iIndex(index),
      m_iPackageId(packageId),
      m_pCores(new CTList<CCPUCore>),
      m_pThreads(new CTList<CCPUThread>),
      m_pCaches(new CTList<CCacheDescriptor>) {}

CProcessor::~CProcessor() {
    delete m_pCores;
    delete m_pThreads;
    delete m_pCaches;
}

int32_t CProcessor::GetCoreCount() const { return static_cast<int32_t>(m_pCores->GetCount()); }

int32_t CProcessor::GetThreadCount() const { return static_cast<int32_t>(m_pThreads->GetCount()); }

CCPUThread* CProcessor::GetFirstThread() {
    if (!m_pFirstThread) m_pFirstThread = CTListIterator<CCPUThread>(m_pThreads).GetFirst();
    return m_pFirstThread;
}

CCPUCore* CProcessor::GetCore(int32_t i) const {
    if (i < 0) return nullptr;
    CTListIterator<CCPUCore> it(m_pCores);
    CCPUCore* core = it.GetFirst();
    for (int32_t n = 0; core && n < i; ++n) core = it.GetNext();
    return core;
}

CCPUCore* CProcessor::FindCoreById(int32_t coreId) const {
    CTListIterator<CCPUCore> it(m_pCores);
    for (CCPUCore* core = it.GetFirst(); core; core = it.GetNext())
        if (core->m_iCoreId == coreId) return core;
    return nullptr;
}

CCacheDescriptor* CProcessor::FindCache(int32_t level, int32_t type) const {
    CTListIterator<CCacheDescriptor> it(m_pCaches);
    for (CCacheDescriptor* cache = it.GetFirst(); cache; cache = it.GetNext())
        if (cache->m_iLevel == level && cache->m_iType == type) return cache;
    return nullptr;
}

int32_t CProcessor::CountCaches(int32_t level, int32_t type) const {
    int32_t count = 0;
    CTListIterator<CCacheDescriptor> it(m_pCaches);
    for (CCacheDescriptor* cache = it.GetFirst(); cache; cache = it.GetNext())
        if (cache->m_iLevel == level && cache->m_iType == type) ++count;
    return count;
}

// ---- The first logical processor's values ----

namespace {

// The first logical processor's value, or the getter's unknown value.
template <typename T, typename Read>
T FromFirst(CProcessor* processor, T unknown, Read read) {
    CCPUThread* thread = processor->GetFirstThread();
    return thread ? read(*thread) : unknown;
}

} // namespace

int32_t CProcessor::GetMaxCoreCount() {
    return FromFirst(this, -1, [](CCPUThread& t) { return t.m_iCoresPerPackage; });
}
int32_t CProcessor::GetMaxThreadCount() {
    return FromFirst(this, -1, [](CCPUThread& t) { return t.m_iLogicalPerPackage; });
}
const char* CProcessor::GetName() {
    return FromFirst<const char*>(this, "", [](CCPUThread& t) { return t.m_szName; });
}
const char* CProcessor::GetCodename() {
    return FromFirst<const char*>(this, "", [](CCPUThread& t) { return t.m_szCodename; });
}
const char* CProcessor::GetSpecification() {
    return FromFirst<const char*>(this, "", [](CCPUThread& t) { return t.m_szBrandString; });
}
const char* CProcessor::GetMaskedName() {
    return FromFirst<const char*>(this, "", [](CCPUThread& t) { return t.m_szMaskedName; });
}
const char* CProcessor::GetMaskedCodename() {
    return FromFirst<const char*>(this, "", [](CCPUThread& t) { return t.m_szMaskedCodename; });
}
const char* CProcessor::GetCoreSteppingText() {
    return FromFirst<const char*>(this, "", [](CCPUThread& t) { return t.m_szCoreStepping; });
}
int32_t CProcessor::GetClassCode() {
    return FromFirst(this, -1, [](CCPUThread& t) { return static_cast<int32_t>(t.m_dwClassCode); });
}
int CProcessor::HasClassFlags(uint32_t mask) {
    return FromFirst(this, 0, [mask](CCPUThread& t) { return (t.m_dwClassCode & mask) == mask ? 1 : 0; });
}
int32_t CProcessor::GetMicrocodeRevision() {
    return FromFirst(this, -1, [](CCPUThread& t) { return t.m_iMicrocodeRevision; });
}
int CProcessor::IsEngineeringSample() {
    return FromFirst(this, 0, [](CCPUThread& t) { return static_cast<int>(t.m_bEngineeringSample); });
}
float CProcessor::GetTechnology() {
    return FromFirst(this, -1.0f, [](CCPUThread& t) { return t.m_fTechnology; });
}
int32_t CProcessor::GetBrandID() {
    return FromFirst(this, -1, [](CCPUThread& t) { return t.m_iBrandId; });
}
int32_t CProcessor::GetFamily() {
    return FromFirst(this, -1, [](CCPUThread& t) { return t.m_iFamily; });
}
int32_t CProcessor::GetModel() {
    return FromFirst(this, -1, [](CCPUThread& t) { return t.m_iModel; });
}
int32_t CProcessor::GetStepping() {
    return FromFirst(this, -1, [](CCPUThread& t) { return t.m_iStepping; });
}
int32_t CProcessor::GetExtFamily() {
    return FromFirst(this, -1, [](CCPUThread& t) { return t.m_iExtFamily; });
}
int32_t CProcessor::GetExtModel() {
    return FromFirst(this, -1, [](CCPUThread& t) { return t.m_iExtModel; });
}
float CProcessor::GetTDP() {
    return FromFirst(this, -1.0f, [](CCPUThread& t) { return t.m_fTDP; });
}
float CProcessor::GetTjMax() {
    return FromFirst(this, -1.0f, [](CCPUThread& t) { return t.m_fTjMax; });
}
int32_t CProcessor::GetStockClock() {
    return FromFirst(this, -1, [](CCPUThread& t) { return t.m_iStockClock; });
}
int CProcessor::HasInstructionSet(int32_t index) {
    return FromFirst(this, 0, [index](CCPUThread& t) { return t.HasInstructionSet(index); });
}
float CProcessor::GetRatedBusClock() {
    return FromFirst(this, -1.0f, [this](CCPUThread& t) {
        return t.m_iLinkMultiplier != -1 && m_fBusClock > 0 ? static_cast<float>(t.m_iLinkMultiplier) * m_fBusClock
                                                           : -1.0f;
    });
}
uint32_t CProcessor::SetCoreEnableMask(uint32_t mask) {
    return FromFirst(this, 0u, [mask](CCPUThread& t) { return t.SetCoreEnableMask(mask); });
}

const char* CProcessor::GetPackageName() {
    if (m_szPackageName[0]) return m_szPackageName;
    CCPUThread* thread = GetFirstThread();
    const char* name = thread ? PackageCodeName(thread->m_iPackageCode) : nullptr;
    if (name) FormatString(m_szPackageName, sizeof m_szPackageName, "%s", name);
    return m_szPackageName;
}

// ---- Cores ----

float CProcessor::GetCoreClock(int32_t i) const {
    const CCPUCore* core = GetCore(i);
    return core ? core->m_fClock : -1.0f;
}

float CProcessor::GetCoreMultiplier(int32_t i) const {
    const CCPUCore* core = GetCore(i);
    return core ? core->m_fMultiplier : -1.0f;
}

float CProcessor::GetCoreMaxMultiplier(int32_t i) const {
    const CCPUCore* core = GetCore(i);
    CCPUThread* thread = core ? core->GetFirstThread() : nullptr;
    if (!thread) return -1.0f;
    if (thread->m_fMaxMultiplier > 0) return thread->m_fMaxMultiplier;
    if (thread->m_fMaxNonTurboMultiplier > 0) return thread->m_fMaxNonTurboMultiplier;
    FIDVID_Control* control = thread->GetFIDVIDControl();
    return control ? control->GetMaxMultiplier() : -1.0f;
}

float CProcessor::GetCoreMinMultiplier(int32_t i) const {
    const CCPUCore* core = GetCore(i);
    CCPUThread* thread = core ? core->GetFirstThread() : nullptr;
    if (!thread) return -1.0f;
    if (thread->m_fMinMultiplier > 0) return thread->m_fMinMultiplier;
    FIDVID_Control* control = thread->GetFIDVIDControl();
    return control ? control->GetMinMultiplier() : -1.0f;
}

// A logical processor without a load sensor yet (no processor times have
// been read) adds nothing to the mean; with none at all the package's load
// stays as it was.
void CProcessor::UpdateClocks() {
    CTListIterator<CCPUCore> cores(m_pCores);
    for (CCPUCore* core = cores.GetFirst(); core; core = cores.GetNext()) {
        core->m_fBusClock = m_fBusClock;
        core->Update();
    }
    if (!m_pLoadSensor) return;
    float sum = 0.0f;
    int measured = 0;
    CTListIterator<CCPUThread> threads(m_pThreads);
    for (CCPUThread* thread = threads.GetFirst(); thread; thread = threads.GetNext()) {
        if (!thread->m_pLoadSensor) continue;
        sum += thread->m_pLoadSensor->m_fValue;
        ++measured;
    }
    if (measured > 0) m_pLoadSensor->SetValue(std::clamp(sum / static_cast<float>(measured), 0.0f, 100.0f), 1);
}

float GetExactBusClock(CCPUThread* thread) {
    struct Nominal {
        int32_t mhz;
        float exact;
    };
    static constexpr Nominal kClocks[] = {{25, 25.0f},    {33, 33.34f},   {50, 50.0f},    {66, 66.67f},
                                          {80, 80.0f},    {83, 83.34f},   {100, 100.0f},  {116, 116.67f},
                                          {133, 133.34f}, {166, 166.67f}, {200, 200.0f},  {266, 266.67f},
                                          {333, 333.34f}, {400, 400.0f}};
    if (!thread) return -1.0f;
    for (const Nominal& clock : kClocks)
        if (clock.mhz == thread->m_iNominalBusClock) return clock.exact;
    return -1.0f;
}
