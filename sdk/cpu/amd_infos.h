// The vendor-level description of processors whose vendor string is
// "AuthenticAMD": the AMD-specific CPUID data of the thread, the caches of
// the extended cache leaves, the microcode revision, and the choice of the
// microarchitecture description (cpu_families.h).
#pragma once

#include "sdk/cpu/cpu_infos.h"

class AMD_CPU_Infos : public CCPUInfos {
public:
    AMD_CPU_Infos();

    void DetectCaches(CCPUThread* thread) override;
    void Initialize(CCPUThread* thread) override;
    // The result of installing the family description; 1 when there is
    // none to install.
    int Identify(CCPUThread* thread) override;

    // Ways of an associativity code of leaves 0x80000006 (4 bits); -1 for
    // the codes that name none.
    static int32_t DecodeAssociativity(uint32_t code);
    // From extended family 6 on: writes 0 to MSR 0x8B, executes CPUID 1
    // and reads MSR 0x8B, whose high dword is the revision. The Intel
    // description uses it too.
    static void ReadMicrocodeRevision(CCPUThread* thread);

private:
    void ReadPackageCounts(CCPUThread* thread);
    // The Am486 and Am5x86 names of a family-4 processor.
    void IdentifyFamily4(CCPUThread* thread, bool extendedLeaves);
};

CCPUInfos* CreateAMDInfos();
