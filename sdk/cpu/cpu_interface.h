// The processor domain (interface type 8). Init identifies every logical
// processor on a thread pinned to it, one after another, builds packages
// and cores from the APIC ids, gives AMD K7 and K8 processors the BIOS
// PowerNow table, and starts the measurement threads that keep every
// logical processor's multiplier, clocks and temperature, the bus clock
// and the load current; Close stops them. The interface owns the logical
// processors and cores; the packages (CProcessor) live in the root's
// device list. The query layer reaches every processor value through
// GetProcessor.
//
// Measurement: one thread per logical processor, pinned to it, every
// 500 ms; one bus-clock thread on processor 0 every 1000 ms, which also
// measures the load. Each takes the library lock (100 ms) and then the
// driver lock (100 ms, the bus-clock thread 2000 ms) and skips its pass
// when either is busy; the load is written under the library lock too.
// The pauses between passes end at once when Close asks the threads to
// stop. A thread that has not yet measured because the locks were busy
// tries again at once when the scan, its library lock released, waits for
// the first measured pass of every thread (WaitForFirstPasses).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/system_information.h"
#include "platform/win_types.h"
#include "sdk/core/interface.h"
#include "sdk/core/list.h"

class CCPUCore;
class CCPUInterface;
class CCPUThread;
class CProcessor;
class CReportGenerator;

// CreateCPUInterface flags.
enum CPUInterfaceFlags : uint32_t {
    CPU_INTERFACE_BUS_CLOCK_BY_DRIVER = 0x8000,
};

// What a logical processor's measurement thread works on.
struct MonitorJob {
    CCPUInterface* cpu;
    CCPUThread* thread;
};

// A flag the measurement threads wait on: set once, it ends every wait.
// The waits count wall-clock time, so a test's stopped clock cannot turn
// the pauses into a spin.
class StopSignal {
public:
    void Set();
    bool IsSet();
    // Waits up to `ms`; true when the signal was set meanwhile.
    bool WaitFor(uint32_t ms);

private:
    std::mutex m_Mutex;
    std::condition_variable m_Changed;
    bool m_bSet = false;
};

// The first measured pass of every measurement thread, which the scan
// waits for before its first refresh (cpu_measurement.cpp). A thread that
// has not measured yet because the locks were busy pauses here until its
// next try; Retry, called once the library lock is free, ends those pauses
// so that the first passes follow at once. Waits count wall-clock time.
class FirstPassSignal {
public:
    // Before the threads start: how many will report a first pass.
    void Expect(size_t threads);
    void Completed();
    // Taken before a pass tries the locks and handed to Pause, so that a
    // Retry during the try ends the pause after it.
    uint64_t Round();
    // Up to `ms`, or until a Retry after `round` was taken.
    void Pause(uint64_t round, uint32_t ms);
    void Retry();
    // Up to `ms` for every expected first pass; true when all came.
    bool WaitForAll(uint32_t ms);

private:
    std::mutex m_Mutex;
    std::condition_variable m_Changed;
    size_t m_Pending = 0;
    uint64_t m_Round = 0;
};

class CCPUInterface : public CInterface {
public:
    // Pauses between measurement passes and the lock timeouts.
    static constexpr uint32_t kThreadPassMs = 500;
    static constexpr uint32_t kBusClockPassMs = 1000;
    static constexpr uint32_t kLibraryLockMs = 100;
    static constexpr uint32_t kDriverLockMs = 100;
    static constexpr uint32_t kBusClockDriverLockMs = 2000;
    // Without processor groups, only the processors of the low 32 bits of
    // an affinity mask are identified and measured.
    static constexpr uint32_t kMaxUngroupedProcessors = 32;

    explicit CCPUInterface(uint32_t flags);
    ~CCPUInterface() override;

    // Always 1.
    int Init() override;
    // Stops the measurement threads and waits for them.
    void Close() override;

