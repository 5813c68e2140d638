// What the SMBus interface's discovery (smbus_host_discovery.cpp,
// smbus_board_discovery.cpp) shares: the PCI functions of the root's device
// list and the configuration accesses it makes to one of them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

class CPCIDevice;
class CSMBusInterface;

namespace smbus_discovery {

// The PCI functions of the root's device list, in order; a list of our own,
// so that a rescan while it is walked does not disturb the walk.
std::vector<CPCIDevice*> PCIFunctions();

bool Listed(uint16_t id, std::initializer_list<uint16_t> ids);

// The command register (bits 15:0) and status register (31:16) dword.
constexpr uint32_t kCommandRegister = 0x04;

// One PCI function as the discovery reads and changes it, through the PCI
// domain's configuration access at the function's own location.
class Function {
public:
    Function(CSMBusInterface& owner, CPCIDevice& device) : m_owner(owner), m_device(device) {}

    uint16_t Vendor() const;
    uint16_t Device() const;
    uint8_t Revision() const;
    // vendor << 16 | device.
    uint32_t ControllerId() const;
    // 0x80000000 | bus << 16 | device << 11 | function << 8.
    uint32_t ConfigAddress() const;

    // The 32 bits from `reg` on (any alignment); all ones when the read fails.
    uint32_t Read(uint32_t reg) const;
    // An I/O or memory base: the bits of `mask` of the register. False for
    // a register that cannot be read or reads as all ones (nothing
    // answers: its bits are no base), and for a base of 0.
    bool Base(uint32_t reg, uint32_t mask, uint32_t& base) const;
    // Writes a dword (remembered for the restore at close); nothing when
    // the register already holds the value.
    void Write(uint32_t reg, uint32_t value);
    // Sets I/O decoding (command bit 0) when it is off.
    void EnableIO();
    // Sets bit `bit` of dword `reg` when it is clear; false when it does
    // not stay set.
    bool EnableBit(uint32_t reg, uint32_t bit);

    CPCIDevice& Pci() const { return m_device; }

private:
    CSMBusInterface& m_owner;
    CPCIDevice& m_device;
};

} // namespace smbus_discovery
