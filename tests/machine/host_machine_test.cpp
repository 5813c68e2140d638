// The host backend on the system the tests run on. Where the system lacks
// something (no msr driver, no SMBIOS, no PCI), the test checks that the
// access fails cleanly or skips.
#include "machine/host_machine.h"

#include "tests/support/test_paths.h"

#include <gtest/gtest.h>

#include <vector>

#include <cpuid.h>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sched.h>
#include <unistd.h>

namespace vexa::machine {
namespace {

TEST(HostMachine, CpuidIsTheInstruction) {
    HostMachine host;
    ASSERT_GE(host.processorCount(), 1u);
    unsigned a = 0, b = 0, c = 0, d = 0;
    __cpuid_count(0, 0, a, b, c, d);
    const CpuidRegs leaf0 = host.cpuid(0, 0, 0);
    EXPECT_EQ(leaf0, (CpuidRegs{a, b, c, d}));
    char vendor[13] = {};
    std::memcpy(vendor, &leaf0.ebx, 4);
    std::memcpy(vendor + 4, &leaf0.edx, 4);
    std::memcpy(vendor + 8, &leaf0.ecx, 4);
    EXPECT_EQ(std::strlen(vendor), 12u) << vendor;
    EXPECT_EQ(host.cpuid(host.processorCount(), 0, 0), CpuidRegs{});
}

TEST(HostMachine, TimeStampCounterAdvances) {
    HostMachine host;
    const uint64_t first = host.readTsc(0);
    usleep(1000);
    EXPECT_GT(host.readTsc(0), first);
}

TEST(HostMachine, PciVendorIdMatchesSysfs) {
    const std::string sysfs = "/sys/bus/pci/devices/0000:00:00.0/vendor";
    std::ifstream vendorFile(sysfs);
    if (!vendorFile) GTEST_SKIP() << "no PCI function 00:00.0 here";
    std::string text;
    vendorFile >> text;
    HostMachine host;
    uint8_t id[2] = {};
    ASSERT_TRUE(host.readPciConfig(PciAddress{0, 0, 0}, 0, id));
    EXPECT_EQ(unsigned(id[0] | id[1] << 8), std::stoul(text, nullptr, 16));
}

TEST(HostMachine, MissingDevicesFailCleanly) {
    HostMachine host;
    uint64_t msr = 5;
    if (!std::filesystem::exists("/dev/cpu/0/msr")) {
        EXPECT_FALSE(host.readMsr(0, 0x10, msr));
        EXPECT_EQ(msr, 0u);
        EXPECT_FALSE(host.writeMsr(0, 0x10, 0));
    }
    uint32_t port = 0;
    if (!std::filesystem::exists("/dev/port")) {
        EXPECT_FALSE(host.readPort(0x80, 1, port));
    }
    uint8_t bytes[4];
    if (!std::filesystem::exists("/dev/mem")) {
        EXPECT_FALSE(host.readPhysical(0xF0000, bytes));
    }
    if (!std::filesystem::exists("/sys/firmware/dmi/tables/DMI")) {
        EXPECT_FALSE(host.smbios());
    }
    EXPECT_TRUE(host.deviceTree().empty());
    EXPECT_TRUE(host.acpiNamespace().empty());
    EXPECT_EQ(host.busClockMHz(), -1.0);
    EXPECT_EQ(host.driverBehaviour(), DriverBehaviour{});
    EXPECT_EQ(host.windowsIdentity().majorVersion, WindowsIdentity{}.majorVersion);
}

// A fake /sys tree: an absent PCI function reads all ones, registers past
// the end of a function's file read all ones, ACPI tables come from the
// files of the tables folder only.
TEST(HostMachine, FakeSysTree) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / "fake-sys";
    fs::remove_all(root);
    const fs::path device = root / "sys/bus/pci/devices/0000:00:1f.3";
    fs::create_directories(device);
    std::string config(256, '\0');
    config[0] = char(0x86), config[1] = char(0x80), config[2] = 0x30, config[3] = 0x3A;
    std::ofstream(device / "config", std::ios::binary) << config;
    const fs::path tables = root / "sys/firmware/acpi/tables";
    fs::create_directories(tables / "dynamic");
    std::string apic(44, '\0');
    apic.replace(0, 4, "APIC");
    apic[4] = 44;
    std::ofstream(tables / "APIC", std::ios::binary) << apic;
    std::ofstream(tables / "SSDT1", std::ios::binary) << "SSDT" + std::string(32, '\0');
    std::ofstream(tables / "x", std::ios::binary) << "ab";  // too short for a signature
    std::ofstream(tables / "dynamic" / "SSDT2", std::ios::binary) << "SSDT" + std::string(32, '\0');

