// The records the simulated NVIDIA driver library exchanges with its
// callers, laid out as a 64-bit build of the library lays them out: each
// begins with its version word, version << 16 | size in bytes, and the
// library refuses a record whose version word differs. The library's
// client declares the same layouts on its side (sdk/nvapi/nvapi_records.h);
// both check every offset they rely on.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vexa::platform::nvapi {

constexpr uint32_t versionWord(uint32_t version, size_t size) { return version << 16 | uint32_t(size); }

struct ClockFrequencies {
    uint32_t version;
    uint32_t clockType;
    struct Domain {
        uint32_t flags;  // bit 0: present
        uint32_t khz;
    } domains[32];
};
static_assert(sizeof(ClockFrequencies) == 264 && offsetof(ClockFrequencies, domains) == 8);
constexpr uint32_t kClockFrequenciesVersion = versionWord(2, sizeof(ClockFrequencies));

struct LevelClockEntry {
    uint32_t domain, unused, khz, secondKhz, minimumKhz, maximumKhz, flags;
};
struct LevelClockLevel {
    uint32_t id, kind;
    LevelClockEntry entries[32];
};
struct LevelClockTable {
    uint32_t version;
    int32_t levelCount, currentLevel, entriesPerLevel;
    uint32_t unused;
    LevelClockLevel levels[12];
};
static_assert(sizeof(LevelClockEntry) == 28 && offsetof(LevelClockEntry, flags) == 24);
static_assert(sizeof(LevelClockLevel) == 904 && offsetof(LevelClockLevel, entries) == 8);
static_assert(sizeof(LevelClockTable) == 10868 && offsetof(LevelClockTable, levels) == 20);
constexpr uint32_t kLevelClockTableVersion = versionWord(1, sizeof(LevelClockTable));

struct PstateClock {
    uint32_t domain, flags, khz;
};
struct PstateVoltage {
    uint32_t domain, flags, millivolts;
};
struct Pstate {
    uint32_t id, flags;
    PstateClock clocks[32];
    PstateVoltage voltages[16];
};
struct PstateTable {
    uint32_t version, flags;
    int32_t pstateCount;
    uint32_t clockCount, voltageCount;
    Pstate pstates[16];
};
static_assert(sizeof(Pstate) == 584 && offsetof(Pstate, voltages) == 392);
static_assert(sizeof(PstateTable) == 9364 && offsetof(PstateTable, pstates) == 20);
constexpr uint32_t kPstateTableVersion = versionWord(2, sizeof(PstateTable));

struct ThermalSettings {
    uint32_t version, count;
    struct Sensor {
        uint32_t controller;
        int32_t defaultMinimum, defaultMaximum, current;
        uint32_t target;
    } sensors[3];
};
static_assert(sizeof(ThermalSettings) == 68 && offsetof(ThermalSettings, sensors[1].current) == 40);
constexpr uint32_t kThermalSettingsVersion = versionWord(2, sizeof(ThermalSettings));

struct FanLevels {
    uint32_t version, count;
    struct Cooler {
        uint32_t words[17];  // word 6: the current level in percent
    } coolers[20];
};
static_assert(sizeof(FanLevels) == 1368 && offsetof(FanLevels, coolers[1].words[6]) == 8 + 68 + 24);
constexpr uint32_t kFanLevelsVersion = versionWord(4, sizeof(FanLevels));

struct Utilization {
    uint32_t version, flags;
    struct Domain {
        uint32_t present, percent;
    } domains[8];
};
static_assert(sizeof(Utilization) == 72 && offsetof(Utilization, domains) == 8);
constexpr uint32_t kUtilizationVersion = versionWord(1, sizeof(Utilization));

// The pointers are 64 bits wide here, so the record is longer than a
// 32-bit build's 44 bytes.
struct I2CInfo {
    uint32_t version, displayMask;
    uint8_t ddcPort, address;  // address: 7-bit address << 1
    uint8_t* registers;
    uint32_t registerCount;
    uint8_t* data;
    uint32_t dataCount, speed;
    uint32_t reserved[3];
};
static_assert(offsetof(I2CInfo, ddcPort) == 8 && offsetof(I2CInfo, address) == 9);
static_assert(offsetof(I2CInfo, registers) == 16 && offsetof(I2CInfo, registerCount) == 24);
static_assert(offsetof(I2CInfo, data) == 32 && offsetof(I2CInfo, dataCount) == 40 && offsetof(I2CInfo, speed) == 44);
static_assert(sizeof(I2CInfo) == 64);
constexpr uint32_t kI2CInfoVersion = versionWord(3, sizeof(I2CInfo));

} // namespace vexa::platform::nvapi
