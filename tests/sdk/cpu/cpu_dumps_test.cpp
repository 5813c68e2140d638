// Every CPUID dump of tests/data/cpuid as a machine of its processors
// alone: what the vendor descriptions tell of it (the signature, the
// thread and core counts, the cache sizes, ways, line sizes and instances)
// is what the dump's recorded values say, where they say something and
// where the vendor level can know it.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "sdk/core/sdk.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_interface.h"
#include "sdk/cpu/cpu_package.h"
#include "tests/sdk/cpu/cpu_test_support.h"
#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

// The values after a dump's 80-dash line (see tests/data/cpuid/README.md).
struct Recorded {
    std::string path;
    int family = -1, model = -1, stepping = -1, extFamily = -1, extModel = -1, cores = -1, logical = -1;
    int size[4] = {-1, -1, -1, -1};      // L1 data, L1 instruction, L2, L3
    int ways[4] = {-1, -1, -1, -1};
    int line[4] = {-1, -1, -1, -1};
    int instances[4] = {-1, -1, -1, -1};
};

std::vector<Recorded> RecordedDumps() {
    namespace fs = std::filesystem;
    std::vector<Recorded> dumps;
    for (const auto& entry : fs::recursive_directory_iterator(dataPath("cpuid"))) {
        if (entry.path().extension() != ".test") continue;
        Recorded r;
        r.path = fs::relative(entry.path(), dataPath("")).string();
        std::istringstream text(readFile(entry.path().string()));
        std::string line;
        while (std::getline(text, line) && line != std::string(80, '-')) {
        }
        std::vector<int> v;
        while (std::getline(text, line) && v.size() < 30) v.push_back(std::atoi(line.c_str()));
        if (v.size() < 30) continue;
        r.family = v[3], r.model = v[4], r.stepping = v[5], r.extFamily = v[6], r.extModel = v[7];
        r.cores = v[8], r.logical = v[9];
        for (int i = 0; i < 4; ++i) {
            r.size[i] = v[10 + i];
            r.ways[i] = v[15 + i];
            r.line[i] = v[20 + i];
            r.instances[i] = v[25 + i];
        }
        dumps.push_back(r);
    }
    std::sort(dumps.begin(), dumps.end(), [](const Recorded& a, const Recorded& b) { return a.path < b.path; });
    return dumps;
}

bool Contains(const std::string& path, const char* part) { return path.find(part) != std::string::npos; }

void PrintTo(const Recorded& recorded, std::ostream* out) { *out << recorded.path; }

// Where the vendor level answers otherwise than the recorded values, and
// why.
int ExpectedExtFamily(const Recorded& r) {
    // AMD's extended leaf 0x80000001 reports the K6 as family 6 and the
    // Athlon as family 7; the AMD description takes that leaf's family,
    // which chooses the K6 and K7 descriptions, where the recorded value
    // is the base family.
    if (Contains(r.path, "amd-k6-2") || Contains(r.path, "amd-athlon-xp")) return r.extFamily + 1;
    return r.extFamily;
}

int ExpectedCores(const Recorded& r) {
    // A Clarkdale Core i5-650 has 2 cores of 2 threads: its leaf 0xB and
    // its APIC ids 0, 1, 4, 5 say so; the recorded 4 counts threads.
    if (Contains(r.path, "i5-cpu-650")) return 2;
    return r.cores;
}

class Dumps : public ProcessorTest, public ::testing::WithParamInterface<Recorded> {};

TEST_P(Dumps, VendorLevelAnswersMatchTheRecordedValues) {
    const Recorded& r = GetParam();
    Use(DumpOnly(r.path), false);
    ASSERT_EQ(GetSDK()->CreateCPUInterface(0), 1);
    CCPUInterface* cpu = GetSDK()->m_pCPU;
    CProcessor* package = cpu->GetProcessor(0);
    ASSERT_TRUE(package);
    EXPECT_EQ(package->GetFamily(), r.family);
    EXPECT_EQ(package->GetModel(), r.model);
    EXPECT_EQ(package->GetStepping(), r.stepping);
    EXPECT_EQ(package->GetExtFamily(), ExpectedExtFamily(r));
    EXPECT_EQ(package->GetExtModel(), r.extModel);
    // The recorded count is the dump's: the Pentium III dump holds two
    // single-threaded packages.
    EXPECT_EQ(cpu->m_iThreadCount, r.logical);
    EXPECT_EQ(package->GetThreadCount() * cpu->m_iProcessorCount, r.logical);
    EXPECT_EQ(package->GetCoreCount(), ExpectedCores(r));

    const char* names[4] = {"L1 data", "L1 instruction", "L2", "L3"};
    const std::pair<int, int> kinds[4] = {{1, CACHE_DATA}, {1, CACHE_INSTRUCTION}, {2, CACHE_UNIFIED}, {3, CACHE_UNIFIED}};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(names[i]);
        if (r.size[i] <= 0) continue;  // not recorded (0: none, as -1)
        auto [level, type] = kinds[i];
        // The Pentium 4's instruction cache is its trace cache.
        if (type == CACHE_INSTRUCTION && package->CountCaches(1, CACHE_INSTRUCTION) == 0) type = CACHE_TRACE;
        const CCacheDescriptor* cache = package->FindCache(level, type);
        ASSERT_TRUE(cache);
        EXPECT_EQ(cache->m_iSize, r.size[i]);
        if (r.ways[i] != -1) {
            EXPECT_EQ(cache->m_iWays, r.ways[i]);
        }
        if (r.line[i] != -1) {
            EXPECT_EQ(cache->m_iLineSize, r.line[i]);
        }
        if (r.instances[i] != -1) {
            EXPECT_EQ(package->CountCaches(level, type), r.instances[i]);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(CpuidData, Dumps, ::testing::ValuesIn(RecordedDumps()),
                         [](const ::testing::TestParamInfo<Recorded>& row) {
                             std::string name = std::filesystem::path(row.param.path).stem().string();
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

} // namespace
} // namespace vexa::test
