// What every machine shares: argument checks, fault injection and the
// access log, in front of the backend.
#include "machine/machine.h"

#include "tests/support/test_paths.h"

#include <gtest/gtest.h>

#include <thread>

namespace vexa::machine {
namespace {

// A backend that answers everything and counts the calls that reach it.
class CountingMachine final : public Machine {
public:
    int calls = 0;
    std::string description() const override { return "counting"; }
    unsigned processorCount() const override { return 2; }
    unsigned currentProcessor(const ProcessorAffinity&) const override { return 0; }
    bool pinThread(int, const ProcessorAffinity&) override { return true; }

protected:
    CpuidRegs doCpuid(unsigned cpu, uint32_t leaf, uint32_t subleaf) override {
        ++calls;
        return {leaf, subleaf, cpu, 0xEE};
    }
    bool doReadTsc(unsigned, uint64_t& value) override { return ++calls, value = 1234, true; }
    bool doReadMsr(unsigned, uint32_t index, uint64_t& value) override { return ++calls, value = index, true; }
    bool doWriteMsr(unsigned, uint32_t, uint64_t) override { return ++calls, true; }
    bool doReadPort(uint16_t port, unsigned, uint32_t& value) override { return ++calls, value = 0xABCD0000u | port, true; }
    bool doWritePort(uint16_t, unsigned, uint32_t) override { return ++calls, true; }
    bool doReadPhysical(uint64_t, std::span<uint8_t> out) override {
        ++calls;
        for (auto& b : out) b = 0x5A;
        return true;
    }
    bool doWritePhysical(uint64_t, std::span<const uint8_t>) override { return ++calls, true; }
    bool doReadPciConfig(PciAddress, unsigned, std::span<uint8_t> out) override {
        ++calls;
        for (auto& b : out) b = 0x11;
        return true;
    }
    bool doWritePciConfig(PciAddress, unsigned, std::span<const uint8_t>) override { return ++calls, true; }
};

TEST(MachineBase, ArgumentsOutOfRangeNeverReachTheMachine) {
    CountingMachine machine;
    uint32_t port = 0;
    uint64_t msr = 7;
    uint8_t four[4] = {0, 0, 0, 0};
    std::vector<uint8_t> page(4096);
    EXPECT_EQ(machine.cpuid(2, 0, 0), CpuidRegs{});
    EXPECT_EQ(machine.readTsc(2), 0u);
    EXPECT_FALSE(machine.readMsr(2, 0x10, msr));
    EXPECT_EQ(msr, 0u);
    EXPECT_FALSE(machine.writeMsr(5, 0x10, 0));
    for (unsigned width : {0u, 3u, 8u}) {
        EXPECT_FALSE(machine.readPort(0x80, width, port)) << width;
        EXPECT_FALSE(machine.writePort(0x80, width, 0)) << width;
    }
    EXPECT_FALSE(machine.readPort(0xFFFE, 4, port));  // runs past port 0xFFFF
    EXPECT_EQ(port, 0xFFFFFFFFu);
    EXPECT_FALSE(machine.readPhysical(0x1000, std::span<uint8_t>()));
    EXPECT_FALSE(machine.readPhysical(~0ull - 1, four));
    EXPECT_FALSE(machine.writePhysical(0, std::span<const uint8_t>()));
    EXPECT_FALSE(machine.readPciConfig(PciAddress{0, 32, 0}, 0, four));
    EXPECT_FALSE(machine.readPciConfig(PciAddress{0, 0, 8}, 0, four));
    EXPECT_FALSE(machine.readPciConfig(PciAddress{0, 0, 0}, 4094, four));
    EXPECT_FALSE(machine.readPciConfig(PciAddress{0, 0, 0}, 4096, std::span<uint8_t>()));
    EXPECT_FALSE(machine.writePciConfig(PciAddress{0, 0, 0}, 1, page));
    EXPECT_EQ(four[0], 0xFF);  // a failed read leaves all ones
    EXPECT_EQ(machine.calls, 0);
    // The edges that are still in range do reach it.
    EXPECT_TRUE(machine.readPciConfig(PciAddress{255, 31, 7}, 4092, four));
    EXPECT_TRUE(machine.readPciConfig(PciAddress{0, 0, 0}, 0, page));
    EXPECT_TRUE(machine.readPort(0xFFFC, 4, port));
    EXPECT_EQ(machine.cpuid(1, 4, 2), (CpuidRegs{4, 2, 1, 0xEE}));
    EXPECT_EQ(machine.calls, 4);
}

TEST(MachineBase, FactsAMachineDoesNotOfferHaveTheirDefaults) {
    const CountingMachine machine;
    EXPECT_TRUE(machine.acpiNamespace().empty());
    EXPECT_EQ(machine.busClockMHz(), -1.0);
    const DriverBehaviour driver = machine.driverBehaviour();
    EXPECT_EQ(driver.version, 312u);
    EXPECT_TRUE(driver.failingRequests.empty());
    EXPECT_TRUE(machine.deviceTree().empty());
}

TEST(MachineBase, FaultsMatchKindDirectionRangeAndProcessor) {
    CountingMachine machine;
    machine.injectFault(Fault{AccessKind::Port, AccessDir::Read, 0x2E, 0x2F, std::nullopt});
    machine.injectFault(Fault{AccessKind::Msr, std::nullopt, 0x10, 0x10, 1u});
    machine.injectFault(Fault{AccessKind::PciConfig, std::nullopt, pciLinear({0, 0x1f, 3}, 0),
                              pciLinear({0, 0x1f, 3}, 0xFFF), std::nullopt});
    uint32_t value = 0;
    uint64_t msr = 0;
    uint8_t bytes[4];
    struct Case {
        const char* what;
        bool succeeded, expected;
    };
    const Case cases[] = {
        {"port 0x2E read", machine.readPort(0x2E, 1, value), false},
        {"port 0x2F read", machine.readPort(0x2F, 1, value), false},
        {"word at 0x2D touches 0x2E", machine.readPort(0x2D, 2, value), false},
        {"port 0x2E write", machine.writePort(0x2E, 1, 0x87), true},
        {"port 0x30 read", machine.readPort(0x30, 1, value), true},
        {"MSR 0x10 on cpu 1", machine.readMsr(1, 0x10, msr), false},
        {"MSR 0x10 write on cpu 1", machine.writeMsr(1, 0x10, 0), false},
        {"MSR 0x10 on cpu 0", machine.readMsr(0, 0x10, msr), true},
        {"MSR 0x11 on cpu 1", machine.readMsr(1, 0x11, msr), true},
        {"SMBus config", machine.readPciConfig({0, 0x1f, 3}, 0x20, bytes), false},
        {"LPC config", machine.readPciConfig({0, 0x1f, 0}, 0x20, bytes), true},
    };
    for (const Case& c : cases) EXPECT_EQ(c.succeeded, c.expected) << c.what;
    EXPECT_EQ(bytes[0], 0x11);  // the LPC read, which was not faulted

    machine.clearFaults();
    EXPECT_TRUE(machine.readPort(0x2E, 1, value));
    EXPECT_EQ(value, 0x2Eu & 0xFF);  // the byte of 0xABCD002E
}

TEST(MachineBase, AccessLogRecordsWhatHappened) {
    CountingMachine machine;
    uint32_t value = 0;
    machine.readPort(0x80, 1, value);  // before logging: not recorded
    machine.setLogging(true);
    machine.cpuid(1, 0xB, 1);
    machine.readPort(0x2E, 2, value);
    machine.injectFault(Fault{AccessKind::Memory, AccessDir::Write, 0x1000, 0x1FFF, std::nullopt});
    const uint8_t data[3] = {1, 2, 3};
    machine.writePhysical(0xFFE, data);
    machine.writePciConfig({1, 2, 3}, 0x40, data);
    machine.readPort(0x80, 3, value);
    const std::vector<Access> log = machine.accessLog();
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[0].kind, AccessKind::Cpuid);
    EXPECT_EQ(log[0].cpu, 1u);
    EXPECT_EQ(log[0].address, 0xBu);
    EXPECT_EQ(log[0].subleaf, 1u);
    EXPECT_EQ(log[0].value, 0xB | (uint64_t(1) << 32));  // EAX, EBX
    EXPECT_TRUE(log[0].ok);
    EXPECT_EQ(log[1].kind, AccessKind::Port);
    EXPECT_EQ(log[1].size, 2u);
    EXPECT_EQ(log[1].value, 0x002Eu);  // masked to the width
    EXPECT_EQ(log[2].kind, AccessKind::Memory);
    EXPECT_EQ(log[2].dir, AccessDir::Write);
    EXPECT_EQ(log[2].value, 0x030201u);
    EXPECT_FALSE(log[2].ok);  // touched 0x1000
    EXPECT_EQ(log[3].address, pciLinear({1, 2, 3}, 0x40));
    EXPECT_TRUE(log[3].ok);
    EXPECT_FALSE(log[4].ok);  // width 3
    machine.clearAccessLog();
    EXPECT_TRUE(machine.accessLog().empty());
    machine.setLogging(false);
    machine.readPort(0x80, 1, value);
    EXPECT_TRUE(machine.accessLog().empty());
}

TEST(MachineBase, SimulatedMachineIsSafeFromManyThreads) {
    std::string error;
    const auto machine = loadImage(test::sourcePath("machines/x58-nehalem"), error);
    ASSERT_TRUE(machine) << error;
    machine->setLogging(true);
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (unsigned t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 500; ++i) {
                if (machine->cpuid(t, 1, 0).ebx >> 24 != t) ++wrong;
                uint8_t id[2];
                if (!machine->readPciConfig({0, 0x1f, 3}, 0, id) || id[0] != 0x86) ++wrong;
                const uint8_t scratch[1] = {uint8_t(t)};
                machine->writePciConfig({0, 0x1f, 3}, 0x60 + t, scratch);
                uint32_t timer = 0;
                if (!machine->readPort(0x808, 4, timer) || timer > 0xFFFFFF) ++wrong;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(machine->accessLog().size(), 8u * 500u * 4u);
}

} // namespace
} // namespace vexa::machine
