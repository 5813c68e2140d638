// The family 12h, 14h, 15h and 16h descriptions: named parts with their
// MSRs and PCI functions, the temperature through the index pair F3x1E8 /
// F3x1EC, the telemetry power and the SMU's power readings, and an SMU that
// never answers.
#include <gtest/gtest.h>

#include <chrono>

#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/cpu/cpu_infos.h"
#include "sdk/cpu/cpu_package.h"
#include "tests/sdk/cpu/amd_family_test_support.h"
#include "tests/support/image_dir.h"

namespace vexa::test {
namespace {

constexpr uint32_t kPState0 = 0xC0010064;
const machine::PciAddress kFunction3{0, 0x18, 3};
const machine::PciAddress kHostBridge{0, 0, 0};
constexpr uint64_t kGraphicsBar = 0xFE000000;

// Brand fields of CPUID 0x80000001 EBX: package type, string 1, model
// number, string 2.
uint32_t Brand(uint32_t packageType, uint32_t string1, uint32_t model, uint32_t string2) {
    return packageType << 28 | string1 << 11 | model << 4 | string2;
}

// The eight P-state MSRs of family 16h with P-state 0 enabled at
// (FID + 16) / 2^DID.
std::string K16PState0(uint32_t fid, uint32_t did) {
    std::string members = MsrMember(kPState0, (uint64_t(1) << 63) | (did << 6) | fid);
    for (uint32_t i = 1; i < 8; ++i) members += ", " + MsrMember(kPState0 + i, 0);
    return members;
}

// A PCI function of 64 bytes in lspci -x form.
std::string Function(const char* address, uint16_t vendor, uint16_t device, uint32_t bar24 = 0) {
    uint8_t bytes[64] = {};
    auto put = [&bytes](unsigned reg, uint32_t value) {
        for (unsigned i = 0; i < 4; ++i) bytes[reg + i] = uint8_t(value >> (8 * i));
    };
    put(0x00, vendor | uint32_t(device) << 16);
    put(0x08, 0x03000000u);
    put(0x24, bar24);
    return std::string(address) + " Display controller: integrated graphics\n" + LspciRows(bytes, sizeof bytes);
}

// An image with an SMU (memory_devices.amd_smu) besides what AMDImage has.
std::unique_ptr<machine::Machine> SmuImage(const std::string& cpuid, const std::string& lspci,
                                           const std::string& smu) {
    ImageDir image;
    image.write("cpuid.txt", cpuid);
    image.write("lspci.txt", lspci);
    image.write("machine.json", R"({"cpu": {"msrs": {}}, "pci": {"extended_register_bits": true},
        "ports": {"acpi_pm_timer": "0x808"}, "memory_devices": {"amd_smu": )" +
                                    smu + "}}");
    return image.load();
}

struct NamedCase {
    const char* name;
    std::string cpuid;
    std::string msrs;
    std::string lspci;
    const char* processor;
    const char* codename;
    uint32_t classCode;
    const char* package;
    int32_t stockClock;
};

void PrintTo(const NamedCase& c, std::ostream* out) { *out << c.name; }

class AMDApuNamed : public IntelFamilyTest, public ::testing::WithParamInterface<NamedCase> {};

TEST_P(AMDApuNamed, FromBrandFieldsBrandStringAndPStates) {
    const NamedCase& c = GetParam();
    UseImage(AMDImage(c.cpuid, c.msrs, c.lspci), !c.lspci.empty());
    const auto thread = Identified(0);
    EXPECT_STREQ(thread->m_szName, c.processor);
    EXPECT_STREQ(thread->m_szCodename, c.codename);
    EXPECT_EQ(thread->m_dwClassCode, c.classCode);
    EXPECT_STREQ(PackageCodeName(thread->m_iPackageCode), c.package);
    EXPECT_EQ(thread->m_iStockClock, c.stockClock);
}

INSTANTIATE_TEST_SUITE_P(
    Parts, AMDApuNamed,
    ::testing::Values(
        // FS1, two cores, string 1 = 2 ("A4-34%02d"), string 2 = 2 ("MX").
        NamedCase{"A4_3450MX",
                  CpuidDumpText(AMDLeaves({15, 3, 1, 0, 0, Brand(1, 2, 51, 2), 0, 2, 0, "AMD A4-3450MX APU"})), "",
                  "", "AMD A4-3450MX", "Llano", 0x2010000, "Socket FS1 (905)", -1},
        NamedCase{"A8_3850", DataDump("cpuid/amd-fam12h/amd-a8-3850-apu-with-radeon-hd-graphics.test"), "", "",
                  "AMD A8-3850", "Llano", 0x2010000, "Socket FM1 (905)", -1},
        // The integrated graphics 1002:9802 name the die.
        NamedCase{"E350_Zacate", DataDump("cpuid/amd-fam14h/amd-e-350-processor.test"), "",
                  Function("00:00.0", 0x1022, 0x1510) + Function("00:01.0", 0x1002, 0x9802), "AMD E-350", "Zacate", 0x2020000, "Socket FT1 BGA", -1},
        NamedCase{"C50_Ontario",
                  CpuidDumpText(AMDLeaves({15, 5, 1, 0, 0, Brand(0, 1, 51, 1), 0, 2, 0, "AMD C-50 Processor"})), "",
                  Function("00:00.0", 0x1022, 0x1510) + Function("00:01.0", 0x1002, 0x9804), "AMD C-50", "Ontario", 0x2020000, "Socket FT1 BGA", -1},
        NamedCase{"E_SingleCoreSuffixR",
                  CpuidDumpText(AMDLeaves({15, 5, 1, 0, 0, Brand(0, 2, 31, 9), 0, 1, 0, "AMD E-300 Processor"})), "",
                  "", "AMD E-30R", "", 0x2020000, "Socket FT1 BGA", -1},
        NamedCase{"FX8350", DataDump("cpuid/amd-fam15h/amd-fx-8350-eight-core-processor.test"), "", "",
                  "AMD FX-8350", "Vishera", 0x2040008, "Socket AM3+ (942)", -1},
        NamedCase{"A10_5800K",
                  CpuidDumpText(AMDLeaves({15, 6, 0, 1, 1, Brand(2, 0, 0, 0), 0, 4, 0,
                                           "AMD A10-5800K APU with Radeon(tm) HD Graphics"})),
                  "", "", "AMD A10-5800K", "Trinity", 0x2040003, "Socket FM2 (904)", -1},
        NamedCase{"A10_7850K", DataDump("cpuid/amd-fam15h/amd-a10-7850k-radeon-r7-12-compute-cores-4c+8g.test"), "",
                  "", "AMD A10-7850K", "Kaveri", 0x2040009, "Socket FM2+ (906)", -1},
        // P-state 0 at (25 + 16) / 2 = 20.5 x 100 MHz.
        NamedCase{"Athlon5350", DataDump("cpuid/amd-fam16h/amd-athlon-5350-apu-with-radeon-r3.test"),
                  K16PState0(25, 1), "", "AMD Athlon 5350", "Kabini", 0x2080006, "Socket AM1 (721)", 2050},
        NamedCase{"OpteronX1150",
                  CpuidDumpText(AMDLeaves({15, 7, 0, 0, 1, Brand(0, 0, 0, 0), 0, 4, 0,
                                           "AMD Opteron(tm) X1150 Processor"})),
                  "", "", "AMD Opteron X1150", "Kyoto", 0x2080005, "Socket FT3 (BGA769)", -1}),
    [](const ::testing::TestParamInfo<NamedCase>& row) { return std::string(row.param.name); });

class AMDApu : public IntelFamilyTest {
protected:
    // A Kaveri with its node (0x141A-0x141F), its graphics at 00:01.0 and
    // an SMU of these settings.
    void UseKaveri(const std::string& smu) {
        const std::string lspci = NodeLspci(0x141A, 6, {}) + Function("00:01.0", 0x1002, 0x130F, kGraphicsBar);
        UseImage(SmuImage(DataDump("cpuid/amd-fam15h/amd-a10-7850k-radeon-r7-12-compute-cores-4c+8g.test"), lspci,
                          smu),
                 true);
    }
    std::vector<uint32_t> MailboxMessages() {
        std::vector<uint32_t> messages;
        for (const machine::Access& access : accesses(machine::AccessKind::Memory))
            if (access.dir == machine::AccessDir::Write && access.address == kGraphicsBar + 0x250)
                messages.push_back(uint32_t(access.value));
        return messages;
    }
};

// The SMU answers every message with 1: its power readings below 90000
// (1/256 W) go to their sensors, the index register is put back.
TEST_F(AMDApu, KaveriPowerFromTheSmu) {
    UseKaveri(R"({"base": "0xFE000000", "registers": {"0x3FE58": 2560, "0x3FE88": 1280, "0x3FE2C": 90000,
                 "0x3FF7C": 7680}})");
    const auto thread = Identified(0);
    PinnedTo pinned(0);
    hw().setLogging(true);
    hw().clearAccessLog();
    EXPECT_EQ(thread->GetPower(), -1.0f) << "the readings go to the sensors only";
    EXPECT_EQ(MailboxMessages(), (std::vector<uint32_t>{0x51, 0x69, 0x6B, 0x170, 0x171}));
    ASSERT_TRUE(thread->m_pPackageSensors[2]);
    EXPECT_STREQ(thread->m_pPackageSensors[2]->m_szName, "Compute Unit 0");
    EXPECT_EQ(thread->m_pPackageSensors[2]->m_fValue, 10.0f);
    ASSERT_TRUE(thread->m_pPackageSensors[3]);
    EXPECT_EQ(thread->m_pPackageSensors[3]->m_fValue, 5.0f);
    EXPECT_FALSE(thread->m_pPackageSensors[4]) << "90000 is no power";
    ASSERT_TRUE(thread->m_pPackageSensors[5]);
    EXPECT_STREQ(thread->m_pPackageSensors[5]->m_szName, "Package");
    EXPECT_EQ(thread->m_pPackageSensors[5]->m_fValue, 30.0f);
    EXPECT_EQ(configDword(kHostBridge, 0xB8), 0u) << "the SMU index as found";
}

