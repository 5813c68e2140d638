// The microarchitecture description of AMD's K8 (extended family 15:
// Athlon 64, Athlon 64 X2 and FX, Opteron, Sempron, Turion 64 and their
// mobile parts). It derives the revision from the extended model, creates
// the K8 FID/VID control, finds the node's northbridge functions, reads the
// on-die thermal sensor through F3xE4, and names the processor with one of
// two brand-ID decodings: one for revisions before F, one for F and later
// (amd_k8_brand_names.cpp).
#pragma once

#include "sdk/cpu/cpu_infos.h"

class AMD_K8_Infos : public CCPUInfos {
public:
    // Revision codes from revision F on.
    static constexpr int32_t kRevisionF = 0x40;
    static constexpr int32_t kRevisionG = 0x60;

    AMD_K8_Infos();

    void Initialize(CCPUThread* thread) override;
    int Identify(CCPUThread* thread) override;
    float GetMultiplier(CCPUThread* thread) override;
    float GetTemperature(CCPUThread* thread) override;
    float GetCoreClock(CCPUThread* thread, CTimer* timer) override;
    void DumpRegisters(CReportGenerator* report) override;

    // The revision code of extended family 15 from the extended model and
    // stepping; -1 where no rule applies.
    static int32_t GetRevision(int32_t extModel, int32_t stepping);
    // The brand-ID namings of revisions before F and from F on.
    void IdentifyRevCE(CCPUThread* thread);
    void IdentifyRevF(CCPUThread* thread);

    uint32_t m_bFIDControl = 0;
    uint32_t m_bVIDControl = 0;
    uint32_t m_bThermalSensor = 0;
    int32_t m_iRevision = -1;
    int32_t m_iNN = -1;
    int32_t m_iRevisionMajor = -1;
    int32_t m_iRevisionMinor = -1;
    uint32_t m_bUnlocked = 0;

private:
    void CreateTemperatureSensor(CCPUThread* thread);
    // F3xE4 with the sensor select bits given, read back: the raw reading,
    // or -1 when the function does not read or take the write. The
    // register goes back as it was found.
    int32_t ReadThermalRegister(uint32_t coreSelect);
};

CCPUInfos* CreateAMDK8Infos();
