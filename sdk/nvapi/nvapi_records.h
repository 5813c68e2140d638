// The records exchanged with the NVIDIA driver library's GPU functions, as
// a 64-bit process lays them out. Each begins with a version word, version
// << 16 | size in bytes, which the caller sets; the library refuses another
// version. All fields are 32 bits wide but the I2C record's pointers.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t NvapiVersionWord(uint32_t version, size_t size) { return version << 16 | uint32_t(size); }

// The clock domains of the clock records.
constexpr uint32_t kNvClockDomainCore = 0;
constexpr uint32_t kNvClockDomainMemory = 4;
constexpr uint32_t kNvClockDomainShader = 7;

struct NvapiClockFrequencies {
    uint32_t Version;
    uint32_t ClockType;
    struct Domain {
        uint32_t Flags;  // bit 0: the domain is present
        uint32_t FrequencyKHz;
    } Domains[32];  // indexed by the clock domain
};
static_assert(sizeof(NvapiClockFrequencies) == 264);
static_assert(offsetof(NvapiClockFrequencies, Domains[7].FrequencyKHz) == 8 + 7 * 8 + 4);
constexpr uint32_t kNvapiClockFrequenciesVersion = NvapiVersionWord(2, sizeof(NvapiClockFrequencies));
static_assert(kNvapiClockFrequenciesVersion == 0x20108);

struct NvapiLevelClockEntry {
    uint32_t Domain;
    uint32_t Reserved;
    uint32_t ClockKHz, SecondClockKHz, MinimumKHz, MaximumKHz;
    uint32_t Flags;  // bit 0: apply this entry when the table is written back
};
struct NvapiLevelClockLevel {
    uint32_t LevelId;
    uint32_t Kind;
    NvapiLevelClockEntry Entries[32];
};
struct NvapiLevelClockTable {
    uint32_t Version;
    int32_t LevelCount, CurrentLevel, EntriesPerLevel;
    uint32_t Reserved;
    NvapiLevelClockLevel Levels[12];
};
static_assert(sizeof(NvapiLevelClockEntry) == 28 && offsetof(NvapiLevelClockEntry, MaximumKHz) == 20);
static_assert(sizeof(NvapiLevelClockLevel) == 904);
static_assert(sizeof(NvapiLevelClockTable) == 10868 && offsetof(NvapiLevelClockTable, Levels[1].Entries[0]) == 20 + 904 + 8);
constexpr uint32_t kNvapiLevelClockTableVersion = NvapiVersionWord(1, sizeof(NvapiLevelClockTable));
static_assert(kNvapiLevelClockTableVersion == 0x12A74);

struct NvapiPstateTable {
    uint32_t Version, Flags;
    int32_t PstateCount;
    uint32_t ClockCount, VoltageCount;
    struct Pstate {
        uint32_t PstateId, Flags;
        struct Clock {
            uint32_t Domain, Flags, FrequencyKHz;
        } Clocks[32];
        struct Voltage {
            uint32_t Domain, Flags, Millivolts;
        } Voltages[16];
    } Pstates[16];
};
static_assert(sizeof(NvapiPstateTable::Pstate) == 584 && offsetof(NvapiPstateTable::Pstate, Voltages) == 392);
static_assert(sizeof(NvapiPstateTable) == 9364 && offsetof(NvapiPstateTable, Pstates) == 20);
constexpr uint32_t kNvapiPstateTableVersion = NvapiVersionWord(2, sizeof(NvapiPstateTable));
static_assert(kNvapiPstateTableVersion == 0x22494);

struct NvapiThermalSettings {
    uint32_t Version, Count;
    struct Sensor {
        uint32_t Controller;
        int32_t DefaultMinimum, DefaultMaximum;
        int32_t CurrentTemperature;  // degrees Celsius
        uint32_t Target;
    } Sensors[3];
};
static_assert(sizeof(NvapiThermalSettings) == 68 && offsetof(NvapiThermalSettings, Sensors[0].CurrentTemperature) == 20);
constexpr uint32_t kNvapiThermalSettingsVersion = NvapiVersionWord(2, sizeof(NvapiThermalSettings));
static_assert(kNvapiThermalSettingsVersion == 0x20044);

struct NvapiFanLevels {
    uint32_t Version, Count;
    struct Cooler {
        uint32_t Words[17];
    } Coolers[20];
    // The current level of a cooler in percent is its word 6.
    static constexpr size_t kLevelWord = 6;
};
static_assert(sizeof(NvapiFanLevels) == 1368 && offsetof(NvapiFanLevels, Coolers[0].Words[6]) == 8 + 24);
constexpr uint32_t kNvapiFanLevelsVersion = NvapiVersionWord(4, sizeof(NvapiFanLevels));
static_assert(kNvapiFanLevelsVersion == 0x40558);

struct NvapiUtilization {
    uint32_t Version, Flags;
    struct Domain {
        uint32_t Present, Percent;
    } Domains[8];  // indexed by the GPU usage domain
};
static_assert(sizeof(NvapiUtilization) == 72 && offsetof(NvapiUtilization, Domains[3].Percent) == 8 + 24 + 4);
constexpr uint32_t kNvapiUtilizationVersion = NvapiVersionWord(1, sizeof(NvapiUtilization));
static_assert(kNvapiUtilizationVersion == 0x10048);

// Zeroed before use. A 32-bit process's record is 44 bytes (version word
// 0x3002C); the two pointers make this one 64, so its version word is
// kNvapiI2CInfoVersion (0x30040).
struct NvapiI2CInfo {
    uint32_t Version;
    uint32_t DisplayMask;
    uint8_t IsDdcPort;
    uint8_t DeviceAddress;  // the 7-bit address shifted left by one
    uint8_t* RegisterBytes;
    uint32_t RegisterCount;
    uint8_t* Data;
    uint32_t DataCount;
    uint32_t Speed;
    uint32_t Reserved[3];
};
static_assert(offsetof(NvapiI2CInfo, DeviceAddress) == 9 && offsetof(NvapiI2CInfo, RegisterBytes) == 16);
static_assert(offsetof(NvapiI2CInfo, RegisterCount) == 24 && offsetof(NvapiI2CInfo, Data) == 32);
static_assert(offsetof(NvapiI2CInfo, DataCount) == 40 && offsetof(NvapiI2CInfo, Speed) == 44);
static_assert(sizeof(NvapiI2CInfo) == 64);
constexpr uint32_t kNvapiI2CInfoVersion = NvapiVersionWord(3, sizeof(NvapiI2CInfo));
static_assert(kNvapiI2CInfoVersion == 0x30040);
