#include "machine/devices/i2c_line_bus.h"

#include <cstddef>

namespace vexa::machine {

namespace {
constexpr unsigned kDataClocks = 8, kFrameClocks = 9;
constexpr size_t kMaxRegisters = 256;
} // namespace

I2cLineBus::I2cLineBus(std::map<uint8_t, std::vector<uint8_t>> devices) : devices_(std::move(devices)) {
    for (auto& [address, bytes] : devices_)
        if (bytes.size() > kMaxRegisters) bytes.resize(kMaxRegisters);
    history_.push_back(levels());
}

I2cLineLevels I2cLineBus::levels() const {
    return I2cLineLevels{masterClock_, uint8_t(masterData_ & deviceData_)};
}

const std::vector<uint8_t>* I2cLineBus::registers(uint8_t address) const {
    const auto it = devices_.find(address);
    return it == devices_.end() ? nullptr : &it->second;
}

void I2cLineBus::drive(uint8_t clock, uint8_t data) {
    const I2cLineLevels before = levels();
    masterClock_ = clock & 1;
    masterData_ = data & 1;
    const I2cLineLevels now = levels();
    if (before.clock && now.clock && before.data != now.data) {
        // Data changing while the clock is high: START (falling) or STOP.
        if (now.data == 0) onStart();
        else {
            phase_ = Phase::Idle;
            deviceData_ = 1;
        }
    } else if (!before.clock && now.clock) {
        onClockRising(now.data);
    } else if (before.clock && !now.clock) {
        onClockFalling();
    }
    if (levels() != history_.back()) history_.push_back(levels());
}

void I2cLineBus::onStart() {
    phase_ = Phase::Address;
    clocks_ = 0;
    shift_ = 0;
    deviceData_ = 1;
}

void I2cLineBus::onClockRising(uint8_t data) {
    if (phase_ == Phase::Idle) return;
    ++clocks_;
    if (phase_ == Phase::Read) {
        if (clocks_ == kFrameClocks) acknowledged_ = data == 0;
    } else if (clocks_ <= kDataClocks) {
        shift_ = uint8_t(shift_ << 1 | data);
    }
}

void I2cLineBus::onClockFalling() {
    if (phase_ == Phase::Idle) return;
    if (phase_ == Phase::Read) {
        if (clocks_ < kDataClocks) {
            deviceData_ = outgoing_ >> (7 - clocks_) & 1;
        } else if (clocks_ == kDataClocks) {
            deviceData_ = 1;  // the master acknowledges
        } else {
            clocks_ = 0;
            if (!acknowledged_) {
                phase_ = Phase::Idle;
                deviceData_ = 1;
                return;
            }
            outgoing_ = nextReadByte();
            deviceData_ = outgoing_ >> 7 & 1;
        }
        return;
    }
    if (clocks_ == kDataClocks) {
        byteReceived();
    } else if (clocks_ == kFrameClocks) {
        clocks_ = 0;
        deviceData_ = 1;
        if (phase_ == Phase::Address) {
            phase_ = reading_ ? Phase::Read : Phase::Write;
            if (reading_) {
                outgoing_ = nextReadByte();
                deviceData_ = outgoing_ >> 7 & 1;
            }
        }
    }
}

// After the eighth bit: the device acknowledges by pulling the data line
// for the ninth clock, or drops off the bus.
void I2cLineBus::byteReceived() {
    const uint8_t byte = shift_;
    shift_ = 0;
    if (phase_ == Phase::Address) {
        const auto it = devices_.find(uint8_t(byte >> 1));
        if (it == devices_.end()) {
            phase_ = Phase::Idle;
            return;
        }
        selected_ = &it->second;
        reading_ = byte & 1;
        if (!reading_) pointerSet_ = false;
    } else if (!pointerSet_) {
        pointer_ = byte;
        pointerSet_ = true;
    } else {
        if (pointer_ < selected_->size()) (*selected_)[pointer_] = byte;
        ++pointer_;
    }
    deviceData_ = 0;
}

uint8_t I2cLineBus::nextReadByte() {
    const uint8_t value = pointer_ < selected_->size() ? (*selected_)[pointer_] : 0xFF;
    ++pointer_;
    return value;
}

} // namespace vexa::machine
