// The memory-mapped device models (HPET, local APIC page, PCI Express
// configuration window) on their own and on the bus that places them.
#include "machine/devices/ecam_window.h"
#include "machine/devices/hpet.h"
#include "machine/devices/local_apic.h"
#include "machine/devices/memory_bus.h"

#include "tests/support/manual_clock_guard.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vexa::machine {
namespace {

constexpr uint64_t kNsPerSecond = 1'000'000'000;
// Whole periods of a 14.31818 MHz HPET (69841279 fs) in `ns`.
constexpr uint64_t hpetCounts(uint64_t ns) { return uint64_t((unsigned __int128)ns * 1'000'000 / 69'841'279); }

template <typename Value>
Value readAt(MemoryDevice& device, uint64_t offset) {
    uint8_t bytes[sizeof(Value)];
    device.read(offset, bytes);
    Value value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

template <typename Value>
void writeAt(MemoryDevice& device, uint64_t offset, Value value) {
    uint8_t bytes[sizeof(Value)];
    std::memcpy(bytes, &value, sizeof value);
    device.write(offset, bytes);
}

// ---- HPET ----

TEST(Hpet, CapabilitiesCarryRevisionComparatorsVendorAndPeriod) {
    Hpet defaults{HpetSettings{}};
    EXPECT_EQ(readAt<uint32_t>(defaults, 0), 0x8086A201u);  // rev 1, 3 comparators, 64-bit, legacy routing
    EXPECT_EQ(readAt<uint32_t>(defaults, 4), 69841279u);
    EXPECT_EQ(readAt<uint64_t>(defaults, 0), 0x0429B17F8086A201u);
    EXPECT_EQ(readAt<uint8_t>(defaults, 2), 0x86);

    Hpet amd{HpetSettings{.base = 0xFED00000, .periodFs = 41666667, .vendorId = 0x1022, .timers = 32}};
    EXPECT_EQ(readAt<uint64_t>(amd, 0), uint64_t(41666667) << 32 | 0x1022u << 16 | 0xBF01u);
    writeAt<uint64_t>(amd, 0, 0);
    EXPECT_EQ(readAt<uint32_t>(amd, 4), 41666667u) << "the capabilities are read-only";
}

TEST(Hpet, MainCounterRunsFromTheClockWhileEnabled) {
    test::ManualClockGuard time(0);
    Hpet hpet{HpetSettings{}};
    EXPECT_EQ(readAt<uint64_t>(hpet, Hpet::kConfiguration), Hpet::kEnable);
    EXPECT_EQ(readAt<uint64_t>(hpet, Hpet::kMainCounter), 0u);
    time.clock().advanceNs(kNsPerSecond);
    EXPECT_EQ(readAt<uint64_t>(hpet, Hpet::kMainCounter), 14'318'179u);
    // Far beyond 32 bits: the counter is 64 bits wide and the dword at 0xF4 its top half.
    time.clock().setNs(400 * kNsPerSecond);
    const uint64_t counter = readAt<uint64_t>(hpet, Hpet::kMainCounter);
    EXPECT_EQ(counter, hpetCounts(400 * kNsPerSecond));
    EXPECT_EQ(readAt<uint32_t>(hpet, Hpet::kMainCounter + 4), uint32_t(counter >> 32));
}

TEST(Hpet, HaltingFreezesTheCountAndStartingResumesFromIt) {
    test::ManualClockGuard time(0);
    Hpet hpet{HpetSettings{.enabled = false}};
    EXPECT_EQ(readAt<uint64_t>(hpet, Hpet::kConfiguration), 0u) << "the reset state";
    time.clock().advanceNs(kNsPerSecond);
    EXPECT_EQ(readAt<uint64_t>(hpet, Hpet::kMainCounter), 0u);

    writeAt<uint32_t>(hpet, Hpet::kConfiguration, 0xFFFFFFFF);
    EXPECT_EQ(readAt<uint64_t>(hpet, Hpet::kConfiguration), Hpet::kEnable | Hpet::kLegacyRouting)
        << "reserved bits read 0";
    time.clock().advanceNs(kNsPerSecond / 2);
    EXPECT_EQ(readAt<uint64_t>(hpet, Hpet::kMainCounter), hpetCounts(kNsPerSecond / 2));

    writeAt<uint8_t>(hpet, Hpet::kConfiguration, 0x02);  // halt, keep legacy routing
    time.clock().advanceNs(kNsPerSecond);
    EXPECT_EQ(readAt<uint64_t>(hpet, Hpet::kMainCounter), hpetCounts(kNsPerSecond / 2));

    writeAt<uint64_t>(hpet, Hpet::kMainCounter, 0x1234567800000000);
    writeAt<uint32_t>(hpet, Hpet::kMainCounter, 0x9ABCDEF0);  // the low half alone
    EXPECT_EQ(readAt<uint64_t>(hpet, Hpet::kMainCounter), 0x123456789ABCDEF0u);
    writeAt<uint8_t>(hpet, Hpet::kConfiguration, 0x01);
    time.clock().advanceNs(kNsPerSecond);
    EXPECT_EQ(readAt<uint64_t>(hpet, Hpet::kMainCounter), 0x123456789ABCDEF0u + hpetCounts(kNsPerSecond));
}

TEST(Hpet, UnmodelledRegistersReadZeroAndIgnoreWrites) {
    Hpet hpet{HpetSettings{}};
    for (uint64_t offset : {0x08u, 0x18u, 0x20u, 0x100u, 0x108u, 0x3F8u}) {
        writeAt<uint64_t>(hpet, offset, ~0ull);
        EXPECT_EQ(readAt<uint64_t>(hpet, offset), 0u) << std::hex << offset;
    }
}

// ---- Local APIC ----

TEST(LocalApicPage, IdAndVersionRegistersAnswerForItsProcessor) {
    LocalApicPage page{LocalApicSettings{.version = 0x00060015}, 5};
    EXPECT_EQ(readAt<uint32_t>(page, LocalApicPage::kId), 5u << 24);
    EXPECT_EQ(readAt<uint8_t>(page, LocalApicPage::kId + 3), 5);
    EXPECT_EQ(readAt<uint32_t>(page, LocalApicPage::kVersion), 0x00060015u);
    EXPECT_EQ(readAt<uint32_t>(page, LocalApicPage::kId + 4), 0u) << "the rest of the 16-byte slot";
    writeAt<uint32_t>(page, LocalApicPage::kId, 0x07000000);
    EXPECT_EQ(readAt<uint32_t>(page, LocalApicPage::kId), 5u << 24);
    for (uint64_t offset : {0x80u, 0xF0u, 0x320u, 0x380u, 0xFF0u}) {
        writeAt<uint32_t>(page, offset, 0x1FF);
        EXPECT_EQ(readAt<uint32_t>(page, offset), 0u) << std::hex << offset;
    }
    LocalApicPage defaults{LocalApicSettings{}, 0};
    EXPECT_EQ(readAt<uint32_t>(defaults, LocalApicPage::kVersion), LocalApicSettings::kDefaultVersion);
}

// ---- PCI Express configuration window ----

class EcamWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        PciConfigSpace::Registers registers;
        for (unsigned i = 0; i < PciConfigSpace::kSize; ++i) registers[i] = uint8_t(i * 13 + 1);
        space_.addFunction(kFunction, registers);
        space_.addFunction(kNext, registers);
    }

