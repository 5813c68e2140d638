#include "sdk/cpu/cpu_infos.h"

#include "sdk/cpu/fidvid_control.h"

CCPUInfos::~CCPUInfos() {
    delete m_pFIDVID;
    delete m_pNodeDevices;
}

float FIDVIDCurrentMultiplier(CCPUInfos* infos) {
    FIDVID_Control* control = infos ? infos->m_pFIDVID : nullptr;
    if (!control || !control->Refresh()) return -1.0f;
    return control->GetCurrentMultiplier();
}
