// Counting against a reference: a free-running counter (a timer read
// through the hardware) followed from a first reading, and waits for a
// number of its counts that sleep through the time those counts take and
// read the counter only for what is left. The library's timers and the
// stand-in driver's clock requests both count this way.
#pragma once

#include <cstdint>
#include <functional>

namespace vexa::platform {

class ReferenceCount {
public:
    // `read` gives the counter's current count, or a value below 0 when
    // the read fails. `hz` is the counter's nominal rate (the time a wait
    // sleeps and its bound come from it); `wrap` the counts added to a
    // reading below the first (0.0 for a counter that does not wrap).
    ReferenceCount(std::function<double()> read, double hz, double wrap);

    // Takes the first reading; false when it fails.
    bool Start();
    // Counts since the first reading, in `counts`; false when the read
    // fails or the counter went backwards further than one wrap accounts
    // for (below the previous reading even with its wrap added).
    bool Elapsed(double& counts);
    // Waits until `counts` have passed since the first reading. It sleeps
    // through the time they take at the nominal rate, then reads the
    // counter and, while it is still short, sleeps through what is left (at
    // least kShortestSleepNs) before it reads again: the counter is read a
    // few times, never in a loop that spins. False when a read fails, the
    // counter goes backwards, or the wait outlasts its nominal length by
    // `slackNs`: measured by the host's monotonic clock (which runs whatever
    // clock the program has installed, so a stopped or dead counter cannot
    // hold the wait) and by the program's clock (so that a test's clock,
    // which a sleep advances at once, ends it as early as the program's time
    // says).
    bool WaitFor(double counts, uint64_t slackNs);

    // The shortest sleep between two reads: what is left of a wait is
    // slept, however short, so the program's clock always moves on.
    static constexpr uint64_t kShortestSleepNs = 1'000;

private:
    std::function<double()> m_Read;
    double m_dHz;
    double m_dWrap;
    double m_dFirst = 0.0;
    double m_dLast = 0.0;
};

} // namespace vexa::platform
