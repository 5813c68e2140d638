#include "machine/devices/msr_fixed_counter.h"

namespace vexa::machine {

MsrFixedCounter::MsrFixedCounter(uint64_t start, uint64_t rateHz, unsigned bits)
    : start_(start), bits_(bits == 0 || bits > 64 ? 64 : bits), counter_(start, rateHz, bits_) {}

bool MsrFixedCounter::enabledBy(uint32_t index, std::optional<uint64_t> fixedControl,
                                std::optional<uint64_t> globalControl) {
    if (index < kFirstCounterMsr || index > kLastCounterMsr) return false;
    const unsigned n = index - kFirstCounterMsr;
    const bool global = !globalControl || ((*globalControl >> (32 + n)) & 1) != 0;
    const bool privilege = !fixedControl || ((*fixedControl >> (4 * n)) & 3) != 0;
    return global && privilege;
}

void MsrFixedCounter::gate(bool enabled) const {
    if (!known_) {
        // Until now the controls were as they were at the start: an enabled
        // counter has counted since it was built (as its MsrCounter does), a
        // stopped one held its start.
        known_ = true;
        running_ = enabled;
        held_ = start_ & mask();
        return;
    }
    if (running_ == enabled) return;
    if (running_) held_ = counter_.read();
    else counter_.write(held_);
    running_ = enabled;
}

uint64_t MsrFixedCounter::read(bool enabled) const {
    gate(enabled);
    return running_ ? counter_.read() : held_;
}

void MsrFixedCounter::write(uint64_t value, bool enabled) {
    gate(enabled);
    if (running_) counter_.write(value);
    else held_ = value & mask();
}

} // namespace vexa::machine
