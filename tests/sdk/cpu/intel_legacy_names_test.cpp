// The P5, P6, NetBurst, Pentium M, Core and Core 2 descriptions: every dump
// of these generations in tests/data/cpuid as an image of its CPUID alone
// (its signature, threads, level-2 cache and a name and codename of its
// generation), and the named parts from images carrying the MSRs that name
// them.
#include <gtest/gtest.h>

#include "sdk/core/sdk.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_interface.h"
#include "sdk/cpu/cpu_package.h"
#include "sdk/cpu/intel_netburst.h"
#include "tests/sdk/cpu/intel_family_test_support.h"
#include "tests/sdk/cpu/intel_legacy_test_support.h"

namespace vexa::test {
namespace {

struct DumpCase {
    const char* name;
    const char* file;
    int family, model, stepping;
    int threads;  // logical processors of the dump
    int l2;       // KB
    const char* processor;
    const char* codename;
    const char* coreStepping;
    float technology;
    uint32_t classCode;
};

void PrintTo(const DumpCase& c, std::ostream* out) { *out << c.name; }

class LegacyIntelDumps : public ProcessorTest, public ::testing::WithParamInterface<DumpCase> {};

TEST_P(LegacyIntelDumps, SignatureThreadsCacheAndGeneration) {
    const DumpCase& c = GetParam();
    Use(DumpOnly(std::string("cpuid/") + c.file), false);
    ASSERT_EQ(GetSDK()->CreateCPUInterface(0), 1);
    CCPUInterface* cpu = GetSDK()->m_pCPU;
    CProcessor* package = cpu->GetProcessor(0);
    ASSERT_TRUE(package);
    EXPECT_EQ(package->GetFamily(), c.family);
    EXPECT_EQ(package->GetModel(), c.model);
    EXPECT_EQ(package->GetStepping(), c.stepping);
    EXPECT_EQ(cpu->m_iThreadCount, c.threads);
    const CCacheDescriptor* l2 = package->FindCache(2, CACHE_UNIFIED);
    ASSERT_TRUE(l2);
    EXPECT_EQ(l2->m_iSize, c.l2);
    EXPECT_STREQ(package->GetName(), c.processor);
    EXPECT_STREQ(package->GetCodename(), c.codename);
    EXPECT_STREQ(package->GetCoreSteppingText(), c.coreStepping);
    EXPECT_FLOAT_EQ(package->GetTechnology(), c.technology);
    EXPECT_EQ(uint32_t(package->GetClassCode()), c.classCode);
}

// Without MSR 0x17 no part is mobile, so the Merom and Penryn laptops
// pass for their desktop siblings of the same generation (Conroe,
// Wolfdale); without MSR 0xCD or a ratio only a brand string's clock
// names the model number.
INSTANTIATE_TEST_SUITE_P(
    CpuidData, LegacyIntelDumps,
    ::testing::Values(
        DumpCase{"PentiumIIDixon", "intel-p6/intel-pentium-ii-dixon.test", 6, 6, 10, 1, 256,
                 "Intel Mobile Pentium II", "Dixon", "dmmA0", 0.25f, 0x1000803},
        DumpCase{"PentiumIIITualatin", "intel-p6/intel-pentium-iii-cpu-family-1266mhz.test", 6, 11, 1, 2, 512,
                 "Intel Pentium III-S", "Tualatin", "tA1", 0.13f, 0x1000808},
        DumpCase{"PentiumMDothan", "intel-pentium-m-core/intel-pentium-m-processor-1.60ghz.test", 6, 13, 6, 1, 2048,
                 "Intel Pentium M", "Dothan", "B1", 0.09f, 0x1002001},
        DumpCase{"CoreDuoT2600", "intel-pentium-m-core/intel-core-duo-cpu-t2600.test", 6, 14, 12, 2, 2048,
                 "Intel Core Duo", "Yonah", "D0", 0.065f, 0x1004002},
        DumpCase{"Pentium4Northwood", "intel-netburst/intel-pentium-4-cpu-2.66ghz.test", 15, 2, 9, 1, 512,
                 "Intel Pentium 4", "Northwood", "D1", 0.13f, 0x1001001},
        DumpCase{"PentiumD820", "intel-netburst/intel-pentium-d-820.test", 15, 4, 4, 2, 1024, "Intel Pentium D",
                 "SmithField", "A0", 0.09f, 0x1001008},
        DumpCase{"Core2DuoE6300", "intel-core2/intel-core2-cpu-6300.test", 6, 15, 2, 2, 2048, "Intel Core 2 Duo",
                 "Conroe", "L2", 0.065f, 0x1008001},
        DumpCase{"Core2DuoT7500", "intel-core2/intel-core2-duo-cpu-t7500.test", 6, 15, 10, 2, 4096,
                 "Intel Core 2 Duo", "Conroe", "E1", 0.065f, 0x1008001},
        DumpCase{"Core2DuoP8400", "intel-core2/intel-core2-duo-cpu-p8400.test", 6, 7, 6, 2, 3072, "Intel Core 2 Duo",
                 "Wolfdale", "M0", 0.045f, 0x1008001},
        DumpCase{"Core2QuadQ9450", "intel-core2/intel-core2-quad-cpu-q9450.test", 6, 7, 7, 4, 6144,
                 "Intel Core 2 Quad Q9450", "Yorkfield", "C1", 0.045f, 0x1008005}),
    [](const ::testing::TestParamInfo<DumpCase>& row) { return std::string(row.param.name); });

// ---- Named parts ----

struct NamedCase {
    const char* name;
    LegacyPart part;
    std::string msrs;
    const char* processor;
    const char* codename;
    uint32_t classCode;
    int32_t package;
};

void PrintTo(const NamedCase& c, std::ostream* out) { *out << c.name; }

class LegacyIntelNames : public IntelFamilyTest, public ::testing::WithParamInterface<NamedCase> {};

TEST_P(LegacyIntelNames, NamedFromTheirRegisters) {
    const NamedCase& c = GetParam();
    UseImage(LeavesImage(LegacyLeaves(c.part), c.msrs));
    const auto thread = Identified(0);
    EXPECT_STREQ(thread->m_szName, c.processor);
    EXPECT_STREQ(thread->m_szCodename, c.codename);
    EXPECT_EQ(thread->m_dwClassCode, c.classCode);
    EXPECT_EQ(thread->m_iPackageCode, c.package);
}

// IA32_PERF_STATUS of a Core 2: current and lowest ratio, VID, and in the
// high dword the highest ratio and VID.
uint64_t Core2PerfStatus(uint32_t ratio, uint32_t vid, bool extremeEdition) {
    const uint64_t low = (6u << 24) | (ratio << 8) | vid | (extremeEdition ? 1u << 31 : 0);
    return (uint64_t((ratio << 8) | vid) << 32) | low;
}

INSTANTIATE_TEST_SUITE_P(
    Parts, LegacyIntelNames,
    ::testing::Values(
        // Yorkfield at 2666 MHz, 3 MB L2, TDP code 4 (65 W).
        NamedCase{"Q9400S", {6, 0x17, 10, "Intel(R) Core(TM)2 Quad  CPU   Q9400S  @ 2.66GHz", 0, 4, 4, 3072},
                  PlatformId(0, 4ull << 56), "Intel Core 2 Quad Q9400S", "Yorkfield", 0x1008005, 0x1001C},
        NamedCase{"E6500K", {6, 0x17, 10, "Pentium(R) Dual-Core  CPU      E6500K @ 2.93GHz", 0, 2, 2, 2048},
                  PlatformId(0) + ", " + MsrEntry(0xCD, 0) + ", " + MsrEntry(0x198, Core2PerfStatus(11, 0x20, true)),
                  "Intel Pentium E6500K", "Wolfdale", 0x1008006, 0x1001C},
        // A model-4 Pentium 4 in Socket 775 at 17 x 200 MHz with 2 MB L2
        // and VT, and a Celeron D at 19 x 133 MHz with 256 KB and x86-64.
        NamedCase{"Pentium4_652", {15, 4, 3, "Intel(R) Pentium(R) 4 CPU 3.40GHz", 0, 1, 1, 0, 0x7D7000, true, true},
                  PlatformId(4) + ", " + MsrEntry(0x2C, 0x11020011), "Intel Pentium 4 652", "Prescott", 0x1001003,
                  0x1001C},
        NamedCase{"CeleronD326", {15, 4, 1, "Intel(R) Celeron(R) CPU 2.53GHz", 0, 1, 1, 0, 0x7A7000, true},
                  PlatformId(4) + ", " + MsrEntry(0x2C, 0x13010013), "Intel Celeron 326", "Prescott", 0x1001006, 0x1001C},
        NamedCase{"CeleronD355", {15, 4, 1, "Intel(R) Celeron(R) CPU 3.33GHz", 0, 1, 1, 0, 0x7A7000, true},
                  PlatformId(4) + ", " + MsrEntry(0x2C, 0x19010019), "Intel Celeron 355", "Prescott", 0x1001006, 0x1001C},
        // Dothan at 14 x 100 MHz: a highest VID code of 0x1F is the low
        // voltage 738, 0x20 the standard 710.
        NamedCase{"Dothan738", {6, 0x0D, 8, "Intel(R) Pentium(R) M processor 1.40GHz", 0x16},
                  PlatformId(7) + ", " + MsrEntry(0x198, 0x00000E1F00000E1Full), "Intel Pentium M 738", "Dothan", 0x1002001,
                  0x10015},
        NamedCase{"Dothan710", {6, 0x0D, 8, "Intel(R) Pentium(R) M processor 1.40GHz", 0x16},
                  PlatformId(5) + ", " + MsrEntry(0x198, 0x00000E2000000E20ull), "Intel Pentium M 710", "Dothan", 0x1002001,
                  0x10018},
        // Yonah at 10 x 166 MHz whose highest VID code is 0x22.
        NamedCase{"YonahL2400", {6, 0x0E, 12, "Genuine Intel(R) CPU           L2400  @ 1.66GHz", 0, 2, 2, 2048},
                  PlatformId(1) + ", " + MsrEntry(0xCD, 3) + ", " + MsrEntry(0x198, 0x00000A2206000A22ull),
                  "Intel Core Duo L2400", "Yonah", 0x1004002, 0x10018},
        NamedCase{"YonahT2080", {6, 0x0E, 12, "Genuine Intel(R) CPU           T2080  @ 1.73GHz", 0, 2, 2, 1024},
                  PlatformId(1), "Intel Pentium T2080", "Yonah", 0x1008006, 0x10018}),
    [](const ::testing::TestParamInfo<NamedCase>& row) { return std::string(row.param.name); });

// The Penryn P8400's own dump with the platform ID of a Socket P part.
TEST_F(IntelFamilyTest, P8400FromItsDumpAndPlatformId) {
    UseImage(IntelDumpImage("cpuid/intel-core2/intel-core2-duo-cpu-p8400.test", PlatformId(7)));
    const auto thread = Identified(0);
    EXPECT_STREQ(thread->m_szName, "Intel Mobile Core 2 Duo P8400");
    EXPECT_STREQ(thread->m_szCodename, "Penryn");
    EXPECT_STREQ(thread->m_szCoreStepping, "M0");
    EXPECT_EQ(thread->m_dwClassCode, 0x1008001u);
    EXPECT_STREQ(PackageCodeName(thread->m_iPackageCode), "Socket P (478)");
    EXPECT_EQ(thread->m_bMobile, 1u);
    EXPECT_EQ(thread->m_iStockClock, 2266);
}

// The 652 takes hyper-threading from its number: two logical processors.
TEST_F(IntelFamilyTest, Pentium4_652ReportsHyperThreading) {
    UseImage(LeavesImage(LegacyLeaves({15, 4, 3, "Intel(R) Pentium(R) 4 CPU 3.40GHz", 0, 1, 1, 0, 0x7D7000, true, true}),
                         PlatformId(4) + ", " + MsrEntry(0x2C, 0x11020011)));
    const auto thread = Identified(0);
    auto* infos = dynamic_cast<Intel_Netburst_Infos*>(thread->m_pFamilyInfos);
    ASSERT_TRUE(infos);
    EXPECT_EQ(infos->m_bHyperThreading, 1);
    EXPECT_EQ(thread->m_iLogicalPerPackage, 2);
    EXPECT_EQ(thread->m_iStockClock, 3400);
    EXPECT_EQ(thread->m_iNominalBusClock, 200);
    PinnedTo pinned(0);
    EXPECT_FLOAT_EQ(thread->GetMultiplier(), 17.0f);
}

} // namespace
} // namespace vexa::test
