// The driver's requests and the operations built from them, served by the
// stand-in driver from simulated machines and from this host.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "machine/machine.h"
#include "platform/low_memory.h"
#include "tests/sdk/hw/kmdriver_test_support.h"
#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

using vexa::test::PrintTo;

constexpr uint32_t kAllOnes = 0xFFFFFFFF;

const char kMachine[] = R"({
  "cpu": {"tsc_mhz": 2667, "bus_mhz": 133.33,
          "msrs": {"0x1A2": "0xFFFFFFFFFFFFFFFF", "0x17": "0x0010000000000004"}},
  "ports": {"acpi_pm_timer": "0x808"},
  "memory": [{"base": "0xF0000", "size": "0x1000", "fill": "0x5A"}]
})";

// ---- MSRs ----

struct MsrCase {
    const char* name;
    uint32_t index;
    int result;
    uint32_t high, low;
};

class KMDriverMsr : public KMDriverOnMachine, public ::testing::WithParamInterface<MsrCase> {};

TEST_P(KMDriverMsr, ReadReportsFailureForAnAllOnesOrMissingRegister) {
    install(simulatedMachine(kMachine));
    CKMDriver& driver = lockedDriver();
    uint32_t high = 0, low = 0;
    EXPECT_EQ(driver.ReadMSR(GetParam().index, &high, &low), GetParam().result);
    EXPECT_EQ(high, GetParam().high);
    EXPECT_EQ(low, GetParam().low);
}

INSTANTIATE_TEST_SUITE_P(, KMDriverMsr,
                         ::testing::Values(MsrCase{"Present", 0x17, 1, 0x00100000, 4},
                                           MsrCase{"AllOnes", 0x1A2, 0, kAllOnes, kAllOnes},
                                           MsrCase{"Missing", 0x1A0, 0, kAllOnes, kAllOnes}),
                         CaseName());

TEST_F(KMDriverOnMachine, WrittenMsrReadsBack) {
    install(simulatedMachine(kMachine));
    CKMDriver& driver = lockedDriver();
    EXPECT_EQ(driver.WriteMSR(0x17, 0x12345678, 0x9ABCDEF0), 1);
    uint32_t high = 0, low = 0;
    EXPECT_EQ(driver.ReadMSR(0x17, &high, &low), 1);
    EXPECT_EQ(high, 0x12345678u);
    EXPECT_EQ(low, 0x9ABCDEF0u);
    EXPECT_EQ(driver.WriteMSR(0x1A0, 0, 1), 0);  // no such register
}

// ---- Physical memory ----

TEST_F(KMDriverOnMachine, MemoryReadsAndWritesOfBytesDwordsAndQwords) {
    install(simulatedMachine(kMachine));
    CKMDriver& driver = lockedDriver();
    EXPECT_EQ(driver.WriteMemoryDword(0, 0xF0000, 0x10, 0x11223344), 1);
    EXPECT_EQ(driver.WriteMemoryByte(0, 0xF0000, 0x14, 0x99), 1);

    uint8_t byte = 0;
    uint32_t dword = 0, high = 0, low = 0;
    EXPECT_EQ(driver.ReadMemoryByte(0, 0xF0000, 0x11, &byte), 1);
    EXPECT_EQ(byte, 0x33);
    EXPECT_EQ(driver.ReadMemoryDword(0, 0xF0010, 4, &dword), 1);
    EXPECT_EQ(dword, 0x5A5A5A99u);  // the byte's neighbours kept
    EXPECT_EQ(driver.ReadMemoryQword(0, 0xF0000, 0x10, &high, &low), 1);
    EXPECT_EQ(low, 0x11223344u);
    EXPECT_EQ(high, 0x5A5A5A99u);
}

