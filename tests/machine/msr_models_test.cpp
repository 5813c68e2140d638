// The kinds of MSR a simulated processor has (counters, faulting
// registers, the microcode signature register, the CPUID limit of
// IA32_MISC_ENABLE), their manifest keys, and the processor times the
// machines report.
#include "machine/host_machine.h"
#include "machine/manifest.h"
#include "machine/simulated_machine.h"

#include "tests/support/manual_clock_guard.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

namespace vexa::machine {
namespace {

constexpr uint32_t kMicrocodeMsr = 0x8B;
constexpr uint32_t kMiscEnableMsr = 0x1A0;
constexpr uint64_t kLimitCpuid = 1ull << 22;

CpuidLeaves VendorLeaves(const char* vendor, uint32_t maxBasic) {
    CpuidRegs zero;
    zero.eax = maxBasic;
    std::memcpy(&zero.ebx, vendor, 4);
    std::memcpy(&zero.edx, vendor + 4, 4);
    std::memcpy(&zero.ecx, vendor + 8, 4);
    CpuidLeaves leaves{{CpuidKey{0, 0}, zero}};
    for (uint32_t leaf = 1; leaf <= maxBasic; ++leaf) leaves[CpuidKey{leaf, 0}] = CpuidRegs{leaf * 0x100, 0, 0, 0};
    return leaves;
}

std::vector<MsrSetting> parseMsrs(const std::string& msrs) {
    Manifest manifest;
    std::string error;
    EXPECT_TRUE(parseManifest(R"({"cpu": {"msrs": )" + msrs + "}}", manifest, error)) << error;
    return manifest.cpu.msrs;
}

SimulatedMachine machineWith(const std::string& msrs, const char* vendor = "GenuineIntel", unsigned processors = 2) {
    SimulatedHardware hw;
    hw.processors.assign(processors, ProcessorCpuid(VendorLeaves(vendor, 6)));
    hw.msrs = MsrBank(processors);
    std::string error;
    for (const MsrSetting& setting : parseMsrs(msrs)) EXPECT_TRUE(hw.msrs.add(setting, error)) << error;
    return SimulatedMachine(std::move(hw));
}

uint64_t readOk(SimulatedMachine& machine, unsigned cpu, uint32_t index) {
    uint64_t value = 0;
    EXPECT_TRUE(machine.readMsr(cpu, index, value)) << std::hex << index;
    return value;
}

TEST(MsrCounter, CountsWithTheClockWrapsAtItsWidthAndTakesWrites) {
    test::ManualClockGuard time(0);
    SimulatedMachine machine = machineWith(R"({
        "0xE8": {"kind": "counter", "mhz": 2667},
        "0x611": {"kind": "counter", "mhz": 0.065536, "bits": 32, "value": "0xFFFFFFF0"},
        "0x309": {"kind": "counter", "mhz": 1000, "read_only": true, "value": 5}})");
    EXPECT_EQ(readOk(machine, 0, 0xE8), 0u);
    time.clock().advanceNs(1'000'000);  // 1 ms
    EXPECT_EQ(readOk(machine, 0, 0xE8), 2'667'000u);
    EXPECT_EQ(readOk(machine, 1, 0xE8), 2'667'000u) << "every processor counts";
    EXPECT_EQ(readOk(machine, 0, 0x611), 0x31u) << "65 counts from 0xFFFFFFF0 wrap at 32 bits";
    EXPECT_EQ(readOk(machine, 0, 0x309), 1'000'005u);

