// Machines of many logical processors: through the processor groups every
// one of them is identified on its own processor, gathered into its
// package, dumped and measured; without the group functions (an older
// Windows) the first 32 are. And processors whose CPUID answers are odd
// (random or repeated APIC ids, empty topology leaves, a huge L3) are
// reported as they read, numbered by the topology rule.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "platform/processor_groups.h"
#include "platform/testing.h"
#include "platform/threads.h"
#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_core.h"
#include "sdk/cpu/cpu_interface.h"
#include "sdk/cpu/cpu_package.h"
#include "tests/sdk/cpu/cpu_test_support.h"
#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

class ManyProcessors : public ProcessorTest {
protected:
    void TearDown() override {
        platform::testing::overrideWindowsIdentity(std::nullopt);
        platform::testing::restoreLibraries();
        ProcessorTest::TearDown();
    }
    CCPUInterface* Create() {
        EXPECT_EQ(GetSDK()->CreateCPUInterface(0), 1);
        return GetSDK()->m_pCPU;
    }
};

std::string Text(CCPUInterface& cpu, void (CCPUInterface::*dump)(CReportGenerator*)) {
    CReportGenerator_Buffer report;
    (cpu.*dump)(&report);
    return report.GetText();
}

std::vector<CCPUThread*> Threads(CCPUInterface& cpu) {
    std::vector<CCPUThread*> threads;
    CTListIterator<CCPUThread> it(cpu.m_pThreads);
    for (CCPUThread* thread = it.GetFirst(); thread; thread = it.GetNext()) threads.push_back(thread);
    return threads;
}

TEST_F(ManyProcessors, CoreI9_7980XEIsOnePackageOf18CoresAnd36Threads) {
    std::string error;
    Use(machine::loadImage(sourcePath("machines/core-i9-7980xe"), error), false);
    CCPUInterface* cpu = Create();
    EXPECT_EQ(cpu->m_iThreadCount, 36);
    ASSERT_EQ(cpu->m_iProcessorCount, 1);
    CProcessor* package = cpu->GetProcessor(0);
    EXPECT_EQ(package->GetCoreCount(), 18);
    EXPECT_EQ(package->GetThreadCount(), 36);
    EXPECT_STREQ(package->GetSpecification(), "Intel(R) Core(TM) i9-7980XE CPU @ 2.60GHz");
    EXPECT_EQ(package->CountCaches(2, CACHE_UNIFIED), 18);
    EXPECT_EQ(package->CountCaches(3, CACHE_UNIFIED), 1);
    const std::string report = Text(*cpu, &CCPUInterface::Dump);
    EXPECT_EQ(report.rfind("Number of processors\t\t1\nNumber of threads\t\t36\n", 0), 0u) << report;
    EXPECT_NE(report.find("\tNumber of cores\t\t18 (max 32)\n\tNumber of threads\t36 (max 64)\n"), std::string::npos)
        << report;
}

// The sample images of 16 and 32 i7 920 packages (four cores, eight
// threads each); the x2APIC ids of the second half of the 256 lie above 255.
class EveryProcessor : public ManyProcessors, public ::testing::WithParamInterface<unsigned> {};

