// The sample machine machines/x58-nehalem: a Core i7 920 on an ASUS P6T6
// WS Revolution (X58 + ICH10R).
#include "machine/machine.h"

#include "tests/support/manual_clock_guard.h"
#include "tests/support/test_paths.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace vexa::machine {
namespace {

constexpr PciAddress kLpc{0, 0x1f, 0};
constexpr PciAddress kSmbus{0, 0x1f, 3};

class X58Image : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        machine_ = loadImage(test::sourcePath("machines/x58-nehalem"), error);
        ASSERT_TRUE(machine_) << error;
    }

    uint32_t configDword(PciAddress fn, unsigned offset) {
        uint8_t bytes[4];
        EXPECT_TRUE(machine_->readPciConfig(fn, offset, bytes));
        uint32_t value;
        std::memcpy(&value, bytes, 4);
        return value;
    }

    // Mechanism 1: select the register through 0xCF8, read it at 0xCFC+.
    uint32_t configThroughPorts(PciAddress fn, unsigned offset, unsigned width) {
        const uint32_t address = 0x80000000u | uint32_t(fn.bus) << 16 | uint32_t(fn.device) << 11 |
                                 uint32_t(fn.function) << 8 | (offset & 0xFC);
        EXPECT_TRUE(machine_->writePort(0xCF8, 4, address));
        uint32_t value = 0;
        EXPECT_TRUE(machine_->readPort(uint16_t(0xCFC + (offset & 3)), width, value));
        return value;
    }

    std::unique_ptr<Machine> machine_;
};

TEST_F(X58Image, EightLogicalProcessorsEachWithItsOwnApicId) {
    ASSERT_EQ(machine_->processorCount(), 8u);
    const CpuidRegs leaf0 = machine_->cpuid(3, 0, 0);
    char vendor[13] = {};
    std::memcpy(vendor, &leaf0.ebx, 4);
    std::memcpy(vendor + 4, &leaf0.edx, 4);
    std::memcpy(vendor + 8, &leaf0.ecx, 4);
    EXPECT_STREQ(vendor, "GenuineIntel");
    EXPECT_EQ(leaf0.eax, 0xBu);
    const CpuidRegs leaf1 = machine_->cpuid(3, 1, 0);
    EXPECT_EQ(leaf1.eax, 0x106A4u);
    EXPECT_EQ(leaf1.ebx >> 24, 3u);
    for (unsigned cpu = 0; cpu < 8; ++cpu) {
        EXPECT_EQ(machine_->cpuid(cpu, 1, 0).ebx >> 24, cpu);
        EXPECT_EQ(machine_->cpuid(cpu, 0xB, 1).edx, cpu);
        EXPECT_EQ(machine_->cpuid(cpu, 0xB, 1).ebx, 8u);
        // The dump lists leaves 0xC-0x1F and 0x80000009-0x8000001F, which
        // answer as leaf 0xB does: with this processor's id.
        EXPECT_EQ(machine_->cpuid(cpu, 0x15, 0).edx, cpu);
        EXPECT_EQ(machine_->cpuid(cpu, 0x80000010, 1).ebx, 8u);
    }
    EXPECT_EQ(machine_->cpuid(8, 0, 0), CpuidRegs{});  // no such processor
}

TEST_F(X58Image, SmbusControllerDirectlyAndThroughConfigPorts) {
    EXPECT_EQ(configDword(kSmbus, 0x00), 0x3A308086u);
    EXPECT_EQ(configDword(kSmbus, 0x20), 0x00000401u);
    EXPECT_EQ(configThroughPorts(kSmbus, 0x00, 4), 0x3A308086u);
    EXPECT_EQ(configThroughPorts(kSmbus, 0x20, 4), 0x00000401u);
    EXPECT_EQ(configThroughPorts(kSmbus, 0x02, 2), 0x3A30u);
    EXPECT_EQ(configThroughPorts(kSmbus, 0x0B, 1), 0x0Cu);  // class: serial bus
    uint32_t address = 0;
    EXPECT_TRUE(machine_->readPort(0xCF8, 4, address));
    EXPECT_EQ(address, 0x8000FB08u);
}

