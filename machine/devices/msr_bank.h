// The model-specific registers of a simulated machine's processors. Each
// processor has its own copy of every register it implements; an MSR that
// is not listed does not exist, so reading or writing it fails as the
// #GP of a real processor would. The kinds of register (MsrKind):
// - plain: reads back what was stored; writes store unless read-only;
// - faulting: listed, yet every access faults (a register the processor
//   lacks on some processors, or MSR 0x10 without a time-stamp counter);
// - counter: counts up with the installed clock (msr_counter.h); writes
//   set the count unless read-only;
// - microcode: Intel's IA32_BIOS_SIGN_ID (0x8B): executing CPUID leaf 1
//   on that processor loads the microcode revision into the high dword,
//   so that writing 0, executing CPUID 1 and reading gives the revision;
// - energy: a RAPL energy-status counter (msr_energy_counter.h), counting
//   in the unit of the processor's 0x606; read-only;
// - fixed counter: a fixed-function performance counter that the
//   processor's 0x38D and 0x38F start and stop (msr_fixed_counter.h);
// - event counter: a general-purpose performance counter counting one
//   event while its event select (0x186 + n) and 0x38F let it
//   (msr_event_counter.h);
// - overclocking mailbox: MSR 0x150 answering commands (msr_oc_mailbox.h).
// Intel processors also limit the basic CPUID leaves to 2 while bit 22 of
// their IA32_MISC_ENABLE (0x1A0) is set (cpuidLimited).
#pragma once

#include "machine/devices/msr_counter.h"
#include "machine/devices/msr_energy_counter.h"
#include "machine/devices/msr_event_counter.h"
#include "machine/devices/msr_fixed_counter.h"
#include "machine/devices/msr_oc_mailbox.h"
#include "machine/manifest.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vexa::machine {

// IA32_BIOS_SIGN_ID and IA32_MISC_ENABLE with its "limit CPUID maxval" bit.
constexpr uint32_t kMicrocodeSignatureMsr = 0x8B;
constexpr uint32_t kMiscEnableMsr = 0x1A0;
constexpr uint64_t kLimitCpuidMaxvalBit = 1ull << 22;

class MsrBank {
public:
    MsrBank() = default;
    explicit MsrBank(unsigned processors) : registers_(processors) {}

    // False (with a message) for a processor out of range or a register
    // given twice for the same processor.
    bool add(const MsrSetting& setting, std::string& error);

    bool read(unsigned cpu, uint32_t index, uint64_t& value) const;
    bool write(unsigned cpu, uint32_t index, uint64_t value);
    // Whether the processor lists the register at all (of any kind).
    bool lists(unsigned cpu, uint32_t index) const;

    // The side effects of executing CPUID `leaf` on the processor.
    void cpuidExecuted(unsigned cpu, uint32_t leaf);
    // Whether IA32_MISC_ENABLE of the processor has its CPUID limit set.
    bool cpuidLimited(unsigned cpu) const;

private:
    struct Register {
        MsrKind kind = MsrKind::Plain;
        uint64_t value = 0;  // plain and microcode registers
        bool readOnly = false;
        MsrCounter counter;  // counter registers
        uint32_t revision = 0;  // microcode registers
        MsrEnergyCounter energy;
        MsrFixedCounter fixed;
        MsrEventCounter event;
        MsrOcMailbox mailbox;
    };
    const Register* find(unsigned cpu, uint32_t index) const;
    Register* find(unsigned cpu, uint32_t index);
    // The value of a readable plain register; none for any other.
    std::optional<uint64_t> plainValue(unsigned cpu, uint32_t index) const;
    // Whether the processor's control registers enable fixed counter `index`.
    bool fixedCounterEnabled(unsigned cpu, uint32_t index) const;
    // Whether the processor's event select and global control make event
    // counter `index` count.
    bool eventCounterEnabled(unsigned cpu, uint32_t index, const MsrEventCounter& counter) const;
    // The energy unit (ESU) of the processor's 0x606.
    unsigned energyUnitBits(unsigned cpu) const;
    // Brings the processor's fixed and event counters in step with their
    // controls.
    void gateCounters(unsigned cpu) const;

    std::vector<std::map<uint32_t, Register>> registers_;
};

} // namespace vexa::machine