TEST_P(EveryProcessor, IsIdentifiedDumpedAndMeasured) {
    const unsigned count = GetParam();
    std::string error;
    Use(machine::loadImage(sourcePath("machines/nehalem-" + std::to_string(count) + "-threads"), error), false);
    CCPUInterface* cpu = Create();
    EXPECT_EQ(cpu->m_iThreadCount, static_cast<int32_t>(count));
    const std::vector<CCPUThread*> threads = Threads(*cpu);
    ASSERT_EQ(threads.size(), count);
    std::vector<uint32_t> x2ApicIds;
    // The measurement threads rewrite the measured clock under the library
    // lock, so it is read under that lock too.
    uint32_t status = 0;
    ASSERT_EQ(GetSDK()->Lock(&status, 10000), 1) << status;
    for (unsigned i = 0; i < count; ++i) {
        SCOPED_TRACE(i);
        const uint32_t id = (i / 8) << 4 | (i % 8 / 2) << 1 | (i % 2);
        x2ApicIds.push_back(id);
        EXPECT_EQ(threads[i]->m_iApicId, static_cast<int32_t>(id)) << "identified on its own processor";
        EXPECT_EQ(threads[i]->m_iProcessorNumber, static_cast<int32_t>(i % 64)) << "its bit in its group";
        EXPECT_EQ(threads[i]->m_iPackageId, static_cast<int32_t>(i / 8));
        EXPECT_EQ(threads[i]->m_iCoreId, static_cast<int32_t>(i % 8 / 2));
        EXPECT_GT(threads[i]->m_fMeasuredTSCClock, 0.0f) << "measured during the identification";
    }
    GetSDK()->Unlock();
    EXPECT_EQ(cpu->m_iProcessorCount, static_cast<int32_t>(count / 8));
    for (int32_t index = 0; index < cpu->m_iProcessorCount; ++index) {
        CProcessor* package = cpu->GetProcessor(index);
        ASSERT_TRUE(package);
        EXPECT_EQ(package->GetCoreCount(), 4);
        EXPECT_EQ(package->GetThreadCount(), 8);
    }
    EXPECT_NE(Text(*cpu, &CCPUInterface::Dump).find("Number of threads\t\t" + std::to_string(count) + "\n"),
              std::string::npos);

    // Each dump block reads its own processor: leaf 0xB carries its x2APIC id.
    const std::string dumps = Text(*cpu, &CCPUInterface::DumpThreads);
    size_t at = 0;
    for (unsigned i = 0; i < count; ++i) {
        SCOPED_TRACE(i);
        at = dumps.find("CPU Thread " + std::to_string(i % 64) + "\t\n", at);
        ASSERT_NE(at, std::string::npos);
        char leafB[96];
        std::snprintf(leafB, sizeof leafB, "\t0x0000000B\t\t0x00000001\t0x00000002\t0x00000100\t0x%08X\n", x2ApicIds[i]);
        const size_t next = dumps.find("CPU Thread ", at + 1);
        EXPECT_LT(dumps.find(leafB, at), next);
        at = next == std::string::npos ? at + 1 : next;
    }
    GROUP_AFFINITY caller {};
    ASSERT_TRUE(GetThreadGroupAffinity(GetCurrentThread(), &caller));
    EXPECT_EQ(caller.Group, 0) << "the dumps give the calling thread back";

    // One measurement thread per logical processor, and a load for each.
    EXPECT_EQ(cpu->m_MonitorThreads.size(), count);
    for (HANDLE handle : cpu->m_MonitorThreads) EXPECT_TRUE(handle);
    cpu->Close();
    cpu->MeasureLoad();
    for (CCPUThread* thread : threads) EXPECT_TRUE(thread->m_pLoadSensor);
}

INSTANTIATE_TEST_SUITE_P(Counts, EveryProcessor, ::testing::Values(128u, 256u));

// Windows Vista has no processor groups: the process sees the first group
// of 64 and the first 32 of them are identified.
TEST_F(ManyProcessors, AnOlderWindowsIdentifiesThirtyTwo) {
    machine::WindowsIdentity vista;
    vista.majorVersion = 6;
    vista.minorVersion = 0;
    platform::testing::overrideWindowsIdentity(vista);
    std::string error;
    Use(machine::loadImage(sourcePath("machines/nehalem-128-threads"), error), false);
    CCPUInterface* cpu = Create();
    EXPECT_EQ(cpu->m_iThreadCount, 64);
    const std::vector<CCPUThread*> threads = Threads(*cpu);
    ASSERT_EQ(threads.size(), 32u);
    for (unsigned i = 0; i < 32; ++i) EXPECT_EQ(threads[i]->m_iProcessorNumber, static_cast<int32_t>(i));
    EXPECT_EQ(cpu->m_MonitorThreads.size(), 32u);
}

// ---- Odd answers, as a virtual machine gave them ----

