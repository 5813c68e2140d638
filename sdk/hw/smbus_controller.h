// An SMBus host controller as a register space (class REGSPACE_SMBUS): it
// carries out transfers with a 7-bit slave address and an 8-bit command
// byte ("register"): byte, word and block reads and writes. The SMBus
// interface (smbus_interface.h) creates one object per controller it finds
// and registers it in the root's register-space list, which owns it.
//
// Users reach a controller through the request operations below (or a
// CSMBusRequest run through LockedExecute); Execute maps a request to the
// transfer operations, which each family overrides for what its hardware
// can do (the others keep the base results: 0, and -1 for block transfers).
//
// The families: smbus_intel_ich.h (ICH, SCH), smbus_via_ati.h, smbus_sis.h,
// smbus_ali.h, smbus_nvidia.h, smbus_amd755.h, smbus_transmeta.h (port and
// northbridge controllers) and smbus_engines_5000x.h, smbus_engines_snbe.h
// (memory-controller engines in PCI configuration space).
//
// Every wait of a transfer is a bounded poll: the status is read first and
// the controller is given `sleep` ms between reads only while the wait goes
// on, so a transfer that is done at once costs no sleep; a status register
// that cannot be read, or reads as all ones (no controller answers at that
// address), ends the wait at once as a failure.
#pragma once

#include <cstdint>

#include "sdk/hw/register_space.h"

class CSMBusRequest;

class CSMBusRegisterSpace : public CRegisterSpace {
public:
    static constexpr uint32_t kNoControllerId = 0xFFFFFFFF;
    // The largest SMBus block.
    static constexpr uint32_t kBlockMax = 32;
    // DDR4 SPD EEPROMs (EE1004) hold 512 bytes in two pages of 256; a write
    // to one of these addresses selects the page of every EEPROM on the bus.
    static constexpr uint8_t kSpdPage0Address = 0x36;
    static constexpr uint8_t kSpdPage1Address = 0x37;
    static constexpr uint32_t kSpdPageSize = 256;

    CSMBusRegisterSpace(CIOSpace* ioSpace, int32_t pollCount);

    // The request's op: 0x11/0x12 byte, 0x21/0x22 word, 0x81 a run of byte
    // reads, 0x101/0x102 block; anything else (or another request kind)
    // fails. See smbus_controller.cpp for the fields.
    int Execute(CIORequest* request) override;
    // "SMBus, base address = 0x<high><low>".
    void Dump(CReportGenerator* report) override;

    // ---- Transfers; `slave` is the 7-bit address ----
    // 1 read / written, 0 failed.
    virtual int ReadByte(uint8_t slave, uint32_t reg, uint8_t* value);
    virtual int ReadWord(uint8_t slave, uint32_t reg, uint8_t* low, uint8_t* high);
    // `buffer` holds kBlockMax bytes; the number of bytes stored, -1 when
    // the controller has no block read.
    virtual int ReadBlock(uint8_t slave, uint32_t reg, uint8_t* buffer);
    virtual int WriteByte(uint8_t slave, uint32_t reg, uint8_t value);
    virtual int WriteWord(uint8_t slave, uint32_t reg, uint8_t low, uint8_t high);
    // The number of bytes written, -1 when the controller has no block write.
    virtual int WriteBlock(uint8_t slave, uint32_t reg, uint8_t* buffer, int32_t count);
    // Runs before every transfer of a request; nothing in the base.
    virtual void PrepareTransfer() {}

    // ---- Request operations: a CSMBusRequest run through LockedExecute ----
    // 1 with the value stored, 0 with the caller's value untouched.
    // Registers 256-511 of a DDR4 SPD EEPROM are read through its page
    // select (see SelectsSpdPagesItself).
    int ReadByteData(uint8_t slave, uint32_t reg, uint8_t* value);
    int ReadWordData(uint8_t slave, uint32_t reg, uint8_t* low, uint8_t* high);
    // `count` single-byte reads from `reg` on: the number that succeeded
    // (bytes that failed keep the buffer's content).
    uint32_t ReadBytes(uint8_t slave, uint32_t reg, uint8_t* buffer, uint32_t count);
    // One SMBus block read into a buffer of `size` bytes: the bytes stored,
    // never more than `size` or kBlockMax whatever the device announces;
    // 0 when the read fails or the controller has none.
    uint32_t ReadBlockData(uint8_t slave, uint32_t reg, uint8_t* buffer, uint32_t size);

    uint32_t m_dwControllerId = kNoControllerId;  // vendor << 16 | device of the owning function
    int32_t m_iPollCount;                         // bound of the subclass's polling loops
    // Set by classes whose byte reads reach registers 256-511 of a DDR4
    // SPD EEPROM themselves; for the others the request path selects the
    // page with a write to kSpdPage1Address and puts page 0 back after.
    bool m_bSelectsSpdPagesItself = false;

protected:
    // A byte of the I/O space; 0xFF when it cannot be read.
    uint8_t In(uint32_t offset);
    uint16_t InWord(uint32_t offset);
    void Out(uint32_t offset, uint32_t value);
    void OutWord(uint32_t offset, uint32_t value);
    // The I/O space is a port space, reachable by the driver's SMBus requests.
    bool HasPortSpace() const;

    // Reads the status with `read` until `done(status)` holds; between
    // reads it sleeps `sleepMs` ms, at most `polls` times. False on
    // time-out, or at once when the status equals `absent` (a controller
    // that does not answer). The last status read is in `status`.
    template <typename Read, typename Done>
    static bool PollStatus(Read read, Done done, int32_t polls, uint32_t sleepMs, uint32_t absent, uint32_t& status) {
        status = read();
        while (!done(status)) {
            if (status == absent || --polls < 0) return false;
            SleepMs(sleepMs);
            status = read();
        }
        return true;
    }
    // The same for a status byte of the I/O space at `offset`.
    template <typename Done>
    bool PollPort(uint32_t offset, Done done, int32_t polls, uint32_t sleepMs, uint8_t& status) {
        uint32_t value = 0;
        const bool ok = PollStatus([&] { return uint32_t(In(offset)); }, done, polls, sleepMs, 0xFF, value);
        status = uint8_t(value);
        return ok;
    }
    static void SleepMs(uint32_t milliseconds);

private:
    // The byte at a register of up to 511, with the DDR4 page select where
    // the class does not do it itself.
    int ReadSpdAware(uint8_t slave, uint32_t reg, uint8_t* value, int& selectedPage);
    bool SelectSpdPage(int page);
    int RunRequest(CSMBusRequest& request);
};
