// The AMD vendor description: the extended signature, the caches of
// 0x80000005/6 over those of 0x8000001D, the package counts, the microcode
// revision and the names by family.
#include <gtest/gtest.h>

#include "sdk/core/sdk.h"
#include "sdk/cpu/amd_infos.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "tests/sdk/cpu/cpu_test_support.h"

namespace vexa::test {
namespace {

class AMDInfos : public ProcessorTest {};

// An AMD processor of this signature with extended leaves up to `maxExtended`.
Leaves AMD(uint32_t family, uint32_t model, uint32_t stepping, uint32_t extFamily, uint32_t extModel,
           uint32_t maxExtended = 0x80000006) {
    const uint32_t eax = SignatureEax(family, model, stepping, extFamily, extModel);
    Leaves leaves("AuthenticAMD", 1);
    leaves.Set(1, eax, 0, 0, 0);
    if (maxExtended) leaves.Extended(maxExtended).Set(0x80000001, eax, 0, 1u << 2, 0);
    return leaves;
}

TEST_F(AMDInfos, ExtendedFamilyIsTheSumOfBothFields) {
    Use(MachineOf({AMD(15, 11, 2, 0, 6)}), false);
    const auto k8 = Identified();
    EXPECT_EQ(k8->m_iExtFamily, 15);
    EXPECT_EQ(k8->m_iExtModel, 0x6B);
    EXPECT_EQ(k8->m_bVirtualization, 1u);
    ReleaseSDK();
    Use(MachineOf({AMD(15, 4, 2, 1, 0)}), false);
    EXPECT_EQ(Identified()->m_iExtFamily, 16);
}

TEST_F(AMDInfos, ExtendedLeavesSizeTheCachesOfTheTopologyLeaf) {
    // 0x8000001D: level 1 data shared by 1, level 2 by 2, level 3 fully
    // associative (real ways 16, 1 set... of 64 bytes) shared by 8.
    Use(MachineOf({AMD(15, 0, 1, 7, 3, 0x8000001D)
                       .Set(0x80000005, 0, 0, (64u << 24) | (2u << 16) | 64, (32u << 24) | (0xFFu << 16) | 64)
                       .Set(0x80000006, 0, 0, (2048u << 16) | (8u << 12) | 64, (16u << 18) | (15u << 12) | 64)
                       .Set(0x80000008, 0, 0, 7, 0)  // eight cores, as the level 3 says
                       .Set(0x8000001D, (0u << 14) | (1 << 5) | 1, (1u << 22) | 63, 255, 0, 0)
                       .Set(0x8000001D, (1u << 14) | (2 << 5) | 3, (15u << 22) | 63, 2047, 0, 1)
                       .Set(0x8000001D, (7u << 14) | (1u << 9) | (3 << 5) | 3, (15u << 22) | 63, 0, 0, 2)}),
        false);
    const auto thread = Identified();
    const CCacheDescriptor* data = thread->FindCacheDescriptor(1, CACHE_DATA);
    ASSERT_TRUE(data);
    EXPECT_EQ(data->m_iSize, 64) << "0x80000005 overwrites 32 KB";
    EXPECT_EQ(data->m_iWays, 2);
    EXPECT_EQ(data->m_iSets, 256) << "kept from 0x8000001D";
    const CCacheDescriptor* instruction = thread->FindCacheDescriptor(1, CACHE_INSTRUCTION);
    ASSERT_TRUE(instruction);
    EXPECT_EQ(instruction->m_iWays, kFullyAssociative);
    EXPECT_EQ(instruction->m_iSharedBy, 1) << "created by 0x80000005";
    const CCacheDescriptor* level2 = thread->FindCacheDescriptor(2, CACHE_UNIFIED);
    ASSERT_TRUE(level2);
    EXPECT_EQ(level2->m_iSize, 2048);
    EXPECT_EQ(level2->m_iWays, 16);
    EXPECT_EQ(level2->m_iSharedBy, 2);
    const CCacheDescriptor* level3 = thread->FindCacheDescriptor(3, CACHE_UNIFIED);
    ASSERT_TRUE(level3);
    EXPECT_EQ(level3->m_iSize, 8192);
    EXPECT_EQ(level3->m_iWays, kFullyAssociative);
    EXPECT_EQ(level3->m_iSharedBy, 8);
}

// Associativity code 9 of 0x80000006 refers to 0x8000001D, which then
// keeps its own sizes and ways.
TEST_F(AMDInfos, CodeNineKeepsTheTopologyLeafsCache) {
    Use(MachineOf({AMD(15, 1, 1, 10, 1, 0x8000001D)
                       .Set(0x80000006, 0, 0, (512u << 16) | (9u << 12) | 64, (640u << 18) | (9u << 12) | 64)
                       .Set(0x8000001D, (1u << 14) | (2 << 5) | 3, (7u << 22) | 63, 1023, 0, 0)
                       .Set(0x8000001D, (15u << 14) | (3 << 5) | 3, (15u << 22) | 63, 32767, 0, 1)}),
        false);
    const auto thread = Identified();
    const CCacheDescriptor* level2 = thread->FindCacheDescriptor(2, CACHE_UNIFIED);
    const CCacheDescriptor* level3 = thread->FindCacheDescriptor(3, CACHE_UNIFIED);
    ASSERT_TRUE(level2 && level3);
    EXPECT_EQ(level2->m_iSize, 512);
    EXPECT_EQ(level2->m_iWays, 8);
    EXPECT_EQ(level3->m_iSize, 32768) << "not the 320 MB of 0x80000006";
    EXPECT_EQ(level3->m_iWays, 16);
}

TEST_F(AMDInfos, LevelTwoQuirksAndAbsence) {
    struct Case {
        const char* name;
        Leaves leaves;
        int32_t size;
    };
    const Case cases[] = {
        {"Duron A0 reports 1 KB", AMD(6, 3, 0, 0, 0).Set(0x80000006, 0, 0, (1u << 16) | (8u << 12) | 64, 0), 64},
        {"4 KB is no cache", AMD(6, 4, 2, 0, 0).Set(0x80000006, 0, 0, (4u << 16) | (8u << 12) | 64, 0), -1},
        {"Athlon", AMD(6, 10, 0, 0, 0).Set(0x80000006, 0, 0, (512u << 16) | (8u << 12) | 64, 0), 512},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Use(MachineOf({c.leaves}), false);
        const auto thread = Identified();
        const CCacheDescriptor* level2 = thread->FindCacheDescriptor(2, CACHE_UNIFIED);
        EXPECT_EQ(level2 ? level2->m_iSize : -1, c.size);
        ReleaseSDK();
    }
}

TEST(AMDAssociativity, CodesToWays) {
    const int32_t ways[16] = {-1, 1, 2, -1, 4, -1, 8, -1, 16, -1, 32, 48, 64, 96, 128, kFullyAssociative};
    for (uint32_t code = 0; code < 16; ++code) EXPECT_EQ(AMD_CPU_Infos::DecodeAssociativity(code), ways[code]) << code;
}

// The package counts come from leaf 1 and 0x80000008, so that an
// AMD processor of a family without a description is one package.
TEST_F(AMDInfos, PackageCountsFromLeafOneAndTheSizeLeaf) {
    struct Case {
        const char* name;
        uint32_t family, extFamily, htt, logical, sizeEcx, threadsPerCore;
        int32_t expectLogical, expectCores;
    };
    const Case cases[] = {
        {"K8 dual core", 15, 0, 1, 2, 0x01, 0, 2, 2},
        {"single core without HTT", 15, 0, 0, 0, 0x00, 0, 1, 1},
        {"Zen with two threads per core", 15, 8, 1, 16, 0x0F, 1, 16, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Leaves leaves = AMD(c.family, 1, 0, c.extFamily, 0, 0x8000001E);
        leaves.Set(1, SignatureEax(c.family, 1, 0, c.extFamily), c.logical << 16, 0, c.htt << 28)
            .Set(0x80000008, 0, 0, c.sizeEcx, 0)
            .Set(0x8000001E, 0, c.threadsPerCore << 8, 0, 0);
        Use(MachineOf({leaves}), false);
        const auto thread = Identified();
        EXPECT_EQ(thread->m_iLogicalPerPackage, c.expectLogical);
        EXPECT_EQ(thread->m_iCoresPerPackage, c.expectCores);
        ReleaseSDK();
    }
}

TEST_F(AMDInfos, NamesByFamily) {
    struct Case {
        const char* name;
        Leaves leaves;
        const char* expected;
        uint32_t classCode;
    };
    const Case cases[] = {
        {"Am486 with the extended leaves", AMD(4, 8, 0, 0, 0), "AMD Am486 DX4", CPU_CLASS_AMD_AM486},
        {"Am486 without them", AMD(4, 8, 0, 0, 0, 0), "AMD Am486DX4-WT", CPU_CLASS_AMD_AM486},
        {"Am486 of another model", AMD(4, 5, 0, 0, 0), "Am486 or Am5x86", CPU_CLASS_AMD_AM486},
        // Family 6 of the extended leaf is the K6 description's; it names
        // no model 10 and keeps the vendor's name.
        {"K7", AMD(6, 10, 0, 0, 0), "AMD K6", 0x2000801},
        {"K8: its description names the brand-less model 5", AMD(15, 5, 10, 0, 0), "AMD Athlon 64 FX", CPU_CLASS_AMD_K8 | 0x03},
        {"family 11h: the K10 description keeps the name", AMD(15, 3, 1, 2, 0), "AMD K10", CPU_CLASS_AMD_K10},
        {"extended family 33", AMD(15, 1, 0, 18, 0), "AMD K21", CPU_CLASS_AMD},
        {"extended family 19", AMD(15, 1, 0, 4, 0), "AMD Processor", CPU_CLASS_AMD},
        {"extended family 25", AMD(15, 1, 1, 10, 1), "AMD Processor", CPU_CLASS_AMD},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Use(MachineOf({c.leaves}), false);
        const auto thread = Identified();
        EXPECT_STREQ(thread->m_szName, c.expected);
        EXPECT_EQ(thread->m_dwClassCode, c.classCode);
        ReleaseSDK();
    }
}

TEST_F(AMDInfos, MicrocodeRevisionNeedsTheWriteToSucceed) {
    machine::MsrSetting readOnly = PlainMsr(0x8B, 0x01000065ull << 32);
    readOnly.readOnly = true;
    Use(MachineOf({AMD(15, 1, 1, 10, 1)}, {readOnly}));
    EXPECT_EQ(Identified()->m_iMicrocodeRevision, -1) << "the write faults";
    ReleaseSDK();
    Use(MachineOf({AMD(15, 1, 1, 10, 1)}, {PlainMsr(0x8B, 0)}));
    const auto thread = Identified();
    EXPECT_EQ(thread->m_iMicrocodeRevision, 0) << "the high dword after the write of 0";
    EXPECT_TRUE(thread->GetMSR(0xC0010114) == nullptr) << "VM_CR is not there";
}

} // namespace
} // namespace vexa::test