    CProcessor* GetProcessor(int32_t index);
    CProcessor* FindProcessorByPackageId(int32_t packageId);
    // To the processor list and the root's device list.
    void AddProcessor(CProcessor* processor);
    // Copies the bus clock into every package and updates its cores; no
    // hardware access. Called under the library and driver locks.
    void UpdateClocks();
    float MeasureBusClock();
    float MeasureBusClockByDriver();
    void MeasureLoad();
    // One pass of a logical processor's measurement thread: the multiplier
    // (and its sample), the core clock or else the time-stamp counter's
    // when the multiplier is unknown, the temperature and the power.
    static void MeasureThread(CCPUThread* thread);
    void BuildTopology();
    // 0 without a driver manager, else 1, found or not.
    int FindPowerNowTable();
    // AMD K7 and K8: the P-states of the BIOS PowerNow table for every
    // logical processor with a FID/VID control.
    void GivePowerNowTable();
    // A thread object for a processor architecture (0, 2, 9, 10 x86; 6
    // IA-64); null for others.
    CCPUThread* CreateThreadObject(uint16_t architecture);
    void RestoreProcessAffinity();
    void Dump(CReportGenerator* report);         // cpu_report.cpp
    void DumpThreads(CReportGenerator* report);  // cpu_report.cpp

    // Wait up to `ms` (wall clock) unless Close asked the threads to stop;
    // true when it did.
    bool WaitUnlessStopped(uint32_t ms) { return m_Stop.WaitFor(ms); }
    bool StopRequested() { return m_Stop.IsSet(); }
    // The library lock is free: the measurement threads that have not
    // measured yet try again at once. Then waits up to `ms` (wall clock)
    // until every measurement thread has completed a measured pass; true
    // when all did.
    bool WaitForFirstPasses(uint32_t ms);
    // A measurement thread's pause after a pass that did (`measured`) or
    // did not measure; `firstDone` keeps whether the thread has reported
    // its first measured pass, `round` is FirstPassSignal::Round taken
    // before the pass. True when Close asked the threads to stop.
    bool PauseAfterPass(bool measured, bool& firstDone, uint64_t round, uint32_t ms);
    uint64_t PassRound() { return m_FirstPasses.Round(); }

    // ntdll's query of the processor times; null: no load is measured.
    NTSTATUS (*m_pNtQuerySystemInformation)(ULONG, PVOID, ULONG, ULONG*) = nullptr;
    int32_t m_iProcessorCount = 0;
    int32_t m_iThreadCount = 0;  // the logical processors the system reports
    uint32_t m_dwFlags;
    HANDLE m_hBusClockThread = nullptr;
    std::vector<HANDLE> m_MonitorThreads;  // one per logical processor of the thread list
    CTList<CProcessor>* m_pProcessors;     // refers; the root's device list owns them
    CTList<CCPUCore>* m_pCores;            // owned, with the cores
    CTList<CCPUThread>* m_pThreads;        // owned, with the logical processors
    uint8_t* m_pPowerNowHeader = nullptr;  // 24 bytes, owned
    uint8_t* m_pPowerNowPairs = nullptr;   // (FID, VID) pairs, owned
    float m_fBusClock = -1.0f;             // MHz; the query layer reads it directly

private:
    // Where a logical processor's threads are pinned: a processor group
    // and the bit within it (group 0 without processor groups).
    struct Placement {
        uint16_t group = 0;
        uint32_t bit = 0;
    };

    void CreateTimers();
    // Creates the thread objects and their suspended identification
    // threads, pinned: with processor groups or without.
    void EnumerateGrouped(uint16_t architecture, std::vector<HANDLE>& identification);
    void EnumerateUngrouped(uint16_t architecture, std::vector<HANDLE>& identification);
    void StartMeasurementThreads();
    // Pins a thread (created suspended) to a placement; false when the
    // system refused.
    bool Pin(HANDLE thread, const Placement& placement);
    // Group mode: the calling thread's group and mask, and putting them
    // back (the thread dumps move the calling thread).
    struct GroupMask {
        uint16_t group = 0;
        uint64_t mask = 0;
    };
    std::optional<GroupMask> SaveCallerGroup();
    void RestoreCallerGroup(const GroupMask& saved);

    StopSignal m_Stop;
    FirstPassSignal m_FirstPasses;
    bool m_bGroupMode = false;
    std::vector<Placement> m_Placements;  // by thread-list position
    std::vector<MonitorJob> m_MonitorJobs;  // the monitor threads' parameters
    // The processor-group functions of kernel32, looked up by name.
    void* m_pGetThreadGroupAffinity = nullptr;
    void* m_pSetThreadGroupAffinity = nullptr;
};

// The thread procedures: the identification of one logical processor, its
// measurement (parameter: its MonitorJob), and the bus clock and load
// (parameter: the interface).
DWORD CPUThreadIdentifyProc(LPVOID thread);
DWORD CPUThreadMonitorProc(LPVOID job);
DWORD CPUInterfaceMonitorProc(LPVOID cpuInterface);
