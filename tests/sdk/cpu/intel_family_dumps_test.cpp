// Every dump of tests/data/cpuid of the Nehalem, Westmere, Sandy Bridge,
// Ivy Bridge, Haswell, Broadwell and Skylake generations as an image of its
// CPUID alone: the name of its model and, where the model gives one
// without the platform-ID MSR, the codename of its generation; nothing the
// MSRs would tell. A newer processor gets the vendor's answers.
#include <gtest/gtest.h>

#include "sdk/core/sdk.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_interface.h"
#include "sdk/cpu/cpu_package.h"
#include "tests/sdk/cpu/intel_family_test_support.h"

namespace vexa::test {
namespace {

struct DumpCase {
    const char* name;
    const char* file;
    const char* processor;
    const char* codename;
    const char* stepping;
    float technology;
    float tjMax;  // Sandy Bridge and later take 100 without MSR 0x1A2
};

void PrintTo(const DumpCase& c, std::ostream* out) { *out << c.name; }

class IntelFamilyDumps : public ProcessorTest, public ::testing::WithParamInterface<DumpCase> {};

TEST_P(IntelFamilyDumps, NameAndCodenameWithoutMsrs) {
    const DumpCase& c = GetParam();
    Use(DumpOnly(std::string("cpuid/") + c.file), false);
    ASSERT_EQ(GetSDK()->CreateCPUInterface(0), 1);
    CProcessor* package = GetSDK()->m_pCPU->GetProcessor(0);
    ASSERT_TRUE(package);
    EXPECT_STREQ(package->GetName(), c.processor);
    EXPECT_STREQ(package->GetCodename(), c.codename);
    EXPECT_STREQ(package->GetCoreSteppingText(), c.stepping);
    EXPECT_FLOAT_EQ(package->GetTechnology(), c.technology);
    EXPECT_STREQ(package->GetPackageName(), "") << "no platform ID";
    EXPECT_EQ(package->GetTjMax(), c.tjMax);
    EXPECT_EQ(package->GetTDP(), -1.0f);
}

INSTANTIATE_TEST_SUITE_P(
    CpuidData, IntelFamilyDumps,
    ::testing::Values(
        DumpCase{"CoreI7_920", "intel-nehalem-westmere/intel-core-i7-cpu-920.test", "Intel Core i7", "Nehalem",
                 "C0/C1", 0.045f, -1.0f},
        DumpCase{"CoreI5_750", "intel-nehalem-westmere/intel-core-i5-cpu-750.test", "Intel Core i7", "", "B1", 0.045f, -1.0f},
        DumpCase{"CoreI5_650", "intel-nehalem-westmere/intel-core-i5-cpu-650.test", "Intel Core i5", "", "C2", 0.032f, -1.0f},
        DumpCase{"CoreI5_2400", "intel-sandybridge-ivybridge/intel-core-i5-2400-cpu.test", "Intel Core i3/i5/i7",
                 "Sandy Bridge", "D2", 0.032f, 100.0f},
        DumpCase{"CoreI5_3570K", "intel-sandybridge-ivybridge/intel-core-i5-3570k-cpu.test", "Intel Core i3/i5/i7",
                 "Ivy Bridge", "E1/L1", 0.022f, 100.0f},
        DumpCase{"CoreI7_4765T", "intel-haswell-broadwell/intel-core-i7-4765t-cpu.test", "Intel Core i3/i5/i7 4xxx",
                 "Haswell", "C0", 0.022f, 100.0f},
        DumpCase{"CoreI7_5775C", "intel-haswell-broadwell/intel-core-i7-5775c-cpu.test", "Intel Core i3/i5/i7 5xxx",
                 "Broadwell", "", 0.014f, 100.0f},
        DumpCase{"CoreI7_6700K", "intel-skylake/intel-core-i7-6700k-cpu.test", "Intel Core i3/i5/i7 6xxx", "Skylake",
                 "", 0.014f, 100.0f}),
    [](const ::testing::TestParamInfo<DumpCase>& row) { return std::string(row.param.name); });

// The same dumps with the platform ID (and, where the firmware hid the
// turbo bit of leaf 6, MSR 0x1A0 with turbo switched off; for Lynnfield the
// TDP of MSR 0x1AC): the tree's other keys come from the bytes, the logical
// processors of leaf 0xB, the level-3 cache of leaf 4, the turbo bit of
// leaf 6 and the stock clock of the brand string, and name the model.
struct NamedDumpCase {
    const char* name;
    const char* file;
    std::string msrs;
    const char* processor;
    const char* codename;
    int32_t package;
};

void PrintTo(const NamedDumpCase& c, std::ostream* out) { *out << c.name; }

class IntelFamilyDumpsNamed : public IntelFamilyTest, public ::testing::WithParamInterface<NamedDumpCase> {};

TEST_P(IntelFamilyDumpsNamed, ModelNumberFromTheBytesAndThePlatformId) {
    const NamedDumpCase& c = GetParam();
    UseImage(IntelDumpImage(std::string("cpuid/") + c.file, c.msrs));
    const auto thread = Identified(0);
    EXPECT_STREQ(thread->m_szName, c.processor);
    EXPECT_STREQ(thread->m_szCodename, c.codename);
    EXPECT_EQ(thread->m_iPackageCode, c.package);
}

const std::string kTurboSwitchedOff = R"("0x1A0": "0x0000004000850089")";

INSTANTIATE_TEST_SUITE_P(
    CpuidData, IntelFamilyDumpsNamed,
    ::testing::Values(
        NamedDumpCase{"CoreI7_920", "intel-nehalem-westmere/intel-core-i7-cpu-920.test",
                      PlatformIdMsr(1) + ", " + PlatformInfoMsr(20), "Intel Core i7 920", "Bloomfield", 0x10028},
        NamedDumpCase{"CoreI5_750", "intel-nehalem-westmere/intel-core-i5-cpu-750.test",
                      PlatformIdMsr(1) + ", " + PlatformInfoMsr(20) + ", " + kTurboSwitchedOff +
                          R"(, "0x1AC": ")" + std::to_string((100u << 19) | (95u * 8)) + "\"",
                      "Intel Core i5 750", "Lynnfield", 0x10027},
        NamedDumpCase{"CoreI5_650", "intel-nehalem-westmere/intel-core-i5-cpu-650.test",
                      PlatformIdMsr(1) + ", " + PlatformInfoMsr(24), "Intel Core i5 650", "Clarkdale", 0x10027},
        NamedDumpCase{"CoreI5_2400", "intel-sandybridge-ivybridge/intel-core-i5-2400-cpu.test",
                      PlatformIdMsr(1) + ", " + PlatformInfoMsr(31) + ", " + kTurboSwitchedOff, "Intel Core i5 2400",
                      "Sandy Bridge", 0x1002D},
        NamedDumpCase{"CoreI5_3570K", "intel-sandybridge-ivybridge/intel-core-i5-3570k-cpu.test",
                      PlatformIdMsr(1) + ", " + PlatformInfoMsr(34), "Intel Core i5 3570K", "Ivy Bridge", 0x1002D},
        NamedDumpCase{"CoreI7_4765T", "intel-haswell-broadwell/intel-core-i7-4765t-cpu.test",
                      PlatformIdMsr(1) + ", " + PlatformInfoMsr(20) + ", " + kTurboSwitchedOff, "Intel Core i7 4765T",
                      "Haswell", 0x10040}),
    [](const ::testing::TestParamInfo<NamedDumpCase>& row) { return std::string(row.param.name); });

// A Kaby Lake (extended model 0x9E) is newer than every description here:
// the vendor level names it, with its MSRs or without.
TEST_F(IntelFamilyTest, NewerProcessorGetsTheVendorAnswers) {
    UseImage(IntelPartImage({0x9E, 9, "Intel(R) Core(TM) i7-7700K CPU @ 4.20GHz", 8, 8192},
                            PlatformIdMsr(1) + ", " + PlatformInfoMsr(42) + R"(, "0x611": {"kind": "energy", "watts": 9})"));
    const auto thread = Identified(0);
    EXPECT_FALSE(thread->m_pFamilyInfos);
    EXPECT_STREQ(thread->m_szName, "Intel Processor");
    EXPECT_EQ(thread->m_dwClassCode, uint32_t(CPU_CLASS_INTEL));
    PinnedTo pinned(0);
    EXPECT_EQ(thread->GetPower(), -1.0f);
    EXPECT_EQ(thread->GetTemperature(), -1.0f);
}

} // namespace
} // namespace vexa::test
