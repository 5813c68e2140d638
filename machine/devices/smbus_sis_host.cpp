#include "machine/devices/smbus_sis_host.h"

#include <algorithm>

namespace vexa::machine {

namespace {

enum Port : unsigned {
    kStatusPort = 0x00,
    kControlPort = 0x02,
    kHostControlPort = 0x03,
    kAddressPort = 0x04,
    kCommandPort = 0x05,
    kProcessedPort = 0x06,
    kCountPort = 0x07,
    kChunkPort = 0x08,
    kSis968DataPort = 0x10,
};

constexpr uint8_t kRunning = 0x01;  // control
constexpr uint8_t kStart = 0x10, kKill = 0x20;
constexpr unsigned kQuick = 0, kByteData = 2, kWordData = 3, kBlockType = 5;
constexpr size_t kChunk = 8;
constexpr size_t kBlockMax = 32;

} // namespace

SisSmbusHost::SisSmbusHost(Variant variant, uint16_t base, std::unique_ptr<SmbusHostGate> gate, SmbusSegment segment,
                           bool stuckBusy)
    : SmbusPortHost(variant == Variant::Sis968 ? "SiS 968 SMBus controller" : "SiS 96x SMBus controller", base, kPorts,
                    1, std::move(gate), std::move(segment), stuckBusy),
      dataPort_(variant == Variant::Sis968 ? unsigned(kSis968DataPort) : unsigned(kChunkPort)) {}

uint8_t SisSmbusHost::readRegister(unsigned offset) {
    if (offset == kControlPort) return uint8_t((registers_[kControlPort] & ~kRunning) | (busy_ ? kRunning : 0));
    return registers_[offset];
}

void SisSmbusHost::writeRegister(unsigned offset, uint8_t value) {
    switch (offset) {
    case kStatusPort: {
        const bool bufferTaken = (value & kBufferReady) && (registers_[kStatusPort] & kBufferReady);
        registers_[kStatusPort] &= uint8_t(~value);
        if (bufferTaken && block_ != Block::None) nextChunk();
        return;
    }
    case kHostControlPort:
        registers_[kHostControlPort] = value & ~(kStart | kKill);
        if (value & kKill) {
            busy_ = false;
            block_ = Block::None;
        }
        if ((value & kStart) && !busy_ && hostEnabled()) start(value);
        return;
    default: registers_[offset] = value; return;
    }
}

void SisSmbusHost::finish(uint8_t status) {
    busy_ = false;
    block_ = Block::None;
    registers_[kStatusPort] |= status;
}

void SisSmbusHost::start(uint8_t hostControl) {
    busy_ = true;
    if (stuckBusy()) return;
    const auto data = [this](Transfer kind) {
        return transfer(kind, registers_[kAddressPort], registers_[kCommandPort], &registers_[dataPort_]) ? kDone
                                                                                                        : kDeviceError;
    };
    switch (hostControl & 7) {
    case kQuick: return finish(data(Transfer::Quick));
    case kByteData: return finish(data(Transfer::ByteData));
    case kWordData: return finish(data(Transfer::WordData));
    case kBlockType: return startBlock();
    default: return finish(kDeviceError);
    }
}

void SisSmbusHost::startBlock() {
    const auto address = uint8_t(registers_[kAddressPort] >> 1);
    moved_ = 0;
    if (registers_[kAddressPort] & 1) {
        if (!segment().readBlock(address, registers_[kCommandPort], blockBytes_)) return finish(kDeviceError);
        blockBytes_.resize(std::min(blockBytes_.size(), kBlockMax));
        registers_[kCountPort] = uint8_t(blockBytes_.size());
        if (blockBytes_.empty()) return finish(kDone);
        block_ = Block::Reading;
        return nextChunk();
    }
    blockCount_ = registers_[kCountPort];
    if (blockCount_ == 0 || blockCount_ > kBlockMax || !segment().acknowledges(address)) return finish(kDeviceError);
    blockBytes_.clear();
    block_ = Block::Writing;
    nextChunk();
}

void SisSmbusHost::nextChunk() {
    uint8_t* chunk = &registers_[kChunkPort];
    if (block_ == Block::Reading) {
        const size_t bytes = std::min(kChunk, blockBytes_.size() - moved_);
        std::copy_n(blockBytes_.begin() + long(moved_), bytes, chunk);
        moved_ += bytes;
        registers_[kProcessedPort] = uint8_t(moved_);
        if (moved_ < blockBytes_.size()) {
            registers_[kStatusPort] |= kBufferReady;
            return;
        }
        return finish(kBufferReady | kDone);
    }
    const size_t bytes = std::min(kChunk, blockCount_ - blockBytes_.size());
    blockBytes_.insert(blockBytes_.end(), chunk, chunk + bytes);
    registers_[kProcessedPort] = uint8_t(blockBytes_.size());
    if (blockBytes_.size() < blockCount_) {
        registers_[kStatusPort] |= kBufferReady;
        return;
    }
    const auto address = uint8_t(registers_[kAddressPort] >> 1);
    finish(segment().writeBlock(address, registers_[kCommandPort], blockBytes_) ? kDone : kDeviceError);
}

} // namespace vexa::machine
