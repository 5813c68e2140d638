// The Nehalem and Westmere description: the Core i7 920 of the x58 sample
// image from its MSRs and uncore, the names of the decision tree, the stock
// clock texts, the package power estimate, the uncore functions of a
// second package, and the counter controls that the core-clock
// measurement puts back.
#include <gtest/gtest.h>

#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/cpu/cpu_package.h"
#include "sdk/cpu/intel_nehalem.h"
#include "sdk/hw/pci_interface.h"
#include "tests/sdk/cpu/intel_family_test_support.h"
#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

using Nehalem = IntelFamilyTest;

Intel_Nehalem_Infos* Family(const std::unique_ptr<CCPUThread>& thread) {
    return dynamic_cast<Intel_Nehalem_Infos*>(thread->m_pFamilyInfos);
}

TEST_F(Nehalem, CoreI7_920OfTheX58Image) {
    UseImage(loadMachine(sourcePath("machines/x58-nehalem")), true);
    const auto thread = Identified(0);
    Intel_Nehalem_Infos* infos = Family(thread);
    ASSERT_TRUE(infos);
    PinnedTo pinned(0);
    EXPECT_STREQ(thread->m_szName, "Intel Core i7 920");
    EXPECT_STREQ(thread->m_szCodename, "Bloomfield");
    EXPECT_STREQ(thread->m_szCoreStepping, "C0/C1");
    EXPECT_STREQ(PackageCodeName(thread->m_iPackageCode), "Socket 1366 LGA");
    EXPECT_FLOAT_EQ(thread->m_fTechnology, 0.045f);
    EXPECT_EQ(thread->m_dwClassCode, kIntelNehalemClass | 1);
    EXPECT_EQ(thread->m_iPlatformId, 1);
    EXPECT_EQ(thread->m_iStockClock, 2666) << "from the brand string's 2.67GHz";
    EXPECT_EQ(thread->m_iNominalBusClock, 133);
    EXPECT_FLOAT_EQ(thread->m_fMaxNonTurboMultiplier, 20.0f);
    EXPECT_FLOAT_EQ(thread->m_fMinMultiplier, 12.0f);
    EXPECT_FLOAT_EQ(thread->m_fMaxMultiplier, 22.0f);
    EXPECT_FLOAT_EQ(thread->m_fTjMax, 100.0f);
    EXPECT_EQ(thread->m_iLinkMultiplier, 18) << "register 0x50 of the QPI physical layer ff:02.1";
    EXPECT_EQ(infos->m_iMaxTurboFrequency, 2933) << "22 x 133.34 MHz";
    EXPECT_EQ(infos->m_iMaxBusNumber, -1) << "the image has no MSR 0x300";

    EXPECT_EQ(thread->GetMultiplier(), -1.0f) << "0.0 from the description: measure the core clock";
    EXPECT_FLOAT_EQ(thread->m_fEffectiveMultiplier, 20.0f);
    EXPECT_FLOAT_EQ(thread->GetTemperature(), 42.0f) << "TjMax 100 less the readout 58";
    // Against the PM timer's whole ticks: within a few hundredths of a percent.
    EXPECT_NEAR(thread->GetBusClock(), 2667.0f / 20.0f, 0.05f);
    EXPECT_NEAR(thread->GetCoreClock(), 2667.0f, 1.0f);
    EXPECT_EQ(Msr(0, 0x38D), 0u) << "the counter controls are back";
    EXPECT_EQ(Msr(0, 0x38F), 0x000000070000000Full);
    EXPECT_EQ(thread->GetPower(), -1.0f) << "no TDP and TDC limits";

    EXPECT_EQ(DumpText(infos), "\tTurbo Mode\t\tsupported, enabled\n"
                               "\tMax turbo frequency\t2933 MHz\n"
                               "\tMax non-turbo ratio\t20x\n"
                               "\tMax turbo ratio\t\t22x\n"
                               "\tMax efficiency ratio\t12x\n");
}

// The rate measurements name the PM timer's port to the driver; a timer
// reading in its place is no port the driver can count against.
TEST_F(Nehalem, RateMeasurementsCountAgainstThePmTimerPort) {
    UseImage(loadMachine(sourcePath("machines/x58-nehalem")));
    const auto thread = Identified(0);
    PinnedTo pinned(0);
    hw().setLogging(true);
    EXPECT_GT(thread->GetBusClock(), 0.0f);
    bool timerRead = false;
    for (const auto& access : hw().accessLog())
        timerRead = timerRead || (access.kind == machine::AccessKind::Port && access.address == 0x808);
    EXPECT_TRUE(timerRead);
}

