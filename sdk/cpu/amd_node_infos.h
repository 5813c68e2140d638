// What the AMD descriptions of families 12h, 14h, 15h and 16h share: the
// brand fields of CPUID 0x80000001, the P-state FID/VID control, the core
// count, the node's northbridge functions and their extended configuration
// space, the boosted P-state count, the ratios and stock clock of the
// P-states, the rates of the TSC, APERF and MPERF, the effective core clock
// and the report section. A family description derives from it and adds
// its names, temperature and power.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "sdk/cpu/amd_shared_bodies.h"
#include "sdk/cpu/cpu_infos.h"

class AMD_K10_ECS_RegisterSpace;
class FIDVID_Control;

class AMDNodeInfos : public CCPUInfos {
public:
    explicit AMDNodeInfos(uint32_t classCode) : CCPUInfos(CPU_INFOS_FAMILY, classCode) {}

    float GetMultiplier(CCPUThread* thread) override;
    float GetCoreClock(CCPUThread* thread, CTimer* timer) override;
    void DumpRegisters(CReportGenerator* report) override;

    AMD_K10_ECS_RegisterSpace* m_pExtendedConfig = nullptr;  // the root's register-space list owns it
    int32_t m_iPackageType = -1;
    int32_t m_iModelNumber = -1;
    int32_t m_iString1 = -1;
    int32_t m_iString2 = -1;
    int32_t m_iPage = -1;
    int32_t m_iNC = -1;
    int32_t m_iTDCLimit = -1;  // amperes (family 12h)
    int32_t m_iBaseTDP = -1;   // watts (families 15h and 16h)
    int32_t m_iBoostedPStates = -1;
    float m_fMaxNonTurboRatio = -1.0f;
    float m_fMaxTurboRatio = -1.0f;
    float m_fTSCRate = -1.0f;  // MHz, for the report
    float m_fAPERFRate = -1.0f;
    float m_fMPERFRate = -1.0f;

protected:
    // How the ratios of the P-states are read.
    struct RatioRules {
        int32_t nominalBusClock = 100;
        float multiplierScale = 1.0f;         // 2 for the APUs of family 15h (100 MHz reference)
        bool writeThreadNonTurboAndMin = false;  // the thread's max non-turbo and min multipliers
        bool measureRates = true;             // TSC, APERF and MPERF against the PM timer
    };

    // CPUID 0x80000001 EBX: the brand fields and the thread's brand ID.
    void ReadBrandFields(CCPUThread* thread) {
        ReadAMDBrandFields(thread, {m_iPackageType, m_iModelNumber, m_iString1, m_iString2, m_iPage});
    }
    // CPUID 0x80000007 EDX bit 7: the P-state MSRs cached; true when the
    // processor has hardware P-states.
    bool CachePStateMsrs(CCPUThread* thread);
    // CPUID 0x80000008: NC, the cores per package and the sharing of the
    // level-3 cache.
    void ReadCoreCount(CCPUThread* thread);
    // The root's (or a new) extended configuration space of the first
    // node function with one of these function-3 IDs.
    void OpenExtendedConfig(std::initializer_list<uint16_t> function3Ids);
    // The PCI functions of AMD with these device IDs at the bus and device
    // of the node's function 0 appended to the node list.
    void AppendNodeFunctions(std::initializer_list<uint16_t> deviceIds);
    // F4x15C bits 4:2.
    void ReadBoostedPStates();
    void ReadPStateRatios(CCPUThread* thread, const RatioRules& rules);
    bool ReadNode(uint32_t function, uint32_t reg, uint32_t* value);

    // The report lists the extended configuration registers 0x100-0x1FF
    // of each node function (families 15h and 16h).
    bool m_bDumpNodeRegisters = false;
    float m_fMultiplierScale = 1.0f;

private:
    void DumpNodeRegisterRows(CReportGenerator* report, uint32_t function);
};

// The SMU of the APUs: its registers behind the index pair of the host
// bridge (00:00.0 0xB8/0xBC) and its message mailbox in the integrated
// graphics' registers.
namespace amd_smu {
// The SMU register `index`, the index register put back as found; false
// without the PCI domain or when a step fails (`value` then unchanged).
bool ReadRegister(uint32_t index, uint32_t* value);
// Message `message` written to the mailbox at `mmioBase` + 0x250, the
// response read at + 0x254 a millisecond later, at most 100 times: true as
// soon as a response is non-zero (in `response`), false when the SMU never
// answers within those attempts.
bool SendMessage(uint32_t mmioBase, uint32_t message, uint32_t* response);
} // namespace amd_smu
