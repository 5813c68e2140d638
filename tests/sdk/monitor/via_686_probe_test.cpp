// The VIA 686A/B southbridge monitor found through its power-management
// function: the monitor's port base in dword 0x70, its I/O enable in bit 0
// of dword 0x74, which the probe sets when it is clear and the library
// clears again at close.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "sdk/core/sensor.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/pci_interface.h"
#include "sdk/hw/register_space_pmio.h"
#include "sdk/monitor/via_686_vt1211.h"
#include "tests/sdk/monitor/board_source_test_support.h"

namespace vexa::test {
namespace {

using vexa::test::PrintTo;
using machine::PciAddress;

constexpr uint16_t kVIA = 0x1106;
constexpr uint16_t k686 = 0x3057, k3086 = 0x3086;
constexpr uint32_t kVIA686Id = 0x11060686;
constexpr unsigned kBaseRegister = 0x70, kEnableRegister = 0x74;
constexpr uint32_t kEnableBit = 1;
constexpr uint16_t kMonitorPorts = 0x80;

// Dword 0x74 of a power-management function: keeps what is written,
// except the monitor's enable bit where the southbridge does not take it,
// and counts the writes.
class MonitorEnableRegister final : public machine::PciRegisterBlock {
public:
    MonitorEnableRegister(PciAddress at, uint32_t value, bool sticks) : at_(at), value_(value), sticks_(sticks) {}

    PciAddress function() const override { return at_; }
    unsigned first() const override { return kEnableRegister; }
    unsigned last() const override { return kEnableRegister + 3; }
    void read(unsigned offset, std::span<uint8_t> out) override {
        // `offset` is the register's, inside [first, last].
        for (size_t i = 0; i < out.size(); ++i) out[i] = uint8_t(value_ >> (8 * (offset - first() + i)));
    }
    void write(unsigned offset, std::span<const uint8_t> data) override {
        for (size_t i = 0; i < data.size(); ++i) {
            const unsigned shift = 8 * unsigned(offset - first() + i);
            value_ = (value_ & ~(0xFFu << shift)) | uint32_t(data[i]) << shift;
        }
        if (!sticks_) value_ &= ~kEnableBit;
        ++writes_;
    }

    uint32_t value() const { return value_; }
    int writes() const { return writes_; }

private:
    PciAddress at_;
    uint32_t value_;
    bool sticks_;
    int writes_ = 0;
};

struct Southbridge {
    uint16_t device;
    uint32_t baseDword;    // dword 0x70
    uint32_t enableDword;  // dword 0x74
    bool sticks = true;    // whether the enable bit takes a write
};

machine::PciConfigSpace::Registers Function(uint16_t vendor, uint16_t device, uint32_t baseDword = 0) {
    machine::PciConfigSpace::Registers registers{};
    const uint32_t id = uint32_t(device) << 16 | vendor;
    std::memcpy(registers.data(), &id, 4);
    std::memcpy(registers.data() + kBaseRegister, &baseDword, 4);
    return registers;
}

class Via686Probe : public BoardSourceTest {
protected:
    // The southbridges' power-management functions at 00:07.4, 00:08.4 and
    // on, each beside its ISA bridge at function 0, behind a VIA host
    // bridge, with port registers at every monitor base; the board key
    // when `board` is not 0; the PCI domain scanned.
    void startWith(const std::vector<Southbridge>& bridges, uint32_t board = 0,
                   std::initializer_list<std::pair<uint8_t, uint8_t>> monitorRegisters = {}) {
        machine::SimulatedHardware hardware;
        hardware.pci->addFunction(PciAddress{0, 0, 0}, Function(kVIA, 0x0691));
        std::vector<std::unique_ptr<machine::PortDevice>> devices;
        for (size_t i = 0; i < bridges.size(); ++i) {
            const Southbridge& bridge = bridges[i];
            const PciAddress at{0, uint8_t(7 + i), 4};
            machine::PciConfigSpace::Registers isaBridge = Function(kVIA, 0x0686);
            isaBridge[0x0E] = 0x80;  // multi-function: the scan looks past function 0
            hardware.pci->addFunction(PciAddress{0, at.device, 0}, isaBridge);
            hardware.pci->addFunction(at, Function(kVIA, bridge.device, bridge.baseDword));
            enables_.push_back(static_cast<MonitorEnableRegister*>(hardware.pci->addRegisterBlock(
                std::make_unique<MonitorEnableRegister>(at, bridge.enableDword, bridge.sticks))));
            if (const uint16_t base = uint16_t(bridge.baseDword & 0xFF80)) {
                auto ports = std::make_unique<PortRegisterFile>(base, kMonitorPorts);
                for (auto [reg, value] : monitorRegisters) ports->write(uint16_t(base + reg), 1, value);
                devices.push_back(std::move(ports));
            }
        }
        startPlatform({"VIA", "Desktop", "", ""}, std::move(devices), std::move(hardware));
        if (board) useBoard(board);
        ASSERT_EQ(sdk().CreatePCIInterface(), 1);
        sdk().m_pPCI->ScanBus();
    }

