// The VIA/Centaur descriptions on processors written by hand: the C3 rows
// with their level-2 caches and MSR 0x2A ratios, the WinChip ratios, the
// C7 brands and model numbers, and the Nano's Centaur leaves and MSRs.
#include <gtest/gtest.h>

#include "sdk/core/report_generator.h"
#include "sdk/core/sensor.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/via_centaur.h"
#include "tests/sdk/cpu/cpu_test_support.h"

namespace vexa::test {
namespace {

Leaves CentaurLeaves(uint32_t family, uint32_t model, uint32_t stepping, uint32_t l2Ecx = 0) {
    Leaves leaves("CentaurHauls", 1);
    leaves.Set(1, SignatureEax(family, model, stepping), 0, 0, 0x0380B13D)
        .Extended(0x80000006)
        .Set(0x80000001, 0, 0, 0, 0)  // reserved on these processors
        .Set(0x80000005, 0, 0x08800880, 0x40040120, 0x40040120)
        .Set(0x80000006, 0, 0, l2Ecx, 0);
    return leaves;
}

// The descriptions only read: no MSR write reaches the processor.
void ExpectNoMsrWrites(machine::Machine& machine) {
    for (const machine::Access& access : machine.accessLog())
        EXPECT_FALSE(access.kind == machine::AccessKind::Msr && access.dir == machine::AccessDir::Write)
            << std::hex << access.address;
}

// MSR 0x2A with the bus strap (bits 19:18) and the ratio code (bits 25:22,
// 27).
uint64_t PowerOn(uint32_t busStrap, uint32_t code) {
    return (uint64_t((code >> 4) & 1) << 27) | (uint64_t(code & 0xF) << 22) | (uint64_t(busStrap) << 18);
}

struct C3Case {
    const char* name;
    uint32_t model, stepping, l2Ecx;
    uint32_t ratioCode;
    const char* codename;
    const char* coreStepping;
    int l2Size, l2Line, l2Ways;
    float multiplier;
    int32_t stockClock;
};

void PrintTo(const C3Case& c, std::ostream* out) { *out << c.name; }

class C3Models : public ProcessorTest, public ::testing::WithParamInterface<C3Case> {};

TEST_P(C3Models, NameCacheAndRatio) {
    const C3Case& c = GetParam();
    Use(MachineOf({CentaurLeaves(6, c.model, c.stepping, c.l2Ecx)}, {PlainMsr(0x2A, PowerOn(1, c.ratioCode))}));
    hw().setLogging(true);
    const auto thread = Identified(0);
    EXPECT_STREQ(thread->m_szName, "VIA C3");
    EXPECT_STREQ(thread->m_szCodename, c.codename);
    EXPECT_STREQ(thread->m_szCoreStepping, c.coreStepping);
    EXPECT_EQ(thread->m_dwClassCode, 0x8000801u);
    EXPECT_EQ(thread->m_iPackageCode, 0x1000D);
    EXPECT_EQ(thread->m_iExtFamily, 6) << "leaf 1's family: 0x80000001 EAX is reserved";
    EXPECT_EQ(thread->m_iExtModel, int32_t(c.model));
    EXPECT_EQ(thread->m_iNominalBusClock, 133);
    EXPECT_EQ(thread->m_iStockClock, c.stockClock);
    const CCacheDescriptor* l2 = thread->FindCacheDescriptor(2, CACHE_UNIFIED);
    ASSERT_TRUE(l2);
    EXPECT_EQ(l2->m_iSize, c.l2Size);
    EXPECT_EQ(l2->m_iLineSize, c.l2Line);
    EXPECT_EQ(l2->m_iWays, c.l2Ways);
    PinnedTo pinned(0);
    EXPECT_EQ(thread->GetMultiplier(), c.multiplier);
    ExpectNoMsrWrites(hw());
}

INSTANTIATE_TEST_SUITE_P(
    Parts, C3Models,
    ::testing::Values(
        // The Ezra's level-2 size is ECX bits 31:24, not the 16384 KB of
        // bits 31:16; code 1 of MSR 0x2A is 3.0 after stepping 7.
        C3Case{"Ezra", 7, 8, 0x40004120, 1, "Ezra", "C5C", 64, 32, 4, 3.0f, 400},
        // Code 1 is reserved up to stepping 7: no multiplier, no stock clock.
        C3Case{"Samuel2", 7, 3, 0x00404120, 1, "Samuel 2", "C5B", 64, 32, 4, -1.0f, -1},
        // Bit 27 with code 4: index 20, 13.5.
        C3Case{"NehemiahC5P", 9, 8, 0x00408120, 20, "Nehemiah", "C5P", 64, 32, 16, 13.5f, 1800},
        C3Case{"NehemiahC5XL", 9, 3, 0x0040F120, 2, "Nehemiah", "C5XL", 64, 32, 16, 4.0f, 533}),
    [](const ::testing::TestParamInfo<C3Case>& row) { return std::string(row.param.name); });

class VIAProcessors : public ProcessorTest {};

// (MSR 0x147 bits 26:23 + 2) / (MSR 0x10A bits 1:0 + 2) from stepping 7,
// MSR 0x10A alone before.
TEST_F(VIAProcessors, WinChipRatios) {
    const std::vector<machine::MsrSetting> msrs = {PlainMsr(0x10A, 0x1), PlainMsr(0x147, uint64_t(7) << 23)};
    Use(MachineOf({CentaurLeaves(5, 8, 7)}, msrs));
    auto thread = Identified(0);
    EXPECT_STREQ(thread->m_szName, "IDT WinChip 2A");
    EXPECT_FLOAT_EQ(thread->m_fTechnology, 0.25f);
    EXPECT_EQ(thread->m_dwClassCode, 0x8000400u);
    {
        PinnedTo pinned(0);
        EXPECT_EQ(thread->GetMultiplier(), 3.0f);
    }
    Use(MachineOf({CentaurLeaves(5, 8, 3)}, msrs));
    thread = Identified(0);
    EXPECT_STREQ(thread->m_szName, "IDT WinChip 2");
    EXPECT_FLOAT_EQ(thread->m_fTechnology, 0.35f);
    PinnedTo pinned(0);
    EXPECT_EQ(thread->GetMultiplier(), 3.0f) << "code 1 of MSR 0x10A";
}

// Brand A 0 (MSR 0x1153 bits 19:18 of low ^ low >> 2), a 133 MHz bus and a
// ratio of 12: 1600 MHz, the C7-M 765.
TEST_F(VIAProcessors, C7MModelNumberByStockClockAndBus) {
    Leaves leaves = CentaurLeaves(6, 0xA, 9, 0x0080A140);
    leaves.Set(0xC0000000, 0xC0000002, 0, 0, 0).Set(0xC0000002, 0, 0x00000A00, 0x04000C00, 0x00040000);
    Use(MachineOf({leaves}, {PlainMsr(0x1153, 0x003C0000), PlainMsr(0x1154, 0x0)}));
    const auto thread = Identified(0);
    auto* c7 = dynamic_cast<VIA_C7_Infos*>(thread->m_pFamilyInfos);
    ASSERT_TRUE(c7);
    EXPECT_EQ(c7->m_iBrandIdA, 0) << "bits 19:18 of 0x3C0000 ^ 0xF0000";
    EXPECT_STREQ(thread->m_szName, "VIA C7-M 765");
    EXPECT_STREQ(thread->m_szCodename, "Esther");
    EXPECT_STREQ(thread->m_szCoreStepping, "C5J");
    EXPECT_EQ(thread->m_dwClassCode, 0x8001002u);
    EXPECT_EQ(thread->m_bMobile, 1u);
    EXPECT_EQ(thread->m_iStockClock, 1600);
    EXPECT_EQ(thread->m_fMaxNonTurboMultiplier, 12.0f);
    EXPECT_EQ(thread->m_fMinMultiplier, 4.0f);
    EXPECT_EQ(thread->m_iPackageCode, 0x10014);
    EXPECT_EQ(thread->FindCacheDescriptor(2, CACHE_UNIFIED)->m_iWays, 32);
    PinnedTo pinned(0);
    EXPECT_EQ(thread->GetMultiplier(), 10.0f);
    CReportGenerator_Buffer report;
    thread->m_pFamilyInfos->DumpCPUID(&report);
    const std::string text = report.GetText();
    EXPECT_NE(text.find("VIA Brand ID (A)"), std::string::npos) << text;
    EXPECT_NE(text.find("0xC0000002"), std::string::npos) << text;
    EXPECT_EQ(text.find("0xC0000003"), std::string::npos) << "past the highest Centaur leaf";
}

// The Nano's temperature leaf, bus strap and ratios; without the PM timer
// it measures no bus clock.
TEST_F(VIAProcessors, NanoTemperatureBusStrapAndRatios) {
    Leaves leaves("CentaurHauls", 0xA);
    leaves.Set(1, SignatureEax(6, 0xF, 8), 0x02020800, 0, 0)
        .Extended(0x80000004)
        .Brand("VIA Nano processor U3300@1.2+GHz")
        .Set(0xC0000000, 0xC0000004, 0, 0, 0)
        .Set(0xC0000004, 0x2C, 0, 0, 0);
    Use(MachineOf({leaves}, {PlainMsr(0xCD, 0x1), PlainMsr(0x198, 0x0000180006000A00ull)}));
    hw().setLogging(true);
    const auto thread = Identified(0);
    ASSERT_TRUE(dynamic_cast<VIA_CNA_Infos*>(thread->m_pFamilyInfos));
    EXPECT_STREQ(thread->m_szName, "VIA Nano U3300");
    EXPECT_EQ(thread->m_fTDP, 7.0f);
    EXPECT_STREQ(thread->m_szCoreStepping, "A1");
    EXPECT_FLOAT_EQ(thread->m_fTechnology, 0.065f);
    EXPECT_EQ(thread->m_iApicId, 2);
    EXPECT_EQ(thread->m_iLogicalPerPackage, 2);
    EXPECT_EQ(thread->m_iNominalBusClock, 133);
    EXPECT_EQ(thread->m_fMaxNonTurboMultiplier, 12.0f) << "0x198 high bits 12:8 in half ratios";
    PinnedTo pinned(0);
    EXPECT_EQ(thread->GetMultiplier(), 5.0f);
    EXPECT_EQ(thread->GetTemperature(), 44.0f);
    EXPECT_EQ(thread->m_pCoreTemperature->m_dwRawValue, 0x2Cu);
    EXPECT_EQ(thread->GetBusClock(), -1.0f);
    ExpectNoMsrWrites(hw());
}

} // namespace
} // namespace vexa::test
