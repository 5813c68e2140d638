// One logical processor: the record every processor identification fills
// and every processor query reads. It executes CPUID on the processor it
// was made for (its identification and measurements run on a thread
// pinned to that processor), decodes the vendor string, feature words and
// instruction-set extensions, maps the local APIC, installs the vendor
// description that does the rest of the identification, caches the
// model-specific registers it reads and carries the last measured
// multiplier, clocks and temperature. Threads belong to the processor
// interface's thread list; cores and packages only refer to them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sdk/core/list.h"

class CCacheDescriptor;
class CClockSpeedSensor;
class CCounter;
class CCPUInfos;
class CIOSpace;
class CReportGenerator;
class CSensor;
class CTSCCounter;
class CUtilizationSensor;
class FIDVID_Control;
class MSR_Register;

// The XOR keys of the masked copies of the name, brand text and
// codename. Bytes 0xF5-0xFF never occur in UTF-8 text, so no character of
// a text masks to the terminating zero.
constexpr uint8_t kMaskedNameKey = 0xFE;
constexpr uint8_t kMaskedBrandStringKey = 0xFD;
constexpr uint8_t kMaskedCodenameKey = 0xFC;

// The package sensor slots the descriptions fill.
enum PackageSensorSlot : int {
    PACKAGE_SENSOR_TEMPERATURE = 0,
    PACKAGE_SENSOR_PACKAGE_POWER = 2,
    PACKAGE_SENSOR_CORES_POWER = 3,
    PACKAGE_SENSOR_GRAPHICS_POWER = 4,
    PACKAGE_SENSOR_UNCORE_POWER = 5,
    PACKAGE_SENSOR_DRAM_POWER = 6,
    PACKAGE_SENSOR_CORE_VOLTAGE = 7,  // VID or core voltage; 8..11 further voltages
    PACKAGE_SENSOR_CURRENT = 12,      // and 13
    PACKAGE_SENSOR_COUNT = 14,
};

class CCPUThread {
public:
    static constexpr size_t kTextSize = 128;
    static constexpr int kInstructionSetFlags = 20;
    static constexpr int kMultiplierSamples = 10;

    CCPUThread();
    CCPUThread(const CCPUThread&) = delete;
    CCPUThread& operator=(const CCPUThread&) = delete;

    // The operations in slot order.

    // The x86 identification, on the pinned thread: 1, or 0 when CPUID
    // cannot be executed (a Cyrix is then still told by its configuration
    // registers).
    virtual int Identify();
    // The thread's block of the thread dumps (cpu_thread_report.cpp).
    virtual void Dump(CReportGenerator* report);
    // The FID/VID and description register sections.
    virtual void DumpRegisters(CReportGenerator* report);
    // The CPUID leaf table, executed again on the calling processor.
    virtual void DumpCPUID(CReportGenerator* report);
    // The cached registers, then the FID/VID registers.
    virtual void DumpMSRs(CReportGenerator* report);
    virtual void DumpKeyed(CReportGenerator*) {}
    virtual ~CCPUThread();

    // The descriptions' answers: the microarchitecture description's when
    // it is greater than 0, else the vendor description's, else -1.0.
    float GetMultiplier();
    float GetTemperature();
    float GetPower();
    float GetBusClock();
    // Against the ACPI PM timer, else the performance-counter timer.
    float GetCoreClock();
    // The first non-zero answer of the microarchitecture and vendor
    // descriptions, else 0.
    uint32_t SetCoreEnableMask(uint32_t mask);
    // The FID/VID control of the first description that has one.
    FIDVID_Control* GetFIDVIDControl();
    // Installation of a vendor (level 1) or microarchitecture (level 2)
    // description: 0 for an object of the other level (nothing changes);
    // otherwise the thread takes the object's class code, deletes the
    // description it held in that slot, keeps the new one and runs its
    // Initialize, DetectCaches and Identify; 1. A null object is refused.
    int SetVendorInfos(CCPUInfos* infos);
    int SetFamilyInfos(CCPUInfos* infos);

    // The time-stamp counter's rate in MHz over at least 25000 ticks of the
    // performance-counter timer (2.5 ms, slept through); -1.0 without
    // either, or when the timer does not get there within that time and
    // CTimer::kWaitSlackNs of wall-clock time.
    float MeasureTSCClock();
    // The register read afresh (and cached on the first successful read);
    // null when the read fails.
    MSR_Register* GetMSR(uint32_t index);
    CCacheDescriptor* FindCacheDescriptor(int32_t level, int32_t type);
    // Size in KB of the first level-2 / level-3 descriptor, 0 if none.
    int32_t GetL2Cache();
    int32_t GetL3Cache();
    void AddMultiplierSample(float multiplier);
    // Moves the whole process onto this processor, then sleeps.
    void BindAndSleep(uint32_t milliseconds);
    void MapLocalAPIC();
    // 1 when the extension (InstructionSetIndex) is there.
    int HasInstructionSet(int32_t index) const;

