#include "sdk/monitor/via_686_vt1211.h"

#include "sdk/core/helpers.h"
#include "sdk/core/sensor.h"
#include "sdk/hw/register_space.h"
#include "sdk/hw/register_space_pmio.h"

namespace {

// Tenths of a degree Celsius by the upper eight bits of a temperature code.
constexpr int32_t kTemperatureTable[256] = {
    -709, -688, -667, -646, -627, -607, -589, -570, -553, -536, -519, -503, -487, -471, -456, -442,
    -428, -414, -400, -387, -375, -362, -350, -339, -327, -316, -305, -295, -285, -275, -265, -255,
    -246, -237, -229, -220, -212, -204, -196, -188, -180, -173, -166, -159, -152, -145, -139, -132,
    -126, -120, -114, -108, -102, -96,  -91,  -85,  -80,  -74,  -69,  -64,  -59,  -54,  -49,  -44,
    -39,  -34,  -29,  -25,  -20,  -15,  -11,  -6,   -2,   3,    7,    12,   16,   20,   25,   29,
    33,   37,   42,   46,   50,   54,   59,   63,   67,   71,   75,   79,   84,   88,   92,   96,
    100,  104,  109,  113,  117,  121,  125,  130,  134,  138,  142,  146,  151,  155,  159,  163,
    168,  172,  176,  181,  185,  189,  193,  198,  202,  206,  211,  215,  219,  224,  228,  232,
    237,  241,  245,  250,  254,  259,  263,  267,  272,  276,  281,  285,  290,  294,  299,  303,
    307,  312,  316,  321,  325,  330,  334,  339,  344,  348,  353,  357,  362,  366,  371,  376,
    380,  385,  390,  395,  399,  404,  409,  414,  419,  423,  428,  433,  438,  443,  449,  454,
    459,  464,  469,  475,  480,  486,  491,  497,  502,  508,  514,  520,  526,  532,  538,  544,
    551,  557,  564,  571,  578,  584,  592,  599,  606,  614,  621,  629,  637,  645,  654,  662,
    671,  680,  689,  698,  708,  718,  728,  738,  749,  759,  770,  782,  793,  805,  818,  830,
    843,  856,  870,  883,  898,  912,  927,  943,  958,  975,  991,  1008, 1026, 1044, 1062, 1081,
    1101, 1121, 1141, 1162, 1184, 1206, 1229, 1252, 1276, 1301, 1326, 1352, 1378, 1406, 1434, 1462};

// Temperatures: the register of code bits 9-2, and the register and shift of bits 1-0.
struct TemperatureInput {
    uint8_t high, lowRegister, lowShift;
};
constexpr TemperatureInput kTemperatureInputs[3] = {{0x20, 0x4B, 6}, {0x21, 0x49, 4}, {0x1F, 0x49, 6}};

// Voltages: the register and the divisor of its input formula.
struct VoltageInput {
    uint8_t reg;
    double divisor;
};
constexpr VoltageInput kVoltageInputs[5] = {{0x22, 210240}, {0x23, 210240}, {0x24, 157370}, {0x25, 101080}, {0x26, 41714}};

constexpr uint8_t kFanCounts[2] = {0x29, 0x2A};
constexpr uint8_t kFanDivisors = 0x47;  // bits 5-4 fan 0, bits 7-6 fan 1

constexpr _stVoltageLabel k686Voltages[] = {{"CPU VCore", 0x01000100, 1, 1, 1}, {"AUX", 0x00000101, 1, 1, 1},
                                            {"+3.3V", 0x02000102, 1, 1, 1},     {"+5V", 0x03000103, 1, 1, 1},
                                            {"+12V", 0x04000104, 1, 1, 1},      {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stSensorLabel k686Fans[] = {{"FANIN0", 0x00000400, 1}, {"FANIN1", 0x00000401, 1}, {nullptr, kLabelTableEnd, 0}};

template <typename Sensor>
Sensor* Added(CHardwareMonitor* monitor, Sensor* sensor, const char* format, int index) {
    FormatString(sensor->m_szName, sizeof sensor->m_szName, format, index);
    monitor->AddSensor(sensor);
    return sensor;
}

} // namespace

// ---- VIA 686A/B ----

VIA_686AB_HardwareMonitor::VIA_686AB_HardwareMonitor() : CHardwareMonitor(MONITOR_CHIP, 0x11060686) {
    FormatString(m_szName, sizeof m_szName, "%s", "VIA 686A/B");
    m_pVoltageLabels = k686Voltages;
    m_pFanLabels = k686Fans;
}

int32_t VIA_686AB_HardwareMonitor::TemperatureFromCode(uint32_t code) {
    const uint32_t index = (code >> 2) & 0xFF, fraction = code & 3;
    if (fraction == 0 || index == 0xFF) return kTemperatureTable[index] * 100;
    return (int32_t(4 - fraction) * kTemperatureTable[index] + int32_t(fraction) * kTemperatureTable[index + 1]) * 25;
}

bool VIA_686AB_HardwareMonitor::Read(uint8_t reg, uint32_t& byte) {
    if (!m_pRegisterSpace || m_pRegisterSpace->GetClass() != REGSPACE_VIA_686_HWM) return false;
    static_cast<VIA_686AB_HWM_RegisterSpace*>(m_pRegisterSpace)->ReadRegister(reg, &byte);
    return byte != VIA_686AB_HWM_RegisterSpace::kNoReading;
}

int VIA_686AB_HardwareMonitor::CreateSensors() {
    uint32_t byte = 0;
    for (int i = 0; i < 3; ++i)
        if (Read(kTemperatureInputs[i].high, byte)) m_pTemperatures[i] = Added(this, new CTemperatureSensor(uint8_t(i)), "TMPIN%d", i);
    for (int i = 0; i < 5; ++i)
        if (Read(kVoltageInputs[i].reg, byte)) m_pVoltages[i] = Added(this, new CVoltageSensor(uint8_t(i)), "VIN%d", i);
    for (int fan = 0; fan < 2; ++fan) {
        if (!Read(kFanCounts[fan], byte)) continue;
        m_pFans[fan] = Added(this, new CFanSensor(uint8_t(fan)), "FANIN%d", fan);
        if (Read(kFanDivisors, byte)) m_pFans[fan]->m_dwDivisor = 1u << ((byte >> (4 + 2 * fan)) & 3);
    }
    ApplySensorLabels();
    return 1;
}

int VIA_686AB_HardwareMonitor::Update() {
    uint32_t high = 0, low = 0, byte = 0;
    for (int i = 0; i < 3; ++i) {
        const TemperatureInput& input = kTemperatureInputs[i];
        if (!m_pTemperatures[i] || !Read(input.high, high) || !Read(input.lowRegister, low)) continue;
        const uint32_t code = high << 2 | ((low >> input.lowShift) & 3);
        m_pTemperatures[i]->m_dwRawValue = code;
        m_pTemperatures[i]->SetValue(float(TemperatureFromCode(code) * 0.001), 1);
    }
    for (int i = 0; i < 5; ++i) {
        if (!m_pVoltages[i] || !Read(kVoltageInputs[i].reg, byte)) continue;
        m_pVoltages[i]->m_dwRawValue = byte;
        m_pVoltages[i]->m_fUnconvertedValue =
            float(((double(byte) * 250000 + 13300) / kVoltageInputs[i].divisor * 10 + 5) / 1000);
    }
    for (int fan = 0; fan < 2; ++fan)
        if (m_pFans[fan] && Read(kFanCounts[fan], byte)) m_pFans[fan]->m_dwRawValue = byte;
    ApplySensorFormulas();
    return 1;
}

// ---- VT1211 ----

VIA_VT1211_HardwareMonitor::VIA_VT1211_HardwareMonitor() : CHardwareMonitor(MONITOR_CHIP, 0x11061211) {
    FormatString(m_szName, sizeof m_szName, "%s", "VIA VT1211");
}

int VIA_VT1211_HardwareMonitor::CreateSensors() {
    ApplySensorLabels();
    return 1;
}

int VIA_VT1211_HardwareMonitor::Update() {
    ApplySensorFormulas();
    return 1;
}

CHardwareMonitor* CreateVIAVT1211(uint32_t) { return new VIA_VT1211_HardwareMonitor; }
