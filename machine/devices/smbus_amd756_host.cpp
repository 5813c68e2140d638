#include "machine/devices/smbus_amd756_host.h"

namespace vexa::machine {

namespace {

enum Port : unsigned {
    kStatusPort = 0x00,
    kStatusHighPort = 0x01,
    kEnablePort = 0x02,
    kAddressPort = 0x04,
    kDataPort = 0x06,
    kCommandPort = 0x08,
};

constexpr uint8_t kClearable = 0x37;
constexpr uint8_t kStart = 0x08, kAbort = 0x20;
constexpr unsigned kQuick = 0, kByteData = 2, kWordData = 3;

} // namespace

void Amd756SmbusHost::writeRegister(unsigned offset, uint8_t value) {
    switch (offset) {
    case kStatusPort: registers_[kStatusPort] &= uint8_t(~(value & kClearable)); return;
    case kStatusHighPort: return;  // SMBus busy: read-only
    case kEnablePort:
        registers_[kEnablePort] = value & ~(kStart | kAbort);
        if ((value & kAbort) && (registers_[kStatusPort] & kHostBusy))
            registers_[kStatusPort] = uint8_t((registers_[kStatusPort] & ~kHostBusy) | kAborted);
        if ((value & kStart) && !(registers_[kStatusPort] & kHostBusy) && hostEnabled()) start();
        return;
    default: registers_[offset] = value; return;
    }
}

void Amd756SmbusHost::start() {
    uint8_t& status = registers_[kStatusPort];
    status |= kHostBusy;
    if (stuckBusy()) return;
    const uint8_t addressByte = registers_[kAddressPort], command = registers_[kCommandPort];
    uint8_t* data = &registers_[kDataPort];
    bool acknowledged = false;
    switch (registers_[kEnablePort] & 7) {
    case kQuick: acknowledged = transfer(Transfer::Quick, addressByte, command, data); break;
    case kByteData: acknowledged = transfer(Transfer::ByteData, addressByte, command, data); break;
    case kWordData: acknowledged = transfer(Transfer::WordData, addressByte, command, data); break;
    default: break;
    }
    status = uint8_t((status & ~kHostBusy) | (acknowledged ? kCycleDone : kProtocolError));
}

} // namespace vexa::machine