    // ---- Identification ----
    CCPUInfos* m_pVendorInfos = nullptr;  // owned
    CCPUInfos* m_pFamilyInfos = nullptr;  // owned
    CIOSpace* m_pLocalAPIC = nullptr;     // the root's I/O-space list owns it
    CTList<MSR_Register>* m_pMSRs;        // owned, with the registers
    int32_t m_iApicId = -1;
    int32_t m_iProcessorNumber = -1;  // the affinity bit the thread is pinned to
    int32_t m_iPackageId = 0;
    int32_t m_iCoreId = 0;
    int32_t m_iSmtId = 0;
    int32_t m_iComputeUnitId = 0;
    CTList<CCacheDescriptor>* m_pCaches;  // owned, with the descriptors
    int32_t m_iLogicalPerPackage = 1;
    int32_t m_iCoresPerPackage = 1;
    char m_szVendor[kTextSize] = {};
    char m_szName[kTextSize] = {};
    char m_szBrandString[kTextSize] = {};
    char m_szCodename[kTextSize] = {};
    char m_szCoreStepping[kTextSize] = {};
    char m_szMaskedName[kTextSize] = {};
    char m_szMaskedBrandString[kTextSize] = {};
    char m_szMaskedCodename[kTextSize] = {};
    uint32_t m_dwClassCode = 0;  // CPUClassCode
    uint32_t m_dwMaxStandardLeaf = 0;
    uint32_t m_dwMaxExtendedLeaf = 0;
    int32_t m_iBrandId = 0;
    int32_t m_iPackageCode = -1;  // CPUPackageCode
    int32_t m_iPlatformId = -1;
    int32_t m_iFamily = -1;
    int32_t m_iModel = -1;
    int32_t m_iStepping = -1;
    int32_t m_iExtFamily = -1;
    int32_t m_iExtModel = -1;
    int32_t m_iSignature = -1;
    int32_t m_iStockClock = -1;       // MHz
    int32_t m_iNominalBusClock = -1;  // MHz, refined by GetExactBusClock
    uint32_t m_dwFeatures[4] = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};  // 1 ECX, 1 EDX, ext ECX, ext EDX
    uint32_t m_bAPICPresent = 0;
    uint32_t m_bX2APICMode = 0;
    uint32_t m_bEngineeringSample = 0;
    uint32_t m_bMultithreadingCapable = 0;
    uint32_t m_bMobile = 0;
    uint32_t m_bVirtualization = 0;
    uint32_t m_bNoExecute = 0;
    int32_t m_iPerformanceRating = -1;
    float m_fTechnology = -1.0f;  // micrometres
    int32_t m_iLinkMultiplier = -1;
    int32_t m_iMicrocodeRevision = -1;
    float m_fEffectiveMultiplier = -1.0f;
    float m_fMaxNonTurboMultiplier = -1.0f;
    float m_fMaxMultiplier = -1.0f;
    float m_fMinMultiplier = -1.0f;
    float m_fTDP = -1.0f;    // watts
    float m_fTjMax = -1.0f;  // degrees Celsius
    uint32_t m_dwInstructionSets[kInstructionSetFlags] = {};  // in the order of kInstructionSets

    // ---- Measurement ----
    CTSCCounter* m_pTSC = nullptr;  // the root's timer list owns it
    CCounter* m_pIdleTime;          // owned
    CCounter* m_pKernelTime;        // owned
    CCounter* m_pUserTime;          // owned
    CSensor* m_pCoreTemperature = nullptr;                         // the root's sensor list owns the sensors
    CSensor* m_pPackageSensors[PACKAGE_SENSOR_COUNT] = {};
    CUtilizationSensor* m_pLoadSensor = nullptr;
    CClockSpeedSensor* m_pClockSensor;
    float m_fMeasuredMultiplier = -1.0f;
    float m_fMeasuredCoreClock = -1.0f;
    float m_fMeasuredTSCClock = -1.0f;
    float m_fMeasuredTemperature = -1.0f;
    int32_t m_iMultiplierRingIndex = 0;
    float m_fMultiplierRing[kMultiplierSamples] = {-1.0f, -1.0f, -1.0f, -1.0f, -1.0f,
                                                   -1.0f, -1.0f, -1.0f, -1.0f, -1.0f};

protected:
    // The vendor description that fits the vendor string, and the name.
    void InstallVendorDescription();
    void IdentifyWithoutCPUID();
    void DetectInstructionSets();
    void WriteMaskedTexts();

private:
    int Install(CCPUInfos* infos, uint32_t level, CCPUInfos*& slot);
    // The query order of the descriptions: microarchitecture, then vendor.
    template <typename Ask>
    float AskDescriptions(Ask ask);
};

// CPUID on the calling processor, as unsigned registers.
struct CpuidResult {
    uint32_t eax, ebx, ecx, edx;
};
CpuidResult Cpuid(uint32_t leaf, uint32_t subleaf = 0);

// 1 when CPUID executes on the calling processor, 0 when the instruction
// faults (processors before it, or with it switched off).
int IsCPUIDSupported();
