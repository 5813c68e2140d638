// The RAPL energy counters of Sandy Bridge, Haswell and Skylake and the
// power sensors they feed: the package (MSR 0x611), the cores (0x639), the
// graphics (0x641), the DRAM (0x619, from Haswell on) and the uncore (the
// package less the cores and the graphics). Each measurement thread pass
// samples every counter against the HPET; the power is the energy counted
// since the pass before over the time between, and the first sample only
// primes the sensor. The counters are 32 bits wide and wrap.
#pragma once

#include <cstdint>

#include "sdk/cpu/cpu_thread.h"

class CPowerSensor;

// The thread's sensor of an energy register; null without one.
CPowerSensor* EnergySensor(CCPUThread* thread, uint32_t msr);
// Creates and registers the sensor of an energy register when the register
// reads and the thread has none; the new sensor, else null.
CPowerSensor* CreateEnergySensor(CCPUThread* thread, uint32_t msr);
// The uncore sensor, when the package and cores sensors exist.
void CreateUncoreSensor(CCPUThread* thread);

// One sample of the register into its sensor's work values. True with the
// energy counted (in counts) and the HPET ticks passed since the previous
// sample, both above 0; false without the sensor, the HPET or a reading,
// on the first sample (which primes the sensor) and when either did not
// advance.
struct EnergyDelta {
    double counts = 0;
    double ticks = 0;
    double hpetFrequency = 0;
};
bool SampleEnergyCounter(CPowerSensor* sensor, uint32_t msr, EnergyDelta& delta);

// The uncore sensor takes the package less the cores (less the graphics
// when it reads above 0), when package and cores read above 0. The result
// of a GetPower pass: without an uncore sensor `lastReading` (the last
// register's result), else 0 without a package reading, the package
// without a cores reading, else the uncore value.
float UpdateUncorePower(CCPUThread* thread, float lastReading);
