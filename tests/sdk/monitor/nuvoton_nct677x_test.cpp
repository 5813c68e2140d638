// The Nuvoton NCT677x/NCT679x monitor on simulated chips: which banks each
// device id reads, the scaling and sources of its readings, the bank field
// it writes, the NCT6796D dump, and the chip left in bank 0 and out of its
// configuration mode.
#include <gtest/gtest.h>

#include <cmath>
#include <typeinfo>
#include <string>
#include <vector>

#include "sdk/core/report_generator.h"
#include "sdk/core/sensor.h"
#include "sdk/monitor/nuvoton_nct677x.h"
#include "tests/sdk/monitor/chip_monitor_test_support.h"

namespace vexa::test {
namespace {

struct NuvotonCase {
    const char* name;
    uint8_t deviceId;
    const char* chipName;
    BankRegisters banks;
    std::vector<Reading> readings;
};

// Bank 0 with the vendor and identification registers the probe reads.
std::map<uint8_t, uint8_t> BankZero(std::map<uint8_t, uint8_t> registers) {
    registers.emplace(0x4E, 0x00);  // the bank register as the chip powers up
    registers[0x4F] = 0xA3;
    registers[0x58] = 0xC1;
    return registers;
}

ChipOnPorts Nuvoton(uint8_t deviceId, BankRegisters banks) {
    banks[0] = BankZero(banks[0]);
    return ChipWithMonitor(machine::SuperIoProtocol::Winbond, {{0x20, deviceId}, {0x21, 0x33}}, banks, true);
}

// Registers every case holds; the device id decides which are read.
BankRegisters CommonBanks() {
    return {
        {0, {{0x20, 0x6B}, {0x21, 0x00}, {0x22, 0xD6}, {0x23, 0xFF}, {0x27, 0x1B}}},
        {1, {{0x50, 0x40}, {0x51, 0x80}}},             // 64.5 degrees in half degrees
        {2, {{0x50, 0x40}, {0x51, 0x00}}},             // exactly 64 degrees
        {4, {{0x8A, 0x4F}, {0x8D, 0x00}, {0x80, 0xFF},  // extra voltages
             {0xC0, 0x02}, {0xC1, 0xC7}, {0xC2, 0x00}, {0xC3, 0xA4}, {0xCA, 0x03}, {0xCB, 0x15}}},
        {6, {{0x20, 0x50}, {0x56, 0x03}, {0x57, 0x4B}, {0x58, 0x00}, {0x59, 0x14}, {0x5E, 0x01}, {0x5F, 0x2C}}},
        {7, {{0x20, 0xA7}}},
    };
}

void PrintTo(const NuvotonCase& c, std::ostream* os) { *os << c.name; }

class NuvotonNCT677x : public ChipMonitorTest, public ::testing::WithParamInterface<NuvotonCase> {};

TEST_P(NuvotonNCT677x, ReadsTheBanksOfItsDeviceId) {
    const NuvotonCase& c = GetParam();
    startWithChips({Nuvoton(c.deviceId, c.banks)});
    CHardwareMonitor& monitor = initSingleMonitor();
    ASSERT_NE(dynamic_cast<Nuvoton_NCT6776_HardwareMonitor*>(&monitor), nullptr);
    EXPECT_STREQ(monitor.m_szName, c.chipName);
    EXPECT_EQ(monitor.m_dwId, 0x5CA300C1u);
    expectReadings(monitor, c.readings, 1e-4f);
}

const std::vector<Reading> kBankZeroReadings = {
    {SENSOR_VOLTAGE, "CPU VCORE", 0.856f},  // 0x6B x 8 mV
    {SENSOR_VOLTAGE, "VIN1", kNoSensor},    // 0x00: no input
    {SENSOR_VOLTAGE, "AVCC", 3.424f},       // 0xD6 x 8 mV x 2
    {SENSOR_VOLTAGE, "3VCC", kNoSensor},    // 0xFF
    {SENSOR_TEMPERATURE, "SYSTIN", 27.0f},
    {SENSOR_TEMPERATURE, "CPUTIN", 64.5f},  // 9-bit, bank 1
    {SENSOR_TEMPERATURE, "AUXTIN", 64.0f},  // 9-bit, bank 2
    {SENSOR_TEMPERATURE, "TMPIN4", 40.0f},  // bank 6 byte 0x50 by the half-degree formula
    {SENSOR_TEMPERATURE, "TMPIN3", 39.0f},  // bank 7 byte 0xA7, bits 0-6
};

INSTANTIATE_TEST_SUITE_P(
    DeviceIds, NuvotonNCT677x,
    ::testing::Values(
        NuvotonCase{"NCT6776", 0xC3, "Nuvoton NCT6776", CommonBanks(),
                    Joined(kBankZeroReadings, {{SENSOR_VOLTAGE, "VIN7", kNoSensor},  // no bank 4 on this chip
                          {SENSOR_FAN, "SYSFANIN", 843.0f},     // bank 6 pairs
                          {SENSOR_FAN, "CPUFANIN", kNoSensor},  // count 0x0014
                          {SENSOR_FAN, "AUXFANIN2", 300.0f},
                          {SENSOR_FAN, "AUXFANIN3", kNoSensor}})},
        NuvotonCase{"NCT6771", 0xB4, "Nuvoton NCT6771", CommonBanks(),
                    Joined(kBankZeroReadings, {{SENSOR_VOLTAGE, "VIN7", kNoSensor}, {SENSOR_FAN, "SYSFANIN", 843.0f}})},
        NuvotonCase{"NCT6779", 0xC5, "Nuvoton NCT6779", CommonBanks(),
                    Joined(kBankZeroReadings, {{SENSOR_VOLTAGE, "VIN7", 0.632f},      // bank 4 0x8A
                          {SENSOR_VOLTAGE, "VIN9", 0.0f},        // 0x00 is a reading in bank 4
                          {SENSOR_VOLTAGE, "VIN8", kNoSensor},   // 0xFF
                          {SENSOR_FAN, "SYSFANIN", 843.0f}})},  // fans still from bank 6
        NuvotonCase{"NCT6791", 0xC8, "Nuvoton NCT6791", CommonBanks(),
                    Joined(kBankZeroReadings, {{SENSOR_VOLTAGE, "VIN7", 0.632f},
                          {SENSOR_FAN, "SYSFANIN", 711.0f},      // bank 4 pairs from 0xC0
                          {SENSOR_FAN, "CPUFANIN", kNoSensor},   // 0x00A4
                          {SENSOR_FAN, "AUXFANIN3", 789.0f},     // the sixth fan, 0xCA/0xCB
                          {SENSOR_FAN, "AUXFANIN2", kNoSensor}})},  // bank 6 is not read
        NuvotonCase{"NCT6792", 0xC9, "Nuvoton NCT6792", CommonBanks(),
                    Joined(kBankZeroReadings, {{SENSOR_FAN, "AUXFANIN3", 789.0f}})}),
    [](const auto& test) { return std::string(test.param.name); });

// Bank-field width: four bits on the NCT679x, three before; the bits above
// the field are kept.
struct BankCase {
    uint8_t deviceId, before, bank, written;
};

void PrintTo(const BankCase& c, std::ostream* os) { *os << std::hex << int(c.deviceId) << " bank " << int(c.bank); }

class NuvotonBankField : public ChipMonitorTest, public ::testing::WithParamInterface<BankCase> {};

TEST_P(NuvotonBankField, WritesTheBankIntoItsField) {
    const BankCase& c = GetParam();
    startWithChips({Nuvoton(c.deviceId, {{0, {{0x4E, c.before}}}})});
    CHardwareMonitorInterface& domain = monitors();
    domain.DetectSuperIO();
    domain.ProbeChips();
    ASSERT_EQ(domain.m_pMonitors->GetCount(), 1u);
    auto* monitor = dynamic_cast<Nuvoton_NCT6776_HardwareMonitor*>(domain.m_pMonitors->m_pHead->m_pPayload);
    ASSERT_NE(monitor, nullptr);
    EXPECT_NE(monitor->SetBank(c.bank), 0);
    EXPECT_EQ(monitorBlock(0)->bankSelection(), c.written);
}

INSTANTIATE_TEST_SUITE_P(DeviceIds, NuvotonBankField,
                         ::testing::Values(BankCase{0xC8, 0x80, 9, 0x89}, BankCase{0xC3, 0x80, 9, 0x81},
                                           BankCase{0xC9, 0x00, 0x1F, 0x0F}, BankCase{0xC3, 0xF0, 2, 0xF2}));

// A failed count read keeps the fan; a count meaning no fan sets it to 0.
TEST_F(ChipMonitorTest, StoppedFanReadsZero) {
    startWithChips({Nuvoton(0xC3, {{6, {{0x56, 0x03}, {0x57, 0x4B}}}})});
    CHardwareMonitor& monitor = initSingleMonitor();
    CSensor* fan = sensorLabelled(monitor, SENSOR_FAN, "SYSFANIN");
    ASSERT_NE(fan, nullptr);
    EXPECT_EQ(fan->m_fValue, 843.0f);
    // The block keeps its registers: write the stopped count through the ports.
    monitor.WriteRegister(0x4E, 6);
    monitor.WriteRegister(0x57, 0xA4);
    monitor.WriteRegister(0x56, 0x00);
    monitor.WriteRegister(0x4E, 0);
    monitor.Update();
    EXPECT_EQ(fan->m_dwRawValue, 0u);
    EXPECT_EQ(fan->m_fValue, 0.0f);
}

// Every pass writes nothing but the bank register and ends in bank 0, the
// bits above the bank field as found; the chip is out of its
// configuration mode after detection.
TEST_F(ChipMonitorTest, UpdatesAndDumpsEndInBankZero) {
    startWithChips({Nuvoton(0xC8, {{0, {{0x4E, 0x80}}}, {4, {{0xC2, 0x02}, {0xC3, 0xC7}}}})});
    CHardwareMonitor& monitor = initSingleMonitor();
    EXPECT_FALSE(chip(0).inConfigMode());
    record();
    monitor.Update();
    CReportGenerator_Buffer buffer;
    monitor.DumpRegisters(&buffer);
    const auto writes = registerWrites();
    ASSERT_FALSE(writes.empty());
    for (const auto& [reg, value] : writes) EXPECT_EQ(reg, 0x4E) << "value " << int(value);
    EXPECT_EQ(writes.back().second, 0x80);
    EXPECT_EQ(monitorBlock(0)->bankSelection(), 0x80);
    EXPECT_FALSE(chip(0).inConfigMode());
    const std::string text = buffer.GetText();
    EXPECT_NE(text.find("bank 0"), std::string::npos);
    EXPECT_NE(text.find("bank 7"), std::string::npos);
}

// ---- The NCT6796D register dump ----

// Its chip id (0xD4) is not one this monitor knows: the chip is not read
// as an NCT677x, nothing fails, and it stays as found. While no class of
// its own serves the chip it gets the plain monitor and its register dump.
TEST_F(ChipMonitorTest, NCT6796DWithItsOwnIdIsNotReadAsNCT677x) {
    startWithChips({winbondChipFromDump("superio/nct6796d.regs")});
    CHardwareMonitor& monitor = initSingleMonitor();
    EXPECT_EQ(dynamic_cast<Nuvoton_NCT6776_HardwareMonitor*>(&monitor), nullptr);
    EXPECT_FALSE(chip(0).inConfigMode());
    EXPECT_EQ(monitorBlock(0)->bankSelection() & 0x0F, 0);
    CReportGenerator_Buffer buffer;
    monitor.DumpFull(&buffer);
    const std::string text = buffer.GetText();
    if (typeid(monitor) == typeid(CHardwareMonitor)) {
        EXPECT_STREQ(monitor.m_szName, "Hardware monitor ID=0x5CE300D4");  // 0x5CA3 << 16 | 0xC1 << 16 | 0xD4
        EXPECT_NE(text.find("\t20\tFF FF FF FF FF FF FF 1B "), std::string::npos) << text;  // bank 0 row 0x20
    }
    EXPECT_FALSE(text.empty());
}

float ExpectedFloat(const std::map<std::string, std::string>& expect, const std::string& key) {
    const auto it = expect.find(key);
    return it == expect.end() ? 0.0f : std::stof(it->second);
}

// The same dump under the NCT6791's id (only the id byte changed): the
// readings the two register layouts share match the values recorded with
// the dump.
TEST_F(ChipMonitorTest, NCT6796DDumpReadWithTheNCT679xLayout) {
    ChipOnPorts nct6796d = winbondChipFromDump("superio/nct6796d.regs");
    ASSERT_EQ(nct6796d.chip.globalRegisters[0x20], 0xD4);
    nct6796d.chip.globalRegisters[0x20] = 0xC8;
    startWithChips({nct6796d});
    CHardwareMonitor& monitor = initSingleMonitor();
    ASSERT_NE(dynamic_cast<Nuvoton_NCT6776_HardwareMonitor*>(&monitor), nullptr);
    const auto expect = ReadExpectations("superio/nct6796d.expect");
    struct Shared {
        uint32_t classCode;
        const char* label;
        const char* expectKey;  // null: the recorded reading has no value
        float tolerance;
    };
    const Shared shared[] = {
        {SENSOR_VOLTAGE, "VIN8", "voltages[0].value", 1e-4f},   // Vcore
        {SENSOR_VOLTAGE, "VIN11", "voltages[1].value", 1e-4f},  // Vin1
        {SENSOR_VOLTAGE, "VIN10", "voltages[4].value", 1e-4f},  // Vin0
        {SENSOR_VOLTAGE, "VIN7", "voltages[10].value", 1e-4f},  // Vin5
        {SENSOR_VOLTAGE, "VIN9", "voltages[13].value", 1e-4f},  // Vin3
        {SENSOR_TEMPERATURE, "SYSTIN", "temperatures[8].value", 0.0f},
        // The dump's half-degree bit is set; the recorded reading drops it.
        {SENSOR_TEMPERATURE, "CPUTIN", "temperatures[9].value", 0.5f},
        {SENSOR_TEMPERATURE, "TMPIN3", "temperatures[7].value", 0.0f},  // PECI agent 0
        {SENSOR_FAN, "CPUFANIN", "fans[1].speed[0].value", 0.0f},
        {SENSOR_FAN, "AUXFANIN0", "fans[2].speed[0].value", 0.0f},
        {SENSOR_FAN, "AUXFANIN1", "fans[3].speed[0].value", 0.0f},
        {SENSOR_FAN, "AUXFANIN2", "fans[4].speed[0].value", 0.0f},
        {SENSOR_FAN, "SYSFANIN", nullptr, 0.0f},
        {SENSOR_FAN, "AUXFANIN3", nullptr, 0.0f},
    };
    for (const Shared& s : shared) {
        CSensor* sensor = sensorLabelled(monitor, s.classCode, s.label);
        if (!s.expectKey) {
            EXPECT_EQ(sensor, nullptr) << s.label;
            continue;
        }
        ASSERT_TRUE(expect.count(s.expectKey)) << s.expectKey;
        ASSERT_NE(sensor, nullptr) << s.label;
        EXPECT_NEAR(sensor->m_fValue, ExpectedFloat(expect, s.expectKey), s.tolerance + 1e-4f) << s.label;
    }
    // Bank 0 of this chip keeps no voltages at 0x20-0x26.
    EXPECT_EQ(sensorLabelled(monitor, SENSOR_VOLTAGE, "CPU VCORE"), nullptr);
    EXPECT_FALSE(chip(0).inConfigMode());
    EXPECT_EQ(monitorBlock(0)->bankSelection(), 0);
}

} // namespace
} // namespace vexa::test
