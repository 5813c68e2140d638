#include "machine/devices/ich_function_disable.h"

namespace vexa::machine {

bool LpcFunctionDisable::hides(PciAddress address, const PciConfigSpace& space) const {
    return address == kIchSmbus && (space.peekByte(kIchLpcBridge, kRegister) & kSmbusDisable);
}

} // namespace vexa::machine
