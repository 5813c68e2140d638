// What the tests of the access layers (I/O spaces, register spaces,
// timers) share: a started and locked kernel-driver manager on a simulated
// machine, handed to the library's root object, and register files on I/O
// ports for machines built by hand.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

#include "machine/devices/port_bus.h"
#include "machine/simulated_machine.h"
#include "sdk/core/sdk.h"
#include "tests/sdk/hw/kmdriver_test_support.h"

namespace vexa::test {

// The root's driver is a locked manager on the installed machine. The
// root, and everything its lists own, is released at the end.
class AccessTest : public KMDriverOnMachine {
protected:
    void TearDown() override;

    // Installs the machine and makes a locked manager the root's driver.
    machine::Machine& start(std::unique_ptr<machine::Machine> machine);
    machine::Machine& startX58();
    // A machine of one processor with these devices on its ports.
    machine::Machine& startWithPorts(std::vector<std::unique_ptr<machine::PortDevice>> devices);

    BRENIKSDK& sdk() { return *GetSDK(); }
    // Records the machine's accesses from now on.
    void record();
};

// Bytes on a range of ports that keep what is written, as the registers of
// a power-management block do here.
class PortRegisterFile final : public machine::PortDevice {
public:
    PortRegisterFile(uint16_t first, uint16_t count) : first_(first), bytes_(count, 0) {}

    std::string name() const override { return "register file"; }
    std::vector<machine::PortRange> ranges() const override;
    bool decodes(uint16_t port, unsigned width) const override;
    uint32_t read(uint16_t port, unsigned width) override;
    void write(uint16_t port, unsigned width, uint32_t value) override;

private:
    uint16_t first_;
    std::vector<uint8_t> bytes_;
};

// An index port and the data port after it, selecting one of 256 byte
// registers, as super-I/O chips have them. Register values start at
// 0x80 + index so that reads tell the register apart.
class IndexDataPorts final : public machine::PortDevice {
public:
    explicit IndexDataPorts(uint16_t indexPort);

    std::string name() const override { return "index/data ports"; }
    std::vector<machine::PortRange> ranges() const override;
    bool decodes(uint16_t port, unsigned width) const override;
    uint32_t read(uint16_t port, unsigned width) override;
    void write(uint16_t port, unsigned width, uint32_t value) override;

private:
    uint16_t port_;
    uint8_t index_ = 0;
    std::array<uint8_t, 256> registers_;
};

// The accesses of a kind in a log, in order.
std::vector<machine::Access> ofKind(const std::vector<machine::Access>& log, machine::AccessKind kind);

} // namespace vexa::test
