#include "machine/devices/superio_chip.h"

namespace vexa::machine {
namespace {

constexpr uint8_t kLeaveKey = 0xAA;
constexpr uint8_t kIteConfigControl = 0x02;
constexpr uint8_t kIteReturnToWaitForKey = 0x02;

} // namespace

SuperIoChip::SuperIoChip(SuperIoChipSettings settings)
    : settings_(std::move(settings)),
      open_(settings_.protocol == SuperIoProtocol::NationalSemiconductor),
      selected_(settings_.selectedDevice) {}

std::vector<PortRange> SuperIoChip::ranges() const {
    return {PortRange{settings_.configPort, uint16_t(settings_.configPort + 1)}};
}

bool SuperIoChip::decodes(uint16_t port, unsigned width) const {
    return width == 1 && (port == settings_.configPort || port == settings_.configPort + 1);
}

std::vector<uint8_t> SuperIoChip::key() const {
    switch (settings_.protocol) {
    case SuperIoProtocol::Winbond:
    case SuperIoProtocol::Fintek: return {0x87, 0x87};
    case SuperIoProtocol::Ite: return {0x87, 0x01, 0x55, uint8_t(settings_.configPort == 0x4E ? 0xAA : 0x55)};
    case SuperIoProtocol::Smsc: return {0x55};
    case SuperIoProtocol::NationalSemiconductor: break;
    }
    return {};
}

void SuperIoChip::keyByte(uint8_t value) {
    const std::vector<uint8_t> sequence = key();
    if (sequence.empty()) return;
    if (value == sequence[keyProgress_]) ++keyProgress_;
    else keyProgress_ = value == sequence[0] ? 1 : 0;
    if (keyProgress_ == sequence.size()) {
        open_ = true;
        keyProgress_ = 0;
    }
}

uint32_t SuperIoChip::read(uint16_t port, unsigned) {
    if (!open_) return 0xFF;
    return port == settings_.configPort ? index_ : readRegister();
}

void SuperIoChip::write(uint16_t port, unsigned, uint32_t value) {
    const auto byte = uint8_t(value);
    if (!open_) {
        if (port == settings_.configPort) keyByte(byte);
        return;
    }
    if (port != settings_.configPort) {
        writeRegister(byte);
        return;
    }
    const bool leavesByKey = settings_.protocol == SuperIoProtocol::Winbond ||
                             settings_.protocol == SuperIoProtocol::Fintek ||
                             settings_.protocol == SuperIoProtocol::Smsc;
    if (leavesByKey && byte == kLeaveKey) open_ = false;
    else index_ = byte;
}

uint8_t SuperIoChip::readRegister() const {
    if (index_ == kDeviceSelect) return selected_;
    const std::map<uint8_t, uint8_t>* registers = &settings_.globalRegisters;
    if (index_ >= kFirstDeviceRegister) {
        if (selected_ == settings_.monitorDevice) {
            registers = &settings_.deviceRegisters;
        } else {
            const auto device = otherDevices_.find(selected_);
            if (device == otherDevices_.end()) return 0;
            registers = &device->second;
        }
    }
    const auto it = registers->find(index_);
    return it == registers->end() ? 0 : it->second;
}

// Global registers other than the device select hold identification and
// chip-wide controls that stay as the image gives them.
void SuperIoChip::writeRegister(uint8_t value) {
    if (index_ == kDeviceSelect) {
        selected_ = value;
    } else if (index_ == kIteConfigControl && settings_.protocol == SuperIoProtocol::Ite) {
        if (value & kIteReturnToWaitForKey) open_ = false;
    } else if (index_ >= kFirstDeviceRegister) {
        if (selected_ == settings_.monitorDevice) settings_.deviceRegisters[index_] = value;
        else otherDevices_[selected_][index_] = value;
    }
}

} // namespace vexa::machine
