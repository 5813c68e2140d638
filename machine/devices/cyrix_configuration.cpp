#include "machine/devices/cyrix_configuration.h"

namespace vexa::machine {

bool CyrixConfiguration::decodes(uint16_t port, unsigned width) const {
    if (width != 1) return false;
    // The index port reads 0xFF, as the bus answers.
    if (port == kIndexPort) return true;
    return selected_.has_value();
}

uint32_t CyrixConfiguration::read(uint16_t port, unsigned) {
    if (port == kIndexPort) return 0xFF;
    const uint8_t index = *selected_;
    selected_.reset();
    return index == kDIR0 ? settings_.dir0 : settings_.dir1;
}

void CyrixConfiguration::write(uint16_t port, unsigned, uint32_t value) {
    if (port == kIndexPort) {
        const auto index = uint8_t(value);
        if (index == kDIR0 || index == kDIR1)
            selected_ = index;
        else
            selected_.reset();
        return;
    }
    // The identification registers are read-only; the access uses up the
    // selection all the same.
    selected_.reset();
}

} // namespace vexa::machine
