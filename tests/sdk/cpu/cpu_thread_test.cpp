// The logical processor: CPUID basics, instruction sets, the vendor
// dispatch, the description slots and their query order, the MSR cache,
// the multiplier ring and the masked texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "sdk/core/sdk.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_infos.h"
#include "sdk/cpu/fidvid_intel.h"
#include "sdk/cpu/msr_register.h"
#include "sdk/hw/io_space.h"
#include "tests/sdk/cpu/cpu_test_support.h"

namespace vexa::test {
namespace {

class LogicalProcessor : public ProcessorTest {};

TEST_F(LogicalProcessor, VendorStringChoosesNameAndDescription) {
    struct Case {
        const char* vendor;
        const char* name;
        bool description;
        uint32_t classCode;
    };
    const Case cases[] = {
        {"GenuineIntel", "Intel Processor", true, CPU_CLASS_INTEL},
        {"AuthenticAMD", "AMD Processor", true, CPU_CLASS_AMD},
        {"CyrixInstead", "Cyrix Processor", true, CPU_CLASS_CYRIX},
        {"CentaurHauls", "VIA Processor", true, CPU_CLASS_VIA},
        {"GenuineTMx86", "Transmeta Processor", true, CPU_CLASS_TRANSMETA},
        {"UMC UMC UMC ", "UMC Processor", false, 0},
        {"SiS SiS SiS ", "SiS Processor", false, 0},
        {"Geode by NSC", "National Semiconductor Processor", false, 0},
        {"Vortex86 SoC", "DM&P Processor", true, CPU_CLASS_DMP},
        {"GenuineIntex", "GenuineIntex Processor", false, 0},
        {"UMC UMC UMC\t", "UMC UMC UMC\t Processor", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.vendor);
        Use(MachineOf({Leaves(c.vendor, 0)}), false);
        const auto thread = Identified();
        EXPECT_STREQ(thread->m_szVendor, c.vendor);
        EXPECT_STREQ(thread->m_szName, c.name);
        EXPECT_EQ(thread->m_pVendorInfos != nullptr, c.description);
        EXPECT_EQ(thread->m_dwClassCode, c.classCode);
    }
}

TEST_F(LogicalProcessor, HighestLeafZeroLeavesTheSignatureUnknown) {
    Use(MachineOf({Leaves("GenuineIntel", 0).Set(1, SignatureEax(6, 10, 4), 0, ~0u, ~0u)}), false);
    const auto thread = Identified();
    EXPECT_EQ(thread->m_iFamily, -1);
    EXPECT_EQ(thread->m_iModel, -1);
    EXPECT_EQ(thread->m_iStepping, -1);
    EXPECT_EQ(thread->m_dwFeatures[0], 0xFFFFFFFFu);
    EXPECT_EQ(thread->m_dwFeatures[1], 0xFFFFFFFFu);
    for (int index = 1; index <= 25; ++index) EXPECT_EQ(thread->HasInstructionSet(index), 0) << index;
    EXPECT_FALSE(thread->m_pTSC);
}

TEST_F(LogicalProcessor, InstructionSetsFromTheirLeaves) {
    // Leaf 1: MMX, SSE, SSE2, SSE3, SSSE3, FMA3, AES, AVX, TSC, APIC;
    // leaf 7: AVX2 and HLE; 0x80000001: x86-64, no-execute, SSE4A, XOP.
    Use(MachineOf({Leaves("AuthenticAMD", 7)
                       .Set(1, SignatureEax(15, 1, 0, 6), 0, (1u << 0) | (1u << 9) | (1u << 12) | (1u << 25) | (1u << 28),
                            (1u << 4) | (1u << 9) | (1u << 23) | (1u << 25) | (1u << 26))
                       .Set(7, 0, (1u << 5) | (1u << 4), 0, 0)
                       .Extended(0x80000001)
                       .Set(0x80000001, 0, 0, (1u << 6) | (1u << 11), (1u << 29) | (1u << 20))}),
        false);
    const auto thread = Identified();
    const int present[] = {ISET_MMX, ISET_SSE, ISET_SSE2, ISET_SSE3, ISET_SSSE3, ISET_FMA3, ISET_AES, ISET_AVX,
                           ISET_AVX2, ISET_HLE, ISET_X86_64, ISET_SSE4A, ISET_XOP, ISET_NO_EXECUTE};
    for (int index = 0; index <= 26; ++index) {
        const bool expected = std::find(std::begin(present), std::end(present), index) != std::end(present);
        EXPECT_EQ(thread->HasInstructionSet(index), expected ? 1 : 0) << index;
    }
    EXPECT_TRUE(thread->m_pTSC) << "CPUID 1 EDX bit 4";
    EXPECT_EQ(thread->m_bAPICPresent, 1u);
    EXPECT_EQ(thread->m_iSignature, 0xF10);
}

// A test description: records its calls and answers what it is told.
class ProbeInfos : public CCPUInfos {
public:
    ProbeInfos(uint32_t level, uint32_t classCode, float answer, std::vector<std::string>& log)
        : CCPUInfos(level, classCode), m_fAnswer(answer), m_Log(log) {}
    ~ProbeInfos() override { m_Log.push_back("deleted " + std::to_string(m_dwClassCode)); }
    void Initialize(CCPUThread*) override { m_Log.push_back("initialize " + std::to_string(m_dwClassCode)); }
    void DetectCaches(CCPUThread*) override { m_Log.push_back("caches"); }
    int Identify(CCPUThread*) override {
        m_Log.push_back("identify");
        return 1;
    }
    float GetMultiplier(CCPUThread*) override { return m_fAnswer; }

