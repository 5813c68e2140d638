// The measurement threads and what they measure: every logical
// processor's multiplier, clocks and temperature, the bus clock and the
// processor load.
#include <algorithm>
#include <chrono>
#include <optional>
#include <vector>

#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_counter.h"
#include "sdk/cpu/cpu_interface.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/kmdriver.h"
#include "sdk/hw/timer.h"
#include "sdk/system/dmi_interface.h"
#include "sdk/system/dmi_processor.h"

namespace {

// Holds the library lock and, when there is a driver, its lock for one
// measurement pass; owns() is false when either was busy. Without a
// driver manager there is nothing to share and no driver lock to take.
class MeasurementLocks {
public:
    MeasurementLocks(uint32_t libraryMs, uint32_t driverMs) : m_pSDK(GetSDK()) {
        uint32_t status = 0;
        if (!m_pSDK->Lock(&status, libraryMs)) return;
        m_bLibrary = true;
        m_pDriver = m_pSDK->GetDriver();
        uint32_t error = 0;
        if (m_pDriver && !m_pDriver->bLockDriverHandle(&error, driverMs)) {
            m_pDriver = nullptr;
            return;
        }
        m_bOwned = true;
    }
    ~MeasurementLocks() {
        if (m_bOwned && m_pDriver) m_pDriver->UnlockDriverHandle();
        if (m_bLibrary) m_pSDK->Unlock();
    }
    MeasurementLocks(const MeasurementLocks&) = delete;
    MeasurementLocks& operator=(const MeasurementLocks&) = delete;
    bool owns() const { return m_bOwned; }

private:
    BRENIKSDK* m_pSDK;
    CKMDriver* m_pDriver = nullptr;
    bool m_bLibrary = false;
    bool m_bOwned = false;
};

// The classes whose bus clock the driver cannot measure (no local APIC
// timer at the bus clock), and those whose APIC timer runs at twice it.
constexpr uint32_t kNoDriverBusClock[] = {CPU_CLASS_INTEL_I486, CPU_CLASS_INTEL_P5, CPU_CLASS_INTEL_P6,
                                          CPU_CLASS_AMD_AM486, CPU_CLASS_AMD_K5,    CPU_CLASS_AMD_K6,
                                          CPU_CLASS_VIA_C3,    CPU_CLASS_INTEL_SKYLAKE};
constexpr uint32_t kDoubledDriverBusClock[] = {CPU_CLASS_AMD_K7, CPU_CLASS_AMD_K12, CPU_CLASS_AMD_K14};

// The bus clock beneath a core clock at a multiplier; -1.0 unless both are
// known.
float BusClockAt(float coreClock, float multiplier) {
    return coreClock > 0 && multiplier > 0 ? coreClock / multiplier : -1.0f;
}

template <size_t N>
bool Among(uint32_t classCode, const uint32_t (&classes)[N]) {
    return std::find(std::begin(classes), std::end(classes), ClassWithoutSubcode(classCode)) != std::end(classes);
}

} // namespace

void CCPUInterface::MeasureThread(CCPUThread* thread) {
    thread->m_fMeasuredMultiplier = thread->GetMultiplier();
    thread->AddMultiplierSample(thread->m_fMeasuredMultiplier);
    if (thread->m_fMeasuredMultiplier <= 0) {
        thread->m_fMeasuredCoreClock = thread->GetCoreClock();
        if (thread->m_fMeasuredCoreClock <= 0) thread->m_fMeasuredTSCClock = thread->MeasureTSCClock();
    }
    thread->m_fMeasuredTemperature = thread->GetTemperature();
    thread->GetPower();
}

DWORD CPUThreadIdentifyProc(LPVOID parameter) {
    auto* thread = static_cast<CCPUThread*>(parameter);
    thread->Identify();
    thread->m_fMeasuredCoreClock = thread->GetCoreClock();
    thread->m_fMeasuredMultiplier = thread->GetMultiplier();
    thread->m_fMeasuredTSCClock = thread->MeasureTSCClock();
    thread->m_fMeasuredTemperature = thread->GetTemperature();
    thread->GetPower();
    return 0;
}

