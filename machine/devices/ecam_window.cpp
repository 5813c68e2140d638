#include "machine/devices/ecam_window.h"

#include <algorithm>

namespace vexa::machine {
namespace {

constexpr uint64_t kFunctionBytes = PciConfigSpace::kSize;

PciAddress functionAt(uint64_t offset) {
    return PciAddress{uint8_t(offset >> 20), uint8_t((offset >> 15) & 31), uint8_t((offset >> 12) & 7)};
}

// Calls `access(function, register, first, count)` for each function's
// share of an access of `size` bytes at `offset`.
template <typename Access>
void perFunction(uint64_t offset, size_t size, Access access) {
    size_t done = 0;
    while (done < size) {
        const uint64_t at = offset + done;
        const unsigned reg = unsigned(at % kFunctionBytes);
        const size_t count = std::min<size_t>(size - done, kFunctionBytes - reg);
        access(functionAt(at), reg, done, count);
        done += count;
    }
}

} // namespace

void EcamWindow::read(uint64_t offset, std::span<uint8_t> out) {
    perFunction(offset, out.size(), [&](PciAddress function, unsigned reg, size_t first, size_t count) {
        space_.read(function, reg, out.subspan(first, count));
    });
}

void EcamWindow::write(uint64_t offset, std::span<const uint8_t> data) {
    perFunction(offset, data.size(), [&](PciAddress function, unsigned reg, size_t first, size_t count) {
        space_.write(function, reg, data.subspan(first, count));
    });
}

} // namespace vexa::machine
