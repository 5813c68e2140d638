// The monitors of the Winbond register map on simulated monitor blocks:
// which sensors each class creates from which registers and what it reads
// into them, the divisor raising of the W83627DHG, the bank routine, the
// banked register dump and the status reset; every operation ends with
// bank 0 selected, as the accesses show.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sdk/core/report_generator.h"
#include "sdk/core/sensor.h"
#include "sdk/hw/io_request.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/register_space_lpc.h"
#include "sdk/hw/register_space_pmio.h"
#include "sdk/monitor/winbond_monitor.h"
#include "sdk/monitor/winbond_w83627dhg.h"
#include "sdk/monitor/winbond_w83627hf.h"
#include "sdk/monitor/winbond_w83781d.h"
#include "sdk/monitor/winbond_w8379x.h"
#include "sdk/monitor/via_686_vt1211.h"
#include "tests/sdk/monitor/monitor_test_support.h"
#include "tests/support/manual_clock_guard.h"

namespace vexa::test {
namespace {

constexpr uint16_t kIndexPort = 0x295;
using Registers = std::map<uint8_t, uint8_t>;
using Banks = std::map<unsigned, Registers>;

// A banked monitor block; unlisted registers read 0xFF. The chip starts
// with bank 3 selected so that leaving bank 0 behind shows.
ChipOnPorts BankedBlock(const Banks& banks) {
    ChipOnPorts chip;
    chip.chip.configPort = 0x4E;  // a chip that nothing here opens
    machine::SuperIoMonitorSettings monitor;
    monitor.indexPort = kIndexPort;
    monitor.bankRegister = 0x4E;
    for (unsigned bank = 0; bank < 8; ++bank) monitor.banks[bank].fill(0xFF);
    for (const auto& [bank, registers] : banks)
        for (const auto& [reg, value] : registers) monitor.banks[bank][reg] = value;
    monitor.banks[0][0x4E] = 0x03;
    chip.monitor = monitor;
    return chip;
}

class WinbondMonitors : public MonitorTest {
protected:
    void TearDown() override {
        monitor_.reset();
        MonitorTest::TearDown();
        space_.reset();
        ports_.reset();
    }

    // The chip on its ports and the monitor reading it, with the board key.
    template <typename Monitor>
    Monitor& attach(std::unique_ptr<Monitor> monitor, const Banks& banks, uint32_t boardKey = 0xFFFFFFFF,
                    bool request = true) {
        startWithChips({BankedBlock(banks)});
        ports_ = std::make_unique<CPortIOSpace>(0x290, 0xFFFFFFFF);
        space_ = std::make_unique<CLPCRegisterSpace>(ports_.get(), 5, 6);
        monitor->m_pRegisterSpace = space_.get();
        if (request) monitor->m_pRequest = new CLPCRequest;
        monitor->m_dwBoardKey = boardKey;
        Monitor& result = *monitor;
        monitor_ = std::move(monitor);
        record();
        return result;
    }

    // The register bytes written through the index/data pair, in order.
    std::vector<std::pair<uint8_t, uint8_t>> registerWrites() {
        std::vector<std::pair<uint8_t, uint8_t>> writes;
        uint8_t index = 0;
        for (const machine::Access& access : ofKind(hw().accessLog(), machine::AccessKind::Port)) {
            if (access.dir != machine::AccessDir::Write) continue;
            if (access.address == kIndexPort) index = uint8_t(access.value);
            if (access.address == kIndexPort + 1) writes.emplace_back(index, uint8_t(access.value));
        }
        return writes;
    }

    // The banks selected, in order; the chip's own selection must be 0 too.
    std::vector<uint8_t> bankSelections() {
        std::vector<uint8_t> banks;
        for (const auto& [reg, value] : registerWrites())
            if (reg == 0x4E) banks.push_back(value);
        return banks;
    }

    void expectBankZeroAtEnd() {
        const std::vector<uint8_t> banks = bankSelections();
        ASSERT_FALSE(banks.empty());
        EXPECT_EQ(banks.back(), 0);
        EXPECT_EQ(monitorBlock(0)->bankSelection(), 0);
    }

