#include "machine/devices/smbus_ali_m1563_host.h"

#include <algorithm>

namespace vexa::machine {

namespace {

enum Port : unsigned {
    kStatusPort = 0x00,
    kControl1Port = 0x01,
    kControl2Port = 0x02,
    kCommandPort = 0x03,
    kAddressPort = 0x04,
    kData0Port = 0x05,
    kBlockDataPort = 0x07,
};

constexpr uint8_t kKill = 0x04, kStart = 0x40;
constexpr uint8_t kLastByte = 0x40;  // control 1
constexpr unsigned kQuick = 0, kByteData = 2, kWordData = 3, kBlockType = 5;
constexpr size_t kBlockMax = 32;

} // namespace

uint8_t AliM1563SmbusHost::readRegister(unsigned offset) {
    return offset == kStatusPort ? status_ : registers_[offset];
}

void AliM1563SmbusHost::writeRegister(unsigned offset, uint8_t value) {
    if (offset == kStatusPort) {
        status_ &= uint8_t(~(value & ~kBusy));
        return;
    }
    if (offset != kControl2Port) {
        registers_[offset] = value;
        return;
    }
    registers_[kControl2Port] = value & ~(kStart | kKill);
    if ((value & kKill) && (status_ & kBusy)) {
        block_ = Block::None;
        status_ = uint8_t((status_ & ~kBusy) | kFailed);
    }
    if (!(value & kStart) || !hostEnabled()) return;
    if (block_ != Block::None) return nextBlockByte();
    if (!(status_ & kBusy)) start();
}

void AliM1563SmbusHost::finish(uint8_t status) {
    block_ = Block::None;
    status_ = uint8_t((status_ & ~kBusy) | status);
}

void AliM1563SmbusHost::start() {
    status_ |= kBusy;
    if (stuckBusy()) return;
    const uint8_t addressByte = registers_[kAddressPort], command = registers_[kCommandPort];
    uint8_t* data = &registers_[kData0Port];
    const auto result = [](bool acknowledged) { return acknowledged ? kDone : kDeviceError; };
    switch ((registers_[kControl2Port] >> 3) & 7) {
    case kQuick: return finish(result(transfer(Transfer::Quick, addressByte, command, data)));
    case kByteData: return finish(result(transfer(Transfer::ByteData, addressByte, command, data)));
    case kWordData: return finish(result(transfer(Transfer::WordData, addressByte, command, data)));
    case kBlockType: return startBlock();
    default: return finish(kDeviceError);
    }
}

void AliM1563SmbusHost::startBlock() {
    const auto address = uint8_t(registers_[kAddressPort] >> 1);
    moved_ = 0;
    registers_[kControl1Port] &= uint8_t(~kLastByte);
    if (registers_[kAddressPort] & 1) {
        if (!segment().readBlock(address, registers_[kCommandPort], blockBytes_)) return finish(kDeviceError);
        blockBytes_.resize(std::min(blockBytes_.size(), kBlockMax));
        registers_[kData0Port] = uint8_t(blockBytes_.size());
        if (blockBytes_.empty()) return finish(kDone);
        block_ = Block::Reading;
        return nextBlockByte();
    }
    blockCount_ = registers_[kData0Port];
    if (blockCount_ == 0 || blockCount_ > kBlockMax || !segment().acknowledges(address)) return finish(kDeviceError);
    blockBytes_.clear();
    block_ = Block::Writing;
    nextBlockByte();
}

void AliM1563SmbusHost::nextBlockByte() {
    if (block_ == Block::Reading) {
        registers_[kBlockDataPort] = blockBytes_[moved_++];
        if (moved_ < blockBytes_.size()) {
            status_ |= kByteDone;
            return;
        }
        return finish(kByteDone | kDone);
    }
    blockBytes_.push_back(registers_[kBlockDataPort]);
    if (blockBytes_.size() < blockCount_) {
        status_ |= kByteDone;
        return;
    }
    const auto address = uint8_t(registers_[kAddressPort] >> 1);
    finish(segment().writeBlock(address, registers_[kCommandPort], blockBytes_) ? kByteDone | kDone : kDeviceError);
}

} // namespace vexa::machine
