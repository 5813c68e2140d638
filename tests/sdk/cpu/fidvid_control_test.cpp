// The FID/VID controls: decoding of each family's status register, the
// AMD P-state tables, the waits for a transition, and the report section.
#include <gtest/gtest.h>

#include <cmath>

#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/cpu/fidvid_amd.h"
#include "sdk/cpu/fidvid_intel.h"
#include "sdk/cpu/fidvid_via.h"
#include "sdk/cpu/msr_register.h"
#include "tests/sdk/cpu/cpu_test_support.h"

namespace vexa::test {
namespace {

class FIDVID : public ProcessorTest {
protected:
    void WithMsrs(std::vector<machine::MsrSetting> msrs) {
        Use(MachineOf({Leaves("GenuineIntel", 1)}, std::move(msrs)));
    }
};

std::string Report(FIDVID_Control& control) {
    CReportGenerator_Buffer report;
    control.Dump(&report);
    return report.GetText();
}

// An AMD P-state register: enabled, with FID/DID in its low dword and the
// current in its high dword.
machine::MsrSetting PState(int i, bool enabled, uint32_t low, uint32_t high = 0) {
    return PlainMsr(0xC0010064 + i, (uint64_t((enabled ? 0x80000000u : 0) | high) << 32) | low);
}

TEST(FIDVIDCodes, K10EncodesDoubledMultipliers) {
    K10_FIDVID_Control k10;
    K11_FIDVID_Control k11;
    struct Case {
        int32_t x, k10, k11;
    };
    for (const Case& c : {Case{20, 4, 12}, Case{12, 0x108, 4}, Case{0, -1, -1}, Case{80, -1, -1}, Case{79, 63, -1}}) {
        SCOPED_TRACE(c.x);
        EXPECT_EQ(k10.EncodeFID(c.x), c.k10);
        EXPECT_EQ(k11.EncodeFID(c.x), c.k11);
    }
    EXPECT_FLOAT_EQ(k10.GetMultiplier(4), 10.0f);
    EXPECT_FLOAT_EQ(k10.GetMultiplier(0x108), 6.0f) << "(8 + 16) / 2 / 2";
    EXPECT_FLOAT_EQ(k11.GetMultiplier(4), 6.0f);
}

TEST(FIDVIDCodes, MultipliersAndVoltagesOfTheFamilies) {
    K7_FIDVID_Control k7;
    K8_FIDVID_Control k8;
    K8_AM2_FIDVID_Control am2;
    K12_FIDVID_Control k12;
    K15_FIDVID_Control k15Fine(1), k15(0);
    K16_FIDVID_Control k16(1);
    Netburst_FIDVID_Control netburst;
    Core_2_FIDVID_Control core2Low(1), core2(0);
    CNA_FIDVID_Control cna;
    struct Case {
        const char* name;
        float value, expected;
    };
    const Case cases[] = {
        {"K7 FID 0", k7.GetMultiplier(0), 11.0f},       {"K7 FID 19", k7.GetMultiplier(19), 20.0f},
        {"K7 FID 32", k7.GetMultiplier(32), -1.0f},     {"K7 VID 14", k7.GetVoltage(14), 1.30f},
        {"K7 VID 15", k7.GetVoltage(15), -1.0f},        {"K7 VID 30", k7.GetVoltage(30), 0.925f},
        {"K8 FID 42", k8.GetMultiplier(42), 25.0f},     {"K8 FID 43", k8.GetMultiplier(43), -1.0f},
        {"K8 VID 30", k8.GetVoltage(30), 0.80f},        {"AM2 VID 31", am2.GetVoltage(31), 0.775f},
        {"AM2 VID 63", am2.GetVoltage(63), 0.375f},     {"K12 divisor 9", k12.GetMultiplier(0x904), 20.0f},
        {"K12 divisor 5", k12.GetMultiplier(0x508), 4.0f}, {"K10 VID 124", k15.GetVoltage(124), 0.0f},
        {"K15 fine VID", k15Fine.GetVoltage(8), 1.5f},  {"K15 VID", k15.GetVoltage(8), 1.45f},
        {"K16 FID", k16.GetMultiplier(0x104), 10.0f},   {"Netburst VID 0x2B", netburst.GetVoltage(0x2B), 1.388f},
        {"Core 2 FID 17", core2.GetMultiplier(17), 8.5f}, {"Core 2 VID low", core2Low.GetVoltage(0), 0.7125f},
        {"Core 2 VID", core2.GetVoltage(0), 0.825f},    {"CNA FID", cna.GetMultiplier(9), 4.5f},
        {"CNA VID", cna.GetVoltage(9), -1.0f},          {"code -1", k8.GetCurrentMultiplier(), -1.0f},
    };
    for (const Case& c : cases) EXPECT_NEAR(c.value, c.expected, 1e-5) << c.name;
}

TEST_F(FIDVID, NetburstStatusGivesCurrentAndRangeCodes) {
    WithMsrs({PlainMsr(0x198, (uint64_t(0x1130) << 32) | 0x0C2B)});
    Netburst_FIDVID_Control control;
    ASSERT_EQ(control.Refresh(), 1u);
    EXPECT_EQ(control.m_iCurrentFID, 12);
    EXPECT_FLOAT_EQ(control.GetCurrentMultiplier(), 12.0f);
    EXPECT_EQ(control.m_iCurrentVID, 0x2B);
    EXPECT_NEAR(control.GetCurrentVoltage(), 1.388f, 1e-5);
    EXPECT_EQ(control.m_iMaxFID, 0x11);
    EXPECT_EQ(control.m_iMinFID, 14);
    EXPECT_EQ(Report(control), "\tFID range\t\t14.0x - 17.0x\n\tVID range\t\t1.116 V - 1.468 V\n\n");
}

TEST_F(FIDVID, K8GivesUpAfterTwoHundredReadsOfATransition) {
    WithMsrs({PlainMsr(0xC0010042, (uint64_t(0x0A0C0E10) << 32) | 0x80000A0Cu)});
    K8_FIDVID_Control control;
    control.m_iCurrentFID = 3;
    hw().setLogging(true);
    EXPECT_EQ(control.Refresh(), 0u);
    EXPECT_EQ(control.m_iCurrentFID, 3) << "keeps its codes";
    size_t reads = 0;
    for (const machine::Access& access : hw().accessLog()) reads += access.kind == machine::AccessKind::Msr;
    EXPECT_EQ(reads, size_t(K8_FIDVID_Control::kTransitionReads));
}

TEST_F(FIDVID, K8DecodesASettledStatus) {
    WithMsrs({PlainMsr(0xC0010042, (uint64_t(0x00120E10) << 32) | 0x000E0A0Cu)});
    K8_FIDVID_Control control;
    ASSERT_EQ(control.Refresh(), 1u);
    EXPECT_EQ(control.m_iCurrentFID, 0x0C);
    EXPECT_EQ(control.m_iStartFID, 0x0A);
    EXPECT_EQ(control.m_iMaxFID, 0x0E);
    EXPECT_EQ(control.m_iCurrentVID, 0x10);
    EXPECT_EQ(control.m_iMaxVID, 0x12);
    EXPECT_EQ(control.m_iMinVID, -1) << "a limit of 0 is not reported";
}

// A disabled register between two enabled ones: both enabled states are
// counted and reported, highest multiplier first.
TEST_F(FIDVID, K10TableKeepsEveryEnabledStateAcrossADisabledRegister) {
    WithMsrs({PState(0, true, (0x20 << 9) | 0x04, 0x1E),  // multiplier 10, 30 A
              PState(1, false, 0x10), PState(2, true, (0x30 << 9) | 0x50, 0x132),  // 8 (FID 16, DID 1), 5 A
              PState(3, false, 0), PState(4, false, 0),
              PlainMsr(0xC0010071, (uint64_t((20 << 17) | (0x40 << 10) | (0x10 << 3)) << 32) | (0x28 << 9) | 0x04),
              PlainMsr(0xC0010063, 0)});
    K10_FIDVID_Control control;
    ASSERT_EQ(control.Refresh(), 1u);
    EXPECT_EQ(control.m_iPStateCount, 2);
    int32_t fid = 0, vid = 0, current = 0;
    ASSERT_EQ(control.GetPState(0, &fid, &vid, &current), 1);
    EXPECT_EQ(fid, 0x04);
    EXPECT_EQ(current, 30);
    ASSERT_EQ(control.GetPState(1, &fid, &vid, &current), 1);
    EXPECT_EQ(fid, 0x110);
    EXPECT_EQ(vid, 0x30);
    EXPECT_EQ(current, 5);
    EXPECT_EQ(control.GetPState(2, &fid, &vid, &current), 0);
    EXPECT_EQ(control.m_iMinFID, 0x110) << "the lowest multiplier";
    EXPECT_EQ(control.m_iMaxFID, 4) << "EncodeFID(20)";
    EXPECT_EQ(control.m_iMinVID, 0x40);
    EXPECT_EQ(control.m_iMaxVID, 0x10);
    EXPECT_EQ(control.m_iCurrentVID, 0x28);
    const std::string report = Report(control);
    EXPECT_NE(report.find("\tFID range\t\t8.0x - 10.0x\n\tVID range\t\t0.750 V - 1.350 V\n"), std::string::npos)
        << report;
    EXPECT_NE(report.find("\t# of P-States\t\t2\n"
                          "\tP-State\t\t\tFID 0x4 - VID 0x20 - IDD 30 (10.00x - 1.150 V)\n"
                          "\tP-State\t\t\tFID 0x110 - VID 0x30 - IDD 5 (8.00x - 0.950 V)\n"),
              std::string::npos)
        << report;
}

// Without the driver nothing reads: no table is built from registers that
// were never read, and a later refresh that reads them builds it.
TEST_F(FIDVID, PStateTableWaitsForRegistersThatRead) {
    WithMsrs({PState(0, true, 0x04), PState(1, true, 0x02), PState(2, false, 0), PState(3, false, 0),
              PState(4, false, 0)});
    CKMDriver* driver = GetSDK()->m_pDriver;
    GetSDK()->m_pDriver = nullptr;
    K10_FIDVID_Control control;
    EXPECT_EQ(control.Refresh(), 1u);
    EXPECT_EQ(control.m_iPStateCount, 0);
    GetSDK()->m_pDriver = driver;
    EXPECT_EQ(control.Refresh(), 1u);
    EXPECT_EQ(control.m_iPStateCount, 2);
}

TEST_F(FIDVID, K14TakesItsPLLFromTheStatusBeforeTheTable) {
    WithMsrs({PState(0, true, (0x10 << 4) | 0x0, 0x08), PState(1, false, 0), PState(2, false, 0), PState(3, false, 0),
              PState(4, false, 0), PState(5, false, 0), PState(6, false, 0), PState(7, false, 0),
              PlainMsr(0xC0010071, uint64_t(14 << 17) << 32)});
    K14_FIDVID_Control control;
    ASSERT_EQ(control.Refresh(), 1u);
    EXPECT_EQ(control.m_iMaxPLLFrequency, 3000);
    ASSERT_EQ(control.m_iPStateCount, 1);
    EXPECT_EQ(control.m_PStates[0].frequency, 176) << "3000 / (16 + 0 + 1)";
    EXPECT_NE(Report(control).find("176 MHz - FID 0x1000 - VID 0x00 - IDD 8"), std::string::npos);
    CReportGenerator_Buffer extra;
    control.DumpExtra(&extra);
    EXPECT_STREQ(extra.GetText(), "\tMax PLL Frequency\t3000\n");
}

TEST_F(FIDVID, Core2ReadsHalfMultipliersAndTheRequestedOne) {
    // Current 8.5 (ratio 8 + half bit), minimum 6, maximum 9.5; requested 9.
    WithMsrs({PlainMsr(0x198, (uint64_t((1u << 14) | (9 << 8) | 0x20) << 32) | (6u << 24) | (1u << 14) | (8 << 8) | 0x18),
              PlainMsr(0x199, 9 << 8)});
    Core_2_FIDVID_Control control(1);
    ASSERT_EQ(control.Refresh(), 1u);
    EXPECT_FLOAT_EQ(control.GetCurrentMultiplier(), 8.5f);
    EXPECT_FLOAT_EQ(control.GetMinMultiplier(), 6.0f);
    EXPECT_FLOAT_EQ(control.GetMaxMultiplier(), 9.5f);
    EXPECT_EQ(control.m_iTargetFID, 18);
    EXPECT_EQ(control.m_iCurrentVID, 0x18);
}

TEST(FIDVIDReport, RowsAndRangesAsTheCodesAllow) {
    K8_FIDVID_Control control;
    EXPECT_EQ(Report(control), "\n") << "no ranges, no P-states";
    control.m_iMaxFID = 10;
    control.SetPStates({PStateRow{-1, 10, 2, -1}, PStateRow{-1, 2, 18, -1}});
    EXPECT_EQ(Report(control), "\tMax FID\t\t\t9.0x\n"
                               "\t# of P-States\t\t2\n"
                               "\tP-State\t\t\tFID 0xA - VID 0x02 (9.00x - 1.500 V)\n"
                               "\tP-State\t\t\tFID 0x2 - VID 0x12 (5.00x - 1.100 V)\n\n");
    control.SortPStates();
    int32_t fid = 0;
    control.GetPState(0, &fid, nullptr, nullptr);
    EXPECT_EQ(fid, 10) << "already highest first";
    control.SetPStates({PStateRow{-1, 2, 0, -1}, PStateRow{-1, 10, 0, -1}, PStateRow{-1, 10, 1, -1}});
    control.SortPStates();
    int32_t vid = 0;
    control.GetPState(0, &fid, &vid, nullptr);
    EXPECT_EQ(vid, 0) << "equal multipliers keep their order";
    control.GetPState(2, &fid, nullptr, nullptr);
    EXPECT_EQ(fid, 2);
}

} // namespace
} // namespace vexa::test
