// Stand-ins for SMBus hardware that the controller classes drive without a
// kernel driver: ports in memory, and the machine's ICH controller model
// reached directly as an I/O space. The other families run on the device
// models of machine images (smbus_family_images.h).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "machine/devices/pci_config_space.h"
#include "machine/devices/smbus_ich_host.h"
#include "sdk/hw/io_space.h"

namespace vexa::test {

// The byte every fake slave holds at a register.
constexpr uint8_t SlaveByte(uint8_t address, uint32_t reg) { return uint8_t(address * 3 + reg); }

// Ports in memory (an I/O space of no kernel-driver type, so the
// controllers make no driver request): bytes that keep what is written
// unless a family's fake gives a port a meaning. Counts every access.
class FakePorts : public CIOSpace {
public:
    explicit FakePorts(uint32_t base = 0x1000) : CIOSpace(0, 0, base, 0x100) {}

    int ReadByte(uint32_t offset, uint8_t* value) override;
    int ReadWord(uint32_t offset, uint16_t* value) override;
    int ReadDword(uint32_t offset, uint32_t* value) override;
    int ReadQword(uint32_t, uint32_t*, uint32_t*) override { return 0; }
    int WriteByte(uint32_t offset, uint32_t value) override;
    int WriteWord(uint32_t offset, uint32_t value) override;
    int WriteDword(uint32_t offset, uint32_t value) override;

    size_t Accesses() const { return m_accesses; }
    size_t Writes() const { return m_writes; }
    uint8_t& At(uint32_t offset) { return m_bytes[offset & 0xFF]; }

protected:
    virtual uint8_t OnRead(uint32_t offset) { return m_bytes[offset & 0xFF]; }
    virtual void OnWrite(uint32_t offset, uint8_t value) { m_bytes[offset & 0xFF] = value; }

    std::array<uint8_t, 256> m_bytes{};

private:
    size_t m_accesses = 0;
    size_t m_writes = 0;
};

// The machine's ICH controller model on a segment of slaves, reached
// directly as an I/O space (what the ICH, VIA and ATI classes drive).
class IchBench {
public:
    static constexpr uint16_t kBase = 0x400;

    // SPD EEPROMs of 256 bytes at `eeproms` and register images (which
    // keep writes) at `images`, SlaveByte() in each.
    explicit IchBench(std::vector<uint8_t> eeproms, bool stuckBusy = false, std::vector<uint8_t> images = {});

    FakePorts& Ports() { return *m_ports; }
    machine::IchSmbusHost& Host() { return *m_host; }

private:
    machine::PciConfigSpace m_pci;
    std::unique_ptr<machine::IchSmbusHost> m_host;
    std::unique_ptr<FakePorts> m_ports;
};

} // namespace vexa::test
