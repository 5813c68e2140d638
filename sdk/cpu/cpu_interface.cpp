// The processor interface's life: identification of the logical
// processors on pinned threads, the measurement threads, and the lists.
#include "sdk/cpu/cpu_interface.h"

#include <algorithm>
#include <chrono>

#include "platform/modules.h"
#include "platform/processor_groups.h"
#include "platform/sync.h"
#include "platform/sysinfo.h"
#include "platform/threads.h"
#include "sdk/core/sdk.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_core.h"
#include "sdk/cpu/cpu_package.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/ia64_cpu_thread.h"
#include "sdk/hw/timer.h"

namespace {

constexpr uint32_t kMaxProcessorGroups = 64;

// The processor-group functions of kernel32 (Windows 7 on), by name.
using GetActiveProcessorGroupCountFunction = decltype(&GetActiveProcessorGroupCount);
using GetActiveProcessorCountFunction = decltype(&GetActiveProcessorCount);
using GetThreadGroupAffinityFunction = decltype(&GetThreadGroupAffinity);
using SetThreadGroupAffinityFunction = decltype(&SetThreadGroupAffinity);

} // namespace

// ---- StopSignal ----

void StopSignal::Set() {
    {
        std::lock_guard lock(m_Mutex);
        m_bSet = true;
    }
    m_Changed.notify_all();
}

bool StopSignal::IsSet() {
    std::lock_guard lock(m_Mutex);
    return m_bSet;
}

bool StopSignal::WaitFor(uint32_t ms) {
    std::unique_lock lock(m_Mutex);
    return m_Changed.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_bSet; });
}

// ---- Life cycle ----

CCPUInterface::CCPUInterface(uint32_t flags)
    : CInterface(INTERFACE_CPU),
      m_dwFlags(flags),
      m_pProcessors(new CTList<CProcessor>),
      m_pCores(new CTList<CCPUCore>),
      m_pThreads(new CTList<CCPUThread>) {}

CCPUInterface::~CCPUInterface() {
    Close();  // the threads use the lists below
    m_pThreads->DeleteAll();
    delete m_pThreads;
    m_pCores->DeleteAll();
    delete m_pCores;
    delete m_pProcessors;
    delete[] m_pPowerNowHeader;
    delete[] m_pPowerNowPairs;
}

CCPUThread* CCPUInterface::CreateThreadObject(uint16_t architecture) {
    switch (architecture) {
    case 0:
    case 2:
    case 9:
    case 10: return new CCPUThread;
    case PROCESSOR_ARCHITECTURE_IA64: return new IA64_CPUThread;
    default: return nullptr;
    }
}

void CCPUInterface::CreateTimers() {
    BRENIKSDK* sdk = GetSDK();
    if (!sdk->GetPerformanceTimer()) sdk->m_pTimers->AddTail(new CWin32PerformanceTimer);
    if (!sdk->GetSystemTimer()) sdk->m_pTimers->AddTail(new CWin32SystemTimer);
}

bool CCPUInterface::Pin(HANDLE thread, const Placement& placement) {
    if (!m_bGroupMode) return SetThreadAffinityMask(thread, DWORD_PTR(1) << placement.bit) != 0;
    auto getAffinity = reinterpret_cast<GetThreadGroupAffinityFunction>(m_pGetThreadGroupAffinity);
    auto setAffinity = reinterpret_cast<SetThreadGroupAffinityFunction>(m_pSetThreadGroupAffinity);
    GROUP_AFFINITY affinity {};
    getAffinity(thread, &affinity);
    affinity.Mask = DWORD_PTR(1) << placement.bit;
    affinity.Group = placement.group;
    setAffinity(thread, &affinity, nullptr);
    return getAffinity(thread, &affinity) != FALSE;
}

std::optional<CCPUInterface::GroupMask> CCPUInterface::SaveCallerGroup() {
    auto getAffinity = reinterpret_cast<GetThreadGroupAffinityFunction>(m_pGetThreadGroupAffinity);
    GROUP_AFFINITY affinity {};
    if (!getAffinity || !getAffinity(GetCurrentThread(), &affinity)) return std::nullopt;
    return GroupMask{affinity.Group, affinity.Mask};
}

