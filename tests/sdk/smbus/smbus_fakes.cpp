#include "tests/sdk/smbus/smbus_fakes.h"

#include "machine/devices/smbus_slaves.h"

namespace vexa::test {

// ---- Ports in memory ----

int FakePorts::ReadByte(uint32_t offset, uint8_t* value) {
    ++m_accesses;
    *value = OnRead(offset);
    return 1;
}

int FakePorts::ReadWord(uint32_t offset, uint16_t* value) {
    ++m_accesses;
    *value = uint16_t(OnRead(offset) | OnRead(offset + 1) << 8);
    return 1;
}

int FakePorts::ReadDword(uint32_t offset, uint32_t* value) {
    ++m_accesses;
    *value = 0;
    for (uint32_t i = 0; i < 4; ++i) *value |= uint32_t(OnRead(offset + i)) << (8 * i);
    return 1;
}

int FakePorts::WriteByte(uint32_t offset, uint32_t value) {
    ++m_accesses;
    ++m_writes;
    OnWrite(offset, uint8_t(value));
    return 1;
}

int FakePorts::WriteWord(uint32_t offset, uint32_t value) {
    ++m_accesses;
    ++m_writes;
    OnWrite(offset + 1, uint8_t(value >> 8));
    OnWrite(offset, uint8_t(value));
    return 1;
}

int FakePorts::WriteDword(uint32_t offset, uint32_t value) {
    ++m_accesses;
    ++m_writes;
    for (uint32_t i = 0; i < 4; ++i) OnWrite(offset + i, uint8_t(value >> (8 * i)));
    return 1;
}

// ---- The ICH model ----

namespace {

constexpr machine::PciAddress kSmbusFunction{0, 0x1F, 3};

// A port device of the machine layer reached without the kernel driver.
class DeviceSpace final : public FakePorts {
public:
    DeviceSpace(machine::PortDevice& device, uint32_t base) : FakePorts(base), m_device(device) {}

protected:
    uint8_t OnRead(uint32_t offset) override {
        const auto port = uint16_t(m_dwBaseLow + offset);
        return m_device.decodes(port, 1) ? uint8_t(m_device.read(port, 1)) : 0xFF;
    }
    void OnWrite(uint32_t offset, uint8_t value) override {
        const auto port = uint16_t(m_dwBaseLow + offset);
        if (m_device.decodes(port, 1)) m_device.write(port, 1, value);
    }

private:
    machine::PortDevice& m_device;
};

} // namespace

IchBench::IchBench(std::vector<uint8_t> eeproms, bool stuckBusy, std::vector<uint8_t> images) {
    machine::PciConfigSpace::Registers registers{};
    const uint8_t header[] = {0x86, 0x80, 0x30, 0x3A, 0x01};
    std::copy(std::begin(header), std::end(header), registers.begin());
    registers[0x20] = uint8_t(kBase | 1);
    registers[0x21] = uint8_t(kBase >> 8);
    registers[0x40] = 0x01;
    m_pci.addFunction(kSmbusFunction, registers);
    machine::SmbusSegment segment;
    std::string error;
    for (const uint8_t address : eeproms) {
        std::vector<uint8_t> bytes(256);
        for (uint32_t reg = 0; reg < bytes.size(); ++reg) bytes[reg] = SlaveByte(address, reg);
        segment.attach(address, std::make_unique<machine::SpdEeprom>(std::move(bytes)), error);
    }
    for (const uint8_t address : images) {
        std::map<unsigned, machine::RegisterImageDevice::Bank> banks;
        for (uint32_t reg = 0; reg < 256; ++reg) banks[0][reg] = SlaveByte(address, reg);
        segment.attach(address, std::make_unique<machine::RegisterImageDevice>(std::move(banks), -1), error);
    }
    m_host = std::make_unique<machine::IchSmbusHost>(m_pci, kSmbusFunction, kBase, std::move(segment), stuckBusy);
    m_ports = std::make_unique<DeviceSpace>(*m_host, kBase);
}

} // namespace vexa::test