// A count that fails halfway still puts the counter controls back.
TEST_F(Nehalem, CoreClockPutsTheCounterControlsBackWhenItFails) {
    UseImage(loadMachine(sourcePath("machines/x58-nehalem")));
    const auto thread = Identified(0);
    PinnedTo pinned(0);
    hw().injectFault(machine::Fault{machine::AccessKind::Msr, machine::AccessDir::Read, 0x30B, 0x30B, {}});
    EXPECT_EQ(thread->GetCoreClock(), -1.0f);
    hw().clearFaults();
    EXPECT_EQ(Msr(0, 0x38D), 0u);
    EXPECT_EQ(Msr(0, 0x38F), 0x000000070000000Full);
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

class NehalemNames : public IntelFamilyTest, public ::testing::WithParamInterface<NameCase> {};

// MSR 0x1AC with a TDP in watts and a TDC limit of 100 A.
std::string Tdp(int watts) { return "\"0x1AC\": \"" + std::to_string((100u << 19) | (watts * 8u)) + "\""; }

TEST_P(NehalemNames, FromTheTree) {
    const NameCase& c = GetParam();
    UseImage(IntelPartImage(c.part, c.msrs));
    const auto thread = Identified(0);
    EXPECT_STREQ(thread->m_szName, c.expected);
    EXPECT_STREQ(thread->m_szCodename, c.codename);
    EXPECT_EQ(thread->m_iPackageCode, c.package);
}

const std::string kBloomfield = PlatformIdMsr(1) + ", " + PlatformInfoMsr(24, 12, true);

INSTANTIATE_TEST_SUITE_P(
    Parts, NehalemNames,
    ::testing::Values(
        NameCase{"Extreme965", {0x1A, 5, "Intel(R) Core(TM) i7 CPU 965 @ 3.20GHz", 8, 8192}, kBloomfield,
                 "Intel Core i7 Extreme 965", "Bloomfield", 0x10028},
        NameCase{"XeonW3570", {0x1A, 5, "Intel(R) Xeon(R) CPU W3570 @ 3.20GHz", 8, 8192},
                 PlatformIdMsr(1) + ", " + PlatformInfoMsr(24), "Intel Xeon W3570", "Bloomfield", 0x10028},
        NameCase{"GainestownE5520ByTdpAndCache", {0x1A, 5, "Intel(R) Xeon(R) CPU E5520 @ 2.27GHz", 8, 8192},
                 PlatformIdMsr(0) + ", " + PlatformInfoMsr(17) + ", " + Tdp(80), "Intel Xeon E5520", "Gainestown",
                 0x10028},
        NameCase{"Lynnfield870", {0x1E, 5, "Intel(R) Core(TM) i7 CPU 870 @ 2.93GHz", 8, 8192},
                 PlatformIdMsr(1) + ", " + PlatformInfoMsr(22) + ", " + Tdp(95), "Intel Core i7 870", "Lynnfield",
                 0x10027},
        NameCase{"LynnfieldThreadsUnknown", {0x1E, 5, "Intel(R) Core(TM) i5 CPU 750 @ 2.67GHz", 0, 8192, true, 6},
                 PlatformIdMsr(1), "Intel Core i7", "Lynnfield", 0x10027},
        NameCase{"ClarksfieldXM", {0x1E, 5, "Intel(R) Core(TM) i7 CPU Q 920 @ 2.00GHz", 8, 8192},
                 PlatformIdMsr(4) + ", " + PlatformInfoMsr(15, 9, true), "Intel Core i7 920XM", "Clarksfield", 0x10029},
        NameCase{"ArrandaleByTurboFrequency", {0x25, 2, "Intel(R) Core(TM) i5 CPU M 520 @ 2.40GHz", 4, 3072},
                 PlatformIdMsr(4) + ", " + PlatformInfoMsr(18) + R"(, "0x1AD": "0x16")", "Intel Core i5 520M",
                 "Arrandale", 0x10029},
        NameCase{"Clarkdale661ByTdp", {0x25, 5, "Intel(R) Core(TM) i5 CPU 661 @ 3.33GHz", 4, 4096},
                 PlatformIdMsr(1) + ", " + PlatformInfoMsr(25) + ", " + Tdp(87), "Intel Core i5 661", "Clarkdale",
                 0x10027},
        NameCase{"WestmereExByText", {0x2F, 2, "Intel(R) Xeon(R) CPU E7- 4870 @ 2.40GHz", 20, 30720},
                 PlatformIdMsr(2) + ", " + PlatformInfoMsr(18), "Intel Xeon E7 4870", "Westmere-EX", 0x1002C},
        NameCase{"HavendaleWithoutMsrs", {0x1F, 0, "Intel(R) Core(TM) i7 CPU", 8, 8192}, "", "Intel Core i7",
                 "Havendale", 0x10027},
        NameCase{"NoRowKeepsTheBaseName", {0x1A, 5, "Intel(R) Core(TM) i7 CPU @ 2.13GHz", 8, 8192},
                 PlatformIdMsr(1), "Intel Core i7", "Bloomfield", 0x10028}),
    [](const ::testing::TestParamInfo<NameCase>& row) { return std::string(row.param.name); });

// ---- Stock clock ----

struct StockCase {
    const char* name;
    const char* brand;
    int32_t stock;
};

class NehalemStockClock : public IntelFamilyTest, public ::testing::WithParamInterface<StockCase> {};

TEST_P(NehalemStockClock, TextsTheLastPairWinsElseTheRatio) {
    UseImage(IntelPartImage({0x1A, 5, GetParam().brand, 8, 8192}, PlatformIdMsr(1) + ", " + PlatformInfoMsr(22)));
    EXPECT_EQ(Identified(0)->m_iStockClock, GetParam().stock);
}

INSTANTIATE_TEST_SUITE_P(Texts, NehalemStockClock,
                         ::testing::Values(StockCase{"BothTexts", "Intel(R) Core(TM) i7 CPU 2.93GHz / 2.67GHz", 2666},
                                           StockCase{"MegahertzText", "Intel(R) Core(TM) i7 CPU 3333MHz", 3333},
                                           // 133.34 x 22, truncated
                                           StockCase{"NoListedText", "Intel(R) Core(TM) i7 CPU @ 1.60GHz", 2933}),
                         [](const ::testing::TestParamInfo<StockCase>& row) { return std::string(row.param.name); });

// ---- Power estimate ----

struct PowerCase {
    const char* name;
    int ratio;    // the current ratio of MSR 0x198
    float volts;  // the monitors' core voltage, 0: none
    float power;
};

class NehalemPower : public IntelFamilyTest, public ::testing::WithParamInterface<PowerCase> {};

// TDP 130 W, TDC 100 A, maximum non-turbo ratio 20.
TEST_P(NehalemPower, FromTdpTdcVoltageAndMultiplier) {
    const PowerCase& c = GetParam();
    UseImage(IntelPartImage({0x1A, 5, "Intel(R) Core(TM) i7 CPU", 8, 8192},
                            PlatformIdMsr(1) + ", " + PlatformInfoMsr(20) + ", " + Tdp(130) + R"(, "0x198": ")" +
                                std::to_string(c.ratio) + "\""));
    if (c.volts > 0) {
        auto* core = new CVoltageSensor(0);
        core->m_dwId |= 0x01000000;  // the role of the processor core voltage
        core->SetValue(c.volts, 1);
        GetSDK()->m_pSensors->AddTail(core);
    }
    const auto thread = Identified(0);
    ASSERT_TRUE(thread->m_pPackageSensors[PACKAGE_SENSOR_PACKAGE_POWER]);
    PinnedTo pinned(0);
    thread->GetMultiplier();
    EXPECT_FLOAT_EQ(thread->GetPower(), c.power);
    EXPECT_FLOAT_EQ(thread->m_pPackageSensors[PACKAGE_SENSOR_PACKAGE_POWER]->m_fValue, c.power);
}

