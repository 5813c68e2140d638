// The logical processor's record, its description slots and queries, its
// MSR and cache lists and its measurements.
#include "sdk/cpu/cpu_thread.h"

#include "platform/sysinfo.h"
#include "platform/threads.h"
#include "platform/vm_probes.h"
#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_counter.h"
#include "sdk/cpu/cpu_infos.h"
#include "sdk/cpu/msr_register.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/timer.h"
#include "sdk/hw/timer_count.h"

namespace {

constexpr uint32_t kApicBaseMsr = 0x1B;  // IA32_APIC_BASE
constexpr uint32_t kApicEnabled = 1u << 11;
constexpr uint32_t kX2ApicEnabled = 1u << 10;
constexpr uint32_t kApicBaseMask = 0xFFFFF000;
constexpr uint32_t kApicPageSize = 4096;
// The performance-counter ticks a time-stamp counter measurement spans.
constexpr double kTSCWindowTicks = 25000.0;

} // namespace

CpuidResult Cpuid(uint32_t leaf, uint32_t subleaf) {
    int regs[4];
    CpuidEx(regs, static_cast<int>(leaf), static_cast<int>(subleaf));
    return {static_cast<uint32_t>(regs[0]), static_cast<uint32_t>(regs[1]), static_cast<uint32_t>(regs[2]),
            static_cast<uint32_t>(regs[3])};
}

int IsCPUIDSupported() {
    static constexpr BYTE kCpuidInstruction[] = {0x0F, 0xA2};
    PROBE_REGISTERS registers{0, 0, 0, 0};
    return ExecuteGuardedInstruction(kCpuidInstruction, sizeof kCpuidInstruction, &registers) == 0 ? 1 : 0;
}

CCPUThread::CCPUThread()
    : m_pMSRs(new CTList<MSR_Register>),
      m_pCaches(new CTList<CCacheDescriptor>),
      m_pIdleTime(new CCounter),
      m_pKernelTime(new CCounter),
      m_pUserTime(new CCounter),
      m_pClockSensor(new CClockSpeedSensor(0)) {
    FormatString(m_szName, sizeof m_szName, "%s", "Unknown Processor");
    GetSDK()->m_pSensors->AddTail(m_pClockSensor);
}

CCPUThread::~CCPUThread() {
    m_pMSRs->DeleteAll();
    delete m_pMSRs;
    m_pCaches->DeleteAll();
    delete m_pCaches;
    delete m_pVendorInfos;
    delete m_pFamilyInfos;
    delete m_pIdleTime;
    delete m_pKernelTime;
    delete m_pUserTime;
}

// ---- Descriptions ----

int CCPUThread::Install(CCPUInfos* infos, uint32_t level, CCPUInfos*& slot) {
    if (!infos || infos->GetLevel() != level) return 0;
    m_dwClassCode = infos->m_dwClassCode;
    delete slot;
    slot = infos;
    infos->Initialize(this);
    infos->DetectCaches(this);
    infos->Identify(this);
    return 1;
}

int CCPUThread::SetVendorInfos(CCPUInfos* infos) { return Install(infos, CPU_INFOS_VENDOR, m_pVendorInfos); }

int CCPUThread::SetFamilyInfos(CCPUInfos* infos) { return Install(infos, CPU_INFOS_FAMILY, m_pFamilyInfos); }

template <typename Ask>
float CCPUThread::AskDescriptions(Ask ask) {
    float answer = -1.0f;
    if (m_pFamilyInfos) {
        answer = ask(m_pFamilyInfos);
        if (answer > 0) return answer;
    }
    return m_pVendorInfos ? ask(m_pVendorInfos) : answer;
}

float CCPUThread::GetMultiplier() {
    return AskDescriptions([this](CCPUInfos* infos) { return infos->GetMultiplier(this); });
}

float CCPUThread::GetTemperature() {
    return AskDescriptions([this](CCPUInfos* infos) { return infos->GetTemperature(this); });
}

float CCPUThread::GetPower() {
    return AskDescriptions([this](CCPUInfos* infos) { return infos->GetPower(this); });
}

float CCPUThread::GetBusClock() {
    return AskDescriptions([this](CCPUInfos* infos) { return infos->GetBusClock(this); });
}

float CCPUThread::GetCoreClock() {
    BRENIKSDK* sdk = GetSDK();
    CTimer* reference = sdk->GetACPITimer();
    if (!reference) reference = sdk->GetPerformanceTimer();
    return AskDescriptions([this, reference](CCPUInfos* infos) { return infos->GetCoreClock(this, reference); });
}