// An SMU that never answers: the first message is given up after its
// attempts, no reading is made, and the call returns within its bound.
TEST_F(AMDApu, SmuThatNeverAnswersGivesNoReadingWithinItsBound) {
    UseKaveri(R"({"base": "0xFE000000", "answers": false, "registers": {"0x3FE58": 2560}})");
    const auto thread = Identified(0);
    PinnedTo pinned(0);
    hw().setLogging(true);
    hw().clearAccessLog();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(thread->GetPower(), -1.0f);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(MailboxMessages(), std::vector<uint32_t>(100, 0x51));
    for (int slot = 2; slot <= 5; ++slot) EXPECT_FALSE(thread->m_pPackageSensors[slot]) << slot;
}

// An SMU that answers 0x170 with something else than 1 ends the reading
// before 0x171.
TEST_F(AMDApu, SmuRefusingThePreparationGivesNoReading) {
    UseKaveri(R"({"base": "0xFE000000", "response": 2, "registers": {"0x3FE58": 2560}})");
    const auto thread = Identified(0);
    PinnedTo pinned(0);
    hw().setLogging(true);
    hw().clearAccessLog();
    EXPECT_EQ(thread->GetPower(), -1.0f);
    EXPECT_EQ(MailboxMessages(), (std::vector<uint32_t>{0x51, 0x69, 0x6B, 0x170}));
    EXPECT_FALSE(thread->m_pPackageSensors[2]);
}

