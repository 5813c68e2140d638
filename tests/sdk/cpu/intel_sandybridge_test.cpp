// The Sandy Bridge and Ivy Bridge description: a Core i5-2400 (its CPUID
// dump with a set of MSRs such a part carries) named, measured and dumped;
// RAPL power over a counter wrap and the uncore share; the names of the
// decision tree; the package and core steppings read from the chipset and
// the uncore.
#include <gtest/gtest.h>

#include "platform/threads.h"
#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/cpu/cpu_package.h"
#include "sdk/cpu/intel_sandybridge.h"
#include "tests/sdk/cpu/intel_family_test_support.h"

namespace vexa::test {
namespace {

using SandyBridge = IntelFamilyTest;

Intel_Sandy_Bridge_Infos* Family(const std::unique_ptr<CCPUThread>& thread) {
    return dynamic_cast<Intel_Sandy_Bridge_Infos*>(thread->m_pFamilyInfos);
}

float Value(CSensor* sensor) { return sensor ? sensor->m_fValue : -1.0f; }

constexpr const char* kCoreI5_2400 = "cpuid/intel-sandybridge-ivybridge/intel-core-i5-2400-cpu.test";

// The MSRs of an i5-2400 at 31 x 100 MHz whose firmware switched turbo off
// (bit 38 of 0x1A0, which hides the CPUID bit too). The package counter is
// 0.19 s of its 50 W short of wrapping when the thread has been identified.
const std::string kCoreI5_2400Msrs = PlatformIdMsr(1) + ", " + PlatformInfoMsr(31, 16) + R"(,
    "0x1A0": "0x0000004000850089",
    "0x198": "0x0000233300001F00",
    "0x194": "0x0",
    "0x1A2": "0x00620000",
    "0x19C": "0x88280000",
    "0x1B1": "0x882D0000",
    "0x1AD": "0x20212222",
    "0x606": "0x000A1003",
    "0x611": {"kind": "energy", "watts": 50, "value": "0xFFC40000"},
    "0x639": {"kind": "energy", "watts": 30},
    "0x641": {"kind": "energy", "watts": 5},
    "0x614": "0x000004B0019002F8",
    "0xE7": {"kind": "counter", "mhz": 3100},
    "0xE8": {"kind": "counter", "mhz": 3100},
    "0x30A": {"kind": "fixed_counter", "mhz": 3400},
    "0x30B": {"kind": "fixed_counter", "mhz": 3100},
    "0x38D": "0x0",
    "0x38F": "0x000000070000000F")";

TEST_F(SandyBridge, CoreI5_2400NamedFromItsMsrs) {
    UseImage(IntelDumpImage(kCoreI5_2400, kCoreI5_2400Msrs, R"("tsc_mhz": 3100)"));
    const auto thread = Identified(0);
    Intel_Sandy_Bridge_Infos* infos = Family(thread);
    ASSERT_TRUE(infos);
    EXPECT_STREQ(thread->m_szName, "Intel Core i5 2400");
    EXPECT_STREQ(thread->m_szCodename, "Sandy Bridge");
    EXPECT_STREQ(thread->m_szCoreStepping, "D2");
    EXPECT_STREQ(PackageCodeName(thread->m_iPackageCode), "Socket 1155 LGA");
    EXPECT_FLOAT_EQ(thread->m_fTechnology, 0.032f);
    EXPECT_EQ(thread->m_dwClassCode, kIntelSandyBridgeClass | 5);
    EXPECT_EQ(thread->m_iStockClock, 3100);
    EXPECT_FLOAT_EQ(thread->m_fTDP, 95.0f);
    EXPECT_FLOAT_EQ(thread->m_fTjMax, 98.0f);
    EXPECT_FLOAT_EQ(thread->m_fMaxMultiplier, 34.0f);
    EXPECT_FLOAT_EQ(thread->m_fMinMultiplier, 16.0f);
    EXPECT_EQ(infos->m_Ratios.turbo.supported, 1) << "switched off by the firmware";
    EXPECT_EQ(infos->m_Ratios.turbo.enabled, 0);
    EXPECT_NEAR(infos->m_Ratios.tscRate, 3100.0f, 1.0f);
    EXPECT_NEAR(infos->m_Ratios.aperfRate, 3100.0f, 1.0f);

    const std::string dump = DumpText(infos);
    EXPECT_EQ(dump.substr(0, dump.find("\tTSC")), "\tTurbo Mode\t\tsupported, disabled\n"
                                                  "\tMax non-turbo ratio\t31x\n"
                                                  "\tMax turbo ratio\t\t34x\n"
                                                  "\tMax efficiency ratio\t16x\n"
                                                  "\tMax Power\t\t150 Watts\n"
                                                  "\tMin Power\t\t50 Watts\n"
                                                  "\tO/C bins\t\tnone\n"
                                                  "\tRatio 1 core\t\t34x\n"
                                                  "\tRatio 2 cores\t\t34x\n"
                                                  "\tRatio 3 cores\t\t33x\n"
                                                  "\tRatio 4 cores\t\t32x\n");
    EXPECT_NE(dump.find("\tMPERF\t\t\t3"), std::string::npos);
}

TEST_F(SandyBridge, MultiplierVidTemperaturesAndCoreClock) {
    UseImage(IntelDumpImage(kCoreI5_2400, kCoreI5_2400Msrs, R"("tsc_mhz": 3100)"));
    const auto thread = Identified(0);
    PinnedTo pinned(0);
    EXPECT_FLOAT_EQ(thread->GetMultiplier(), 31.0f);
    EXPECT_NEAR(Value(thread->m_pPackageSensors[PACKAGE_SENSOR_CORE_VOLTAGE]), 1.1f, 0.001f);
    EXPECT_FLOAT_EQ(thread->GetTemperature(), 58.0f);
    EXPECT_FLOAT_EQ(Value(thread->m_pPackageSensors[PACKAGE_SENSOR_TEMPERATURE]), 53.0f);
    // Core cycles at 3400 MHz against reference cycles at the TSC's 3100.
    EXPECT_NEAR(thread->GetCoreClock(), 3400.0f, 1.0f);
    EXPECT_EQ(Msr(0, 0x38D), 0u);
    EXPECT_EQ(Msr(0, 0x38F), 0x000000070000000Full);
    EXPECT_EQ(thread->GetBusClock(), -1.0f) << "only mobile parts take it from the TSC";
}

// The counters count 2^-16 J; the description takes 15.3 uJ a count.
TEST_F(SandyBridge, RaplPowerAcrossACounterWrapAndTheUncoreShare) {
    UseImage(IntelDumpImage(kCoreI5_2400, kCoreI5_2400Msrs, R"("tsc_mhz": 3100)"));
    const auto thread = Identified(0);
    PinnedTo pinned(0);
    auto* package = static_cast<CPowerSensor*>(thread->m_pPackageSensors[PACKAGE_SENSOR_PACKAGE_POWER]);
    ASSERT_TRUE(package);
    EXPECT_EQ(package->m_fValue, -1.0f) << "the first sample only primes the sensor";
    const double before = package->m_dPreviousEnergy;
    Sleep(500);
    thread->GetPower();
    EXPECT_LT(package->m_dPreviousEnergy, before) << "the counter wrapped in between";
    const auto watts = [](double drawn) { return static_cast<float>(drawn * 65536.0 * 15.3e-6); };
    EXPECT_NEAR(package->m_fValue, watts(50), 0.01f);
    EXPECT_NEAR(Value(thread->m_pPackageSensors[PACKAGE_SENSOR_CORES_POWER]), watts(30), 0.01f);
    EXPECT_NEAR(Value(thread->m_pPackageSensors[PACKAGE_SENSOR_GRAPHICS_POWER]), watts(5), 0.01f);
    EXPECT_NEAR(Value(thread->m_pPackageSensors[PACKAGE_SENSOR_UNCORE_POWER]), watts(15), 0.02f);
    EXPECT_FALSE(thread->m_pPackageSensors[PACKAGE_SENSOR_DRAM_POWER]) << "Sandy Bridge reads no DRAM counter";
}

struct RaplCase {
    const char* name;
    std::string msrs;
    bool uncoreSensor;
    float uncore;  // watts of 2^-16 J counts at 15.3 uJ; -1: no reading
};

class SandyBridgeRapl : public IntelFamilyTest, public ::testing::WithParamInterface<RaplCase> {};

TEST_P(SandyBridgeRapl, UncoreSensorAndShare) {
    UseImage(IntelPartImage({0x2A, 7, "Intel(R) Core(TM) i5-2400 CPU @ 3.10GHz", 4, 6144}, GetParam().msrs));
    const auto thread = Identified(0);
    PinnedTo pinned(0);
    Sleep(500);
    thread->GetPower();
    CSensor* uncore = thread->m_pPackageSensors[PACKAGE_SENSOR_UNCORE_POWER];
    EXPECT_EQ(uncore != nullptr, GetParam().uncoreSensor);
    if (uncore) {
        EXPECT_NEAR(uncore->m_fValue, GetParam().uncore, 0.02f);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Counters, SandyBridgeRapl,
    ::testing::Values(
        RaplCase{"WithoutCoresCounter", R"("0x611": {"kind": "energy", "watts": 40})", false, 0},
        RaplCase{"WithoutGraphicsCounter",
                 R"("0x611": {"kind": "energy", "watts": 40}, "0x639": {"kind": "energy", "watts": 25})", true,
                 static_cast<float>(15 * 65536 * 15.3e-6)},
        // A package counter that stands still gives no reading, and the
        // uncore none either.
        RaplCase{"PackageCounterStandsStill", R"("0x611": "0x1234", "0x639": {"kind": "energy", "watts": 25})", true,
                 -1.0f}),
    [](const ::testing::TestParamInfo<RaplCase>& row) { return std::string(row.param.name); });

// ---- Names ----

struct NameCase {
    const char* name;
    IntelPart part;
    std::string msrs;
    const char* expected;
    const char* codename;
    const char* stepping;
    int32_t package;
};

void PrintTo(const NameCase& c, std::ostream* out) { *out << c.name; }

class SandyBridgeNames : public IntelFamilyTest, public ::testing::WithParamInterface<NameCase> {};

// The stock clock texts have no 2.90GHz: the 2.9 GHz parts take 29 x 100
// MHz from MSR 0xCE.

TEST_P(SandyBridgeNames, FromTheTree) {
    const NameCase& c = GetParam();
    UseImage(IntelPartImage(c.part, c.msrs));
    const auto thread = Identified(0);
    EXPECT_STREQ(thread->m_szName, c.expected);
    EXPECT_STREQ(thread->m_szCodename, c.codename);
    EXPECT_STREQ(thread->m_szCoreStepping, c.stepping);
    EXPECT_EQ(thread->m_iPackageCode, c.package);
}

INSTANTIATE_TEST_SUITE_P(
    Parts, SandyBridgeNames,
    ::testing::Values(
        NameCase{"MobileExtreme", {0x2A, 7, "Intel(R) Core(TM) i7-2920XM CPU @ 2.50GHz", 8, 8192},
                 PlatformIdMsr(4), "Intel Core i7 Extreme 2920XM", "Sandy Bridge", "D2", 0x10035},
        NameCase{"MobileByTurboRatio", {0x2A, 7, "Intel(R) Core(TM) i7-2617M CPU @ 1.50GHz", 4, 4096},
                 PlatformIdMsr(4) + R"(, "0x1AD": "0x1A")", "Intel Core i7 2617M", "Sandy Bridge", "D2", 0x10035},
        NameCase{"CeleronB800", {0x2A, 7, "Intel(R) Celeron(R) CPU B800 @ 1.50GHz", 2, 2048}, PlatformIdMsr(4),
                 "Intel Celeron B800", "Sandy Bridge", "D2", 0x10035},
        NameCase{"Pentium987", {0x2A, 7, "Intel(R) Pentium(R) CPU 987 @ 1.50GHz", 2, 2048}, PlatformIdMsr(4),
                 "Intel Pentium 987", "Sandy Bridge", "D2", 0x10035},
        NameCase{"SandyBridgeE3960X", {0x2D, 7, "Intel(R) Core(TM) i7-3960X CPU @ 3.30GHz", 12, 15360},
                 PlatformIdMsr(1), "Intel Core i7 3960X", "Sandy Bridge-E", "C2", 0x1002E},
        NameCase{"SandyBridgeENWithoutSuffix", {0x2D, 7, "Intel(R) Xeon(R) CPU E5-2420 0 @ 1.90GHz", 16, 15360},
                 PlatformIdMsr(3), "Intel Xeon E5", "Sandy Bridge-EN", "C2", 0x10044},
        NameCase{"IvyXeonV2", {0x3A, 9, "Intel(R) Xeon(R) CPU E3-1230 V2 @ 3.30GHz", 8, 8192}, PlatformIdMsr(1),
                 "Intel Xeon E3 1230 v2", "Ivy Bridge", "E1/L1", 0x1002D},
        NameCase{"IvyN0Stepping", {0x3A, 9, "Intel(R) Core(TM) i5-3470 CPU @ 3.20GHz", 4, 6144}, PlatformIdMsr(1),
                 "Intel Core i5 3470", "Ivy Bridge", "N0", 0x1002D},
        NameCase{"Ivy3470TInTheCoreI3Branch", {0x3A, 9, "Intel(R) Core(TM) i5-3470T CPU @ 2.90GHz", 4, 3072},
                 PlatformIdMsr(1) + ", " + PlatformInfoMsr(29), "Intel Core i5", "Ivy Bridge", "L1", 0x1002D},
        NameCase{"Ivy3240TWithTdp35", {0x3A, 9, "Intel(R) Core(TM) i3-3240T CPU @ 2.90GHz", 4, 6144},
                 PlatformIdMsr(1) + ", " + PlatformInfoMsr(29) + R"(, "0x614": "280")", "Intel Core i3 3240T",
                 "Ivy Bridge", "E1/L1", 0x1002D},
        NameCase{"IvyEPV2", {0x3E, 4, "Intel(R) Xeon(R) CPU E5-2695 v2 @ 2.40GHz", 24, 30720}, PlatformIdMsr(0),
                 "Intel Xeon E5 2695 v2", "Ivy Bridge-EP/EX", "C0/C1", 0x1002E}),
    [](const ::testing::TestParamInfo<NameCase>& row) { return std::string(row.param.name); });

// An Ivy Bridge i3 of the mobile branch has no turbo, whatever CPUID says.
TEST_F(SandyBridge, MobileCoreI3BranchClearsTurbo) {
    UseImage(IntelPartImage({0x3A, 9, "Intel(R) Core(TM) i3-3110M CPU @ 2.40GHz", 4, 3072}, PlatformIdMsr(4)));
    const auto thread = Identified(0);
    EXPECT_STREQ(thread->m_szName, "Intel Core i3 3110M");
    EXPECT_EQ(Family(thread)->m_Ratios.turbo.supported, 0);
    EXPECT_EQ(Family(thread)->m_Ratios.turbo.enabled, 0);
}

// A mobile part soldered down: the host bridge's capability (register
// 0xE0, ID 9) has bit 19 of register 0xE8 set.
TEST_F(SandyBridge, MobilePackageFromTheHostBridge) {
    const std::string hostBridge = "00:00.0 Host bridge: Intel Corporation 2nd Generation Core Processor DRAM\n"
                                   "00: 86 80 04 01 06 00 90 20 09 00 00 06 00 00 00 00\n"
                                   "e0: 09 00 0c 01 00 00 00 00 00 00 08 00 00 00 00 00\n";
    UseImage(IntelPartImage({0x2A, 7, "Intel(R) Core(TM) i7-2620M CPU @ 2.70GHz", 4, 4096}, PlatformIdMsr(4), "",
                            hostBridge),
             true);
    const auto thread = Identified(0);
    EXPECT_STREQ(PackageCodeName(thread->m_iPackageCode), "Socket 1023 FCBGA");
    EXPECT_EQ(thread->m_bMobile, 1u);
}

// The member of an Ivy Bridge-EP's stepping pair from its uncore.
TEST_F(SandyBridge, IvyBridgeEPSteppingFromTheUncore) {
    const std::string uncore = "00:00.0 Host bridge: Intel Corporation Xeon E7 v2/Xeon E5 v2/Core i7 DMI2\n"
                               "00: 86 80 00 0e 00 00 10 00 04 00 00 06 00 00 00 00\n"
                               "ff:0a.3 Host bridge: Intel Corporation Xeon E7 v2/Xeon E5 v2/Core i7 Power Control\n"
                               "00: 86 80 f3 0e 00 00 00 00 04 00 00 08 00 00 80 00\n"
                               "90: 00 00 00 00 00 00 40 00 00 00 00 00 00 00 00 00\n";
    UseImage(IntelPartImage({0x3E, 4, "Intel(R) Xeon(R) CPU E5-2697 v2 @ 2.70GHz", 24, 30720}, PlatformIdMsr(0), "",
                            uncore),
             true);
    const auto thread = Identified(0);
    EXPECT_STREQ(thread->m_szCoreStepping, "C0") << "field 8 of register 0x94 bits 23:19, 12 cores";
    EXPECT_STREQ(thread->m_szName, "Intel Xeon E5 2697 v2");
}

} // namespace
} // namespace vexa::test
