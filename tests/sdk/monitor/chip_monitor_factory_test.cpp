// The factory: which class a (vendor, chip) pair selects, the plain monitor
// for a pair whose class is not built, and the board keys that replace a
// class's label tables.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "sdk/core/device.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/io_request.h"
#include "sdk/monitor/board_tables.h"
#include "sdk/monitor/chip_monitor_factory.h"
#include "sdk/monitor/hardware_monitor.h"
#include "sdk/monitor/hardware_monitor_interface.h"

namespace vexa::test {
namespace {

using MC = MonitorClass;

struct ClassCase {
    uint32_t vendor, chip;
    MonitorClass expected;
};

class ClassSelection : public ::testing::TestWithParam<ClassCase> {};

TEST_P(ClassSelection, PairSelectsItsClass) {
    const ClassCase& c = GetParam();
    EXPECT_EQ(SelectMonitorClass(c.vendor, c.chip), c.expected) << std::hex << c.vendor << " " << c.chip;
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, ClassSelection,
    ::testing::Values(ClassCase{0x90, 0x8720, MC::ITE_IT87}, ClassCase{0x90, 0x128720, MC::ITE_IT87},
                      ClassCase{0x90, 0x348720, MC::None},  // neither sub-id 0x00 nor 0x12
                      ClassCase{0x41, 0x74, MC::None}, ClassCase{0x41, 0x73, MC::AnalogDevice_ADT7475},
                      ClassCase{0x41, 0x76, MC::AnalogDevice_ADT7475},
                      ClassCase{0x5CA3, 0xC100C7, MC::Winbond_W83627DHG},  // 0xC7 is no NCT6776 id
                      ClassCase{0x5CA3, 0xC100C8, MC::Nuvoton_NCT6776}, ClassCase{0x5CA3, 0xC100C3, MC::Nuvoton_NCT6776},
                      ClassCase{0x5CA3, 0xC100C4, MC::Nuvoton_NCT6106}, ClassCase{0x5CA3, 0xC100A5, MC::Winbond_W83627DHG},
                      ClassCase{0x694, 0x310000, MC::Asus_AS99127F}, ClassCase{0x12C3, 0x380000, MC::Asus_ROG_38},
                      ClassCase{0x12C3, 0x500000, MC::None}, ClassCase{0x55, 0x6D, MC::SMSC_EMC6D10X},
                      ClassCase{0x55, 0x8A, MC::SMSC_DME1737}, ClassCase{0x1934, 0x0541, MC::Fintek_F71882F},
                      ClassCase{0x1934, 0x0901, MC::Fintek_F71808E}, ClassCase{0x50, 0x1C8, MC::Nuvoton_NCT6791},
                      ClassCase{0xFF02, 0x87, MC::NS_LM87}, ClassCase{0x1234, 0x1, MC::None}));

// ---- Board tables ----

constexpr _stVoltageLabel kDefaultVoltages[] = {{"VIN0", 0x100, 1, 1, 1}, {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stSensorLabel kDefaultTemperatures[] = {{"TMPIN0", 0x200, 1}, {nullptr, kLabelTableEnd, 0}};
constexpr _stSensorLabel kDefaultFans[] = {{"FANIN0", 0x400, 1}, {nullptr, kLabelTableEnd, 0}};

// A monitor of a chip class as its constructor leaves it: the class defaults.
CHardwareMonitor* MonitorWithDefaults(uint32_t chip) {
    auto* monitor = new CHardwareMonitor(MONITOR_CHIP, chip);
    monitor->m_pVoltageLabels = kDefaultVoltages;
    monitor->m_pTemperatureLabels = kDefaultTemperatures;
    monitor->m_pFanLabels = kDefaultFans;
    return monitor;
}

ChipMonitorRegistry EveryClassWithDefaults() {
    ChipMonitorRegistry registry;
    for (ChipMonitorCreator& creator : registry.creators) creator = MonitorWithDefaults;
    return registry;
}

// What became of one table: its first label, "none" when cleared, "empty"
// for an empty table.
template <typename Row>
std::string FirstLabel(const Row* table) {
    if (!table) return "none";
    return table->key == kLabelTableEnd ? "empty" : table->label;
}

struct BoardCase {
    const char* name;
    uint32_t vendor, chip, boardKey, byteSum;
    uint8_t smbusSlave;  // 0: an LPC request
    const char* voltage;
    const char* temperature;
    const char* fan;
};

void PrintTo(const BoardCase& c, std::ostream* os) { *os << c.name; }

class BoardKeys : public ::testing::TestWithParam<BoardCase> {
protected:
    void TearDown() override { ReleaseSDK(); }
};

TEST_P(BoardKeys, SelectTheirLabelTables) {
    const BoardCase& c = GetParam();
    auto* board = new CMainboard("board");
    board->m_dwBoardHash = c.boardKey;
    board->m_dwBoardByteSum = c.byteSum;
    GetSDK()->m_pDevices->AddTail(board);
    GetSDK()->m_pMainboard = board;
    const ChipMonitorRegistry registry = EveryClassWithDefaults();
    CHardwareMonitorInterface domain(0, 0, 0);
    domain.m_pRegistry = &registry;
    CIORequest* request = new CLPCRequest;
    if (c.smbusSlave) {
        delete request;
        auto* smbus = new CSMBusRequest;
        smbus->m_bySlaveAddress = c.smbusSlave;
        request = smbus;
    }
    CHardwareMonitor* monitor = domain.CreateChipMonitor(board, c.vendor, c.chip, nullptr, request);
    EXPECT_EQ(FirstLabel(monitor->m_pVoltageLabels), c.voltage);
    EXPECT_EQ(FirstLabel(monitor->m_pTemperatureLabels), c.temperature);
    EXPECT_EQ(FirstLabel(monitor->m_pFanLabels), c.fan);
    EXPECT_EQ(monitor->m_dwBoardKey, c.boardKey);
    EXPECT_EQ(monitor->m_pOwnerDevice, board);
    EXPECT_EQ(monitor->m_pRequest, request);
}

INSTANTIATE_TEST_SUITE_P(
    Boards, BoardKeys,
    ::testing::Values(
        BoardCase{"DualFintekFirstChip", 0x1934, 0x0541, 0x31CDB24, 0, 0, "CPU0 VCORE", "CPU0 Socket", "JCPU"},
        BoardCase{"DualFintekSecondChip", 0x1934, 0x0901, 0x4FC5613E, 0, 0, "CPU1 VCORE", "CPU1 PWM", "CPU1"},
        BoardCase{"Ite587220", 0x90, 0x8720, 0x587220, 0, 0, "CPU VCORE", "CPU", "FANIN0"},
        BoardCase{"Nct7802At28", 0x50, 0xC3, 0x2AB53A0, 0, 0x28, "PLL", "TMPIN0", "JCHA"},
        BoardCase{"Nct7802At2D", 0x50, 0xC3, 0xAAB5410, 0, 0x2D, "CPU VAXG", "TMPIN0", "JSYS2"},
        // Not an SMBus request: the defaults stay.
        BoardCase{"Nct7802OverLpc", 0x50, 0xC3, 0x2AB53A0, 0, 0, "VIN0", "TMPIN0", "FANIN0"},
        BoardCase{"Nct7802Unlabelled", 0x50, 0xC3, 0x9AB58F0, 0, 0x28, "none", "none", "none"},
        BoardCase{"DhgSilentBoard", 0x5CA3, 0xC100A5, 0x57C240, 0, 0, "empty", "empty", "empty"},
        BoardCase{"DhgSharedHashFirstBoard", 0x5CA3, 0xC100A5, 0xF69FBC69, 0x4A5, 0, "none", "empty", "FANIN0"},
        BoardCase{"DhgSharedHashSecondBoard", 0x5CA3, 0xC100A5, 0xF69FBC69, 0x662, 0, "VIN0", "empty", "FANIN0"},
        BoardCase{"DhgSharedHashOtherBoard", 0x5CA3, 0xC100A5, 0xF69FBC69, 0x123, 0, "VIN0", "empty", "FANIN0"},
        // The silent boards of the W83627DHG class keep the NCT6776 class's defaults here.
        BoardCase{"SameKeyOtherClass", 0x5CA3, 0xC100C3, 0x57C240, 0, 0, "VIN0", "TMPIN0", "FANIN0"},
        BoardCase{"UnknownBoard", 0x1934, 0x0541, 0x1234567, 0, 0, "VIN0", "TMPIN0", "FANIN0"}),
    [](const ::testing::TestParamInfo<BoardCase>& row) { return std::string(row.param.name); });

class Factory : public ::testing::Test {
protected:
    void TearDown() override { ReleaseSDK(); }
};

// With no class built, every chip gets the plain monitor; it is listed even
// without an owner.
TEST_F(Factory, ChipWithoutItsClassGetsThePlainMonitor) {
    CHardwareMonitorInterface domain(0, 0, 0);
    CHardwareMonitor* monitor = domain.CreateChipMonitor(nullptr, 0x90, 0x348720, nullptr, nullptr);
    EXPECT_EQ(monitor->m_dwId, 0x90u << 16 | 0x348720u);
    EXPECT_EQ(monitor->m_dwKind, uint32_t(MONITOR_CHIP));
    EXPECT_STREQ(monitor->m_szName, "Hardware monitor ID=0xB48720");
    EXPECT_EQ(monitor->m_pVoltageLabels, nullptr);
    EXPECT_EQ(monitor->m_dwBoardKey, 0xFFFFFFFFu);
    EXPECT_EQ(monitor->m_pOwnerDevice, nullptr);
    ASSERT_EQ(domain.m_pMonitors->GetCount(), 1u);
    EXPECT_EQ(domain.m_pMonitors->m_pHead->m_pPayload, monitor);
}

} // namespace
} // namespace vexa::test
