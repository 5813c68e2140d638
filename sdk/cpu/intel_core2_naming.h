// What the two files of Core 2 names share: the brand subcodes and the
// facts the rules ask of the processor.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <utility>

class CCPUThread;

namespace core2_naming {

enum Subcode : uint32_t {
    kDuo = 0x01,
    kExtreme = 0x02,
    kXeon = 0x03,
    kCeleronSingle = 0x04,
    kQuad = 0x05,
    kPentium = 0x06,
    kCeleronDual = 0x07,
    kSolo = 0x08,
};

// What the rules ask of the processor.
struct Facts {
    int32_t cores, l2, l3, bus, mhz;
    bool mobile, xe, vt;
};

inline bool Is(int32_t value, std::initializer_list<int32_t> choices) {
    for (int32_t choice : choices)
        if (value == choice) return true;
    return false;
}

// The text of the first rule (condition, text) that holds.
inline const char* FirstOf(std::initializer_list<std::pair<bool, const char*>> rules) {
    for (const auto& [holds, text] : rules)
        if (holds) return text;
    return nullptr;
}

// The facts of the thread; `extremeEdition` is the description's flag.
Facts FactsOf(CCPUThread* thread, int32_t extremeEdition);

} // namespace core2_naming
