#include "sdk/hw/smbus_discovery.h"

#include <algorithm>

#include "sdk/core/sdk.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/pci_interface.h"
#include "sdk/hw/smbus_interface.h"

namespace smbus_discovery {

std::vector<CPCIDevice*> PCIFunctions() {
    std::vector<CPCIDevice*> functions;
    CTListIterator<CDevice> it(GetSDK()->m_pDevices);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext())
        if (device->m_dwKind & DEVICE_PCI) functions.push_back(static_cast<CPCIDevice*>(device));
    return functions;
}

bool Listed(uint16_t id, std::initializer_list<uint16_t> ids) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

uint16_t Function::Vendor() const { return m_device.GetVendorID(); }
uint16_t Function::Device() const { return m_device.GetDeviceID(); }
uint8_t Function::Revision() const { return m_device.m_pCommonHeader->m_byRevisionID; }
uint32_t Function::ControllerId() const { return uint32_t(Vendor()) << 16 | Device(); }

uint32_t Function::ConfigAddress() const {
    return 0x80000000u | uint32_t(m_device.m_byBus) << 16 | uint32_t(m_device.m_byDevice) << 11 |
           uint32_t(m_device.m_byFunction) << 8;
}

uint32_t Function::Read(uint32_t reg) const {
    CPCIInterface* pci = GetSDK()->m_pPCI;
    if (!pci) return 0xFFFFFFFF;
    // Two aligned dwords hold the 32 bits from any register on.
    const uint32_t aligned = reg & ~3u, shift = (reg & 3) * 8;
    uint32_t low = 0xFFFFFFFF, high = 0xFFFFFFFF;
    if (!pci->ReadConfig(m_device.m_byBus, m_device.m_byDevice, m_device.m_byFunction, int32_t(aligned), &low))
        return 0xFFFFFFFF;
    if (!shift) return low;
    if (!pci->ReadConfig(m_device.m_byBus, m_device.m_byDevice, m_device.m_byFunction, int32_t(aligned + 4), &high))
        high = 0xFFFFFFFF;
    return uint32_t((uint64_t(high) << 32 | low) >> shift);
}

bool Function::Base(uint32_t reg, uint32_t mask, uint32_t& base) const {
    const uint32_t raw = Read(reg);
    if (raw == 0xFFFFFFFF) return false;
    base = raw & mask;
    return base != 0;
}

void Function::Write(uint32_t reg, uint32_t value) {
    if (Read(reg) != value) m_owner.WriteConfigAndRemember(m_device, reg, value);
}

void Function::EnableIO() {
    constexpr uint32_t kIOSpace = 1;
    // The status word above it is write-one-to-clear: zeros leave it.
    const uint32_t command = Read(kCommandRegister) & 0xFFFF;
    if (!(command & kIOSpace)) Write(kCommandRegister, command | kIOSpace);
}

bool Function::EnableBit(uint32_t reg, uint32_t bit) {
    const uint32_t mask = 1u << bit;
    const uint32_t value = Read(reg);
    if (value & mask) return true;
    Write(reg, value | mask);
    return (Read(reg) & mask) != 0;
}

} // namespace smbus_discovery
