// The family 10h and 11h description: the sample machine's Phenom II X4 940
// with its northbridge functions and MSRs, the names that need the core
// count of the northbridge, the temperature of F3xA4, the package power of
// the current P-state and the core enable mask of F3x190.
#include <gtest/gtest.h>

#include "machine/image_loader.h"
#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/cpu/cpu_infos.h"
#include "sdk/cpu/cpu_interface.h"
#include "sdk/cpu/cpu_package.h"
#include "tests/sdk/cpu/amd_family_test_support.h"
#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

constexpr uint32_t kCOFVIDStatus = 0xC0010071;
const machine::PciAddress kFunction3{0, 0x18, 3};

// COFVID status with MaxCpuCof (bits 54:49).
std::string MaxCpuCof(uint64_t value) { return MsrMember(kCOFVIDStatus, value << 49); }
// F3xE8 of a core count: CmpCap bits 13:12, plus 4 with bit 15.
uint32_t CoreCount(uint32_t cores) { return cores > 4 ? ((cores - 5) << 12) | (1u << 15) : (cores - 1) << 12; }

class AMDK10 : public IntelFamilyTest {
protected:
    void UseSample() {
        std::string error;
        auto machine = machine::loadImage(sourcePath("machines/m3a78t-phenom-ii"), error);
        ASSERT_TRUE(machine) << error;
        UseImage(std::move(machine), true);
    }
};

// The sample machine: the brand fields and CmpCap 4 of F3xE8 name the 940;
// MaxCpuCof 0 (unlocked) leaves the stock clock to P-state 0 (15 x 200);
// the P-states give the power and the TDP, F0x88 the HyperTransport link,
// F3xA4 the temperature, performance counter 0 the core clock.
TEST_F(AMDK10, SamplePhenomIIX4940) {
    UseSample();
    const auto thread = Identified(0);
    EXPECT_STREQ(thread->m_szName, "AMD Phenom II X4 940") << "the Black Edition suffix is the 65 nm Phenom's";
    EXPECT_STREQ(thread->m_szCodename, "Deneb");
    EXPECT_STREQ(thread->m_szCoreStepping, "RB-C2");
    EXPECT_STREQ(PackageCodeName(thread->m_iPackageCode), "Socket AM2+ (940)");
    EXPECT_EQ(thread->m_dwClassCode, 0x2004009u);
    EXPECT_EQ(thread->m_iCoresPerPackage, 4);
    EXPECT_EQ(thread->m_iStockClock, 3000);
    EXPECT_EQ(thread->m_iLinkMultiplier, 9);
    EXPECT_FLOAT_EQ(thread->m_fTDP, 92 * 1.35f);
    PinnedTo pinned(0);
    EXPECT_EQ(thread->GetMultiplier(), 15.0f);
    EXPECT_NEAR(thread->GetCoreClock(), 3000.0f, 1.0f);
    EXPECT_EQ(thread->GetTemperature(), 38.0f);
    EXPECT_FLOAT_EQ(thread->GetPower(), float(4 * 23) * 1.35f);
    const std::string dump = DumpText(thread->m_pFamilyInfos);
    EXPECT_NE(dump.find("\tP-State\t\t\t3, FID 0x100 - VID 0x28 (4.00x - 1.050 V)\n"), std::string::npos) << dump;
    EXPECT_NE(dump.find("\tCmpCap\t\t\t4\n"), std::string::npos) << dump;
}

// Through the processor interface, as the program reads it.
TEST_F(AMDK10, SampleProcessorNameCodenamePackageAndClocks) {
    UseSample();
    ASSERT_EQ(GetSDK()->CreateCPUInterface(0), 1);
    CProcessor* package = GetSDK()->m_pCPU->GetProcessor(0);
    ASSERT_TRUE(package);
    EXPECT_STREQ(package->GetName(), "AMD Phenom II X4 940");
    EXPECT_STREQ(package->GetCodename(), "Deneb");
    EXPECT_STREQ(package->GetPackageName(), "Socket AM2+ (940)");
    EXPECT_EQ(package->GetCoreCount(), 4);
    EXPECT_EQ(package->GetStockClock(), 3000);
    package->UpdateClocks();
    EXPECT_NEAR(package->GetCoreClock(0) / 3.14159265f, 3000.0f, 2.0f);
    EXPECT_EQ(package->GetCoreMultiplier(0), 15.0f);
}

// The extended configuration access switched on for the scan is off again
// after the root closes, as the firmware left it.
TEST_F(AMDK10, ExtendedConfigurationAccessIsPutBack) {
    UseSample();
    Identified(0);
    EXPECT_NE(configDword(kFunction3, 0x8C) & (1u << 14), 0u);
    GetSDK()->Close();
    EXPECT_EQ(configDword(kFunction3, 0x8C) & (1u << 14), 0u);
}

// -coremask=3 keeps cores 0 and 1: F3x190 gets the cores to disable.
TEST_F(AMDK10, CoreEnableMaskWritesTheDisabledCores) {
    UseSample();
    const auto thread = Identified(0);
    PinnedTo pinned(0);
    EXPECT_EQ(thread->SetCoreEnableMask(3), 1u);
    EXPECT_EQ(configDword(kFunction3, 0x190), 0xCu);
}

TEST_F(AMDK10, WithoutThePCIDomainNothingIsWritten) {
    UseImage(AMDImage(DataDump("cpuid/amd-fam10h/amd-phenom-ii-x4-940-processor.test"), ""));
    const auto thread = Identified(0);
    PinnedTo pinned(0);
    EXPECT_EQ(thread->SetCoreEnableMask(3), 0u);
    EXPECT_EQ(thread->GetTemperature(), -1.0f);
    EXPECT_EQ(thread->GetPower(), -1.0f) << "no P-state MSRs";
}

