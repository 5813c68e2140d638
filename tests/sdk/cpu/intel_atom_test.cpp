// The Atom descriptions: the Bonnell and Silvermont dumps of tests/data
// as images of their CPUID alone, named processors from images with their
// MSRs, the energy counters against the HPET, and the graphics temperature
// read over the SoC's message bus, which is left as it was found.
#include <gtest/gtest.h>

#include "platform/threads.h"

#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_interface.h"
#include "sdk/cpu/cpu_package.h"
#include "sdk/cpu/intel_bonnell.h"
#include "sdk/cpu/intel_silvermont.h"
#include "tests/sdk/cpu/intel_family_test_support.h"

namespace vexa::test {
namespace {

// ---- The dumps, CPUID only ----

struct AtomDumpCase {
    const char* name;
    const char* file;
    int32_t extModel;
    int32_t stepping;
    int32_t threads;  // logical processors of the package
    int32_t l1Data, l1Instruction, l2;  // KB
    const char* processor;
    const char* codename;
    const char* coreStepping;
    uint32_t classCode;
};

void PrintTo(const AtomDumpCase& c, std::ostream* out) { *out << c.name; }

class AtomDumps : public ProcessorTest, public ::testing::WithParamInterface<AtomDumpCase> {};

int32_t CacheSize(CCPUThread* thread, int32_t level, int32_t type) {
    const CCacheDescriptor* cache = thread->FindCacheDescriptor(level, type);
    return cache ? cache->m_iSize : -1;
}

TEST_P(AtomDumps, SignatureThreadsCachesAndCodename) {
    const AtomDumpCase& c = GetParam();
    Use(DumpOnly(std::string("cpuid/") + c.file), false);
    ASSERT_EQ(GetSDK()->CreateCPUInterface(0), 1);
    CProcessor* package = GetSDK()->m_pCPU->GetProcessor(0);
    ASSERT_TRUE(package);
    EXPECT_EQ(package->GetFamily(), 6);
    EXPECT_EQ(package->GetExtModel(), c.extModel);
    EXPECT_EQ(package->GetStepping(), c.stepping);
    EXPECT_EQ(package->GetThreadCount(), c.threads);
    CCPUThread* thread = package->GetFirstThread();
    ASSERT_TRUE(thread);
    EXPECT_EQ(CacheSize(thread, 1, CACHE_DATA), c.l1Data);
    EXPECT_EQ(CacheSize(thread, 1, CACHE_INSTRUCTION), c.l1Instruction);
    EXPECT_EQ(CacheSize(thread, 2, CACHE_UNIFIED), c.l2);
    EXPECT_STREQ(package->GetName(), c.processor);
    EXPECT_STREQ(package->GetCodename(), c.codename);
    EXPECT_STREQ(package->GetCoreSteppingText(), c.coreStepping);
    EXPECT_EQ(uint32_t(package->GetClassCode()), c.classCode);
}

INSTANTIATE_TEST_SUITE_P(
    CpuidData, AtomDumps,
    ::testing::Values(
        // Without MSR 0x17 the platform ID is unknown: no codename, no
        // model number, the Diamondville package.
        AtomDumpCase{"AtomN270", "intel-atom-bonnell/intel-atom-cpu-n270.test", 0x1C, 2, 2, 24, 32, 512, "Intel Atom",
                     "", "C0", kIntelBonnellClass},
        // "@ 1.99GHz" is no stock clock of the list, and without MSR 0xCD
        // no bus clock gives one: the brand's name without a number.
        AtomDumpCase{"CeleronJ1900", "intel-atom-silvermont/intel-celeron-cpu-j1900.test", 0x37, 3, 4, 24, 32, 1024,
                     "Intel Celeron", "Silvermont", "B3", kIntelSilvermontClass | 2}),
    [](const ::testing::TestParamInfo<AtomDumpCase>& row) { return std::string(row.param.name); });

// ---- Named from their MSRs ----

// The hand-written parts have two threads a core (leaf 0xB): a four-core
// Bay Trail is given eight logical processors.

// MSR 0xCD with a bus clock code in bits 2:0.
std::string BusClockMsr(int code) { return "\"0xCD\": \"" + std::to_string(code) + "\""; }
// Bonnell's MSR 0x17: platform ID 52:50, mobile bit 28, the ratio in 12:8.
std::string BonnellPlatformMsr(int platformId, bool mobile, int ratio) {
    const uint64_t value = (uint64_t(platformId) << 50) | (mobile ? 1u << 28 : 0u) | (uint64_t(ratio) << 8);
    return "\"0x17\": \"" + std::to_string(value) + "\"";
}
// MSR 0x1A0 with bit 38 (turbo disengaged) set or clear.
std::string MiscEnableMsr(bool turboOff) {
    return "\"0x1A0\": \"" + std::to_string(turboOff ? 1ull << 38 : 0ull) + "\"";
}

struct AtomNameCase {
    const char* name;
    IntelPart part;
    std::string msrs;
    const char* processor;
    const char* codename;
    const char* coreStepping;
    int32_t packageCode;
    float technology;
    uint32_t classCode;
    int32_t stockClock;
};

void PrintTo(const AtomNameCase& c, std::ostream* out) { *out << c.name; }

class AtomNames : public IntelFamilyTest, public ::testing::WithParamInterface<AtomNameCase> {};

TEST_P(AtomNames, FromPlatformRatioAndBusClock) {
    const AtomNameCase& c = GetParam();
    UseImage(IntelPartImage(c.part, c.msrs));
    const auto thread = Identified(0);
    EXPECT_STREQ(thread->m_szName, c.processor);
    EXPECT_STREQ(thread->m_szCodename, c.codename);
    EXPECT_STREQ(thread->m_szCoreStepping, c.coreStepping);
    EXPECT_EQ(thread->m_iPackageCode, c.packageCode);
    EXPECT_FLOAT_EQ(thread->m_fTechnology, c.technology);
    EXPECT_EQ(thread->m_dwClassCode, c.classCode);
    EXPECT_EQ(thread->m_iStockClock, c.stockClock);
}

INSTANTIATE_TEST_SUITE_P(
    Parts, AtomNames,
    ::testing::Values(
        // 133.34 MHz x 12 = 1600 MHz on a desktop Diamondville.
        AtomNameCase{"Diamondville230",
                     {0x1C, 2, "Intel(R) Atom(TM) CPU  230   @ 1.60GHz", 2},
                     BonnellPlatformMsr(2, false, 12) + ", " + BusClockMsr(1),
                     "Intel Atom 230", "Diamondville", "C0", 0x10026, 0.045f, kIntelBonnellClass, 1600},
        AtomNameCase{"DiamondvilleN270",
                     {0x1C, 2, "Intel(R) Atom(TM) CPU N270   @ 1.60GHz", 2},
                     BonnellPlatformMsr(2, true, 12) + ", " + BusClockMsr(1),
                     "Intel Atom N270", "Diamondville", "C0", 0x10026, 0.045f, kIntelBonnellClass, 1600},
        // Platform ID 1 at stepping 9 is no Atom the table knows.
        AtomNameCase{"UnknownPlatform",
                     {0x1C, 9, "Intel(R) Atom(TM) CPU", 2},
                     BonnellPlatformMsr(1, false, 12) + ", " + BusClockMsr(1),
                     "Intel Atom", "", "", 0x10026, 0.045f, kIntelBonnellClass, 1600},
        // Code 7 of MSR 0xCD is no bus clock: no stock clock, no number.
        AtomNameCase{"NoBusClock",
                     {0x1C, 2, "Intel(R) Atom(TM) CPU  230   @ 1.60GHz", 2},
                     BonnellPlatformMsr(2, false, 12) + ", " + BusClockMsr(7),
                     "Intel Atom", "Diamondville", "C0", 0x10026, 0.045f, kIntelBonnellClass, -1},
        // 133.34 MHz x 14 = 1866 MHz; the brand string tells the D2550.
        AtomNameCase{"CedarviewD2550",
                     {0x36, 1, "Intel(R) Atom(TM) CPU D2550   @ 1.86GHz", 4},
                     BonnellPlatformMsr(0, false, 14) + ", " + BusClockMsr(1),
                     "Intel Atom D2550", "Cedarview", "B0/B2/B3", 0x1002F, 0.032f, kIntelBonnellClass, 1866},
        AtomNameCase{"CedarviewN2800",
                     {0x36, 1, "Intel(R) Atom(TM) CPU N2800   @ 1.86GHz", 4},
                     BonnellPlatformMsr(0, true, 14) + ", " + BusClockMsr(1),
                     "Intel Atom N2800", "Cedarview", "B0/B2/B3", 0x1002F, 0.032f, kIntelBonnellClass, 1866},
        // The stock clock from the brand string's "1.33GHz".
        AtomNameCase{"BayTrailZ3735F",
                     {0x37, 8, "Intel(R) Atom(TM) CPU  Z3735F @ 1.33GHz", 8},
                     PlatformIdMsr(1) + ", " + BusClockMsr(2),
                     "Intel Atom Z3735F", "Bay Trail-CR", "C0", 0x1004A, 0.022f, kIntelSilvermontClass | 1, 1333},
        AtomNameCase{"BayTrailZ3740D",
                     {0x37, 3, "Intel(R) Atom(TM) CPU  Z3740D @ 1.33GHz", 8},
                     PlatformIdMsr(1),
                     "Intel Atom Z3740D", "Bay Trail-T", "B3", 0x1004A, 0.022f, kIntelSilvermontClass | 1, 1333},
        // 83.34 MHz x 29 = 2416 MHz; turbo from CPUID 6 and MSR 0x1A0.
        AtomNameCase{"BayTrailJ1800",
                     {0x37, 8, "Intel(R) Celeron(R) CPU  J1800  @ 2.41GHz", 4},
                     PlatformIdMsr(0) + ", " + BusClockMsr(0) + ", " + PlatformInfoMsr(29) + ", " + MiscEnableMsr(false),
                     "Intel Celeron J1800", "Bay Trail-D", "C0", -1, 0.022f, kIntelSilvermontClass | 2, 2416},
        AtomNameCase{"BayTrailJ1750",
                     {0x37, 8, "Intel(R) Celeron(R) CPU  J1800  @ 2.41GHz", 4},
                     PlatformIdMsr(0) + ", " + BusClockMsr(0) + ", " + PlatformInfoMsr(29) + ", " + MiscEnableMsr(true),
                     "Intel Celeron J1750", "Bay Trail-D", "C0", -1, 0.022f, kIntelSilvermontClass | 2, 2416}),
    [](const ::testing::TestParamInfo<AtomNameCase>& row) { return std::string(row.param.name); });

// ---- Readings ----

using Bonnell = IntelFamilyTest;
using Silvermont = IntelFamilyTest;

TEST_F(Bonnell, MultiplierFromThePowerOnRatioWithoutSpeedStep) {
    // 0x2A bits 26:22 = 12; no MSR 0x198, so the FID/VID control answers nothing.
    UseImage(IntelPartImage({0x1C, 2, "Intel(R) Atom(TM) CPU  230   @ 1.60GHz", 2},
                            BonnellPlatformMsr(2, false, 12) + R"(, "0x2A": ")" + std::to_string(12u << 22) + "\""));
    const auto thread = Identified(0);
    PinnedTo pinned(0);
    EXPECT_FLOAT_EQ(thread->GetMultiplier(), 12.0f);
    EXPECT_FLOAT_EQ(thread->m_fMinMultiplier, 6.0f);
}

TEST_F(Bonnell, DigitalThermometerBelowTjMax105OnSilverthorneModels) {
    // Readout 45 below TjMax, valid (bit 31).
    UseImage(IntelPartImage({0x1C, 2, "Intel(R) Atom(TM) CPU  230   @ 1.60GHz", 2},
                            R"("0x19C": ")" + std::to_string((1u << 31) | (45u << 16)) + "\""));
    const auto thread = Identified(0);
    PinnedTo pinned(0);
    ASSERT_TRUE(thread->m_pCoreTemperature);
    EXPECT_FLOAT_EQ(thread->GetTemperature(), 60.0f);
}

