#include "machine/devices/smbus_ali_m7101_host.h"

namespace vexa::machine {

namespace {

enum Port : unsigned {
    kStatusPort = 0x00,
    kTypePort = 0x01,
    kStartPort = 0x02,
    kAddressPort = 0x03,
    kData0Port = 0x04,
    kCommandPort = 0x07,
};

constexpr uint8_t kKill = 0x04;
constexpr uint8_t kClearable = 0xF0;
constexpr unsigned kQuick = 0, kByteData = 2, kWordData = 3;

} // namespace

uint8_t AliM7101SmbusHost::readRegister(unsigned offset) {
    return offset == kStatusPort ? status_ : registers_[offset];
}

void AliM7101SmbusHost::writeRegister(unsigned offset, uint8_t value) {
    switch (offset) {
    case kStatusPort: status_ &= uint8_t(~(value & kClearable)); return;
    case kTypePort:
        registers_[kTypePort] = value & ~kKill;
        if ((value & kKill) && (status_ & kBusy)) status_ = uint8_t((status_ & ~kBusy) | kIdle | kFailed);
        return;
    case kStartPort:
        if (!(status_ & kBusy) && hostEnabled()) start();
        return;
    default: registers_[offset] = value; return;
    }
}

void AliM7101SmbusHost::start() {
    status_ = uint8_t((status_ & ~kIdle) | kBusy);
    if (stuckBusy()) return;
    const bool acknowledged = run((registers_[kTypePort] >> 4) & 7);
    status_ = uint8_t((status_ & ~kBusy) | kIdle | (acknowledged ? kDone : kDeviceError));
}

bool AliM7101SmbusHost::run(unsigned type) {
    const uint8_t addressByte = registers_[kAddressPort], command = registers_[kCommandPort];
    uint8_t* data = &registers_[kData0Port];
    switch (type) {
    case kQuick: return transfer(Transfer::Quick, addressByte, command, data);
    case kByteData: return transfer(Transfer::ByteData, addressByte, command, data);
    case kWordData: return transfer(Transfer::WordData, addressByte, command, data);
    default: return false;
    }
}

} // namespace vexa::machine
