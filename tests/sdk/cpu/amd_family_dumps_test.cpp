// Every dump of tests/data/cpuid of the AMD K7, K8 and families 10h to 16h
// as an image of its CPUID alone: what the brand fields and the
// signature name without model-specific registers and without the
// northbridge. Family 10h and 11h names that need the core count of the
// northbridge (CmpCap) stay at the family's name then, and so do the
// family 16h desktop parts, named by their stock clock.
#include <gtest/gtest.h>

#include "sdk/core/sdk.h"
#include "sdk/cpu/cpu_package.h"
#include "tests/sdk/cpu/cpu_test_support.h"

namespace vexa::test {
namespace {

struct DumpCase {
    const char* name;
    const char* file;
    const char* processor;
    const char* codename;
    const char* stepping;
    float technology;
    const char* package;
    uint32_t classCode;
    int32_t rating;
};

void PrintTo(const DumpCase& c, std::ostream* out) { *out << c.name; }

class AMDFamilyDumps : public ProcessorTest, public ::testing::WithParamInterface<DumpCase> {};

TEST_P(AMDFamilyDumps, NamesFromTheBrandFieldsWithoutMsrs) {
    const DumpCase& c = GetParam();
    Use(DumpOnly(std::string("cpuid/") + c.file), false);
    const auto thread = Identified(0);
    EXPECT_STREQ(thread->m_szName, c.processor);
    EXPECT_STREQ(thread->m_szCodename, c.codename);
    EXPECT_STREQ(thread->m_szCoreStepping, c.stepping);
    EXPECT_FLOAT_EQ(thread->m_fTechnology, c.technology);
    EXPECT_STREQ(PackageCodeName(thread->m_iPackageCode), c.package);
    EXPECT_EQ(thread->m_dwClassCode, c.classCode);
    EXPECT_EQ(thread->m_iPerformanceRating, c.rating);
    EXPECT_EQ(thread->m_iStockClock, -1) << "no MSRs";
    PinnedTo pinned(0);
    EXPECT_EQ(thread->GetMultiplier(), -1.0f);
    EXPECT_EQ(thread->GetTemperature(), -1.0f);
}

INSTANTIATE_TEST_SUITE_P(
    CpuidData, AMDFamilyDumps,
    ::testing::Values(
        DumpCase{"AthlonXP3200", "amd-k7/amd-athlon-xp-3200+.test", "AMD Athlon XP", "Barton", "A2", 0.13f,
                 "Socket A (462)", 0x2001002, 3200},
        DumpCase{"Athlon64X2_5200", "amd-k8/amd-athlon-64-x2-dual-core-processor-5200+.test",
                 "AMD Athlon 64 X2 5200+", "Brisbane", "BH-G2", 0.065f, "Socket AM2 (940)", 0x2002008, 5200},
        DumpCase{"Opteron248", "amd-k8/amd-opteron-processor-248.test", "AMD Opteron 248 (2P)", "SledgeHammer",
                 "SH7-CG", 0.13f, "Socket 940", 0x2002004, -1},
        DumpCase{"PhenomIIX4_940", "amd-fam10h/amd-phenom-ii-x4-940-processor.test", "AMD K10", "", "RB-C2", 0.045f,
                 "Socket AM3 (938)", 0x2004000, -1},
        DumpCase{"PhenomIIX6_1055T", "amd-fam10h/amd-phenom-ii-x6-1055t-processor.test", "AMD K10", "Thuban", "PH-E0",
                 0.045f, "Socket AM3 (938)", 0x2004000, -1},
        DumpCase{"TurionX2UltraZM82", "amd-fam11h/amd-turion-x2-ultra-dual-core-mobile-zm-82.test", "AMD Turion",
                 "Griffin", "LG-B1", 0.065f, "Socket S1 (638)", 0x2004005, -1},
        DumpCase{"A8_3850", "amd-fam12h/amd-a8-3850-apu-with-radeon-hd-graphics.test", "AMD A8-3850", "Llano",
                 "LN1-B0", 0.032f, "Socket FM1 (905)", 0x2010000, -1},
        DumpCase{"E350", "amd-fam14h/amd-e-350-processor.test", "AMD E-350", "", "ON-B0", 0.04f, "Socket FT1 BGA",
                 0x2020000, -1},
        DumpCase{"FX8350", "amd-fam15h/amd-fx-8350-eight-core-processor.test", "AMD FX-8350", "Vishera", "OR-C0",
                 0.032f, "Socket AM3+ (942)", 0x2040008, -1},
        DumpCase{"A10_7850K", "amd-fam15h/amd-a10-7850k-radeon-r7-12-compute-cores-4c+8g.test", "AMD A10-7850K",
                 "Kaveri", "KV-A1", 0.028f, "Socket FM2+ (906)", 0x2040009, -1},
        DumpCase{"Athlon5350", "amd-fam16h/amd-athlon-5350-apu-with-radeon-r3.test", "AMD K16", "Kabini", "KB-A1",
                 0.028f, "Socket AM1 (721)", 0x2080000, -1}),
    [](const ::testing::TestParamInfo<DumpCase>& row) { return std::string(row.param.name); });

} // namespace
} // namespace vexa::test
