// The signals that end a batch run (SIGTERM, SIGINT, SIGHUP) while it
// runs: as in the window, they do not kill the program on the spot. The
// handler only records the signal; the run stops at its next safe point
// (before the scan, before the batch job, before a report replaces its
// file) and then shuts down as always, so the driver, its file, service
// record and log and the mutexes go, and exits with 128 + the signal.
#pragma once

#include <array>
#include <csignal>

class BatchStopSignals {
public:
    // Catches the signals until destroyed; the earlier handlers come back.
    BatchStopSignals();
    ~BatchStopSignals();
    BatchStopSignals(const BatchStopSignals&) = delete;
    BatchStopSignals& operator=(const BatchStopSignals&) = delete;

    // The first signal caught, 0 while none came.
    static int Received();

private:
    static constexpr std::array<int, 3> kSignals = {SIGTERM, SIGINT, SIGHUP};
    std::array<struct sigaction, kSignals.size()> m_Saved{};
};