INSTANTIATE_TEST_SUITE_P(Estimates, NehalemPower,
                         ::testing::Values(PowerCase{"StockRatio", 20, 1.2f, 130.0f},   // X = 120: 10 + 120
                                           PowerCase{"HalfRatio", 10, 1.2f, 25.0f},     // 10 + 120 / 8
                                           PowerCase{"NoVoltageSensor", 10, 0.0f, 42.5f},  // X = 100: 30 + 100 / 8
                                           PowerCase{"ImplausibleVoltage", 10, 1.5f, 42.5f}),
                         [](const ::testing::TestParamInfo<PowerCase>& row) { return std::string(row.param.name); });

class NehalemAbsentLimits : public IntelFamilyTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(NehalemAbsentLimits, GiveNoTdpNoTdcAndNoPowerSensor) {
    UseImage(IntelPartImage({0x1A, 5, "Intel(R) Core(TM) i7 CPU", 8, 8192},
                            PlatformIdMsr(1) + R"(, "0x1AC": ")" + GetParam() + "\""));
    const auto thread = Identified(0);
    EXPECT_EQ(thread->m_fTDP, -1.0f);
    EXPECT_EQ(Family(thread)->m_iTDCLimit, -1);
    EXPECT_FALSE(thread->m_pPackageSensors[PACKAGE_SENSOR_PACKAGE_POWER]);
}

