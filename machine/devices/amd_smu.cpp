#include "machine/devices/amd_smu.h"

namespace vexa::machine {
namespace {

// The byte `i` of a little-endian dword.
uint8_t byteOf(uint32_t value, unsigned i) { return uint8_t(value >> (8 * i)); }
uint32_t withByte(uint32_t value, unsigned i, uint8_t byte) {
    return (value & ~(0xFFu << (8 * i))) | uint32_t(byte) << (8 * i);
}

} // namespace

uint32_t AmdSmuIndexPair::dword(unsigned offset) const {
    if (offset < 4) return index_;
    const auto it = state_->registers.find(index_);
    return it == state_->registers.end() ? 0 : it->second;
}

void AmdSmuIndexPair::store(unsigned offset, uint32_t value) {
    if (offset < 4)
        index_ = value;
    else
        state_->registers[index_] = value;
}

void AmdSmuIndexPair::read(unsigned offset, std::span<uint8_t> out) {
    for (size_t i = 0; i < out.size(); ++i) {
        const unsigned at = offset - kIndexRegister + unsigned(i);  // from the index register on
        out[i] = byteOf(dword(at & ~3u), at & 3);
    }
}

void AmdSmuIndexPair::write(unsigned offset, std::span<const uint8_t> data) {
    for (size_t i = 0; i < data.size(); ++i) {
        const unsigned at = offset - kIndexRegister + unsigned(i);  // from the index register on
        store(at & ~3u, withByte(dword(at & ~3u), at & 3, data[i]));
    }
}

void AmdSmuMailbox::read(uint64_t offset, std::span<uint8_t> out) {
    for (size_t i = 0; i < out.size(); ++i) {
        const uint64_t at = offset + i;
        uint32_t value = 0;
        if ((at & ~3ull) == kMessage) value = message_;
        if ((at & ~3ull) == kResponse) value = state_->response;
        out[i] = byteOf(value, unsigned(at & 3));
    }
}

void AmdSmuMailbox::write(uint64_t offset, std::span<const uint8_t> data) {
    bool messageWritten = false;
    for (size_t i = 0; i < data.size(); ++i) {
        const uint64_t at = offset + i;
        if ((at & ~3ull) == kMessage) {
            message_ = withByte(message_, unsigned(at & 3), data[i]);
            messageWritten = true;
        }
    }
    if (!messageWritten) return;
    state_->messages.push_back(message_);
    state_->response = settings_.answers ? settings_.response : 0;
}

} // namespace vexa::machine
