// What a simulated machine adds to the hardware it is given: the
// time-stamp counter as MSR 0x10, the ACPI HAL device in the device tree of
// a machine with an ACPI namespace, and the facts it passes on unchanged.
#include "machine/simulated_machine.h"

#include "tests/support/manual_clock_guard.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace vexa::machine {
namespace {

constexpr uint32_t kTscMsr = 0x10;

// Four processors with a 2 GHz time-stamp counter and the given MSRs.
SimulatedHardware fourProcessors(const std::vector<MsrSetting>& msrs = {}) {
    SimulatedHardware hw;
    hw.processors.assign(4, ProcessorCpuid(CpuidLeaves{}));
    hw.tsc = TimeStampCounter(2'000'000'000);
    hw.msrs = MsrBank(4);
    std::string error;
    for (const MsrSetting& setting : msrs) EXPECT_TRUE(hw.msrs.add(setting, error)) << error;
    return hw;
}

TEST(SimulatedTscMsr, ReadsTheTimeStampCounterAsItAdvances) {
    test::ManualClockGuard time(5'000'000'000);
    SimulatedMachine machine(fourProcessors());
    for (unsigned cpu = 0; cpu < 4; ++cpu) {
        SCOPED_TRACE(cpu);
        uint64_t msr = 0;
        ASSERT_TRUE(machine.readMsr(cpu, kTscMsr, msr));
        EXPECT_EQ(msr, machine.readTsc(cpu));
        EXPECT_EQ(msr, 10'000'000'000u);  // 5 s at 2 GHz
        time.clock().advanceNs(1'500);
        uint64_t later = 0;
        ASSERT_TRUE(machine.readMsr(cpu, kTscMsr, later));
        EXPECT_EQ(later - msr, 3'000u);
        EXPECT_EQ(later, machine.readTsc(cpu));
        time.clock().setNs(5'000'000'000);
    }
    // Neighbouring registers are still absent, and nothing else reads the
    // counter.
    uint64_t value = 7;
    EXPECT_FALSE(machine.readMsr(0, 0x11, value));
    EXPECT_EQ(value, 0u);
    EXPECT_FALSE(machine.readMsr(0, 0x0F, value));
    EXPECT_FALSE(machine.readMsr(0, 0x10 | 0x10000, value));
    EXPECT_FALSE(machine.readMsr(4, kTscMsr, value));  // no such processor
}

TEST(SimulatedTscMsr, WritingItIsNotModelled) {
    test::ManualClockGuard time;
    SimulatedMachine machine(fourProcessors());
    const uint64_t before = machine.readTsc(0);
    EXPECT_FALSE(machine.writeMsr(0, kTscMsr, 0));
    EXPECT_FALSE(machine.writeMsr(3, kTscMsr, before + 1000));
    uint64_t msr = 0;
    ASSERT_TRUE(machine.readMsr(0, kTscMsr, msr));
    EXPECT_EQ(msr, before);
}

TEST(SimulatedTscMsr, ARegisterTheHardwareListsWins) {
    test::ManualClockGuard time;
    // What MSR 0x10 of processors 0 and 1 reads (0 stands for the counter)
    // and whether a write to it takes.
    struct Processor {
        uint64_t reads;
        bool writable;
    };
    struct Case {
        const char* what;
        std::vector<MsrSetting> msrs;
        Processor cpu0, cpu1;
    };
    const Case cases[] = {
        {"fixed on every processor", {MsrSetting{kTscMsr, 0x1234, false, {}}}, {0x1234, true}, {0x1234, true}},
        {"read-only", {MsrSetting{kTscMsr, 0x55, true, {}}}, {0x55, false}, {0x55, false}},
        {"on processor 1 only", {MsrSetting{kTscMsr, 0x99, false, {1}}}, {0, false}, {0x99, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimulatedMachine machine(fourProcessors(c.msrs));
        time.clock().advanceNs(1'000);
        for (unsigned cpu : {0u, 1u}) {
            SCOPED_TRACE(cpu);
            const Processor& expected = cpu == 0 ? c.cpu0 : c.cpu1;
            const uint64_t listed = expected.reads ? expected.reads : machine.readTsc(cpu);
            uint64_t value = 0;
            ASSERT_TRUE(machine.readMsr(cpu, kTscMsr, value));
            EXPECT_EQ(value, listed);
            EXPECT_EQ(machine.writeMsr(cpu, kTscMsr, 0x4242), expected.writable);
            ASSERT_TRUE(machine.readMsr(cpu, kTscMsr, value));
            EXPECT_EQ(value, expected.writable ? 0x4242 : listed);
        }
    }
}

TEST(SimulatedTscMsr, FaultsAndTheLogSeeAnMsrAccess) {
    test::ManualClockGuard time;
    SimulatedMachine machine(fourProcessors());
    machine.setLogging(true);
    machine.injectFault(Fault{AccessKind::Msr, AccessDir::Read, kTscMsr, kTscMsr, 2u});
    uint64_t value = 1;
    EXPECT_FALSE(machine.readMsr(2, kTscMsr, value));
    EXPECT_EQ(value, 0u);
    ASSERT_TRUE(machine.readMsr(1, kTscMsr, value));
    EXPECT_NE(machine.readTsc(2), 0u);  // the fault is on the MSR, not on RDTSC
    const std::vector<Access> log = machine.accessLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].kind, AccessKind::Msr);
    EXPECT_FALSE(log[0].ok);
    EXPECT_EQ(log[1].kind, AccessKind::Msr);
    EXPECT_EQ(log[1].address, kTscMsr);
    EXPECT_EQ(log[1].value, value);
    EXPECT_TRUE(log[1].ok);
    EXPECT_EQ(log[2].kind, AccessKind::Tsc);
}

DeviceNode node(int parent, std::map<uint32_t, std::string> properties) {
    DeviceNode result;
    result.parent = parent;
    result.properties = std::move(properties);
    return result;
}

const std::map<uint32_t, std::string> kHalProperties = {{0x17, "ACPI_HAL"}, {0x0F, "\\Device\\00000001"}};

std::vector<AcpiNamespaceNode> smallNamespace() {
    return {AcpiNamespaceNode{"\\___", -1, false, {}}, AcpiNamespaceNode{"_SB_", 0, false, {}},
            AcpiNamespaceNode{"_STA", 1, true, {AcpiValue::fromInteger(0xF)}}};
}

TEST(SimulatedAcpiHal, MachineWithANamespaceHasTheHalDevice) {
    struct Case {
        const char* what;
        std::vector<AcpiNamespaceNode> acpi;
        std::vector<DeviceNode> tree;
        std::vector<DeviceNode> expected;
    };
    const DeviceNode root = node(-1, {{1, "root"}});
    const DeviceNode gpu = node(0, {{1, "GPU"}, {0x17, "PCI"}});
    const DeviceNode usb = node(1, {{1, "USB device"}, {0x17, "USB"}});
    const DeviceNode hal = node(0, kHalProperties);
    const DeviceNode ownHal = node(1, {{0x17, "acpi_hal"}, {0x0F, "\\Device\\00000042"}});
    const Case cases[] = {
        {"no namespace, no tree", {}, {}, {}},
        {"no namespace", {}, {root, gpu}, {root, gpu}},
        {"namespace, no tree: a bare root and the HAL", smallNamespace(), {}, {DeviceNode{}, hal}},
        {"namespace of the root alone", {AcpiNamespaceNode{"\\___", -1, false, {}}}, {}, {DeviceNode{}, hal}},
        {"namespace and a tree: appended, the numbers kept", smallNamespace(), {root, gpu, usb}, {root, gpu, usb, hal}},
        {"the tree has its own HAL", smallNamespace(), {root, gpu, ownHal}, {root, gpu, ownHal}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimulatedHardware hw;
        hw.acpiNamespace = c.acpi;
        hw.deviceTree = c.tree;
        const SimulatedMachine machine(std::move(hw));
        const std::vector<DeviceNode> tree = machine.deviceTree();
        ASSERT_EQ(tree.size(), c.expected.size());
        for (size_t i = 0; i < tree.size(); ++i) {
            EXPECT_EQ(tree[i].parent, c.expected[i].parent) << i;
            EXPECT_EQ(tree[i].properties, c.expected[i].properties) << i;
        }
        EXPECT_EQ(machine.acpiNamespace(), c.acpi);
    }
}

TEST(SimulatedMachineFacts, HardwareFactsPassThroughAndDefaultsStand) {
    const SimulatedMachine bare{SimulatedHardware{}};
    EXPECT_EQ(bare.busClockMHz(), -1.0);
    EXPECT_EQ(bare.driverBehaviour(), DriverBehaviour{});
    EXPECT_EQ(bare.driverBehaviour().version, 312u);
    EXPECT_TRUE(bare.acpiNamespace().empty());
    EXPECT_TRUE(bare.deviceTree().empty());

    SimulatedHardware hw;
    hw.busClockMHz = 133.33;
    hw.driver.version = 311;
    hw.driver.failingRequests = {0x9C402400, 0x9C402480};
    hw.acpiNamespace = smallNamespace();
    const SimulatedMachine machine(std::move(hw));
    EXPECT_DOUBLE_EQ(machine.busClockMHz(), 133.33);
    EXPECT_EQ(machine.driverBehaviour().version, 311u);
    EXPECT_EQ(machine.driverBehaviour().failingRequests, (std::set<uint32_t>{0x9C402400, 0x9C402480}));
    EXPECT_EQ(machine.acpiNamespace(), smallNamespace());
}

} // namespace
} // namespace vexa::machine
