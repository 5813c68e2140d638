#include "machine/devices/tm8000_spd_window.h"

#include <algorithm>

namespace vexa::machine {

void Tm8000SpdWindow::read(unsigned offset, std::span<uint8_t> out) {
    const auto command = uint8_t(offset - kWindow);
    if (!segment_->read(uint8_t(kFirstModule + slot_), command, out)) std::fill(out.begin(), out.end(), 0xFF);
}

} // namespace vexa::machine