TEST_F(KMDriverOnMachine, MemoryOutsideTheMachineFailsWithPresets) {
    install(simulatedMachine(kMachine));
    CKMDriver& driver = lockedDriver();
    hw().setLogging(true);
    uint8_t byte = 0;
    uint32_t dword = 0, high = 0, low = 0;
    EXPECT_EQ(driver.ReadMemoryByte(0, 0x100000, 0, &byte), 0);
    EXPECT_EQ(byte, 0xFF);
    // The offset is added to the low dword only: no carry into the high one.
    EXPECT_EQ(driver.ReadMemoryDword(1, 0xFFFFFFF0, 0x10, &dword), 0);
    EXPECT_EQ(dword, kAllOnes);
    EXPECT_EQ(driver.ReadMemoryQword(0, 0x100000, 0, &high, &low), 0);
    EXPECT_EQ(high, kAllOnes);
    EXPECT_EQ(low, kAllOnes);
    EXPECT_EQ(driver.WriteMemoryByte(0, 0x100000, 0, 1), 0);

    const auto reads = accesses(machine::AccessKind::Memory);
    ASSERT_EQ(reads.size(), 4u);  // the byte write stopped after its read
    EXPECT_EQ(reads[1].address, 0x100000000ull);
    for (const auto& access : reads) EXPECT_EQ(access.dir, machine::AccessDir::Read);
}

// The mapping request answers the address of a view of the range in the
// process (low dword first); a range nothing answers maps nothing.
TEST_F(KMDriverOnMachine, MapPhysicalMemoryGivesAViewOfTheRange) {
    install(simulatedMachine(kMachine));
    CKMDriver& driver = lockedDriver();
    hw().setLogging(true);
    uint32_t mapping[2] = {7, 7};
    ASSERT_EQ(driver.MapPhysicalMemory(0xF0010, 0, 16, mapping), 1);
    const auto* view = reinterpret_cast<const uint8_t*>(uint64_t(mapping[1]) << 32 | mapping[0]);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(view[i], 0x5A);
    const auto reads = accesses(machine::AccessKind::Memory);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].address, 0xF0010u);
    EXPECT_EQ(reads[0].size, 16u);

    uint32_t untouched[2] = {7, 7};
    EXPECT_EQ(driver.MapPhysicalMemory(0x200000, 0, 16, untouched), 0);
    EXPECT_EQ(untouched[0], 7u);
    EXPECT_EQ(driver.MapPhysicalMemory(0xF0000, 0, 0x2000000, untouched), 0) << "beyond the largest view";
}

TEST_F(KMDriverOnMachine, ZeroLengthMemoryRequestsSendNothing) {
    install(simulatedMachine(kMachine));
    CKMDriver& driver = lockedDriver();
    hw().setLogging(true);
    uint8_t buffer[4] = {1, 2, 3, 4};
    uint32_t mapping[2] = {7, 7};
    EXPECT_EQ(driver.ReadPhysicalMemory(0, 0xF0000, 0, buffer), 0);
    EXPECT_EQ(driver.MapPhysicalMemory(0xF0000, 0, 0, mapping), 0);
    EXPECT_EQ(driver.ReadPCIConfig(0, 0, 0, 0, 0, buffer), 0);
    EXPECT_TRUE(hw().accessLog().empty());
    EXPECT_EQ(buffer[0], 1);
    EXPECT_EQ(mapping[0], 7u);

    // The same read with a length does reach the machine.
    EXPECT_EQ(driver.ReadPhysicalMemory(0, 0xF0000, 4, buffer), 1);
    EXPECT_EQ(accesses(machine::AccessKind::Memory).size(), 1u);
    EXPECT_EQ(buffer[0], 0x5A);
}

// ---- PCI configuration space on the X58 board ----

struct ConfigCase {
    const char* name;
    uint32_t bus, device, function, reg;
    uint32_t value;
};

class KMDriverConfigPorts : public KMDriverOnMachine, public ::testing::WithParamInterface<ConfigCase> {};

