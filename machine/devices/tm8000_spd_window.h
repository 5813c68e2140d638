// The SPD window of the Transmeta TM8000 (Efficeon) north bridge: the first
// 64 bytes of the SPD EEPROM of memory slot n (0-3, the module at 0x50 + n)
// appear in configuration space of function n + 1 of device 00:00, at
// registers 0x50-0x8F; the bridge reads them from the modules itself, and
// software makes no SMBus transfer. A slot without a module reads 0xFF
// there; writes are ignored. One block serves one function.
#pragma once

#include "machine/devices/pci_config_space.h"
#include "machine/devices/smbus_segment.h"

#include <memory>

namespace vexa::machine {

class Tm8000SpdWindow final : public PciRegisterBlock {
public:
    static constexpr uint8_t kFirstModule = 0x50;
    static constexpr unsigned kSlots = 4;
    static constexpr unsigned kWindow = 0x50;
    static constexpr unsigned kBytes = 0x40;

    // `segment`: the modules, shared by the windows of the four functions.
    Tm8000SpdWindow(unsigned slot, std::shared_ptr<SmbusSegment> segment) : slot_(slot), segment_(std::move(segment)) {}

    PciAddress function() const override { return PciAddress{0, 0, uint8_t(slot_ + 1)}; }
    unsigned first() const override { return kWindow; }
    unsigned last() const override { return kWindow + kBytes - 1; }
    void read(unsigned offset, std::span<uint8_t> out) override;
    void write(unsigned, std::span<const uint8_t>) override {}

private:
    unsigned slot_;
    std::shared_ptr<SmbusSegment> segment_;
};

} // namespace vexa::machine
