#include "machine/devices/smbus_sch_host.h"

#include <algorithm>

namespace vexa::machine {

namespace {

enum Port : unsigned {
    kControlPort = 0x00,
    kStatusPort = 0x01,
    kAddressPort = 0x04,
    kCommandPort = 0x05,
    kData0Port = 0x06,
    kData1Port = 0x07,
    kBlockPort = 0x20,
};

constexpr uint8_t kStart = 0x10;
constexpr uint8_t kClearable = 0x07;
constexpr unsigned kQuick = 0, kByteData = 2, kWordData = 3, kBlock = 5;
constexpr size_t kBlockMax = 32;

} // namespace

uint8_t SchSmbusHost::readRegister(unsigned offset) {
    if (offset == kStatusPort) return status_;
    return registers_[offset];
}

void SchSmbusHost::writeRegister(unsigned offset, uint8_t value) {
    if (offset == kStatusPort) {
        status_ &= uint8_t(~(value & kClearable));
        return;
    }
    if (offset != kControlPort) {
        registers_[offset] = value;
        return;
    }
    registers_[kControlPort] = value & ~kStart;
    if ((value & kStart) && !(status_ & kBusy) && hostEnabled()) start();
}

void SchSmbusHost::start() {
    status_ = uint8_t((status_ & ~kClearable) | kBusy);
    if (stuckBusy()) return;
    const bool acknowledged = run(registers_[kControlPort] & 0x07);
    status_ = uint8_t((status_ & ~kBusy) | (acknowledged ? kDone : kDeviceError));
}

bool SchSmbusHost::run(unsigned type) {
    const uint8_t addressByte = registers_[kAddressPort], command = registers_[kCommandPort];
    const auto address = uint8_t(addressByte >> 1);
    const bool reading = addressByte & 1;
    uint8_t* data = &registers_[kData0Port];
    switch (type) {
    case kQuick: return transfer(Transfer::Quick, addressByte, command, data);
    case kByteData: return transfer(Transfer::ByteData, addressByte, command, data);
    case kWordData: return transfer(Transfer::WordData, addressByte, command, data);
    case kBlock: {
        uint8_t* block = &registers_[kBlockPort];
        if (!reading) {
            const size_t count = std::min<size_t>(registers_[kData0Port], kBlockMax);
            return count > 0 && segment().writeBlock(address, command, std::span(block, count));
        }
        std::vector<uint8_t> bytes;
        if (!segment().readBlock(address, command, bytes)) return false;
        registers_[kData0Port] = uint8_t(bytes.size());
        std::copy_n(bytes.begin(), std::min(bytes.size(), kBlockMax), block);
        return true;
    }
    default: return false;
    }
}

} // namespace vexa::machine
