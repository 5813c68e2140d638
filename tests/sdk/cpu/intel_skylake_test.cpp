// The Skylake description: a Core i7-6700K from its dump and MSRs, the bus
// clock it asks of the overclocking mailbox (and what it answers when the
// mailbox does not), and the stock clock list without 1.70 GHz.
#include <gtest/gtest.h>

#include "sdk/core/sdk.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/intel_skylake.h"
#include "tests/sdk/cpu/intel_family_test_support.h"

namespace vexa::test {
namespace {

using Skylake = IntelFamilyTest;

constexpr const char* kCoreI7_6700K = "cpuid/intel-skylake/intel-core-i7-6700k-cpu.test";

std::string BusClockMailbox(const std::string& keys) {
    return R"("0x150": {"kind": "oc_mailbox", )" + keys + "}";
}

TEST_F(Skylake, CoreI7_6700KFromItsMsrs) {
    UseImage(IntelDumpImage(kCoreI7_6700K,
                            PlatformIdMsr(1) + ", " + PlatformInfoMsr(40, 8) + ", " +
                                BusClockMailbox(R"("replies": [{"command": 5, "data": 100000}])"),
                            R"("tsc_mhz": 4000)"));
    const auto thread = Identified(0);
    ASSERT_TRUE(dynamic_cast<Intel_Skylake_Infos*>(thread->m_pFamilyInfos));
    EXPECT_STREQ(thread->m_szName, "Intel Core i3/i5/i7 6xxx");
    EXPECT_STREQ(thread->m_szCodename, "Skylake");
    EXPECT_STREQ(thread->m_szCoreStepping, "") << "only stepping 0 has a name";
    EXPECT_FLOAT_EQ(thread->m_fTechnology, 0.014f);
    EXPECT_EQ(thread->m_dwClassCode, uint32_t(CPU_CLASS_INTEL_SKYLAKE));
    EXPECT_EQ(thread->m_iPackageCode, -1) << "no package from the platform ID";
    EXPECT_EQ(thread->m_iPlatformId, 1);
    EXPECT_EQ(thread->m_iStockClock, 4000);
    PinnedTo pinned(0);
    EXPECT_FLOAT_EQ(thread->GetBusClock(), 100.0f);
}

struct BusClockCase {
    const char* name;
    std::string msrs;
    float clock;
};

class SkylakeBusClock : public IntelFamilyTest, public ::testing::WithParamInterface<BusClockCase> {};

TEST_P(SkylakeBusClock, FromTheMailbox) {
    UseImage(IntelPartImage({0x5E, 3, "Intel(R) Core(TM) i5-6600K CPU @ 3.50GHz", 4, 6144}, GetParam().msrs));
    const auto thread = Identified(0);
    PinnedTo pinned(0);
    // The description's own answer: the thread takes the vendor's for one
    // that is not above 0.
    EXPECT_FLOAT_EQ(thread->m_pFamilyInfos->GetBusClock(thread.get()), GetParam().clock);
}

INSTANTIATE_TEST_SUITE_P(
    Mailboxes, SkylakeBusClock,
    ::testing::Values(
        BusClockCase{"KilohertzCount", BusClockMailbox(R"("busy_reads": 20, "replies": [{"command": 5, "data": 99980}])"),
                     99.98f},
        BusClockCase{"UnsignedCount", BusClockMailbox(R"("replies": [{"command": 5, "data": "0x80000000"}])"),
                     2147483.648f},
        // Unfinished within 10000 polls, or stuck: 0, which is no measurement.
        BusClockCase{"BoundRunsOut", BusClockMailbox(R"("busy_reads": 10001, "replies": [{"command": 5, "data": 1}])"),
                     0.0f},
        BusClockCase{"StuckBusy", BusClockMailbox(R"("stuck_busy": true, "value": 100000)"), 0.0f},
        BusClockCase{"UnknownCommand", BusClockMailbox(R"("replies": [{"command": 16, "data": 1}])"), 0.0f},
        BusClockCase{"NoMailbox", PlatformIdMsr(1), -1.0f}),
    [](const ::testing::TestParamInfo<BusClockCase>& row) { return std::string(row.param.name); });

TEST_F(Skylake, BusClockNeedsTheDriver) {
    Use(IntelPartImage({0x5E, 3, "Intel(R) Core(TM) i5-6600K CPU @ 3.50GHz", 4, 6144},
                       BusClockMailbox(R"("replies": [{"command": 5, "data": 100000}])")),
        false);
    const auto thread = Identified(0);
    EXPECT_EQ(thread->m_pFamilyInfos->GetBusClock(thread.get()), -1.0f);
}

// Skylake's texts have no 1.70 GHz: the ratio of MSR 0xCE gives the stock
// clock, where Haswell's list has the text.
TEST_F(Skylake, NoStockClockTextFor1_70GHz) {
    const IntelPart skylake{0x4E, 3, "Intel(R) Core(TM) i5-6xxxU CPU @ 1.70GHz", 4, 3072};
    UseImage(IntelPartImage(skylake, PlatformInfoMsr(18)));
    const auto thread = Identified(0);
    EXPECT_EQ(thread->m_iStockClock, 1800);
    EXPECT_STREQ(thread->m_szCodename, "Skylake-U/Y");
}

TEST_F(Skylake, HaswellHasTheText) {
    UseImage(IntelPartImage({0x3C, 3, "Intel(R) Core(TM) i5-4xxxU CPU @ 1.70GHz", 4, 3072}, PlatformInfoMsr(18)));
    EXPECT_EQ(Identified(0)->m_iStockClock, 1700);
}

} // namespace
} // namespace vexa::test
