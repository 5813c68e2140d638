// The register window (BAR 2) of an ATI/AMD graphics processor: dword
// registers that keep what is written (unset ones read 0), with the GPU's
// hardware I2C engine working on the buses of the board's I2C devices
// (thermal chips and the like, each a file of byte registers behind a
// register pointer). One engine per window, by generation:
//
//   r4xx  control/control-1/data at 0x90/0x94/0x98 (bus 0) and
//         0x2E0/0x2E4/0x2E8 (buses 1-3 by control bits 4:3); a control
//         write with bits 8 and 6 set runs the transfer: a write of the
//         address and register moves the device's pointer, a read (bits
//         10:9 set) puts the byte in the data register; control bit 0 tells
//         the device answered, bit 12 (busy) is cleared
//   r5xx  control 0x7D30 (8 starts; afterwards 1 done, 2 no answer),
//         transaction 0x7D38 (bus in bits 23:16, 0x107 reads), data 0x7D44
//   r6xx  line engine: control 0x7D30 (line in bits 10:8, bit 0 starts),
//         status 0x7D3C (bit 2 done, bit 4 no answer), data 0x7D74 loaded
//         by indexed writes 0x8000_0000 | index << 16 | byte << 8 (0 write
//         address, 1 register, 2 read address); 0x80030001 puts the byte
//         read in bits 15:8
//   r8xx  the line engine at control 0x6064, status 0x6070, data 0x60CC
//         for lines 0-5, and the pin engine for lines 6 and 7: pin pair
//         0x60EC (0x2829 line 6, 0x4C4D line 7), transaction 0x60E4 (bit 0
//         read), data 0x60E8 (0x8000_0000 | address << 8 begins a transfer,
//         byte << 8 adds a byte, 0x80010001 puts the byte read in bits
//         15:8), go 0x60D0 bit 0, status 0x60D8 (bit 4 done, bit 5 no
//         answer)
//   none  plain registers
#pragma once

#include "machine/devices/memory_bus.h"

#include <map>
#include <vector>

namespace vexa::machine {

enum class AtiI2cEngine { None, R4xx, R5xx, R6xx, R8xx };

struct AtiI2cDevice {
    uint8_t bus = 0;
    uint8_t address = 0;                     // 7-bit
    std::map<uint8_t, uint8_t> registers;    // unset registers read 0
    bool operator==(const AtiI2cDevice&) const = default;
};

struct AtiGpuWindowSettings {
    static constexpr uint64_t kMinSize = 0x1000;
    static constexpr uint64_t kMaxSize = 0x100000;

    uint64_t base = 0;
    uint64_t size = 0x10000;
    AtiI2cEngine engine = AtiI2cEngine::None;
    std::map<uint32_t, uint32_t> registers;  // dword offset -> value at the start
    std::vector<AtiI2cDevice> devices;
    bool operator==(const AtiGpuWindowSettings&) const = default;
};

class AtiGpuWindow final : public MemoryDevice {
public:
    explicit AtiGpuWindow(const AtiGpuWindowSettings& settings);

    std::string name() const override { return "graphics register window"; }
    uint64_t base() const override { return settings_.base; }
    uint64_t size() const override { return settings_.size; }
    void read(uint64_t offset, std::span<uint8_t> out) override;
    void write(uint64_t offset, std::span<const uint8_t> data) override;

private:
    struct Transfer {
        uint8_t bytes[4] = {};  // the line engines' indexed entries
        std::vector<uint8_t> fifo;
    };

    uint32_t reg(uint32_t offset) const;
    void writeRegister(uint32_t offset, uint32_t value);
    AtiI2cDevice* deviceAt(uint8_t bus, uint8_t address);
    // A write of the address byte and the register; the read of one byte.
    bool writePointer(uint8_t bus, uint8_t addressByte, const uint8_t* bytes, size_t count);
    bool readByte(uint8_t bus, uint8_t addressByte, uint8_t* value);
    // The transfer the byte engines' queue holds (the address byte first):
    // a read puts the byte in `data`; the queue is emptied.
    bool fifoTransfer(uint8_t bus, bool reading, uint32_t data);

    void r4xx(uint32_t offset, uint32_t value);
    void r5xx(uint32_t offset, uint32_t value);
    void lineEngine(uint32_t offset, uint32_t value, uint32_t control, uint32_t status, uint32_t data);
    void pinEngine(uint32_t offset, uint32_t value);

    AtiGpuWindowSettings settings_;
    std::map<uint32_t, uint32_t> registers_;
    std::map<std::pair<uint8_t, uint8_t>, uint8_t> pointers_;  // (bus, address) -> register pointer
    Transfer transfer_;
    uint8_t lastRead_ = 0;
};

} // namespace vexa::machine
