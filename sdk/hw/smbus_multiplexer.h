// The channel switches some mainboards put between the SMBus controller and
// their memory-module sockets: two SMBus segments, one chosen at a time by a
// general-purpose output of the chipset or of the super-I/O chip. A
// multiplexer remembers the channel the firmware left (Save) and puts it
// back after every transfer on another channel (Restore), so that the board
// is left as found between transfers.
//
// Every switch and read-back is serialised with other programs by the
// named global mutex "Access_MUX", held only around the switch itself. The
// wait for it is bounded: a program that keeps it makes the switch fail,
// and with it the transfer that needed it.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

class CIOSpace;
class Winbond_LPCIO_ConfigMode;

class CMultiplexer {
public:
    static constexpr const char* kMutexName = "Access_MUX";
    static constexpr uint32_t kDefaultMutexTimeoutMs = 1000;

    CMultiplexer();
    virtual ~CMultiplexer();
    CMultiplexer(const CMultiplexer&) = delete;
    CMultiplexer& operator=(const CMultiplexer&) = delete;

    // The board's switch (1 done); the base has none (0).
    virtual int32_t SetChannel(uint8_t) { return 0; }
    // The board's read-back; 0 in the base.
    virtual uint8_t GetChannel() { return 0; }

    // Switches to the channel (one above the last selects the last) inside
    // the mutex: the switch's result, or 0 without a switch when the mutex
    // stays taken for m_dwMutexTimeoutMs.
    int32_t Select(uint8_t channel);
    // Select(saved channel).
    int32_t Restore();
    // The channel read back inside the mutex; the saved channel when the
    // mutex stays taken.
    uint8_t ReadChannel();
    // Keeps the channel found now; called once after construction.
    uint8_t Save();

    HANDLE m_hMutex;                  // "Access_MUX"; null when it could not be made
    uint8_t m_bySavedChannel = 0;
    uint8_t m_byChannelCount = 1;
    uint32_t m_dwMutexTimeoutMs = kDefaultMutexTimeoutMs;

private:
    // True when the caller holds the mutex now (or there is none).
    bool Lock();
    void Unlock();
};

// ASUS P5W DH Deluxe and relatives (ICH7R): GPIO 32 (bit 0 of the byte at
// 0x38 of the GPIO block) selects the channel.
class Asus_P5W_SMBusMultiplexer : public CMultiplexer {
public:
    static constexpr uint32_t kLevelRegister = 0x38;
    static constexpr uint8_t kLine = 0x01;

    explicit Asus_P5W_SMBusMultiplexer(CIOSpace* gpio) : Asus_P5W_SMBusMultiplexer(gpio, kLine) {}

    // Writes only when the line differs.
    int32_t SetChannel(uint8_t channel) override;
    uint8_t GetChannel() override;

    CIOSpace* m_pGPIO;  // not owned

protected:
    Asus_P5W_SMBusMultiplexer(CIOSpace* gpio, uint8_t line) : m_pGPIO(gpio), m_byLine(line) { m_byChannelCount = 2; }

private:
    uint8_t m_byLine;
};

// ASUS P5M2 family (ICH7R): GPIO 34 (bit 2 of the same byte).
class Asus_P5M2_SMBusMultiplexer : public Asus_P5W_SMBusMultiplexer {
public:
    static constexpr uint8_t kLine = 0x04;

    explicit Asus_P5M2_SMBusMultiplexer(CIOSpace* gpio) : Asus_P5W_SMBusMultiplexer(gpio, kLine) {}
};

// ASUS boards with the ASB100 monitor (i815, 0x1043:0x8027): a line of
// the Winbond-protocol super-I/O chip, bit 4 of register 0xF1 of logical
// device 8, selects the channel. Owns its configuration mode.
class Asus_ASB100_SMBusMultiplexer_Type_2 : public CMultiplexer {
public:
    static constexpr uint8_t kLogicalDevice = 8;
    static constexpr uint8_t kLineRegister = 0xF1;
    static constexpr uint8_t kLine = 0x10;
    static constexpr uint8_t kLineField = 0x18;  // bits 4:3, cleared before the line is set

    explicit Asus_ASB100_SMBusMultiplexer_Type_2(Winbond_LPCIO_ConfigMode* configMode);
    ~Asus_ASB100_SMBusMultiplexer_Type_2() override;

    // A configuration mode that cannot be entered leaves the channel as it
    // is (1 all the same); the read-back then reports channel 0. The
    // logical-device select is put back before the mode is left.
    int32_t SetChannel(uint8_t channel) override;
    uint8_t GetChannel() override;

    Winbond_LPCIO_ConfigMode* m_pConfigMode;  // owned
};

// Intel S5500BC (ICH10R): GPIO 52/49 (bits 20 and 17 of the dword at 0x38
// of the GPIO block) drive the two channels' enables.
class Intel_S5500BC_SMBusMultiplexer : public CMultiplexer {
public:
    static constexpr uint32_t kLevelRegister = 0x38;
    static constexpr uint32_t kChannel1Line = 1u << 20;
    static constexpr uint32_t kChannel0Line = 1u << 17;

    explicit Intel_S5500BC_SMBusMultiplexer(CIOSpace* gpio) : m_pGPIO(gpio) { m_byChannelCount = 2; }

    int32_t SetChannel(uint8_t channel) override;
    uint8_t GetChannel() override;

    CIOSpace* m_pGPIO;  // not owned
};

// EVGA boards with the ICH10R (0x3842:0x101A): GPIO 52/53 (bits 21:20 of
// the GPIO block's use-select, direction and level dwords at 0x30, 0x34
// and 0x38); 10b is channel 1, 11b channel 0.
class EVGA_ICH10R_SMBusMultiplexer : public CMultiplexer {
public:
    static constexpr uint32_t kUseSelectRegister = 0x30;
    static constexpr uint32_t kDirectionRegister = 0x34;
    static constexpr uint32_t kLevelRegister = 0x38;
    static constexpr uint32_t kLines = 3u << 20;
    static constexpr uint32_t kHighLine = 1u << 21;

    explicit EVGA_ICH10R_SMBusMultiplexer(CIOSpace* gpio) : m_pGPIO(gpio) { m_byChannelCount = 2; }

    int32_t SetChannel(uint8_t channel) override;
    // Also makes the two lines GPIO outputs where the firmware had not, and
    // drives them to channel 0 when they showed neither channel.
    uint8_t GetChannel() override;

    CIOSpace* m_pGPIO;  // not owned
};
