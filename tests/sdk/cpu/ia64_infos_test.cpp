// The Itanium descriptions on an image of Itanium processors: the CPUID
// registers and PAL answers come through the stand-in driver's IA-64
// requests, and name the processor, its topology (the APIC id from
// PAL_LOGICAL_TO_PHYSICAL), its caches and its bus ratio.
#include <gtest/gtest.h>

#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_interface.h"
#include "sdk/cpu/cpu_package.h"
#include "sdk/cpu/ia64_cpu_thread.h"
#include "sdk/cpu/ia64_infos.h"
#include "tests/sdk/cpu/cpu_test_support.h"
#include "tests/support/image_dir.h"

namespace vexa::test {
namespace {

// CPUID register 3: architecture revision 39:32, family 31:24, model
// 23:16, revision (stepping) 15:8.
std::string VersionRegister(int family, int model, int stepping) {
    return std::to_string(uint64_t(family) << 24 | uint64_t(model) << 16 | uint64_t(stepping) << 8);
}

// PAL_LOGICAL_TO_PHYSICAL of one processor: threads per core 23:16, cores
// per package 39:32 and package ID 55:48 in result 1; thread ID 7:0 and
// core ID 39:32 in result 2.
std::string TopologyAnswer(unsigned cpu, int threadsPerCore, int cores, int package, int thread, int core) {
    const uint64_t placement = uint64_t(package) << 48 | uint64_t(cores) << 32 | uint64_t(threadsPerCore) << 16;
    const uint64_t ids = uint64_t(core) << 32 | uint64_t(thread);
    return R"({"procedure": 42, "arguments": ["0xFFFFFFFFFFFFFFFF", 0, 0], "results": [0, ")" +
           std::to_string(placement) + R"(", ")" + std::to_string(ids) + R"(", 0], "cpus": [)" + std::to_string(cpu) +
           "]}";
}

// A cache of PAL_CACHE_INFO: unified bit 0, ways 15:8, log2 line 23:16.
std::string CacheAnswer(int level, int type, bool unified, int ways, int lineBits, uint64_t bytes) {
    const uint64_t config = uint64_t(lineBits) << 16 | uint64_t(ways) << 8 | (unified ? 1u : 0u);
    return R"({"procedure": 2, "arguments": [)" + std::to_string(level - 1) + ", " + std::to_string(type) +
           R"(, 0], "results": [0, ")" + std::to_string(config) + R"(", ")" + std::to_string(bytes) + R"(", 0]})";
}

// Two dual-core Madison 9M packages' worth of PAL (one package here), two
// threads a core: processors 0-3 are threads 0 and 1 of cores 0 and 1 of
// package 1.
std::string ItaniumManifest(const std::string& version) {
    std::string pal = R"({"procedure": 14, "results": [0, ")" + std::to_string(15ull << 32 | 2) + R"(", 0, 0]},)";
    pal += R"({"procedure": 20, "results": [0, 0, ")" + std::to_string(0x0705ull << 32 | 0x12ull << 24 | 0x0703) +
           R"(", 0]},)";
    pal += R"({"procedure": 4, "results": [0, 3, 0, 0]},)";
    for (unsigned cpu = 0; cpu < 4; ++cpu) pal += TopologyAnswer(cpu, 2, 2, 1, int(cpu & 1), int(cpu >> 1)) + ",";
    pal += CacheAnswer(1, 1, false, 4, 6, 16384) + "," + CacheAnswer(1, 2, false, 4, 6, 16384) + ",";
    pal += CacheAnswer(2, 2, true, 8, 7, 262144) + ",";
    // Level 3 answers for both types, fully associative (0 ways).
    pal += CacheAnswer(3, 1, true, 0, 7, 6291456) + "," + CacheAnswer(3, 2, true, 0, 7, 6291456) + ",";
    pal += R"({"procedure": 43, "arguments": [2, 2, 0], "results": [0, 4, 0, 0]},)";
    pal += R"({"procedure": 12, "results": [0, 0, 0, 0]})";
    return R"({"os": {"windows": {"architecture": 6}}, "cpu": {"logical_processors": 4},
               "ia64": {"cpuid": ["0x49656E69756E6547", "0x6C65746E", 0, ")" +
           version + R"(", 0], "pal": [)" + pal + "]}}";
}

std::unique_ptr<machine::Machine> ItaniumImage(const std::string& version) {
    ImageDir image;
    image.write("machine.json", ItaniumManifest(version));
    return image.load();
}

using Ia64 = ProcessorTest;

