// The overclocking profiles: XMP of DDR3 and DDR4, EPP 1.0 and 2.0, and
// AMP, each found by its signature on any module type.
#include <gtest/gtest.h>

#include "sdk/chipset/module_info.h"
#include "sdk/chipset/module_info_profiles.h"
#include "sdk/chipset/spd_interface.h"
#include "tests/sdk/chipset/spd_test_support.h"

namespace vexa::test {
namespace {

constexpr uint8_t kDDR2 = 8, kDDR3 = 11, kDDR4 = 12;

// A DDR3 module (JEDEC tCK `moduleUnits` / 8 ns) with an XMP 1.x block of
// revision `revision` in 1/8 ns units; profile 1 has cycle-time byte
// `profileUnits` and tAA byte `tAAUnits`, profile 2 is empty.
SpdImage DDR3WithXMP(uint8_t moduleUnits, uint8_t revision, uint8_t profileUnits, uint8_t tAAUnits = 90) {
    SpdImage bytes = SpdImage(kDDR3).Set(10, {1, 8, moduleUnits}).Set(16, 105);
    bytes.Set(176, {0x0C, 0x4A, 0x01, revision, 1, 8, 0, 0, 0});
    // 1.65 V, tCK, tAA, CL 6-9, -, -, tRP, tRCD, tWR, tRAS/tRC high nibbles, tRAS, tRC
    bytes.Set(185, {0x2D, profileUnits, tAAUnits, 0x3C, 0x00, 0x50, 90, 90, 120, 0x11, 0x0E, 0x68});
    bytes.Set(199, {0x00, 0x05, 60, 48});  // tRFC 160 ns, tRTP 7.5 ns, tRRD 6 ns
    return bytes;
}

TEST(XMP, DDR3ProfileAndItsCASTable) {
    const auto r = Decoded(DDR3WithXMP(12, 0x12, 10).Bytes());
    ASSERT_EQ(r->m_bXMP, 1);
    EXPECT_EQ(r->m_byXMPRevision, 0x12);
    ASSERT_EQ(r->m_iXMPProfiles, 1) << "profile 2's cycle-time byte is 0";
    EXPECT_EQ(r->GetXMPProfile(1), nullptr);
    const CXMP_Profile& p = *r->GetXMPProfile(0);
    EXPECT_FLOAT_EQ(p.m_fVoltage, 1.65f);
    EXPECT_EQ(p.m_fCycleTime, 1.25f);
    EXPECT_EQ(p.m_iClock, 800);
    EXPECT_STREQ(p.m_szSpeed, "PC3-12800");
    EXPECT_EQ(p.m_fAA, 11.25f);
    EXPECT_EQ(p.m_fRP, 11.25f);
    EXPECT_EQ(p.m_fRCD, 11.25f);
    EXPECT_EQ(p.m_fWR, 15.0f);
    EXPECT_EQ(p.m_fRAS, 33.75f);
    EXPECT_EQ(p.m_fRC, 45.0f);
    EXPECT_EQ(p.m_fRFC, 160.0f);
    EXPECT_EQ(p.m_fRTP, 7.5f);
    EXPECT_EQ(p.m_fRRD, 6.0f);
    EXPECT_EQ(p.m_iCommandRate, 0);
    ASSERT_NE(p.GetCASTable(3), nullptr);
    EXPECT_EQ(p.GetCASTable(3)->m_fCASLatency, 9.0f);
    EXPECT_EQ(p.GetCASTable(3)->m_fFrequency, 800.0f);
    EXPECT_EQ(p.GetCASTable(4), nullptr);
    EXPECT_EQ(p.GetCASTable(-1), nullptr);
}

// The speed-bin letter follows the module's JEDEC clock, not the profile's.
TEST(XMP, DDR3SpeedBinLetterOfTheJEDECClock) {
    EXPECT_STREQ(Decoded(DDR3WithXMP(10, 0x12, 10, 80).Bytes())->GetXMPProfile(0)->m_szSpeed, "PC3-12800G");
    EXPECT_STREQ(Decoded(DDR3WithXMP(12, 0x12, 10, 80).Bytes())->GetXMPProfile(0)->m_szSpeed, "PC3-12800");
}

TEST(XMP, DDR3SecondTimeBaseAndFineCorrection) {
    SpdImage bytes = DDR3WithXMP(12, 0x13, 10);
    bytes.Set(182, {1, 16, 0x11});          // MTB2 1/16 ns, FTB 1 ps
    bytes.Set(211, 0xF6);                   // profile 1: tCK - 10 ps
    bytes.Set(220, {0x2D, 20, 180, 0x3C});  // profile 2: 20 x 1/16 = 1.25 ns
    const auto r = Decoded(bytes.Bytes());
    ASSERT_EQ(r->m_iXMPProfiles, 2);
    EXPECT_FLOAT_EQ(r->GetXMPProfile(0)->m_fCycleTime, 1.24f);
    EXPECT_EQ(r->GetXMPProfile(0)->m_iClock, 806);
    EXPECT_EQ(r->GetXMPProfile(1)->m_fCycleTime, 1.25f);
    EXPECT_EQ(r->GetXMPProfile(1)->m_fAA, 11.25f);
}

// A time base whose divisor is 0 gives no times and so no profile.
TEST(XMP, DDR3TimeBaseWithoutDivisorKeepsNoProfile) {
    const auto r = Decoded(DDR3WithXMP(12, 0x12, 10).Set(181, 0).Bytes());
    EXPECT_EQ(r->m_bXMP, 1);
    EXPECT_EQ(r->m_iXMPProfiles, 0);
    EXPECT_EQ(r->GetXMPProfile(0), nullptr);
}

TEST(XMP, DDR4Profile) {
    SpdImage bytes(kDDR4, 512);
    bytes.Set(384, {0x0C, 0x4A, 0x03, 0x20});
    // 1.35 V, -, -, tCK 0.625 ns, CL 15-22, -, tAA 13.75 ns, tRCD, tRP
    bytes.Set(393, {0xA3, 0, 0, 5, 0x00, 0xFF, 0x00, 0, 110, 110, 110, 0x11, 0x00, 0x18});
    const auto r = Decoded(bytes.Bytes());
    ASSERT_EQ(r->m_iXMPProfiles, 1) << "the all-zero second block adds none";
    EXPECT_EQ(r->m_byXMPRevision, 0x20);
    const CXMP_Profile& p = *r->GetXMPProfile(0);
    EXPECT_FLOAT_EQ(p.m_fVoltage, 1.35f);
    EXPECT_EQ(p.m_iClock, 1600);
    EXPECT_STREQ(p.m_szSpeed, "DDR4-3200");
    EXPECT_EQ(p.m_fAA, 13.75f);
    EXPECT_EQ(p.m_fRAS, 32.0f);
    EXPECT_EQ(p.m_fRC, 35.0f);
    EXPECT_EQ(p.m_fWR, -1.0f) << "not in the DDR4 block";
    EXPECT_EQ(p.m_iCommandRate, -1);
    EXPECT_EQ(p.GetCASTable(7)->m_fCASLatency, 22.0f);

    // A read of 256 bytes cannot hold the block.
    std::vector<uint8_t> lower(bytes.Bytes().begin(), bytes.Bytes().begin() + 256);
    EXPECT_EQ(Decoded(lower)->m_bXMP, 0);
}

SpdImage DDR2WithEPP(uint8_t layout, uint8_t present) {
    return SpdImage(kDDR2).Set(9, 0x30).Set(99, {'m', 'V', 'N', layout, present});
}

TEST(EPP, TwoAbbreviatedProfiles) {
    SpdImage bytes = DDR2WithEPP(0xA1, 0x30);
    bytes.Set(104, {0x86, 0x25, 0x10, 0x32, 0x33, 37});
    bytes.Set(110, {0x05, 0x30, 0x08, 0x3C, 0x3C, 40});
    const auto r = Decoded(bytes.Bytes());
    ASSERT_EQ(r->m_bEPP, 1);
    ASSERT_EQ(r->m_iEPPProfiles, 2);
    ASSERT_EQ(r->GetEPPProfile(0)->m_iType, EPP_PROFILE_ABBREVIATED);
    const auto& first = static_cast<const CEPP_AbbreviatedProfile&>(*r->GetEPPProfile(0));
    EXPECT_FLOAT_EQ(first.m_fVoltage, 1.95f);
    EXPECT_EQ(first.m_iCommandRate, 2);
    EXPECT_EQ(first.m_fCycleTime, 2.5f);
    EXPECT_EQ(first.m_fCASLatency, 4.0f);
    EXPECT_EQ(first.m_fRCD, 12.5f);
    EXPECT_EQ(first.m_fRP, 12.75f);
    EXPECT_EQ(first.m_fRAS, 37.0f);
    const auto& second = static_cast<const CEPP_AbbreviatedProfile&>(*r->GetEPPProfile(1));
    EXPECT_EQ(second.m_iCommandRate, 1);
    EXPECT_EQ(second.m_fCASLatency, 3.0f);
    EXPECT_EQ(second.m_fRCD, 15.0f);
}

TEST(EPP, FullProfilesUseOnlyTheirTwoPresenceBits) {
    SpdImage bytes = DDR2WithEPP(0xB1, 0xF0);
    bytes.Set(104, {0x86, 1, 2, 3, 4, 0x25, 0x20, 0x32, 0x32, 40, 0, 55});
    const auto r = Decoded(bytes.Bytes());
    ASSERT_EQ(r->m_iEPPProfiles, 2);
    ASSERT_EQ(r->GetEPPProfile(0)->m_iType, EPP_PROFILE_FULL);
    const auto& full = static_cast<const CEPP_FullProfile&>(*r->GetEPPProfile(0));
    EXPECT_EQ(full.m_fCycleTime, 2.5f);
    EXPECT_EQ(full.m_fCASLatency, 5.0f);
    EXPECT_EQ(full.m_fRAS, 40.0f);
    EXPECT_EQ(full.m_fRC, 55.0f);
}

TEST(EPP, AnyOneSignatureByteCounts) {
    const struct {
        uint8_t b99, b100, b101;
        int found;
    } cases[] = {{0x00, 0x56, 0x00, 1}, {0x6D, 0x00, 0x00, 1}, {0x00, 0x00, 0x4E, 1}, {0x4E, 0x00, 0x6D, 0}};
    for (const auto& c : cases) {
        const auto r = Decoded(SpdImage(kDDR3).Set(99, {c.b99, c.b100, c.b101}).Bytes());
        EXPECT_EQ(r->m_bEPP, c.found) << int(c.b99) << " " << int(c.b100) << " " << int(c.b101);
        EXPECT_EQ(r->m_iEPPProfiles, 0);
    }
    EXPECT_EQ(Decoded(DDR2WithEPP(0xC1, 0xF0).Bytes())->m_iEPPProfiles, 0) << "an unknown layout";
}

// The EPP 2.0 marker drops the EPP 1.0 profiles with their count.
TEST(EPP, Version2MarkerEmptiesTheList) {
    SpdImage bytes = DDR2WithEPP(0xA1, 0x30).Set(150, 0x9D);
    const auto r = Decoded(bytes.Bytes());
    EXPECT_EQ(r->m_bEPP, 1);
    EXPECT_EQ(r->m_bEPP2, 1);
    EXPECT_EQ(r->m_iEPPProfiles, 0);
    ASSERT_NE(r->m_pEPPProfiles, nullptr);
    EXPECT_EQ(r->m_pEPPProfiles->GetCount(), 0u);
    EXPECT_EQ(r->GetEPPProfile(0), nullptr);
}

TEST(AMP, OneProfileInTheModulesTimeBases) {
    SpdImage bytes = SpdImage(kDDR3).Set(9, {0x11, 1, 8, 12});
    bytes.Set(80, {0xC8, 0, 10, 0xF6, 0, 0, 90, 0, 90, 0, 88, 0, 0x11, 0x10, 0x68, 0, 0, 0, 0, 0x00, 0x05});
    const auto r = Decoded(bytes.Bytes());
    ASSERT_EQ(r->m_bAMP, 1);
    EXPECT_EQ(r->m_byAMPVersion, 0xC8);
    ASSERT_EQ(r->m_iAMPProfiles, 1);
    const CAMP_Profile& p = *r->GetAMPProfile(0);
    EXPECT_FLOAT_EQ(p.m_fCycleTime, 1.24f);
    EXPECT_EQ(p.m_iClock, 806);
    EXPECT_EQ(p.m_fAA, 11.25f);
    EXPECT_EQ(p.m_fRP, 11.0f);
    EXPECT_EQ(p.m_fRAS, 34.0f);
    EXPECT_EQ(p.m_fRC, 45.0f);
    EXPECT_EQ(p.m_fRFC, 160.0f);
    EXPECT_EQ(r->GetAMPProfile(1), nullptr);
}

TEST(AMP, ModuleTimeBaseWithoutDivisorLeavesTheProfileUnknown) {
    const auto r = Decoded(SpdImage(kDDR3).Set(9, {0x10, 1, 0}).Set(80, {0xC8, 0, 10}).Bytes());
    ASSERT_EQ(r->m_iAMPProfiles, 1);
    EXPECT_EQ(r->GetAMPProfile(0)->m_iClock, -1);
    EXPECT_EQ(r->GetAMPProfile(0)->m_fCycleTime, -1.0f);
    EXPECT_EQ(r->GetAMPProfile(0)->m_fAA, -1.0f);
}

TEST(Profiles, AbsentBlocksLeaveFlagsCountsAndLists) {
    const auto r = Decoded(SpdImage(kDDR3).Set(10, {1, 8, 10}).Bytes());
    EXPECT_EQ(r->m_bEPP + r->m_bEPP2 + r->m_bXMP + r->m_bAMP, 0);
    EXPECT_EQ(r->m_iEPPProfiles + r->m_iXMPProfiles + r->m_iAMPProfiles, 0);
    EXPECT_EQ(r->m_pEPPProfiles, nullptr);
    EXPECT_EQ(r->m_pXMPProfiles, nullptr);
    EXPECT_EQ(r->m_pAMPProfiles, nullptr);
    EXPECT_EQ(r->m_byXMPRevision, 0xFF);
    EXPECT_EQ(r->GetEPPProfile(0), nullptr);
    EXPECT_EQ(r->GetCASTable(0), nullptr) << "no latency bits set";
}

} // namespace
} // namespace vexa::test
