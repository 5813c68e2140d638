// One SMBus segment of a simulated machine and the slaves on it, as a host
// controller sees them on the wire: a write transfer is the command byte
// and the bytes after it; a read transfer writes the command byte and then
// reads bytes. A slave that does not acknowledge fails the transfer, as an
// address nobody answers does.
//
// DDR4 SPD EEPROMs (EE1004) keep 512 bytes in two pages: a write to the
// page-select address 0x36 (page 0) or 0x37 (page 1) reaches every such
// EEPROM on the segment at once and is acknowledged when there is one.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace vexa::machine {

class SmbusSlave {
public:
    virtual ~SmbusSlave() = default;
    virtual std::string name() const = 0;
    // False: the device did not acknowledge.
    virtual bool write(uint8_t command, std::span<const uint8_t> data) = 0;
    // Fills `out` with the bytes the device sends after `command`.
    virtual bool read(uint8_t command, std::span<uint8_t> out) = 0;
    // EE1004 EEPROMs: two pages of 256 bytes, chosen by writes to the
    // page-select addresses.
    virtual bool pagedSpd() const { return false; }
    virtual void selectSpdPage(unsigned) {}
};

class SmbusSegment {
public:
    static constexpr uint8_t kSpdPage0Address = 0x36;
    static constexpr uint8_t kSpdPage1Address = 0x37;
    static constexpr uint8_t kLastAddress = 0x7F;

    // False (with a message) for an address past 0x7F, one that is taken,
    // and the page-select addresses.
    bool attach(uint8_t address, std::unique_ptr<SmbusSlave> slave, std::string& error);

    // Whether a device answers its address (a quick command).
    bool acknowledges(uint8_t address) const;
    bool write(uint8_t address, uint8_t command, std::span<const uint8_t> data);
    bool read(uint8_t address, uint8_t command, std::span<uint8_t> out);
    // An SMBus block read: the count the device sends first, then that many
    // bytes (the host decides how many it keeps).
    bool readBlock(uint8_t address, uint8_t command, std::vector<uint8_t>& bytes);
    // An SMBus block write: the count, then the bytes.
    bool writeBlock(uint8_t address, uint8_t command, std::span<const uint8_t> bytes);

    size_t size() const { return slaves_.size(); }

private:
    bool hasPagedSpd() const;

    std::map<uint8_t, std::unique_ptr<SmbusSlave>> slaves_;
};

} // namespace vexa::machine