constexpr const char* kBayTrailLspci =
    "00:00.0 Host bridge: Intel Corporation Atom Processor Z36xxx/Z37xxx Series SoC Transaction Register (rev 0e)\n"
    "00: 86 80 00 0f 06 00 00 00 0e 00 00 06 00 00 00 00\n";

// The graphics readout 0xA0 at port 4, register 0xB1; another register of
// the same unit that nothing should touch.
constexpr const char* kMessageBus =
    R"("pci": {"message_bus": [{"port": 4, "register": "0xB1", "value": "0xA0"},
                               {"port": 4, "register": "0xB2", "value": "0x1234"}]})";

std::string BayTrailMsrs() {
    // TjMax 90 (0x1A2 bits 23:16); core readout 30 and package readout 25, valid.
    return PlatformIdMsr(1) + R"(, "0x1A2": ")" + std::to_string(90u << 16) + R"(", "0x19C": ")" +
           std::to_string((1u << 31) | (30u << 16)) + R"(", "0x1B1": ")" + std::to_string((1u << 31) | (25u << 16)) +
           "\"";
}

TEST_F(Silvermont, GraphicsTemperatureOverTheMessageBusLeavesItAsFound) {
    UseImage(IntelPartImage({0x37, 8, "Intel(R) Atom(TM) CPU  Z3735F @ 1.33GHz", 8}, BayTrailMsrs(), "",
                            kBayTrailLspci, kMessageBus),
             true);
    const auto thread = Identified(0);
    // MDR holds what the operating system's driver last left there.
    const std::vector<uint8_t> mdr = {0x78, 0x56, 0x34, 0x12};
    ASSERT_TRUE(hw().writePciConfig({0, 0, 0}, 0xD4, mdr));
    hw().setLogging(true);
    PinnedTo pinned(0);
    EXPECT_FLOAT_EQ(thread->GetTemperature(), 60.0f);
    hw().setLogging(false);
    EXPECT_FLOAT_EQ(thread->m_pPackageSensors[PACKAGE_SENSOR_TEMPERATURE]->m_fValue, 65.0f);
    CSensor* graphics = thread->m_pPackageSensors[1];
    ASSERT_TRUE(graphics);
    EXPECT_STREQ(graphics->m_szName, "GT");
    EXPECT_FLOAT_EQ(graphics->m_fValue, 57.0f) << "TjMax 90 - 0xA0 + 127";
    // Only the read message went out, and MDR got its value back.
    for (const machine::Access& access : accesses(machine::AccessKind::PciConfig)) {
        if (access.dir == machine::AccessDir::Write && access.address == machine::pciLinear({0, 0, 0}, 0xD0)) {
            EXPECT_EQ(access.value, 0x1004B100u);
        }
    }
    EXPECT_EQ(configDword({0, 0, 0}, 0xD4), 0x12345678u);
    // The register file is as the image gave it.
    for (const auto& [reg, value] : {std::pair{0xB1u, 0xA0u}, std::pair{0xB2u, 0x1234u}}) {
        const uint32_t command = 0x10u << 24 | 0x04u << 16 | reg << 8;
        ASSERT_TRUE(hw().writePciConfig({0, 0, 0}, 0xD0, std::span(reinterpret_cast<const uint8_t*>(&command), 4)));
        EXPECT_EQ(configDword({0, 0, 0}, 0xD4), value) << std::hex << reg;
    }
}