uint32_t CCPUThread::SetCoreEnableMask(uint32_t mask) {
    for (CCPUInfos* infos : {m_pFamilyInfos, m_pVendorInfos})
        if (infos)
            if (const uint32_t applied = infos->SetCoreEnableMask(mask)) return applied;
    return 0;
}

FIDVID_Control* CCPUThread::GetFIDVIDControl() {
    for (CCPUInfos* infos : {m_pFamilyInfos, m_pVendorInfos})
        if (infos && infos->m_pFIDVID) return infos->m_pFIDVID;
    return nullptr;
}

// ---- Registers, caches, samples ----

MSR_Register* CCPUThread::GetMSR(uint32_t index) {
    CTListIterator<MSR_Register> it(m_pMSRs);
    for (MSR_Register* reg = it.GetFirst(); reg; reg = it.GetNext())
        if (reg->m_dwIndex == index) return reg->Read() ? reg : nullptr;
    auto* reg = new MSR_Register(index);
    if (!reg->Read()) {
        delete reg;
        return nullptr;
    }
    m_pMSRs->AddTail(reg);
    return reg;
}

CCacheDescriptor* CCPUThread::FindCacheDescriptor(int32_t level, int32_t type) {
    CTListIterator<CCacheDescriptor> it(m_pCaches);
    for (CCacheDescriptor* cache = it.GetFirst(); cache; cache = it.GetNext())
        if (cache->m_iLevel == level && cache->m_iType == type) return cache;
    return nullptr;
}

namespace {

int32_t FirstSizeOfLevel(CTList<CCacheDescriptor>* caches, int32_t level) {
    CTListIterator<CCacheDescriptor> it(caches);
    for (CCacheDescriptor* cache = it.GetFirst(); cache; cache = it.GetNext())
        if (cache->m_iLevel == level) return cache->m_iSize;
    return 0;
}

} // namespace

int32_t CCPUThread::GetL2Cache() { return FirstSizeOfLevel(m_pCaches, 2); }

int32_t CCPUThread::GetL3Cache() { return FirstSizeOfLevel(m_pCaches, 3); }

void CCPUThread::AddMultiplierSample(float multiplier) {
    if (m_iMultiplierRingIndex >= 0 && m_iMultiplierRingIndex < kMultiplierSamples)
        m_fMultiplierRing[m_iMultiplierRingIndex] = multiplier;
    if (++m_iMultiplierRingIndex >= kMultiplierSamples || m_iMultiplierRingIndex < 0) m_iMultiplierRingIndex = 0;
}

// The platform has SetProcessAffinityMask on every Windows it stands for,
// so it is called directly rather than looked up.
void CCPUThread::BindAndSleep(uint32_t milliseconds) {
    SetProcessAffinityMask(GetCurrentProcess(), DWORD_PTR(1) << (static_cast<uint32_t>(m_iProcessorNumber) & 31));
    Sleep(milliseconds);
}

void CCPUThread::MapLocalAPIC() {
    if (!m_bAPICPresent) return;
    MSR_Register* base = GetMSR(kApicBaseMsr);
    if (!base || !(base->m_dwLow & kApicEnabled)) return;
    if (base->m_dwLow & kX2ApicEnabled) {
        m_bX2APICMode = 1;
        return;
    }
    const uint32_t address = base->m_dwLow & kApicBaseMask;
    BRENIKSDK* sdk = GetSDK();
    m_pLocalAPIC = sdk->FindIOSpace(0, address, IOSPACE_MEMORY);
    if (!m_pLocalAPIC) {
        m_pLocalAPIC = new CMemoryIOSpace(0, address, kApicPageSize);
        sdk->m_pIOSpaces->AddTail(m_pLocalAPIC);
    }
}

// ---- The time-stamp counter ----

// Only the two ends of the window are read, so the wait sleeps through it
// and reads the timer only for any rest: the measurement costs next to no
// processor time, however often the measurement threads repeat it.
float CCPUThread::MeasureTSCClock() {
    CTimer* timer = GetSDK()->GetPerformanceTimer();
    if (!m_pTSC || !timer || timer->m_dFrequency <= 0) return -1.0f;
    const double t0 = m_pTSC->Read();
    vexa::platform::ReferenceCount count = CountAgainst(*timer);
    if (!count.Start() || !count.WaitFor(kTSCWindowTicks, CTimer::kWaitSlackNs)) return -1.0f;
    const double t1 = m_pTSC->Read();
    double span = 0.0;
    if (!count.Elapsed(span) || span <= 0) return -1.0f;
    return static_cast<float>((t1 - t0) * timer->m_dFrequency / span / 1000000.0);
}
