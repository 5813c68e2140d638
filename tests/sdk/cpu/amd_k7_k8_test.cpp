// The AMD K7 and K8 descriptions: the K7's names by model, rating and brand
// ID and its HWCR multiplier; the K8's revisions, its names before and from
// revision F, and the dumps of tests/data with their FID/VID status and
// northbridge registers (link, thermal sensor).
#include <gtest/gtest.h>

#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/cpu/amd_k8.h"
#include "sdk/cpu/cpu_infos.h"
#include "tests/sdk/cpu/amd_family_test_support.h"

namespace vexa::test {
namespace {

constexpr uint32_t kHWCR = 0xC0010015;
constexpr uint32_t kFIDVIDStatus = 0xC0010042;

// ---- K7 ----

// A K7 of this model and stepping; `mp` sets the MP-capable bit,
// `brand12` the brand ID of 0x80000001 EBX.
Leaves K7(uint32_t model, uint32_t stepping, const std::string& brand, bool mp = false, uint32_t brand12 = 0,
          uint32_t l2 = 256) {
    const uint32_t eax = SignatureEax(6, model, stepping);
    Leaves leaves("AuthenticAMD", 1);
    leaves.Set(1, eax, 0, 0, 0)
        .Extended(0x80000008)
        .Set(0x80000001, eax | 0x100, brand12, 0, mp ? 1u << 19 : 0)
        .Set(0x80000006, 0, 0, (l2 << 16) | (8u << 12) | 64, 0)
        .Set(0x80000007, 0, 0, 0, 1)
        .Brand(brand);
    return leaves;
}

class AMDK7 : public ProcessorTest {};

TEST_F(AMDK7, NamesByModelRatingAndBrandId) {
    struct Case {
        const char* name;
        Leaves leaves;
        const char* processor;
        const char* codename;
        int32_t bus;
        int32_t rating;
    };
    const Case cases[] = {
        {"Thoroughbred 2600+ keeps the bus unknown", K7(8, 1, "AMD Athlon(tm) XP 2600+"), "AMD Athlon XP",
         "Thoroughbred", -1, 2600},
        {"2700+ runs at 166 MHz", K7(8, 1, "AMD Athlon(tm) XP 2700+"), "AMD Athlon XP", "Thoroughbred", 166, 2700},
        {"2500+ at 133 MHz", K7(8, 1, "AMD Athlon(tm) XP 2500+"), "AMD Athlon XP", "Thoroughbred", 133, 2500},
        {"64 KB of level 2 is the Applebred Duron", K7(8, 1, "AMD Duron(tm)", false, 0, 64), "AMD Duron", "Applebred",
         133, -1},
        {"Palomino MP", K7(6, 2, "AMD Athlon(tm) MP 1800+", true), "AMD Athlon MP", "Palomino", 133, 1800},
        {"the first rating found wins", K7(10, 0, "AMD 1500+ 2000+"), "AMD Athlon XP", "Thorton", -1, 1500},
        {"brand ID 34 renames any model", K7(10, 0, "AMD Sempron(tm) 2800+", false, (34u << 6) | 4), "AMD Sempron 2800+",
         "Thorton", -1, 2800},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Use(MachineOf({c.leaves}), false);
        const auto thread = Identified();
        EXPECT_STREQ(thread->m_szName, c.processor);
        EXPECT_STREQ(thread->m_szCodename, c.codename);
        EXPECT_EQ(thread->m_iNominalBusClock, c.bus);
        EXPECT_EQ(thread->m_iPerformanceRating, c.rating);
        EXPECT_EQ(thread->m_iLinkMultiplier, 2);
        ReleaseSDK();
    }
}

// " XP " in the brand string takes an MP-capable Palomino back to the XP.
TEST_F(AMDK7, PalominoWithXPBetweenBlanksIsTheXP) {
    Use(MachineOf({K7(6, 2, "AMD Athlon(tm) XP 1800+", true)}), false);
    EXPECT_STREQ(Identified()->m_szName, "AMD Athlon XP");
}

TEST_F(AMDK7, MultiplierFromHWCR) {
    struct Case {
        uint32_t model;
        uint32_t low;
        float multiplier;
    };
    const Case cases[] = {
        {8, 3u << 24, 12.5f},                // bit 19 clear
        {4, 3u << 24, 13.0f},                // Thunderbird
        {4, 4u << 24, 14.0f},
        {10, (15u << 24) | (1u << 19), 24.5f},  // bit 19 set
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.multiplier);
        Use(MachineOf({K7(c.model, 0, "AMD Athlon(tm)")}, {PlainMsr(kHWCR, c.low)}));
        const auto thread = Identified();
        PinnedTo pinned(0);
        EXPECT_EQ(thread->GetMultiplier(), c.multiplier);
        ReleaseSDK();
    }
}

TEST_F(AMDK7, RegisterSectionReportsTheSensorAndTheSlotRatio) {
    Use(MachineOf({K7(1, 2, "AMD-K7(tm) Processor")}, {PlainMsr(0xC0010011, 0x10)}));
    const auto thread = Identified();
    EXPECT_STREQ(thread->m_szName, "AMD Athlon");
    EXPECT_STREQ(thread->m_szCoreStepping, "C2");
    EXPECT_EQ(DumpText(thread->m_pFamilyInfos), "\tK7 Thermal sensor\tyes\n\tK7 L2 ratio\t\t2/5 x CPU speed\n");
}

// ---- K8 ----

TEST(AMDK8Revision, FromTheExtendedModelAndStepping) {
    struct Case {
        int32_t extModel, stepping, revision;
    };
    const Case cases[] = {{0x05, 8, 8},  {0x05, 2, -1}, {0x05, 10, 10}, {0x04, 0, 1}, {0x07, 0, 10},
                          {0x1F, 0, 16}, {0x2B, 1, 32}, {0x3F, 2, 32},  {0x41, 3, 0x40}, {0x6B, 2, 0x60}};
    for (const Case& c : cases)
        EXPECT_EQ(AMD_K8_Infos::GetRevision(c.extModel, c.stepping), c.revision) << std::hex << c.extModel;
}

class AMDK8 : public IntelFamilyTest {};

// Before revision F: the 12-bit brand ID of 0x80000001 names the
// Opteron 248; its FID/VID status the multiplier (FID 14: 11x) and the
// stock clock, the northbridge the link and the thermal sensor (F3xE4
// bits 23:16 less 49), and F3xE4 goes back as it was found.
TEST_F(AMDK8, Opteron248WithItsNorthbridge) {
    const uint32_t thermal = (90u << 16) | (1u << 6) | (1u << 31);
    UseImage(AMDImage(DataDump("cpuid/amd-k8/amd-opteron-processor-248.test"), MsrMember(kFIDVIDStatus, (14u << 16) | 14u),
                      NodeLspci(0x1100, 4, {{0, {{0x88, 0x500}}}, {3, {{0xE4, thermal}}}})),
             true);
    const auto thread = Identified(0);
    EXPECT_STREQ(thread->m_szName, "AMD Opteron 248 (2P)");
    EXPECT_EQ(thread->m_iLinkMultiplier, 4);
    EXPECT_EQ(thread->m_iNominalBusClock, 200);
    EXPECT_EQ(thread->m_iStockClock, 2200);
    PinnedTo pinned(0);
    EXPECT_EQ(thread->GetMultiplier(), 11.0f);
    EXPECT_EQ(thread->GetTemperature(), 41.0f);
    EXPECT_EQ(configDword({0, 0x18, 3}, 0xE4), thermal);
    const std::string dump = DumpText(thread->m_pFamilyInfos);
    EXPECT_NE(dump.find("\tK8 Thermal sensor\tyes\n"), std::string::npos) << dump;
    EXPECT_NE(dump.find("PCI device at bus 0, device 24, function 3"), std::string::npos) << dump;
}

// From revision F: the Brisbane of the 5200+ dump, unlocked (maximum FID
// 0x2A), with its FID/VID status and the AM2 sensor reading of bits 23:14.
TEST_F(AMDK8, Athlon64X2RevisionGUnlocked) {
    const uint64_t status = (0x2Aull << 16) | (0x12ull << 8) | 0x12;
    UseImage(AMDImage(DataDump("cpuid/amd-k8/amd-athlon-64-x2-dual-core-processor-5200+.test"),
                      MsrMember(kFIDVIDStatus, status) + ", " + MsrMember(0xC001001E, 0x62)),
             false);
    auto thread = Identified(0);
    EXPECT_STREQ(thread->m_szName, "AMD Athlon 64 X2 5200+ Black Edition");
    EXPECT_STREQ(thread->m_szCodename, "Brisbane");
    EXPECT_EQ(thread->m_iStockClock, 5000) << "25x the exact 200 MHz";
    PinnedTo pinned(0);
    EXPECT_EQ(thread->GetMultiplier(), 13.0f);
    EXPECT_NE(DumpText(thread->m_pFamilyInfos).find("\tK8 Revision ID\t\t6.2\n"), std::string::npos);
}

TEST_F(AMDK8, RevisionGTemperatureOnSocketAM2) {
    UseImage(AMDImage(DataDump("cpuid/amd-k8/amd-athlon-64-x2-dual-core-processor-5200+.test"), "",
                      NodeLspci(0x1100, 4, {{3, {{0xE4, 0x120u << 14}}}})),
             true);
    auto thread = Identified(0);
    PinnedTo pinned(0);
    EXPECT_EQ(thread->GetTemperature(), 44.0f) << "72 - 49 + 21";
    thread->m_iPackageCode = 0x1000B;
    EXPECT_EQ(thread->GetTemperature(), 23.0f);
    ASSERT_TRUE(thread->m_pCoreTemperature);
    EXPECT_EQ(thread->m_pCoreTemperature->m_dwRawValue, 0x120u);
}

// Revisions C-E: no brand ID at all marks an engineering sample.
TEST_F(AMDK8, NamesByBrandIndex) {
    struct Case {
        const char* name;
        AMDPart part;
        const char* processor;
        int32_t rating;
    };
    const Case cases[] = {
        {"engineering sample", {15, 0, 4, 0, 8, 0}, "AMD Athlon 64", -1},
        {"Opteron HE then (UP)", {15, 0, 5, 0, 10, (14u << 6) | 5}, "AMD Opteron 148 HE (UP)", -1},
        {"Opteron (UP) then HE", {15, 0, 5, 2, 1, (46u << 6) | 5}, "AMD Opteron 170 (UP) HE", -1},
        {"mobile Sempron", {15, 0, 12, 0, 0, (35u << 6) | 6}, "Mobile AMD Sempron 3000+", 3000},
        {"revision F Opteron without NN", {15, 0, 1, 4, 2, (1u << 9) | (5u << 6), 1u, 2}, "AMD Opteron", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Use(MachineOf({AMDLeaves(c.part)}), false);
        const auto thread = Identified();
        EXPECT_STREQ(thread->m_szName, c.processor);
        EXPECT_EQ(thread->m_iPerformanceRating, c.rating);
        ReleaseSDK();
    }
}

} // namespace
} // namespace vexa::test