TEST_F(Ia64, ItaniumTwoNamedWithItsApicIdAndRatio) {
    Use(ItaniumImage(VersionRegister(31, 2, 2)));
    ASSERT_EQ(GetSDK()->CreateCPUInterface(0), 1);
    CProcessor* package = GetSDK()->m_pCPU->GetProcessor(0);
    ASSERT_TRUE(package);
    EXPECT_STREQ(package->GetName(), "Intel Itanium 2");
    EXPECT_STREQ(package->GetCodename(), "Madison");
    EXPECT_STREQ(package->GetCoreSteppingText(), "A2");
    EXPECT_FLOAT_EQ(package->GetTechnology(), 0.13f);
    EXPECT_STREQ(package->GetPackageName(), "Socket 611 FC-PGA4");
    EXPECT_EQ(uint32_t(package->GetClassCode()), kIntelItanium2Class);
    EXPECT_EQ(package->GetThreadCount(), 4);
    EXPECT_EQ(package->GetCoreCount(), 2);
    auto* thread = dynamic_cast<IA64_CPUThread*>(package->GetFirstThread());
    ASSERT_TRUE(thread);
    // Thread 0 of core 0 of package 1: 0 + (0 << 1) + (1 << 2).
    EXPECT_EQ(thread->m_iApicId, 4);
    EXPECT_EQ(thread->m_iLogicalPerPackage, 4);
    PinnedTo pinned(0);
    EXPECT_FLOAT_EQ(thread->GetMultiplier(), 7.5f);
}

TEST_F(Ia64, TopologyCachesAndPalVersionOfOneProcessor) {
    Use(ItaniumImage(VersionRegister(31, 2, 2)));
    PinnedTo pinned(3);
    IA64_CPUThread thread;
    ASSERT_EQ(thread.Identify(), 1);
    // Thread 1 of core 1 of package 1: 1 + (1 << 1) + (1 << 2).
    EXPECT_EQ(thread.m_iApicId, 7);
    EXPECT_EQ(thread.m_iCoresPerPackage, 2);
    const struct {
        int32_t level, type, size, ways, line, sharedBy;
    } caches[] = {
        {1, CACHE_INSTRUCTION, 16, 4, 64, -1},  {1, CACHE_DATA, 16, 4, 64, -1}, {2, CACHE_UNIFIED, 256, 8, 128, -1},
        {3, CACHE_INSTRUCTION, 6144, 255, 128, -1}, {3, CACHE_UNIFIED, 6144, 255, 128, 4},
    };
    for (const auto& c : caches) {
        const CCacheDescriptor* cache = thread.FindCacheDescriptor(c.level, c.type);
        ASSERT_TRUE(cache) << c.level << "/" << c.type;
        EXPECT_EQ(cache->m_iSize, c.size) << c.level << "/" << c.type;
        EXPECT_EQ(cache->m_iWays, c.ways) << c.level << "/" << c.type;
        EXPECT_EQ(cache->m_iLineSize, c.line) << c.level << "/" << c.type;
        if (c.sharedBy != -1) {
            EXPECT_EQ(cache->m_iSharedBy, c.sharedBy);
        }
    }
    CReportGenerator_Buffer report;
    thread.m_pVendorInfos->DumpRegisters(&report);
    EXPECT_EQ(std::string(report.GetText()), "\tArchitecture Revision\t0\n\tPAL A Version\t\t7.5\n\tPAL B Version\t\t7.3\n"
                                "\tPAL Vendor\t\t12\n");
}

struct ItaniumNameCase {
    const char* name;
    int family, model, stepping;
    const char* processor;
    const char* codename;
    const char* coreStepping;
    int32_t packageCode;
};

void PrintTo(const ItaniumNameCase& c, std::ostream* out) { *out << c.name; }

class ItaniumNames : public ProcessorTest, public ::testing::WithParamInterface<ItaniumNameCase> {};

TEST_P(ItaniumNames, ByFamilyModelAndStepping) {
    const ItaniumNameCase& c = GetParam();
    Use(ItaniumImage(VersionRegister(c.family, c.model, c.stepping)));
    PinnedTo pinned(0);
    IA64_CPUThread thread;
    ASSERT_EQ(thread.Identify(), 1);
    EXPECT_STREQ(thread.m_szName, c.processor);
    EXPECT_STREQ(thread.m_szCodename, c.codename);
    EXPECT_STREQ(thread.m_szCoreStepping, c.coreStepping);
    EXPECT_EQ(thread.m_iPackageCode, c.packageCode);
}

INSTANTIATE_TEST_SUITE_P(
    Models, ItaniumNames,
    ::testing::Values(ItaniumNameCase{"Merced", 7, 0, 6, "Intel Itanium", "Merced", "C0", 0x10020},
                      ItaniumNameCase{"ItaniumModel1", 7, 1, 0, "Intel Itanium", "", "", 0x10020},
                      ItaniumNameCase{"McKinley", 31, 0, 7, "Intel Itanium 2", "McKinley", "B3", 0x10021},
                      ItaniumNameCase{"Montecito", 32, 0, 7, "Intel Dual-Core Itanium 2", "Montecito", "C2", 0x10021},
                      ItaniumNameCase{"DualCoreModel2", 32, 2, 0, "Intel Dual-Core Itanium 2", "", "", 0x10021},
                      ItaniumNameCase{"OtherFamily", 33, 0, 0, "Intel Processor", "", "", -1}),
    [](const ::testing::TestParamInfo<ItaniumNameCase>& row) { return std::string(row.param.name); });

} // namespace
} // namespace vexa::test