DWORD CPUThreadMonitorProc(LPVOID parameter) {
    const auto* job = static_cast<MonitorJob*>(parameter);
    bool firstDone = false;
    while (!job->cpu->StopRequested()) {
        const uint64_t round = job->cpu->PassRound();
        bool measured = false;
        {
            MeasurementLocks locks(CCPUInterface::kLibraryLockMs, CCPUInterface::kDriverLockMs);
            if (locks.owns()) {
                CCPUInterface::MeasureThread(job->thread);
                measured = true;
            }
        }
        if (job->cpu->PauseAfterPass(measured, firstDone, round, CCPUInterface::kThreadPassMs)) break;
    }
    return 0;
}

DWORD CPUInterfaceMonitorProc(LPVOID parameter) {
    auto* cpu = static_cast<CCPUInterface*>(parameter);
    bool firstDone = false;
    while (!cpu->StopRequested()) {
        const uint64_t round = cpu->PassRound();
        bool measured = false;
        {
            MeasurementLocks locks(CCPUInterface::kLibraryLockMs, CCPUInterface::kBusClockDriverLockMs);
            if (locks.owns()) {
                cpu->MeasureBusClock();
                measured = true;
            }
        }
        cpu->MeasureLoad();
        if (cpu->PauseAfterPass(measured, firstDone, round, CCPUInterface::kBusClockPassMs)) break;
    }
    return 0;
}

// ---- First passes ----

void FirstPassSignal::Expect(size_t threads) {
    std::lock_guard lock(m_Mutex);
    m_Pending = threads;
}

void FirstPassSignal::Completed() {
    {
        std::lock_guard lock(m_Mutex);
        if (m_Pending > 0) --m_Pending;
    }
    m_Changed.notify_all();
}

uint64_t FirstPassSignal::Round() {
    std::lock_guard lock(m_Mutex);
    return m_Round;
}

void FirstPassSignal::Pause(uint64_t round, uint32_t ms) {
    std::unique_lock lock(m_Mutex);
    m_Changed.wait_for(lock, std::chrono::milliseconds(ms), [&] { return m_Round != round; });
}

void FirstPassSignal::Retry() {
    {
        std::lock_guard lock(m_Mutex);
        ++m_Round;
    }
    m_Changed.notify_all();
}

bool FirstPassSignal::WaitForAll(uint32_t ms) {
    std::unique_lock lock(m_Mutex);
    return m_Changed.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_Pending == 0; });
}

bool CCPUInterface::WaitForFirstPasses(uint32_t ms) {
    m_FirstPasses.Retry();
    return m_FirstPasses.WaitForAll(ms);
}

bool CCPUInterface::PauseAfterPass(bool measured, bool& firstDone, uint64_t round, uint32_t ms) {
    if (measured && !firstDone) {
        firstDone = true;
        m_FirstPasses.Completed();
    }
    if (firstDone) return WaitUnlessStopped(ms);
    m_FirstPasses.Pause(round, ms);
    return StopRequested();
}

// ---- Bus clock ----

float CCPUInterface::MeasureBusClock() {
    CCPUThread* thread = CTListIterator<CCPUThread>(m_pThreads).GetFirst();
    if (!thread) return -1.0f;
    float clock = -1.0f;
    if (m_dwFlags & CPU_INTERFACE_BUS_CLOCK_BY_DRIVER) clock = MeasureBusClockByDriver();
    if (clock <= 0) clock = thread->GetBusClock();
    // The multiplier is read once a pass, by the first source that needs it.
    std::optional<float> multiplier;
    auto readMultiplier = [&] {
        if (!multiplier) multiplier = thread->GetMultiplier();
        return *multiplier;
    };
    // The multiplier first: without it the clocks are not worth measuring.
    if (clock <= 0 && readMultiplier() > 0) {
        clock = BusClockAt(thread->GetCoreClock(), *multiplier);
        if (clock <= 0) clock = BusClockAt(thread->MeasureTSCClock(), *multiplier);
    }
    if (clock <= 0) {
        CDMIInterface* dmi = GetSDK()->m_pDMI;
        auto* record = dmi ? static_cast<CDMI_Processor*>(dmi->GetStructure(DMI_TYPE_PROCESSOR)) : nullptr;
        if (record && record->m_fExternalClock > 0) clock = record->m_fExternalClock;
        else if (record && record->m_fCurrentSpeed > 0) clock = BusClockAt(record->m_fCurrentSpeed, readMultiplier());
    }
    m_fBusClock = clock;
    return clock;
}

