// Clock measurements. The driver counts one clock against a reference timer
// (the ACPI PM timer at a port, or the HPET's main counter in memory) over a
// short window of the reference's counts; on a simulated machine every
// counter follows the one clock, so the answers are the machine's own rates.
#include <cmath>
#include <cstring>
#include <optional>

#include "machine/machine.h"
#include "platform/driver/standin_driver.h"
#include "platform/internal/thread_state.h"
#include "platform/reference_count.h"

namespace vexa::platform::driver {

namespace {

constexpr double kPmTimerHz = 3579545.0;
constexpr double kPmTimerWrap = 16777216.0;  // a 24-bit counter
constexpr double kWindowSeconds = 0.002;     // 2 ms of the reference's counts
// How much longer than the window a wait may take before the request
// fails: only a dead or stopped reference reaches it.
constexpr uint64_t kWaitSlackNs = 200'000'000;

machine::Machine& hw() { return machine::current(); }

bool readPmTimer(uint16_t port, uint32_t& count) {
    if (!hw().readPort(port, 4, count)) return false;
    count &= 0xFFFFFF;
    return true;
}

bool readHpet(uint64_t base, uint64_t& count) {
    uint8_t bytes[8];
    if (!hw().readPhysical(base + 0xF0, bytes)) return false;
    std::memcpy(&count, bytes, 8);
    return true;
}

// The HPET's rate in Hz from its capabilities (period in femtoseconds in
// the high dword of offset 0, read at offset 4).
bool hpetHz(uint64_t base, double& hz) {
    uint8_t bytes[4];
    if (!hw().readPhysical(base + 4, bytes)) return false;
    uint32_t period;
    std::memcpy(&period, bytes, 4);
    if (period == 0 || period > 100'000'000) return false;  // at most 100 ns per tick
    hz = 1e15 / period;
    return true;
}

// The PM timer at `port` as a reference count; a failed read gives -1.
platform::ReferenceCount pmTimerCount(uint16_t port) {
    return platform::ReferenceCount(
        [port] {
            uint32_t count;
            return readPmTimer(port, count) ? double(count) : -1.0;
        },
        kPmTimerHz, kPmTimerWrap);
}

// The HPET's main counter as a reference count, in counts since its first
// reading (so that a counter far from zero keeps its low bits in a double).
platform::ReferenceCount hpetCount(uint64_t base, double hz) {
    return platform::ReferenceCount(
        [base, first = std::optional<uint64_t>()]() mutable {
            uint64_t count;
            if (!readHpet(base, count)) return -1.0;
            if (!first) first = count;
            return double(count - *first);
        },
        hz, 0.0);
}

// Samples an MSR of the calling processor before and after a window of
// the reference's counts; `referenceDelta` is the counts the reference
// really made between the two samples.
bool sampleMsr(uint32_t msr, platform::ReferenceCount reference, double hz, uint64_t& msrDelta,
               double& referenceDelta) {
    const unsigned cpu = currentProcessor();
    uint64_t m0, m1;
    if (!hw().readMsr(cpu, msr, m0) || !reference.Start()) return false;
    if (!reference.WaitFor(hz * kWindowSeconds, kWaitSlackNs)) return false;
    if (!hw().readMsr(cpu, msr, m1) || !reference.Elapsed(referenceDelta)) return false;
    msrDelta = m1 - m0;
    return referenceDelta > 0;
}

DWORD busClock(Request& r, DWORD inSize) {
    if (DWORD e = needs(r, inSize, 16)) return e;
    // The local APIC timer counts at the bus clock; the PM timer must be
    // there and running to count against.
    const double busMHz = hw().busClockMHz();
    if (busMHz <= 0 || r.inDword(0) > 0xFFFF) return ERROR_GEN_FAILURE;
    platform::ReferenceCount pm = pmTimerCount(static_cast<uint16_t>(r.inDword(0)));
    if (!pm.Start() || !pm.WaitFor(kPmTimerHz * kWindowSeconds, kWaitSlackNs)) return ERROR_GEN_FAILURE;
    r.outDword(0, static_cast<uint32_t>(std::lround(busMHz * 1e6 / kPmTimerHz * 100.0)));
    for (size_t i = 1; i < 4; ++i) r.outDword(i, 0);
    return ERROR_SUCCESS;
}

DWORD msrClockByPmTimer(Request& r) {
    if (DWORD e = needs(r, 8, 8)) return e;
    if (r.inDword(0) > 0xFFFF) return ERROR_INVALID_PARAMETER;
    uint64_t msrDelta;
    double pmDelta;
    if (!sampleMsr(r.inDword(1), pmTimerCount(static_cast<uint16_t>(r.inDword(0))), kPmTimerHz, msrDelta, pmDelta))
        return ERROR_GEN_FAILURE;
    const float rateMHz = static_cast<float>(double(msrDelta) / (pmDelta / kPmTimerHz) / 1e6);
    uint32_t bits;
    std::memcpy(&bits, &rateMHz, 4);
    r.outDword(0, 0);
    r.outDword(1, bits);
    return ERROR_SUCCESS;
}

DWORD msrClockByHpet(Request& r) {
    if (DWORD e = needs(r, 8, 8)) return e;
    const uint64_t base = r.inDword(0);
    double hz, hpetDelta;
    uint64_t msrDelta;
    if (!hpetHz(base, hz) || !sampleMsr(r.inDword(1), hpetCount(base, hz), hz, msrDelta, hpetDelta))
        return ERROR_GEN_FAILURE;
    r.outDword(0, 0);
    r.outDword(1, static_cast<uint32_t>(std::lround(double(msrDelta) / hpetDelta * 100.0)));
    return ERROR_SUCCESS;
}

} // namespace

DWORD serveClocks(DWORD code, Request& r) {
    switch (code) {
    case 0x9C402518: return busClock(r, 4);
    case 0x9C40243C: return busClock(r, 8);
    case 0x9C402464: return msrClockByPmTimer(r);
    case 0x9C402514: return msrClockByHpet(r);
    default: return kUnknownRequest;
    }
}

} // namespace vexa::platform::driver
