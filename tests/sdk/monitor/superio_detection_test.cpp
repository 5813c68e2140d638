// Super-I/O detection on simulated chips: each vendor's key and identity,
// the hardware monitor's logical device and base, and every chip left as
// it was found: out of configuration mode, its logical-device selection
// and its monitor bank as before.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "sdk/core/sdk.h"
#include "sdk/hw/register_space.h"
#include "sdk/monitor/config_mode.h"
#include "sdk/monitor/hardware_monitor.h"
#include "sdk/monitor/lpcio.h"
#include "tests/sdk/monitor/monitor_test_support.h"

namespace vexa::test {
namespace {

using machine::SuperIoProtocol;

std::vector<CLPCIO*> chipsFound() {
    std::vector<CLPCIO*> chips;
    CTListIterator<CDevice> it(GetSDK()->m_pDevices);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext())
        if (device->m_dwKind & DEVICE_LPC_IO) chips.push_back(static_cast<CLPCIO*>(device));
    return chips;
}

// A chip with its identity in the global registers and its monitor device
// at `base` (active unless told), whose monitor block answers at base + 5
// with the registers given.
ChipOnPorts Chip(SuperIoProtocol protocol, uint16_t port, std::map<uint8_t, uint8_t> globals, uint8_t monitorDevice,
                 uint16_t base, bool active = true, std::map<uint8_t, uint8_t> monitorRegisters = {},
                 bool banked = false) {
    ChipOnPorts chip;
    chip.chip.protocol = protocol;
    chip.chip.configPort = port;
    chip.chip.monitorDevice = monitorDevice;
    chip.chip.globalRegisters = std::move(globals);
    chip.chip.deviceRegisters = {{0x30, uint8_t(active ? 1 : 0)}, {0x60, uint8_t(base >> 8)}, {0x61, uint8_t(base)}};
    chip.chip.selectedDevice = 0x03;  // what the firmware left selected
    if (!monitorRegisters.empty()) chip.monitor = MonitorBlock(uint16_t(base + 5), monitorRegisters, banked);
    return chip;
}

ChipOnPorts Nct6776(uint16_t port) {
    return Chip(SuperIoProtocol::Winbond, port, {{0x20, 0xC3}, {0x21, 0x33}}, 0x0B, 0x290, true,
                {{0x4E, 0x00}, {0x4F, 0xA3}, {0x58, 0xC1}}, true);
}
ChipOnPorts Ite8720(uint16_t port) {
    return Chip(SuperIoProtocol::Ite, port, {{0x20, 0x87}, {0x21, 0x20}, {0x22, 0x52}}, 0x04, 0x228, true,
                {{0x58, 0x90}, {0x5B, 0x12}});
}
ChipOnPorts Fintek(uint16_t port, uint16_t id, uint8_t monitorDevice, bool active, uint16_t base = 0xA00) {
    return Chip(SuperIoProtocol::Fintek, port, {{0x20, uint8_t(id >> 8)}, {0x21, uint8_t(id)}, {0x23, 0x19}, {0x24, 0x34}},
                monitorDevice, base, active);
}

struct ChipSeen {
    const char* vendor;
    const char* model;
    uint32_t chipId;
    uint32_t monitorBase;  // 0: no monitor space
    uint8_t modeDevice;    // the logical device the chip's configuration mode selects
};

struct DetectionCase {
    const char* name;
    std::vector<ChipOnPorts> chips;
    uint32_t boardHash;
    int result;
    std::vector<ChipSeen> seen;
    bool touches4E;  // whether port 0x4E is written at all
};

void PrintTo(const DetectionCase& c, std::ostream* os) { *os << c.name; }

class Detection : public MonitorTest, public ::testing::WithParamInterface<DetectionCase> {};

TEST_P(Detection, FindsTheChipsAndLeavesThemAsFound) {
    const DetectionCase& c = GetParam();
    startWithChips(c.chips);
    if (c.boardHash != 0xFFFFFFFF) useBoard(c.boardHash);
    std::vector<uint8_t> banks;
    for (size_t i = 0; i < c.chips.size(); ++i) banks.push_back(monitorBlock(i) ? monitorBlock(i)->bankSelection() : 0);
    record();
    EXPECT_EQ(monitors().DetectSuperIO(), c.result);
    const std::vector<CLPCIO*> found = chipsFound();
    ASSERT_EQ(found.size(), c.seen.size());
    for (size_t i = 0; i < found.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_STREQ(found[i]->m_szVendor, c.seen[i].vendor);
        EXPECT_STREQ(found[i]->m_szModel, c.seen[i].model);
        EXPECT_EQ(found[i]->m_dwChipId, c.seen[i].chipId);
        if (c.seen[i].monitorBase) {
            ASSERT_NE(found[i]->m_pMonitorSpace, nullptr);
            EXPECT_EQ(found[i]->m_pMonitorSpace->GetBaseLow(), c.seen[i].monitorBase);
        } else {
            EXPECT_EQ(found[i]->m_pMonitorSpace, nullptr);
        }
        ASSERT_NE(found[i]->m_pConfigMode, nullptr);
        EXPECT_EQ(found[i]->m_pConfigMode->m_byLDN, c.seen[i].modeDevice);
    }
    for (size_t i = 0; i < c.chips.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(chip(i).inConfigMode());
        EXPECT_EQ(chip(i).selectedDevice(), 0x03);
        if (monitorBlock(i)) { EXPECT_EQ(monitorBlock(i)->bankSelection(), banks[i]); }
    }
    bool wrote4E = false;
    for (const machine::Access& access : ofKind(hw().accessLog(), machine::AccessKind::Port))
        wrote4E |= access.address == 0x4E && access.dir == machine::AccessDir::Write;
    EXPECT_EQ(wrote4E, c.touches4E);
}

INSTANTIATE_TEST_SUITE_P(
    Vendors, Detection,
    ::testing::Values(
        DetectionCase{"Nct6776", {Nct6776(0x2E)}, 0xFFFFFFFF, 1, {{"Nuvoton", "NCT6776", 0xC3, 0x290, 0x0B}}, false},
        DetectionCase{"Nct6776At4E", {Nct6776(0x4E)}, 0xFFFFFFFF, 1, {{"Nuvoton", "NCT6776", 0xC3, 0x290, 0x0B}}, true},
        DetectionCase{"Ite8720At2E", {Ite8720(0x2E)}, 0xFFFFFFFF, 1, {{"ITE", "IT8720", 0x8720, 0x228, 4}}, false},
        DetectionCase{"Ite8720At4E", {Ite8720(0x4E)}, 0xFFFFFFFF, 1, {{"ITE", "IT8720", 0x8720, 0x228, 4}}, true},
        DetectionCase{"FintekF71882F", {Fintek(0x2E, 0x0541, 4, true)}, 0xFFFFFFFF, 1,
                      {{"Fintek", "F71882F", 0x0541, 0xA00, 4}}, false},
        // Logical device 2 holds the monitor of these two.
        DetectionCase{"FintekF71858DG", {Fintek(0x2E, 0x0507, 2, true)}, 0xFFFFFFFF, 1,
                      {{"Fintek", "F71858DG", 0x0507, 0xA00, 2}}, false},
        // A disabled monitor device ends the search without a chip: the
        // ITE chip at 0x4E is never asked.
        DetectionCase{"FintekDisabled", {Fintek(0x2E, 0x0541, 4, false), Ite8720(0x4E)}, 0xFFFFFFFF, 1, {}, false},
        // The dual-processor boards carry a second Fintek chip at 0x4E.
        DetectionCase{"TwoFintekChips", {Fintek(0x2E, 0x0541, 4, true), Fintek(0x4E, 0x0901, 4, true, 0xA20)}, 0x31CDB24,
                      1, {{"Fintek", "F71882F", 0x0541, 0xA00, 4}, {"Fintek", "F71808E", 0x0901, 0xA20, 4}}, true},
        DetectionCase{"SecondChipIgnoredElsewhere", {Fintek(0x2E, 0x0541, 4, true), Fintek(0x4E, 0x0901, 4, true, 0xA20)},
                      0x12345, 1, {{"Fintek", "F71882F", 0x0541, 0xA00, 4}}, false},
        // Winbond-protocol ids below 0x50 are no Winbond chips.
        DetectionCase{"WinbondIdTooLow",
                      {Chip(SuperIoProtocol::Winbond, 0x2E, {{0x20, 0x4F}}, 0x0B, 0x290)}, 0xFFFFFFFF, 0, {}, true},
        DetectionCase{"Nothing", {}, 0xFFFFFFFF, 0, {}, true}),
    [](const ::testing::TestParamInfo<DetectionCase>& row) { return std::string(row.param.name); });

class SuperIoDetection : public MonitorTest {};

TEST_F(SuperIoDetection, WinbondW83667HGFromItsRegisterDump) {
    startWithChips({winbondW83667HG()});
    CHardwareMonitorInterface& domain = monitors();
    EXPECT_EQ(domain.DetectSuperIO(), 1);
    ASSERT_EQ(chipsFound().size(), 1u);
    const CLPCIO& chip = *chipsFound()[0];
    EXPECT_STREQ(chip.m_szVendor, "Winbond");
    EXPECT_STREQ(chip.m_szModel, "W83667HG");
    EXPECT_EQ(chip.m_dwVendor, 0x5CA3u);
    EXPECT_EQ(chip.m_dwChipId, 0xA5u);
    EXPECT_EQ(chip.m_dwRevision, 0x13u);
    ASSERT_NE(chip.m_pMonitorSpace, nullptr);
    EXPECT_EQ(chip.m_pMonitorSpace->GetBaseLow(), 0x100u);
}

// Boards on which detection must not touch the configuration ports.
TEST_F(SuperIoDetection, SkippedBoardsLeaveThePortsUntouched) {
    for (uint32_t board : {0x4EA8A5u, 0x60A938u}) {
        startWithChips({winbondW83667HG()});
        useBoard(board);
        record();
        EXPECT_EQ(monitors().DetectSuperIO(), 0);
        EXPECT_TRUE(ofKind(hw().accessLog(), machine::AccessKind::Port).empty()) << std::hex << board;
        ReleaseSDK();
    }
}

} // namespace
} // namespace vexa::test
