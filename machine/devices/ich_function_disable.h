// Function-disable registers of Intel I/O controller hubs (ICH): bits that
// take a function of device 31 off the PCI bus until they are cleared.
//
// - ICH2 to ICH5: FUNC_DIS, the byte at 0xF2 of the LPC bridge 00:1f.0
//   (bits 23:16 of its configuration dword 0xF0); bit 3 hides the SMBus
//   controller 00:1f.3 (LpcFunctionDisable, below).
// - ICH6 and later: the FD register at offset 0x3418 of the root complex
//   register block, whose base the LPC bridge's dword 0xF0 holds
//   (root_complex_block.h); bit 3 hides the SMBus controller 00:1f.3 and
//   bit 24 the thermal sensor 00:1f.6.
//
// Only these bits are modelled; the other functions of the hub stay where
// they are whatever their bits say.
#pragma once

#include "machine/devices/pci_config_space.h"

namespace vexa::machine {

inline constexpr PciAddress kIchLpcBridge{0, 0x1F, 0};
inline constexpr PciAddress kIchSmbus{0, 0x1F, 3};
inline constexpr PciAddress kIchThermal{0, 0x1F, 6};

class LpcFunctionDisable final : public PciFunctionGate {
public:
    static constexpr unsigned kRegister = 0xF2;   // FUNC_DIS
    static constexpr uint8_t kSmbusDisable = 1u << 3;

    bool hides(PciAddress address, const PciConfigSpace& space) const override;
};

} // namespace vexa::machine
