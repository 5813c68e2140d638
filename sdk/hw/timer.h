// A free-running counter with a known or measurable frequency, kept in the
// root's timer list (which owns it) and found there by type: the ACPI PM
// timer, the HPET's main counter, the Windows tick count and performance
// counter, and a processor's time-stamp counter. Timers serve as
// references for measuring each other's frequencies.
#pragma once

#include <cstdint>

class CIOSpace;

enum TimerType : uint32_t {
    TIMER_ACPI_PM = 1,
    TIMER_SYSTEM_TICK = 2,
    TIMER_PERFORMANCE_COUNTER = 3,
    TIMER_TSC = 4,
    TIMER_HPET = 6,
};

class CTimer {
public:
    // The window of a measurement: 5 ms of reference counts, times the
    // multiplier when that is positive.
    static constexpr double kWindowMs = 5.0;
    // A negative multiplier sleeps this long instead of counting a window.
    static constexpr uint32_t kSleepMs = 100;
    // How much longer than its nominal length, in wall-clock time, the wait
    // for a window may take before the measurement gives up. Generous next
    // to a sleep's lateness and the few microseconds a reference read takes
    // even through the driver, so
    // only a dead, stopped or grossly mis-rated reference (or a process
    // that lost the processor for that long) reaches it; short enough that
    // a caller holding the library and driver locks is not held up
    // noticeably.
    static constexpr uint64_t kWaitSlackNs = 200'000'000;

    CTimer(uint32_t type, double frequency, double wrap)
        : m_dwType(type), m_dFrequency(frequency), m_dWrap(wrap) {}
    virtual ~CTimer() = default;
    CTimer(const CTimer&) = delete;
    CTimer& operator=(const CTimer&) = delete;

    // This timer's frequency in Hz measured against `reference`, kept as
    // the timer's frequency when `store` is not 0; -1.0 when it cannot be
    // measured, the stored frequency then left as it was. The wait for 5 ms
    // of the reference's counts (times a positive multiplier; a negative
    // one sleeps 100 ms instead) sleeps through them and reads the
    // reference only for what is left (platform/reference_count.h), its
    // wrap period added to readings below the first. -1.0 comes back for a missing
    // reference or one without a known frequency, a read of either timer
    // that fails (a count below 0), a reference that runs backwards beyond
    // its wrap, a wait that outlasts its nominal length by kWaitSlackNs of
    // wall-clock time, and a span of zero counts of either timer. This
    // timer's own wrap period is added once when its count went backwards.
    virtual double Measure(CTimer* reference, uint32_t store, int32_t multiplier);
    // The current count; -1.0 in the base and when the read fails.
    virtual double Read() { return -1.0; }

    uint32_t GetType() const { return m_dwType; }

    uint32_t m_dwType;
    double m_dFrequency;  // Hz; -1.0 while unknown
    double m_dWrap;       // counts added when the counter is seen to go backwards; 0.0 for none
};

// The ACPI power-management timer: a 24-bit counter at 3.579545 MHz read as
// a dword at its port. Its wrap is taken as 16777215 counts.
class CACPITimer : public CTimer {
public:
    static constexpr double kFrequency = 3579545.0;
    static constexpr double kWrap = 16777215.0;

    // Uses the root's port I/O space at `port`, creating it (4 ports) and
    // adding it to the root's list when there is none.
    explicit CACPITimer(uint32_t port);

    double Read() override;

    CIOSpace* m_pPortSpace;  // a port space of the root's list
};

// GetTickCount: milliseconds, as an unsigned 32-bit count.
class CWin32SystemTimer : public CTimer {
public:
    CWin32SystemTimer() : CTimer(TIMER_SYSTEM_TICK, 1000.0, 0.0) {}

    double Read() override;
};

// QueryPerformanceCounter at QueryPerformanceFrequency (-1.0 when that
// fails).
class CWin32PerformanceTimer : public CTimer {
public:
    CWin32PerformanceTimer();

    double Read() override;
};

// The time-stamp counter of the processor the calling thread runs on; its
// frequency is unknown until measured with `store` set.
class CTSCCounter : public CTimer {
public:
    CTSCCounter() : CTimer(TIMER_TSC, -1.0, 0.0) {}

    double Read() override;
};

// The HPET's 64-bit main counter at offset 0xF0 of its register block,
// taken as counting at 14.31818 MHz.
class CHPETTimer : public CTimer {
public:
    static constexpr double kFrequency = 14318620.0;
    static constexpr uint32_t kMainCounter = 0xF0;

    // `space`: the memory I/O space of the HPET block (not owned).
    explicit CHPETTimer(CIOSpace* space) : CTimer(TIMER_HPET, kFrequency, 0.0), m_pMemorySpace(space) {}

    double Read() override;

    CIOSpace* m_pMemorySpace;
};
