// The dumps of tests/data/cpuid of the AMD K5 and K6 and of the VIA C3, C7
// and Nano as images of their CPUID alone: their signature and extended
// signature, thread count, caches and names. The expected caches are read
// from the dumps' extended cache leaves by hand (the recorded values of the
// VIA dumps leave them open): 0x80000005 ECX/EDX the level-1 data and
// instruction caches, 0x80000006 ECX the level-2 cache. A VIA QuadCore is
// the Nano dump made into one: four processors that report eight per
// package in leaf 1, as that processor does.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>

#include "sdk/core/sdk.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_interface.h"
#include "sdk/cpu/cpu_package.h"
#include "tests/sdk/cpu/cpu_test_support.h"
#include "tests/support/image_dir.h"
#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

struct Cache {
    int size = -1, ways = -1, line = -1;  // size -1: none
};

struct DumpCase {
    const char* name;
    std::function<std::unique_ptr<machine::Machine>()> image;
    int family, model, stepping, extFamily, extModel;
    int threads;
    Cache l1Data, l1Instruction, l2;
    const char* processor;
    const char* codename;
    uint32_t classCode;
};

void PrintTo(const DumpCase& c, std::ostream* out) { *out << c.name; }

std::function<std::unique_ptr<machine::Machine>()> Dump(const char* file) {
    return [file] { return DumpOnly(std::string("cpuid/") + file); };
}

// A register line of the dump's dialect for a leaf.
std::string LeafLine(uint32_t leaf, uint32_t eax, uint32_t ebx, uint32_t ecx, uint32_t edx) {
    char line[80];
    std::snprintf(line, sizeof line, "CPUID %08X: %08X-%08X-%08X-%08X", leaf, eax, ebx, ecx, edx);
    return line;
}

void ReplaceLine(std::string& text, uint32_t leaf, const std::string& line) {
    const std::string start = LeafLine(leaf, 0, 0, 0, 0).substr(0, 15);
    const size_t at = text.find(start);
    ASSERT_NE(at, std::string::npos) << start;
    text.replace(at, text.find('\n', at) - at, line);
}

// The Nano L2200 dump with a QuadCore L4650's signature (stepping 12),
// leaf 1 logical count (8) and brand string, on four processors.
std::unique_ptr<machine::Machine> NanoQuadCore() {
    std::string text = readFile(dataPath("cpuid/via-nano/via-nano-processor-l2200.test"));
    ReplaceLine(text, 1, LeafLine(1, 0x000006FC, 0x00080800, 0x000063A9, 0xAFC9FBFF));
    char brand[48] = "VIA QuadCore L4650 @ 1.6+ GHz";
    for (uint32_t i = 0; i < 3; ++i) {
        uint32_t regs[4];
        std::memcpy(regs, brand + 16 * i, 16);
        ReplaceLine(text, 0x80000002 + i, LeafLine(0x80000002 + i, regs[0], regs[1], regs[2], regs[3]));
    }
    ImageDir image;
    image.write("cpuid.txt", text);
    image.write("machine.json", R"({"cpu": {"logical_processors": 4}})");
    return image.load();
}

class OtherVendorDumps : public ProcessorTest, public ::testing::WithParamInterface<DumpCase> {};

TEST_P(OtherVendorDumps, SignatureThreadsCachesAndName) {
    const DumpCase& c = GetParam();
    Use(c.image(), false);
    ASSERT_EQ(GetSDK()->CreateCPUInterface(0), 1);
    CCPUInterface* cpu = GetSDK()->m_pCPU;
    ASSERT_EQ(cpu->m_iProcessorCount, 1);
    CProcessor* package = cpu->GetProcessor(0);
    ASSERT_TRUE(package);
    EXPECT_EQ(package->GetFamily(), c.family);
    EXPECT_EQ(package->GetModel(), c.model);
    EXPECT_EQ(package->GetStepping(), c.stepping);
    EXPECT_EQ(package->GetExtFamily(), c.extFamily);
    EXPECT_EQ(package->GetExtModel(), c.extModel);
    EXPECT_EQ(cpu->m_iThreadCount, c.threads);
    EXPECT_EQ(package->GetThreadCount(), c.threads);
    EXPECT_STREQ(package->GetName(), c.processor);
    EXPECT_STREQ(package->GetCodename(), c.codename);
    EXPECT_EQ(package->GetFirstThread()->m_dwClassCode, c.classCode);

    const struct {
        const char* name;
        int level, type;
        Cache expected;
    } caches[] = {{"L1 data", 1, CACHE_DATA, c.l1Data},
                  {"L1 instruction", 1, CACHE_INSTRUCTION, c.l1Instruction},
                  {"L2", 2, CACHE_UNIFIED, c.l2}};
    for (const auto& cache : caches) {
        SCOPED_TRACE(cache.name);
        const CCacheDescriptor* found = package->FindCache(cache.level, cache.type);
        if (cache.expected.size == -1) {
            EXPECT_FALSE(found);
            continue;
        }
        ASSERT_TRUE(found);
        EXPECT_EQ(found->m_iSize, cache.expected.size);
        EXPECT_EQ(found->m_iWays, cache.expected.ways);
        EXPECT_EQ(found->m_iLineSize, cache.expected.line);
    }
}

INSTANTIATE_TEST_SUITE_P(
    CpuidData, OtherVendorDumps,
    ::testing::Values(
        DumpCase{"K5_PR166", Dump("amd-k5/amd-k5-pr166.test"), 5, 2, 4, 5, 2, 1, {8, 4, 32}, {16, 4, 32}, {},
                 "AMD K5", "5k86", 0x2000401},
        // The K6-2 reports family 6 in its extended leaf.
        DumpCase{"K6_2_Chomper", Dump("amd-k6/amd-k6-2-chomper.test"), 5, 8, 0, 6, 8, 1, {32, 2, 32}, {32, 2, 32},
                 {}, "AMD K6-2", "Chomper", 0x2000802},
        DumpCase{"C3_Nehemiah", Dump("via-c3/via-nehemiah.test"), 6, 9, 3, 6, 9, 1, {64, 4, 32}, {64, 4, 32},
                 {64, 16, 32}, "VIA C3", "Nehemiah", 0x8000801},
        // No brand-ID MSRs in the image: brand 1, the C7; the C7 sets the
        // level-2 ways to 32 (code 0xA).
        DumpCase{"C7_M_1200", Dump("via-c7/via-c7-m-processor-1200mhz.test"), 6, 13, 0, 6, 13, 1, {64, 4, 64},
                 {64, 4, 64}, {128, 32, 64}, "VIA C7", "Esther", 0x8001001},
        DumpCase{"Nano_L2200", Dump("via-nano/via-nano-processor-l2200.test"), 6, 15, 2, 6, 15, 1, {64, 16, 64},
                 {64, 16, 64}, {1024, 16, 64}, "VIA Nano 1000/2000", "CN", 0x8002000},
        DumpCase{"Nano_QuadCore", NanoQuadCore, 6, 15, 12, 6, 15, 4, {64, 16, 64}, {64, 16, 64}, {1024, 16, 64},
                 "VIA QuadCore L4650", "CN", 0x8002004}),
    [](const ::testing::TestParamInfo<DumpCase>& row) { return std::string(row.param.name); });

} // namespace
} // namespace vexa::test
