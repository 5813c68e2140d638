// The base of every processor description. A description knows one vendor
// (level 1) or one microarchitecture (level 2) and fills a logical
// processor (CCPUThread) with what it can tell: names, codes, caches,
// ratios, limits. It then answers the measurement threads' questions and
// writes its own report sections. Each logical processor holds up to two:
// the vendor description, chosen by the CPUID vendor string, installs the
// microarchitecture description in its Identify (CCPUThread::SetVendorInfos
// and SetFamilyInfos run Initialize, DetectCaches and Identify in turn).
//
// A description answers -1.0 for whatever it does not know, never 0 or a
// guess, so that a less specific description may answer instead: the
// thread asks the microarchitecture description first and takes its
// answer when it is greater than 0, otherwise the vendor description's.
#pragma once

#include <cstdint>

#include "sdk/core/list.h"

class CCPUThread;
class CDevice;
class CReportGenerator;
class CTimer;
class FIDVID_Control;

enum CPUInfosLevel : uint32_t {
    CPU_INFOS_VENDOR = 1,
    CPU_INFOS_FAMILY = 2,
};

class CCPUInfos {
public:
    CCPUInfos(uint32_t level, uint32_t classCode) : m_dwClassCode(classCode), m_dwLevel(level) {}
    CCPUInfos(const CCPUInfos&) = delete;
    CCPUInfos& operator=(const CCPUInfos&) = delete;

    // The operations in slot order, with the base's behaviour.

    // Applies a core-enable mask given on the command line: non-zero when
    // applied; 0 in the base.
    virtual uint32_t SetCoreEnableMask(uint32_t) { return 0; }
    // Second after installation: appends one CCacheDescriptor per cache.
    virtual void DetectCaches(CCPUThread*) {}
    // First after installation: reads what the class needs, writes the
    // thread's identification fields and creates the objects it owns.
    virtual void Initialize(CCPUThread*) {}
    // Third: names and codes; a vendor description installs the
    // microarchitecture description here. 1 when it did all it meant to.
    virtual int Identify(CCPUThread*) { return 1; }
    // The measurement threads' questions, asked inside the library and
    // driver locks on the logical processor's pinned thread.
    virtual float GetMultiplier(CCPUThread*) { return -1.0f; }
    virtual float GetTemperature(CCPUThread*) { return -1.0f; }  // degrees Celsius
    virtual float GetPower(CCPUThread*) { return -1.0f; }        // watts; its sensors are its only effect
    // The effective core clock in MHz against the ACPI PM timer, or the
    // performance-counter timer when there is none.
    virtual float GetCoreClock(CCPUThread*, CTimer*) { return -1.0f; }
    virtual float GetBusClock(CCPUThread*) { return -1.0f; }  // MHz
    // Deletes the FID/VID control and the node device list (not its devices).
    virtual ~CCPUInfos();
    virtual void DumpRegisters(CReportGenerator*) {}
    // Vendor-specific CPUID leaves for the thread dump.
    virtual void DumpCPUID(CReportGenerator*) {}

    uint32_t GetLevel() const { return m_dwLevel; }

    CTList<CDevice>* m_pNodeDevices = nullptr;  // refers to devices of the root's list
    FIDVID_Control* m_pFIDVID = nullptr;        // owned
    uint32_t m_dwClassCode;                     // CPUClassCode
    uint32_t m_dwLevel;                         // CPUInfosLevel
};

// Shared bodies several descriptions fill a slot with.

// The current multiplier of the description's FID/VID control: -1.0
// without one or when its refresh fails.
float FIDVIDCurrentMultiplier(CCPUInfos* infos);
