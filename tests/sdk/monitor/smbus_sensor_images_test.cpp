// Register images of real sensor chips on the x58 sample's SMBus: the
// SMBus scan finds each chip and its monitor reads what the chip's Linux
// driver read from the same image (the .expect file beside it).
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "sdk/core/sensor.h"
#include "sdk/hw/register_space.h"
#include "sdk/monitor/hardware_monitor.h"
#include "sdk/monitor/hardware_monitor_interface.h"
#include "tests/sdk/pci/pci_test_support.h"
#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

// The "key=value" lines of a .expect file.
std::map<std::string, double> ExpectedReadings(const std::string& file) {
    std::map<std::string, double> readings;
    std::istringstream text(readFile(dataPath(file)));
    std::string line;
    while (std::getline(text, line)) {
        const size_t equals = line.find('=');
        if (line.empty() || line[0] == '#' || equals == std::string::npos) continue;
        try {
            readings[line.substr(0, equals)] = std::stod(line.substr(equals + 1));
        } catch (const std::exception&) {
        }
    }
    return readings;
}

// One reading of the driver's and the sensor it must equal. The driver
// gives millivolts, millidegrees and rpm; `perUnit` turns the sensor's
// value into the driver's unit (for a voltage the chip's own input
// divider, which the driver applies and the monitor leaves to the board's
// label tables).
struct Check {
    const char* key;
    uint32_t sensorClass;
    uint8_t index;
    double perUnit;
    double tolerance;  // in the driver's unit
};

struct ImageCase {
    const char* name;          // the image below tests/data/smbus-sensors, and the test's name
    const char* address;       // on the bus
    const char* bankRegister;  // "" for none
    uint32_t monitorId;
    std::vector<Check> checks;
    std::vector<std::pair<uint32_t, uint8_t>> absent;  // sensors the monitor must not make
    // Identification bytes changed in the image (bank 0), for chips whose
    // own id the identification tables do not know.
    std::vector<std::pair<uint8_t, uint8_t>> identity = {};
};

// The image text with register `reg` of its first bank set to `value`.
std::string WithRegister(std::string text, uint8_t reg, uint8_t value) {
    char row[8];
    std::snprintf(row, sizeof row, "\n%02x: ", reg & 0xF0);
    const size_t at = text.find(row);
    EXPECT_NE(at, std::string::npos) << "no row for register " << int(reg);
    if (at == std::string::npos) return text;
    char byte[3];
    std::snprintf(byte, sizeof byte, "%02x", value);
    text.replace(at + 5 + 3 * (reg & 0x0F), 2, byte);
    return text;
}

void PrintTo(const ImageCase& c, std::ostream* os) { *os << c.name; }

class SensorImageMachine : public PciTest {
protected:
    void TearDown() override {
        monitors_.reset();
        PciTest::TearDown();
    }