TEST_P(KMDriverConfigPorts, ReadsTheDwordShiftedToTheRegisterAndRestoresTheAddressPort) {
    install(loadMachine(sourcePath("machines/x58-nehalem")));
    CKMDriver& driver = lockedDriver();
    const ConfigCase& c = GetParam();
    ASSERT_EQ(driver.WritePortDword(0xCF8, 0x80000010), 1);  // someone's address
    uint32_t value = 0;
    EXPECT_EQ(driver.ReadPCIConfigDwordByPorts(c.bus, c.device, c.function, c.reg, &value), 1);
    EXPECT_EQ(value, c.value);
    const machine::PciAddress fn{uint8_t(c.bus), uint8_t(c.device), uint8_t(c.function)};
    EXPECT_EQ(value, configDword(fn, c.reg & ~3u) >> ((c.reg & 3) * 8));
    uint32_t address = 0;
    EXPECT_EQ(driver.ReadPortDword(0xCF8, &address), 1);
    EXPECT_EQ(address, 0x80000010u);
}

INSTANTIATE_TEST_SUITE_P(, KMDriverConfigPorts,
                         ::testing::Values(ConfigCase{"VendorAndDevice", 0, 0, 0, 0x00, 0x34058086},
                                           ConfigCase{"DeviceId", 0, 0, 0, 0x02, 0x3405},
                                           ConfigCase{"HostBridgeHeaderType", 0, 0, 0, 0x0E, 0x0000},
                                           ConfigCase{"BridgeHeaderType", 0, 0x1C, 0, 0x0E, 0x0081},
                                           ConfigCase{"LatencyTimerAndUp", 0, 0x1C, 0, 0x0D, 0x008100},
                                           ConfigCase{"HeaderTypeOnBus255", 0xFF, 2, 1, 0x0E, 0x0080}),
                         CaseName());

TEST_F(KMDriverOnMachine, RegisterByPortsMatchesTheConfigurationRequest) {
    install(loadMachine(sourcePath("machines/x58-nehalem")));
    CKMDriver& driver = lockedDriver();
    uint32_t dword0C = 0, register0E = 0;
    EXPECT_EQ(driver.ReadPCIConfig(0, 0x1C, 0, 0x0C, 4, &dword0C), 1);
    EXPECT_EQ(driver.ReadPCIConfigDwordByPorts(0, 0x1C, 0, 0x0E, &register0E), 1);
    EXPECT_EQ(register0E, dword0C >> 16);
}

TEST_F(KMDriverOnMachine, ConfigWriteByPortsNeedsADwordRegister) {
    install(loadMachine(sourcePath("machines/x58-nehalem")));
    CKMDriver& driver = lockedDriver();
    hw().setLogging(true);
    EXPECT_EQ(driver.WritePCIConfigDwordByPorts(0, 0, 0, 0x42, 0x12345678), 0);
    EXPECT_TRUE(hw().accessLog().empty());

    EXPECT_EQ(driver.WritePCIConfigDwordByPorts(0, 0, 0, 0x40, 0x12345678), 1);
    EXPECT_EQ(configDword({0, 0, 0}, 0x40), 0x12345678u);
    uint32_t value = 0;
    EXPECT_EQ(driver.ReadPCIConfigAddressByPorts(0x80000042, &value), 1);
    EXPECT_EQ(value, 0x1234u);
}

TEST_F(KMDriverOnMachine, ConfigReadByPortsFailsWhenTheDataPortDoesNotAnswer) {
    install(loadMachine(sourcePath("machines/x58-nehalem")));
    CKMDriver& driver = lockedDriver();
    ASSERT_EQ(driver.WritePortDword(0xCF8, 0x80000010), 1);
    hw().injectFault({machine::AccessKind::Port, machine::AccessDir::Read, 0xCFC, 0xCFF});
    uint32_t value = 0;
    EXPECT_EQ(driver.ReadPCIConfigDwordByPorts(0, 0, 0, 0, &value), 0);
    EXPECT_EQ(value, kAllOnes);
    hw().clearFaults();
    uint32_t address = 0;
    EXPECT_EQ(driver.ReadPortDword(0xCF8, &address), 1);
    EXPECT_EQ(address, 0x80000010u);  // restored all the same
}

