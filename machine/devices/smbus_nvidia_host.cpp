#include "machine/devices/smbus_nvidia_host.h"

#include <algorithm>

namespace vexa::machine {

namespace {

enum Port : unsigned {
    kProtocolPort = 0x00,
    kStatusPort = 0x01,
    kAddressPort = 0x02,
    kCommandPort = 0x03,
    kDataPort = 0x04,
    kCountPort = 0x24,
};

constexpr uint8_t kRead = 0x01;
constexpr uint8_t kQuick = 0x02, kByteData = 0x06, kWordData = 0x08, kBlockData = 0x0A;
constexpr size_t kBlockMax = 32;

} // namespace

void NvidiaSmbusHost::writeRegister(unsigned offset, uint8_t value) {
    if (offset == kStatusPort) return;
    registers_[offset] = value;
    if (offset == kProtocolPort && hostEnabled()) start(value);
}

void NvidiaSmbusHost::start(uint8_t protocol) {
    registers_[kStatusPort] = 0;
    if (stuckBusy()) return;
    const auto addressByte = uint8_t((registers_[kAddressPort] & 0xFE) | (protocol & kRead));
    const uint8_t command = registers_[kCommandPort];
    uint8_t* data = &registers_[kDataPort];
    bool acknowledged = false;
    switch (protocol & 0x7E) {
    case kQuick: acknowledged = transfer(Transfer::Quick, addressByte, command, data); break;
    case kByteData: acknowledged = transfer(Transfer::ByteData, addressByte, command, data); break;
    case kWordData: acknowledged = transfer(Transfer::WordData, addressByte, command, data); break;
    case kBlockData: acknowledged = block(addressByte); break;
    default: registers_[kStatusPort] = kDone | kUnsupported; return;
    }
    registers_[kStatusPort] = acknowledged ? kDone : kDone | kNoAcknowledge;
}

bool NvidiaSmbusHost::block(uint8_t addressByte) {
    const auto address = uint8_t(addressByte >> 1);
    uint8_t* data = &registers_[kDataPort];
    if (!(addressByte & kRead)) {
        const size_t count = std::min<size_t>(registers_[kCountPort], kBlockMax);
        return segment().writeBlock(address, registers_[kCommandPort], std::span(data, count));
    }
    std::vector<uint8_t> bytes;
    if (!segment().readBlock(address, registers_[kCommandPort], bytes)) return false;
    bytes.resize(std::min(bytes.size(), kBlockMax));
    registers_[kCountPort] = uint8_t(bytes.size());
    std::copy(bytes.begin(), bytes.end(), data);
    return true;
}

} // namespace vexa::machine
