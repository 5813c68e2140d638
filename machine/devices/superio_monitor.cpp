#include "machine/devices/superio_monitor.h"

namespace vexa::machine {
namespace {

constexpr uint8_t kBankBits = 0x0F;

} // namespace

SuperIoMonitor::SuperIoMonitor(SuperIoMonitorSettings settings) : settings_(std::move(settings)) {
    // The bank selected at power-on is what bank 0's copy of the register says.
    if (settings_.bankRegister) {
        const auto first = settings_.banks.find(0);
        if (first != settings_.banks.end()) bank_ = first->second[*settings_.bankRegister];
    }
}

std::vector<PortRange> SuperIoMonitor::ranges() const {
    return {PortRange{settings_.indexPort, uint16_t(settings_.indexPort + 1)}};
}

bool SuperIoMonitor::decodes(uint16_t port, unsigned width) const {
    return width == 1 && (port == settings_.indexPort || port == settings_.indexPort + 1);
}

SuperIoMonitorSettings::Bank* SuperIoMonitor::currentBank() {
    const auto it = settings_.banks.find(settings_.bankRegister ? bank_ & kBankBits : 0);
    return it == settings_.banks.end() ? nullptr : &it->second;
}

uint8_t SuperIoMonitor::readRegister() {
    if (settings_.bankRegister) {
        if (index_ == *settings_.bankRegister) return bank_;
        if (index_ == kVendorIdRegister && (bank_ & kHighByteSelect)) return settings_.vendorHighByte;
    }
    const SuperIoMonitorSettings::Bank* bank = currentBank();
    return bank ? (*bank)[index_] : 0xFF;
}

uint32_t SuperIoMonitor::read(uint16_t port, unsigned) {
    return port == settings_.indexPort ? index_ : readRegister();
}

void SuperIoMonitor::write(uint16_t port, unsigned, uint32_t value) {
    const auto byte = uint8_t(value);
    if (port == settings_.indexPort) {
        index_ = byte;
    } else if (settings_.bankRegister && index_ == *settings_.bankRegister) {
        bank_ = byte;
    } else if (SuperIoMonitorSettings::Bank* bank = currentBank()) {
        (*bank)[index_] = byte;
    }
}

} // namespace vexa::machine