    ASSERT_TRUE(machine.writeMsr(0, 0xE8, 100));
    time.clock().advanceNs(1'000);
    EXPECT_EQ(readOk(machine, 0, 0xE8), 100u + 2'667u) << "goes on from the written count";
    EXPECT_EQ(readOk(machine, 1, 0xE8), 2'667'000u + 2'667u) << "the other processor's copy is its own";
    EXPECT_FALSE(machine.writeMsr(0, 0x309, 0)) << "read-only";
}

TEST(MsrKinds, FaultingRegisterFailsBothWaysEvenForTheTimeStampCounter) {
    SimulatedMachine machine = machineWith(R"({"0x10": {"kind": "faulting", "cpus": [1]}, "0x3A": {"kind": "faulting"}})");
    uint64_t value = 0;
    EXPECT_TRUE(machine.readMsr(0, 0x10, value)) << "processor 0 keeps its counter";
    EXPECT_FALSE(machine.readMsr(1, 0x10, value));
    EXPECT_FALSE(machine.readMsr(0, 0x3A, value));
    EXPECT_FALSE(machine.writeMsr(0, 0x3A, 1));
}

// Intel's way to read the microcode revision: write 0 to 0x8B, execute
// CPUID 1, read 0x8B.
TEST(MsrKinds, MicrocodeSignatureTakesTheRevisionWhenCpuid1Runs) {
    SimulatedMachine machine = machineWith(R"({"0x8B": {"kind": "microcode", "revision": "0x11"}})");
    ASSERT_TRUE(machine.writeMsr(0, kMicrocodeMsr, 0));
    EXPECT_EQ(readOk(machine, 0, kMicrocodeMsr), 0u);
    machine.cpuid(0, 0, 0);
    EXPECT_EQ(readOk(machine, 0, kMicrocodeMsr), 0u) << "only leaf 1 loads it";
    machine.cpuid(0, 1, 0);
    EXPECT_EQ(readOk(machine, 0, kMicrocodeMsr), 0x11ull << 32);
    EXPECT_EQ(readOk(machine, 1, kMicrocodeMsr), 0u) << "processor 1 ran no CPUID";
}

TEST(MsrKinds, CpuidLimitBitCapsTheBasicLeavesOfIntelProcessors) {
    SimulatedMachine intel = machineWith(R"({"0x1A0": [{"value": "0x400000", "cpus": [0]},
                                                     {"value": 0, "cpus": [1]}]})");
    EXPECT_EQ(intel.cpuid(0, 0, 0).eax, 2u);
    EXPECT_EQ(intel.cpuid(0, 4, 0), intel.cpuid(0, 2, 0)) << "leaf 4 answers as the highest leaf, 2";
    EXPECT_EQ(intel.cpuid(1, 0, 0).eax, 6u) << "processor 1 has no limit";
    ASSERT_TRUE(intel.writeMsr(0, kMiscEnableMsr, 0));
    EXPECT_EQ(intel.cpuid(0, 0, 0).eax, 6u);
    EXPECT_EQ(intel.cpuid(0, 4, 0).eax, 0x400u);
    ASSERT_TRUE(intel.writeMsr(0, kMiscEnableMsr, kLimitCpuid));
    EXPECT_EQ(intel.cpuid(0, 0, 0).eax, 2u);

    SimulatedMachine amd = machineWith(R"({"0x1A0": "0x400000"})", "AuthenticAMD");
    EXPECT_EQ(amd.cpuid(0, 0, 0).eax, 6u) << "only Intel processors have the limit";
}

TEST(MsrKinds, ManifestKeysAreCheckedPerKind) {
    struct Case {
        const char* msrs;
        const char* error;
    };
    const Case cases[] = {
        {R"({"0x10": {"kind": "ticking"}})", "cpu.msrs.0x10.kind: \"ticking\" is not a kind of MSR"},
        {R"({"0xE8": {"kind": "counter"}})", "cpu.msrs.0xE8: a counter needs \"mhz\""},
        {R"({"0xE8": {"kind": "counter", "mhz": 0}})", "cpu.msrs.0xE8.mhz: must be a positive number"},
        {R"({"0xE8": {"kind": "counter", "mhz": 1, "bits": 0}})", "cpu.msrs.0xE8.bits: must be at least 1"},
        {R"({"0xE8": {"kind": "counter", "mhz": 1, "bits": 65}})", "cpu.msrs.0xE8.bits: out of range"},
        {R"({"0xE8": {"value": 1, "mhz": 1}})", "cpu.msrs.0xE8.mhz: only counters take it"},
        {R"({"0x8B": {"kind": "microcode"}})", "cpu.msrs.0x8B: a microcode register needs \"revision\""},
        {R"({"0x8B": {"value": 0, "revision": 1}})", "cpu.msrs.0x8B.revision: only microcode registers take it"},
        {R"({"0x10": {"kind": "faulting", "read_only": true}})", "cpu.msrs.0x10.read_only: only registers that"},
        {R"({"0x17": {"kind": "plain"}})", "cpu.msrs.0x17: \"value\" is missing"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.msrs);
        Manifest manifest;
        std::string error;
        EXPECT_FALSE(parseManifest(std::string(R"({"cpu": {"msrs": )") + c.msrs + "}}", manifest, error));
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
    }
    const auto settings = parseMsrs(R"({"0x611": {"kind": "counter", "mhz": "3.2768", "bits": 32},
                                        "0x8B": {"kind": "microcode", "revision": "0x1B", "value": 7}})");
    ASSERT_EQ(settings.size(), 2u);
    for (const MsrSetting& setting : settings) {
        if (setting.index == 0x611) {
            EXPECT_EQ(setting.kind, MsrKind::Counter);
            EXPECT_DOUBLE_EQ(setting.rateMhz, 3.2768);
            EXPECT_EQ(setting.bits, 32u);
        } else {
            EXPECT_EQ(setting.kind, MsrKind::Microcode);
            EXPECT_EQ(setting.microcodeRevision, 0x1Bu);
            EXPECT_EQ(setting.value, 7u);
        }
    }
}

TEST(ProcessorTimes, SimulatedProcessorsAreBusyTheManifestsShare) {
    test::ManualClockGuard time(2'000'000'000);  // 2 s: 20,000,000 units of 100 ns
    for (const auto& [text, load] : {std::pair<const char*, double>{"{}", 0.0}, {R"({"cpu": {"load_percent": 25}})", 25.0}}) {
        SCOPED_TRACE(text);
        Manifest manifest;
        std::string error;
        ASSERT_TRUE(parseManifest(text, manifest, error)) << error;
        SimulatedHardware hw;
        hw.processors.assign(3, ProcessorCpuid(CpuidLeaves{}));
        hw.processorLoadPercent = manifest.cpu.loadPercent.value_or(0);
        const auto times = SimulatedMachine(std::move(hw)).processorTimes();
        ASSERT_EQ(times.size(), 3u);
        const auto busy = uint64_t(20'000'000 * load / 100);
        EXPECT_EQ(times[2], (ProcessorTimes{20'000'000 - busy, 20'000'000 - busy, busy}));
    }
    Manifest manifest;
    std::string error;
    EXPECT_FALSE(parseManifest(R"({"cpu": {"load_percent": 101}})", manifest, error));
    EXPECT_EQ(error, "cpu.load_percent: expected a number from 0 to 100");
}

// Windows counts idle time as kernel time; /proc/stat does not.
TEST(ProcessorTimes, HostReadsTheProcessorLinesOfProcStat) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / "procstat";
    fs::create_directories(root / "proc");
    std::ofstream(root / "proc" / "stat") << "cpu  10 1 20 300 4 5 6 7 0 0\n"
                                             "cpu0 1 2 3 40 5 6 7 8 0 0\n"
                                             "cpu99 1 1 1 1 1 1 1 1 0 0\n"
                                             "intr 12345\n";
    HostMachine host(root.string(), root.string());
    const auto times = host.processorTimes();
    ASSERT_EQ(times.size(), host.processorCount());
    const uint64_t unit = 10'000'000ull / uint64_t(sysconf(_SC_CLK_TCK));
    EXPECT_EQ(times[0], (ProcessorTimes{(40 + 5) * unit, (3 + 40 + 5 + 6 + 7) * unit, (1 + 2) * unit}));
    fs::remove_all(root / "proc");
    EXPECT_TRUE(host.processorTimes().empty()) << "no /proc/stat, no times";
    fs::remove_all(root);
}

} // namespace
} // namespace vexa::machine