// Vishera: the temperature from the registers 0x31 (fraction, bits 12:5 in
// eighths) and 0x30 (whole degrees) selected through F3x1E8, which is left
// as found. The plain configuration space answers both selections with the
// same dword 0x1EC = 0xA8: 168 + 5/8.
TEST_F(AMDApu, TemperatureThroughTheThermalIndexLeavesItAsFound) {
    const uint32_t found = 0x12345FFF;
    UseImage(AMDImage(DataDump("cpuid/amd-fam15h/amd-fx-8350-eight-core-processor.test"), "",
                      NodeLspci(0x1600, 6, {{3, {{0x1E8, found}, {0x1EC, 0xA8}}}})),
             true);
    const auto thread = Identified(0);
    PinnedTo pinned(0);
    hw().setLogging(true);
    hw().clearAccessLog();
    EXPECT_EQ(thread->GetTemperature(), 168.625f);
    EXPECT_EQ(configDword(kFunction3, 0x1E8), found);
    // The data written through 0xCFC while 0xCF8 selects F3x1E8 (its
    // register bits 11:8 in bits 27:24).
    const uint32_t select = 0x80000000u | 1u << 24 | 0x18u << 11 | 3u << 8 | 0xE8u;
    std::vector<uint32_t> indexWrites;
    bool selected = false;
    for (const machine::Access& access : accesses(machine::AccessKind::Port)) {
        if (access.dir != machine::AccessDir::Write) continue;
        if (access.address == 0xCF8) selected = uint32_t(access.value) == select;
        if (access.address == 0xCFC && selected) indexWrites.push_back(uint32_t(access.value));
    }
    EXPECT_EQ(indexWrites, (std::vector<uint32_t>{0x12345800, 0x12345831, 0x12345830, found}));
}