    ManualClockGuard clock_;
    std::unique_ptr<CHardwareMonitor> monitor_;
    std::unique_ptr<CPortIOSpace> ports_;
    std::unique_ptr<CLPCRegisterSpace> space_;
};

// ---- Sensors created and read ----

struct Expected {
    uint32_t key;  // class code | index, without the role
    const char* name;
    uint32_t raw;
    float value;  // after the default tables
};

struct ChipCase {
    const char* name;
    CHardwareMonitor* (*create)(uint32_t chip);
    uint32_t chipId;  // as the factory hands it on
    uint32_t boardKey;
    Banks banks;
    const char* monitorName;
    std::vector<Expected> sensors;  // every sensor the monitor has, in creation order
    bool switchesBanks = true;       // false: the class writes nothing at all
};

void PrintTo(const ChipCase& c, std::ostream* os) { *os << c.name; }

class ChipReadings : public WinbondMonitors, public ::testing::WithParamInterface<ChipCase> {};

TEST_P(ChipReadings, CreateAndUpdate) {
    const ChipCase& c = GetParam();
    CHardwareMonitor* monitor = &attach(std::unique_ptr<CHardwareMonitor>(c.create(c.chipId)), c.banks, c.boardKey);
    const auto expectBanks = [&] {
        if (c.switchesBanks) expectBankZeroAtEnd();
        else EXPECT_TRUE(registerWrites().empty());
    };
    EXPECT_EQ(monitor->CreateSensors(), 1);
    expectBanks();
    record();
    EXPECT_EQ(monitor->Update(), 1);
    expectBanks();
    EXPECT_STREQ(monitor->m_szName, c.monitorName);
    std::vector<std::string> seen, wanted;
    CTListIterator<CSensor> it(monitor->GetSensorList(0xFFFFFFFF));
    for (CSensor* sensor = it.GetFirst(); sensor; sensor = it.GetNext()) {
        char line[128];
        snprintf(line, sizeof line, "%X %s raw=%X %.3f", sensor->m_dwId & 0xFFFFFF, sensor->m_szName,
                 sensor->m_dwRawValue, double(sensor->m_fValue));
        seen.push_back(line);
    }
    for (const Expected& e : c.sensors) {
        char line[128];
        snprintf(line, sizeof line, "%X %s raw=%X %.3f", e.key, e.name, e.raw, double(e.value));
        wanted.push_back(line);
    }
    EXPECT_EQ(seen, wanted);
}

constexpr float kNone = CSensor::kNoReading;

// Bank 0 of a W83627DHG-class chip: voltages 0x20-0x26, SYSTIN at 0x27,
// fans at 0x28, 0x29, 0x2A, 0x3F with their exponents in 0x47, 0x4B, 0x4C,
// 0x59, 0x5D.
const Registers kDhgBank0 = {{0x20, 0x9E}, {0x21, 0x00}, {0x22, 0xCC}, {0x23, 0xFF}, {0x27, 0x28},
                             {0x28, 0xAB}, {0x29, 0x00}, {0x2A, 0x00}, {0x3F, 0x96}, {0x47, 0x35},
                             {0x4B, 0x40}, {0x4C, 0x80}, {0x59, 0x6F}, {0x5D, 0x44}};

// Bank 0 of a classic chip: two voltages, a temperature, one fan of three
// (0x29 reads 0); the 9-bit temperatures of banks 1 and 2.
const Banks kClassicBanks = {{0, {{0x20, 0x70}, {0x25, 0x40}, {0x27, 0x1E}, {0x28, 0x50}, {0x29, 0x00}, {0x47, 0xA0}}},
                             {1, {{0x50, 0xFF}, {0x51, 0x80}}},
                             {2, {{0x50, 0xFF}, {0x51, 0x00}}}};

// A W83793 with one voltage, one temperature and fan 1 counting 0x100; its
// other fans read the 12-bit count 0xFFF of a stopped fan.
Registers W83793Registers() {
    Registers registers = {{0x10, 0x70}, {0x1C, 0x1E}};
    for (uint8_t fan = 0; fan < 10; ++fan) {
        registers[uint8_t(0x23 + 2 * fan)] = fan == 1 ? 0x01 : 0x0F;
        registers[uint8_t(0x24 + 2 * fan)] = fan == 1 ? 0x00 : 0xFF;
    }
    return registers;
}

const ChipCase kChipCases[] = {
    {"W83667HGByItsDeviceId", CreateWinbondW83627DHG, 0xC100A5, 0xFFFFFFFF,
     {{0, kDhgBank0}, {1, {{0x50, 0x24}, {0x51, 0x80}}}, {2, {{0x50, 0x20}, {0x51, 0x00}}}},
     "Winbond W83667HG",
     {{0x100, "CPU VCORE", 0x9E, 1.264f},
      {0x102, "+3.3V", 0xCC, 3.264f},
      {0x200, "SYSTIN", 0x28, 40},
      // 0x47 bits 5-4 = 3, 0x5D bit 5 = 0: divisor 8
      {0x400, "SYSFANIN", 0xAB, 1.35e6f / (0xAB * 8)},
      // 0x59 bits 1-0 = 3, 0x4C bit 7 = 1: exponent 7
      {0x403, "AUXFANIN1", 0x96, 1.35e6f / (0x96 * 128)},
      {0x201, "CPUTIN", 0x49, 36.5f},
      {0x202, "AUXTIN", 0x40, 32}}},
    {"W83627DHGRenamedOnItsBoards", CreateWinbondW83627DHG, 0xA5, 0x5BE1A0, {{0, {{0x20, 0x80}}}}, "Nuvoton W83677",
     {{0x100, "CPU VCORE", 0x80, 1.024f}}},
    // 0x50 = 0x80 is not read at all; 0xFF with bit 7 of 0x51 gives 511.
    {"W83627DHGRejectsBankedTemperatures", CreateWinbondW83627DHG, 0xC1, 0xFFFFFFFF,
     {{0, {{0x27, 0x7F}}}, {1, {{0x50, 0x80}, {0x51, 0x00}}}, {2, {{0x50, 0xFF}, {0x51, 0x80}}}},
     "Winbond W83627DHG", {}},
    // The fifth fan in bank 5 only on the boards that wire it.
    {"W83627DHGFifthFanOnItsBoards", CreateWinbondW83627DHG, 0xC1, 0x055C9C2E,
     {{0, {{0x59, 0x04}}}, {5, {{0x53, 0x40}}}}, "Winbond W83627DHG",
     {{0x404, "AUXFANIN2", 0x40, 1.35e6f / (0x40 * 2)}}},
    {"W83627DHGNoFifthFanElsewhere", CreateWinbondW83627DHG, 0xC1, 0xFFFFFFFF, {{5, {{0x53, 0x40}}}}, "Winbond W83627DHG", {}},
    // The W83627EHF always has its three temperatures and reads bank 5.
    {"W83627EHF", CreateWinbondW83627EHF, 0xA10000, 0xFFFFFFFF,
     {{0, {{0x20, 0x64}, {0x27, 0x1E}, {0x3F, 0x50}, {0x4C, 0x00}, {0x59, 0x01}}},
      {1, {{0x50, 0x7F}, {0x51, 0x80}}},
      {5, {{0x52, 0x10}, {0x53, 0x20}}}},
     "Winbond W83627EHF",
     {{0x100, "CPU VCORE", 0x64, 0.8f},
      {0x200, "SYSTIN", 0x1E, 30},
      {0x403, "CPUFANIN1", 0x50, 1.35e6f / (0x50 * 2)},
      {0x201, "CPUTIN", 0xFF, 127.5f},
      {0x202, "AUXTIN", 0x1FF, -0.5f},
      {0x107, "VIN4", 0x10, 0.128f},
      {0x404, "AUXFANIN1", 0x20, 1.35e6f / 0x20}}},
    // 0x1FF in bank 1 makes no TMPIN1, 0x1FE in bank 2 a TMPIN2; 0x47 = 0xA0
    // gives fan 0 the divisor 4.
    {"W83781D", CreateWinbondW83781D, 0x100000, 0xFFFFFFFF, kClassicBanks, "Winbond W83781D",
     {{0x100, "CPU VCore", 0x70, 1.792f},
      {0x105, "-12V", 0x40, 1.024f * -210 / 60.4f},
      {0x200, "TMPIN0", 0x1E, 30},
      {0x400, "FANIN0", 0x50, 1.35e6f / (0x50 * 4)},
      {0x202, "TMPIN2", 0x1FE, -1}}},
    {"AS99127F", CreateAsusAS99127F, 0x310000, 0xFFFFFFFF, kClassicBanks, "Asus AS99127F",
     {{0x100, "CPU VCore", 0x70, 1.792f},
      {0x105, "-12V", 0x40, 1.024f * -240 / 60},
      {0x200, "TMPIN0", 0x1E, 30},
      {0x400, "FANIN0", 0x50, 1.35e6f / (0x50 * 4)},
      {0x202, "TMPIN2", 0x1FE, -1}}},
    // The W83783S reads bank 0 only.
    {"W83783S", CreateWinbondW83783S, 0x400000, 0xFFFFFFFF, kClassicBanks, "Winbond W83783S",
     {{0x100, "CPU VCore", 0x70, 1.792f},
      {0x105, "-12V", 0x40, 1.024f * -210 / 60.4f},
      {0x200, "TMPIN0", 0x1E, 30},
      {0x400, "FANIN0", 0x50, 1.35e6f / (0x50 * 4)}}},
    // The W83627HF makes its sensors as they first read: a fan count of 0x7F
    // or 0xFE is none, the two fan outputs show their duty.
    {"W83627HF", CreateWinbondW83627HF, 0x210000, 0xFFFFFFFF,
     {{0, {{0x20, 0x70}, {0x27, 0x1E}, {0x28, 0x7F}, {0x29, 0x50}, {0x2A, 0xFE}, {0x47, 0x00}, {0x4B, 0x00},
           {0x5D, 0x00}, {0x5A, 0x80}}},
      {1, {{0x50, 0x20}, {0x51, 0x80}}}},
     "Winbond W83627HF",
     {{0x100, "CPU VCore", 0x70, 1.792f},
      {0x200, "TMPIN0", 0x1E, 30},
      {0x401, "FANIN1", 0x50, 1.35e6f / 0x50},
      {0x2000, "PWM1", 0x80, 0x80 * 100.0f / 255},
      {0x2001, "PWM2", 0xFF, 100},
      {0x201, "TMPIN1", 0x41, 32.5f}}},
    // The W83637HF has temperatures 1 and 2 whatever banks 1 and 2 say.
    {"W83637HF", CreateWinbondW83637HF, 0x800000, 0xFFFFFFFF, {{0, {{0x20, 0x70}, {0x27, 0x1E}}}},
     "Winbond W83637HF",
     {{0x100, "CPU VCore", 0x70, 1.792f},
      {0x200, "TMPIN0", 0x1E, 30},
      {0x201, "TMPIN1", 0x1FF, -0.5f},
      {0x202, "TMPIN2", 0x1FF, -0.5f}}},
    // The W83697HF's voltage 1 is register 0x22; fan 0 with exponent 2 + 4.
    {"W83697HF", CreateWinbondW83697HF, 0x600000, 0xFFFFFFFF,
     {{0, {{0x20, 0x70}, {0x21, 0x10}, {0x22, 0x40}, {0x27, 0x1E}, {0x28, 0x50}, {0x47, 0x20}, {0x5D, 0x20}}}},
     "Winbond W83697HF",
     {{0x100, "CPU VCore", 0x70, 1.792f},
      {0x101, "AUX", 0x40, 1.024f},
      {0x200, "TMPIN0", 0x1E, 30},
      {0x400, "FANIN0", 0x50, 1.35e6f / (0x50 * 64)}}},
    // The W83627THF's fine core-voltage scale; a fan count at or below 135 /
    // divisor is none (67 with divisor 2), 68 is one; a bank temperature of
    // 0 is none.
    {"W83627THF", CreateWinbondW83627THF, 0x900000, 0xFFFFFFFF,
     {{0, {{0x18, 0x01}, {0x20, 0xC0}, {0x27, 0x1E}, {0x28, 67}, {0x29, 68}, {0x47, 0x50}, {0x5D, 0x00}}},
      {1, {{0x50, 0x00}, {0x51, 0x00}}},
      {2, {{0x50, 0x19}, {0x51, 0x80}}}},
     "Winbond W83627THF",
     {{0x100, "CPU VCore", 0xC0, 0.00488f * 192 + 0.69f},
      {0x200, "SYSTIN", 0x1E, 30},
      {0x401, "FANIN1", 68, 1.35e6f / (68 * 2)},
      {0x202, "VTIN", 0x33, 25.5f}}},
    // The W83791D's extra temperatures at 0xC0/0xC1 (half degree in bit 0):
    // 64.5 degrees is one, a negative reading none.
    {"W83791D", CreateWinbondW83791D, 0x710000, 0xFFFFFFFF,
     {{0, {{0x20, 0x70}, {0xB2, 0x50}, {0x27, 0x1E}, {0x28, 0x50}, {0x47, 0x10}, {0xC0, 0x40}, {0xC1, 0x01},
           {0xC8, 0x80}, {0xC9, 0x00}}}},
     "Winbond W83791D",
     {{0x100, "CPU VCore", 0x70, 1.792f},
      {0x107, "VINR1", 0x50, 1.28f},
      {0x200, "TMPIN0", 0x1E, 30},
      {0x400, "FANIN0", 0x50, 1.35e6f / (0x50 * 2)},
      {0x201, "TMPIN1", 0x81, 64.5f}}},
    // The W83792D on a board with 10-bit core voltages; fan 3's exponent in
    // 0x5B bits 6-4.
    {"W83792DTenBitCore", CreateWinbondW83792D, 0x7A0000, 0x00BF45CE,
     {{0, {{0x20, 0x60}, {0x21, 0x60}, {0x3E, 0x07}, {0x27, 0x1E}, {0xB8, 0x50}, {0x5B, 0x30}}}},
     "Winbond W83792D",
     {{0x100, "CPU VCore", 0x183, 0.774f},
      {0x101, "AUX", 0x181, 0.770f},
      {0x200, "TMPIN0", 0x1E, 30},
      {0x403, "FANIN3", 0x50, 1.35e6f / (0x50 * 8)},
      {0x201, "TMPIN1", 0x1FF, -0.5f},
      {0x202, "TMPIN2", 0x1FF, -0.5f}}},
    // The W83793 switches no bank and reads what is selected (bank 3 here);
    // a 12-bit count of 0xFFF is no fan.
    {"W83793", CreateWinbondW83793, 0x7B0000, 0xFFFFFFFF, {{3, W83793Registers()}},
     "Winbond W83793",
     {{0x100, "CPU VCore", 0x70, 0.896f}, {0x200, "TMPIN0", 0x1E, 30}, {0x401, "FANIN1", 0x100, 1.35e6f / 0x100}},
     false},
    {"VT1211", CreateVIAVT1211, 0x1211, 0xFFFFFFFF, {{0, {{0x20, 0x70}}}}, "VIA VT1211", {}, false},
};

INSTANTIATE_TEST_SUITE_P(Winbond, ChipReadings, ::testing::ValuesIn(kChipCases),
                         [](const auto& row) { return std::string(row.param.name); });

// A W83627EHF whose chip does not answer still has its temperatures, with
// no reading.
TEST_F(WinbondMonitors, W83627EHFWithoutRequestHasItsTemperaturesOnly) {
    auto& monitor = attach(std::make_unique<Winbond_W83627EHF_HardwareMonitor>(), {}, 0xFFFFFFFF, false);
    monitor.CreateSensors();
    monitor.Update();
    ASSERT_EQ(monitor.m_pAllSensors->GetCount(), 3u);
    for (CTemperatureSensor* sensor : monitor.m_pTemperatures) {
        ASSERT_NE(sensor, nullptr);
        EXPECT_EQ(sensor->m_dwRawValue, CSensor::kNoRawValue);
        EXPECT_FALSE(sensor->IsValid());
    }
    EXPECT_TRUE(registerWrites().empty());
}

// At update a voltage of 0x00 keeps its reading on the W83627DHG and is
// stored by the W83627EHF.
TEST_F(WinbondMonitors, VoltageOfZeroAtUpdate) {
    auto& dhg = attach(std::make_unique<Winbond_W83627DHG_HardwareMonitor>(0xC1), {{0, {{0x20, 0x50}}}});
    dhg.CreateSensors();
    dhg.Update();
    machine::SuperIoMonitor* block = monitorBlock(0);
    ASSERT_NE(block, nullptr);
    hw().writePort(kIndexPort, 1, 0x4E);
    hw().writePort(kIndexPort + 1, 1, 0x00);
    hw().writePort(kIndexPort, 1, 0x20);
    hw().writePort(kIndexPort + 1, 1, 0x00);
    dhg.Update();
    EXPECT_EQ(dhg.m_pVoltages[0]->m_dwRawValue, 0x50u);

    Winbond_W83627EHF_HardwareMonitor ehf;
    ehf.m_pRegisterSpace = dhg.m_pRegisterSpace;
    ehf.m_pRequest = new CLPCRequest;
    hw().writePort(kIndexPort, 1, 0x20);
    hw().writePort(kIndexPort + 1, 1, 0x50);
    ehf.CreateSensors();
    hw().writePort(kIndexPort, 1, 0x20);
    hw().writePort(kIndexPort + 1, 1, 0x00);
    ehf.Update();
    EXPECT_EQ(ehf.m_pVoltages[0]->m_dwRawValue, 0u);
}

// A fan count that overflows raises the fan's divisor one step at a time,
// up to 128, writing the exponent's low bits into 0x47 and its high bit
// into 0x5D; the fan is not created.
TEST_F(WinbondMonitors, W83627DHGRaisesTheDivisorOfAnOverflowingFan) {
    auto& monitor = attach(std::make_unique<Winbond_W83627DHG_HardwareMonitor>(0xC1),
                           {{0, {{0x28, 0x00}, {0x29, 0xFF}, {0x2A, 0x00}, {0x47, 0x45}, {0x5D, 0x20}}}});
    monitor.CreateSensors();
    std::vector<std::pair<uint8_t, uint8_t>> divisorWrites;
    for (const auto& write : registerWrites())
        if (write.first != 0x4E) divisorWrites.push_back(write);
    // Exponent 1 (0x47 bits 7-6 = 01) becomes 2 ... 7; fan 0's field
    // (bits 5-4 = 00, 0x5D bit 5 set) stays as read.
    const std::vector<std::pair<uint8_t, uint8_t>> expected = {
        {0x47, 0x85}, {0x5D, 0x20}, {0x47, 0xC5}, {0x5D, 0x20}, {0x47, 0x05}, {0x5D, 0x60},
        {0x47, 0x45}, {0x5D, 0x60}, {0x47, 0x85}, {0x5D, 0x60}, {0x47, 0xC5}, {0x5D, 0x60}};
    EXPECT_EQ(divisorWrites, expected);
    EXPECT_EQ(monitor.m_dwFanExponents[1], 7u);
    EXPECT_EQ(monitor.m_pFans[1], nullptr);
    expectBankZeroAtEnd();
    // Close puts the divisor registers back as found.
    record();
    monitor.Close();
    std::vector<std::pair<uint8_t, uint8_t>> restores;
    for (const auto& write : registerWrites())
        if (write.first != 0x4E) restores.push_back(write);
    const std::vector<std::pair<uint8_t, uint8_t>> found = {{0x47, 0x45}, {0x4B, 0xFF}, {0x5D, 0x20}};
    EXPECT_EQ(restores, found);
    expectBankZeroAtEnd();
}

// ---- The shared routines ----

// The bank routine reads 0x4E, then writes only the bank's low three bits.
TEST_F(WinbondMonitors, SelectBankWritesTheBankAlone) {
    auto& monitor = attach(std::make_unique<Winbond_W83627EHF_HardwareMonitor>(), {});
    hw().writePort(kIndexPort, 1, 0x4E);
    hw().writePort(kIndexPort + 1, 1, 0x80);
    record();
    EXPECT_NE(WinbondSelectBank(&monitor, 9), 0u);
    EXPECT_EQ(bankSelections(), std::vector<uint8_t>{0x01});
    EXPECT_EQ(monitorBlock(0)->bankSelection(), 0x01);
}

struct AcceptanceCase {
    uint8_t byte;
    bool voltage, temperature, fan;
};

class Acceptance : public ::testing::TestWithParam<AcceptanceCase> {};

TEST_P(Acceptance, OfOneByte) {
    const AcceptanceCase& c = GetParam();
    EXPECT_EQ(winbond::VoltageAccepted(1, c.byte), c.voltage);
    EXPECT_EQ(winbond::TemperatureAccepted(1, c.byte), c.temperature);
    EXPECT_EQ(winbond::FanAccepted(1, c.byte), c.fan);
    EXPECT_FALSE(winbond::VoltageAccepted(0, c.byte) || winbond::TemperatureAccepted(0, c.byte) ||
                 winbond::FanAccepted(0, c.byte));
}

INSTANTIATE_TEST_SUITE_P(Winbond, Acceptance,
                         ::testing::Values(AcceptanceCase{0x00, false, false, false},
                                           AcceptanceCase{0x7E, true, true, true},
                                           AcceptanceCase{0x7F, true, false, true},
                                           AcceptanceCase{0x80, true, false, true},
                                           AcceptanceCase{0xFF, false, false, false}));

TEST(WinbondReadings, NineBitTemperaturesAndFanExponents) {
    EXPECT_EQ(winbond::NineBit(0xFF, 0x80), 0x1FFu);
    EXPECT_EQ(winbond::NineBit(0xFF, 0x00), 0x1FEu);
    EXPECT_EQ(winbond::NineBit(0x20, 0x01, true), 0x41u);
    EXPECT_EQ(winbond::NineBit(0x20, 0x80, true), 0x40u);
    EXPECT_EQ(winbond::ClassicFanExponent(0, 0xA0, 0, 0, false), 2u);
    EXPECT_EQ(winbond::ClassicFanExponent(1, 0xA0, 0, 0, false), 2u);
    EXPECT_EQ(winbond::ClassicFanExponent(2, 0, 0xC0, 0x80, true), 7u);
    EXPECT_EQ(winbond::ClassicFanExponent(2, 0, 0xC0, 0x80, false), 3u);
}

// Bank 0 in full, then one row of each further bank; a register that fails
// shows "ER"; bank 0 selected at the end.
TEST_F(WinbondMonitors, BankedDump) {
    auto& monitor = attach(std::make_unique<Winbond_W83627EHF_HardwareMonitor>(),
                           {{0, {{0x20, 0x12}}}, {5, {{0x50, 0xAB}, {0x5F, 0xCD}}}});
    CReportGenerator_Buffer buffer;
    monitor.DumpRegisters(&buffer);
    const std::string text = buffer.GetText();
    EXPECT_EQ(text.rfind("Hardware registers\t\nRegister space\t\tLPC", 0), 0u) << text;
    EXPECT_NE(text.find("bank 0\t\n\t\t00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F \n\t00\t"), std::string::npos);
    EXPECT_NE(text.find("\n\t20\t12 FF "), std::string::npos) << text;
    EXPECT_NE(text.find("\tF0\t"), std::string::npos);
    EXPECT_NE(text.find("bank 5\t\n\t50\tAB FF FF FF FF FF FF FF FF FF FF FF FF FF FF CD \n"), std::string::npos)
        << text;
    EXPECT_EQ(text.find("bank 6"), std::string::npos);
    expectBankZeroAtEnd();

    hw().injectFault({machine::AccessKind::Port, machine::AccessDir::Read, kIndexPort + 1, kIndexPort + 1});
    CReportGenerator_Buffer failed;
    monitor.DumpRegisters(&failed);
    const std::string failedText = failed.GetText();
    EXPECT_NE(failedText.find("\t50\tER ER ER "), std::string::npos) << failedText;
}

TEST_F(WinbondMonitors, DumpWithoutRequestNamesTheSpaceOnly) {
    auto& monitor = attach(std::make_unique<Winbond_W83627DHG_HardwareMonitor>(0xC1), {}, 0xFFFFFFFF, false);
    CReportGenerator_Buffer buffer;
    monitor.DumpRegisters(&buffer);
    const std::string text = buffer.GetText();
    EXPECT_EQ(text.rfind("Hardware registers\t\nRegister space\t\t", 0), 0u) << text;
    EXPECT_EQ(text.find("bank"), std::string::npos) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
}

// The status reset acts only on the status sensor; the slot is empty unless
// one is put there. Register 0x46 gets bit 7 set, then cleared again.
// A W83792D update whose reads fail leaves the 10-bit core voltages as they
// were instead of widening them again.
TEST_F(WinbondMonitors, W83792DCoreVoltagesSurviveAFailedUpdate) {
    auto& monitor = attach(std::make_unique<Winbond_W83792D_HardwareMonitor>(),
                           {{0, {{0x20, 0x60}, {0x21, 0x60}, {0x3E, 0x07}}}}, 0x00BF45CE);
    monitor.CreateSensors();
    monitor.Update();
    ASSERT_NE(monitor.m_pVoltages[0], nullptr);
    hw().injectFault({machine::AccessKind::Port, machine::AccessDir::Read, kIndexPort + 1, kIndexPort + 1});
    monitor.Update();
    EXPECT_EQ(monitor.m_pVoltages[0]->m_dwRawValue, 0x183u);
    EXPECT_EQ(monitor.m_pVoltages[1]->m_dwRawValue, 0x181u);
    EXPECT_NEAR(monitor.m_pVoltages[0]->m_fValue, 0.774, 1e-6);
}

// The W83627HF sets a fan output's duty in percent, rounded, at most 255.
TEST_F(WinbondMonitors, W83627HFSetsItsFanOutputs) {
    auto& monitor = attach(std::make_unique<Winbond_W83627HF_HardwareMonitor>(), {{0, {{0x5A, 0x00}, {0x5B, 0x00}}}});
    monitor.CreateSensors();
    record();
    EXPECT_EQ(monitor.SetSensorValue(0, SENSOR_FAN_PWM, 50.0f), 1);
    EXPECT_EQ(monitor.SetSensorValue(1, SENSOR_FAN_PWM, 120.0f), 1);
    EXPECT_EQ(monitor.SetSensorValue(2, SENSOR_FAN_PWM, 10.0f), 1);
    const std::vector<std::pair<uint8_t, uint8_t>> expected = {{0x5A, 128}, {0x5B, 255}};
    EXPECT_EQ(registerWrites(), expected);
}

TEST_F(WinbondMonitors, AS99127FHasNoStatusReset) {
    auto& monitor = attach(std::make_unique<Asus_AS99127F_HardwareMonitor>(), {});
    EXPECT_EQ(monitor.SetSensorValue(0, winbond::kStatusClass, 0), 0);
    EXPECT_TRUE(registerWrites().empty());
}

TEST_F(WinbondMonitors, StatusReset) {
    auto& monitor = attach(std::make_unique<Winbond_W83627DHG_HardwareMonitor>(0xC1), {{0, {{0x46, 0x3F}}}});
    EXPECT_EQ(monitor.SetSensorValue(0, winbond::kStatusClass, 0), 1);
    EXPECT_EQ(monitor.SetSensorValue(0, SENSOR_FAN_PWM, 0), 1);
    EXPECT_TRUE(registerWrites().empty());
    auto* status = new CLevelSensor(0);
    status->m_dwId = winbond::kStatusClass;
    monitor.AddSensor(status);
    monitor.m_pStatus = status;
    EXPECT_EQ(monitor.SetSensorValue(0, winbond::kStatusClass, 0), 1);
    const std::vector<std::pair<uint8_t, uint8_t>> expected = {{0x4E, 0x00}, {0x46, 0xBF}, {0x46, 0x3F}};
    EXPECT_EQ(registerWrites(), expected);
}

// ---- VIA 686A/B ----

TEST(Via686Temperatures, CodesThroughTheTable) {
    EXPECT_EQ(VIA_686AB_HardwareMonitor::TemperatureFromCode(0x200), 23700);
    EXPECT_EQ(VIA_686AB_HardwareMonitor::TemperatureFromCode(0x201), 23800);
    EXPECT_EQ(VIA_686AB_HardwareMonitor::TemperatureFromCode(0x3FF), 146200);
    EXPECT_EQ(VIA_686AB_HardwareMonitor::TemperatureFromCode(0x000), -70900);
}

// The southbridge's monitor registers on ports 0x6000-0x607F, read through
// its register space: temperature code 0x201, voltage 0 of 0xC0, fan 0 with
// divisor 2.
TEST_F(WinbondMonitors, Via686ReadsItsSouthbridge) {
    std::vector<std::unique_ptr<machine::PortDevice>> devices;
    devices.push_back(std::make_unique<PortRegisterFile>(0x6000, 0x80));
    startWithPorts(std::move(devices));
    for (const auto& [reg, value] : Registers{{0x20, 0x80}, {0x4B, 0x40}, {0x22, 0xC0}, {0x29, 0x50}, {0x47, 0x50}})
        hw().writePort(uint16_t(0x6000 + reg), 1, value);
    CPortIOSpace ports(0x6000, 0xFFFFFFFF);
    VIA_686AB_HWM_RegisterSpace space(&ports);
    VIA_686AB_HardwareMonitor monitor;
    monitor.m_pRegisterSpace = &space;
    EXPECT_EQ(monitor.CreateSensors(), 1);
    EXPECT_EQ(monitor.Update(), 1);
    ASSERT_NE(monitor.m_pTemperatures[0], nullptr);
    EXPECT_EQ(monitor.m_pTemperatures[0]->m_dwRawValue, 0x201u);
    EXPECT_NEAR(monitor.m_pTemperatures[0]->m_fValue, 23.8, 1e-5);
    ASSERT_NE(monitor.m_pVoltages[0], nullptr);
    EXPECT_NEAR(monitor.m_pVoltages[0]->m_fValue, 2.28874, 1e-5);
    EXPECT_STREQ(monitor.m_pVoltages[0]->m_szName, "CPU VCore");
    ASSERT_NE(monitor.m_pFans[0], nullptr);
    EXPECT_EQ(monitor.m_pFans[0]->m_dwDivisor, 2u);
    EXPECT_NEAR(monitor.m_pFans[0]->m_fValue, 1.35e6 / (0x50 * 2), 1e-2);
}

} // namespace
} // namespace vexa::test