void CCPUInterface::RestoreCallerGroup(const GroupMask& saved) {
    auto setAffinity = reinterpret_cast<SetThreadGroupAffinityFunction>(m_pSetThreadGroupAffinity);
    GROUP_AFFINITY affinity {};
    affinity.Group = saved.group;
    affinity.Mask = saved.mask;
    if (setAffinity) setAffinity(GetCurrentThread(), &affinity, nullptr);
}

void CCPUInterface::EnumerateGrouped(uint16_t architecture, std::vector<HANDLE>& identification) {
    HMODULE kernel32 = LoadLibraryA("kernel32.dll");
    auto groupCount = vexa::platform::lookup<GetActiveProcessorGroupCountFunction>(kernel32, "GetActiveProcessorGroupCount");
    auto processorCount = vexa::platform::lookup<GetActiveProcessorCountFunction>(kernel32, "GetActiveProcessorCount");
    const uint32_t groups = std::min<uint32_t>(groupCount() & 0xFFFF, kMaxProcessorGroups);
    m_iThreadCount = 0;
    for (uint32_t group = 0; group < groups; ++group) {
        const DWORD count = std::min<DWORD>(processorCount(static_cast<WORD>(group)), 64);
        for (uint32_t bit = 0; bit < count; ++bit) {
            CCPUThread* thread = CreateThreadObject(architecture);
            ++m_iThreadCount;
            if (!thread) continue;
            const Placement placement{static_cast<uint16_t>(group), bit};
            HANDLE handle = CreateThread(nullptr, 0, CPUThreadIdentifyProc, thread, CREATE_SUSPENDED, nullptr);
            if (handle) {
                if (Pin(handle, placement)) thread->m_iProcessorNumber = static_cast<int32_t>(bit);
                SetThreadPriority(handle, THREAD_PRIORITY_NORMAL);
            }
            identification.push_back(handle);
            m_pThreads->AddTail(thread);
            m_Placements.push_back(placement);
        }
    }
    FreeLibrary(kernel32);
}

void CCPUInterface::EnumerateUngrouped(uint16_t architecture, std::vector<HANDLE>& identification) {
    DWORD_PTR processMask = 0, systemMask = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &processMask, &systemMask))
        SetProcessAffinityMask(GetCurrentProcess(), systemMask);
    const uint32_t count = std::min<uint32_t>(static_cast<uint32_t>(m_iThreadCount), kMaxUngroupedProcessors);
    for (uint32_t i = 0; i < count; ++i) {
        CCPUThread* thread = CreateThreadObject(architecture);
        if (!thread) continue;
        thread->m_iApicId = static_cast<int32_t>(i);
        thread->m_iProcessorNumber = static_cast<int32_t>(i);
        const Placement placement{0, i};
        HANDLE handle = CreateThread(nullptr, 0, CPUThreadIdentifyProc, thread, CREATE_SUSPENDED, nullptr);
        if (handle) {
            Pin(handle, placement);
            SetThreadPriority(handle, THREAD_PRIORITY_NORMAL);
        }
        identification.push_back(handle);
        m_pThreads->AddTail(thread);
        m_Placements.push_back(placement);
    }
}

int CCPUInterface::Init() {
    if (HMODULE ntdll = LoadLibraryA("NtDll.dll"))
        m_pNtQuerySystemInformation =
            vexa::platform::lookup<decltype(m_pNtQuerySystemInformation)>(ntdll, "NtQuerySystemInformation");

    HMODULE kernel32 = LoadLibraryA("kernel32.dll");
    auto nativeSystemInfo = vexa::platform::lookup<void (*)(SYSTEM_INFO*)>(kernel32, "GetNativeSystemInfo");
    const bool groupCounts = vexa::platform::lookup<void*>(kernel32, "GetActiveProcessorGroupCount") &&
                             vexa::platform::lookup<void*>(kernel32, "GetActiveProcessorCount");
    m_pGetThreadGroupAffinity = vexa::platform::lookup<void*>(kernel32, "GetThreadGroupAffinity");
    m_pSetThreadGroupAffinity = vexa::platform::lookup<void*>(kernel32, "SetThreadGroupAffinity");
    SYSTEM_INFO info {};
    GetSystemInfo(&info);
    if (nativeSystemInfo) nativeSystemInfo(&info);
    m_iThreadCount = static_cast<int32_t>(info.dwNumberOfProcessors);
    CreateTimers();

    // Identification, one logical processor at a time.
    m_bGroupMode = groupCounts && m_pGetThreadGroupAffinity && m_pSetThreadGroupAffinity;
    std::vector<HANDLE> identification;
    if (m_bGroupMode) EnumerateGrouped(info.wProcessorArchitecture, identification);
    else EnumerateUngrouped(info.wProcessorArchitecture, identification);
    if (kernel32) FreeLibrary(kernel32);
    for (HANDLE handle : identification) {
        if (!handle) continue;
        ResumeThread(handle);
        WaitForSingleObject(handle, INFINITE);  // identification is bounded
        CloseHandle(handle);
    }

    BuildTopology();
    GivePowerNowTable();
    StartMeasurementThreads();
    return 1;
}