TEST_F(Silvermont, GraphicsSensorWithoutThermalSensorOrMessageBus) {
    // No MSR 0x19C gives no core sensor; without the PCI domain the
    // message bus cannot be asked, yet the "GT" sensor comes, without a value.
    UseImage(IntelPartImage({0x37, 8, "Intel(R) Atom(TM) CPU  Z3735F @ 1.33GHz", 8}, PlatformIdMsr(1)));
    const auto thread = Identified(0);
    PinnedTo pinned(0);
    EXPECT_EQ(thread->GetTemperature(), -1.0f) << "no core sensor without MSR 0x19C";
    CSensor* graphics = thread->m_pPackageSensors[1];
    ASSERT_TRUE(graphics);
    EXPECT_STREQ(graphics->m_szName, "GT");
    EXPECT_FLOAT_EQ(static_cast<CTemperatureSensor*>(graphics)->m_fOffset, 100.0f) << "TjMax without MSR 0x1A2";
    EXPECT_FALSE(graphics->IsValid());
}

TEST_F(Silvermont, EnergyCountsOverHpetTicksGiveMilliwattsOfTheUnit) {
    // ESU 5: 1/32 per count; 100 "watts" of the model count 3200 a second,
    // which these cores report as 0.1 W. TDP 80/8 W.
    UseImage(IntelPartImage({0x37, 8, "Intel(R) Atom(TM) CPU  Z3735F @ 1.33GHz", 8},
                            PlatformIdMsr(1) + R"(, "0x606": "0x500", "0x614": "80",
                               "0x611": {"kind": "energy", "watts": 100}, "0x639": {"kind": "energy", "watts": 50})"));
    const auto thread = Identified(0);
    auto* family = dynamic_cast<Intel_Silvermont_Infos*>(thread->m_pFamilyInfos);
    ASSERT_TRUE(family);
    EXPECT_DOUBLE_EQ(family->m_dEnergyUnit, 1.0 / 32.0);
    EXPECT_FLOAT_EQ(thread->m_fTDP, 10.0f);
    PinnedTo pinned(0);
    Sleep(1000);
    // The HPET's nominal rate the program takes and the model's differ by
    // 31 ppm.
    EXPECT_NEAR(thread->GetPower(), 0.05f, 0.0001f);
    EXPECT_NEAR(thread->m_pPackageSensors[PACKAGE_SENSOR_PACKAGE_POWER]->m_fValue, 0.1f, 0.0001f);
    EXPECT_EQ(thread->m_pPackageSensors[PACKAGE_SENSOR_PACKAGE_POWER]->m_dwId, 0x1001000u);
    EXPECT_STREQ(thread->m_pPackageSensors[PACKAGE_SENSOR_CORES_POWER]->m_szName, "IA Cores");
}

TEST_F(Silvermont, EffectiveClockAgainstTheHpetRestoresTheCounterControls) {
    UseImage(IntelPartImage({0x37, 8, "Intel(R) Atom(TM) CPU  Z3735F @ 1.33GHz", 8},
                            PlatformIdMsr(1) + R"(, "0x30A": {"kind": "fixed_counter", "mhz": 1833},
                               "0x30B": {"kind": "fixed_counter", "mhz": 1333}, "0x38D": "0x0",
                               "0x38F": "0x0000000700000003")",
                            R"("tsc_mhz": 1333)"));
    const auto thread = Identified(0);
    PinnedTo pinned(0);
    // Core cycles at the burst clock against reference cycles at the TSC's.
    EXPECT_NEAR(thread->m_pFamilyInfos->GetCoreClock(thread.get(), nullptr), 1833.0f, 1.0f);
    EXPECT_EQ(Msr(0, 0x38D), 0u);
    EXPECT_EQ(Msr(0, 0x38F), 0x0000000700000003ull);
}

