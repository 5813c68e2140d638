#include "machine/devices/hpet.h"

#include "machine/clock.h"

namespace vexa::machine {
namespace {

constexpr uint64_t kRevision = 0x01;
constexpr uint64_t kCounterIs64Bit = 1u << 13;
constexpr uint64_t kLegacyRoutingCapable = 1u << 15;
constexpr uint64_t kFemtosecondsPerNs = 1'000'000;

} // namespace

Hpet::Hpet(const HpetSettings& settings) : settings_(settings) {
    if (settings_.enabled) configuration_ = kEnable;
    // Counting since time 0 of the clock: the count follows the clock alone.
}

uint64_t Hpet::capabilities() const {
    return kRevision | uint64_t((settings_.timers - 1) & 0x1F) << 8 | kCounterIs64Bit | kLegacyRoutingCapable |
           uint64_t(settings_.vendorId) << 16 | uint64_t(settings_.periodFs) << 32;
}

uint64_t Hpet::periodsSince(uint64_t startNs) const {
    const uint64_t now = clock().nowNs();
    // A test may install an earlier clock after the counter started.
    const uint64_t elapsed = now > startNs ? now - startNs : 0;
    return uint64_t((unsigned __int128)elapsed * kFemtosecondsPerNs / settings_.periodFs);
}

uint64_t Hpet::counter() const {
    if (!(configuration_ & kEnable)) return counterAtStart_;
    return counterAtStart_ + periodsSince(startNs_);
}

void Hpet::setCounter(uint64_t value) {
    counterAtStart_ = value;
    startNs_ = clock().nowNs();
}

uint64_t Hpet::readRegister(uint64_t offset) {
    switch (offset) {
    case kCapabilities: return capabilities();
    case kConfiguration: return configuration_;
    case kMainCounter: return counter();
    default: return 0;
    }
}

void Hpet::writeRegister(uint64_t offset, uint64_t value, uint64_t mask) {
    if (offset == kMainCounter) {
        setCounter((counter() & ~mask) | value);
        return;
    }
    if (offset != kConfiguration) return;
    const uint64_t writable = (kEnable | kLegacyRouting) & mask;
    const uint64_t next = (configuration_ & ~writable) | (value & writable);
    // Starting or halting the counter keeps the count it has reached.
    if ((next ^ configuration_) & kEnable) setCounter(counter());
    configuration_ = next;
}

} // namespace vexa::machine