void CCPUInterface::StartMeasurementThreads() {
    m_hBusClockThread = CreateThread(nullptr, 0, CPUInterfaceMonitorProc, this, CREATE_SUSPENDED, nullptr);
    if (m_hBusClockThread) {
        Pin(m_hBusClockThread, Placement{0, 0});
        SetThreadPriority(m_hBusClockThread, THREAD_PRIORITY_TIME_CRITICAL);
    }
    m_MonitorJobs.reserve(m_pThreads->GetCount());  // the threads keep pointers into it
    CTListIterator<CCPUThread> it(m_pThreads);
    size_t position = 0;
    for (CCPUThread* thread = it.GetFirst(); thread; thread = it.GetNext(), ++position) {
        m_MonitorJobs.push_back(MonitorJob{this, thread});
        HANDLE handle = CreateThread(nullptr, 0, CPUThreadMonitorProc, &m_MonitorJobs.back(), CREATE_SUSPENDED, nullptr);
        if (handle) {
            Pin(handle, m_Placements[position]);
            SetThreadPriority(handle, THREAD_PRIORITY_NORMAL);
        }
        m_MonitorThreads.push_back(handle);
    }
    m_FirstPasses.Expect(size_t(m_hBusClockThread != nullptr) +
                         size_t(std::count_if(m_MonitorThreads.begin(), m_MonitorThreads.end(),
                                              [](HANDLE handle) { return handle != nullptr; })));
    if (m_hBusClockThread) ResumeThread(m_hBusClockThread);
    for (HANDLE handle : m_MonitorThreads)
        if (handle) ResumeThread(handle);
}

// Every pass of the measurement threads is bounded (lock timeouts,
// measurement windows) and every pause ends at the stop signal, so the
// waits below end within one pass.
void CCPUInterface::Close() {
    m_Stop.Set();
    m_FirstPasses.Retry();  // ends the pauses of threads still without a first pass
    if (m_hBusClockThread) {
        WaitForSingleObject(m_hBusClockThread, INFINITE);
        CloseHandle(m_hBusClockThread);
        m_hBusClockThread = nullptr;
    }
    for (HANDLE& handle : m_MonitorThreads) {
        if (!handle) continue;
        WaitForSingleObject(handle, INFINITE);
        CloseHandle(handle);
        handle = nullptr;
    }
}

// ---- Lists ----

CProcessor* CCPUInterface::GetProcessor(int32_t index) {
    CTListIterator<CProcessor> it(m_pProcessors);
    for (CProcessor* processor = it.GetFirst(); processor; processor = it.GetNext())
        if (processor->m_iIndex == index) return processor;
    return nullptr;
}

CProcessor* CCPUInterface::FindProcessorByPackageId(int32_t packageId) {
    CTListIterator<CProcessor> it(m_pProcessors);
    for (CProcessor* processor = it.GetFirst(); processor; processor = it.GetNext())
        if (processor->m_iPackageId == packageId) return processor;
    return nullptr;
}

void CCPUInterface::AddProcessor(CProcessor* processor) {
    m_pProcessors->AddTail(processor);
    GetSDK()->m_pDevices->AddTail(processor);
}

void CCPUInterface::UpdateClocks() {
    CTListIterator<CProcessor> it(m_pProcessors);
    for (CProcessor* processor = it.GetFirst(); processor; processor = it.GetNext()) {
        processor->m_fBusClock = m_fBusClock;
        processor->UpdateClocks();
    }
}

void CCPUInterface::RestoreProcessAffinity() {
    DWORD_PTR processMask = 0, systemMask = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &processMask, &systemMask))
        SetProcessAffinityMask(GetCurrentProcess(), systemMask);
}
