#include "sdk/monitor/abit_uguru_tables.h"

#include <cstring>
#include <map>
#include <string_view>

#include "sdk/core/sensor.h"

namespace {

constexpr uint32_t kEnd = 0xFFFFFFFF;

} // namespace

const _stUGuruSensor kUGuru2003Sensors[] = {
    {"CPU Core", 0x1000100, 0x2103, 3490, 255, 0},
    {"DDR", 0x8000101, 0x2104, 3490, 255, 0},
    {"DDR VTT", 0x102, 0x210A, 3490, 255, 0},
    {"HyperTransport", 0x103, 0x2102, 3490, 255, 0},
    {"NB", 0x104, 0x2108, 3490, 255, 0},
    {"SB", 0x105, 0x210E, 3490, 255, 0},
    {"AGP", 0x106, 0x2109, 3490, 255, 0},
    {"ATX +5V", 0x3000107, 0x2106, 6250, 255, 0},
    {"ATX +3.3V", 0x2000108, 0x2105, 4360, 255, 0},
    {"ATX 5VSB", 0x7000109, 0x210B, 6250, 255, 0},
    {"ATX +3.3V DUAL", 0x10A, 0x210D, 4360, 255, 0},
    {"CPU", 0x1000200, 0x2100, 1, 1, 0},
    {"SYS", 0x201, 0x2101, 1, 1, 0},
    {"PWM", 0x202, 0x210F, 1, 1, 0},
    {"CPU", 0x1000400, 0x2600, 15300, 255, 0},
    {"NB", 0x401, 0x2601, 15300, 255, 0},
    {"SYS", 0x402, 0x2602, 15300, 255, 0},
    {"AUX1", 0x403, 0x2603, 15300, 255, 0},
    {"AUX2", 0x404, 0x2604, 15300, 255, 0},
    {nullptr, 0, kEnd, 0, 0, 0},
};