TEST_F(X58Image, PmTimerSitsWhereTheLpcBridgePutsPmBase) {
    const uint32_t pmbase = configDword(kLpc, 0x40) & 0xFF80;
    EXPECT_EQ(pmbase, 0x800u);
    test::ManualClockGuard time;
    uint32_t before = 0, after = 0;
    ASSERT_TRUE(machine_->readPort(uint16_t(pmbase + 8), 4, before));
    time.clock().advanceNs(1'000'000'000);
    ASSERT_TRUE(machine_->readPort(uint16_t(pmbase + 8), 4, after));
    EXPECT_EQ((after - before) & 0xFFFFFF, 3579545u);
}

TEST_F(X58Image, TimeStampCounterRunsAtTheNominalClock) {
    test::ManualClockGuard time;
    const uint64_t before = machine_->readTsc(5);
    time.clock().advanceNs(1'000'000);
    EXPECT_EQ(machine_->readTsc(5) - before, 2'667'000u);
    EXPECT_EQ(machine_->readTsc(0), machine_->readTsc(7));  // synchronised
}

TEST_F(X58Image, BusClockIsTheBaseClockOfTheCorei7_920) {
    EXPECT_DOUBLE_EQ(machine_->busClockMHz(), 133.33);
    // 20 times the bus clock is the nominal core clock, the TSC's rate.
    test::ManualClockGuard time;
    const uint64_t before = machine_->readTsc(0);
    time.clock().advanceNs(1'000'000);
    EXPECT_NEAR(double(machine_->readTsc(0) - before) / 1000.0, 20 * machine_->busClockMHz(), 1.0);
}

TEST_F(X58Image, TimeStampCounterIsAlsoMsr0x10) {
    test::ManualClockGuard time;
    for (unsigned cpu : {0u, 7u}) {
        uint64_t msr = 0;
        ASSERT_TRUE(machine_->readMsr(cpu, 0x10, msr));
        EXPECT_EQ(msr, machine_->readTsc(cpu));
        time.clock().advanceNs(3);
        uint64_t later = 0;
        ASSERT_TRUE(machine_->readMsr(cpu, 0x10, later));
        EXPECT_EQ(later, machine_->readTsc(cpu));
        EXPECT_EQ(later - msr, 8u);  // 3 ns at 2.667 GHz
    }
    EXPECT_FALSE(machine_->writeMsr(0, 0x10, 0));
}

// The Core i7 920's registers agree with its CPUID dump and with each
// other: platform ID 1, ratio 20 at the 2.67 GHz of the brand string, a
// valid thermal readout below TjMax 100, turbo on and the CPUID limit off.
TEST_F(X58Image, ProcessorMsrsOfTheCoreI7_920) {
    auto msr = [this](unsigned cpu, uint32_t index) {
        uint64_t value = 0;
        EXPECT_TRUE(machine_->readMsr(cpu, index, value)) << std::hex << index;
        return value;
    };
    for (unsigned cpu : {0u, 7u}) {
        EXPECT_EQ((msr(cpu, 0x17) >> 50) & 7, 1u);
        EXPECT_EQ((msr(cpu, 0xCE) >> 8) & 0xFF, 20u);
        EXPECT_EQ(msr(cpu, 0x198) & 0xFFFF, 20u);
        EXPECT_EQ((msr(cpu, 0x1A2) >> 16) & 0xFF, 100u);
        const uint64_t thermal = msr(cpu, 0x19C);
        EXPECT_TRUE(thermal & 0x80000000u);
        EXPECT_EQ((thermal >> 16) & 0x7F, 58u);
        EXPECT_EQ(msr(cpu, 0x1A0) & ((1ull << 38) | (1ull << 22)), 0u);
        EXPECT_EQ(msr(cpu, 0x1AD) & 0xFF, 22u);
    }
    machine_->cpuid(0, 1, 0);
    EXPECT_EQ(msr(0, 0x8B) >> 32, 0x11u);
    // The fixed counters stand still until a measurement enables them.
    test::ManualClockGuard time;
    const uint64_t cycles = msr(0, 0x30A);
    time.clock().advanceNs(1'000);
    EXPECT_EQ(msr(0, 0x30A), cycles);
    ASSERT_TRUE(machine_->writeMsr(0, 0x38D, 0x330));
    time.clock().advanceNs(3'000);
    EXPECT_EQ(msr(0, 0x30A) - cycles, 8'001u);
}

TEST_F(X58Image, SmbiosTableBuiltForTheBoard) {
    const auto smbios = machine_->smbios();
    ASSERT_TRUE(smbios);
    EXPECT_EQ(smbios->majorVersion, 2);
    EXPECT_EQ(smbios->minorVersion, 5);
    EXPECT_EQ(smbios->entryPoint.size(), 0x1Fu);
    EXPECT_EQ(smbios->table.size(), 1417u);
}

// Built by tools/acpi_builder; the namespace brings the ACPI HAL device.
TEST_F(X58Image, AcpiTablesAndNamespaceBuiltForTheBoard) {
    std::vector<std::string> signatures;
    for (const auto& table : machine_->acpiTables()) signatures.push_back(table.signature);
    EXPECT_EQ(signatures, (std::vector<std::string>{"FACP", "FACS", "HPET", "MCFG", "RSDT"}));
    const auto nodes = machine_->acpiNamespace();
    ASSERT_FALSE(nodes.empty());
    EXPECT_EQ(nodes[0].name, AcpiNamespaceNode::kRootName);
    // A bare root, the two described USB devices and the ACPI HAL device.
    EXPECT_EQ(machine_->deviceTree().size(), 4u);
}

TEST_F(X58Image, AbsentHardwareIsAbsent) {
    EXPECT_EQ(machine_->driverBehaviour(), DriverBehaviour{});
    uint64_t msr = 1;
    EXPECT_FALSE(machine_->readMsr(0, 0x1AC, msr)) << "no turbo power and current limits listed";
    EXPECT_EQ(msr, 0u);
    uint8_t bytes[4];
    EXPECT_FALSE(machine_->readPhysical(0xF0000, bytes));
    // An empty PCI slot and an unclaimed port answer all ones.
    EXPECT_EQ(configDword(PciAddress{0, 2, 0}, 0), 0xFFFFFFFFu);
    uint32_t value = 0;
    EXPECT_TRUE(machine_->readPort(0x2E, 1, value));
    EXPECT_EQ(value, 0xFFu);
    EXPECT_NE(machine_->description().find("machines/x58-nehalem"), std::string::npos);
}

} // namespace
} // namespace vexa::machine
