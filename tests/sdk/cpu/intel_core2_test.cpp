// The Core 2 description on the E6300 dump with the registers such a part
// carries: its name and clocks, the multiplier it may hide, the digital
// thermal sensor, and the bus and core clocks it counts with the
// performance counters, which it leaves as it found them.
#include <gtest/gtest.h>

#include <vector>

#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/cpu/cpu_package.h"
#include "sdk/cpu/intel_core2.h"
#include "tests/sdk/cpu/intel_family_test_support.h"

namespace vexa::test {
namespace {

constexpr const char* kE6300 = "cpuid/intel-core2/intel-core2-cpu-6300.test";

// 7 x 266.67 MHz, VID 0x24, 45 C; the bus-cycle counter and the fixed
// counters (held by 0x38D); 0x186 found counting another event
// (instructions retired, 0xC0), which the bus counter does not count.
std::string E6300Msrs(const std::string& extra = "") {
    return R"("0x17": "0x0000000008000700", "0xCD": "0x0", "0xEE": "0x0",
        "0x198": "0x0000072406000724", "0x199": "0x724", "0x19C": "0x88370000",
        "0x186": "0x004300C0",
        "0xC1": {"kind": "event_counter", "event": "0x3C", "unit_mask": "0x01", "mhz": 266.67},
        "0x30A": {"kind": "fixed_counter", "mhz": 1866.67},
        "0x38D": "0x0", "0x38F": "0x0000000000000003")" +
           (extra.empty() ? "" : ", " + extra);
}

using Core2 = IntelFamilyTest;

// The MSR writes of the access log, in order.
std::vector<std::pair<uint32_t, uint64_t>> MsrWrites(const machine::Machine& machine) {
    std::vector<std::pair<uint32_t, uint64_t>> writes;
    for (const auto& access : machine.accessLog())
        if (access.kind == machine::AccessKind::Msr && access.dir == machine::AccessDir::Write)
            writes.emplace_back(uint32_t(access.address), access.value);
    return writes;
}

TEST_F(Core2, E6300NamedAndClockedFromItsRegisters) {
    UseImage(IntelDumpImage(kE6300, E6300Msrs(), R"("tsc_mhz": 1866.67)"));
    const auto thread = Identified(0);
    EXPECT_STREQ(thread->m_szName, "Intel Core 2 Duo E6300");
    EXPECT_STREQ(thread->m_szCodename, "Conroe");
    EXPECT_STREQ(thread->m_szCoreStepping, "L2");
    EXPECT_STREQ(PackageCodeName(thread->m_iPackageCode), "Socket 775 LGA");
    EXPECT_EQ(thread->m_bEngineeringSample, 0u);
    EXPECT_EQ(thread->m_iNominalBusClock, 266);
    EXPECT_EQ(thread->m_iStockClock, 1866) << "7 x 266.67 MHz: the brand's 1.86GHz is no clock of the list";
    EXPECT_FLOAT_EQ(thread->m_fMaxNonTurboMultiplier, 7.0f);
    EXPECT_FLOAT_EQ(thread->m_fMinMultiplier, 6.0f);
    EXPECT_EQ(thread->m_iLinkMultiplier, 4);
    PinnedTo pinned(0);
    EXPECT_FLOAT_EQ(thread->GetMultiplier(), 7.0f);
    EXPECT_FLOAT_EQ(thread->GetTemperature(), 45.0f) << "TjMax 100 less a readout of 55";
}

TEST_F(Core2, BusAndCoreClocksLeaveTheCountersAsFound) {
    UseImage(IntelDumpImage(kE6300, E6300Msrs(), R"("tsc_mhz": 1866.67)"));
    const auto thread = Identified(0);
    PinnedTo pinned(0);
    hw().setLogging(true);
    EXPECT_NEAR(thread->GetBusClock(), 266.67f, 0.5f);
    EXPECT_NEAR(thread->GetCoreClock(), 1866.67f, 1.0f);
    EXPECT_EQ(Msr(0, 0x186), 0x004300C0u);
    EXPECT_EQ(Msr(0, 0x38D), 0u);
    EXPECT_EQ(Msr(0, 0x38F), 3u);
    const auto writes = MsrWrites(hw());
    // The event select counted bus cycles, enabled, in between.
    bool countedBusCycles = false;
    for (const auto& [index, value] : writes) countedBusCycles |= index == 0x186 && value == (0x3013Cu | 1u << 22);
    EXPECT_TRUE(countedBusCycles);
    // The last write of each programmed register put back what was found.
    const std::pair<uint32_t, uint64_t> found[] = {{0x186, 0x004300C0}, {0x38D, 0}, {0x38F, 3}};
    for (const auto& [index, value] : found) {
        SCOPED_TRACE(index);
        uint64_t last = ~0ull;
        for (const auto& write : writes)
            if (write.first == index) last = write.second;
        EXPECT_EQ(last, value);
    }
}

// Without the ACPI PM timer neither clock is measured, and no counter
// register is written.
TEST_F(Core2, NoPmTimerNoCountersTouched) {
    ProcessorTest::Use(IntelDumpImage(kE6300, E6300Msrs()));
    const auto thread = Identified(0);
    PinnedTo pinned(0);
    hw().setLogging(true);
    EXPECT_EQ(thread->GetBusClock(), -1.0f);
    EXPECT_EQ(thread->GetCoreClock(), -1.0f);
    EXPECT_TRUE(MsrWrites(hw()).empty());
}

// MSR 0xEE bit 27 hides the multiplier (0.0, so that the core clock is
// measured); bit 30 gives a Merom of stepping 13 the TjMax 85.
TEST_F(Core2, HiddenMultiplierAndLowTjMax) {
    UseImage(IntelDumpImage(kE6300, R"("0x17": "0x0000000008000700", "0xEE": "0x48000000",
        "0x198": "0x0000072406000724", "0x19C": "0x88370000")"));
    const auto thread = Identified(0);
    PinnedTo pinned(0);
    EXPECT_EQ(thread->m_pFamilyInfos->GetMultiplier(thread.get()), 0.0f);
    EXPECT_FLOAT_EQ(thread->m_fEffectiveMultiplier, 7.0f);
    EXPECT_FLOAT_EQ(thread->GetTemperature(), 45.0f) << "stepping 2 keeps TjMax 100";

    UseImage(IntelPartImage({0x0F, 13, "Intel(R) Core(TM)2 Duo CPU     T7100  @ 1.80GHz", 0, 0},
                            R"("0x17": "0x001C000008000000", "0xEE": "0x40000000", "0x19C": "0x88370000")"));
    const auto merom = Identified(0);
    ASSERT_TRUE(merom->m_pCoreTemperature);
    EXPECT_FLOAT_EQ(static_cast<CTemperatureSensor*>(merom->m_pCoreTemperature)->m_fOffset, 85.0f);
}

} // namespace
} // namespace vexa::test
