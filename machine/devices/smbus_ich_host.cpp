#include "machine/devices/smbus_ich_host.h"

#include <algorithm>

namespace vexa::machine {

namespace {

enum Port : unsigned {
    kStatusPort = 0x00,
    kControlPort = 0x02,
    kCommandPort = 0x03,
    kAddressPort = 0x04,
    kData0Port = 0x05,
    kData1Port = 0x06,
    kBlockDataPort = 0x07,
    kAuxControlPort = 0x0D,
};

constexpr uint8_t kKill = 0x02;
constexpr uint8_t kLastByte = 0x20;
constexpr uint8_t kStart = 0x40;
constexpr uint8_t kBlockBuffer = 0x02;  // auxiliary control
constexpr unsigned kQuick = 0, kByteData = 2, kWordData = 3, kBlockTransfer = 5;
constexpr size_t kBlockMax = 32;
constexpr unsigned kCommandRegister = 0x04;
constexpr uint8_t kIOSpaceEnable = 0x01;
constexpr uint8_t kHostEnable = 0x01;

} // namespace

IchSmbusHost::IchSmbusHost(const PciConfigSpace& space, PciAddress function, uint16_t base, SmbusSegment segment,
                           bool stuckBusy)
    : space_(space), function_(function), base_(base), segment_(std::move(segment)), stuckBusy_(stuckBusy) {}

bool IchSmbusHost::decodes(uint16_t port, unsigned width) const {
    if (width != 1 || port < base_ || port >= base_ + kPorts) return false;
    if (!space_.has(function_) || !(space_.peekByte(function_, kCommandRegister) & kIOSpaceEnable)) return false;
    uint32_t bar = 0;
    for (unsigned i = 0; i < 4; ++i) bar |= uint32_t(space_.peekByte(function_, kBaseRegister + i)) << (8 * i);
    return (bar & 0xFFE0) == base_;
}

uint32_t IchSmbusHost::read(uint16_t port, unsigned) {
    switch (port - base_) {
    case kStatusPort: {
        const uint8_t value = status_;
        status_ |= kInUse;
        return value;
    }
    case kControlPort:
        bufferPointer_ = 0;
        return control_ & ~(kStart | kKill);
    case kCommandPort: return command_;
    case kAddressPort: return address_;
    case kData0Port: return data0_;
    case kData1Port: return data1_;
    case kBlockDataPort:
        if (aux_ & kBlockBuffer) return buffer_[bufferPointer_++ % kBlockMax];
        return blockData_;
    case kAuxControlPort: return aux_;
    default: return 0;
    }
}

void IchSmbusHost::write(uint16_t port, unsigned, uint32_t value) {
    const auto byte = uint8_t(value);
    switch (port - base_) {
    case kStatusPort: {
        const bool byteDoneCleared = (byte & kByteDone) && (status_ & kByteDone);
        status_ &= uint8_t(~(byte & ~kBusy));
        if (byteDoneCleared && block_ != Block::None) nextBlockByte();
        break;
    }
    case kControlPort:
        control_ = byte & ~kStart;
        if ((byte & kKill) && (status_ & kBusy)) {
            block_ = Block::None;
            status_ = uint8_t((status_ & ~(kBusy | kByteDone)) | kFailed);
        }
        if ((byte & kStart) && !(status_ & kBusy)) start(byte);
        break;
    case kCommandPort: command_ = byte; break;
    case kAddressPort: address_ = byte; break;
    case kData0Port: data0_ = byte; break;
    case kData1Port: data1_ = byte; break;
    case kBlockDataPort:
        if (aux_ & kBlockBuffer) buffer_[bufferPointer_++ % kBlockMax] = byte;
        else blockData_ = byte;
        break;
    case kAuxControlPort: aux_ = byte & 0x03; break;
    default: break;
    }
}

void IchSmbusHost::finish(bool acknowledged) {
    block_ = Block::None;
    status_ = uint8_t((status_ & ~(kBusy | kByteDone)) | (acknowledged ? kDone : kDeviceError));
}

void IchSmbusHost::start(uint8_t control) {
    if (!(space_.peekByte(function_, kHostConfig) & kHostEnable)) return;
    status_ |= kBusy;
    if (stuckBusy_) return;
    switch ((control >> 2) & 7) {
    case kQuick: return finish(segment_.acknowledges(address()));
    case kByteData:
        if (reading()) return finish(segment_.read(address(), command_, std::span(&data0_, 1)));
        return finish(segment_.write(address(), command_, std::span(&data0_, 1)));
    case kWordData: {
        uint8_t word[2] = {data0_, data1_};
        if (!reading()) return finish(segment_.write(address(), command_, word));
        const bool acknowledged = segment_.read(address(), command_, word);
        if (acknowledged) {
            data0_ = word[0];
            data1_ = word[1];
        }
        return finish(acknowledged);
    }
    case kBlockTransfer: return startBlock(reading());
    default: status_ = uint8_t((status_ & ~kBusy) | kFailed); return;
    }
}

void IchSmbusHost::startBlock(bool read) {
    if (read) {
        // The count byte and as many bytes as any count may announce.
        std::vector<uint8_t> bytes(256);
        if (!segment_.read(address(), command_, bytes)) return finish(false);
        blockCount_ = data0_ = bytes[0];
        if (aux_ & kBlockBuffer) {
            std::copy_n(bytes.begin() + 1, std::min(blockCount_, kBlockMax), buffer_.begin());
            bufferPointer_ = 0;
            return finish(true);
        }
        if (blockCount_ == 0) return finish(true);
        blockBytes_.assign(bytes.begin() + 1, bytes.begin() + 1 + long(blockCount_));
        block_ = Block::ReadBytes;
        blockData_ = blockBytes_[0];
        delivered_ = 1;
        status_ |= kByteDone;
        return;
    }
    if (!segment_.acknowledges(address())) return finish(false);
    blockCount_ = data0_;
    if (blockCount_ == 0 || blockCount_ > kBlockMax) {
        status_ = uint8_t((status_ & ~kBusy) | kFailed);
        return;
    }
    if (aux_ & kBlockBuffer) {
        std::vector<uint8_t> payload{uint8_t(blockCount_)};
        payload.insert(payload.end(), buffer_.begin(), buffer_.begin() + long(blockCount_));
        return finish(segment_.write(address(), command_, payload));
    }
    blockBytes_.assign(1, blockData_);
    block_ = Block::WriteBytes;
    status_ |= kByteDone;
}

void IchSmbusHost::nextBlockByte() {
    if (block_ == Block::ReadBytes) {
        if ((control_ & kLastByte) || delivered_ >= blockCount_) return finish(true);
        blockData_ = blockBytes_[delivered_++];
        status_ |= kByteDone;
        return;
    }
    if (blockBytes_.size() < blockCount_) {
        blockBytes_.push_back(blockData_);
        status_ |= kByteDone;
        return;
    }
    std::vector<uint8_t> payload{uint8_t(blockCount_)};
    payload.insert(payload.end(), blockBytes_.begin(), blockBytes_.end());
    finish(segment_.write(address(), command_, payload));
}

} // namespace vexa::machine