TEST_F(KMDriverOnMachine, ConfigMechanism2SelectsFunctionAndBusThenReadsTheWindow) {
    install(loadMachine(sourcePath("machines/x58-nehalem")));
    CKMDriver& driver = lockedDriver();
    hw().setLogging(true);
    uint32_t value = 0;
    EXPECT_EQ(driver.ReadPCIConfigMech2(2, 5, 3, 0x08, &value), 1);
    const auto ports = accesses(machine::AccessKind::Port);
    ASSERT_EQ(ports.size(), 3u);  // 0xCF8 is not written back
    EXPECT_EQ(ports[0].dir, machine::AccessDir::Write);
    EXPECT_EQ(ports[0].address, 0xCF8u);
    EXPECT_EQ(ports[0].size, 1u);
    EXPECT_EQ(ports[0].value, 0xF0u | 3 << 1);
    EXPECT_EQ(ports[1].address, 0xCFAu);
    EXPECT_EQ(ports[1].value, 2u);
    EXPECT_EQ(ports[2].dir, machine::AccessDir::Read);
    EXPECT_EQ(ports[2].address, 0xC508u);
    EXPECT_EQ(ports[2].size, 4u);
}

// Windows 9x has no configuration request: the manager goes through the
// ports dword by dword, never past the caller's buffer.
TEST_F(KMDriverOnMachine, Win9xConfigAccessGoesThroughThePorts) {
    install(loadMachine(sourcePath("machines/x58-nehalem")));
    machine::WindowsIdentity windows98;
    windows98.platformId = 1;
    windows98.majorVersion = 4;
    windows98.minorVersion = 10;
    windows98.processorArchitecture = 0;
    useIdentity(windows98);
    CKMDriver& driver = lockedDriver();

    uint8_t buffer[8];
    std::memset(buffer, 0xCC, sizeof buffer);
    EXPECT_EQ(driver.ReadPCIConfig(0, 0, 0, 0, 6, buffer), 1);
    const uint8_t expected[8] = {0x86, 0x80, 0x05, 0x34, 0x00, 0x00, 0xCC, 0xCC};
    EXPECT_EQ(std::memcmp(buffer, expected, sizeof expected), 0);

    const uint8_t bytes[2] = {0xAB, 0xCD};
    ASSERT_EQ(driver.WritePCIConfigDwordByPorts(0, 0, 0, 0x40, 0x11223344), 1);
    EXPECT_EQ(driver.WritePCIConfig(0, 0, 0, 0x40, 2, bytes), 1);
    EXPECT_EQ(configDword({0, 0, 0}, 0x40), 0x1122CDABu);

    // The VxD is not asked for its version, and has no SMBus request.
    uint32_t version = 0;
    uint8_t byte = 0;
    EXPECT_EQ(driver.GetDriverVersion(&version), 1);
    EXPECT_EQ(version, CKMDriver::kDriverVersion);
    EXPECT_EQ(driver.ReadSMBusByteICH(0x400, 0x50, 0, &byte), 2u);
}

// ---- This host ----

TEST_F(KMDriverTest, OnThisHostMsrRequestsFailCleanlyAndConfigReadsSucceed) {
    CKMDriver& driver = lockedDriver();
    if (access("/dev/cpu/0/msr", R_OK) != 0) {
        uint32_t high = 0, low = 0;
        EXPECT_EQ(driver.ReadMSR(0x10, &high, &low), 0);
        EXPECT_EQ(high, kAllOnes);
        EXPECT_EQ(low, kAllOnes);
        EXPECT_EQ(driver.WriteMSR(0x10, 0, 0), 0);
    }
    uint32_t ids = 0;
    EXPECT_EQ(driver.ReadPCIConfig(0, 0, 0, 0, sizeof ids, &ids), 1);
    uint8_t expected[4];
    ASSERT_TRUE(machine::current().readPciConfig({0, 0, 0}, 0, expected));
    EXPECT_EQ(std::memcmp(&ids, expected, 4), 0);
}

