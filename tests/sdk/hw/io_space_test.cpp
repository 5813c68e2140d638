// I/O spaces: port and physical-memory windows whose accesses become
// requests of the root's driver manager.
#include <gtest/gtest.h>

#include <functional>

#include "sdk/hw/io_space.h"
#include "tests/sdk/hw/access_test_support.h"

namespace vexa::test {
namespace {

using machine::AccessDir;
using machine::AccessKind;
using machine::Fault;
using vexa::test::PrintTo;

constexpr uint64_t kHpet = 0xFED00000;
constexpr uint64_t kRam = 0x10000;

// A Core i7 920 with a page of RAM (bytes 0x5A) and an HPET.
const char kMachine[] = R"({
  "ports": {"acpi_pm_timer": "0x808"},
  "memory": [{"base": "0x10000", "size": "0x1000", "fill": "0x5A"}],
  "memory_devices": {"hpet": "0xFED00000"}
})";

class IOSpaceTest : public AccessTest {
protected:
    void SetUp() override {
        AccessTest::SetUp();
        start(simulatedMachine(kMachine));
        useManualClock();
    }

    uint32_t memoryDword(uint64_t address) {
        uint8_t bytes[4] = {};
        EXPECT_TRUE(hw().readPhysical(address, bytes));
        return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
    }
};

TEST_F(IOSpaceTest, PortSpaceReachesFirstPortPlusOffsetInEveryWidth) {
    CPortIOSpace space(0x800, 0x80);
    EXPECT_EQ(space.GetType(), uint32_t(IOSPACE_PORT));
    EXPECT_EQ(space.GetBaseHigh(), 0u);
    uint32_t timer = 0;
    ASSERT_EQ(space.ReadDword(8, &timer), 1);
    uint32_t expected = 0;
    ASSERT_TRUE(hw().readPort(0x808, 4, expected));
    EXPECT_EQ(timer, expected);
    uint16_t low = 0;
    uint8_t top = 0xAA;
    EXPECT_EQ(space.ReadWord(8, &low), 1);
    EXPECT_EQ(space.ReadByte(0xB, &top), 1);
    EXPECT_EQ(low, uint16_t(expected));
    EXPECT_EQ(top, 0) << "bits 31:24 of the PM timer";

    record();
    EXPECT_EQ(space.WriteByte(0x10, 0x12), 1);
    EXPECT_EQ(space.WriteWord(0x20, 0x1234), 1);
    EXPECT_EQ(space.WriteDword(0x40, 0x12345678), 1);
    const auto writes = ofKind(hw().accessLog(), AccessKind::Port);
    ASSERT_EQ(writes.size(), 3u);
    const uint64_t ports[] = {0x810, 0x820, 0x840};
    const uint32_t sizes[] = {1, 2, 4};
    const uint64_t values[] = {0x12, 0x1234, 0x12345678};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(writes[i].dir, AccessDir::Write);
        EXPECT_EQ(writes[i].address, ports[i]);
        EXPECT_EQ(writes[i].size, sizes[i]);
        EXPECT_EQ(writes[i].value, values[i]);
    }
}

TEST_F(IOSpaceTest, MemorySpaceReadsBytesDwordsAndQwordsLowDwordFirst) {
    CMemoryIOSpace hpet(0, uint32_t(kHpet), 0x400);
    EXPECT_EQ(hpet.GetType(), uint32_t(IOSPACE_MEMORY));
    uint32_t high = 0, low = 0, period = 0;
    uint8_t byte = 0;
    ASSERT_EQ(hpet.ReadQword(0, &high, &low), 1);
    EXPECT_EQ(high, 69841279u) << "the period is the dword at offset 4";
    EXPECT_EQ(low, memoryDword(kHpet));
    EXPECT_EQ(hpet.ReadDword(4, &period), 1);
    EXPECT_EQ(period, 69841279u);
    EXPECT_EQ(hpet.ReadByte(2, &byte), 1);
    EXPECT_EQ(byte, 0x86);
}

TEST_F(IOSpaceTest, MemoryWritesOfBytesKeepTheRestOfTheDword) {
    CMemoryIOSpace ram(0, uint32_t(kRam), 0x1000);
    EXPECT_EQ(ram.WriteDword(0x10, 0x11223344), 1);
    EXPECT_EQ(memoryDword(kRam + 0x10), 0x11223344u);
    EXPECT_EQ(ram.WriteByte(0x10, 0xFFFFFF99), 1);
    EXPECT_EQ(memoryDword(kRam + 0x10), 0x11223399u);

    // Nothing answers at 0x20000: the dword cannot be read, so nothing is written.
    CMemoryIOSpace nowhere(0, 0x20000, 0x1000);
    record();
    EXPECT_EQ(nowhere.WriteByte(0, 0x99), 0);
    const auto log = hw().accessLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].dir, AccessDir::Read);
    EXPECT_FALSE(log[0].ok);
}

