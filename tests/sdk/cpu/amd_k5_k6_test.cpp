// The AMD K5 and K6 descriptions on processors written by hand: names,
// class codes and core steppings by model, stepping and level-2 cache, and
// the multipliers of MSR 0xC0000087 (K6-2 CXT and later) and of the Geode
// LX's MSR 0x4C000014.
#include <gtest/gtest.h>

#include <optional>

#include "sdk/cpu/amd_k5_k6.h"
#include "tests/sdk/cpu/cpu_test_support.h"

namespace vexa::test {
namespace {

struct AMDPart {
    uint32_t family = 6;  // of the extended leaf, which chooses the description
    uint32_t model = 0;
    uint32_t stepping = 0;
    uint32_t l2 = 0;  // KB in 0x80000006; 0: none
};

Leaves AMDLeaves(const AMDPart& part) {
    Leaves leaves("AuthenticAMD", 1);
    leaves.Set(1, SignatureEax(5, part.model, part.stepping), 0, 0, 0x008001BF)
        .Extended(0x80000006)
        .Set(0x80000001, SignatureEax(part.family, part.model, part.stepping), 0, 0, 0x808009BF)
        .Set(0x80000005, 0, 0, 0x20020220, 0x20020220)
        .Set(0x80000006, 0, 0, part.l2 << 16 | 0x4020, 0);
    return leaves;
}

struct K6Case {
    const char* name;
    AMDPart part;
    std::optional<uint32_t> epmr;  // MSR 0xC0000087 low dword; none: the register faults
    const char* processor;
    const char* codename;
    const char* coreStepping;
    uint32_t classCode;
    float technology;
    float multiplier;
};

void PrintTo(const K6Case& c, std::ostream* out) { *out << c.name; }

class K6Models : public ProcessorTest, public ::testing::WithParamInterface<K6Case> {};

TEST_P(K6Models, NameCodesAndMultiplier) {
    const K6Case& c = GetParam();
    std::vector<machine::MsrSetting> msrs;
    if (c.epmr) msrs.push_back(PlainMsr(0xC0000087, *c.epmr));
    Use(MachineOf({AMDLeaves(c.part)}, msrs));
    const auto thread = Identified(0);
    ASSERT_TRUE(dynamic_cast<AMD_K6_Infos*>(thread->m_pFamilyInfos));
    EXPECT_STREQ(thread->m_szName, c.processor);
    EXPECT_STREQ(thread->m_szCodename, c.codename);
    EXPECT_STREQ(thread->m_szCoreStepping, c.coreStepping);
    EXPECT_EQ(thread->m_dwClassCode, c.classCode);
    EXPECT_FLOAT_EQ(thread->m_fTechnology, c.technology);
    EXPECT_EQ(thread->m_iPackageCode, 0x10004) << "Socket 7 (321)";
    EXPECT_EQ(thread->m_iLinkMultiplier, 1);
    PinnedTo pinned(0);
    EXPECT_EQ(thread->GetMultiplier(), c.multiplier);
}

INSTANTIATE_TEST_SUITE_P(
    Parts, K6Models,
    ::testing::Values(
        // The register came with the CXT core: stepping 7 has none to read.
        K6Case{"K6_2_Stepping7", {6, 8, 7, 0}, 0x1, "AMD K6-2", "Chomper", "", 0x2000802, 0.25f, -1.0f},
        K6Case{"K6_2_Stepping8_CXT", {6, 8, 8, 0}, 0x1, "AMD K6-2", "Chomper", "CXT", 0x2000802, 0.25f, 5.0f},
        K6Case{"K6_2_CXT_WithoutRegister", {6, 8, 12, 0}, std::nullopt, "AMD K6-2", "Chomper", "CXT", 0x2000802,
               0.25f, -1.0f},
        K6Case{"K6_III", {6, 9, 1, 256}, 0x6, "AMD K6-III", "Sharptooth", "", 0x2000803, 0.25f, 6.0f},
        K6Case{"K6_Model7", {6, 7, 0, 0}, 0x0, "AMD K6", "Little Foot", "", 0x2000801, 0.25f, -1.0f},
        // Model 13 by its level-2 cache: 64 KB is no size of either part.
        K6Case{"K6_2Plus_64KB", {6, 13, 4, 64}, 0x9, "AMD K6-2+", "", "", 0x2000801, 0.18f, -1.0f},
        K6Case{"K6_2Plus_128KB", {6, 13, 4, 128}, 0x4, "AMD K6-2+", "", "", 0x2000802, 0.18f, 2.5f},
        K6Case{"K6_IIIPlus_256KB", {6, 13, 4, 256}, 0x7, "AMD K6-III+", "", "", 0x2000803, 0.18f, 3.5f}),
    [](const ::testing::TestParamInfo<K6Case>& row) { return std::string(row.param.name); });

class K5Models : public ProcessorTest {};

TEST_F(K5Models, K5HasNoMultiplier) {
    Use(MachineOf({AMDLeaves({5, 1, 4, 0})}, {PlainMsr(0x4C000014, 0x0000001600000000)}));
    const auto thread = Identified(0);
    ASSERT_TRUE(dynamic_cast<AMD_K5_Infos*>(thread->m_pFamilyInfos));
    EXPECT_STREQ(thread->m_szName, "AMD K5");
    EXPECT_STREQ(thread->m_szCodename, "5k86");
    EXPECT_EQ(thread->m_dwClassCode, 0x2000401u);
    PinnedTo pinned(0);
    EXPECT_EQ(thread->GetMultiplier(), -1.0f);
}

// MSR 0x4C000014 high dword bits 5:1 + 1: 0x16 is code 11, multiplier 12.
TEST_F(K5Models, GeodeLXMultiplierFromItsClockRegister) {
    Use(MachineOf({AMDLeaves({5, 10, 2, 0})}, {PlainMsr(0x4C000014, 0x0000001600000000)}));
    const auto thread = Identified(0);
    EXPECT_STREQ(thread->m_szName, "AMD Geode LX");
    EXPECT_STREQ(thread->m_szCodename, "Castle");
    EXPECT_EQ(thread->m_dwClassCode, 0x2000402u);
    EXPECT_EQ(thread->m_iPackageCode, 0x1001F) << "Socket 481 BGU";
    EXPECT_EQ(thread->m_iLinkMultiplier, 2);
    EXPECT_FLOAT_EQ(thread->m_fTechnology, 0.13f);
    PinnedTo pinned(0);
    EXPECT_EQ(thread->GetMultiplier(), 12.0f);
}

} // namespace
} // namespace vexa::test
