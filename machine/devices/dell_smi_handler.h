// The system-management interrupt handler of Dell notebooks as the
// firmware answers it: the call's four registers go in, and the handler
// answers from its function table. Function 0xFEA3 (and 0xFFA3) is the
// handler's signature, "DELL" and "DIAG" in the first and fourth register;
// 0x10A3 a temperature, 0x00A3 a fan's state, 0x02A3 a fan's speed, 0x01A3
// sets a fan's state (state << 8 | fan in the second register). A call the
// table has no answer for comes back with 0xFFFF in the first register.
#pragma once

#include <array>
#include <cstdint>
#include <map>

namespace vexa::machine {

struct DellSmiSettings {
    bool signature = true;                      // answers the signature call
    std::map<uint32_t, uint16_t> temperatures;  // sensor -> degrees C
    std::map<uint32_t, uint16_t> fanSpeeds;     // fan -> the speed word
    std::map<uint32_t, uint8_t> fanStates;      // fan -> state 0-2
};

class DellSmiHandler {
public:
    static constexpr uint32_t kNoAnswer = 0xFFFF;

    explicit DellSmiHandler(DellSmiSettings settings) : settings_(std::move(settings)) {}

    // One call; the registers are replaced by the answer.
    void call(std::array<uint32_t, 4>& registers);
    uint8_t fanState(uint32_t fan) const;

private:
    DellSmiSettings settings_;
};

} // namespace vexa::machine
