// What the Atom descriptions (Bonnell, Silvermont) share: how they pick a
// model number, and how they find the bus and stock clocks.
//
// A model number comes from a list of entries, tested in order, each
// selected by the stock clock and optionally by a text of the brand string,
// the core count, the mobile flag or turbo; the first entry that matches
// appends its suffix to the processor name and may replace the codename.
#pragma once

#include <cstdint>
#include <span>

class CCPUThread;

struct AtomModelNumber {
    int32_t mhz = 0;                 // the stock clock that selects it
    const char* suffix = "";         // appended to the name ("" appends nothing)
    const char* contains = nullptr;  // a text the brand string must contain
    int32_t cores = 0;               // cores per package; 0 any
    int8_t mobile = -1;              // -1 any, 0 desktop, 1 mobile
    int8_t turbo = -1;               // -1 any, 0 without, 1 with turbo
    const char* codename = nullptr;  // replaces the codename
};

// What the entries are matched against; -1 for what is unknown.
struct AtomKeys {
    int32_t stockClock = -1;
    int32_t cores = -1;
    int32_t mobile = -1;
    int32_t turbo = -1;
    const char* brand = "";
};

// Applies the first matching entry to the thread's name (bounded to its
// field) and codename; null when none matched.
const AtomModelNumber* ApplyAtomModelNumber(CCPUThread* thread, std::span<const AtomModelNumber> entries,
                                            const AtomKeys& keys);

// Replaces one of the thread's texts.
void SetThreadText(char (&field)[128], const char* text);

class FIDVID_Control;

// MSR 0xCD (MSR_FSB_FREQ) bits 2:0 as an index of `clocks` (MHz) into the
// thread's nominal bus clock; a code past the list leaves it.
void ReadAtomBusClock(CCPUThread* thread, std::span<const int32_t> clocks);

// The stock clock, when still unknown, from the exact bus clock and the
// maximum non-turbo multiplier; without that multiplier the FID/VID
// control's highest becomes it.
void AtomStockClockFromRatio(CCPUThread* thread, FIDVID_Control* control);
