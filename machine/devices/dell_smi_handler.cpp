#include "machine/devices/dell_smi_handler.h"

namespace vexa::machine {

namespace {

constexpr uint32_t kDell = 0x44454C4C, kDiag = 0x44494147;

template <typename Map>
bool answer(const Map& map, uint32_t key, uint32_t& out) {
    const auto it = map.find(key);
    if (it == map.end()) return false;
    out = it->second;
    return true;
}

} // namespace

void DellSmiHandler::call(std::array<uint32_t, 4>& registers) {
    const uint32_t function = registers[0] & 0xFFFF, argument = registers[1];
    uint32_t result = kNoAnswer;
    bool answered = false;
    switch (function) {
    case 0xFEA3:
    case 0xFFA3:
        if (!settings_.signature) break;
        registers = {kDell, 0, 0, kDiag};
        return;
    case 0x10A3: answered = answer(settings_.temperatures, argument, result); break;
    case 0x00A3: answered = answer(settings_.fanStates, argument, result); break;
    case 0x02A3: answered = answer(settings_.fanSpeeds, argument, result); break;
    case 0x01A3:
        if (settings_.fanStates.count(argument & 0xFF)) {
            settings_.fanStates[argument & 0xFF] = uint8_t(argument >> 8);
            result = 0;
            answered = true;
        }
        break;
    default: break;
    }
    registers[0] = answered ? result : kNoAnswer;
}

uint8_t DellSmiHandler::fanState(uint32_t fan) const {
    const auto it = settings_.fanStates.find(fan);
    return it == settings_.fanStates.end() ? 0xFF : it->second;
}

} // namespace vexa::machine
