#include "machine/devices/msr_event_counter.h"

namespace vexa::machine {

namespace {

constexpr uint64_t kUserMode = 1ull << 16;
constexpr uint64_t kKernelMode = 1ull << 17;
constexpr uint64_t kEnable = 1ull << 22;

} // namespace

bool MsrEventCounter::enabledBy(uint32_t index, std::optional<uint64_t> eventSelect,
                                std::optional<uint64_t> globalControl) const {
    if (index < kFirstCounterMsr || index > kLastCounterMsr || !eventSelect) return false;
    const unsigned n = index - kFirstCounterMsr;
    const uint64_t select = *eventSelect;
    const bool selected = (select & 0xFF) == event_ && ((select >> 8) & 0xFF) == unitMask_;
    const bool counting = (select & kEnable) && (select & (kUserMode | kKernelMode));
    const bool global = !globalControl || ((*globalControl >> n) & 1) != 0;
    return selected && counting && global;
}

} // namespace vexa::machine
