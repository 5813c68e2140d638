#include "machine/cpuid_topology.h"

#include "tests/machine/cpuid_files.h"
#include "tests/support/test_paths.h"

#include <gtest/gtest.h>

namespace vexa::machine {
namespace {

CpuidDump loadDump(const std::string& path) {
    CpuidDump dump;
    std::string error;
    EXPECT_TRUE(parseCpuidDump(test::readFile(test::dataPath(path)), dump, error)) << error;
    return dump;
}

std::vector<CpuidLeaves> build(const CpuidDump& dump, ProcessorLayout layout = {}) {
    std::vector<CpuidLeaves> processors;
    std::string error;
    EXPECT_TRUE(buildProcessors(dump, layout, processors, error)) << error;
    return processors;
}

CpuidRegs at(const CpuidLeaves& cpu, uint32_t leaf, uint32_t subleaf = 0) {
    const auto it = cpu.find(CpuidKey{leaf, subleaf});
    return it == cpu.end() ? CpuidRegs{} : it->second;
}

// The image built from every dump has as many logical processors per
// package as the file records.
TEST(CpuidTopology, LogicalProcessorCountOfEveryDumpMatchesTheRecordedOne) {
    for (const auto& file : test::cpuidFiles()) {
        SCOPED_TRACE(file.path);
        const CpuidDump dump = loadDump(file.path);
        EXPECT_EQ(build(dump).size(), file.logical) << "dump lists " << dump.processors.size();
    }
}

TEST(CpuidTopology, CoreI7920BecomesEightThreadsWithAdjacentSiblings) {
    const CpuidDump dump = loadDump("cpuid/intel-nehalem-westmere/intel-core-i7-cpu-920.test");
    ASSERT_EQ(dump.processors.size(), 1u);
    EXPECT_EQ(at(dump.processors[0], 1).ebx >> 24, 3u);  // captured on APIC id 3
    const ProcessorTopology topology = deriveTopology(dump.processors[0]);
    EXPECT_EQ(topology.threadsPerCore, 2u);
    EXPECT_EQ(topology.coresPerPackage, 4u);
    EXPECT_EQ(topology.smtShift, 1u);
    EXPECT_EQ(topology.packageShift, 4u);
    const auto processors = build(dump);
    ASSERT_EQ(processors.size(), 8u);
    for (uint32_t i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(at(processors[i], 1).ebx, (i << 24) | 0x100800u);
        for (uint32_t subleaf = 0; subleaf < 4; ++subleaf) EXPECT_EQ(at(processors[i], 0xB, subleaf).edx, i);
        EXPECT_EQ(apicIdOf(processors[i]), i);
        // Everything else is the dump's.
        EXPECT_EQ(at(processors[i], 4, 3), at(dump.processors[0], 4, 3));
    }
}

// Topologies from the legacy leaves: thread and core fields packed with the
// widths the counts need.
TEST(CpuidTopology, LegacyLeavesGiveApicIdsWithCoreAndThreadFields) {
    struct Case {
        const char* path;
        unsigned threads, cores;
        std::vector<uint32_t> apicIds;
    };
    const Case cases[] = {
        {"cpuid/intel-core2/intel-core2-quad-cpu-q9450.test", 1, 4, {0, 1, 2, 3}},
        {"cpuid/intel-pentium-m-core/intel-core-duo-cpu-t2600.test", 1, 2, {0, 1}},
        {"cpuid/intel-atom-bonnell/intel-atom-cpu-n270.test", 2, 1, {0, 1}},
        {"cpuid/amd-k8/amd-athlon-64-x2-dual-core-processor-5200+.test", 1, 2, {0, 1}},
        {"cpuid/intel-netburst/intel-pentium-4-cpu-2.66ghz.test", 1, 1, {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const CpuidDump dump = loadDump(c.path);
        ASSERT_EQ(dump.processors.size(), 1u);
        const ProcessorTopology topology = deriveTopology(dump.processors[0]);
        EXPECT_EQ(topology.threadsPerCore, c.threads);
        EXPECT_EQ(topology.coresPerPackage, c.cores);
        const auto processors = build(dump);
        ASSERT_EQ(processors.size(), c.apicIds.size());
        for (size_t i = 0; i < processors.size(); ++i) EXPECT_EQ(apicIdOf(processors[i]), c.apicIds[i]) << i;
    }
}

TEST(CpuidTopology, AmdCoreIdWidthFieldPlacesThePackageField) {
    // Leaf 0x80000008 ECX: 2 cores, but a 3-bit APIC id core field.
    CpuidLeaves cpu;
    cpu[{0, 0}] = {1, 0x68747541, 0x444D4163, 0x69746E65};  // AuthenticAMD
    cpu[{1, 0}] = {0x00100F42, 0x00020800, 0, 1u << 28};
    cpu[{0x80000000, 0}] = {0x80000008, 0, 0, 0};
    cpu[{0x80000008, 0}] = {0x3030, 0, 0x3001, 0};
    const ProcessorTopology topology = deriveTopology(cpu);
    EXPECT_EQ(topology.coresPerPackage, 2u);
    EXPECT_EQ(topology.packageShift, 3u);
    // Two packages when the image asks for four processors.
    const auto processors = build(CpuidDump{{cpu}}, ProcessorLayout{4, {}});
    ASSERT_EQ(processors.size(), 4u);
    EXPECT_EQ(apicIdOf(processors[2]), 8u);
    EXPECT_EQ(apicIdOf(processors[3]), 9u);
}

TEST(CpuidTopology, LeavesBeyondTheReportedMaximumAreNotBelieved) {
    // The Pentium 4 dump lists leaf 0x80000008 with leaf 2's answer, above
    // its maximum 0x80000004; and leaf 4 above its maximum basic leaf 2.
    const CpuidDump dump = loadDump("cpuid/intel-netburst/intel-pentium-4-cpu-2.66ghz.test");
    EXPECT_NE(at(dump.processors[0], 0x80000008).eax, 0u);
    EXPECT_EQ(deriveTopology(dump.processors[0]).logicalPerPackage(), 1u);
}

TEST(CpuidTopology, SeveralProcessorsAreOrderedByApicIdStably) {
    CpuidDump dump;
    for (uint32_t id : {2u, 0u, 3u, 1u, 1u}) {
        CpuidLeaves cpu;
        cpu[{0, 0}] = {1, 0, 0, 0};
        cpu[{1, 0}] = {0x6F2, (id << 24) | 0x0800u, 0, 0};
        cpu[{2, 0}] = {uint32_t(dump.processors.size()), 0, 0, 0};  // remembers the dump position
        dump.processors.push_back(cpu);
    }
    const auto processors = build(dump);
    ASSERT_EQ(processors.size(), 5u);
    const uint32_t expected[][2] = {{0, 1}, {1, 3}, {1, 4}, {2, 0}, {3, 2}};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(apicIdOf(processors[i]), expected[i][0]);
        EXPECT_EQ(at(processors[i], 2).eax, expected[i][1]);
    }
    // The Pentium III dump's two processors both report APIC id 0 and stay
    // in dump order.
    EXPECT_EQ(build(loadDump("cpuid/intel-p6/intel-pentium-iii-cpu-family-1266mhz.test")).size(), 2u);
}

TEST(CpuidTopology, LayoutOverridesCountAndApicIds) {
    const CpuidDump i7 = loadDump("cpuid/intel-nehalem-westmere/intel-core-i7-cpu-920.test");
    const auto two = build(i7, ProcessorLayout{2, {16, 18}});
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(at(two[1], 1).ebx >> 24, 18u);
    EXPECT_EQ(at(two[1], 0xB, 1).edx, 18u);

    const CpuidDump core2 = loadDump("cpuid/intel-core2/intel-core2-cpu-6300.test");
    EXPECT_EQ(build(core2, ProcessorLayout{1, {}}).size(), 1u);

    struct Bad {
        const CpuidDump* dump;
        ProcessorLayout layout;
        const char* message;
    };
    const Bad bad[] = {
        {&core2, ProcessorLayout{3, {}}, "lists only 2"},
        {&i7, ProcessorLayout{0, {}}, "between 1 and"},
        {&i7, ProcessorLayout{kMaxLogicalProcessors + 1, {}}, "between 1 and"},
        {&i7, ProcessorLayout{std::nullopt, {1, 2, 3}}, "3 ids for 8"},
    };
    for (const Bad& b : bad) {
        std::vector<CpuidLeaves> processors;
        std::string error;
        EXPECT_FALSE(buildProcessors(*b.dump, b.layout, processors, error));
        EXPECT_NE(error.find(b.message), std::string::npos) << error;
        EXPECT_TRUE(processors.empty());
    }
}

TEST(CpuidTopology, PatchesAmdExtendedApicIdLeaf) {
    CpuidLeaves cpu;
    cpu[{1, 0}] = {0, 0x05020800, 0, 0};
    cpu[{0x8000001E, 0}] = {5, 0x100, 0, 0};
    setApicId(cpu, 0x21);
    EXPECT_EQ(at(cpu, 1).ebx, 0x21020800u);
    EXPECT_EQ(at(cpu, 0x8000001E).eax, 0x21u);
    EXPECT_EQ(at(cpu, 0x8000001E).ebx, 0x100u);
}

} // namespace
} // namespace vexa::machine