    static uint64_t offsetOf(PciAddress function, unsigned reg) { return pciLinear(function, reg); }

    static constexpr PciAddress kFunction{3, 7, 5};
    static constexpr PciAddress kNext{3, 7, 6};
    PciConfigSpace space_;
    EcamWindow window_{EcamSettings{.base = 0xE0000000, .buses = 4}, space_};
};

TEST_F(EcamWindowTest, FunctionsLieAtTheirLinearOffsets) {
    EXPECT_EQ(window_.size(), 4u << 20);
    for (unsigned reg : {0x000u, 0x0FCu, 0x100u, 0xFFCu}) {
        uint8_t expected[4];
        space_.read(kFunction, reg, expected);
        uint32_t want;
        std::memcpy(&want, expected, 4);
        EXPECT_EQ(readAt<uint32_t>(window_, offsetOf(kFunction, reg)), want) << std::hex << reg;
    }
    EXPECT_EQ(readAt<uint32_t>(window_, offsetOf(PciAddress{3, 7, 4}, 0)), 0xFFFFFFFFu) << "absent function";
}

TEST_F(EcamWindowTest, AccessesAcrossTwoFunctionsAreSplit) {
    uint8_t bytes[4];
    window_.read(offsetOf(kFunction, 0xFFE), bytes);
    EXPECT_EQ(bytes[0], uint8_t(0xFFE * 13 + 1));
    EXPECT_EQ(bytes[1], uint8_t(0xFFF * 13 + 1));
    EXPECT_EQ(bytes[2], uint8_t(0 * 13 + 1));
    EXPECT_EQ(bytes[3], uint8_t(1 * 13 + 1));

    writeAt<uint32_t>(window_, offsetOf(kFunction, 0xFFE), 0xAABBCCDD);
    uint8_t tail[2], head[4];
    space_.read(kFunction, 0xFFE, tail);
    space_.read(kNext, 0, head);
    EXPECT_EQ(tail[0], 0xDD);
    EXPECT_EQ(tail[1], 0xCC);
    EXPECT_EQ(head[0], 0x01) << "the id bytes stay read-only";
    EXPECT_EQ(head[1], 14);
}

