#include "machine/devices/smbus_via_ati_host.h"

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
};

constexpr uint8_t kKill = 0x02;
constexpr uint8_t kStart = 0x40;
constexpr uint8_t kClearable = 0x1E;
constexpr unsigned kQuick = 0, kByteData = 2, kWordData = 3, kBlock = 5;

} // namespace

uint8_t ViaAtiSmbusHost::readRegister(unsigned offset) {
    switch (offset) {
    case kStatusPort: return status_;
    case kControlPort: index_ = 0; return registers_[kControlPort];
    case kBlockDataPort: return buffer_[index_++ % buffer_.size()];
    default: return registers_[offset];
    }
}

void ViaAtiSmbusHost::writeRegister(unsigned offset, uint8_t value) {
    switch (offset) {
    case kStatusPort: status_ &= uint8_t(~(value & kClearable)); return;
    case kBlockDataPort: buffer_[index_++ % buffer_.size()] = value; return;
    case kControlPort:
        registers_[kControlPort] = value & ~(kStart | kKill);
        if ((value & kKill) && (status_ & kBusy)) status_ = uint8_t((status_ & ~kBusy) | kFailed);
        if ((value & kStart) && !(status_ & kBusy) && hostEnabled()) start(value);
        return;
    default: registers_[offset] = value; return;
    }
}

void ViaAtiSmbusHost::start(uint8_t control) {
    status_ |= kBusy;
    if (stuckBusy()) return;
    const bool acknowledged = run((control >> 2) & 7);
    status_ = uint8_t((status_ & ~kBusy) | (acknowledged ? kDone : kDeviceError));
}

bool ViaAtiSmbusHost::run(unsigned type) {
    const uint8_t addressByte = registers_[kAddressPort], command = registers_[kCommandPort];
    const auto address = uint8_t(addressByte >> 1);
    const bool reading = addressByte & 1;
    uint8_t* data = &registers_[kData0Port];
    switch (type) {
    case kQuick: return transfer(Transfer::Quick, addressByte, command, data);
    case kByteData: return transfer(Transfer::ByteData, addressByte, command, data);
    case kWordData: return transfer(Transfer::WordData, addressByte, command, data);
    case kBlock: {
        if (!reading) {
            const size_t count = std::min<size_t>(registers_[kData0Port], buffer_.size());
            return count > 0 && segment().writeBlock(address, command, std::span(buffer_.data(), count));
        }
        std::vector<uint8_t> bytes;
        if (!segment().readBlock(address, command, bytes)) return false;
        registers_[kData0Port] = uint8_t(bytes.size());
        std::copy_n(bytes.begin(), std::min(bytes.size(), buffer_.size()), buffer_.begin());
        index_ = 0;
        return true;
    }
    default: return false;
    }
}

} // namespace vexa::machine