    HostMachine host(root.string(), root.string());
    uint8_t bytes[4] = {};
    ASSERT_TRUE(host.readPciConfig(PciAddress{0, 0x1f, 3}, 0, bytes));
    EXPECT_EQ(bytes[2], 0x30);
    ASSERT_TRUE(host.readPciConfig(PciAddress{0, 0x1f, 3}, 0x100, bytes));
    EXPECT_EQ(bytes[0], 0xFF);
    ASSERT_TRUE(host.readPciConfig(PciAddress{0, 0x1f, 3}, 0xFE, bytes));
    EXPECT_EQ(bytes[1], 0x00);
    EXPECT_EQ(bytes[2], 0xFF);
    ASSERT_TRUE(host.readPciConfig(PciAddress{0, 3, 0}, 0, bytes));
    EXPECT_EQ(bytes[0], 0xFF);
    const uint8_t ignored[1] = {0};
    EXPECT_TRUE(host.writePciConfig(PciAddress{0, 3, 0}, 0x40, ignored));

    const std::vector<AcpiTable> acpi = host.acpiTables();
    ASSERT_EQ(acpi.size(), 2u);
    EXPECT_EQ(acpi[0].signature, "APIC");
    EXPECT_EQ(acpi[0].bytes.size(), 44u);
    EXPECT_EQ(acpi[1].signature, "SSDT");
    EXPECT_FALSE(host.smbios());
    uint64_t msr = 0;
    EXPECT_FALSE(host.readMsr(0, 0x10, msr));
    fs::remove_all(root);
}

TEST(HostMachine, RealAcpiTablesHaveTheirSignatures) {
    HostMachine host;
    for (const AcpiTable& table : host.acpiTables()) {
        EXPECT_EQ(table.signature.size(), 4u);
        EXPECT_GE(table.bytes.size(), 4u);
    }
}

// The processors this process may use, as the kernel numbers them.
std::vector<unsigned> AllowedProcessors(cpu_set_t& set) {
    std::vector<unsigned> allowed;
    for (unsigned cpu = 0; cpu < CPU_SETSIZE; ++cpu)
        if (CPU_ISSET(cpu, &set)) allowed.push_back(cpu);
    return allowed;
}

TEST(HostMachine, PinningChecksTheAffinity) {
    HostMachine host;
    cpu_set_t saved;
    ASSERT_EQ(sched_getaffinity(0, sizeof saved, &saved), 0);
    const std::vector<unsigned> allowed = AllowedProcessors(saved);
    ASSERT_FALSE(allowed.empty());
    EXPECT_FALSE(host.pinThread(0, {0, 0}));
    EXPECT_FALSE(host.pinThread(0, {CPU_SETSIZE, 1}));  // past any processor of the process
    // The first and the last usable processor, each named two ways: by its
    // bit from processor 0 where it has one, and as the slice starting at it.
    for (unsigned cpu : {allowed.front(), allowed.back()}) {
        if (cpu < 64) {
            EXPECT_TRUE(host.pinThread(0, {0, 1ull << cpu})) << cpu;
            EXPECT_EQ(host.currentProcessor({0, 1ull << cpu}), cpu);
        }
        EXPECT_TRUE(host.pinThread(0, {cpu, 1})) << cpu;
        EXPECT_EQ(host.currentProcessor({cpu, 1}), cpu);
    }
    ASSERT_EQ(sched_setaffinity(0, sizeof saved, &saved), 0);
}

} // namespace
} // namespace vexa::machine

namespace vexa::machine {
namespace {

// The host maps its /dev/mem read-only (here a file of a fake tree, which
// maps like the device); without it, or for an empty range, nothing maps.
TEST(HostMachineMapping, MapsDevMemOrFailsCleanly) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("vexa-host-map-" + std::to_string(getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "dev");
    {
        HostMachine absent(root.string(), root.string());
        EXPECT_EQ(absent.mapPhysical(0x1000, 16), nullptr);
    }
    std::string bytes(0x3000, '\0');
    bytes[0x2001] = 'V';
    bytes[0x2002] = 'x';
    std::ofstream(root / "dev" / "mem", std::ios::binary) << bytes;
    HostMachine host(root.string(), root.string());
    const uint8_t* view = host.mapPhysical(0x2001, 2);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view[0], 'V');
    EXPECT_EQ(view[1], 'x');
    EXPECT_EQ(host.mapPhysical(0x2001, 0), nullptr);
    fs::remove_all(root);
}

} // namespace
} // namespace vexa::machine
