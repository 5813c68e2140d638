// The simulated NVIDIA driver library's GPU functions: clocks, performance
// levels, P-states, temperatures, fans, usage and the GPU's I2C bus, each
// filling its record (internal/nvapi_library_records.h) from the GPU of the
// machine's model. A record with another version word is refused, and a
// value the GPU does not offer is "not supported"; the writing functions
// store what they change in the model.
#include <algorithm>
#include <cstring>

#include "platform/internal/libraries.h"
#include "platform/internal/nvapi_library.h"
#include "platform/internal/nvapi_library_records.h"

namespace vexa::platform::nvapi {
namespace {

constexpr uint32_t kGetAllClockFrequenciesId = 0xDCB616C3;
constexpr uint32_t kGetLevelClockTableId = 0x1EA54A3B;
constexpr uint32_t kSetLevelClockTableId = 0x07BCF4AC;
constexpr uint32_t kGetFanLevelsId = 0xDA141340;
constexpr uint32_t kGetPstateTableId = 0xBA94C56E;
constexpr uint32_t kSetPstateTableId = 0xCDF27911;
constexpr uint32_t kGetCurrentPstateId = 0x927DA4F6;
constexpr uint32_t kGetDynamicPstatesInfoExId = 0x60DED2ED;
constexpr uint32_t kGetThermalSettingsId = 0xE3640A56;
constexpr uint32_t kI2CReadId = 0x2FDE12C5;
constexpr uint32_t kGetTachReadingId = 0x5F608315;

// The checks every record function starts with; kOk when the call may go on.
template <typename Record>
int32_t admit(const std::optional<GpuCall>& call, const Record* record, uint32_t version) {
    if (!call || !record) return kInvalidArgument;
    return record->version == version ? kOk : kIncompatibleVersion;
}

template <typename Record>
void clear(Record& record) {
    const uint32_t version = record.version;
    std::memset(&record, 0, sizeof record);
    record.version = version;
}

int32_t getAllClockFrequencies(uint32_t gpu, ClockFrequencies* frequencies) {
    const auto call = beginGpuCall(kGetAllClockFrequenciesId, gpu);
    if (const int32_t status = admit(call, frequencies, kClockFrequenciesVersion)) return status;
    clear(*frequencies);
    for (const machine::NvidiaClock& clock : call->gpu.clocks)
        if (clock.domain < std::size(frequencies->domains)) frequencies->domains[clock.domain] = {1, clock.khz};
    return kOk;
}

void fillLevel(LevelClockLevel& slot, const machine::NvidiaLevel& level) {
    slot.id = level.id;
    slot.kind = level.kind;
    const size_t count = std::min(level.clocks.size(), std::size(slot.entries));
    for (size_t i = 0; i < count; ++i) {
        const machine::NvidiaLevelClock& clock = level.clocks[i];
        slot.entries[i] = {clock.domain, 0, clock.khz, clock.secondKhz, clock.minimumKhz, clock.maximumKhz, 0};
    }
}

int32_t getLevelClockTable(uint32_t gpu, int32_t index, LevelClockTable* table) {
    const auto call = beginGpuCall(kGetLevelClockTableId, gpu);
    if (const int32_t status = admit(call, table, kLevelClockTableVersion)) return status;
    const std::vector<machine::NvidiaLevel>& levels = call->gpu.levels;
    if (levels.empty()) return kNotSupported;
    if (index < -1 || index >= int32_t(levels.size())) return kInvalidArgument;
    clear(*table);
    table->levelCount = int32_t(levels.size());
    table->currentLevel = call->gpu.currentLevel;
    for (const machine::NvidiaLevel& level : levels)
        table->entriesPerLevel = std::max(table->entriesPerLevel, int32_t(std::min<size_t>(level.clocks.size(), 32)));
    if (index >= 0) {
        fillLevel(table->levels[0], levels[size_t(index)]);
        return kOk;
    }
    for (size_t i = 0; i < levels.size() && i < std::size(table->levels); ++i) fillLevel(table->levels[i], levels[i]);
    return kOk;
}

// Writes back the level in the first slot: the clocks of its entries with
// bit 0 of their flags set.
int32_t setLevelClockTable(uint32_t gpu, int32_t index, LevelClockTable* table) {
    auto call = beginGpuCall(kSetLevelClockTableId, gpu);
    if (const int32_t status = admit(call, table, kLevelClockTableVersion)) return status;
    std::vector<machine::NvidiaLevel>& levels = call->gpu.levels;
    if (index < 0 || index >= int32_t(levels.size())) return kInvalidArgument;
    for (const LevelClockEntry& entry : table->levels[0].entries) {
        if (!(entry.flags & 1)) continue;
        for (machine::NvidiaLevelClock& clock : levels[size_t(index)].clocks)
            if (clock.domain == entry.domain) clock.khz = entry.khz;
    }
    call->library->updateGpu(call->index, call->gpu);
    return kOk;
}

int32_t getFanLevels(uint32_t gpu, uint32_t /*selector*/, FanLevels* fans) {
    const auto call = beginGpuCall(kGetFanLevelsId, gpu);
    if (const int32_t status = admit(call, fans, kFanLevelsVersion)) return status;
    if (!call->gpu.fanPercent) return kNotSupported;
    clear(*fans);
    fans->count = 1;
    fans->coolers[0].words[6] = *call->gpu.fanPercent;
    return kOk;
}

int32_t getPstateTable(uint32_t gpu, PstateTable* table) {
    const auto call = beginGpuCall(kGetPstateTableId, gpu);
    if (const int32_t status = admit(call, table, kPstateTableVersion)) return status;
    const std::vector<machine::NvidiaPstate>& pstates = call->gpu.pstates;
    if (pstates.empty()) return kNotSupported;
    clear(*table);
    table->pstateCount = int32_t(std::min<size_t>(pstates.size(), std::size(table->pstates)));
    for (int32_t i = 0; i < table->pstateCount; ++i) {
        const machine::NvidiaPstate& source = pstates[size_t(i)];
        Pstate& pstate = table->pstates[i];
        pstate.id = source.id;
        const size_t clocks = std::min(source.clocks.size(), std::size(pstate.clocks));
        const size_t voltages = std::min(source.voltages.size(), std::size(pstate.voltages));
        for (size_t k = 0; k < clocks; ++k) pstate.clocks[k] = {source.clocks[k].domain, 0, source.clocks[k].khz};
        for (size_t k = 0; k < voltages; ++k)
            pstate.voltages[k] = {source.voltages[k].domain, 0, source.voltages[k].millivolts};
        table->clockCount = std::max(table->clockCount, uint32_t(clocks));
        table->voltageCount = std::max(table->voltageCount, uint32_t(voltages));
    }
    return kOk;
}

// Stores the voltages of the P-states the table lists.
int32_t setPstateTable(uint32_t gpu, PstateTable* table) {
    auto call = beginGpuCall(kSetPstateTableId, gpu);
    if (const int32_t status = admit(call, table, kPstateTableVersion)) return status;
    const size_t count = std::clamp<int32_t>(table->pstateCount, 0, int32_t(std::size(table->pstates)));
    const size_t voltages = std::min<size_t>(table->voltageCount, std::size(table->pstates[0].voltages));
    for (size_t i = 0; i < count; ++i) {
        const Pstate& given = table->pstates[i];
        for (machine::NvidiaPstate& pstate : call->gpu.pstates) {
            if (pstate.id != given.id) continue;
            for (size_t k = 0; k < voltages; ++k)
                for (machine::NvidiaVoltage& voltage : pstate.voltages)
                    if (voltage.domain == given.voltages[k].domain) voltage.millivolts = given.voltages[k].millivolts;
        }
    }
    call->library->updateGpu(call->index, call->gpu);
    return kOk;
}

int32_t getCurrentPstate(uint32_t gpu, uint32_t* pstate) {
    const auto call = beginGpuCall(kGetCurrentPstateId, gpu);
    if (!call || !pstate) return kInvalidArgument;
    if (call->gpu.pstates.empty()) return kNotSupported;
    *pstate = call->gpu.currentPstate;
    return kOk;
}

int32_t getDynamicPstatesInfoEx(uint32_t gpu, Utilization* usage) {
    const auto call = beginGpuCall(kGetDynamicPstatesInfoExId, gpu);
    if (const int32_t status = admit(call, usage, kUtilizationVersion)) return status;
    if (call->gpu.utilization.empty()) return kNotSupported;
    clear(*usage);
    usage->flags = 1;
    for (const auto& [domain, percent] : call->gpu.utilization)
        if (domain < std::size(usage->domains)) usage->domains[domain] = {1, percent};
    return kOk;
}

int32_t getThermalSettings(uint32_t gpu, uint32_t /*selector*/, ThermalSettings* settings) {
    const auto call = beginGpuCall(kGetThermalSettingsId, gpu);
    if (const int32_t status = admit(call, settings, kThermalSettingsVersion)) return status;
    if (call->gpu.thermal.empty()) return kNotSupported;
    clear(*settings);
    settings->count = uint32_t(std::min(call->gpu.thermal.size(), std::size(settings->sensors)));
    for (uint32_t i = 0; i < settings->count; ++i) {
        const machine::NvidiaThermalSensor& sensor = call->gpu.thermal[i];
        settings->sensors[i] = {sensor.controller, sensor.minimum, sensor.maximum, sensor.current, sensor.target};
    }
    return kOk;
}

// Reads data bytes from the device at the record's address, starting at the
// register its first register byte names (0 without one); registers past
// the device's last read 0xFF.
int32_t i2cRead(uint32_t gpu, I2CInfo* info) {
    const auto call = beginGpuCall(kI2CReadId, gpu);
    if (const int32_t status = admit(call, info, kI2CInfoVersion)) return status;
    if (!info->data || info->dataCount == 0 || (info->registerCount > 0 && !info->registers)) return kInvalidArgument;
    const auto device = call->gpu.i2c.find(uint8_t(info->address >> 1));
    if (device == call->gpu.i2c.end()) return kError;
    size_t reg = info->registerCount > 0 ? info->registers[0] : 0;
    for (uint32_t i = 0; i < info->dataCount; ++i, ++reg)
        info->data[i] = reg < device->second.size() ? device->second[reg] : 0xFF;
    return kOk;
}

int32_t getTachReading(uint32_t gpu, uint32_t* rpm) {
    const auto call = beginGpuCall(kGetTachReadingId, gpu);
    if (!call || !rpm) return kInvalidArgument;
    if (!call->gpu.fanRpm) return kNotSupported;
    *rpm = *call->gpu.fanRpm;
    return kOk;
}

const Implementation functions[] = {
    {kGetAllClockFrequenciesId, exported(getAllClockFrequencies)},
    {kGetLevelClockTableId, exported(getLevelClockTable)},
    {kSetLevelClockTableId, exported(setLevelClockTable)},
    {kGetFanLevelsId, exported(getFanLevels)},
    {kGetPstateTableId, exported(getPstateTable)},
    {kSetPstateTableId, exported(setPstateTable)},
    {kGetCurrentPstateId, exported(getCurrentPstate)},
    {kGetDynamicPstatesInfoExId, exported(getDynamicPstatesInfoEx)},
    {kGetThermalSettingsId, exported(getThermalSettings)},
    {kI2CReadId, exported(i2cRead)},
    {kGetTachReadingId, exported(getTachReading)},
};

} // namespace

std::span<const Implementation> gpuFunctions() { return functions; }

} // namespace vexa::platform::nvapi
