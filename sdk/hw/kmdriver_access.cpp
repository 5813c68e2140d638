// Operations built from several requests: physical memory in bytes, dwords
// and qwords, and PCI configuration space through the configuration ports
// (mechanisms 1 and 2), which Windows 9x uses for all its configuration
// access.
#include <algorithm>
#include <cstring>

#include "sdk/hw/kmdriver.h"

namespace {

constexpr uint32_t kConfigAddressPort = 0xCF8;
constexpr uint32_t kConfigDataPort = 0xCFC;
constexpr uint32_t kConfigEnable = 0x80000000;
constexpr uint32_t kMech2ForwardPort = 0xCFA;
constexpr uint32_t kMech2Window = 0xC000;
constexpr uint32_t kMech2Enable = 0xF0;
constexpr uint32_t kConventionalConfigSize = 256;  // what mechanism 1 reaches

uint32_t ConfigAddress(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg) {
    return kConfigEnable | (bus & 0xFF) << 16 | (device & 31) << 11 | (function & 7) << 8 | (reg & 0xFF);
}

} // namespace

// ---- Physical memory ----

int CKMDriver::ReadMemoryByte(uint32_t baseHigh, uint32_t baseLow, uint32_t offset, uint8_t* value) {
    if (value) *value = 0xFF;
    uint32_t dword = 0;
    if (!ReadPhysicalMemory(baseHigh, baseLow + offset, sizeof dword, &dword)) return 0;
    if (value) *value = static_cast<uint8_t>(dword);
    return 1;
}

int CKMDriver::ReadMemoryDword(uint32_t baseHigh, uint32_t baseLow, uint32_t offset, uint32_t* value) {
    if (value) *value = 0xFFFFFFFF;
    uint32_t dword = 0;
    if (!ReadPhysicalMemory(baseHigh, baseLow + offset, sizeof dword, &dword)) return 0;
    if (value) *value = dword;
    return 1;
}

int CKMDriver::ReadMemoryQword(uint32_t baseHigh, uint32_t baseLow, uint32_t offset, uint32_t* high,
                               uint32_t* low) {
    if (high) *high = 0xFFFFFFFF;
    if (low) *low = 0xFFFFFFFF;
    uint32_t dwords[2] = {};
    if (!ReadPhysicalMemory(baseHigh, baseLow + offset, sizeof dwords, dwords)) return 0;
    if (low) *low = dwords[0];
    if (high) *high = dwords[1];
    return 1;
}

int CKMDriver::WriteMemoryByte(uint32_t baseHigh, uint32_t baseLow, uint32_t offset, uint32_t value) {
    // The driver writes dwords: the byte's neighbours are written back as read.
    uint32_t dword = 0;
    if (!ReadPhysicalMemory(baseHigh, baseLow + offset, sizeof dword, &dword)) return 0;
    dword = (dword & 0xFFFFFF00) | (value & 0xFF);
    return WritePhysicalMemory(baseHigh, baseLow + offset, dword);
}

int CKMDriver::WriteMemoryDword(uint32_t baseHigh, uint32_t baseLow, uint32_t offset, uint32_t value) {
    return WritePhysicalMemory(baseHigh, baseLow + offset, value);
}

// ---- PCI configuration mechanism 1 ----

int CKMDriver::ReadPCIConfigDwordByPorts(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg,
                                         uint32_t* value) {
    return ReadPCIConfigAddressByPorts(ConfigAddress(bus, device, function, reg), value);
}

int CKMDriver::ReadPCIConfigAddressByPorts(uint32_t address, uint32_t* value) {
    if (value) *value = 0xFFFFFFFF;
    // Whoever used the address register before us finds it unchanged.
    uint32_t saved = 0, data = 0;
    if (!ReadPortDword(kConfigAddressPort, &saved)) return 0;
    if (!WritePortDword(kConfigAddressPort, address & ~3u)) return 0;
    const bool read = ReadPortDword(kConfigDataPort, &data);
    const bool restored = WritePortDword(kConfigAddressPort, saved);
    if (!read || !restored) return 0;
    if (value) *value = data >> ((address & 3) * 8);
    return 1;
}

int CKMDriver::WritePCIConfigDwordByPorts(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg,
                                          uint32_t value) {
    return WritePCIConfigAddressByPorts(ConfigAddress(bus, device, function, reg), value);
}

int CKMDriver::WritePCIConfigAddressByPorts(uint32_t address, uint32_t value) {
    if (address & 3) return 0;  // a dword write needs a dword register
    uint32_t saved = 0;
    if (!ReadPortDword(kConfigAddressPort, &saved)) return 0;
    if (!WritePortDword(kConfigAddressPort, address)) return 0;
    const bool written = WritePortDword(kConfigDataPort, value);
    const bool restored = WritePortDword(kConfigAddressPort, saved);
    return written && restored;
}

// ---- PCI configuration mechanism 2 ----

int CKMDriver::ReadPCIConfigMech2(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg,
                                  uint32_t* value) {
    if (value) *value = 0xFFFFFFFF;
    if (!WritePortByte(kConfigAddressPort, kMech2Enable | (function & 7) << 1)) return 0;
    if (!WritePortByte(kMech2ForwardPort, bus)) return 0;
    // The window maps the 16 devices of the bus at 256 bytes each.
    ReadPortDword(kMech2Window | (device & 0xF) << 8 | (reg & 0xFF), value);
    return 1;
}

// ---- Windows 9x: configuration space through the ports ----

int CKMDriver::ReadPCIConfigDwords(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg,
                                   uint32_t length, uint8_t* buffer) {
    for (uint32_t done = 0; done < length && reg + done < kConventionalConfigSize; done += 4) {
        uint32_t dword = 0xFFFFFFFF;
        ReadPCIConfigDwordByPorts(bus, device, function, reg + done, &dword);
        std::memcpy(buffer + done, &dword, std::min<uint32_t>(4, length - done));
    }
    return 1;
}

int CKMDriver::WritePCIConfigDwords(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg,
                                    uint32_t length, const uint8_t* buffer) {
    for (uint32_t done = 0; done < length && reg + done < kConventionalConfigSize; done += 4) {
        const uint32_t bytes = std::min<uint32_t>(4, length - done);
        uint32_t dword = 0;
        // A last partial dword keeps the bytes beyond the caller's buffer.
        if (bytes < 4) ReadPCIConfigDwordByPorts(bus, device, function, reg + done, &dword);
        std::memcpy(&dword, buffer + done, bytes);
        WritePCIConfigDwordByPorts(bus, device, function, reg + done, dword);
    }
    return 1;
}
