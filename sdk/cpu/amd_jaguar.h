// The microarchitecture description of AMD family 16h (extended family 22:
// Jaguar and Puma; Kabini, Kyoto, Temash, Bhavani, Mullins, Carrizo-L): the
// family 15h description with its own node IDs and sockets, the SMU's
// voltage-interface flag for every model, 100 MHz ratios, the temperature
// of every function 3 of the node and the telemetry power without the
// switches of function 5. Names are in amd_jaguar_names.cpp.
#pragma once

#include "sdk/cpu/amd_bulldozer.h"

class AMD_K16_Infos : public AMD_K15_Infos {
public:
    AMD_K16_Infos();

    int Identify(CCPUThread* thread) override;
    float GetTemperature(CCPUThread* thread) override;
    float GetPower(CCPUThread* thread) override;

protected:
    int32_t PackageCode(int32_t model) const override;
    uint32_t VoltageInterfaceFlag(int32_t model) const override;
    FIDVID_Control* CreateFIDVIDControl(uint32_t fineVIDSteps) const override;
    void FindNodeDevices(CCPUThread* thread) override;
    void ReadNodeFunctions(CCPUThread* thread) override;
    RatioRules PStateRatioRules(int32_t model) const override;
};

CCPUInfos* CreateAMDK16Infos();
