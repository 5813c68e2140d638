#include "tests/sdk/hw/access_test_support.h"

#include "tests/support/test_paths.h"

namespace vexa::test {

void AccessTest::TearDown() {
    ReleaseSDK();
    KMDriverOnMachine::TearDown();
}

machine::Machine& AccessTest::start(std::unique_ptr<machine::Machine> loaded) {
    machine::Machine& machine = install(std::move(loaded));
    GetSDK()->m_pDriver = &lockedDriver();
    return machine;
}

machine::Machine& AccessTest::startX58() { return start(loadMachine(sourcePath("machines/x58-nehalem"))); }

machine::Machine& AccessTest::startWithPorts(std::vector<std::unique_ptr<machine::PortDevice>> devices) {
    machine::SimulatedHardware hardware;
    std::string error;
    for (auto& device : devices) EXPECT_TRUE(hardware.ports.attach(std::move(device), error)) << error;
    return start(std::make_unique<machine::SimulatedMachine>(std::move(hardware)));
}

void AccessTest::record() {
    hw().clearAccessLog();
    hw().setLogging(true);
}

// ---- Port register files ----

std::vector<machine::PortRange> PortRegisterFile::ranges() const {
    return {machine::PortRange{first_, uint16_t(first_ + bytes_.size() - 1)}};
}

bool PortRegisterFile::decodes(uint16_t port, unsigned width) const {
    return port >= first_ && port - first_ + width <= bytes_.size();
}

uint32_t PortRegisterFile::read(uint16_t port, unsigned width) {
    uint32_t value = 0;
    for (unsigned i = 0; i < width; ++i) value |= uint32_t(bytes_[port - first_ + i]) << (8 * i);
    return value;
}

void PortRegisterFile::write(uint16_t port, unsigned width, uint32_t value) {
    for (unsigned i = 0; i < width; ++i) bytes_[port - first_ + i] = uint8_t(value >> (8 * i));
}

IndexDataPorts::IndexDataPorts(uint16_t indexPort) : port_(indexPort) {
    for (size_t i = 0; i < registers_.size(); ++i) registers_[i] = uint8_t(0x80 + i);
}

std::vector<machine::PortRange> IndexDataPorts::ranges() const {
    return {machine::PortRange{port_, uint16_t(port_ + 1)}};
}

bool IndexDataPorts::decodes(uint16_t port, unsigned width) const {
    return width == 1 && (port == port_ || port == port_ + 1);
}

uint32_t IndexDataPorts::read(uint16_t port, unsigned) { return port == port_ ? index_ : registers_[index_]; }

void IndexDataPorts::write(uint16_t port, unsigned, uint32_t value) {
    if (port == port_)
        index_ = uint8_t(value);
    else
        registers_[index_] = uint8_t(value);
}

std::vector<machine::Access> ofKind(const std::vector<machine::Access>& log, machine::AccessKind kind) {
    std::vector<machine::Access> found;
    for (const auto& access : log)
        if (access.kind == kind) found.push_back(access);
    return found;
}

} // namespace vexa::test