TEST_F(EcamWindowTest, WritesReachTheConfigurationSpace) {
    writeAt<uint32_t>(window_, offsetOf(kFunction, 0x40), 0x11223344);
    uint8_t bytes[4];
    space_.read(kFunction, 0x40, bytes);
    EXPECT_EQ(bytes[0], 0x44);
    EXPECT_EQ(bytes[3], 0x11);
    writeAt<uint32_t>(window_, offsetOf(PciAddress{0, 0, 0}, 0x40), 0x11223344);  // absent: dropped
    EXPECT_FALSE(space_.has(PciAddress{0, 0, 0}));
}

// ---- The bus ----

TEST(MemoryBus, AccessesMustLieWhollyInsideOneDevice) {
    MemoryBus bus;
    std::string error;
    ASSERT_TRUE(bus.attach(std::make_unique<Hpet>(HpetSettings{.base = 0x1000}), error)) << error;
    ASSERT_TRUE(bus.attach(std::make_unique<LocalApicPage>(LocalApicSettings{.base = 0x1400}, 0), error)) << error;
    uint8_t bytes[8];
    EXPECT_TRUE(bus.decodes(0x1000));
    EXPECT_TRUE(bus.decodes(0x13FF));
    EXPECT_FALSE(bus.decodes(0xFFF));
    EXPECT_TRUE(bus.read(0x13F8, bytes));
    EXPECT_FALSE(bus.read(0x13FC, bytes)) << "runs from the HPET into the APIC page";
    EXPECT_FALSE(bus.write(0x13FC, bytes));
    EXPECT_FALSE(bus.read(0x23FC, bytes)) << "runs past the APIC page";
    EXPECT_FALSE(bus.read(0x800, bytes)) << "nobody there";
    EXPECT_FALSE(bus.read(0x1000, std::span<uint8_t>()));

    EXPECT_FALSE(bus.attach(std::make_unique<LocalApicPage>(LocalApicSettings{.base = 0x2000}, 0), error));
    EXPECT_NE(error.find("overlaps"), std::string::npos) << error;
    EXPECT_FALSE(bus.attach(std::make_unique<Hpet>(HpetSettings{.base = ~0ull - 0x100}), error));
    EXPECT_NE(error.find("past the end"), std::string::npos) << error;
    EXPECT_TRUE(bus.attach(std::make_unique<Hpet>(HpetSettings{.base = ~0ull - 0x3FF}), error)) << error;
    EXPECT_TRUE(bus.read(~0ull - 7, bytes)) << "a device may end at the top of the address space";
}

} // namespace
} // namespace vexa::machine
