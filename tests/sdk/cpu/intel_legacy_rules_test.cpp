// The rules of the P5, P6, NetBurst and Pentium M descriptions that the
// named parts do not reach: the P5's OverDrive, steppings and level-1
// caches, the P6 ratio tables, bus and Covington, the first NetBurst ratio
// code and the Extreme Edition's brand clock, the Pentium M's clock texts
// and the bus they give.
#include <gtest/gtest.h>

#include "sdk/core/sdk.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_package.h"
#include "sdk/cpu/intel_p5.h"
#include "tests/sdk/cpu/intel_family_test_support.h"
#include "tests/sdk/cpu/intel_legacy_test_support.h"

namespace vexa::test {
namespace {

using LegacyRules = IntelFamilyTest;

// ---- P5 ----

struct P5Case {
    const char* name;
    uint32_t model, stepping, type;
    const char* processor;
    const char* coreStepping;
    int32_t package;
    int32_t level1;  // KB of each level-1 cache; -1: none
};

void PrintTo(const P5Case& c, std::ostream* out) { *out << c.name; }

class P5 : public IntelFamilyTest, public ::testing::WithParamInterface<P5Case> {};

TEST_P(P5, NameSteppingPackageAndLevel1Caches) {
    const P5Case& c = GetParam();
    LegacyPart part;
    part.family = 5;
    part.extModel = c.model;
    part.stepping = c.stepping;
    part.processorType = c.type;
    UseImage(LeavesImage(LegacyLeaves(part), ""));
    const auto thread = Identified(0);
    EXPECT_STREQ(thread->m_szName, c.processor);
    EXPECT_STREQ(thread->m_szCoreStepping, c.coreStepping);
    EXPECT_EQ(thread->m_iPackageCode, c.package);
    for (int32_t type : {CACHE_INSTRUCTION, CACHE_DATA}) {
        const CCacheDescriptor* cache = thread->FindCacheDescriptor(1, type);
        EXPECT_EQ(cache ? cache->m_iSize : -1, c.level1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Models, P5,
    ::testing::Values(P5Case{"P54COverDrive", 2, 5, 1, "Intel Pentium OverDrive", "C2", -1, 8},
                      P5Case{"P54C", 2, 5, 0, "Intel Pentium", "C2", 0x10002, 8},
                      P5Case{"P5SteppingC1", 1, 5, 0, "Intel Pentium", "C1", 0x10001, 8},
                      P5Case{"P5Model0", 0, 5, 0, "Intel Pentium", "", 0x10001, 8},
                      P5Case{"P55C", 4, 3, 0, "Intel Pentium MMX", "MXB1", 0x10004, 16},
                      P5Case{"Tillamook", 8, 2, 0, "Intel Mobile Pentium MMX", "MYB2", 0x10003, 16},
                      P5Case{"Model5", 5, 0, 0, "Intel P5", "", -1, -1},
                      P5Case{"Model6", 6, 0, 0, "Intel P5", "", -1, -1}),
    [](const ::testing::TestParamInfo<P5Case>& row) { return std::string(row.param.name); });

// The time-stamp clock of the report, measured against the PM timer only.
TEST_F(LegacyRules, P5ReportsTheTscMeasuredAgainstThePmTimer) {
    LegacyPart part;
    part.family = 5;
    part.extModel = 2;
    UseImage(LeavesImage(LegacyLeaves(part), "", R"("tsc_mhz": 100)"));
    const auto thread = Identified(0);
    EXPECT_EQ(DumpText(thread->m_pFamilyInfos), "\tTSC\t\t\t100.0 MHz\n");
    PinnedTo pinned(0);
    EXPECT_EQ(thread->GetMultiplier(), -1.0f) << "model 2 reports no multiplier";

    ReleaseSDK();
    ProcessorTest::Use(LeavesImage(LegacyLeaves(part), "", R"("tsc_mhz": 100)"));
    const auto unmeasured = Identified(0);
    EXPECT_EQ(DumpText(unmeasured->m_pFamilyInfos), "") << "no PM timer in the root";
}

// ---- P6 ----

// MSR 0x2A with a ratio code (bits 25:22), the high-table bit 27 and a bus
// code (bits 19:18).
std::string PowerOn(uint32_t ratioCode, bool high, uint32_t busCode) {
    return MsrEntry(0x2A, (uint64_t(ratioCode) << 22) | (high ? 1u << 27 : 0) | (uint64_t(busCode) << 18));
}

struct P6RatioCase {
    const char* name;
    uint32_t model, stepping, brandId;
    std::string msrs;
    float multiplier;
    int32_t bus;
    int32_t stock;
};

void PrintTo(const P6RatioCase& c, std::ostream* out) { *out << c.name; }

class P6Ratios : public IntelFamilyTest, public ::testing::WithParamInterface<P6RatioCase> {};

TEST_P(P6Ratios, MultiplierBusAndStockClock) {
    const P6RatioCase& c = GetParam();
    UseImage(LeavesImage(LegacyLeaves({6, c.model, c.stepping, "", c.brandId}), c.msrs));
    const auto thread = Identified(0);
    EXPECT_EQ(thread->m_iNominalBusClock, c.bus);
    EXPECT_EQ(thread->m_iStockClock, c.stock);
    PinnedTo pinned(0);
    EXPECT_FLOAT_EQ(thread->GetMultiplier(), c.multiplier);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, P6Ratios,
    ::testing::Values(P6RatioCase{"CascadesHigh", 10, 0, 3, PowerOn(2, true, 2), 4.0f, 100, 400},
                      P6RatioCase{"CoppermineHigh", 8, 3, 0, PowerOn(2, true, 1), 12.0f, 133, 1600},
                      P6RatioCase{"CoppermineFirst", 8, 1, 0, PowerOn(3, true, 2), 5.0f, 100, 500},
                      P6RatioCase{"BrandId2On66", 8, 6, 2, PowerOn(9, false, 0), 7.0f, 100, 700},
                      P6RatioCase{"Tualatin", 11, 1, 4, PowerOn(8, false, 1), 16.0f, 133, 2133},
                      P6RatioCase{"NoRegister", 8, 6, 0, "", -1.0f, -1, -1}),
    [](const ::testing::TestParamInfo<P6RatioCase>& row) { return std::string(row.param.name); });

struct P6NameCase {
    const char* name;
    LegacyPart part;
    std::string msrs;
    const char* processor;
    const char* codename;
    int32_t package;
};

void PrintTo(const P6NameCase& c, std::ostream* out) { *out << c.name; }

class P6Names : public IntelFamilyTest, public ::testing::WithParamInterface<P6NameCase> {};

TEST_P(P6Names, NameAndPackage) {
    const P6NameCase& c = GetParam();
    UseImage(LeavesImage(LegacyLeaves(c.part), c.msrs));
    const auto thread = Identified(0);
    EXPECT_STREQ(thread->m_szName, c.processor);
    EXPECT_STREQ(thread->m_szCodename, c.codename);
    EXPECT_EQ(thread->m_iPackageCode, c.package);
}

// IA32_PLATFORM_ID of a P6: the platform ID in the high dword's bits 20:18.
std::string P6PlatformId(uint32_t id) { return PlatformId(id); }

INSTANTIATE_TEST_SUITE_P(
    Parts, P6Names,
    ::testing::Values(
        // No level-2 cache by BBL_CR_CTL3, whatever leaf 2 says.
        P6NameCase{"Covington", {6, 5, 2, "", 0, 1, 1, 0, 0x0043}, MsrEntry(0x11E, 1u << 23), "Intel Celeron",
                   "Covington", 0x20003},
        P6NameCase{"Deschutes", {6, 5, 2}, MsrEntry(0x11E, 0), "Intel Pentium II", "Deschutes", 0x20001},
        // A Coppermine E on a 133 MHz bus, platform bit 1 clear: EB.
        P6NameCase{"CoppermineEB", {6, 8, 6, "", 2}, P6PlatformId(4) + ", " + PowerOn(2, true, 1),
                   "Intel Pentium III EB", "Coppermine", 0x1000F},
        P6NameCase{"KatmaiB", {6, 7, 3}, P6PlatformId(0) + ", " + PowerOn(0, false, 1), "Intel Pentium III B", "Katmai",
                   0x20002},
        P6NameCase{"TualatinMobile", {6, 11, 4, "", 6}, P6PlatformId(1), "Intel Pentium III-M", "Tualatin", 0x20006}),
    [](const ::testing::TestParamInfo<P6NameCase>& row) { return std::string(row.param.name); });

// ---- NetBurst ----

// The first models' ratio code: 8 to 15 as they are, 0 to 7 as 16 to 23.
TEST_F(LegacyRules, WillametteRatioCodes) {
    for (const auto& [code, ratio] : {std::pair{8u, 8.0f}, {7u, 23.0f}, {0u, 16.0f}}) {
        SCOPED_TRACE(code);
        UseImage(LeavesImage(LegacyLeaves({15, 1, 2, "Intel(R) Pentium(R) 4 CPU 1.80GHz"}),
                             PlatformId(2) + ", " + MsrEntry(0x2A, uint64_t(code) << 8)));
        const auto thread = Identified(0);
        EXPECT_EQ(thread->m_iStockClock, static_cast<int32_t>(ratio * 100.0f));
        EXPECT_STREQ(thread->m_szCodename, "Willamette");
        EXPECT_STREQ(PackageCodeName(thread->m_iPackageCode), "Socket 478 mPGA");
        PinnedTo pinned(0);
        EXPECT_FLOAT_EQ(thread->GetMultiplier(), ratio);
        ReleaseSDK();
    }
}

// A Presler Extreme Edition takes its clock from the brand string and has
// no number at 3733 MHz; an unknown level-3 byte gives no descriptor.
TEST_F(LegacyRules, PreslerExtremeEditionClockFromItsBrand) {
    UseImage(LeavesImage(LegacyLeaves({15, 6, 5, "Intel(R) Pentium(R) 4 CPU 3.73GHz", 0, 2, 4, 2048, 0x7D7040}),
                         PlatformId(2) + ", " + MsrEntry(0x2C, 0x0E04000E)));
    const auto thread = Identified(0);
    EXPECT_STREQ(thread->m_szName, "Intel Pentium Extreme Edition");
    EXPECT_STREQ(thread->m_szCodename, "Presler");
    EXPECT_EQ(thread->m_iStockClock, 3733);
    EXPECT_EQ(thread->m_dwClassCode, 0x1001009u);
    EXPECT_FALSE(thread->FindCacheDescriptor(3, CACHE_UNIFIED));
}

// ---- Pentium M ----

struct MobileClockCase {
    const char* name;
    const char* brand;
    std::string msrs;
    int32_t stock;
    int32_t bus;
};

void PrintTo(const MobileClockCase& c, std::ostream* out) { *out << c.name; }

class MobileClocks : public IntelFamilyTest, public ::testing::WithParamInterface<MobileClockCase> {};

TEST_P(MobileClocks, StockClockFromTheBrandAndBusFromTheRatio) {
    const MobileClockCase& c = GetParam();
    UseImage(LeavesImage(LegacyLeaves({6, 0x0D, 8, c.brand, 0x16}), c.msrs));
    const auto thread = Identified(0);
    EXPECT_EQ(thread->m_iStockClock, c.stock);
    EXPECT_EQ(thread->m_iNominalBusClock, c.bus);
}

// IA32_PERF_STATUS of a Pentium M with its highest FID.
std::string MobileStatus(uint32_t maxFid) { return MsrEntry(0x198, (uint64_t((maxFid << 8) | 0x20) << 32) | 0x0C20); }

INSTANTIATE_TEST_SUITE_P(
    BrandTexts, MobileClocks,
    ::testing::Values(MobileClockCase{"OnePointSeven", "Intel(R) Pentium(R) M processor 1.7GHz", "", 1700, -1},
                      MobileClockCase{"OnePointSeventy", "Intel(R) Pentium(R) M processor 1.70GHz", "", -1, -1},
                      MobileClockCase{"Unlisted2600MHz", "Intel(R) Pentium(R) M processor 2600MHz", "", 600, -1},
                      MobileClockCase{"BusFromRatio", "Intel(R) Pentium(R) M processor 1.60GHz", MobileStatus(12), 1600,
                                      133},
                      MobileClockCase{"NoNominalBus", "Intel(R) Pentium(R) M processor 1.60GHz", MobileStatus(11), 1600,
                                      -1}),
    [](const ::testing::TestParamInfo<MobileClockCase>& row) { return std::string(row.param.name); });

} // namespace
} // namespace vexa::test