TEST_F(Silvermont, NoCoreClockOrPowerWithoutTheHpet) {
    Use(IntelPartImage({0x37, 8, "Intel(R) Atom(TM) CPU  Z3735F @ 1.33GHz", 8},
                       PlatformIdMsr(1) + R"(, "0x611": {"kind": "energy", "watts": 100})"));
    const auto thread = Identified(0);
    PinnedTo pinned(0);
    EXPECT_EQ(thread->m_pFamilyInfos->GetCoreClock(thread.get(), nullptr), -1.0f);
    EXPECT_EQ(thread->m_pFamilyInfos->GetPower(thread.get()), -1.0f);
}

TEST_F(Silvermont, RatioLimitsInTheDump) {
    // Limits 20, 20, 18, 18 for 1 to 4 cores, 255 above; ratio 16.
    UseImage(IntelPartImage({0x37, 8, "Intel(R) Atom(TM) CPU  Z3735F @ 1.33GHz", 8},
                            PlatformIdMsr(1) + ", " + PlatformInfoMsr(16) + R"(, "0x66C": "0xFFFFFFFF12121414")"));
    const auto thread = Identified(0);
    EXPECT_FLOAT_EQ(thread->m_fMaxMultiplier, 20.0f);
    EXPECT_EQ(DumpText(thread->m_pFamilyInfos),
              "\tMax non-turbo ratio\t16x\n\tMax turbo ratio\t\t20x\n\tRatio 1 core\t\t20x\n\tRatio 2 cores\t\t20x\n"
              "\tRatio 3 cores\t\t18x\n\tRatio 4 cores\t\t18x\n");
}

} // namespace
} // namespace vexa::test
