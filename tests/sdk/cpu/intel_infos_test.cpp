// The Intel vendor description: signature words, topology counts, the
// caches of leaves 4, 2 and 0x80000006, the lifted CPUID limit, the
// microcode revision, and the names and classes by family and model.
#include <gtest/gtest.h>

#include <array>

#include "sdk/core/sdk.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/intel_infos.h"
#include "sdk/cpu/msr_register.h"
#include "tests/sdk/cpu/cpu_test_support.h"

namespace vexa::test {
namespace {

class IntelInfos : public ProcessorTest {};

// Leaf-4 sub-leaf EAX: type, level, threads sharing it, cores per package.
uint32_t CacheEax(uint32_t type, uint32_t level, uint32_t sharing, uint32_t cores, bool fully = false) {
    return ((cores - 1) << 26) | ((sharing - 1) << 14) | (fully ? 1u << 9 : 0) | (level << 5) | type;
}

// Leaf-4 sub-leaf EBX: ways, partitions, line size.
uint32_t CacheEbx(uint32_t ways, uint32_t partitions, uint32_t line) {
    return ((ways - 1) << 22) | ((partitions - 1) << 12) | (line - 1);
}

std::vector<const CCacheDescriptor*> Caches(const CCPUThread& thread) {
    std::vector<const CCacheDescriptor*> caches;
    CTListIterator<CCacheDescriptor> it(thread.m_pCaches);
    for (CCacheDescriptor* cache = it.GetFirst(); cache; cache = it.GetNext()) caches.push_back(cache);
    return caches;
}

TEST(IntelCacheDescriptors, LeafTwoBytes) {
    struct Case {
        int byte, level, type, size, ways, line;
    };
    const Case cases[] = {
        {0x06, 1, CACHE_INSTRUCTION, 8, 4, 32}, {0x2C, 1, CACHE_DATA, 32, 8, 64},
        {0x49, 2, CACHE_UNIFIED, 4096, 16, 64}, {0x4C, 3, CACHE_UNIFIED, 12288, 12, 64},
        {0x70, 1, CACHE_TRACE, 12, 8, -1},      {0x87, 2, CACHE_UNIFIED, 1024, 8, 64},
        {0x40, -1, -1, -1, -1, -1},  // no further level
        {0xFF, -1, -1, -1, -1, -1},  // see leaf 4
        {0x01, -1, -1, -1, -1, -1},  // a TLB
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.byte);
        CCacheDescriptor cache;
        cache.m_iDescriptor = c.byte;
        DecodeCacheDescriptor(&cache);
        EXPECT_EQ(cache.m_iLevel, c.level);
        EXPECT_EQ(cache.m_iType, c.type);
        EXPECT_EQ(cache.m_iSize, c.size);
        EXPECT_EQ(cache.m_iWays, c.ways);
        EXPECT_EQ(cache.m_iLineSize, c.line);
    }
}

// Leaf 4 lists data, instruction and level-2 caches; leaf 2 adds only what
// leaf 4 did not list (a trace cache), and EDX with bit 31 set counts for
// nothing.
TEST_F(IntelInfos, LeafFourWinsAndLeafTwoAddsTheRest) {
    Use(MachineOf({Leaves("GenuineIntel", 4)
                       .Set(1, SignatureEax(6, 15, 2), 0, 0, 0)
                       .Set(2, 0x00000001, 0x2C700949, 0, 0x80000022)
                       .Set(4, CacheEax(1, 1, 1, 2), CacheEbx(8, 1, 64), 63, 0, 0)
                       .Set(4, CacheEax(2, 1, 1, 2), CacheEbx(8, 1, 64), 63, 0, 1)
                       .Set(4, CacheEax(3, 2, 2, 2), CacheEbx(8, 1, 64), 4095, 0, 2)
                       .Set(4, 0, 0, 0, 0, 3)}),
        false);
    const auto thread = Identified();
    EXPECT_EQ(thread->m_iCoresPerPackage, 2);
    const auto caches = Caches(*thread);
    ASSERT_EQ(caches.size(), 4u);
    EXPECT_EQ(caches[2]->m_iLevel, 2);
    EXPECT_EQ(caches[2]->m_iSize, 2048) << "leaf 4's, not byte 0x49's 4096";
    EXPECT_EQ(caches[2]->m_iSharedBy, 2);
    EXPECT_EQ(caches[2]->m_iSets, 4096);
    EXPECT_EQ(caches[2]->m_iPartitions, 1);
    EXPECT_EQ(caches[3]->m_iType, CACHE_TRACE);
    EXPECT_EQ(caches[3]->m_iDescriptor, 0x70);
    EXPECT_FALSE(thread->FindCacheDescriptor(3, CACHE_UNIFIED)) << "byte 0x22 sits in a register with bit 31 set";
}

// EAX carries descriptors above its repeat count (the Pentium 4's
// level-1 data cache 0x66 sits there).
TEST_F(IntelInfos, DescriptorsInEaxAboveTheRepeatCount) {
    Use(MachineOf({Leaves("GenuineIntel", 2)
                       .Set(1, SignatureEax(15, 2, 9), 0, 0, 0)
                       .Set(2, 0x665B5101, 0, 0, 0x007B7040)}),
        false);
    const auto thread = Identified();
    const CCacheDescriptor* data = thread->FindCacheDescriptor(1, CACHE_DATA);
    ASSERT_TRUE(data);
    EXPECT_EQ(data->m_iSize, 8);
    EXPECT_TRUE(thread->FindCacheDescriptor(1, CACHE_TRACE));
    EXPECT_TRUE(thread->FindCacheDescriptor(2, CACHE_UNIFIED));
    EXPECT_EQ(thread->m_pCaches->GetCount(), 3u) << "0x5B and 0x51 are TLBs, 0x40 no cache";
}

// A fully associative cache counts with its real ways.
TEST_F(IntelInfos, FullyAssociativeCacheSizeUsesItsRealWays) {
    Use(MachineOf({Leaves("GenuineIntel", 4)
                       .Set(1, SignatureEax(6, 15, 2), 0, 0, 0)
                       .Set(4, CacheEax(3, 4, 8, 4, true), CacheEbx(1024, 1, 64), 0, 0, 0)}),
        false);
    const auto thread = Identified();
    const CCacheDescriptor* cache = thread->FindCacheDescriptor(4, CACHE_UNIFIED);
    ASSERT_TRUE(cache);
    EXPECT_EQ(cache->m_iWays, kFullyAssociative);
    EXPECT_EQ(cache->m_iSize, 64) << "1024 ways x 1 set x 64 bytes, not 255 ways";
}

// A BIOS limit of the highest leaf (IA32_MISC_ENABLE bit 22) is lifted for
// the leaf-4 walk and set again afterwards.
TEST_F(IntelInfos, LimitedCpuidIsLiftedForTheCachesAndPutBack) {
    machine::MsrSetting miscEnable = PlainMsr(0x1A0, 1u << 22);
    Use(MachineOf({Leaves("GenuineIntel", 4)
                       .Set(1, SignatureEax(6, 15, 6), 0, 0, 0)
                       .Set(2, 0x00000001, 0, 0, 0)
                       .Set(4, CacheEax(3, 2, 2, 2), CacheEbx(16, 1, 64), 4095, 0, 0)},
                  {miscEnable}));
    const auto thread = Identified();
    EXPECT_EQ(thread->m_dwMaxStandardLeaf, 2u) << "what the processor reports with its limit";
    const CCacheDescriptor* level2 = thread->FindCacheDescriptor(2, CACHE_UNIFIED);
    ASSERT_TRUE(level2);
    EXPECT_EQ(level2->m_iSize, 4096);
    EXPECT_EQ(thread->m_iCoresPerPackage, 2);
    uint64_t value = 0;
    ASSERT_TRUE(hw().readMsr(0, 0x1A0, value));
    EXPECT_EQ(value, 1u << 22) << "the limit is back";
    EXPECT_EQ(hw().cpuid(0, 0, 0).eax, 2u);
}

TEST_F(IntelInfos, LimitedCpuidStaysWithoutTheRegister) {
    Use(MachineOf({Leaves("GenuineIntel", 4)
                       .Set(1, SignatureEax(6, 15, 6), 0, 0, 0)
                       .Set(4, CacheEax(3, 2, 2, 2), CacheEbx(16, 1, 64), 4095, 0, 0)},
                  {PlainMsr(0x1A0, 1u << 22)}),
        false);
    const auto thread = Identified();
    EXPECT_FALSE(thread->FindCacheDescriptor(2, CACHE_UNIFIED));
    EXPECT_EQ(thread->m_iCoresPerPackage, 1);
}

TEST_F(IntelInfos, TopologyLeafCountsAndTheirAbsence) {
    struct Case {
        const char* name;
        std::vector<std::array<uint32_t, 4>> levels;  // sub-leaves of leaf 0xB
        int32_t logical, cores;
    };
    const Case cases[] = {
        {"SMT and core levels", {{1, 2, 0x100, 0}, {4, 8, 0x201, 0}}, 8, 4},
        {"core level only", {{4, 4, 0x201, 0}}, 4, -1},
        {"no leaf 0xB", {}, -1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Leaves leaves("GenuineIntel", c.levels.empty() ? 6 : 0xB);
        leaves.Set(1, SignatureEax(6, 10, 5, 0, 1), 0, 0, 0);
        for (uint32_t i = 0; i < c.levels.size(); ++i)
            leaves.Set(0xB, c.levels[i][0], c.levels[i][1], c.levels[i][2] | i, c.levels[i][3], i);
        Use(MachineOf({leaves}), false);
        const auto thread = Identified();
        auto* intel = dynamic_cast<Intel_CPU_Infos*>(thread->m_pVendorInfos);
        ASSERT_TRUE(intel);
        EXPECT_EQ(intel->m_iLogicalPerPackage, c.logical);
        EXPECT_EQ(intel->m_iCoresPerPackage, c.cores);
        ReleaseSDK();
    }
}

TEST_F(IntelInfos, SignatureWordsBrandAndMicrocode) {
    machine::MsrSetting microcode;
    microcode.index = 0x8B;
    microcode.kind = machine::MsrKind::Microcode;
    microcode.microcodeRevision = 0x11;
    // Leaf 1: type 0, ext model 1, family 6 model 10 stepping 4; brand 3;
    // VT-x, enhanced SpeedStep, 16 logical processors (HTT), APIC id 0.
    Use(MachineOf({Leaves("GenuineIntel", 6)
                       .Set(1, SignatureEax(6, 10, 4, 0, 1), 0x00100003, (1u << 5) | (1u << 7), 1u << 28)
                       .Set(6, 1, 0, 0, 0)
                       .Extended(0x80000008)
                       .Brand("Intel(R) Core(TM) i7 CPU         920  @ 2.67GHz")
                       .Set(0x80000006, 0, 0, 0x01006040, 0)},
                  {microcode, PlainMsr(0x3A, 5)}));
    const auto thread = Identified();
    auto* intel = dynamic_cast<Intel_CPU_Infos*>(thread->m_pVendorInfos);
    ASSERT_TRUE(intel);
    EXPECT_EQ(thread->m_iExtModel, 0x1A);
    EXPECT_EQ(thread->m_iExtFamily, 6);
    EXPECT_EQ(thread->m_iBrandId, 3);
    EXPECT_EQ(thread->m_bVirtualization, 1u);
    EXPECT_EQ(intel->m_bEnhancedSpeedStep, 1);
    EXPECT_EQ(intel->m_bDigitalThermalSensor, 1);
    EXPECT_EQ(thread->m_iLogicalPerPackage, 16);
    EXPECT_EQ(thread->m_iMicrocodeRevision, 0x11);
    EXPECT_STREQ(thread->m_szBrandString, "Intel(R) Core(TM) i7 CPU         920  @ 2.67GHz");
    const CCacheDescriptor* level2 = thread->FindCacheDescriptor(2, CACHE_UNIFIED);
    ASSERT_TRUE(level2) << "from 0x80000006 without leaf 4";
    EXPECT_EQ(level2->m_iSize, 256);
    EXPECT_EQ(level2->m_iWays, 8);
    EXPECT_EQ(level2->m_iLineSize, 64);
    EXPECT_EQ(level2->m_iSharedBy, 16) << "16 logical processors over 1 core";
    EXPECT_TRUE(thread->GetMSR(0x3A)) << "VT-x: the feature control register is cached";
}

// Each row: family fields and model; the name and class code, and whether
// the family-6 row names a microarchitecture.
TEST_F(IntelInfos, NamesAndClassesByFamilyAndModel) {
    struct Case {
        uint32_t family, extFamily, model, extModel;
        const char* name;
        uint32_t classCode;
        const char* codename;
    };
    const Case cases[] = {
        {3, 0, 0, 0, "Intel i386", CPU_CLASS_INTEL_I386, ""},
        {4, 0, 8, 0, "Intel iDX4", CPU_CLASS_INTEL_I486, "P24C"},
        {4, 0, 4, 0, "Intel i486 SL", CPU_CLASS_INTEL_I486, ""},
        {4, 0, 6, 0, "Intel i486", CPU_CLASS_INTEL_I486, ""},
        {5, 0, 2, 0, "Intel Pentium", CPU_CLASS_INTEL_P5 | 1, "P54C"},
        {6, 0, 11, 0, "Intel Pentium III", CPU_CLASS_INTEL_P6 | 6, "Tualatin"},
        {6, 0, 10, 1, "Intel Core i7", 0x1020001, "Nehalem"},
        {6, 0, 12, 4, "Intel Atom", 0x1010201, "Braswell"},
        {6, 0, 14, 5, "Intel Core i3/i5/i7 6xxx", CPU_CLASS_INTEL_SKYLAKE, "Skylake"},
        {6, 0, 2, 0, "Intel Processor", CPU_CLASS_INTEL, ""},
        {6, 0, 11, 3, "Intel Processor", CPU_CLASS_INTEL, ""},
        {6, 0, 15, 5, "Intel Processor", CPU_CLASS_INTEL, ""},
        {0xB, 0, 1, 0, "Intel Knights Corner", CPU_CLASS_INTEL, ""},
        {15, 0, 2, 0, "Intel Pentium 4", CPU_CLASS_INTEL_NETBURST | 1, "Northwood"},
        {15, 1, 2, 0, "Intel Processor", CPU_CLASS_INTEL, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name + std::string(" ") + std::to_string(c.model));
        Use(MachineOf({Leaves("GenuineIntel", 1).Set(1, SignatureEax(c.family, c.model, 0, c.extFamily, c.extModel), 0, 0, 0)}),
            false);
        const auto thread = Identified();
        EXPECT_STREQ(thread->m_szName, c.name);
        EXPECT_EQ(thread->m_dwClassCode, c.classCode);
        EXPECT_STREQ(thread->m_szCodename, c.codename);
        if (c.family == 4) {
            EXPECT_EQ(thread->m_iPackageCode, int32_t(CPU_PACKAGE_SOCKET_196_PGA));
        }
        ReleaseSDK();
    }
}

} // namespace
} // namespace vexa::test
