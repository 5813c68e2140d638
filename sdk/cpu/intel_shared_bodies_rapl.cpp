#include "sdk/cpu/intel_shared_bodies_rapl.h"

#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/cpu/intel_shared_bodies.h"
#include "sdk/cpu/msr_register.h"
#include "sdk/hw/timer.h"

namespace {

constexpr uint32_t kPackagePowerSensorId = 0x1001000;  // role 0x01, power, index 0
constexpr double kCounterWrap = 4294967296.0;

struct EnergyRegister {
    uint32_t msr;
    PackageSensorSlot slot;
    uint8_t index;
    const char* name;
};

constexpr EnergyRegister kEnergyRegisters[] = {
    {intel_msr::kPackageEnergy, PACKAGE_SENSOR_PACKAGE_POWER, 0, "Package"},
    {intel_msr::kCoresEnergy, PACKAGE_SENSOR_CORES_POWER, 1, "IA Cores"},
    {intel_msr::kGraphicsEnergy, PACKAGE_SENSOR_GRAPHICS_POWER, 2, "GT"},
    {intel_msr::kDramEnergy, PACKAGE_SENSOR_DRAM_POWER, 4, "DRAM"},
};

const EnergyRegister* Find(uint32_t msr) {
    for (const EnergyRegister& reg : kEnergyRegisters)
        if (reg.msr == msr) return &reg;
    return nullptr;
}

float PositiveValue(const CSensor* sensor) { return sensor && sensor->m_fValue > 0 ? sensor->m_fValue : 0.0f; }

} // namespace

CPowerSensor* EnergySensor(CCPUThread* thread, uint32_t msr) {
    const EnergyRegister* reg = Find(msr);
    return reg ? static_cast<CPowerSensor*>(thread->m_pPackageSensors[reg->slot]) : nullptr;
}

CPowerSensor* CreateEnergySensor(CCPUThread* thread, uint32_t msr) {
    const EnergyRegister* reg = Find(msr);
    if (!reg || thread->m_pPackageSensors[reg->slot]) return nullptr;
    MSR_Register counter(msr);
    if (!counter.Read()) return nullptr;
    CPowerSensor* sensor = AddPowerSensor(reg->index, reg->name);
    if (reg->slot == PACKAGE_SENSOR_PACKAGE_POWER) sensor->m_dwId = kPackagePowerSensorId;
    thread->m_pPackageSensors[reg->slot] = sensor;
    return sensor;
}

void CreateUncoreSensor(CCPUThread* thread) {
    CSensor*& slot = thread->m_pPackageSensors[PACKAGE_SENSOR_UNCORE_POWER];
    if (slot || !thread->m_pPackageSensors[PACKAGE_SENSOR_PACKAGE_POWER] ||
        !thread->m_pPackageSensors[PACKAGE_SENSOR_CORES_POWER])
        return;
    slot = AddPowerSensor(3, "Uncore");
}

bool SampleEnergyCounter(CPowerSensor* sensor, uint32_t msr, EnergyDelta& delta) {
    CTimer* hpet = GetSDK()->GetHPETTimer();
    if (!sensor || !hpet) return false;
    MSR_Register counter(msr);
    if (!counter.Read()) return false;
    const double energy = counter.m_dwLow;
    const double time = hpet->Read();
    if (time < 0) return false;
    sensor->m_dCurrentEnergy = energy;
    sensor->m_dCurrentTime = time;
    if (sensor->m_dPreviousTime < 0) {
        sensor->m_dPreviousTime = time;
        sensor->m_dPreviousEnergy = energy;
        return false;
    }
    // The previous readings are kept as read, so that a counter that
    // wrapped once between two samples still gives its true difference.
    delta.ticks = (time < sensor->m_dPreviousTime ? time + hpet->m_dWrap : time) - sensor->m_dPreviousTime;
    delta.counts = (energy < sensor->m_dPreviousEnergy ? energy + kCounterWrap : energy) - sensor->m_dPreviousEnergy;
    delta.hpetFrequency = hpet->m_dFrequency;
    sensor->m_dPreviousTime = time;
    sensor->m_dPreviousEnergy = energy;
    return delta.ticks > 0 && delta.counts > 0;
}

float UpdateUncorePower(CCPUThread* thread, float lastReading) {
    CSensor* uncore = thread->m_pPackageSensors[PACKAGE_SENSOR_UNCORE_POWER];
    if (!uncore) return lastReading;
    const float package = PositiveValue(thread->m_pPackageSensors[PACKAGE_SENSOR_PACKAGE_POWER]);
    const float cores = PositiveValue(thread->m_pPackageSensors[PACKAGE_SENSOR_CORES_POWER]);
    if (package <= 0) return 0.0f;
    if (cores <= 0) return package;
    const float value = package - cores - PositiveValue(thread->m_pPackageSensors[PACKAGE_SENSOR_GRAPHICS_POWER]);
    uncore->SetValue(value, 1);
    return value;
}