float CCPUInterface::MeasureBusClockByDriver() {
    CCPUThread* thread = CTListIterator<CCPUThread>(m_pThreads).GetFirst();
    if (!thread || Among(thread->m_dwClassCode, kNoDriverBusClock)) return -1.0f;
    BRENIKSDK* sdk = GetSDK();
    auto* timer = dynamic_cast<CACPITimer*>(sdk->GetACPITimer());
    CKMDriver* driver = sdk->GetDriver();
    if (!timer || !timer->m_pPortSpace || !driver) return -1.0f;
    const uint32_t port = timer->m_pPortSpace->GetBaseLow();
    float clock;
    if (thread->m_bX2APICMode) {
        clock = driver->MeasureBusClock(timer->m_dFrequency, port);
    } else {
        if (!thread->m_pLocalAPIC) return -1.0f;
        clock = driver->MeasureBusClockEx(timer->m_dFrequency, port, thread->m_pLocalAPIC->GetBaseLow());
    }
    if (clock > 0 && Among(thread->m_dwClassCode, kDoubledDriverBusClock)) clock /= 2.0f;
    return clock;
}

// ---- Load ----

// The processor times come outside the locks; the counters and sensors
// are written under the library lock (the pass is skipped when it is
// busy), because the refresh reads them and the root's sensor list under
// that lock.
void CCPUInterface::MeasureLoad() {
    if (!m_pNtQuerySystemInformation) return;
    constexpr ULONG kRecordSize = sizeof(SYSTEM_PROCESSOR_PERFORMANCE_INFORMATION);
    const uint32_t count = m_pThreads->GetCount();
    if (count == 0) return;
    std::vector<SYSTEM_PROCESSOR_PERFORMANCE_INFORMATION> records(count);
    ULONG returned = 0;
    if (m_pNtQuerySystemInformation(SystemProcessorPerformanceInformation, records.data(),
                                    static_cast<ULONG>(count * kRecordSize), &returned) != STATUS_SUCCESS)
        return;
    const size_t filled = std::min<size_t>(count, returned / kRecordSize);
    BRENIKSDK* sdk = GetSDK();
    uint32_t status = 0;
    if (!sdk->Lock(&status, kLibraryLockMs)) return;
    CTListIterator<CCPUThread> it(m_pThreads);
    size_t i = 0;
    for (CCPUThread* thread = it.GetFirst(); thread && i < filled; thread = it.GetNext(), ++i) {
        const SYSTEM_PROCESSOR_PERFORMANCE_INFORMATION& record = records[i];
        thread->m_pIdleTime->Update(static_cast<double>(record.IdleTime.QuadPart));
        thread->m_pKernelTime->Update(static_cast<double>(record.KernelTime.QuadPart));
        thread->m_pUserTime->Update(static_cast<double>(record.UserTime.QuadPart));
        if (!thread->m_pLoadSensor) {
            thread->m_pLoadSensor = new CUtilizationSensor(0);
            sdk->m_pSensors->AddTail(thread->m_pLoadSensor);
        }
        const float busy = thread->m_pKernelTime->m_fLastDelta + thread->m_pUserTime->m_fLastDelta;
        const float load = (busy - thread->m_pIdleTime->m_fLastDelta) * 100.0f / (busy + 0.001f);
        thread->m_pLoadSensor->SetValue(std::clamp(load, 0.0f, 100.0f), 1);
    }
    sdk->Unlock();
}
