#include "platform/reference_count.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "machine/clock.h"

namespace vexa::platform {

namespace {

constexpr double kNsPerSecond = 1e9;

// The nanoseconds `counts` take at `hz`, 0 for none or a rate that is
// not a positive number.
uint64_t CountsToNs(double counts, double hz) {
    if (!(counts > 0.0) || !(hz > 0.0) || !std::isfinite(hz)) return 0;
    const double ns = counts / hz * kNsPerSecond;
    return ns < 1.8e19 ? static_cast<uint64_t>(ns) : UINT64_MAX;
}

uint64_t SaturatingAdd(uint64_t a, uint64_t b) { return a > UINT64_MAX - b ? UINT64_MAX : a + b; }

} // namespace

ReferenceCount::ReferenceCount(std::function<double()> read, double hz, double wrap)
    : m_Read(std::move(read)), m_dHz(hz), m_dWrap(wrap) {}

bool ReferenceCount::Start() {
    const double first = m_Read();
    if (!(first >= 0.0)) return false;
    m_dFirst = m_dLast = first;
    return true;
}

bool ReferenceCount::Elapsed(double& counts) {
    double reading = m_Read();
    if (!(reading >= 0.0)) return false;
    if (reading < m_dFirst) reading += m_dWrap;
    if (reading < m_dLast) return false;
    m_dLast = reading;
    counts = reading - m_dFirst;
    return true;
}

bool ReferenceCount::WaitFor(double counts, uint64_t slackNs) {
    const uint64_t boundNs = SaturatingAdd(CountsToNs(counts, m_dHz), slackNs);
    const uint64_t wallDeadline = SaturatingAdd(machine::wallNs(), boundNs);
    const uint64_t programDeadline = SaturatingAdd(machine::clock().nowNs(), boundNs);
    uint64_t restNs = CountsToNs(counts - (m_dLast - m_dFirst), m_dHz);
    for (;;) {
        machine::clock().sleepNs(std::max(restNs, kShortestSleepNs));
        double elapsed = 0.0;
        if (!Elapsed(elapsed)) return false;
        if (elapsed >= counts) return true;
        if (machine::wallNs() > wallDeadline || machine::clock().nowNs() > programDeadline) return false;
        restNs = CountsToNs(counts - elapsed, m_dHz);
    }
}

} // namespace vexa::platform
