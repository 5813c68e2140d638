// The Haswell and Broadwell description: a Core i7-4765T (its CPUID dump
// with a set of MSRs such a part carries) named and measured; RAPL power in
// the unit of MSR 0x606 with the DRAM counter; the voltage planes of the
// overclocking mailbox, which keep their values when it does not answer;
// the ratio limits of 24 active cores; the names of the decision tree.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/sync.h"
#include "platform/threads.h"
#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/cpu/cpu_package.h"
#include "sdk/cpu/intel_haswell.h"
#include "tests/sdk/cpu/intel_family_test_support.h"

namespace vexa::test {
namespace {

using Haswell = IntelFamilyTest;

Intel_Haswell_Infos* Family(const std::unique_ptr<CCPUThread>& thread) {
    return dynamic_cast<Intel_Haswell_Infos*>(thread->m_pFamilyInfos);
}

float Value(CSensor* sensor) { return sensor ? sensor->m_fValue : -1.0f; }

CSensor* PlaneSensor(const std::unique_ptr<CCPUThread>& thread, int plane) {
    return thread->m_pPackageSensors[PACKAGE_SENSOR_CORE_VOLTAGE + 1 + plane];
}

constexpr const char* kCoreI7_4765T = "cpuid/intel-haswell-broadwell/intel-core-i7-4765t-cpu.test";

// Energy in 2^-14 J; mailbox replies: IA offset +50 only, GT a target of
// 1228 in override mode, LLC/Ring offset -50 only (the 11-bit field 0x7CE),
// none for the System Agent.
const std::string kCoreI7_4765TMsrs = PlatformIdMsr(1) + ", " + PlatformInfoMsr(20, 8) + R"(,
    "0x1A0": "0x0000004000850089",
    "0x1AD": "0x1E1E1F20",
    "0x606": "0x000A0E03",
    "0x611": {"kind": "energy", "watts": 35},
    "0x639": {"kind": "energy", "watts": 20},
    "0x641": {"kind": "energy", "watts": 3},
    "0x619": {"kind": "energy", "watts": 4},
    "0x614": "0x0000000000000118",
    "0x637": {"kind": "counter", "mhz": 24},
    "0x150": {"kind": "oc_mailbox", "busy_reads": 3, "replies": [
        {"command": "0x10", "parameter": 0, "data": "0x06400000"},
        {"command": "0x10", "parameter": 1, "data": "0x0014CC00"},
        {"command": "0x10", "parameter": 2, "data": "0xF9C00000"}]})";

TEST_F(Haswell, CoreI7_4765TNamedFromItsMsrs) {
    UseImage(IntelDumpImage(kCoreI7_4765T, kCoreI7_4765TMsrs, R"("tsc_mhz": 2000)"));
    const auto thread = Identified(0);
    ASSERT_TRUE(Family(thread));
    EXPECT_STREQ(thread->m_szName, "Intel Core i7 4765T");
    EXPECT_STREQ(thread->m_szCodename, "Haswell");
    EXPECT_STREQ(thread->m_szCoreStepping, "C0");
    EXPECT_STREQ(PackageCodeName(thread->m_iPackageCode), "Socket 1150 LGA");
    EXPECT_FLOAT_EQ(thread->m_fTechnology, 0.022f);
    EXPECT_EQ(thread->m_dwClassCode, kIntelHaswellClass | 1);
    EXPECT_FLOAT_EQ(thread->m_fTDP, 35.0f);
    EXPECT_DOUBLE_EQ(Family(thread)->m_dEnergyUnit, 1.0 / 16384.0) << "14 energy-status bits";
    EXPECT_NEAR(Family(thread)->m_Ratios.tsc24Rate, 24.0f, 0.01f);
}

TEST_F(Haswell, RaplPowerInTheUnitOf0x606WithDram) {
    UseImage(IntelDumpImage(kCoreI7_4765T, kCoreI7_4765TMsrs, R"("tsc_mhz": 2000)"));
    const auto thread = Identified(0);
    PinnedTo pinned(0);
    Sleep(500);
    thread->GetPower();
    // The HPET's nominal rate the program takes and the model's differ by
    // 31 ppm.
    EXPECT_NEAR(Value(thread->m_pPackageSensors[PACKAGE_SENSOR_PACKAGE_POWER]), 35.0f, 0.01f);
    EXPECT_NEAR(Value(thread->m_pPackageSensors[PACKAGE_SENSOR_CORES_POWER]), 20.0f, 0.01f);
    EXPECT_NEAR(Value(thread->m_pPackageSensors[PACKAGE_SENSOR_GRAPHICS_POWER]), 3.0f, 0.01f);
    EXPECT_NEAR(Value(thread->m_pPackageSensors[PACKAGE_SENSOR_DRAM_POWER]), 4.0f, 0.01f);
    EXPECT_NEAR(Value(thread->m_pPackageSensors[PACKAGE_SENSOR_UNCORE_POWER]), 12.0f, 0.01f);
}

TEST_F(Haswell, VoltagePlanesFromTheMailbox) {
    UseImage(IntelDumpImage(kCoreI7_4765T, kCoreI7_4765TMsrs, R"("tsc_mhz": 2000)"));
    const auto thread = Identified(0);
    PinnedTo pinned(0);
    thread->GetPower();
    CSensor* ia = PlaneSensor(thread, PLANE_IA);
    ASSERT_TRUE(ia);
    EXPECT_STREQ(ia->m_szName, "IA Offset");
    EXPECT_FLOAT_EQ(ia->m_fValue, 0.05f);
    EXPECT_TRUE(ia->m_dwFlags & SENSOR_FLAG_PLUS_SIGN);
    CSensor* gt = PlaneSensor(thread, PLANE_GT);
    ASSERT_TRUE(gt);
    EXPECT_STREQ(gt->m_szName, "GT");
    EXPECT_FLOAT_EQ(gt->m_fValue, 1.228f);
    EXPECT_FALSE(gt->m_dwFlags & SENSOR_FLAG_PLUS_SIGN);
    CSensor* ring = PlaneSensor(thread, PLANE_RING);
    ASSERT_TRUE(ring);
    EXPECT_STREQ(ring->m_szName, "LLC/Ring Offset");
    EXPECT_FLOAT_EQ(ring->m_fValue, -0.05f) << "the offset is a signed field";
    EXPECT_FALSE(ring->m_dwFlags & SENSOR_FLAG_PLUS_SIGN) << "a negative offset shows its own sign";
    EXPECT_FALSE(PlaneSensor(thread, PLANE_AGENT)) << "the processor reported an error: no data";
    EXPECT_EQ(Family(thread)->m_Planes[PLANE_AGENT].mode, -1);

    const std::string dump = DumpText(Family(thread));
    EXPECT_NE(dump.find("\tRatio 4 cores\t\t30x\n"), std::string::npos);
    EXPECT_EQ(dump.find("\tRatio 5 cores"), std::string::npos) << "a ratio of 0 is no limit";
    EXPECT_EQ(dump.substr(dump.find("\tIA Voltage")), "\tIA Voltage Mode\t\tPCU adaptive\n"
                                                      "\tIA Voltage Offset\t50 mV\n"
                                                      "\tGT Voltage Mode\t\tOverride\n"
                                                      "\tGT Voltage Target\t1228 mV\n"
                                                      "\tGT Voltage Offset\t0 mV\n"
                                                      "\tLLC/Ring Voltage Mode\tPCU adaptive\n"
                                                      "\tLLC/Ring Voltage Offset\t-50 mV\n");
}

// A mailbox that does not finish within its 1000 polls, or stays busy for
// good, leaves the voltages as they were: its low dword is stale.
class HaswellSilentMailbox : public IntelFamilyTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(HaswellSilentMailbox, KeepsThePreviousVoltages) {
    UseImage(IntelPartImage({0x3C, 3, "Intel(R) Core(TM) i7-4770 CPU @ 3.40GHz", 8, 8192},
                            PlatformIdMsr(1) + R"(, "0x150": {"kind": "oc_mailbox", "value": "0x7FFFFFFF", )" +
                                GetParam() + R"(, "replies": [{"command": "0x10", "data": "0x06400000"}]})"));
    const auto thread = Identified(0);
    Intel_Haswell_Infos* infos = Family(thread);
    auto* previous = new CVoltageSensor(1);
    GetSDK()->m_pSensors->AddTail(previous);
    previous->SetValue(1.1f, 1);
    thread->m_pPackageSensors[PACKAGE_SENSOR_CORE_VOLTAGE + 1 + PLANE_IA] = previous;
    infos->m_Planes[PLANE_IA] = VoltagePlaneSettings{0, 1100, 0};
    PinnedTo pinned(0);
    thread->GetPower();
    EXPECT_FLOAT_EQ(previous->m_fValue, 1.1f);
    EXPECT_EQ(infos->m_Planes[PLANE_IA].target, 1100);
    EXPECT_EQ(infos->m_Planes[PLANE_IA].offset, 0);
    EXPECT_FALSE(PlaneSensor(thread, PLANE_GT));
}

INSTANTIATE_TEST_SUITE_P(Mailboxes, HaswellSilentMailbox,
                         ::testing::Values(R"("stuck_busy": true)", R"("busy_reads": 1500)"));

// Another program holds the mailbox: the pass does not touch it.
TEST_F(Haswell, MailboxHeldElsewhereIsLeftAlone) {
    UseImage(IntelDumpImage(kCoreI7_4765T, kCoreI7_4765TMsrs, R"("tsc_mhz": 2000)"));
    const auto thread = Identified(0);
    std::atomic<bool> held{false}, done{false};
    std::thread other([&] {
        // The description made the mutex already: the initial owner is ignored.
        HANDLE mutex = BRENIKSDK::CreateGlobalMutex(0, "Access_Intel_OC_Mailbox");
        held = WaitForSingleObject(mutex, INFINITE) == WAIT_OBJECT_0;
        while (!done) std::this_thread::yield();
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    });
    while (!held) std::this_thread::yield();
    PinnedTo pinned(0);
    hw().setLogging(true);
    thread->GetPower();
    done = true;
    other.join();
    for (const auto& access : hw().accessLog())
        EXPECT_FALSE(access.kind == machine::AccessKind::Msr && access.address == 0x150);
    EXPECT_FALSE(PlaneSensor(thread, PLANE_IA));
}

// An 18-core part reads the ratio limits of 24 active cores from three
// registers and lists those from 1 to 254.
TEST_F(Haswell, RatioLimitsOfTwentyFourActiveCores) {
    UseImage(IntelPartImage({0x3F, 2, "Intel(R) Xeon(R) CPU E5-2699 v3 @ 2.30GHz", 36, 46080},
                            PlatformIdMsr(0) + R"(, "0x1AD": "0x1A1B1C1D1E1F2021", "0x1AE": "0x00FF1A1A1A1A1A1A",
                                "0x1AF": "0x1919")"));
    const auto thread = Identified(0);
    EXPECT_STREQ(thread->m_szName, "Intel Xeon E5 2699 v3");
    EXPECT_STREQ(thread->m_szCodename, "Haswell-E/EP");
    EXPECT_EQ(Family(thread)->m_Ratios.maxTurboRatio, 33);
    EXPECT_FLOAT_EQ(thread->m_fMaxMultiplier, 33.0f);
    const std::string dump = DumpText(Family(thread));
    EXPECT_NE(dump.find("\tRatio 1 core\t\t33x\n\tRatio 2 cores\t\t32x\n"), std::string::npos);
    EXPECT_NE(dump.find("\tRatio 14 cores\t\t26x\n\tRatio 17 cores\t\t25x\n\tRatio 18 cores\t\t25x\n"),
              std::string::npos)
        << "255 for 15 cores and 0 for 16 are no limits";
    EXPECT_EQ(dump.find("\tRatio 19 cores"), std::string::npos);
}

// ---- Names ----

struct NameCase {
    const char* name;
    IntelPart part;
    std::string msrs;
    const char* expected;
    const char* codename;
    int32_t package;
};

void PrintTo(const NameCase& c, std::ostream* out) { *out << c.name; }

class HaswellNames : public IntelFamilyTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(HaswellNames, FromTheTree) {
    const NameCase& c = GetParam();
    UseImage(IntelPartImage(c.part, c.msrs));
    const auto thread = Identified(0);
    EXPECT_STREQ(thread->m_szName, c.expected);
    EXPECT_STREQ(thread->m_szCodename, c.codename);
    EXPECT_EQ(thread->m_iPackageCode, c.package);
}

INSTANTIATE_TEST_SUITE_P(
    Parts, HaswellNames,
    ::testing::Values(
        NameCase{"UltWholeName", {0x45, 1, "Intel(R) Core(TM) i7-4500U CPU @ 1.80GHz", 4, 4096}, PlatformIdMsr(6),
                 "Intel Core i7 4500U", "Haswell ULT", 0x10048},
        NameCase{"CoreM", {0x3D, 4, "Intel(R) Core(TM) M-5Y10a CPU @ 0.80GHz", 4, 4096}, PlatformIdMsr(7),
                 "Intel Core M 5Y10a", "Broadwell-Y", 0x10050},
        NameCase{"BroadwellUKeepsThePreset", {0x3D, 4, "Intel(R) Core(TM) i5-5200U CPU @ 2.20GHz", 4, 3072},
                 PlatformIdMsr(6), "Intel Core i3/i5/i7 5xxx", "Broadwell-U", -1},
        NameCase{"HaswellEExtreme", {0x3F, 2, "Intel(R) Core(TM) i7-5960X CPU @ 3.00GHz", 16, 20480},
                 PlatformIdMsr(2), "Intel Core i7 5960X", "Haswell-E/EP", 0x1002E},
        NameCase{"XeonE3WithoutListedNumber", {0x3C, 3, "Intel(R) Xeon(R) CPU E3-1234 v3 @ 3.30GHz", 8, 8192},
                 PlatformIdMsr(1), "Intel Xeon E3 v3", "Haswell-WS", 0x10040},
        NameCase{"CoreI3WithoutTurbo", {0x3C, 3, "Intel(R) Core(TM) i3-4130 CPU @ 3.40GHz", 4, 3072, false},
                 PlatformIdMsr(1), "Intel Core i3 4130", "Haswell", 0x10040},
        NameCase{"CrystalWell", {0x46, 1, "Intel(R) Core(TM) i7-4950HQ CPU @ 2.40GHz", 8, 6144}, PlatformIdMsr(5),
                 "Intel Core i7 4950HQ", "Crystal Well", 0x10047},
        NameCase{"BroadwellDesktop", {0x47, 1, "Intel(R) Core(TM) i7-5775C CPU @ 3.30GHz", 8, 6144},
                 PlatformIdMsr(1), "Intel Core i3/i5/i7 5xxx", "Broadwell", -1}),
    [](const ::testing::TestParamInfo<NameCase>& row) { return std::string(row.param.name); });

} // namespace
} // namespace vexa::test