// The widths a space does not offer fail without reaching the machine.
struct RefusedCase {
    const char* name;
    std::function<int(CPortIOSpace&, CMemoryIOSpace&)> access;
};

class IOSpaceRefusals : public IOSpaceTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(IOSpaceRefusals, SendNoRequest) {
    CPortIOSpace ports(0x800, 0x80);
    CMemoryIOSpace memory(0, uint32_t(kRam), 0x1000);
    record();
    EXPECT_EQ(GetParam().access(ports, memory), 0);
    EXPECT_TRUE(hw().accessLog().empty());
}

INSTANTIATE_TEST_SUITE_P(
    , IOSpaceRefusals,
    ::testing::Values(RefusedCase{"WordReadOfMemory",
                                  [](CPortIOSpace&, CMemoryIOSpace& m) {
                                      uint16_t value = 0;
                                      return m.ReadWord(0, &value);
                                  }},
                      RefusedCase{"WordWriteOfMemory", [](CPortIOSpace&, CMemoryIOSpace& m) { return m.WriteWord(0, 1); }},
                      RefusedCase{"QwordReadOfPorts",
                                  [](CPortIOSpace& p, CMemoryIOSpace&) {
                                      uint32_t high = 0, low = 0;
                                      return p.ReadQword(8, &high, &low);
                                  }}),
    CaseName());

// A read that fails leaves the caller's variable as it was.
TEST_F(IOSpaceTest, FailedReadsKeepTheCallersValue) {
    hw().injectFault(Fault{AccessKind::Port, AccessDir::Read, 0x800, 0x87F});
    hw().injectFault(Fault{AccessKind::Memory, AccessDir::Read, kRam, kRam + 0xFFF});
    CPortIOSpace ports(0x800, 0x80);
    CMemoryIOSpace memory(0, uint32_t(kRam), 0x1000);
    uint8_t byte = 0x12;
    uint16_t word = 0x1234;
    uint32_t dword = 0x12345678, high = 0x9ABC, low = 0xDEF0;
    EXPECT_EQ(ports.ReadByte(8, &byte), 0);
    EXPECT_EQ(ports.ReadWord(8, &word), 0);
    EXPECT_EQ(ports.ReadDword(8, &dword), 0);
    EXPECT_EQ(memory.ReadByte(0, &byte), 0);
    EXPECT_EQ(memory.ReadDword(0, &dword), 0);
    EXPECT_EQ(memory.ReadQword(0, &high, &low), 0);
    EXPECT_EQ(byte, 0x12);
    EXPECT_EQ(word, 0x1234);
    EXPECT_EQ(dword, 0x12345678u);
    EXPECT_EQ(high, 0x9ABCu);
    EXPECT_EQ(low, 0xDEF0u);
}

TEST_F(IOSpaceTest, WithoutADriverEveryAccessFailsUnsent) {
    sdk().m_pDriver = nullptr;
    CPortIOSpace ports(0x800, 0x80);
    CMemoryIOSpace memory(0, uint32_t(kRam), 0x1000);
    record();
    uint32_t value = 7;
    EXPECT_EQ(ports.ReadDword(8, &value), 0);
    EXPECT_EQ(ports.WriteByte(0, 1), 0);
    EXPECT_EQ(memory.ReadDword(0, &value), 0);
    EXPECT_EQ(memory.WriteDword(0, 1), 0);
    EXPECT_EQ(value, 7u);
    EXPECT_TRUE(hw().accessLog().empty());
}

TEST_F(IOSpaceTest, AddressesAreBaseLowPlusOffsetUncheckedAndWithoutCarry) {
    CPortIOSpace ports(0x800, 4);
    CMemoryIOSpace memory(1, 0xFFFFFFF0, 0x10);
    record();
    uint32_t value = 0;
    EXPECT_EQ(ports.ReadDword(8, &value), 1) << "beyond the size is still accessed";
    memory.ReadDword(0x20, &value);
    const auto log = hw().accessLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].address, 0x808u);
    EXPECT_EQ(log[1].address, 0x100000010u) << "the low dword wraps; the high dword stays 1";
}

TEST_F(IOSpaceTest, SpacesOfTheSameBaseButAnotherTypeAreDistinct) {
    auto* ports = new CPortIOSpace(0x400, 0x20);
    auto* memory = new CMemoryIOSpace(0, 0x400, 0x20);
    sdk().m_pIOSpaces->AddTail(ports);
    sdk().m_pIOSpaces->AddTail(memory);
    EXPECT_EQ(sdk().FindIOSpace(0, 0x400, IOSPACE_PORT), ports);
    EXPECT_EQ(sdk().FindIOSpace(0, 0x400, IOSPACE_MEMORY), memory);
}

} // namespace
} // namespace vexa::test
