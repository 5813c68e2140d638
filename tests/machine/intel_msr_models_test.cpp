// The Intel processor models among the kinds of MSR: RAPL energy counters
// in the unit of MSR 0x606, fixed-function counters that their control
// registers start and stop, general counters of one event that their event
// select starts and stops, and the overclocking mailbox with its busy and
// stuck states; their manifest keys.
#include "machine/manifest.h"
#include "machine/simulated_machine.h"

#include "tests/support/manual_clock_guard.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vexa::machine {
namespace {

SimulatedMachine machineWith(const std::string& msrs, unsigned processors = 2) {
    CpuidRegs zero;
    zero.eax = 6;
    std::memcpy(&zero.ebx, "Genu", 4);
    std::memcpy(&zero.edx, "ineI", 4);
    std::memcpy(&zero.ecx, "ntel", 4);
    SimulatedHardware hw;
    hw.processors.assign(processors, ProcessorCpuid(CpuidLeaves{{CpuidKey{0, 0}, zero}}));
    hw.msrs = MsrBank(processors);
    Manifest manifest;
    std::string error;
    EXPECT_TRUE(parseManifest(R"({"cpu": {"msrs": )" + msrs + "}}", manifest, error)) << error;
    for (const MsrSetting& setting : manifest.cpu.msrs) EXPECT_TRUE(hw.msrs.add(setting, error)) << error;
    return SimulatedMachine(std::move(hw));
}

uint64_t readOk(SimulatedMachine& machine, unsigned cpu, uint32_t index) {
    uint64_t value = 0;
    EXPECT_TRUE(machine.readMsr(cpu, index, value)) << std::hex << index;
    return value;
}

// ---- Energy counters ----

TEST(EnergyCounter, CountsTheDrawInTheUnitOf0x606AndWrapsAt32Bits) {
    test::ManualClockGuard time(0);
    SimulatedMachine machine = machineWith(R"({
        "0x606": [{"value": "0x0E00", "cpus": [0]}, {"value": "0x1000", "cpus": [1]}],
        "0x611": {"kind": "energy", "watts": 50, "value": "0xFFFFF000"},
        "0x639": {"kind": "energy", "watts": 0.5}})");
    EXPECT_EQ(readOk(machine, 0, 0x611), 0xFFFFF000u);
    time.clock().advanceNs(1'000'000'000);
    // 50 W for a second: 50 x 2^14 counts on processor 0, 50 x 2^16 on 1.
    EXPECT_EQ(readOk(machine, 0, 0x611), (0xFFFFF000u + 50u * 16384u) & 0xFFFFFFFFu) << "wrapped past 2^32";
    EXPECT_EQ(readOk(machine, 1, 0x611), (0xFFFFF000u + 50u * 65536u) & 0xFFFFFFFFu);
    EXPECT_EQ(readOk(machine, 0, 0x639), 8192u);
    EXPECT_FALSE(machine.writeMsr(0, 0x611, 0)) << "software cannot set an energy counter";
}

TEST(EnergyCounter, WithoutAUnitRegisterCountsIn2ToTheMinus16Joules) {
    test::ManualClockGuard time(0);
    SimulatedMachine machine = machineWith(R"({"0x619": {"kind": "energy", "watts": 2}})");
    time.clock().advanceNs(500'000'000);
    EXPECT_EQ(readOk(machine, 0, 0x619), 65536u);
}

// ---- Fixed-function counters ----

TEST(FixedCounter, CountsOnlyWhileBothControlRegistersEnableIt) {
    test::ManualClockGuard time(0);
    SimulatedMachine machine = machineWith(R"({
        "0x309": {"kind": "fixed_counter", "mhz": 1000},
        "0x30A": {"kind": "fixed_counter", "mhz": 3000},
        "0x30B": {"kind": "fixed_counter", "mhz": 2000, "value": 7},
        "0x38D": "0x0",
        "0x38F": "0x000000070000000F"})");
    time.clock().advanceNs(1'000);
    EXPECT_EQ(readOk(machine, 0, 0x30A), 0u) << "IA32_FIXED_CTR_CTRL enables nothing";
    EXPECT_EQ(readOk(machine, 0, 0x30B), 7u);

    ASSERT_TRUE(machine.writeMsr(0, 0x38D, 0x330));  // counters 1 and 2, both privilege levels
    time.clock().advanceNs(1'000);
    EXPECT_EQ(readOk(machine, 0, 0x309), 0u) << "counter 0 keeps its field 0";
    EXPECT_EQ(readOk(machine, 0, 0x30A), 3'000u);
    EXPECT_EQ(readOk(machine, 0, 0x30B), 7u + 2'000u);
    EXPECT_EQ(readOk(machine, 1, 0x30A), 0u) << "processor 1 has its own controls";

    ASSERT_TRUE(machine.writeMsr(0, 0x38F, 0x000000030000000F));  // counter 2 off globally
    time.clock().advanceNs(1'000);
    EXPECT_EQ(readOk(machine, 0, 0x30A), 6'000u);
    EXPECT_EQ(readOk(machine, 0, 0x30B), 7u + 2'000u) << "stopped, it keeps its count";

    ASSERT_TRUE(machine.writeMsr(0, 0x38D, 0));
    ASSERT_TRUE(machine.writeMsr(0, 0x38F, 0x000000070000000F));
    ASSERT_TRUE(machine.writeMsr(0, 0x30A, 100));
    time.clock().advanceNs(1'000);
    EXPECT_EQ(readOk(machine, 0, 0x30A), 100u) << "a write sets the count of a stopped counter";
    ASSERT_TRUE(machine.writeMsr(0, 0x38D, 0x020));
    time.clock().advanceNs(1'000);
    EXPECT_EQ(readOk(machine, 0, 0x30A), 3'100u) << "and it goes on from there";
}

TEST(FixedCounter, UnlistedControlsHoldNothingBackAndTheWidthIs48Bits) {
    test::ManualClockGuard time(0);
    SimulatedMachine machine =
        machineWith(R"({"0x30A": {"kind": "fixed_counter", "mhz": 1000, "value": "0xFFFFFFFFFFFF"}})");
    time.clock().advanceNs(2'000);
    EXPECT_EQ(readOk(machine, 0, 0x30A), 1'999u);
}

// ---- Event counters ----

TEST(EventCounter, CountsItsEventWhileTheEventSelectAndGlobalControlEnableIt) {
    test::ManualClockGuard time(0);
    SimulatedMachine machine = machineWith(R"({
        "0xC1": {"kind": "event_counter", "event": "0x3C", "unit_mask": "0x01", "mhz": 200},
        "0x186": "0x0",
        "0x38F": "0x3"})");
    time.clock().advanceNs(1'000);
    EXPECT_EQ(readOk(machine, 0, 0xC1), 0u) << "the event select enables nothing";

    ASSERT_TRUE(machine.writeMsr(0, 0x186, 0x43013C));  // bus cycles, user and kernel mode, enabled
    time.clock().advanceNs(1'000);
    EXPECT_EQ(readOk(machine, 0, 0xC1), 200u);
    EXPECT_EQ(readOk(machine, 1, 0xC1), 0u) << "processor 1 has its own event select";

    ASSERT_TRUE(machine.writeMsr(0, 0x186, 0x4300C0));  // another event
    time.clock().advanceNs(1'000);
    EXPECT_EQ(readOk(machine, 0, 0xC1), 200u) << "stopped, it keeps its count";

    ASSERT_TRUE(machine.writeMsr(0, 0x186, 0x03013C));  // selected but not enabled (bit 22)
    time.clock().advanceNs(1'000);
    EXPECT_EQ(readOk(machine, 0, 0xC1), 200u);

    ASSERT_TRUE(machine.writeMsr(0, 0x186, 0x40013C));  // enabled in neither privilege level
    time.clock().advanceNs(1'000);
    EXPECT_EQ(readOk(machine, 0, 0xC1), 200u);

    ASSERT_TRUE(machine.writeMsr(0, 0x38F, 0x2));  // counter 0 off globally
    ASSERT_TRUE(machine.writeMsr(0, 0x186, 0x43013C));
    time.clock().advanceNs(1'000);
    EXPECT_EQ(readOk(machine, 0, 0xC1), 200u);

    ASSERT_TRUE(machine.writeMsr(0, 0xC1, 50));
    ASSERT_TRUE(machine.writeMsr(0, 0x38F, 0x3));
    time.clock().advanceNs(1'000);
    EXPECT_EQ(readOk(machine, 0, 0xC1), 250u) << "a written count goes on from there";
}

// Without the event select the counter stands; without a global control
// (before Core 2) the event select alone decides. 40 bits wide.
TEST(EventCounter, NeedsItsEventSelectAndWrapsAt40Bits) {
    test::ManualClockGuard time(0);
    SimulatedMachine alone = machineWith(R"({"0xC2": {"kind": "event_counter", "event": "0x3C", "mhz": 100}})");
    time.clock().advanceNs(1'000);
    EXPECT_EQ(readOk(alone, 0, 0xC2), 0u);

    SimulatedMachine machine = machineWith(R"({
        "0xC2": {"kind": "event_counter", "event": "0x3C", "mhz": 1000, "value": "0xFFFFFFFFFF"},
        "0x187": "0x43003C"})");
    time.clock().advanceNs(2'000);
    EXPECT_EQ(readOk(machine, 0, 0xC2), 1'999u);
}

// ---- The overclocking mailbox ----

constexpr uint64_t kBusy = 1ull << 63;

uint64_t Command(uint8_t command, uint8_t parameter) {
    return kBusy | (uint64_t(parameter) << 40) | (uint64_t(command) << 32);
}

TEST(OcMailbox, AnswersItsRepliesAfterTheBusyReads) {
    SimulatedMachine machine = machineWith(R"({"0x150": {"kind": "oc_mailbox", "value": "0x1234", "busy_reads": 2,
        "replies": [{"command": "0x10", "parameter": 1, "data": "0x0A000000"}, {"command": 5, "data": 100000}]}})");
    EXPECT_EQ(readOk(machine, 0, 0x150), 0x1234u);
    ASSERT_TRUE(machine.writeMsr(0, 0x150, Command(0x10, 1)));
    for (int poll = 0; poll < 2; ++poll)
        EXPECT_EQ(readOk(machine, 0, 0x150), Command(0x10, 1) | 0x1234u) << "busy, with the stale low dword";
    EXPECT_EQ(readOk(machine, 0, 0x150), (uint64_t(1) << 40) | 0x0A000000u) << "done: code 0, the data";
    EXPECT_EQ(readOk(machine, 0, 0x150), (uint64_t(1) << 40) | 0x0A000000u);

    ASSERT_TRUE(machine.writeMsr(0, 0x150, Command(5, 0)));
    readOk(machine, 0, 0x150);
    readOk(machine, 0, 0x150);
    EXPECT_EQ(readOk(machine, 0, 0x150), 100000u);

    ASSERT_TRUE(machine.writeMsr(0, 0x150, Command(0x10, 3)));
    readOk(machine, 0, 0x150);
    readOk(machine, 0, 0x150);
    EXPECT_EQ(readOk(machine, 0, 0x150), (uint64_t(3) << 40) | (uint64_t(1) << 32)) << "unknown: code 1, no data";

    ASSERT_TRUE(machine.writeMsr(0, 0x150, 0x42));
    EXPECT_EQ(readOk(machine, 0, 0x150), 0x42u) << "without the busy bit, stored as written";
}

TEST(OcMailbox, StuckMailboxStaysBusyWithItsStaleData) {
    SimulatedMachine machine = machineWith(R"({"0x150": {"kind": "oc_mailbox", "value": "0xDEAD0000",
        "stuck_busy": true, "replies": [{"command": "0x10", "data": 1}]}})");
    ASSERT_TRUE(machine.writeMsr(0, 0x150, Command(0x10, 0)));
    for (int poll = 0; poll < 5000; ++poll) ASSERT_EQ(readOk(machine, 0, 0x150), Command(0x10, 0) | 0xDEAD0000u);
}

// ---- Manifest keys ----

TEST(IntelMsrModels, ManifestKeysAreCheckedPerKind) {
    struct Case {
        const char* msrs;
        const char* error;
    };
    const Case cases[] = {
        {R"({"0x611": {"kind": "energy"}})", "cpu.msrs.0x611: an energy counter needs \"watts\""},
        {R"({"0x611": {"kind": "energy", "watts": 0}})", "cpu.msrs.0x611.watts: must be a positive number"},
        {R"({"0x611": {"kind": "energy", "watts": 1, "read_only": true}})",
         "cpu.msrs.0x611.read_only: only registers software may write take it"},
        {R"({"0x611": {"kind": "energy", "watts": 1, "bits": 32}})", "cpu.msrs.0x611.bits: only counters take it"},
        {R"({"0x611": {"value": 1, "watts": 1}})", "cpu.msrs.0x611.watts: only energy counters take it"},
        {R"({"0xE8": {"kind": "fixed_counter", "mhz": 1}})", "cpu.msrs.0xE8: the fixed-function counters are"},
        {R"({"0x30A": {"kind": "fixed_counter"}})", "cpu.msrs.0x30A: a counter needs \"mhz\""},
        {R"({"0x186": {"kind": "event_counter", "event": 60, "mhz": 1}})",
         "cpu.msrs.0x186: the event counters are MSRs 0xC1 to 0xC4"},
        {R"({"0xC1": {"kind": "event_counter", "mhz": 1}})", "cpu.msrs.0xC1: an event counter needs \"event\""},
        {R"({"0xC1": {"kind": "event_counter", "event": 256, "mhz": 1}})", "cpu.msrs.0xC1.event: out of range"},
        {R"({"0xC1": {"kind": "counter", "mhz": 1, "unit_mask": 1}})",
         "cpu.msrs.0xC1.unit_mask: only event counters take it"},
        {R"({"0x151": {"kind": "oc_mailbox"}})", "cpu.msrs.0x151: the overclocking mailbox is MSR 0x150"},
        {R"({"0x150": {"kind": "oc_mailbox", "replies": [{"command": 5}]}})",
         "cpu.msrs.0x150.replies[0]: a reply needs \"command\" and \"data\""},
        {R"({"0x150": {"kind": "oc_mailbox", "replies": [{"command": 256, "data": 0}]}})",
         "cpu.msrs.0x150.replies[0].command: out of range"},
        {R"({"0x150": {"kind": "oc_mailbox", "replies": [{"command": 5, "data": 0, "reply": 1}]}})",
         "cpu.msrs.0x150.replies[0].reply: unknown key"},
        {R"({"0x150": {"value": 0, "stuck_busy": true}})",
         "cpu.msrs.0x150.stuck_busy: only overclocking mailboxes take it"},
        {R"({"0x150": {"kind": "oc_mailbox", "busy_reads": -1}})", "cpu.msrs.0x150.busy_reads: expected"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.msrs);
        Manifest manifest;
        std::string error;
        EXPECT_FALSE(parseManifest(std::string(R"({"cpu": {"msrs": )") + c.msrs + "}}", manifest, error));
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
    }
}

} // namespace
} // namespace vexa::machine