INSTANTIATE_TEST_SUITE_P(Sentinels, NehalemAbsentLimits, ::testing::Values("0xFFFFFFFF", "0xFEFEFEFE"));

TEST_F(Nehalem, BecktonReadsNoTurboRatio) {
    UseImage(IntelPartImage({0x2E, 6, "Intel(R) Xeon(R) CPU X7560 @ 2.27GHz", 16, 24576},
                            PlatformIdMsr(2) + ", " + PlatformInfoMsr(17) + R"(, "0x1AD": "0x1A1A1A1A")"));
    const auto thread = Identified(0);
    EXPECT_EQ(Family(thread)->m_iMaxTurboRatio, -1);
    EXPECT_EQ(Family(thread)->m_iMaxTurboFrequency, -1);
    EXPECT_EQ(thread->m_fMaxMultiplier, -1.0f);
    EXPECT_STREQ(thread->m_szName, "Intel Xeon");
    EXPECT_STREQ(thread->m_szCodename, "Beckton");
}

// A BIOS that limits CPUID to leaf 2 hides leaf 6; the limit is lifted for
// the look and set again.
TEST_F(Nehalem, TurboBitBehindTheCpuidLimit) {
    UseImage(IntelPartImage({0x1A, 5, "Intel(R) Core(TM) i7 CPU", 8, 8192}, R"("0x1A0": "0x400000")"));
    const auto thread = Identified(0);
    EXPECT_EQ(thread->m_dwMaxStandardLeaf, 2u);
    EXPECT_EQ(Family(thread)->m_Turbo.supported, 1);
    EXPECT_EQ(Family(thread)->m_Turbo.enabled, 1);
    EXPECT_EQ(Msr(0, 0x1A0), 0x400000u) << "the limit is back";
}

// ---- The uncore of a second package ----

constexpr const char* kUncoreFunctions =
    "00:00.0 Host bridge: Intel Corporation X58 I/O Hub\n"
    "00: 86 80 05 34 00 00 10 00 12 00 00 06 00 00 00 00\n"
    "fe:02.0 Host bridge: Intel Corporation QPI Link 0\n"
    "00: 86 80 10 2c 06 00 00 00 04 00 00 06 00 00 80 00\n"
    "fe:02.1 Host bridge: Intel Corporation QPI Physical 0\n"
    "00: 86 80 11 2c 06 00 00 00 04 00 00 06 00 00 80 00\n"
    "50: 10 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n"
    "ff:02.0 Host bridge: Intel Corporation QPI Link 0\n"
    "00: 86 80 10 2c 06 00 00 00 04 00 00 06 00 00 80 00\n"
    "ff:02.1 Host bridge: Intel Corporation QPI Physical 0\n"
    "00: 86 80 11 2c 06 00 00 00 04 00 00 06 00 00 80 00\n"
    "50: 10 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n";

TEST_F(Nehalem, SecondPackageCollectsTheFunctionsOfTheBusBelow) {
    UseImage(IntelDumpImage("cpuid/intel-nehalem-westmere/intel-core-i7-cpu-920.test",
                            PlatformIdMsr(0) + ", " + PlatformInfoMsr(20) + R"(, "0x300": "0xE0000001")",
                            R"("logical_processors": 16)", kUncoreFunctions),
             true);
    CPCIInterface* pci = GetSDK()->m_pPCI;
    EXPECT_FALSE(pci->GetExpressSpace()) << "the PCI domain found no window";
    const auto thread = Identified(8);
    EXPECT_EQ(thread->m_iApicId, 16);
    EXPECT_EQ(Family(thread)->m_iMaxBusNumber, 255);
    EXPECT_TRUE(pci->GetExpressSpace()) << "installed from MSR 0x300";
    EXPECT_EQ(thread->m_iLinkMultiplier, 16);
    EXPECT_EQ(DumpText(Family(thread)), "\tTurbo Mode\t\tsupported, enabled\n"
                                        "\tMax non-turbo ratio\t20x\n"
                                        "\tMax efficiency ratio\t0x\n"
                                        "\tMax bus number\t\t255\n"
                                        "\tAttached device\t\tPCI device at bus 254, device 2, function 0\n");
}

} // namespace
} // namespace vexa::test