    // The x58 sample with the chip on its SMBus beside the modules.
    CHardwareMonitorInterface& StartWithChip(const ImageCase& c) {
        std::string manifest = X58Manifest();
        const std::string firstModule = R"({"address": "0x50")";
        std::string chip = std::string(R"({"address": ")") + c.address + R"(", "registers": "sensor.regs")";
        if (*c.bankRegister) chip += std::string(R"(, "bank_register": ")") + c.bankRegister + "\"";
        chip += "},\n      ";
        const size_t at = manifest.find(firstModule);
        EXPECT_NE(at, std::string::npos);
        manifest.insert(at, chip);
        std::string image = readFile(dataPath(std::string("smbus-sensors/") + c.name + ".regs"));
        for (const auto& [reg, value] : c.identity) image = WithRegister(image, reg, value);
        startX58Variant(X58Lspci(), manifest, {{"sensor.regs", image}});
        EXPECT_NE(scannedPCI(), nullptr);
        EXPECT_EQ(sdk().CreateSMBusInterface(), 1);
        monitors_ = std::make_unique<CHardwareMonitorInterface>(0, 0, 0);
        monitors_->Init();
        return *monitors_;
    }

    // The monitor of a chip on the SMBus with that id (the board's
    // super-I/O chip may share it: the W83667HG and the NCT7802 do).
    CHardwareMonitor* MonitorWithId(uint32_t id) {
        CTListIterator<CHardwareMonitor> it(monitors_->m_pMonitors);
        for (CHardwareMonitor* monitor = it.GetFirst(); monitor; monitor = it.GetNext())
            if (monitor->m_dwId == id && monitor->m_pRegisterSpace &&
                monitor->m_pRegisterSpace->GetClass() == REGSPACE_SMBUS)
                return monitor;
        return nullptr;
    }

    std::string MonitorIds() {
        std::ostringstream text;
        CTListIterator<CHardwareMonitor> it(monitors_->m_pMonitors);
        for (CHardwareMonitor* monitor = it.GetFirst(); monitor; monitor = it.GetNext())
            text << std::hex << "0x" << monitor->m_dwId << " ";
        return text.str();
    }

    std::unique_ptr<CHardwareMonitorInterface> monitors_;
};

class SmbusSensorImages : public SensorImageMachine, public ::testing::WithParamInterface<ImageCase> {};

std::string SensorsOf(CHardwareMonitor& monitor) {
    std::ostringstream text;
    CTListIterator<CSensor> it(monitor.GetSensorList(0xFFFFFFFF));
    for (CSensor* sensor = it.GetFirst(); sensor; sensor = it.GetNext())
        text << std::hex << (sensor->m_dwId & 0xFFFFFF) << std::dec << " " << sensor->m_szName << " = "
             << sensor->m_fValue << " [raw " << sensor->m_dwRawValue << "]\n";
    return text.str();
}

TEST_P(SmbusSensorImages, ScanFindsTheChipAndReadsWhatItsDriverRead) {
    const ImageCase& c = GetParam();
    StartWithChip(c);
    CHardwareMonitor* monitor = MonitorWithId(c.monitorId);
    ASSERT_NE(monitor, nullptr) << "no monitor 0x" << std::hex << c.monitorId << " among " << MonitorIds();
    const std::map<std::string, double> expected = ExpectedReadings(std::string("smbus-sensors/") + c.name + ".expect");
    for (const Check& check : c.checks) {
        SCOPED_TRACE(check.key);
        ASSERT_EQ(expected.count(check.key), 1u);
        CSensor* sensor = monitor->FindSensorById(check.sensorClass | check.index);
        ASSERT_NE(sensor, nullptr) << SensorsOf(*monitor);
        EXPECT_NEAR(sensor->m_fValue * check.perUnit, expected.at(check.key), check.tolerance) << SensorsOf(*monitor);
    }
    for (const auto& [sensorClass, index] : c.absent)
        EXPECT_EQ(monitor->FindSensorById(sensorClass | index), nullptr) << SensorsOf(*monitor);
}

constexpr uint32_t V = SENSOR_VOLTAGE, T = SENSOR_TEMPERATURE, F = SENSOR_FAN;

INSTANTIATE_TEST_SUITE_P(
    Chips, SmbusSensorImages,
    ::testing::Values(
        // The NCT7802 and NCT7904 straps allow 0x28-0x2F; the scan looks for
        // Nuvoton chips at 0x2D (and 0x28, 0x2E, 0x2F), where boards put them.
        // The NCT7802 and NCT7904 straps allow 0x28-0x2F; the scan looks for
        // Nuvoton chips at 0x2D (and 0x28, 0x2E, 0x2F), where boards put them.
        // The NCT7802 measures VCC through a divider of two.
        ImageCase{"nct7802", "0x2d", "0x00", 0x5CA300C1,
                  {{"in0_input", V, 0, 2000, 4}, {"in1_input", V, 1, 1000, 2}, {"in3_input", V, 3, 1000, 2},
                   {"in4_input", V, 4, 1000, 2}},
                  {{F, 0}, {F, 1}, {F, 2}}},
        // The driver counts the NCT7904's inputs from 1 and puts 3VSB last;
        // its second temperature is the processor reading at 0xA0.
        ImageCase{"nct7904", "0x2d", "0xff", 0x5CA300C5,
                  {{"in7_input", V, 6, 1000, 2}, {"in9_input", V, 8, 1000, 2}, {"in11_input", V, 10, 1000, 2},
                   {"in13_input", V, 12, 1000, 2}, {"in15_input", V, 14, 1000, 6}, {"in16_input", V, 15, 1000, 6},
                   {"in20_input", V, 16, 1000, 6}, {"temp2_input", T, 0, 1000, 0.5}},
                  {{F, 0}, {F, 1}, {F, 3}, {F, 4}, {F, 5}, {F, 6}, {F, 7}}},
        // This ADM1026 reports stepping 0x40; the tables know the 0x45 one.
        ImageCase{"adm1026", "0x2c", "", 0x410045,
                  {{"temp1_input", T, 0, 1000, 0.5}, {"temp2_input", T, 1, 1000, 0.5}, {"temp3_input", T, 2, 1000, 0.5}},
                  {{V, 0}, {V, 5}, {F, 0}, {F, 1}},
                  {{0x17, 0x45}}},
        // Whole degrees: the driver adds the chip's extra resolution bits.
        ImageCase{"adm1031", "0x2c", "", 0x410031,
                  {{"temp1_input", T, 0, 1000, 999}, {"temp2_input", T, 1, 1000, 999}, {"temp3_input", T, 2, 1000, 999},
                   {"fan1_input", F, 0, 1, 0.5}, {"fan2_input", F, 1, 1, 0.5}},
                  {}},
        ImageCase{"adm1032", "0x4c", "", 0x410042, {{"temp1_input", T, 0, 1000, 0.5}, {"temp2_input", T, 1, 1000, 0.5}}, {}},
        // MAX1617s have no id register: the scan knows them by their
        // power-on limits, which this image had changed.
        ImageCase{"max1617", "0x18", "", 0x4D0016, {{"temp1_input", T, 0, 1000, 0.5}, {"temp2_input", T, 1, 1000, 0.5}}, {},
                  {{0x05, 0x7F}, {0x06, 0xC9}}},
        // The MAX1617A and MAX6695 answer with device id 0x01; the tables
        // know the MAX6648's 0x59, which is read the same way.
        ImageCase{"max1617a", "0x18", "", 0x4D0059, {{"temp1_input", T, 0, 1000, 0.5}, {"temp2_input", T, 1, 1000, 0.5}},
                  {}, {{0xFF, 0x59}}},
        ImageCase{"max6695", "0x4c", "", 0x4D0059, {{"temp1_input", T, 0, 1000, 0.5}}, {}, {{0xFF, 0x59}}},
        // Eight-bit voltages against the driver's higher resolution: within
        // one and a half steps of the rail.
        ImageCase{"dme1737", "0x2e", "", 0x55008C,
                  {{"in0_input", V, 0, 1000, 39}, {"in1_input", V, 1, 1000, 18}, {"in2_input", V, 2, 1000, 26},
                   {"in3_input", V, 3, 1000, 39}, {"in4_input", V, 4, 1000, 94}, {"temp1_input", T, 0, 1000, 999},
                   {"temp2_input", T, 1, 1000, 999}, {"temp3_input", T, 2, 1000, 999}, {"fan1_input", F, 0, 1, 1},
                   {"fan2_input", F, 1, 1, 1}, {"fan3_input", F, 2, 1, 1}, {"fan4_input", F, 3, 1, 1}},
                  {}},
        ImageCase{"emc6d102", "0x2c", "", 0x550060,
                  {{"in0_input", V, 0, 1000, 20}, {"in1_input", V, 1, 1000, 18}, {"in2_input", V, 2, 1000, 26},
                   {"in3_input", V, 3, 1000, 39}, {"in4_input", V, 4, 1000, 94}, {"temp1_input", T, 0, 1000, 999},
                   {"temp2_input", T, 1, 1000, 999}, {"temp3_input", T, 2, 1000, 999}, {"fan1_input", F, 0, 1, 1},
                   {"fan3_input", F, 2, 1, 1}, {"fan4_input", F, 3, 1, 1}},
                  {{F, 1}}},
        // The driver's first temperature is the LM87's own (0x27).
        ImageCase{"lm87", "0x2c", "", 0xFF020087,
                  {{"in1_input", V, 1, 1000, 1}, {"in2_input", V, 2, 1000, 1}, {"in3_input", V, 3, 1000, 1},
                   {"in4_input", V, 4, 1000, 1}, {"temp1_input", T, 1, 1000, 0.5}, {"temp2_input", T, 0, 1000, 0.5}},
                  {{F, 0}, {F, 1}}},
        ImageCase{"lm87-cfg2", "0x2c", "", 0xFF020087,
                  {{"in0_input", V, 0, 1000, 1}, {"in1_input", V, 1, 1000, 1}, {"in4_input", V, 4, 1000, 1},
                   {"temp1_input", T, 1, 1000, 0.5}},
                  {{V, 5}, {F, 1}}},
        // An LM63-family chip: the scan looks for LM63s at 0x4C by their id.
        ImageCase{"lm96163", "0x4c", "", 0xFF020041,
                  {{"temp1_input", T, 0, 1000, 0.5}, {"temp2_input", T, 1, 1000, 999}}, {}, {{0xFF, 0x41}}}),
    [](const auto& row) {
        std::string name = row.param.name;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

// Chips whose own id the identification tables do not key are still found:
// they show their id and register dump (or, without an id register and
// with changed limits, cannot be told from any other device).
struct UnknownChip {
    const char* name;
    const char* address;
    uint32_t id;  // 0: no monitor
};

void PrintTo(const UnknownChip& c, std::ostream* os) { *os << c.name << "@" << c.address; }

class UnknownSensorImages : public SensorImageMachine, public ::testing::WithParamInterface<UnknownChip> {};

TEST_P(UnknownSensorImages, ShowTheirIdOrNothing) {
    const UnknownChip& c = GetParam();
    StartWithChip(ImageCase{c.name, c.address, "", 0, {}, {}});
    if (!c.id) {
        EXPECT_EQ(monitors_->m_pMonitors->GetCount(), 1) << MonitorIds();  // the board's super-I/O chip only
        return;
    }
    CHardwareMonitor* monitor = MonitorWithId(c.id);
    ASSERT_NE(monitor, nullptr) << MonitorIds();
    EXPECT_EQ(monitor->GetSensorList(0xFFFFFFFF), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Chips, UnknownSensorImages,
                         ::testing::Values(UnknownChip{"adm1026", "0x2c", 0x410040}, UnknownChip{"max1617a", "0x18", 0x4D0001},
                                           UnknownChip{"max1617", "0x18", 0}, UnknownChip{"lm96163", "0x18", 0}),
                         [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace vexa::test
