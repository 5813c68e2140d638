// What the SMBus host controllers on I/O ports share (smbus_sch_host.h,
// smbus_via_ati_host.h, smbus_sis_host.h, smbus_ali_m7101_host.h,
// smbus_ali_m1563_host.h, smbus_nvidia_host.h, smbus_amd756_host.h): a
// block of ports at an I/O base that a chipset register holds, answering
// while the chipset decodes it, with one segment of slaves behind it.
//
// Every model completes a transfer at once when software starts it (the
// status shows the end at the next read), except with `stuckBusy`, where
// every transfer hangs busy as on a controller that stopped working.
// Accesses wider than a byte reach the byte registers from the port on,
// least significant byte first, on the chips that take them.
#pragma once

#include "machine/devices/pci_config_space.h"
#include "machine/devices/port_bus.h"
#include "machine/devices/smbus_segment.h"

#include <memory>
#include <vector>

namespace vexa::machine {

// Where a controller's ports are decoded and whether it may start transfers.
class SmbusHostGate {
public:
    virtual ~SmbusHostGate() = default;
    // The I/O base the chipset decodes now; 0 while the ports are off.
    virtual uint16_t base() const = 0;
    // Transfers start only while the host interface is enabled.
    virtual bool hostEnabled() const = 0;
};

// Bits of one configuration byte of a function that must all be set.
struct PciEnableBits {
    unsigned offset = 0;
    uint8_t mask = 0;
};

// The base in a register of a PCI function: the ports are decoded while the
// function is shown, its decode bits are set and the register holds an I/O
// base; the model answers only at the base it was placed at (it does not
// move with the register).
class PciBaseGate final : public SmbusHostGate {
public:
    struct Layout {
        unsigned baseRegister = 0;    // the dword (or narrower register) holding the base
        uint32_t baseMask = 0;        // its base bits
        uint16_t offset = 0;          // the controller's ports within the decoded block
        std::vector<PciEnableBits> decode;  // I/O decoding (command bit 0, chip enables)
        std::vector<PciEnableBits> host;    // the host interface
    };

    PciBaseGate(const PciConfigSpace& space, PciAddress function, Layout layout)
        : space_(space), function_(function), layout_(std::move(layout)) {}

    // (register AND mask) + offset, whether decoded or not; 0 when the
    // register holds no base (0, or all base bits set as an absent
    // register reads).
    uint16_t registerBase() const;
    uint16_t base() const override;
    bool hostEnabled() const override;

private:
    bool allSet(const std::vector<PciEnableBits>& bits) const;

    const PciConfigSpace& space_;
    PciAddress function_;
    Layout layout_;
};

// A base no register of the model holds (the image names it).
class FixedBaseGate final : public SmbusHostGate {
public:
    explicit FixedBaseGate(uint16_t base) : base_(base) {}
    uint16_t base() const override { return base_; }
    bool hostEnabled() const override { return true; }

private:
    uint16_t base_;
};

class SmbusPortHost : public PortDevice {
public:
    // `ports`: the size of the register block at `base`; `maxWidth`: the
    // widest access the chip takes (1 or 2).
    SmbusPortHost(std::string name, uint16_t base, unsigned ports, unsigned maxWidth,
                  std::unique_ptr<SmbusHostGate> gate, SmbusSegment segment, bool stuckBusy);

    std::string name() const override { return name_; }
    std::vector<PortRange> ranges() const override;
    bool decodes(uint16_t port, unsigned width) const override;
    uint32_t read(uint16_t port, unsigned width) override;
    void write(uint16_t port, unsigned width, uint32_t value) override;

    SmbusSegment& segment() { return segment_; }

protected:
    virtual uint8_t readRegister(unsigned offset) = 0;
    virtual void writeRegister(unsigned offset, uint8_t value) = 0;

    // The transfers every family carries out alike, between the segment and
    // the chip's data registers `data` (data 0, data 1): false when no device
    // acknowledges. `addressByte` is the address as on the wire (bit 0: read).
    enum class Transfer { Quick, ByteData, WordData };
    bool transfer(Transfer kind, uint8_t addressByte, uint8_t command, uint8_t* data);

    bool hostEnabled() const { return gate_->hostEnabled(); }
    bool stuckBusy() const { return stuckBusy_; }

private:
    std::string name_;
    uint16_t base_;
    unsigned ports_;
    unsigned maxWidth_;
    std::unique_ptr<SmbusHostGate> gate_;
    SmbusSegment segment_;
    bool stuckBusy_;
};

} // namespace vexa::machine
