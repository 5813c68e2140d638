// Clock measurements. The driver counts one clock against a reference timer
// (the ACPI PM timer at a port, or the HPET's main counter in memory) over a
// short window; on a simulated machine every counter follows the one clock,
// so the answers are the machine's own rates.
#include <cmath>
#include <cstring>

#include "machine/clock.h"
#include "machine/machine.h"
#include "platform/driver/standin_driver.h"
#include "platform/internal/thread_state.h"

namespace vexa::platform::driver {

namespace {

constexpr double kPmTimerHz = 3579545.0;
constexpr uint64_t kWindowNs = 2'000'000;  // 2 ms of the machine's clock

machine::Machine& hw() { return machine::current(); }

bool readPmTimer(uint16_t port, uint32_t& count) {
    if (!hw().readPort(port, 4, count)) return false;
    count &= 0xFFFFFF;
    return true;
}

// PM-timer ticks between two readings of the 24-bit counter.
uint32_t pmTicks(uint32_t from, uint32_t to) { return (to - from) & 0xFFFFFF; }

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

// Samples an MSR of the calling processor and a reference counter before
// and after the window.
template <typename ReadReference>
bool sampleMsr(uint32_t msr, ReadReference readReference, uint64_t& msrDelta, uint64_t& referenceDelta) {
    const unsigned cpu = currentProcessor();
    uint64_t m0, m1, r0, r1;
    if (!hw().readMsr(cpu, msr, m0) || !readReference(r0)) return false;
    machine::clock().sleepNs(kWindowNs);
    if (!hw().readMsr(cpu, msr, m1) || !readReference(r1)) return false;
    msrDelta = m1 - m0;
    referenceDelta = r1 - r0;
    return true;
}

DWORD busClock(Request& r, DWORD inSize) {
    if (DWORD e = needs(r, inSize, 16)) return e;
    // The local APIC timer counts at the bus clock; the PM timer must be
    // there and running to count against.
    const double busMHz = hw().busClockMHz();
    uint32_t before, after;
    const uint16_t port = static_cast<uint16_t>(r.inDword(0));
    if (busMHz <= 0 || r.inDword(0) > 0xFFFF || !readPmTimer(port, before)) return ERROR_GEN_FAILURE;
    machine::clock().sleepNs(kWindowNs);
    if (!readPmTimer(port, after) || pmTicks(before, after) == 0) return ERROR_GEN_FAILURE;
    r.outDword(0, static_cast<uint32_t>(std::lround(busMHz * 1e6 / kPmTimerHz * 100.0)));
    for (size_t i = 1; i < 4; ++i) r.outDword(i, 0);
    return ERROR_SUCCESS;
}

DWORD msrClockByPmTimer(Request& r) {
    if (DWORD e = needs(r, 8, 8)) return e;
    if (r.inDword(0) > 0xFFFF) return ERROR_INVALID_PARAMETER;
    const uint16_t port = static_cast<uint16_t>(r.inDword(0));
    uint64_t msrDelta, pmDelta;
    auto readPm = [port](uint64_t& count) {
        uint32_t value;
        if (!readPmTimer(port, value)) return false;
        count = value;
        return true;
    };
    if (!sampleMsr(r.inDword(1), readPm, msrDelta, pmDelta)) return ERROR_GEN_FAILURE;
    pmDelta &= 0xFFFFFF;  // the 24-bit counter may have wrapped
    if (pmDelta == 0) return ERROR_GEN_FAILURE;
    const float rateMHz = static_cast<float>(double(msrDelta) / (double(pmDelta) / kPmTimerHz) / 1e6);
    uint32_t bits;
    std::memcpy(&bits, &rateMHz, 4);
    r.outDword(0, 0);
    r.outDword(1, bits);
    return ERROR_SUCCESS;
}

DWORD msrClockByHpet(Request& r) {
    if (DWORD e = needs(r, 8, 8)) return e;
    const uint64_t base = r.inDword(0);
    double hz;
    uint64_t msrDelta, hpetDelta;
    auto readCounter = [base](uint64_t& count) { return readHpet(base, count); };
    if (!hpetHz(base, hz) || !sampleMsr(r.inDword(1), readCounter, msrDelta, hpetDelta) || hpetDelta == 0)
        return ERROR_GEN_FAILURE;
    r.outDword(0, 0);
    r.outDword(1, static_cast<uint32_t>(std::lround(double(msrDelta) / double(hpetDelta) * 100.0)));
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
