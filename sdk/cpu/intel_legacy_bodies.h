// What the Intel microarchitecture descriptions before Nehalem (P5, P6,
// NetBurst, Pentium M, Core, Core 2) share: the operation bodies several of
// them fill a slot with, and the small steps of their naming.
// - IntelDigitalThermalTemperature (NetBurst, Core, Bonnell): the core
//   sensor's reading of the digital thermal sensor;
// - IntelMobileMultiplier (Pentium M, Core): the FID/VID control's
//   multiplier, else the power-on ratio of MSR 0x2A;
// - MeasuredBusClock (NetBurst, Core; measured_bus_clock.h): the TSC rate
//   over the maximum non-turbo multiplier.
// Everything runs on the logical processor's pinned thread, inside the
// library and driver locks, and answers -1.0 for what it cannot tell.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>

#include "sdk/cpu/intel_shared_bodies_naming.h"
#include "sdk/cpu/measured_bus_clock.h"

class CCPUInfos;
class CCPUThread;
class FIDVID_Control;

// The model-specific registers these families read beside those of
// intel_shared_bodies.h.
namespace intel_legacy_msr {
constexpr uint32_t kPowerOnConfiguration = 0x2A;  // EBL_CR_POWERON
constexpr uint32_t kFrequencyId = 0x2C;           // MSR_EBC_FREQUENCY_ID (NetBurst)
constexpr uint32_t kFsbFrequency = 0xCD;          // MSR_FSB_FREQ
constexpr uint32_t kExtendedConfig = 0xEE;        // MSR_EXT_CONFIG
constexpr uint32_t kL2ControlRegister = 0x11E;    // BBL_CR_CTL3
constexpr uint32_t kPerfEventSelect0 = 0x186;     // IA32_PERFEVTSEL0
constexpr uint32_t kPerfCounter0 = 0xC1;          // IA32_PMC0
} // namespace intel_legacy_msr

float IntelDigitalThermalTemperature(CCPUThread* thread);
float IntelMobileMultiplier(CCPUInfos* infos);

// The core temperature sensor (index 0, TjMax as its offset) of a
// processor with the digital thermal sensor whose MSR 0x19C reads with its
// valid bit set; the thread keeps it, the root's sensor list owns it.
void CreateLegacyTemperatureSensor(CCPUThread* thread, float tjMax);

// The nominal bus clock in MHz of an MSR 0xCD code (bits 2:0); -1 for 7.
int32_t FsbFrequencyOfCode(uint32_t code);

// The stock clock of Core and Core 2: the nominal bus of MSR 0xCD, then the
// first clock text of the brand string; failing that, unless
// `ratioAllowed` is false, the exact bus clock times the maximum non-turbo
// multiplier, or else the control's maximum multiplier.
void FsbAndBrandStockClock(CCPUThread* thread, std::span<const StockClockText> brandClocks, FIDVID_Control* control,
                           bool ratioAllowed);

// ---- Naming ----

// One stock clock (MHz) and what it selects.
struct ClockNumber {
    int32_t mhz;
    int32_t number;
};
struct ClockText {
    int32_t mhz;
    const char* text;
};

// The number or text of a stock clock; 0 or null when the list has none.
int32_t NumberAt(std::initializer_list<ClockNumber> list, int32_t mhz);
const char* TextAt(std::initializer_list<ClockText> list, int32_t mhz);

// The thread's name, codename and class code as a naming rule writes them.
class LegacyNamer {
public:
    LegacyNamer(CCPUThread* thread, uint32_t classCode) : m_pThread(thread), m_dwClassCode(classCode) {}

    // The name and the brand subcode (added to the class code).
    void Name(const char* name, uint32_t subcode);
    void Name(const char* name);
    void Codename(const char* codename);
    void Subcode(uint32_t subcode);
    // Appends a text; null appends nothing.
    void Append(const char* text);
    // Appends " %d"; 0 appends nothing.
    void Number(int32_t number);
    // The text of the stock clock in the list, appended.
    void AppendAt(std::initializer_list<ClockText> list) { Append(TextAt(list, StockClock())); }
    void NumberAt(std::initializer_list<ClockNumber> list) { Number(::NumberAt(list, StockClock())); }
    // The core stepping text of the CPUID stepping, when the list has one.
    void Stepping(std::initializer_list<SteppingName> steppings);
    // Whether the brand string contains the text.
    bool BrandHas(const char* text) const;
    int32_t StockClock() const;

private:
    CCPUThread* m_pThread;
    uint32_t m_dwClassCode;
};
