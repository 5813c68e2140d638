// The microarchitecture description of AMD family 15h (extended family 21:
// Bulldozer to Excavator; the Opteron and FX dies and the APUs Trinity,
// Richland, Kaveri and Carrizo): the brand fields and socket, the P-state
// FID/VID control, the node's northbridge functions and extended
// configuration space, the ratios and stock clock of the P-states, TDP and
// the level-2 sharing of a compute unit with one core, the temperature of
// the northbridge and the power of the node's telemetry and of the SMU.
// Names are in amd_bulldozer_names.cpp, temperature and power in
// amd_bulldozer_power.cpp. Family 16h (amd_jaguar.h) derives from it.
#pragma once

#include <initializer_list>

#include "sdk/cpu/amd_node_infos.h"

class CTemperatureSensor;

class AMD_K15_Infos : public AMDNodeInfos {
public:
    AMD_K15_Infos();

    void Initialize(CCPUThread* thread) override;
    int Identify(CCPUThread* thread) override;
    float GetTemperature(CCPUThread* thread) override;
    float GetPower(CCPUThread* thread) override;

protected:
    explicit AMD_K15_Infos(uint32_t classCode) : AMDNodeInfos(classCode) {}

    // What family 16h does its own way.
    virtual int32_t PackageCode(int32_t model) const;
    virtual uint32_t VoltageInterfaceFlag(int32_t model) const;
    virtual FIDVID_Control* CreateFIDVIDControl(uint32_t fineVIDSteps) const;
    virtual void FindNodeDevices(CCPUThread* thread);
    virtual void ReadNodeFunctions(CCPUThread* thread);
    virtual RatioRules PStateRatioRules(int32_t model) const;

    // The voltages, currents and powers of the cores and of the uncore from
    // function 5 registers 0x158 and 0x15C with the current scales of
    // `scales` (bits 15:0 cores, 31:16 uncore, 0.01 A): the cores' power.
    float TelemetryPower(CCPUThread* thread, uint32_t scales);
    // A voltage of function 5 register `reg` (VID bits 23:16, 6.25 mV
    // steps below 1.55 V).
    float TelemetryVoltage(uint32_t reg);
    // The thread's "Package" temperature sensor, created on first use.
    CTemperatureSensor* PackageTemperatureSensor(CCPUThread* thread);

private:
    void ReadTDPAndComputeUnit(CCPUThread* thread);
    float ServerPower(CCPUThread* thread);
    float TrinityPower(CCPUThread* thread);
    float KaveriPower(CCPUThread* thread);
    void NameByModel(CCPUThread* thread);
};

namespace amd_k15 {
// Models 10h-1Fh, 30h-3Fh and 60h-6Fh: the APUs, whose ratios are against
// 100 MHz.
bool IsAPUModel(int32_t model);
} // namespace amd_k15

CCPUInfos* CreateAMDK15Infos();
