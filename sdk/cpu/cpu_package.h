// One physical processor package: a composite device (kind 4) in the
// root's device list, with its cores, logical processors, the cache
// instances it contains, its bus clock, package name and "UC" load
// sensor. Most of its getters read the first logical processor and answer
// their own unknown value when there is none. Read under the library lock.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sdk/core/device.h"

class CCacheDescriptor;
class CCPUCore;
class CCPUThread;
class CUtilizationSensor;

class CProcessor : public CCompositeDevice {
public:
    static constexpr size_t kPackageNameSize = 128;

    CProcessor(int32_t index, int32_t packageId);
    ~CProcessor() override;

    void Dump(CReportGenerator* report) override;  // cpu_report.cpp
    const char* GetName() override;

    int32_t GetCoreCount() const;
    int32_t GetThreadCount() const;
    int32_t GetMaxCoreCount();
    int32_t GetMaxThreadCount();
    CCPUThread* GetFirstThread();
    CCPUCore* GetCore(int32_t i) const;
    CCPUCore* FindCoreById(int32_t coreId) const;
    CCacheDescriptor* FindCache(int32_t level, int32_t type) const;
    int32_t CountCaches(int32_t level, int32_t type) const;
    const char* GetCodename();
    const char* GetSpecification();
    const char* GetMaskedName();
    const char* GetMaskedCodename();
    const char* GetCoreSteppingText();
    // The name of the first logical processor's package code; empty (and
    // looked up again next time) for an unknown code.
    const char* GetPackageName();
    int32_t GetClassCode();
    int HasClassFlags(uint32_t mask);
    int32_t GetMicrocodeRevision();
    int IsEngineeringSample();
    float GetTechnology();
    int32_t GetBrandID();
    int32_t GetFamily();
    int32_t GetModel();
    int32_t GetStepping();
    int32_t GetExtFamily();
    int32_t GetExtModel();
    float GetTDP();
    float GetTjMax();
    int32_t GetStockClock();
    int HasInstructionSet(int32_t index);
    // The link multiplier x the bus clock, when both are known.
    float GetRatedBusClock();
    // Core i's values; -1.0 for a core that does not exist.
    float GetCoreClock(int32_t i) const;  // PiScaledClock
    float GetCoreMultiplier(int32_t i) const;
    float GetCoreMaxMultiplier(int32_t i) const;
    float GetCoreMinMultiplier(int32_t i) const;
    uint32_t SetCoreEnableMask(uint32_t mask);
    // Each core's values from its first logical processor's measurements,
    // then the mean load of the logical processors.
    void UpdateClocks();

    int32_t m_iIndex;
    int32_t m_iPackageId;
    CTList<CCPUCore>* m_pCores;              // refers
    CTList<CCPUThread>* m_pThreads;          // refers
    CTList<CCacheDescriptor>* m_pCaches;     // refers: one entry per cache instance
    CCPUThread* m_pFirstThread = nullptr;    // cached
    char m_szPackageName[kPackageNameSize] = {};
    float m_fBusClock = -1.0f;               // MHz
    CUtilizationSensor* m_pLoadSensor = nullptr;  // the root's sensor list owns it
};

// The exact bus clock of a nominal integer one (33 -> 33.34, 133 ->
// 133.34, ...); -1.0 for a value that is not a nominal bus clock.
float GetExactBusClock(CCPUThread* thread);
// The name of a CPUPackageCode; null for an unknown code.
const char* PackageCodeName(int32_t code);