// Trinity's telemetry: the cores' and uncore's VID and current of F5x158 /
// F5x15C with the current scales of SMU register 0x1F840, when bit 29 of
// 0x1F428 is set; F5x12C and F5x188 are put back.
TEST_F(AMDApu, TrinityTelemetryPower) {
    const std::string lspci = NodeLspci(0x1400, 6,
                                        {{5, {{0x158, 40u << 16 | 255u}, {0x15C, 80u << 16 | 51u},
                                              {0x12C, 0x40}, {0x188, 0x01}}}});
    UseImage(SmuImage(CpuidDumpText(AMDLeaves({15, 6, 0, 1, 1, Brand(2, 0, 0, 0), 0, 4, 0x80,
                                               "AMD A10-5800K APU with Radeon(tm) HD Graphics"})),
                      lspci, R"({"base": "0xFE000000", "registers": {"0x1F428": "0x20000000",
                                 "0x1F840": "0x03E807D0"}})"),
             true);
    const auto thread = Identified(0);
    PinnedTo pinned(0);
    const float coresVoltage = 1.55f - 40 * 0.00625f, uncoreVoltage = 1.55f - 80 * 0.00625f;
    const float coresCurrent = 20.0f, uncoreCurrent = 51.0f / 255.0f * 1000.0f / 100.0f;
    EXPECT_FLOAT_EQ(thread->GetPower(), coresCurrent * coresVoltage);
    ASSERT_TRUE(thread->m_pPackageSensors[7] && thread->m_pPackageSensors[8]);
    EXPECT_FLOAT_EQ(thread->m_pPackageSensors[8]->m_fValue, uncoreVoltage);
    ASSERT_TRUE(thread->m_pPackageSensors[4]);
    EXPECT_FLOAT_EQ(thread->m_pPackageSensors[4]->m_fValue,
                    coresCurrent * coresVoltage + uncoreCurrent * uncoreVoltage);
    EXPECT_EQ(configDword({0, 0x18, 5}, 0x12C), 0x40u);
    EXPECT_EQ(configDword({0, 0x18, 5}, 0x188), 0x01u);
    EXPECT_EQ(configDword(kHostBridge, 0xB8), 0u);
}

} // namespace
} // namespace vexa::test