// A processor of a virtual machine: AMD family 1Ah, eight logical
// processors per package by leaf 1, leaves 4, 0xB and 0x8000001D all
// zeros, a 508 MB L3, and the APIC id given.
Leaves OddVirtualProcessor(uint32_t apicId) {
    Leaves leaves("AuthenticAMD", 0x10);
    leaves.Set(1, SignatureEax(0xF, 2, 0, 0xB, 0), apicId << 24 | 8 << 16 | 0x0800, 0xF6D83203, 0x178BFBFF)
        .Set(4, 0, 0, 0, 0)
        .Set(0xB, 0, 0, 0, 0)
        .Extended(0x80000021)
        .Set(0x80000001, 0, 0, 0x75C237FF, 0x2FD3FBFF)
        .Brand("Oxide Virtual Turin-like Processor")
        .Set(0x80000005, 0xFF40FF40, 0xFF40FF40, 0x20080140, 0x20080140)
        .Set(0x80000006, 0x48002200, 0x68004200, 0x04006140, 1016u << 18 | 0x6 << 12 | 0x40)
        .Set(0x80000008, 0x3030, 0, 0x00000007, 0)
        .Set(0x8000001D, 0, 0, 0, 0)
        .Set(0x8000001E, 0, 0, 0, 0);
    return leaves;
}

struct OddIds {
    const char* name;
    std::vector<uint32_t> apicIds;  // leaf 1's, per processor
    std::vector<int32_t> expected;  // the ids the topology is built from
    int32_t packages;
};

class OddCpuid : public ManyProcessors, public ::testing::WithParamInterface<OddIds> {};

TEST_P(OddCpuid, IsReportedAsReadAndNumberedByTheTopologyRule) {
    const OddIds& odd = GetParam();
    std::vector<Leaves> processors;
    for (uint32_t id : odd.apicIds) processors.push_back(OddVirtualProcessor(id));
    Use(MachineOf(processors), false);
    CCPUInterface* cpu = Create();
    const std::vector<CCPUThread*> threads = Threads(*cpu);
    ASSERT_EQ(threads.size(), odd.apicIds.size());
    std::set<int32_t> ids;
    for (size_t i = 0; i < threads.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(threads[i]->m_iProcessorNumber, static_cast<int32_t>(i));
        EXPECT_EQ(threads[i]->m_iApicId, odd.expected[i]);
        EXPECT_EQ(threads[i]->m_iPackageId, odd.expected[i] >> 3);
        ids.insert(threads[i]->m_iApicId);
    }
    EXPECT_EQ(ids.size(), threads.size()) << "every logical processor told apart";
    EXPECT_EQ(cpu->m_iProcessorCount, odd.packages);
    CProcessor* package = cpu->GetProcessor(0);
    ASSERT_TRUE(package);
    EXPECT_STREQ(package->GetSpecification(), "Oxide Virtual Turin-like Processor");
    const CCacheDescriptor* level3 = package->FindCache(3, CACHE_UNIFIED);
    ASSERT_TRUE(level3);
    EXPECT_EQ(level3->m_iSize, 508 * 1024);
    const std::string report = Text(*cpu, &CCPUInterface::Dump) + Text(*cpu, &CCPUInterface::DumpThreads);
    EXPECT_NE(report.find("Number of threads\t\t" + std::to_string(odd.apicIds.size()) + "\n"), std::string::npos);
    EXPECT_NE(report.find("508 MBytes, 8-way set associative"), std::string::npos) << report;
}

INSTANTIATE_TEST_SUITE_P(
    Ids, OddCpuid,
    ::testing::Values(OddIds{"Repeated", {216, 242, 111, 1, 242, 7, 216, 3}, {0, 1, 2, 3, 4, 5, 6, 7}, 1},
                      OddIds{"AllZero", {0, 0, 0, 0}, {0, 1, 2, 3}, 1},
                      OddIds{"RandomDistinct", {216, 242, 111, 1}, {216, 242, 111, 1}, 4}),
    [](const ::testing::TestParamInfo<OddIds>& param) { return std::string(param.param.name); });

} // namespace
} // namespace vexa::test
