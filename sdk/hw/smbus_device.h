// One answering slave address on one SMBus controller, directly on it or
// behind one channel of a board multiplexer (smbus_multiplexer.h). The
// SMBus interface creates and drops these devices as its probes find
// addresses answering or silent; the root's device list owns them. The SPD
// scan reads memory modules' EEPROMs and thermal sensors through them, the
// hardware monitors their SMBus sensor chips.
#pragma once

#include <cstdint>

#include "sdk/core/device.h"

class CMultiplexer;
class CSMBusRegisterSpace;

class CSMBusDevice : public CDevice {
public:
    static constexpr uint8_t kNoAddress = 0xFF;

    CSMBusDevice() : CDevice(DEVICE_SMBUS) {}

    // Writes nothing.
    void Dump(CReportGenerator*) override {}

    // The device's channel on its multiplexer: the switch's result; 0
    // without a multiplexer (or without a controller or address).
    int32_t SelectChannel();
    // The multiplexer's saved channel again; 0 without a multiplexer.
    int32_t RestoreChannel();

    // Each presets its outputs to 0xFF, selects the channel, runs the
    // controller's request and restores the channel. A device without a
    // controller or address fails at once; so does a transfer whose
    // channel could not be selected (the switch is left as it was).
    // 1 read, 0 failed.
    uint32_t ReadByte(uint32_t reg, uint8_t* value);
    uint32_t ReadWord(uint32_t reg, uint8_t* low, uint8_t* high);
    // `count` bytes from `reg` on, one byte read each: the number read.
    uint32_t ReadBytes(uint32_t reg, uint8_t* buffer, uint32_t count);

    CSMBusRegisterSpace* m_pController = nullptr;  // not owned
    CMultiplexer* m_pMultiplexer = nullptr;        // not owned; null when the device is on the controller
    uint8_t m_byChannel = 0;
    uint8_t m_bySlaveAddress = kNoAddress;

private:
    bool Usable() const { return m_pController && m_bySlaveAddress != kNoAddress; }
    // Selects the channel, runs the transfer, restores the channel.
    template <typename Transfer>
    uint32_t OnChannel(Transfer transfer);
};