TEST_F(KMDriverTest, DriverAndKernelVersions) {
    CKMDriver& driver = lockedDriver();
    uint32_t version = 0, major = 0, minor = 0, build = 0;
    EXPECT_EQ(driver.GetDriverVersion(&version), 1);
    EXPECT_EQ(version, 312u);
    EXPECT_EQ(driver.m_dwDriverVersion, 312u);
    EXPECT_EQ(driver.GetKernelVersion(&major, &minor, &build), 1);
    EXPECT_EQ(major, 10u);
    EXPECT_EQ(minor, 0u);
    EXPECT_EQ(build, 19045u);
}

TEST_F(KMDriverOnMachine, DriverOfAnotherVersionSaysSo) {
    install(simulatedMachine(R"({"driver": {"version": 311}})"));
    CKMDriver& driver = lockedDriver();
    uint32_t version = 0;
    EXPECT_EQ(driver.GetDriverVersion(&version), 1);
    EXPECT_EQ(version, 311u);
}

TEST_F(KMDriverTest, IA64RequestsCannotCarryOurPointers) {
    CKMDriver& driver = lockedDriver();
    uint64_t registers[8] = {};
    uint32_t count = 99;
    EXPECT_EQ(driver.ReadIA64CPUID(registers, &count), 0);
    EXPECT_EQ(count, 99u);
    EXPECT_EQ(driver.CallPALProcedure(registers), 0);
}

TEST_F(KMDriverOnMachine, IA64RequestsFailCleanlyWithoutItaniums) {
    install(simulatedMachine("{}"));
    CKMDriver& driver = lockedDriver();
    vexa::platform::LowMemoryBlock block(8 * sizeof(uint64_t));
    auto* qwords = static_cast<uint64_t*>(block.data());
    ASSERT_TRUE(qwords);
    qwords[0] = 20;  // PAL_VERSION
    uint32_t count = 99;
    EXPECT_EQ(driver.ReadIA64CPUID(qwords, &count), 0);
    EXPECT_EQ(count, 99u);
    EXPECT_EQ(driver.CallPALProcedure(qwords), 0);
    EXPECT_EQ(qwords[0], 20u);
    for (int i = 1; i < 8; ++i) EXPECT_EQ(qwords[i], 0u) << i;
}

// ---- Clock measurements ----

TEST_F(KMDriverOnMachine, ClockMeasurementsGiveTheMachinesClocks) {
    useManualClock();
    install(simulatedMachine(kMachine));
    CKMDriver& driver = lockedDriver();
    constexpr double kPMTimerHz = 3579545.0;
    EXPECT_NEAR(driver.MeasureMSRClockByPMTimer(kPMTimerHz, 0x808, 0x10), 2667.0, 1.0);
    EXPECT_NEAR(driver.MeasureBusClock(kPMTimerHz, 0x808), 133.33, 0.1);
    EXPECT_NEAR(driver.MeasureBusClockEx(kPMTimerHz, 0x808, 0xFEE00000), 133.33, 0.1);
    // A reference timer running faster than it says scales the answer.
    EXPECT_NEAR(driver.MeasureMSRClockByPMTimer(2 * kPMTimerHz, 0x808, 0x10), 2 * 2667.0, 2.0);
    // No timer at the port, no HPET in memory.
    EXPECT_EQ(driver.MeasureBusClock(kPMTimerHz, 0x900), -1.0f);
    EXPECT_EQ(driver.MeasureMSRClockByHPET(14318180.0, 0xFED00000, 0x10), -1.0f);
}

} // namespace
} // namespace vexa::test