// CurTmp (F3xA4 bits 31:21) in eighths of a degree.
TEST_F(AMDK10, TemperatureFromCurTmp) {
    UseImage(AMDImage(DataDump("cpuid/amd-fam10h/amd-phenom-ii-x4-940-processor.test"), "",
                      NodeLspci(0x1200, 5, {{3, {{0xA4, 100u << 21}, {0xE8, CoreCount(4)}}}})),
             true);
    const auto thread = Identified(0);
    PinnedTo pinned(0);
    EXPECT_EQ(thread->GetTemperature(), 12.5f);
    ASSERT_TRUE(thread->m_pCoreTemperature);
    EXPECT_EQ(thread->m_pCoreTemperature->m_dwRawValue, 100u);
}

// The P-state specifications of F4x1E0 on come highest multiplier first;
// a register without its valid bit (27) fills no row.
TEST_F(AMDK10, PStateSpecificationsHighestMultiplierFirst) {
    const uint32_t valid = 1u << 27;
    UseImage(AMDImage(DataDump("cpuid/amd-fam10h/amd-phenom-ii-x4-940-processor.test"), "",
                      NodeLspci(0x1200, 5,
                                {{4, {{0x1E0, valid | 0x18u << 9 | 7u}, {0x1E4, valid | 0x10u << 9 | 14u},
                                      {0x1E8, 0x20u << 9 | 2u}}}})),
             true);
    const auto thread = Identified(0);
    const std::string dump = DumpText(thread->m_pFamilyInfos);
    EXPECT_NE(dump.find("\tP-State\t\t\t0, FID 0xE - VID 0x10 (15.00x - 1.350 V)\n"
                        "\tP-State\t\t\t1, FID 0x7 - VID 0x18 (11.50x - 1.250 V)\n"
                        "\tAttached device"),
              std::string::npos)
        << dump;
}

// Names that need the northbridge's core count and the MSRs, from dumps and
// from processors written by hand; the family 11h node has its own IDs and
// is reached through 0xCF8 with the extended register bits.
struct NamedCase {
    const char* name;
    std::string cpuid;
    std::string msrs;
    uint16_t node;
    uint32_t cores;
    const char* processor;
    const char* codename;
    uint32_t classCode;
    int32_t package;
    int32_t stockClock;
};

void PrintTo(const NamedCase& c, std::ostream* out) { *out << c.name; }

class AMDK10Named : public AMDK10, public ::testing::WithParamInterface<NamedCase> {};

TEST_P(AMDK10Named, FromTheBrandFieldsAndTheNorthbridge) {
    const NamedCase& c = GetParam();
    UseImage(AMDImage(c.cpuid, c.msrs, NodeLspci(c.node, 5, {{3, {{0xE8, CoreCount(c.cores)}}}})), true);
    const auto thread = Identified(0);
    EXPECT_STREQ(thread->m_szName, c.processor);
    EXPECT_STREQ(thread->m_szCodename, c.codename);
    EXPECT_EQ(thread->m_dwClassCode, c.classCode);
    EXPECT_EQ(thread->m_iPackageCode, c.package);
    EXPECT_EQ(thread->m_iStockClock, c.stockClock);
}

// Brand fields of CPUID 0x80000001 EBX: package type, string 1, model
// number, string 2.
uint32_t Brand(uint32_t packageType, uint32_t string1, uint32_t model, uint32_t string2) {
    return packageType << 28 | string1 << 11 | model << 4 | string2;
}

INSTANTIATE_TEST_SUITE_P(
    Parts, AMDK10Named,
    ::testing::Values(
        NamedCase{"PhenomX4_9950BlackEdition",
                  CpuidDumpText(AMDLeaves({15, 1, 2, 0, 3, Brand(1, 1, 99, 3), 0, 4, 0x1F9, "AMD Phenom(tm) 9950", 512,
                                           2048})),
                  MaxCpuCof(0), 0x1200, 4, "AMD Phenom X4 9950 Black Edition", "Agena", 0x2004001, 0x10022, -1},
        NamedCase{"Opteron2384",
                  CpuidDumpText(AMDLeaves({15, 1, 4, 0, 2, Brand(0, 3, 84, 0), 0, 4, 0x1F9,
                                           "Quad-Core AMD Opteron(tm) Processor 2384", 512, 6144})),
                  MaxCpuCof(27), 0x1200, 4, "AMD Opteron 2384", "Shanghai", 0x2004004, 0x1000C, 2700},
        NamedCase{"GriffinZM82", DataDump("cpuid/amd-fam11h/amd-turion-x2-ultra-dual-core-mobile-zm-82.test"),
                  MaxCpuCof(14), 0x1300, 2, "AMD Turion X2 Ultra ZM-82", "Griffin", 0x2004006, 0x1000B, 2200},
        NamedCase{"PhenomIIX6_1055T", DataDump("cpuid/amd-fam10h/amd-phenom-ii-x6-1055t-processor.test"),
                  MaxCpuCof(28), 0x1200, 6, "AMD Phenom II X6 1055T", "Thuban", 0x2004010, 0x10024, 2800},
        NamedCase{"PhenomIIX6_StockAt3200", DataDump("cpuid/amd-fam10h/amd-phenom-ii-x6-1055t-processor.test"),
                  MaxCpuCof(32), 0x1200, 6, "AMD Phenom II X6 1050T", "Thuban", 0x2004010, 0x10024, 3200}),
    [](const ::testing::TestParamInfo<NamedCase>& row) { return std::string(row.param.name); });

} // namespace
} // namespace vexa::test