    static std::vector<CHardwareMonitor*> via686Monitors(CHardwareMonitorInterface& domain) {
        std::vector<CHardwareMonitor*> found;
        CTListIterator<CHardwareMonitor> it(domain.m_pMonitors);
        for (CHardwareMonitor* monitor = it.GetFirst(); monitor; monitor = it.GetNext())
            if (monitor->m_dwId == kVIA686Id) found.push_back(monitor);
        return found;
    }

    std::vector<MonitorEnableRegister*> enables_;
};

struct ProbeCase {
    const char* name;
    std::vector<Southbridge> bridges;
    uint32_t board;                    // 0: no mainboard
    std::vector<uint32_t> monitorBases;  // in list order
    std::vector<bool> enableWritten;   // per bridge: whether the probe wrote dword 0x74
};

class Via686ProbeCases : public Via686Probe, public ::testing::WithParamInterface<ProbeCase> {};

TEST_P(Via686ProbeCases, FindsTheMonitorsAndLeavesTheEnableBitsAsFound) {
    const ProbeCase& c = GetParam();
    startWith(c.bridges, c.board);
    const std::vector<CHardwareMonitor*> found = via686Monitors(initialised());
    ASSERT_EQ(found.size(), c.monitorBases.size());
    for (size_t i = 0; i < found.size(); ++i) {
        SCOPED_TRACE(i);
        const uint32_t base = c.monitorBases[i];
        CRegisterSpace* space = found[i]->m_pRegisterSpace;
        ASSERT_NE(space, nullptr);
        EXPECT_EQ(space->m_dwClass, uint32_t(REGSPACE_VIA_686_HWM));
        EXPECT_EQ(space->GetBaseLow(), base);
        EXPECT_EQ(space->GetSize(), 0xFFFFFFFFu);
        EXPECT_EQ(sdk().FindRegisterSpace(0, base, REGSPACE_VIA_686_HWM), space) << "kept in the root's list";
        EXPECT_NE(sdk().FindIOSpace(0, base, IOSPACE_PORT), nullptr);
        EXPECT_EQ(found[i]->m_pOwnerDevice, nullptr);
        EXPECT_EQ(found[i]->m_pRequest, nullptr);
        EXPECT_NE(sensor(found[i], SENSOR_TEMPERATURE, 0), nullptr);
    }
    for (size_t i = 0; i < c.bridges.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(enables_[i]->writes() > 0, c.enableWritten[i]);
        if (c.enableWritten[i] && c.bridges[i].sticks) {
            EXPECT_TRUE(enables_[i]->value() & kEnableBit) << "on while the library is open";
        }
    }
    sdk().Close();
    for (size_t i = 0; i < c.bridges.size(); ++i)
        EXPECT_EQ(enables_[i]->value(), c.bridges[i].enableDword) << "put back at close, bridge " << i;
}

constexpr uint32_t kOff = 0x12345600, kOn = 0x12345601;

INSTANTIATE_TEST_SUITE_P(
    Southbridges, Via686ProbeCases,
    ::testing::Values(
        ProbeCase{"MonitorSwitchedOn", {{k686, 0x6001, kOff}}, 0, {0x6000}, {true}},
        ProbeCase{"MonitorAlreadyOn", {{k686, 0x6001, kOn}}, 0, {0x6000}, {false}},
        ProbeCase{"Function3086", {{k3086, 0x6001, kOff}}, 0, {0x6000}, {true}},
        // Only the 3086 is switched on before its base is tested.
        ProbeCase{"BaseZeroLeftAlone", {{k686, 0x0001, kOff}}, 0, {}, {false}},
        ProbeCase{"BaseZero3086SwitchedOnFirst", {{k3086, 0x0001, kOff}}, 0, {}, {true}},
        ProbeCase{"EnableThatDoesNotStick", {{k686, 0x6001, kOff, false}}, 0, {}, {true}},
        ProbeCase{"EnableThatDoesNotStick3086", {{k3086, 0x6001, kOff, false}}, 0, {}, {true}},
        ProbeCase{"Board36F80", {{k686, 0x6001, kOff}}, 0x36F80, {}, {false}},
        ProbeCase{"BoardB8D4C2", {{k3086, 0x6001, kOff}}, 0xB8D4C2, {}, {false}},
        ProbeCase{"OtherBoard", {{k686, 0x6001, kOff}}, 0x12345, {0x6000}, {true}},
        // The 686 functions first, then the 3086 ones.
        ProbeCase{"TwoSouthbridges", {{k3086, 0x6801, kOff}, {k686, 0x6001, kOn}}, 0, {0x6000, 0x6800}, {true, false}},
        ProbeCase{"OneOfTwoWithoutBase", {{k686, 0x0000, kOff}, {k686, 0xE401, kOff}}, 0, {0xE400}, {false, true}}),
    CaseName{});

// The readings come through the space the probe made: temperature code
// 0x201 (23.8 °C), voltage 0 of 0xC0 (2.28874 V), fan 0 of 0x50 with
// divisor 2.
TEST_F(Via686Probe, ReadsTheMonitorThroughTheSpaceItMade) {
    startWith({{k686, 0x6001, kOff}}, 0, {{0x20, 0x80}, {0x4B, 0x40}, {0x22, 0xC0}, {0x29, 0x50}, {0x47, 0x50}});
    initialised();
    CHardwareMonitor* monitor = monitorWithId(kVIA686Id);
    ASSERT_NE(monitor, nullptr);
    EXPECT_STREQ(monitor->m_szName, "VIA 686A/B");
    CSensor* temperature = sensor(monitor, SENSOR_TEMPERATURE, 0);
    ASSERT_NE(temperature, nullptr);
    EXPECT_EQ(temperature->m_dwRawValue, 0x201u);
    EXPECT_NEAR(temperature->m_fValue, 23.8, 1e-5);
    CSensor* core = sensor(monitor, SENSOR_VOLTAGE, 0);
    ASSERT_NE(core, nullptr);
    EXPECT_STREQ(core->m_szName, "CPU VCore");
    EXPECT_NEAR(core->m_fValue, 2.28874, 1e-5);
    CSensor* fan = sensor(monitor, SENSOR_FAN, 0);
    ASSERT_NE(fan, nullptr);
    EXPECT_NEAR(fan->m_fValue, 1.35e6 / (0x50 * 2), 1e-2);
}

// A register space already in the root's lists for that base is the one
// the monitor gets; no second one is made.
TEST_F(Via686Probe, SharesTheSpaceAlreadyInTheRootsLists) {
    startWith({{k686, 0x6001, kOn}});
    auto* ports = new CPortIOSpace(0x6000, 0xFFFFFFFF);
    sdk().m_pIOSpaces->AddTail(ports);
    auto* space = new VIA_686AB_HWM_RegisterSpace(ports);
    sdk().m_pRegisterSpaces->AddTail(space);
    const uint32_t spaces = sdk().m_pRegisterSpaces->GetCount(), ioSpaces = sdk().m_pIOSpaces->GetCount();
    CHardwareMonitorInterface& domain = monitors();
    EXPECT_EQ(domain.ProbeVIA686(), 1);
    const std::vector<CHardwareMonitor*> found = via686Monitors(domain);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0]->m_pRegisterSpace, space);
    EXPECT_EQ(sdk().m_pRegisterSpaces->GetCount(), spaces);
    EXPECT_EQ(sdk().m_pIOSpaces->GetCount(), ioSpaces);
}

// Without the PCI domain there is nothing to find.
TEST_F(Via686Probe, NoPCIDomainNoMonitor) {
    startPlatform({"VIA", "Desktop", "", ""}, {});
    CHardwareMonitorInterface& domain = monitors();
    EXPECT_EQ(domain.ProbeVIA686(), 1);
    EXPECT_TRUE(via686Monitors(domain).empty());
}

} // namespace
} // namespace vexa::test
