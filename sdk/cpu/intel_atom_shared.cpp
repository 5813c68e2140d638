#include "sdk/cpu/intel_atom_shared.h"

#include <cstring>

#include "sdk/core/helpers.h"
#include "sdk/cpu/cpu_package.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/fidvid_control.h"
#include "sdk/cpu/msr_register.h"

namespace {

constexpr uint32_t kFsbFrequencyMsr = 0xCD;

bool FlagMatches(int8_t wanted, int32_t actual) { return wanted < 0 || wanted == actual; }

bool EntryMatches(const AtomModelNumber& entry, const AtomKeys& keys) {
    return entry.mhz == keys.stockClock && (entry.cores == 0 || entry.cores == keys.cores) &&
           FlagMatches(entry.mobile, keys.mobile) && FlagMatches(entry.turbo, keys.turbo) &&
           (!entry.contains || (keys.brand && std::strstr(keys.brand, entry.contains)));
}

} // namespace

void SetThreadText(char (&field)[128], const char* text) { FormatString(field, sizeof field, "%s", text); }

const AtomModelNumber* ApplyAtomModelNumber(CCPUThread* thread, std::span<const AtomModelNumber> entries,
                                            const AtomKeys& keys) {
    for (const AtomModelNumber& entry : entries) {
        if (!EntryMatches(entry, keys)) continue;
        AppendFormat(thread->m_szName, sizeof thread->m_szName, "%s", entry.suffix);
        if (entry.codename) SetThreadText(thread->m_szCodename, entry.codename);
        return &entry;
    }
    return nullptr;
}

void AtomStockClockFromRatio(CCPUThread* thread, FIDVID_Control* control) {
    if (thread->m_iStockClock != -1) return;
    const float bus = GetExactBusClock(thread);
    if (thread->m_fMaxNonTurboMultiplier > 0 && bus > 0) {
        thread->m_iStockClock = static_cast<int32_t>(bus * thread->m_fMaxNonTurboMultiplier);
        return;
    }
    if (!control || control->GetMaxMultiplier() <= 0) return;
    thread->m_fMaxNonTurboMultiplier = control->GetMaxMultiplier();
    if (bus > 0) thread->m_iStockClock = static_cast<int32_t>(bus * thread->m_fMaxNonTurboMultiplier);
}

void ReadAtomBusClock(CCPUThread* thread, std::span<const int32_t> clocks) {
    MSR_Register fsb(kFsbFrequencyMsr);
    if (!fsb.Read()) return;
    const uint32_t code = fsb.m_dwLow & 7;
    if (code < clocks.size()) thread->m_iNominalBusClock = clocks[code];
}
