// The records of the GPU functions as the client lays them out, filled by
// the simulated library from its own layouts: every field the client reads
// must land where the client looks for it.
#include <gtest/gtest.h>

#include "sdk/nvapi/nvapi_stubs.h"
#include "tests/sdk/nvapi/nvapi_test_support.h"

namespace vexa::test {
namespace {

class NvapiRecords : public ::testing::Test {
protected:
    void SetUp() override {
        NvapiGpuHandle handles[kNvapiMaxPhysicalGpus] = {};
        uint32_t count = 0;
        ASSERT_EQ(NvAPI_EnumPhysicalGPUs(handles, &count), kNvapiOk);
        ASSERT_EQ(count, 1u);
        gpu = handles[0];
    }

    NvapiMachine machine{"{" + nvapiSection() + "}"};
    NvapiGpuHandle gpu = 0;
};

TEST_F(NvapiRecords, PciIdentifiersMatchTheAdapter) {
    uint32_t device = 0, subsystem = 0, revision = 0, external = 0, bus = 0;
    ASSERT_EQ(NvAPI_GPU_GetPCIIdentifiers(gpu, &device, &subsystem, &revision, &external), kNvapiOk);
    EXPECT_EQ(device, 0x0A6510DEu);  // vendor low, device high
    EXPECT_EQ(subsystem, 0x34C21458u);
    EXPECT_EQ(revision, 0xA2u);
    ASSERT_EQ(NvAPI_GPU_GetBusId(gpu, &bus), kNvapiOk);
    EXPECT_EQ(bus, 1u);
}

TEST_F(NvapiRecords, ClockFrequencies) {
    NvapiClockFrequencies clocks{};
    clocks.Version = kNvapiClockFrequenciesVersion;
    ASSERT_EQ(NvAPI_GPU_GetAllClockFrequencies(gpu, &clocks), kNvapiOk);
    EXPECT_EQ(clocks.Domains[0].Flags & 1, 1u);
    EXPECT_EQ(clocks.Domains[0].FrequencyKHz, 589000u);
    EXPECT_EQ(clocks.Domains[kNvClockDomainMemory].FrequencyKHz, 500000u);
    EXPECT_EQ(clocks.Domains[kNvClockDomainShader].FrequencyKHz, 1402000u);
    EXPECT_EQ(clocks.Domains[1].Flags & 1, 0u);
}

TEST_F(NvapiRecords, LevelClockTableAllLevelsOneLevelAndWriteBack) {
    NvapiLevelClockTable table{};
    table.Version = kNvapiLevelClockTableVersion;
    ASSERT_EQ(NvAPI_GPU_GetLevelClockTable(gpu, -1, &table), kNvapiOk);
    EXPECT_EQ(table.LevelCount, 2);
    EXPECT_EQ(table.CurrentLevel, 1);
    EXPECT_EQ(table.EntriesPerLevel, 2);
    const NvapiLevelClockEntry& core = table.Levels[1].Entries[0];
    EXPECT_EQ(table.Levels[1].LevelId, 3u);
    EXPECT_EQ(core.ClockKHz, 589000u);
    EXPECT_EQ(core.SecondClockKHz, 600000u);
    EXPECT_EQ(core.MinimumKHz, 300000u);
    EXPECT_EQ(core.MaximumKHz, 800000u);
    EXPECT_EQ(table.Levels[1].Entries[1].Domain, kNvClockDomainMemory);

    NvapiLevelClockTable one{};
    one.Version = kNvapiLevelClockTableVersion;
    ASSERT_EQ(NvAPI_GPU_GetLevelClockTable(gpu, 1, &one), kNvapiOk);
    EXPECT_EQ(one.Levels[0].LevelId, 3u);
    one.Levels[0].Entries[0].ClockKHz = 610000;
    one.Levels[0].Entries[0].Flags = 1;
    one.Levels[0].Entries[1].ClockKHz = 1;  // not flagged: kept
    ASSERT_EQ(NvAPI_GPU_SetLevelClockTable(gpu, 1, &one), kNvapiOk);
    ASSERT_EQ(NvAPI_GPU_GetLevelClockTable(gpu, 1, &one), kNvapiOk);
    EXPECT_EQ(one.Levels[0].Entries[0].ClockKHz, 610000u);
    EXPECT_EQ(one.Levels[0].Entries[1].ClockKHz, 500000u);
}

TEST_F(NvapiRecords, PstateTableAndVoltageWriteBack) {
    NvapiPstateTable table{};
    table.Version = kNvapiPstateTableVersion;
    ASSERT_EQ(NvAPI_GPU_GetPstateTable(gpu, &table), kNvapiOk);
    ASSERT_EQ(table.PstateCount, 2);
    EXPECT_EQ(table.Pstates[1].PstateId, 12u);
    EXPECT_EQ(table.Pstates[1].Clocks[0].FrequencyKHz, 135000u);
    EXPECT_EQ(table.Pstates[0].Voltages[0].Millivolts, 1050u);
    table.Pstates[0].Voltages[0].Millivolts = 1100;
    ASSERT_EQ(NvAPI_GPU_SetPstateTable(gpu, &table), kNvapiOk);
    NvapiPstateTable again{};
    again.Version = kNvapiPstateTableVersion;
    ASSERT_EQ(NvAPI_GPU_GetPstateTable(gpu, &again), kNvapiOk);
    EXPECT_EQ(again.Pstates[0].Voltages[0].Millivolts, 1100u);
    uint32_t current = 0;
    ASSERT_EQ(NvAPI_GPU_GetCurrentPstate(gpu, &current), kNvapiOk);
    EXPECT_EQ(current, 12u);
}

TEST_F(NvapiRecords, ThermalFanAndUsage) {
    NvapiThermalSettings thermal{};
    thermal.Version = kNvapiThermalSettingsVersion;
    ASSERT_EQ(NvAPI_GPU_GetThermalSettings(gpu, 15, &thermal), kNvapiOk);
    EXPECT_EQ(thermal.Count, 1u);
    EXPECT_EQ(thermal.Sensors[0].CurrentTemperature, 47);
    EXPECT_EQ(thermal.Sensors[0].DefaultMaximum, 127);

    NvapiFanLevels fans{};
    fans.Version = kNvapiFanLevelsVersion;
    ASSERT_EQ(NvAPI_GPU_GetFanLevels(gpu, 7, &fans), kNvapiOk);
    EXPECT_EQ(fans.Coolers[0].Words[NvapiFanLevels::kLevelWord], 35u);
    uint32_t rpm = 0;
    ASSERT_EQ(NvAPI_GPU_GetTachReading(gpu, &rpm), kNvapiOk);
    EXPECT_EQ(rpm, 1620u);

    NvapiUtilization usage{};
    usage.Version = kNvapiUtilizationVersion;
    ASSERT_EQ(NvAPI_GPU_GetDynamicPstatesInfoEx(gpu, &usage), kNvapiOk);
    EXPECT_EQ(usage.Domains[0].Percent, 12u);
    EXPECT_EQ(usage.Domains[1].Percent, 4u);
    EXPECT_EQ(usage.Domains[2].Present, 0u);
}

TEST_F(NvapiRecords, I2CReadThroughTheRecordsPointers) {
    uint8_t reg = 1;
    uint8_t data[4] = {};
    NvapiI2CInfo info{};
    info.Version = kNvapiI2CInfoVersion;
    info.DeviceAddress = 0x4C << 1;
    info.RegisterBytes = &reg;
    info.RegisterCount = 1;
    info.Data = data;
    info.DataCount = sizeof data;
    ASSERT_EQ(NvAPI_I2CRead(gpu, &info), kNvapiOk);
    EXPECT_EQ(data[0], 0x00);
    EXPECT_EQ(data[1], 0x55);
    EXPECT_EQ(data[2], 0xAA);
    EXPECT_EQ(data[3], 0xFF);  // past the device's registers
    info.DeviceAddress = 0x2D << 1;
    EXPECT_NE(NvAPI_I2CRead(gpu, &info), kNvapiOk);
}

// A record of another version is refused, and the caller's record is left
// as it was.
TEST_F(NvapiRecords, AnotherVersionIsRefused) {
    NvapiThermalSettings thermal{};
    thermal.Version = NvapiVersionWord(1, sizeof thermal);
    thermal.Count = 99;
    EXPECT_NE(NvAPI_GPU_GetThermalSettings(gpu, 15, &thermal), kNvapiOk);
    EXPECT_EQ(thermal.Count, 99u);
}

} // namespace
} // namespace vexa::test
