// An I2C bus seen as its two open-drain lines, for controllers that drive
// the lines themselves (bit-banging): the master releases (1) or pulls (0)
// the clock and data lines, and the devices on the bus answer at the bit
// level, pulling the data line low for their acknowledges and the zeros
// they send. A line reads high only while nobody pulls it. The devices are
// register files: a write's first byte sets the register pointer, further
// bytes are stored there, reads start at the pointer; both advance it.
// Every change of the line levels is recorded, so that tests can decode
// what went over the wire.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

namespace vexa::machine {

struct I2cLineLevels {
    uint8_t clock = 1, data = 1;
    bool operator==(const I2cLineLevels&) const = default;
};

class I2cLineBus {
public:
    // 7-bit address -> the device's registers from 0 on (at most 256;
    // registers beyond read 0xFF and ignore writes).
    explicit I2cLineBus(std::map<uint8_t, std::vector<uint8_t>> devices = {});

    // What the master drives (1 releases the line).
    void drive(uint8_t clock, uint8_t data);
    I2cLineLevels levels() const;
    // The levels after each change, starting with the idle bus.
    const std::vector<I2cLineLevels>& history() const { return history_; }
    const std::vector<uint8_t>* registers(uint8_t address) const;

private:
    enum class Phase { Idle, Address, Write, Read };

    void onStart();
    void onClockRising(uint8_t data);
    void onClockFalling();
    void byteReceived();
    uint8_t nextReadByte();

    std::map<uint8_t, std::vector<uint8_t>> devices_;
    uint8_t masterClock_ = 1, masterData_ = 1;
    uint8_t deviceData_ = 1;  // what the selected device drives
    Phase phase_ = Phase::Idle;
    unsigned clocks_ = 0;  // rising clock edges in the current nine-clock frame
    uint8_t shift_ = 0, outgoing_ = 0;
    bool acknowledged_ = false;  // by the master, for the byte just sent
    bool reading_ = false, pointerSet_ = false;
    std::vector<uint8_t>* selected_ = nullptr;
    uint8_t pointer_ = 0;
    std::vector<I2cLineLevels> history_;
};

} // namespace vexa::machine
