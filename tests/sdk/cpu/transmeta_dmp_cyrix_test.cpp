// The Transmeta, DM&P and Cyrix descriptions: Crusoe and Efficeon names by
// hardware revision, level-2 cache and model; Vortex86 names by the host
// bridge's signature register; Cyrix names by the device identification
// registers at ports 0x22/0x23, also on a processor without CPUID, and by
// CPUID family and model when those registers do not answer. The Cyrix
// registers are only read: the access log shows no write of their data
// port.
#include <gtest/gtest.h>

#include "machine/simulated_machine.h"
#include "platform/vm_probes.h"
#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_interface.h"
#include "sdk/cpu/cpu_package.h"
#include "sdk/cpu/cyrix.h"
#include "sdk/cpu/dmp_vortex.h"
#include "sdk/cpu/transmeta.h"
#include "sdk/hw/pci_interface.h"
#include "tests/sdk/cpu/cpu_test_support.h"
#include "tests/support/image_dir.h"

namespace vexa::test {
namespace {

// ---- Transmeta ----

struct TransmetaCase {
    const char* name;
    uint32_t family, model;
    uint32_t revision;  // CPUID 0x80860001 EBX
    uint32_t l2;        // KB
    const char* processor;
    float technology;
    int32_t package;
    uint32_t classCode;
};

void PrintTo(const TransmetaCase& c, std::ostream* out) { *out << c.name; }

class TransmetaModels : public ProcessorTest, public ::testing::WithParamInterface<TransmetaCase> {};

TEST_P(TransmetaModels, NameAndProcessByRevisionAndCache) {
    const TransmetaCase& c = GetParam();
    Leaves leaves("GenuineTMx86", 1);
    leaves.Set(1, SignatureEax(c.family, c.model, 3), 0, 0, 0)
        .Extended(0x80000006)
        .Set(0x80000001, SignatureEax(c.family, c.model, 3), 0, 0, 0)
        .Set(0x80000005, 0, 0, 0x40040120, 0x40040120)
        .Set(0x80000006, 0, 0, c.l2 << 16 | 0x4080, 0)
        .Set(0x80860000, 0x80860001, 0, 0, 0)
        .Set(0x80860001, 0x00000543, c.revision, 0, 0);
    Use(MachineOf({leaves}));
    const auto thread = Identified(0);
    ASSERT_TRUE(dynamic_cast<Transmeta_CPU_Infos*>(thread->m_pVendorInfos));
    EXPECT_STREQ(thread->m_szName, c.processor);
    EXPECT_FLOAT_EQ(thread->m_fTechnology, c.technology);
    EXPECT_EQ(thread->m_iPackageCode, c.package);
    EXPECT_EQ(thread->m_dwClassCode, c.classCode);
    EXPECT_EQ(thread->GetL2Cache(), int32_t(c.l2));
    CReportGenerator_Buffer report;
    thread->m_pVendorInfos->DumpCPUID(&report);
    const std::string text = report.GetText();
    EXPECT_NE(text.find("0x80860001"), std::string::npos) << text;
    EXPECT_EQ(text.find("0x80860002"), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Parts, TransmetaModels,
    ::testing::Values(
        TransmetaCase{"TM5600", 5, 4, 0x01030100, 512, "Transmeta Crusoë TM5600", 0.18f, 0x10012, 0x10000001},
        TransmetaCase{"TM5800", 5, 4, 0x01030000, 512, "Transmeta Crusoë TM5800", 0.13f, 0x10012, 0x10000001},
        TransmetaCase{"TM5500", 5, 4, 0x01050000, 256, "Transmeta Crusoë TM5500", 0.13f, 0x10012, 0x10000001},
        TransmetaCase{"TM3200", 5, 4, 0x01010000, 256, "Transmeta Crusoë TM3200", 0.22f, 0x10012, 0x10000001},
        // A level-2 size neither model has keeps the vendor's name.
        TransmetaCase{"OtherCache", 5, 4, 0x01030000, 384, "Transmeta Processor", 0.13f, 0x10012, 0x10000001},
        TransmetaCase{"EfficeonModel2", 15, 2, 0x02000000, 1024, "Transmeta Efficeon TM8000", 0.13f, 0x10032,
                      0x10000002},
        TransmetaCase{"EfficeonModel3", 15, 3, 0x02000000, 1024, "Transmeta Efficeon TM8000", 0.09f, 0x10032,
                      0x10000002}),
    [](const ::testing::TestParamInfo<TransmetaCase>& row) { return std::string(row.param.name); });

// ---- DM&P ----

// A Vortex86 of family 5 and this model, and its host bridge with the
// signature register (empty: no PCI functions).
std::unique_ptr<machine::Machine> VortexImage(uint32_t model, const std::string& signatureBytes) {
    ImageDir image;
    char leaf1[64];
    std::snprintf(leaf1, sizeof leaf1, "CPUID 00000001: %08X-00000000-00000000-00008001\n", 0x500 | model << 4 | 2);
    image.write("cpuid.txt", std::string("CPUID 00000000: 00000001-74726F56-436F5320-36387865\n") + leaf1);
    if (!signatureBytes.empty())
        image.write("lspci.txt", "00:00.0 Host bridge: DM&P Electronics Inc Device 6000\n"
                                 "00: f3 17 00 60 07 00 00 02 01 00 00 06 00 00 00 00\n"
                                 "90: " + signatureBytes + " 00 00 00 00 00 00 00 00 00 00 00 00\n");
    return image.load();
}

struct DMPCase {
    const char* name;
    uint32_t model;
    std::string signatureBytes;
    const char* processor;
    int32_t l2;
};

void PrintTo(const DMPCase& c, std::ostream* out) { *out << c.name; }

class VortexModels : public ProcessorTest, public ::testing::WithParamInterface<DMPCase> {};

TEST_P(VortexModels, NameByHostBridgeSignature) {
    const DMPCase& c = GetParam();
    Use(VortexImage(c.model, c.signatureBytes));
    if (!c.signatureBytes.empty()) {
        ASSERT_EQ(GetSDK()->CreatePCIInterface(), 1);
    }
    hw().setLogging(true);
    const auto thread = Identified(0);
    ASSERT_TRUE(dynamic_cast<DMP_CPU_Infos*>(thread->m_pVendorInfos));
    EXPECT_STREQ(thread->m_szName, c.processor);
    EXPECT_EQ(thread->m_iApicId, 0);
    EXPECT_EQ(thread->GetL2Cache(), c.l2);
    for (int type : {CACHE_INSTRUCTION, CACHE_DATA}) {
        const CCacheDescriptor* l1 = thread->FindCacheDescriptor(1, type);
        ASSERT_TRUE(l1);
        EXPECT_EQ(l1->m_iSize, 16);
    }
    for (const machine::Access& access : hw().accessLog())
        EXPECT_FALSE(access.kind == machine::AccessKind::PciConfig && access.dir == machine::AccessDir::Write);
}

INSTANTIATE_TEST_SUITE_P(
    Parts, VortexModels,
    ::testing::Values(
        // The signature wins over family and model.
        DMPCase{"MXByDMP3", 2, "44 4d 50 33", "DM&P Vortex86 MX", 0},
        DMPCase{"DXByDMP2", 8, "44 4d 50 32", "DM&P Vortex86 DX", 512},
        DMPCase{"SXByDMP1", 2, "44 4d 50 31", "DM&P Vortex86 SX", 0},
        DMPCase{"OtherSignatureKeepsTheModel", 8, "00 11 22 33", "DM&P Vortex86 MX", 0},
        DMPCase{"WithoutPCIByModel", 2, "", "DM&P Vortex86 DX", 0}),
    [](const ::testing::TestParamInfo<DMPCase>& row) { return std::string(row.param.name); });

// ---- Cyrix ----

std::string CyrixPorts(const char* dir0, const char* dir1) {
    return std::string(R"("ports": {"cyrix_configuration": {"dir0": ")") + dir0 + R"(", "dir1": ")" + dir1 + "\"}}";
}

std::unique_ptr<machine::Machine> CyrixImage(const std::string& manifest, const std::string& cpuid = "") {
    ImageDir image;
    image.write("machine.json", manifest);
    if (!cpuid.empty()) image.write("cpuid.txt", cpuid);
    return image.load();
}

// CyrixInstead, family 5 and this model.
std::string CyrixCpuid(uint32_t model) {
    char leaf1[64];
    std::snprintf(leaf1, sizeof leaf1, "CPUID 00000001: %08X-00000000-00000000-00808131\n", 0x500 | model << 4);
    return std::string("CPUID 00000000: 00000001-69727943-64616574-736E4978\n") + leaf1;
}

class CyrixProcessors : public ProcessorTest {
protected:
    // No access wrote the data port 0x23; DIR0 and DIR1 read as before.
    void ExpectRegistersAsFound(uint8_t dir0, uint8_t dir1) {
        for (const machine::Access& access : hw().accessLog())
            EXPECT_FALSE(access.kind == machine::AccessKind::Port && access.dir == machine::AccessDir::Write &&
                         access.address == 0x23);
        hw().setLogging(false);
        for (auto [index, expected] : {std::pair{0xFE, dir0}, std::pair{0xFF, dir1}}) {
            uint32_t value = 0;
            ASSERT_TRUE(hw().writePort(0x22, 1, index));
            ASSERT_TRUE(hw().readPort(0x23, 1, value));
            EXPECT_EQ(value, expected);
        }
    }
};

// A Geode GX1 of the era when CPUID was switched off: the scan still names
// it through its configuration registers.
TEST_F(CyrixProcessors, GX1WithoutCpuidNamedByItsConfigurationRegisters) {
    Use(CyrixImage(R"({"cpu": {"cpuid": false}, )" + CyrixPorts("0x45", "0x84") + "}"));
    hw().setLogging(true);
    ASSERT_EQ(GetSDK()->CreateCPUInterface(0), 1);
    CProcessor* package = GetSDK()->m_pCPU->GetProcessor(0);
    ASSERT_TRUE(package);
    EXPECT_STREQ(package->GetName(), "Cyrix Geode GX1");
    EXPECT_STREQ(package->GetPackageName(), "Socket 352 BGA");
    CCPUThread* thread = package->GetFirstThread();
    EXPECT_EQ(thread->m_dwClassCode, 0x4000000u);
    EXPECT_EQ(thread->m_iPackageCode, 0x10011);
    EXPECT_EQ(thread->m_iFamily, -1) << "no CPUID executed";
    ASSERT_TRUE(dynamic_cast<Cyrix_CPU_Infos*>(thread->m_pVendorInfos));
    CReportGenerator_Buffer report;
    thread->m_pVendorInfos->DumpRegisters(&report);
    const std::string text = report.GetText();
    EXPECT_NE(text.find("0x45"), std::string::npos) << text;
    EXPECT_NE(text.find("0x84"), std::string::npos) << text;
    for (const machine::Access& access : hw().accessLog())
        EXPECT_NE(access.kind, machine::AccessKind::Cpuid) << "leaf " << access.address;
    ExpectRegistersAsFound(0x45, 0x84);
}

// The probe of CPUID: the instruction executes, or faults where the
// machine has none.
TEST_F(CyrixProcessors, CpuidProbeFollowsTheMachine) {
    const BYTE cpuid[] = {0x0F, 0xA2};
    Use(CyrixImage("{}", CyrixCpuid(2)));
    PROBE_REGISTERS registers{0, 0, 0, 0};
    EXPECT_EQ(ExecuteGuardedInstruction(cpuid, sizeof cpuid, &registers), 0u);
    EXPECT_EQ(registers.Ebx, 0x69727943u) << "Cyri";
    EXPECT_EQ(IsCPUIDSupported(), 1);
    Use(CyrixImage(R"({"cpu": {"cpuid": false}})"));
    registers = {0, 0, 0, 0};
    EXPECT_EQ(ExecuteGuardedInstruction(cpuid, sizeof cpuid, &registers), STATUS_ILLEGAL_INSTRUCTION);
    EXPECT_EQ(IsCPUIDSupported(), 0);
}

TEST_F(CyrixProcessors, WithoutCpuidOrConfigurationRegistersStaysUnknown) {
    Use(CyrixImage(R"({"cpu": {"cpuid": false}})"));
    PinnedTo pinned(0);
    CCPUThread thread;
    EXPECT_EQ(thread.Identify(), 0);
    EXPECT_STREQ(thread.m_szName, "Unknown Processor");
    EXPECT_FALSE(thread.m_pVendorInfos);
}

struct CyrixCase {
    const char* name;
    std::string ports;  // manifest member, empty for none
    uint32_t model;
    bool faultyDataPort;
    const char* processor;
    const char* codename;
    int32_t package;
};

void PrintTo(const CyrixCase& c, std::ostream* out) { *out << c.name; }

class CyrixModels : public CyrixProcessors, public ::testing::WithParamInterface<CyrixCase> {};

TEST_P(CyrixModels, NamedByDeviceRegistersElseBySignature) {
    const CyrixCase& c = GetParam();
    Use(CyrixImage("{" + c.ports + "}", CyrixCpuid(c.model)));
    if (c.faultyDataPort) hw().injectFault(machine::Fault{machine::AccessKind::Port, std::nullopt, 0x23, 0x23});
    hw().setLogging(true);
    const auto thread = Identified(0);
    ASSERT_TRUE(dynamic_cast<Cyrix_CPU_Infos*>(thread->m_pVendorInfos));
    EXPECT_STREQ(thread->m_szName, c.processor);
    EXPECT_STREQ(thread->m_szCodename, c.codename);
    EXPECT_EQ(thread->m_iPackageCode, c.package);
    EXPECT_EQ(thread->m_dwClassCode, 0x4000000u);
    hw().clearFaults();
    if (!c.ports.empty()) ExpectRegistersAsFound(0x45, 0x84);
}

INSTANTIATE_TEST_SUITE_P(
    Parts, CyrixModels,
    ::testing::Values(CyrixCase{"GX1ByRegisters", CyrixPorts("0x45", "0x84"), 2, false, "Cyrix Geode GX1", "", 0x10011},
                      // No registers answer (0xFF): family 5 model 2.
                      CyrixCase{"SixX86BySignature", "", 2, false, "Cyrix 6x86", "M1", 0x10002},
                      CyrixCase{"GXBySignature", "", 4, false, "Cyrix GX", "M1", 0x10002},
                      // DIR0 cannot be read: the signature names it.
                      CyrixCase{"UnreadableRegisters", CyrixPorts("0x45", "0x84"), 2, true, "Cyrix 6x86", "M1",
                                0x10002}),
    [](const ::testing::TestParamInfo<CyrixCase>& row) { return std::string(row.param.name); });

} // namespace
} // namespace vexa::test