namespace {

// A 2005 row as the boards list it: label, class and block offset; a
// voltage scale of 0 follows the label rules, and a divisor other than 1
// is given where a board's row has one.
struct BoardRow {
    const char* label;
    uint32_t classCode;
    uint32_t offset;
    int32_t a = 0;
    int32_t b = 1;
};

using Rows = std::vector<BoardRow>;

BoardRow V(const char* label, uint32_t offset, int32_t a = 0) { return {label, SENSOR_VOLTAGE, offset, a}; }
BoardRow T(const char* label, uint32_t offset) { return {label, SENSOR_TEMPERATURE, offset, 1}; }
BoardRow F(const char* label, uint32_t offset) { return {label, SENSOR_FAN, offset, 60}; }

Rows Join(std::initializer_list<Rows> parts) {
    Rows all;
    for (const Rows& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

bool OneOf(std::string_view label, std::initializer_list<std::string_view> labels) {
    for (std::string_view l : labels)
        if (l == label) return true;
    return false;
}

int32_t VoltageScale(std::string_view label) {
    if (OneOf(label, {"+3.3V", "ATX +3.3V", "MCH 2.5V", "CPU VDDA 2.5V", "CPU PLL", "DDR2", "DDR3"})) return 20;
    if (OneOf(label, {"ATX +5V", "5VSB", "ATX 5VSB"})) return 30;
    if (label.starts_with("ATX +12V")) return 60;
    return 10;
}

uint32_t Role(std::string_view label, uint32_t classCode) {
    if (classCode == SENSOR_VOLTAGE) {
        if (label == "CPU Core") return 1;
        if (OneOf(label, {"DDR", "DDR2", "DDR3"})) return 8;
        if (label == "ATX +12V (24-Pin)") return 4;
        if (label == "ATX +5V") return 3;
        if (OneOf(label, {"+3.3V", "ATX +3.3V"})) return 2;
        if (OneOf(label, {"5VSB", "ATX 5VSB"})) return 7;
        return 0;
    }
    return label == "CPU" ? 1 : 0;
}

// The twelve voltages most Intel boards share, with the board's DDR scale.
Rows IntelVoltages(int32_t ddrScale) {
    return {V("CPU Core", 0x00), V("DDR", 0x01, ddrScale), V("DDR VTT", 0x02), V("CPU VTT 1.2V", 0x03),
            V("MCH & PCIE 1.5V", 0x04), V("MCH 2.5V", 0x05), V("ICH 1.05V", 0x06), V("ATX +12V (24-Pin)", 0x07),
            V("ATX +12V (4-pin)", 0x08), V("ATX +5V", 0x09), V("+3.3V", 0x0a), V("5VSB", 0x0b)};
}

// The supply voltages that close most lists, with the label of the second
// 12 V connector.
Rows Supplies(const char* second12V, bool atxNames) {
    return {V("ATX +12V (24-Pin)", 0x07), V(second12V, 0x08), V("ATX +5V", 0x09),
            V(atxNames ? "ATX +3.3V" : "+3.3V", 0x0a), V(atxNames ? "ATX 5VSB" : "5VSB", 0x0b)};
}

Rows CpuSysPwm(const char* system) { return {T("CPU", 0x18), T(system, 0x19), T("PWM", 0x1a)}; }
Rows PwmPhases(uint32_t count) {
    static const char* const kNames[] = {"PWM Phase 1", "PWM Phase 2", "PWM Phase 3", "PWM Phase 4", "PWM Phase 5"};
    Rows rows;
    for (uint32_t i = 0; i < count; ++i) rows.push_back(T(kNames[i], 0x1a + i));
    return rows;
}
Rows CpuSystemPhases(uint32_t count) { return Join({{T("CPU", 0x18), T("System", 0x19)}, PwmPhases(count)}); }
// "CPU", "SYS", "AUX1"..."AUX4" at 0x20, 0x22, 0x21, 0x23-0x25.
Rows LaterFans() {
    return {F("CPU", 0x20), F("SYS", 0x22), F("AUX1", 0x21), F("AUX2", 0x23), F("AUX3", 0x24), F("AUX4", 0x25)};
}
Rows IntelLateVoltages(const char* mch, const char* ich, const char* cpuVtt) {
    return {V("CPU Core", 0x00), V("DDR2", 0x01), V("DDR2 VTT", 0x02), V(cpuVtt, 0x03), V(mch, 0x04),
            V("ICHIO 1.5V", 0x05), V(ich, 0x06)};
}

std::map<uint32_t, Rows> BoardRows() {
    std::map<uint32_t, Rows> boards;
    boards[12] = Join({IntelVoltages(10), CpuSysPwm("System"),
                       {F("CPU", 0x20), F("NB", 0x21), F("SYS", 0x22), F("AUX1", 0x23)}});
    boards[13] = Join({IntelVoltages(10),
                       {T("CPU", 0x18), T("System", 0x19), T("PWM1", 0x1a), T("PWM2", 0x1b), T("PWM3", 0x1c),
                        T("PWM4", 0x1d)},
                       {F("CPU", 0x20), F("NB", 0x21), F("SYS", 0x22), F("AUX1", 0x23), F("AUX2", 0x24),
                        F("AUX3", 0x25), F("AUX4", 0x26), F("AUX5", 0x27)}});
    boards[14] = Join({IntelVoltages(10), CpuSysPwm("System"), {F("CPU", 0x20), F("NB", 0x21), F("SYS", 0x22)}});
    boards[15] = boards[20] = boards[14];
    boards[16] = Join({{V("CPU Core", 0x00), V("DDR", 0x01, 10), V("DDR VTT", 0x02), V("CPU VTT 1.2V", 0x03),
                        V("NB 1.4V", 0x04), V("SB 1.5V", 0x06)},
                       Supplies("ATX +12V (4-pin)", false), CpuSysPwm("SYS"),
                       {F("CPU", 0x20), F("NB", 0x21), F("SYS", 0x22), F("AUX1", 0x23), F("OTES1", 0x24)}});
    boards[17] = Join({{V("CPU Core", 0x00), V("DDR", 0x01, 20), V("DDR VTT", 0x02), V("CPU VDDA 2.5V", 0x06),
                        V("NB 1.8V", 0x04), V("NB 1.8V Dual", 0x05), V("HTV 1.2", 0x03), V("PCIE 1.2V", 0x0c),
                        V("NB 1.2V", 0x0d)},
                       Supplies("ATX +12V (4-pin)", false),
                       {T("CPU", 0x18), T("NB", 0x19), T("System", 0x1a), T("PWM", 0x1b)},
                       {F("CPU", 0x20), F("NB", 0x21), F("SYS", 0x22), F("AUX1", 0x23), F("AUX2", 0x24)}});
    // This board's firmware table gives its AUX1 fan a divisor of 0.
    boards[18] = Join({{V("CPU Core", 0x00), V("DDR", 0x01, 20), V("DDR VTT", 0x02), V("HyperTransport", 0x03),
                        V("CPU VDDA 2.5V", 0x05), V("NB", 0x04), V("SB", 0x06)},
                       Supplies("ATX +12V (4-pin)", false), CpuSysPwm("SYS"),
                       {F("CPU", 0x20), F("NB", 0x21), F("SYS", 0x22), {"AUX1", SENSOR_FAN, 0x24, 1, 0}}});
    boards[19] = Join({IntelVoltages(10),
                       {T("CPU", 0x18), T("System", 0x19), T("PWM1", 0x1a), T("PWM2", 0x1b), T("PWM3", 0x1c),
                        T("PWM4", 0x1d)},
                       {F("CPU", 0x20), F("NB", 0x21), F("SYS", 0x22), F("AUX1", 0x23), F("AUX2", 0x24),
                        F("AUX3", 0x25), F("AUX4", 0x26)}});
    boards[21] = Join({{V("CPU Core", 0x00), V("DDR2", 0x01), V("DDR2 VTT", 0x02), V("HyperTransport", 0x03),
                        V("CPU VDDA 2.5V", 0x05), V("NB 1.2V", 0x04), V("PCIE 1.2V", 0x0e), V("SB 1.5V", 0x06)},
                       Supplies("ATX +12V (4-Pin)", true), CpuSysPwm("SYS"),
                       {F("CPU", 0x20), F("NB", 0x21), F("SYS", 0x22), F("AUX2", 0x23), F("AUX3", 0x24),
                        F("AUX4", 0x25)}});
    boards[22] = Join({IntelVoltages(20),
                       {T("CPU", 0x18), T("System", 0x19), T("PWM", 0x1a), T("PWM2", 0x1b), T("PWM3", 0x1c),
                        T("PWM4", 0x1d)},
                       {F("CPU", 0x20), F("NB", 0x21), F("SYS", 0x22), F("AUX1", 0x23), F("AUX2", 0x24),
                        F("AUX3", 0x25), F("OTES Fan1", 0x26), F("OTES Fan2", 0x27)}});
    boards[23] = Join({{V("CPU Core", 0x00), V("DDR2", 0x01), V("DDR2 VTT", 0x02), V("HyperTransport", 0x03),
                        V("CPU VDDA 2.5V", 0x06), V("NB 1.8V", 0x04), V("NB 1.2V", 0x0d), V("SB 1.2V", 0x05),
                        V("PCIE 1.2V", 0x0c)},
                       Supplies("ATX +12V (4-Pin)", true), {T("CPU", 0x18), T("System", 0x1a), T("PWM", 0x1b)},
                       {F("CPU", 0x20), F("SYS", 0x22), F("AUX1", 0x23), F("AUX2", 0x24), F("AUX3", 0x25),
                        F("AUX4", 0x21)}});
    boards[24] = Join({{V("CPU Core", 0x00), V("DDR", 0x01, 20), V("DDR VTT", 0x02), V("CPU VTT", 0x03),
                        V("MCH 1.25V", 0x04), V("ICHIO 1.5V", 0x05), V("ICH 1.05V", 0x06)},
                       Supplies("ATX +12V (4-pin)", false), CpuSystemPhases(5), LaterFans()});
    boards[25] = Join({{V("CPU Core", 0x07), V("DDR2", 0x0d), V("DDR2 VTT", 0x0e), V("CPU VTT", 0x03),
                        V("NB", 0x04), V("SB", 0x06), V("HyperTransport", 0x05), V("ATX +12V (24-Pin)", 0x0c),
                        V("ATX +12V (4-Pin)", 0x08), V("ATX +5V", 0x09), V("ATX +3.3V", 0x0a),
                        V("ATX 5VSB", 0x0b)},
                       CpuSystemPhases(5), LaterFans()});
    boards[26] = Join({IntelLateVoltages("MCH 1.25V", "ICH 1.05V", "CPU VTT 1.2V"),
                       Supplies("ATX +12V (8-Pin)", false),
                       {T("CPU", 0x18), T("System", 0x19), T("PWM", 0x1a), T("PWM Phase 2", 0x1b),
                        T("PWM Phase 3", 0x1c), T("PWM Phase 4", 0x1d), T("PWM Phase 5", 0x1e)},
                       LaterFans()});
    boards[27] = Join({IntelLateVoltages("MCH 1.25V", "ICH 1.05V", "CPU VTT"), Supplies("ATX +12V (8-Pin)", false),
                       CpuSystemPhases(5), LaterFans()});
    boards[28] = boards[27];
    boards[29] = Join({IntelLateVoltages("MCH 1.1V", "ICH 1.1V", "CPU VTT"), Supplies("ATX +12V (8-Pin)", false),
                       {V("CPU PLL", 0x0c)}, CpuSystemPhases(2), LaterFans()});
    boards[32] = boards[29];
    Rows ddr3 = boards[29];
    ddr3[1].label = "DDR3";
    ddr3[2].label = "DDR3 VTT";
    boards[30] = ddr3;
    return boards;
}

// A board's rows as sensor rows: indexes counted per class, keys with roles.
std::vector<_stUGuruSensor> SensorRows(const Rows& rows) {
    std::vector<_stUGuruSensor> sensors;
    std::map<uint32_t, uint32_t> nextIndex;
    for (const BoardRow& row : rows) {
        const uint32_t index = nextIndex[row.classCode]++;
        const int32_t a = row.a ? row.a : VoltageScale(row.label);
        sensors.push_back({row.label, Role(row.label, row.classCode) << 24 | row.classCode | index, row.offset, a,
                           row.b, 0});
    }
    return sensors;
}

} // namespace

const std::vector<_stUGuruSensor>& UGuru2005Sensors(uint32_t boardId) {
    static const std::map<uint32_t, std::vector<_stUGuruSensor>> kTables = [] {
        std::map<uint32_t, std::vector<_stUGuruSensor>> tables;
        for (const auto& [id, rows] : BoardRows()) tables[id] = SensorRows(rows);
        return tables;
    }();
    static const std::vector<_stUGuruSensor> kNone;
    const auto it = kTables.find(boardId);
    return it == kTables.end() ? kNone : it->second;
}