    float m_fAnswer;
    std::vector<std::string>& m_Log;
};

TEST_F(LogicalProcessor, DescriptionsInstallAtTheirLevelOnly) {
    Use(MachineOf({Leaves("GenuineIntel", 0)}), false);
    std::vector<std::string> log;
    CCPUThread thread;
    EXPECT_EQ(thread.SetFamilyInfos(nullptr), 0);
    auto* wrongLevel = new ProbeInfos(CPU_INFOS_FAMILY, 2, 1.0f, log);
    EXPECT_EQ(thread.SetVendorInfos(wrongLevel), 0);
    EXPECT_EQ(thread.m_dwClassCode, 0u) << "refused: nothing changes";
    delete wrongLevel;
    log.clear();
    ASSERT_EQ(thread.SetVendorInfos(new ProbeInfos(CPU_INFOS_VENDOR, 1, 1.0f, log)), 1);
    ASSERT_EQ(thread.SetVendorInfos(new ProbeInfos(CPU_INFOS_VENDOR, 3, 1.0f, log)), 1);
    EXPECT_EQ(log, (std::vector<std::string>{"initialize 1", "caches", "identify", "deleted 1", "initialize 3",
                                             "caches", "identify"}));
    EXPECT_EQ(thread.m_dwClassCode, 3u);
}

TEST_F(LogicalProcessor, QueriesAskTheFamilyFirstThenTheVendor) {
    Use(MachineOf({Leaves("GenuineIntel", 0)}), false);
    std::vector<std::string> log;
    struct Case {
        float family, vendor, expected;
    };
    for (const Case& c : {Case{12.0f, 9.0f, 12.0f}, Case{-1.0f, 9.0f, 9.0f}, Case{0.0f, -1.0f, -1.0f}}) {
        CCPUThread thread;
        EXPECT_EQ(thread.GetMultiplier(), -1.0f) << "no descriptions";
        thread.SetVendorInfos(new ProbeInfos(CPU_INFOS_VENDOR, 1, c.vendor, log));
        thread.SetFamilyInfos(new ProbeInfos(CPU_INFOS_FAMILY, 2, c.family, log));
        EXPECT_EQ(thread.GetMultiplier(), c.expected);
        EXPECT_EQ(thread.GetTemperature(), -1.0f);
    }
    CCPUThread familyOnly;
    familyOnly.SetFamilyInfos(new ProbeInfos(CPU_INFOS_FAMILY, 2, 0.0f, log));
    EXPECT_EQ(familyOnly.GetMultiplier(), 0.0f) << "the family's answer when there is no vendor description";
}

TEST_F(LogicalProcessor, FIDVIDControlOfTheFirstDescriptionThatHasOne) {
    Use(MachineOf({Leaves("GenuineIntel", 0)}), false);
    std::vector<std::string> log;
    CCPUThread thread;
    auto* vendor = new ProbeInfos(CPU_INFOS_VENDOR, 1, 1.0f, log);
    vendor->m_pFIDVID = new Nehalem_FIDVID_Control;
    thread.SetVendorInfos(vendor);
    EXPECT_EQ(thread.GetFIDVIDControl(), vendor->m_pFIDVID);
    auto* family = new ProbeInfos(CPU_INFOS_FAMILY, 2, 1.0f, log);
    family->m_pFIDVID = new Nehalem_FIDVID_Control;
    thread.SetFamilyInfos(family);
    EXPECT_EQ(thread.GetFIDVIDControl(), family->m_pFIDVID);
}

TEST_F(LogicalProcessor, RegistersAreCachedOnlyWhenTheyRead) {
    Use(MachineOf({Leaves("GenuineIntel", 0)}, {PlainMsr(0x1B, 0xFEE00900)}));
    CCPUThread thread;
    EXPECT_FALSE(thread.GetMSR(0x3A)) << "faults";
    EXPECT_EQ(thread.m_pMSRs->GetCount(), 0u);
    MSR_Register* apicBase = thread.GetMSR(0x1B);
    ASSERT_TRUE(apicBase);
    EXPECT_EQ(thread.GetMSR(0x1B), apicBase) << "the cached register, read again";
    EXPECT_EQ(thread.m_pMSRs->GetCount(), 1u);
}

TEST_F(LogicalProcessor, LocalAPICSpaceIsSharedAndX2APICNeedsNone) {
    const Leaves apic = Leaves("GenuineIntel", 1).Set(1, SignatureEax(6, 10, 4), 0, 0, 1u << 9);
    Use(MachineOf({apic, apic}, {PlainMsr(0x1B, 0xFEE00900)}));
    const auto first = Identified(0);
    const auto second = Identified(1);
    ASSERT_TRUE(first->m_pLocalAPIC);
    EXPECT_EQ(first->m_pLocalAPIC, second->m_pLocalAPIC);
    EXPECT_EQ(first->m_pLocalAPIC->GetBaseLow(), 0xFEE00000u);
    EXPECT_EQ(GetSDK()->m_pIOSpaces->GetCount(), 1u);

    ReleaseSDK();
    Use(MachineOf({apic}, {PlainMsr(0x1B, 0xFEE00D00)}));
    const auto x2apic = Identified(0);
    EXPECT_EQ(x2apic->m_bX2APICMode, 1u);
    EXPECT_FALSE(x2apic->m_pLocalAPIC);
}

TEST(MultiplierRing, TheEleventhSampleOverwritesTheFirst) {
    CCPUThread thread;
    for (int i = 1; i <= 11; ++i) thread.AddMultiplierSample(static_cast<float>(i));
    EXPECT_EQ(thread.m_fMultiplierRing[0], 11.0f);
    EXPECT_EQ(thread.m_fMultiplierRing[1], 2.0f);
    EXPECT_EQ(thread.m_fMultiplierRing[9], 10.0f);
    EXPECT_EQ(thread.m_iMultiplierRingIndex, 1);
}

TEST_F(LogicalProcessor, MaskedTextsUndoWithTheirKeys) {
    Use(MachineOf({Leaves("GenuineIntel", 1).Set(1, SignatureEax(6, 10, 4), 0, 0, 0)
                       .Extended(0x80000004)
                       .Brand("   Intel(R) Core(TM) i7 CPU 920 @ 2.67GHz")}),
        false);
    const auto thread = Identified();
    EXPECT_STREQ(thread->m_szBrandString, "Intel(R) Core(TM) i7 CPU 920 @ 2.67GHz") << "leading blanks go";
    const struct {
        const char* masked;
        const char* plain;
        uint8_t key;
    } texts[] = {{thread->m_szMaskedName, thread->m_szName, kMaskedNameKey},
                 {thread->m_szMaskedBrandString, thread->m_szBrandString, kMaskedBrandStringKey},
                 {thread->m_szMaskedCodename, thread->m_szCodename, kMaskedCodenameKey}};
    for (const auto& text : texts) {
        ASSERT_EQ(std::strlen(text.masked), std::strlen(text.plain));
        for (size_t i = 0; text.plain[i]; ++i)
            EXPECT_EQ(static_cast<uint8_t>(text.masked[i]) ^ text.key, static_cast<uint8_t>(text.plain[i]));
    }
}

} // namespace
} // namespace vexa::test
