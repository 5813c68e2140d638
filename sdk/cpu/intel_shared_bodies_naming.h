// How the Intel microarchitecture descriptions from Nehalem on name a
// processor: one row per extended model (process technology, base name,
// codename, the codenames and packages of its platform IDs, the core
// steppings) and below it a decision tree. A tree is a list of branches,
// tested in order; the first whose keys all match gives the base name, the
// brand subcode and maybe a codename, and its alternatives, tested in
// order, the model-number suffix: the first alternative whose stock clock
// and further keys match is appended. A branch whose alternatives all miss
// keeps its base name without a suffix; when no branch matches, the name
// stays as the model row left it.
//
// Every key is optional: 0 (or null) means "any". The tables are written
// with designated initializers, so a row names only the keys it uses.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>

class CCPUThread;

// Platform IDs as a mask: bit n for platform ID n.
constexpr uint32_t PlatformIds(std::initializer_list<int> ids) {
    uint32_t mask = 0;
    for (int id : ids) mask |= 1u << id;
    return mask;
}

// One model-number suffix.
struct NameChoice {
    int32_t mhz = 0;                  // the stock clock that selects it
    const char* suffix = "";          // appended ("" appends nothing)
    const char* contains = nullptr;   // a text the brand string must contain
    int32_t tdp = 0;                  // whole watts, truncated
    int32_t l3 = 0;                   // KB
    int32_t threads = 0;              // logical processors per package
    int32_t turboRatio = 0;           // the maximum turbo ratio
    int32_t turboMHz = 0;             // the maximum turbo frequency
    int32_t linkMultiplier = 0;
    int32_t qpiLinks = 0;
    int8_t unlocked = -1;             // -1 any, 0 locked, 1 unlocked ratio
    const char* name = nullptr;       // replaces the base name
    int8_t subcode = 0;               // replaces the brand subcode
    const char* codename = nullptr;   // replaces the codename
    const char* stepping9 = nullptr;  // the core stepping at CPUID stepping 9
};

// One branch of a tree.
struct NameBranch {
    uint32_t platformIds = 0;         // PlatformIds mask; 0 any
    int32_t threads = 0;              // exact; -1 asks for an unknown count
    int32_t threadsAtLeast = 0;
    int32_t threadsOtherThan = 0;
    int8_t turbo = -1;                // -1 any, 0 without, 1 with turbo
    int8_t unlocked = -1;             // -1 any, 0 locked, 1 unlocked ratio
    int32_t l3 = 0;                   // KB, exact
    int32_t l3AtLeast = 0;
    int32_t l3AtMost = 0;
    int32_t l3OtherThan = 0;
    const char* contains = nullptr;   // a text the brand string must contain
    const char* lacks = nullptr;      // a text it must not contain
    const char* name = nullptr;       // the base name; null keeps the name
    int8_t subcode = 0;
    const char* codename = nullptr;
    const char* tail = nullptr;       // appended after the suffix, matched or not (" v2")
    const char* stepping9 = nullptr;  // the core stepping at CPUID stepping 9
    bool clearsTurbo = false;         // the branch names parts without turbo
    std::span<const NameChoice> choices = {};
};

struct SteppingName {
    int32_t stepping;  // CPUID stepping
    const char* text;
};

struct PlatformName {
    int32_t platformId;
    const char* codename;
    int32_t packageCode = 0;  // 0: leaves it
};

struct ModelRow {
    int32_t extModel = 0;
    float technology = -1.0f;         // micrometres
    const char* name = nullptr;       // replaces the preset
    int8_t subcode = 0;
    const char* codename = nullptr;   // replaces the preset
    int32_t packageCode = 0;          // 0: leaves it
    std::span<const PlatformName> platforms = {};
    std::span<const SteppingName> steppings = {};
    std::span<const NameBranch> branches = {};
};

// What the tree asks of the processor; -1 for what is unknown.
struct NameKeys {
    int32_t platformId = -1;
    int32_t threads = -1;  // the vendor description's logical processors per package
    int32_t stockClock = -1;
    int32_t tdp = -1;
    int32_t l3 = -1;
    int32_t turbo = -1;
    int32_t unlocked = -1;
    int32_t turboRatio = -1;
    int32_t turboMHz = -1;
    int32_t linkMultiplier = -1;
    int32_t qpiLinks = -1;
    const char* brand = "";  // the brand string
};

// The keys every family takes from the thread: platform ID, stock clock,
// TDP in whole watts and the level-3 cache, and the vendor description's
// logical processors per package.
NameKeys ThreadNameKeys(CCPUThread* thread);

// The row of an extended model; null when the table has none.
const ModelRow* FindModelRow(std::span<const ModelRow> rows, int32_t extModel);

// What naming chose beyond the thread's texts.
struct NamingOutcome {
    const NameBranch* branch = nullptr;  // the branch taken, null for none
};

// Applies a model row and its tree to the thread: technology, name and
// brand subcode (added to `classCode` in the thread's class code),
// codename, package code, core stepping.
NamingOutcome ApplyModelRow(CCPUThread* thread, const ModelRow& row, const NameKeys& keys, uint32_t classCode);

// The stock clock of the first text of the list the brand string
// contains; -1 when none.
struct StockClockText {
    const char* text;
    int32_t mhz;
};
int32_t StockClockFromText(const char* brand, std::span<const StockClockText> list);
