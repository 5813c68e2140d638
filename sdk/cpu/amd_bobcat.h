// The microarchitecture description of AMD family 14h (extended family 20:
// the C-, E- and G-T series "Ontario" and "Zacate"): the brand fields, the
// P-state FID/VID control, the single node's northbridge functions and
// extended configuration space, the ratios of the P-states and the rates of
// the TSC, APERF and MPERF. The codename follows the integrated graphics on
// the PCI bus; names are in amd_bobcat_names.cpp. It reads no temperature
// or power.
#pragma once

#include "sdk/cpu/amd_node_infos.h"

class AMD_K14_Infos : public AMDNodeInfos {
public:
    AMD_K14_Infos();

    void Initialize(CCPUThread* thread) override;
    int Identify(CCPUThread* thread) override;

private:
    void NameFromBrandFields(CCPUThread* thread);
};

CCPUInfos* CreateAMDK14Infos();
