// MSR_Register: reads and writes through the stand-in driver on the
// calling processor, its bit helpers, and the registers it never touches.
#include <gtest/gtest.h>

#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/cpu/msr_register.h"
#include "tests/sdk/cpu/cpu_test_support.h"

namespace vexa::test {
namespace {

class MsrRegister : public ProcessorTest {};

std::vector<machine::Access> MsrAccesses(machine::Machine& machine) {
    std::vector<machine::Access> found;
    for (const machine::Access& access : machine.accessLog())
        if (access.kind == machine::AccessKind::Msr) found.push_back(access);
    return found;
}

TEST_F(MsrRegister, ReadsAndWritesTheCallingProcessorsRegister) {
    machine::MsrSetting first = PlainMsr(0x199, 0x1400), second = PlainMsr(0x199, 0x1600);
    first.cpus = {0};
    second.cpus = {1};
    Use(MachineOf({Leaves("GenuineIntel", 1), Leaves("GenuineIntel", 1)}, {first, second}));
    hw().setLogging(true);
    PinnedTo pinned(1);
    MSR_Register reg(0x199);
    ASSERT_EQ(reg.Read(), 1);
    EXPECT_EQ(reg.m_dwLow, 0x1600u);
    EXPECT_EQ(reg.m_dwHigh, 0u);
    EXPECT_EQ(reg.Write(0x12, 0x34), 1);
    EXPECT_EQ(reg.m_dwLow, 0x1600u) << "a write leaves the fields";
    ASSERT_EQ(reg.Read(), 1);
    EXPECT_EQ(reg.GetValue(), 0x1200000034ull);
    const auto accesses = MsrAccesses(hw());
    ASSERT_FALSE(accesses.empty());
    for (const machine::Access& access : accesses) EXPECT_EQ(access.cpu, 1u);
}

TEST_F(MsrRegister, SetBitChangesOneBitOfTheValueItReads) {
    Use(MachineOf({Leaves("GenuineIntel", 1)}, {PlainMsr(0x1A0, 0)}));
    MSR_Register reg(0x1A0);
    ASSERT_EQ(reg.SetBit(40, 1), 1);
    EXPECT_EQ(reg.m_dwHigh, 0u) << "the fields keep the value before the change";
    ASSERT_EQ(reg.Read(), 1);
    EXPECT_EQ(reg.m_dwHigh, 0x100u);
    EXPECT_EQ(reg.m_dwLow, 0u);
    ASSERT_EQ(reg.SetBit(3, 1), 1);
    ASSERT_EQ(reg.SetBit(40, 0), 1);
    uint32_t set = 7;
    ASSERT_EQ(reg.TestBit(40, &set), 1);
    EXPECT_EQ(set, 0u);
    ASSERT_EQ(reg.TestBit(3, &set), 1);
    EXPECT_EQ(set, 1u);
    EXPECT_EQ(reg.SetBit(64, 1), 0) << "no such bit";
}

TEST_F(MsrRegister, UnusableMissingAndAllOnesRegistersFail) {
    machine::MsrSetting allOnes = PlainMsr(0x17, ~0ull);
    Use(MachineOf({Leaves("GenuineIntel", 1)}, {allOnes}));
    hw().setLogging(true);
    MSR_Register unusable(MSR_Register::kUnusable);
    uint32_t set = 7;
    EXPECT_EQ(unusable.Read(), 0);
    EXPECT_EQ(unusable.Write(0, 0), 0);
    EXPECT_EQ(unusable.SetBit(1, 1), 0);
    EXPECT_EQ(unusable.TestBit(1, &set), 0);
    EXPECT_TRUE(MsrAccesses(hw()).empty()) << "never reaches the driver";

    MSR_Register missing(0x123);
    EXPECT_EQ(missing.Read(), 0);
    EXPECT_EQ(missing.TestBit(0, &set), 0);
    EXPECT_EQ(set, 7u) << "untouched on failure";
    EXPECT_EQ(MSR_Register(0x17).Read(), 0) << "all ones is what an absent register reads";
}

TEST_F(MsrRegister, NothingWithoutADriverAndOneReportLine) {
    Use(MachineOf({Leaves("GenuineIntel", 1)}, {PlainMsr(0x1B, 0xFEE00900)}), false);
    MSR_Register reg(0x1B);
    EXPECT_EQ(reg.Read(), 0);
    reg.m_dwHigh = 0x1;
    reg.m_dwLow = 0xFEE00900;
    CReportGenerator_Buffer report;
    reg.Dump(&report);
    EXPECT_STREQ(report.GetText(), "\tMSR 0x0000001B\t\t0x00000001\t0xFEE00900\n");
}

} // namespace
} // namespace vexa::test
