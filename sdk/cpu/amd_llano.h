// The microarchitecture description of AMD family 12h (extended family 18,
// "Llano": the A4, A6, A8, E2, Athlon II and Sempron of sockets FM1 and
// FS1): the family 10h way of brand fields, P-states and northbridge, the
// TDC limit and TDP of the P-state at the boosted count, the northbridge
// temperature and the package power of the current P-state. Names from the
// brand fields are in amd_llano_names.cpp.
#pragma once

#include "sdk/cpu/amd_node_infos.h"

class AMD_K12_Infos : public AMDNodeInfos {
public:
    AMD_K12_Infos();

    void Initialize(CCPUThread* thread) override;
    int Identify(CCPUThread* thread) override;
    float GetTemperature(CCPUThread* thread) override;
    float GetPower(CCPUThread* thread) override;

private:
    void ReadTDP(CCPUThread* thread);
    void NameFromBrandFields(CCPUThread* thread);
};

CCPUInfos* CreateAMDK12Infos();
