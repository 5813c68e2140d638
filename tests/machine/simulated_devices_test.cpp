// The device models of simulated machines, each on its own.
#include "machine/devices/acpi_pm_timer.h"
#include "machine/devices/msr_bank.h"
#include "machine/devices/pci_config_ports.h"
#include "machine/devices/physical_memory.h"
#include "machine/devices/processor_cpuid.h"

#include "tests/support/manual_clock_guard.h"

#include <gtest/gtest.h>

namespace vexa::machine {
namespace {

TEST(AcpiPmTimer, CountsAtItsFrequencyAndWrapsAt24Bits) {
    test::ManualClockGuard time(0);
    AcpiPmTimer timer(0x808);
    EXPECT_EQ(timer.read(0x808, 4), 0u);
    time.clock().advanceNs(1'000'000'000);
    EXPECT_EQ(timer.read(0x808, 4), 3579545u);
    // 2^24 counts take 4.687 s; just past that the counter starts again.
    time.clock().setNs(uint64_t(0x1000000) * 1'000'000'000 / 3579545 + 1000);
    const uint32_t wrapped = timer.read(0x808, 4);
    EXPECT_LT(wrapped, 10u);
    time.clock().setNs(uint64_t(0x1000000 - 2) * 1'000'000'000 / 3579545 + 1);
    EXPECT_EQ(timer.read(0x808, 4), 0xFFFFFEu);
    for (uint64_t ns = 0; ns < 30'000'000'000ull; ns += 777'777'777) {
        time.clock().setNs(ns);
        EXPECT_EQ(timer.read(0x808, 4) & 0xFF000000u, 0u);
    }
}

TEST(AcpiPmTimer, NarrowReadsGiveTheMatchingBytesAndWritesAreIgnored) {
    test::ManualClockGuard time(0);
    time.clock().setNs(uint64_t(0x123456) * 1'000'000'000 / 3579545 + 1);
    AcpiPmTimer timer(0x408);
    ASSERT_EQ(timer.read(0x408, 4), 0x123456u);
    EXPECT_EQ(timer.read(0x408, 1), 0x56u);
    EXPECT_EQ(timer.read(0x409, 1), 0x34u);
    EXPECT_EQ(timer.read(0x40A, 1), 0x12u);
    EXPECT_EQ(timer.read(0x40B, 1), 0x00u);
    EXPECT_EQ(timer.read(0x408, 2), 0x3456u);
    EXPECT_EQ(timer.read(0x40A, 2), 0x0012u);
    EXPECT_TRUE(timer.decodes(0x40A, 2));
    EXPECT_FALSE(timer.decodes(0x40A, 4));
    EXPECT_FALSE(timer.decodes(0x407, 1));
    EXPECT_FALSE(timer.decodes(0x40C, 1));
    timer.write(0x408, 4, 0);
    EXPECT_EQ(timer.read(0x408, 4), 0x123456u);
}

class PciConfigPortsTest : public ::testing::Test {
protected:
    void SetUp() override {
        PciConfigSpace::Registers registers;
        registers.fill(0);
        for (unsigned i = 0; i < PciConfigSpace::kSize; ++i) registers[i] = uint8_t(i * 7);
        registers[0] = 0x86, registers[1] = 0x80, registers[2] = 0x30, registers[3] = 0x3A;
        space_.addFunction(kFunction, registers);
    }
    static constexpr PciAddress kFunction{2, 3, 1};
    static constexpr uint32_t kSelect = 0x80000000u | 2 << 16 | 3 << 11 | 1 << 8;
    PciConfigSpace space_;
};

TEST_F(PciConfigPortsTest, DataWindowReachesTheSelectedRegister) {
    PciConfigPorts ports(space_);
    ports.write(0xCF8, 4, kSelect | 0x40 | 3);  // bits 1:0 are not kept
    EXPECT_EQ(ports.read(0xCF8, 4), kSelect | 0x40);
    EXPECT_EQ(ports.read(0xCFC, 1), uint8_t(0x40 * 7));
    EXPECT_EQ(ports.read(0xCFF, 1), uint8_t(0x43 * 7));
    EXPECT_EQ(ports.read(0xCFE, 2), uint32_t(uint8_t(0x42 * 7)) | uint32_t(uint8_t(0x43 * 7)) << 8);
    ports.write(0xCFD, 2, 0xBEEF);
    uint8_t bytes[4];
    space_.read(kFunction, 0x40, bytes);
    EXPECT_EQ(bytes[1], 0xEF);
    EXPECT_EQ(bytes[2], 0xBE);
}

TEST_F(PciConfigPortsTest, DisabledOrAbsentReadsAllOnes) {
    PciConfigPorts ports(space_);
    ports.write(0xCF8, 4, kSelect & 0x7FFFFFFF);  // enable bit clear
    EXPECT_EQ(ports.read(0xCFC, 4), 0xFFFFFFFFu);
    EXPECT_EQ(ports.read(0xCFD, 1), 0xFFu);
    ports.write(0xCFC, 4, 0);
    ports.write(0xCF8, 4, kSelect | 0x10);
    EXPECT_EQ(ports.read(0xCFC, 4), uint32_t(uint8_t(0x10 * 7)) | uint32_t(uint8_t(0x11 * 7)) << 8 |
                                        uint32_t(uint8_t(0x12 * 7)) << 16 | uint32_t(uint8_t(0x13 * 7)) << 24);
    ports.write(0xCF8, 4, 0x80000000u | 5 << 11);  // nothing at 00:05.0
    EXPECT_EQ(ports.read(0xCFC, 4), 0xFFFFFFFFu);
    // Only dword accesses reach the address register.
    EXPECT_TRUE(ports.decodes(0xCF8, 4));
    EXPECT_FALSE(ports.decodes(0xCF8, 1));
    EXPECT_FALSE(ports.decodes(0xCF9, 1));
    EXPECT_FALSE(ports.decodes(0xCFD, 4));
    EXPECT_TRUE(ports.decodes(0xCFF, 1));
}

TEST_F(PciConfigPortsTest, ExtendedRegisterBitsReachTheExtendedSpace) {
    PciConfigPorts standard(space_);
    PciConfigPorts extended(space_, PciConfigPorts::Variant::ExtendedRegisterBits);
    const uint32_t address = kSelect | 0x1u << 24 | 0x04;  // register 0x104
    standard.write(0xCF8, 4, address);
    extended.write(0xCF8, 4, address);
    EXPECT_EQ(standard.read(0xCFC, 1), uint8_t(0x04 * 7));
    EXPECT_EQ(extended.read(0xCFC, 1), uint8_t(0x104 * 7));
}

TEST_F(PciConfigPortsTest, IdsAreReadOnlyAndAbsentFunctionsIgnoreWrites) {
    const uint8_t ones[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    space_.write(kFunction, 0, ones);
    uint8_t bytes[8];
    space_.read(kFunction, 0, bytes);
    EXPECT_EQ(bytes[0], 0x86);
    EXPECT_EQ(bytes[3], 0x3A);
    EXPECT_EQ(bytes[4], 1);
    EXPECT_EQ(bytes[7], 1);
    space_.write(PciAddress{0, 0, 0}, 0, ones);
    space_.read(PciAddress{0, 0, 0}, 0, bytes);
    EXPECT_EQ(bytes[4], 0xFF);
    EXPECT_FALSE(space_.has(PciAddress{0, 0, 0}));
}

TEST(PortBus, OverlappingDevicesAreRefused) {
    PciConfigSpace space;
    PortBus bus;
    std::string error;
    ASSERT_TRUE(bus.attach(std::make_unique<PciConfigPorts>(space), error));
    EXPECT_TRUE(bus.attach(std::make_unique<AcpiPmTimer>(0x808), error));
    EXPECT_FALSE(bus.attach(std::make_unique<AcpiPmTimer>(0xCF6), error));
    EXPECT_NE(error.find("claim the same"), std::string::npos);
    EXPECT_FALSE(bus.attach(std::make_unique<AcpiPmTimer>(0x80B), error));
    EXPECT_EQ(bus.read(0xCF9, 1), 0xFFu);  // not decoded: the bus floats
    EXPECT_EQ(bus.read(0x60, 2), 0xFFFFu);
}

TEST(PhysicalMemory, RegionsFillsFilesAndWrites) {
    PhysicalMemory memory;
    std::string error;
    const std::vector<uint8_t> bios = {1, 2, 3, 4, 5};
    ASSERT_TRUE(memory.addRegion(0xF0000, 0x10000, 0xFF, bios, error)) << error;
    ASSERT_TRUE(memory.addRegion(0x100000, 0x2000, 0x00, {}, error)) << error;
    ASSERT_TRUE(memory.addRegion(0xE0000, 0x10000, 0xAA, {}, error)) << error;  // joins 0xF0000
    uint8_t bytes[8];
    ASSERT_TRUE(memory.read(0xF0000, bytes));
    EXPECT_EQ(bytes[4], 5);
    EXPECT_EQ(bytes[5], 0xFF);
    ASSERT_TRUE(memory.read(0xEFFFC, bytes));  // across two adjacent regions
    EXPECT_EQ(bytes[3], 0xAA);
    EXPECT_EQ(bytes[4], 1);
    ASSERT_TRUE(memory.read(0xFFFFC, bytes));  // 0x100000 follows on directly
    EXPECT_EQ(bytes[3], 0xFF);
    EXPECT_EQ(bytes[4], 0x00);
    EXPECT_FALSE(memory.read(0x101FFC, bytes));  // past the end
    EXPECT_FALSE(memory.read(0x0, bytes));
    const uint8_t data[6] = {9, 8, 7, 6, 5, 4};
    ASSERT_TRUE(memory.write(0x100FFD, data));  // across a page boundary
    ASSERT_TRUE(memory.read(0x100FFC, bytes));
    EXPECT_EQ(bytes[0], 0);
    EXPECT_EQ(bytes[1], 9);
    EXPECT_EQ(bytes[6], 4);
    EXPECT_FALSE(memory.write(0x101FFE, data));

    EXPECT_FALSE(memory.addRegion(0xFFFF0, 0x20, 0, {}, error));
    EXPECT_NE(error.find("overlaps"), std::string::npos);
    EXPECT_FALSE(memory.addRegion(0x200000, 4, 0, bios, error));
    EXPECT_FALSE(memory.addRegion(0x300000, 0, 0, {}, error));
}

TEST(PhysicalMemory, RegionAtTheTopOfTheAddressSpace) {
    PhysicalMemory memory;
    std::string error;
    ASSERT_TRUE(memory.addRegion(0xFFFFFFFFFFFFF000ull, 0x1000, 0x11, {}, error)) << error;
    uint8_t bytes[4];
    ASSERT_TRUE(memory.read(0xFFFFFFFFFFFFFFFCull, bytes));
    EXPECT_EQ(bytes[3], 0x11);
    EXPECT_FALSE(memory.read(0xFFFFFFFFFFFFFFFEull, bytes));  // would wrap
    PhysicalMemory whole;
    ASSERT_TRUE(whole.addRegion(0, ~0ull, 0x22, {}, error)) << error;
    ASSERT_TRUE(whole.read(0xFFFFFFFFFFFFFFF0ull, bytes));
    EXPECT_EQ(bytes[0], 0x22);
}

TEST(MsrBank, PerProcessorValuesReadOnlyAndUnknownRegisters) {
    MsrBank bank(4);
    std::string error;
    ASSERT_TRUE(bank.add(MsrSetting{0x17, 0x1234, false, {}}, error));
    ASSERT_TRUE(bank.add(MsrSetting{0xCE, 0x800, true, {}}, error));
    ASSERT_TRUE(bank.add(MsrSetting{0x199, 1, false, {0, 1}}, error));
    ASSERT_TRUE(bank.add(MsrSetting{0x199, 2, false, {2, 3}}, error));
    EXPECT_FALSE(bank.add(MsrSetting{0x199, 3, false, {3}}, error));
    EXPECT_NE(error.find("twice for processor 3"), std::string::npos);
    EXPECT_FALSE(bank.add(MsrSetting{0x10, 3, false, {4}}, error));
    EXPECT_NE(error.find("processor 4 does not exist"), std::string::npos);

    uint64_t value = 0;
    ASSERT_TRUE(bank.read(2, 0x199, value));
    EXPECT_EQ(value, 2u);
    ASSERT_TRUE(bank.write(1, 0x17, 0x99));
    ASSERT_TRUE(bank.read(1, 0x17, value));
    EXPECT_EQ(value, 0x99u);
    ASSERT_TRUE(bank.read(0, 0x17, value));
    EXPECT_EQ(value, 0x1234u);  // each processor has its own copy
    EXPECT_FALSE(bank.write(0, 0xCE, 0));
    ASSERT_TRUE(bank.read(0, 0xCE, value));
    EXPECT_EQ(value, 0x800u);
    EXPECT_FALSE(bank.read(0, 0x10, value));
    EXPECT_FALSE(bank.write(0, 0x10, 0));
    EXPECT_FALSE(bank.read(4, 0x17, value));
}

TEST(ProcessorCpuid, AnswersForLeavesAndSubleavesNotListed) {
    CpuidLeaves leaves;
    leaves[{0, 0}] = {0xB, 0x756E6547, 0x6C65746E, 0x49656E69};  // GenuineIntel
    leaves[{1, 0}] = {0x106A4, 0x03100800, 0, 0};
    leaves[{4, 0}] = {0x1C004121, 0, 0, 0};
    leaves[{4, 1}] = {0x1C004122, 0, 0, 0};
    leaves[{0xB, 0}] = {1, 2, 0x100, 3};
    leaves[{0xB, 1}] = {4, 8, 0x201, 3};
    leaves[{0x80000000, 0}] = {0x80000008, 0, 0, 0};
    leaves[{0x15, 0}] = {1, 2, 0x100, 9};  // listed, but above the maximum
    const ProcessorCpuid cpu(leaves);
    EXPECT_EQ(cpu.answer(1, 7).eax, 0x106A4u);              // ECX does not matter
    EXPECT_EQ(cpu.answer(4, 5), CpuidRegs{});                // past the caches
    EXPECT_EQ(cpu.answer(0xB, 2), (CpuidRegs{0, 0, 2, 3}));  // invalid level
    EXPECT_EQ(cpu.answer(5, 0), CpuidRegs{});                // in range, not listed
    EXPECT_EQ(cpu.answer(0x20, 1), (CpuidRegs{4, 8, 0x201, 3}));  // Intel: the highest basic leaf
    EXPECT_EQ(cpu.answer(0x80000010, 0), (CpuidRegs{1, 2, 0x100, 3}));
    EXPECT_EQ(cpu.answer(0x15, 0), (CpuidRegs{1, 2, 0x100, 3}));

    leaves[{0, 0}] = {0xB, 0x68747541, 0x444D4163, 0x69746E65};  // AuthenticAMD
    const ProcessorCpuid amd(leaves);
    EXPECT_EQ(amd.answer(0x20, 0), CpuidRegs{});
    EXPECT_EQ(amd.answer(0x15, 0).edx, 9u);  // as listed
}

} // namespace
} // namespace vexa::machine
