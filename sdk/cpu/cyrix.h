// The vendor description of processors whose vendor string is
// "CyrixInstead", and of Cyrix processors that run with CPUID switched
// off: named by the device identification registers DIR0 (index 0xFE) and
// DIR1 (0xFF) of the configuration registers at ports 0x22 (index) and
// 0x23 (data), else by CPUID family and model. They answer no measurement.
#pragma once

#include <cstdint>

#include "sdk/cpu/cpu_infos.h"

class CLPCRegisterSpace;
class CLPCRequest;

class Cyrix_CPU_Infos : public CCPUInfos {
public:
    static constexpr uint8_t kDIR0 = 0xFE;
    static constexpr uint8_t kDIR1 = 0xFF;

    Cyrix_CPU_Infos();
    ~Cyrix_CPU_Infos() override;

    void DetectCaches(CCPUThread* thread) override;
    void Initialize(CCPUThread* thread) override;
    int Identify(CCPUThread* thread) override;
    // DIR0 and DIR1, each that reads.
    void DumpRegisters(CReportGenerator* report) override;

    // The configuration space of the root's register-space list: the one
    // there, or a new one on ports 0x22/0x23 added with its I/O space.
    static CLPCRegisterSpace* ConfigurationSpace();
    // A configuration register through the space; false when the read
    // fails.
    bool ReadConfigurationRegister(uint8_t index, uint8_t& value);

    CLPCRegisterSpace* m_pConfigSpace = nullptr;  // the root's list owns it
    CLPCRequest* m_pRequest = nullptr;            // owned

private:
    void IdentifyByDeviceRegisters(CCPUThread* thread, uint8_t dir0);
    void IdentifyBySignature(CCPUThread* thread);
};

CCPUInfos* CreateCyrixInfos();

// For a processor without CPUID: a Cyrix description when DIR0 reads and is
// not 0xFF (no Cyrix configuration registers answer there), else null.
CCPUInfos* CreateCyrixInfosByConfigurationRegisters();
