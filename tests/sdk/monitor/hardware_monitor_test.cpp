// The monitor base: sensors by class, labels and roles from the tables,
// the conversion formulas, the poll divider and the register helpers.
#include <gtest/gtest.h>

#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/monitor/hardware_monitor.h"

namespace vexa::test {
namespace {

class MonitorBase : public ::testing::Test {
protected:
    void TearDown() override { ReleaseSDK(); }
};

// A monitor that counts its updates.
class CountingMonitor : public CHardwareMonitor {
public:
    CountingMonitor() : CHardwareMonitor(MONITOR_CHIP, 0x12345) {}
    int Update() override { return ++updates; }
    int updates = 0;
};

struct FormulaCase {
    const char* name;
    uint32_t sensorClass;  // 0x100, 0x200 or 0x400
    uint32_t formula;
    float a, b;
    uint32_t raw;
    float unconverted;
    float offset;  // temperatures
    float expected;
};

void PrintTo(const FormulaCase& c, std::ostream* os) { *os << c.name; }

class Formulas : public MonitorBase, public ::testing::WithParamInterface<FormulaCase> {};

TEST_P(Formulas, ConvertTheReading) {
    const FormulaCase& c = GetParam();
    CHardwareMonitor monitor(MONITOR_CHIP, 1);
    CSensor* sensor = nullptr;
    if (c.sensorClass == SENSOR_VOLTAGE) sensor = new CVoltageSensor(0);
    if (c.sensorClass == SENSOR_TEMPERATURE) {
        auto* temperature = new CTemperatureSensor(0);
        temperature->m_fOffset = c.offset;
        sensor = temperature;
    }
    if (c.sensorClass == SENSOR_FAN) sensor = new CFanSensor(0);
    sensor->m_dwRawValue = c.raw;
    sensor->m_fUnconvertedValue = c.unconverted;
    monitor.AddSensor(sensor);
    const _stVoltageLabel voltages[] = {{"V", 0x100, c.formula, c.a, c.b}, {nullptr, kLabelTableEnd, 0, 0, 0}};
    const _stSensorLabel temperatures[] = {{"T", 0x200, c.formula}, {nullptr, kLabelTableEnd, 0}};
    const _stSensorLabel fans[] = {{"F", 0x400, c.formula}, {nullptr, kLabelTableEnd, 0}};
    monitor.m_pVoltageLabels = voltages;
    monitor.m_pTemperatureLabels = temperatures;
    monitor.m_pFanLabels = fans;
    monitor.ApplySensorFormulas();
    EXPECT_FLOAT_EQ(sensor->m_fValue, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, Formulas,
    ::testing::Values(FormulaCase{"VoltageTimesAOverB", 0x100, 1, 2, 1, 0, 1.5f, 0, 3.0f},
                      FormulaCase{"VoltageFromRawWhenNoUnconverted", 0x100, 1, 1, 1, 0xFFFFFFFF, 0, 0, 4294967295.0f},
                      FormulaCase{"VoltageDivider", 0x100, 2, 200, 47, 0, 1.0f, 0, 247.0f / 47.0f},
                      FormulaCase{"VoltageMinus12", 0x100, 3, 232, 56, 0, 1.0f, 0,
                                  float((1.0 - 3.6 * double(float(232.0 / 288.0))) / (1 - double(float(232.0 / 288.0))))},
                      FormulaCase{"VoltageLinear", 0x100, 4, 2, 0.5f, 0, 1.0f, 0, 2.5f},
                      FormulaCase{"Temperature81", 0x200, 1, 0, 0, 0x81, 0, 0, -127.0f},
                      FormulaCase{"Temperature80", 0x200, 1, 0, 0, 0x80, 0, 0, 128.0f},
                      FormulaCase{"Temperature7FWithOffset", 0x200, 1, 0, 0, 0x7F, 0, 2, 129.0f},
                      FormulaCase{"HalfDegrees1FF", 0x200, 2, 0, 0, 0x1FF, 0, 0, -0.5f},
                      FormulaCase{"HalfDegrees100", 0x200, 2, 0, 0, 0x100, 0, 0, -128.0f},
                      FormulaCase{"SevenBitsWithOffset", 0x200, 3, 0, 0, 0xC5, 0, 10, 79.0f},
                      FormulaCase{"SevenBitsWithoutOffset", 0x200, 4, 0, 0, 0xC5, 0, 10, 69.0f},
                      FormulaCase{"FanCount", 0x400, 1, 0, 0, 0x1E0, 0, 0, 1406.25f},
                      FormulaCase{"FanStopped", 0x400, 1, 0, 0, 0, 0, 0, 0.0f},
                      FormulaCase{"FanRpm", 0x400, 2, 0, 0, 2500, 0, 0, 2500.0f}),
    [](const ::testing::TestParamInfo<FormulaCase>& row) { return std::string(row.param.name); });

TEST_F(MonitorBase, TemperatureWithoutReadingIsNotConverted) {
    CHardwareMonitor monitor(MONITOR_CHIP, 1);
    auto* sensor = new CTemperatureSensor(0);
    monitor.AddSensor(sensor);
    const _stSensorLabel table[] = {{"T", 0x200, 1}, {nullptr, kLabelTableEnd, 0}};
    monitor.m_pTemperatureLabels = table;
    monitor.ApplySensorFormulas();
    EXPECT_FLOAT_EQ(sensor->m_fValue, CSensor::kNoReading);
}

TEST_F(MonitorBase, LabelsGiveNamesRolesAndTableOrder) {
    CHardwareMonitor monitor(MONITOR_CHIP, 1);
    auto* vin0 = new CVoltageSensor(0);
    auto* vin1 = new CVoltageSensor(1);
    auto* fan = new CFanSensor(0);
    for (CSensor* sensor : {static_cast<CSensor*>(vin0), static_cast<CSensor*>(vin1), static_cast<CSensor*>(fan)})
        monitor.AddSensor(sensor);
    const _stVoltageLabel voltages[] = {{"+12V", 0x04000101, 1, 1, 1}, {"CPU", 0x01000100, 1, 1, 1},
                                        {"Missing", 0x105, 1, 1, 1},   {"Again", 0x101, 1, 1, 1},
                                        {nullptr, kLabelTableEnd, 0, 0, 0}};
    const _stSensorLabel noFans[] = {{nullptr, kLabelTableEnd, 0}};
    monitor.m_pVoltageLabels = voltages;
    monitor.m_pFanLabels = noFans;
    monitor.ApplySensorLabels();
    CTList<CSensor>* labelled = monitor.GetSensorList(SENSOR_VOLTAGE);
    ASSERT_EQ(labelled->GetCount(), 3u);
    EXPECT_EQ(labelled->m_pHead->m_pPayload, vin1);
    EXPECT_EQ(vin1->m_dwId, 0x101u);  // the later row's key and label
    EXPECT_STREQ(vin1->m_szName, "Again");
    EXPECT_EQ(vin0->m_dwId, 0x01000100u);
    EXPECT_STREQ(vin0->m_szName, "CPU");
    EXPECT_EQ(monitor.FindSensorById(0x01000100), vin0);
    EXPECT_EQ(monitor.GetSensorList(SENSOR_FAN)->GetCount(), 0u);  // an empty table shows none
    EXPECT_EQ(monitor.GetSensorList(0xFFFFFFFF)->GetCount(), 3u);
    EXPECT_EQ(monitor.GetSensorList(SENSOR_CURRENT), nullptr);
    EXPECT_EQ(GetSDK()->m_pSensors->GetCount(), 3u);
}

TEST_F(MonitorBase, PollReadsOnEveryNthCallAndWhenForced) {
    CountingMonitor monitor;
    monitor.m_dwUpdateDivider = 3;
    EXPECT_EQ(monitor.Poll(0), 0);
    EXPECT_EQ(monitor.Poll(1), 1);  // forced: at once, the count unchanged
    EXPECT_EQ(monitor.Poll(0), 0);
    EXPECT_EQ(monitor.Poll(0), 2);
    EXPECT_EQ(monitor.updates, 2);
    monitor.m_dwUpdateDivider = 0;
    EXPECT_EQ(monitor.Poll(0), 0);
    EXPECT_EQ(monitor.updates, 2);
}

TEST_F(MonitorBase, RegisterHelpersWithoutSpaceFail) {
    CHardwareMonitor monitor(MONITOR_CHIP, 1);
    uint8_t byte = 0x12;
    uint16_t word = 0x1234;
    EXPECT_EQ(monitor.ReadRegister(0, &byte), 0);
    EXPECT_EQ(monitor.ReadWordRegister(0, &word), 0);
    EXPECT_EQ(monitor.WriteRegister(0, 1), 0);
}

} // namespace
} // namespace vexa::test
