// The query interface over the local detection library. It owns the
// kernel-driver manager and the SPD interface, keeps the library root and
// one pointer per detection domain (null while a domain is absent:
// switched off, failed, or not part of this build), and runs the lifecycle:
// driver installation, the detection scan, the periodic refresh and the
// shut-down.
//
// Lock order everywhere: library lock first, driver lock second, released
// in reverse.
#pragma once

#include <cstddef>
#include <cstdint>

#include "app/info_parser.h"

class BRENIKSDK;
class CACPIInterface;
class CChipsetInterface;
class CCPUInterface;
class CDisplayInterface;
class CDMIInterface;
class CHardwareMonitorInterface;
class CKMDriver;
class CPCIInterface;
class CSMBusInterface;
class CSoftwareInterface;
class CSPDInterface;
class CStorageInterface;
struct VexaSettings;

// The scan's error codes.
enum ScanError : int {
    SCAN_ERROR_NONE = 0,
    SCAN_ERROR_LIMITED = 4,         // a virtual machine: limited detection, the scan still succeeds
    SCAN_ERROR_LIBRARY_LOCK = 8,    // the library lock was not obtained; detail = its status
    SCAN_ERROR_DRIVER_VERSION = 16  // the driver reports another version than the one required
};

class CLocalInfoParser : public CInfoParser {
public:
    static constexpr size_t kLogPathChars = 1024;

    // The settings switch domains on and off; the scan's limited mode and
    // board rules change them, and set `noValidation` when the validation
    // record must be refused. Both belong to the application object and
    // outlive this object.
    CLocalInfoParser(VexaSettings& settings, int& noValidation);
    ~CLocalInfoParser() override;

    // Installs and opens the kernel driver: 1 on success, else 0 with the
    // driver manager's error code.
    int Init(int* error) override;
    // The detection scan: 1 when it ran (error 0 or 4), 0 on error 8 or 16.
    int Scan(int* error, int* detail) override;
    // Shuts the library down and removes the driver; once, at exit, after
    // the refresher thread has ended.
    void Close() override;
    void RemoveDriver() override;
    // Updates the measured values; skipped when the library lock is not
    // obtained within the timeout.
    void Refresh(uint32_t timeoutMs) override;

    // Processors (queries_cpu.cpp): slots 5-41 but 11. Without the
    // processor domain or the package they answer unknown.
    int GetProcessorCount() override;
    int GetProcessorIndex(int P) override;
    int GetCoreCount(int P) override;
    int GetThreadCount(int P) override;
    int GetCacheCount(int P, int level, int type, int* sizeKB) override;
    int GetCacheGeometry(int P, int level, int type, int* lineBytes, int* ways) override;
    int GetProcessorName(int P, wchar_t* text) override;
    int UnmaskProcessorName(int P, wchar_t* text) override;
    int GetCodename(int P, wchar_t* text) override;
    int UnmaskCodename(int P, wchar_t* text) override;
    int GetCoreStepping(int P, wchar_t* text) override;
    int GetSpecification(int P, wchar_t* text) override;
    int GetPackage(int P, wchar_t* text) override;
    int GetBrandID(int P) override;
    float GetTDP(int P) override;
    float GetTechnology(int P) override;
    float GetMaxTemperature(int P) override;
    int GetStockClock(int P) override;
    float GetRatedBusClock(int P) override;
    int IsEngineeringSample(int P) override;
    int GetFamily(int P) override;
    int GetModel(int P) override;
    int GetStepping(int P) override;
    int GetExtFamily(int P) override;
    int GetExtModel(int P) override;
    int HasInstructionSet(int P, int instructionSet) override;
    int GetClassCode(int P) override;
    int GetMicrocodeRevision(int P) override;
    float GetCoreMultiplier(int P, int C) override;
    float GetCoreMinMultiplier(int P, int C) override;
    float GetCoreMaxMultiplier(int P, int C) override;
    float GetCoreClock(int P, int C) override;
    float GetBusClock() override;
    float GetCoreVID(int P) override;
    int SetCoreEnableMask(int P, int mask) override;
    int GetMultiplierHistory(int P, int C, int* count, float** samples) override;

    // Memory controller, bridges and memory modules (queries_memory.cpp):
    // slot 11, slots 42-65 from the chipset domain's records, 82-83 from
    // the graphics card's PCI capabilities, 84-116 from the SPD records
    // (M: a record index below the module count). Without the domain, the
    // record or the module they answer unknown.
    int GetBoardCacheSize(int* sizeKB) override;
    int GetMemorySize() override;
    int GetMemoryType() override;
    int GetMemoryChannels() override;
    int GetMemoryChannelMode() override;
    float GetDRAMFrequency() override;
    float GetCASLatency() override;
    float GetUncoreMultiplier() override;
    int GetRASToCASDelay() override;
    int GetRASPrecharge() override;
    int GetRASPrecharge2() override;
    int GetCycleTime() override;
    int GetBankCycleTime() override;
    int GetRowRefreshCycleTime() override;
    int GetCommandRate() override;
    int GetDRAMIdleTimer() override;
    int GetTotalCAS() override;
    int GetRowToColumnDelay() override;
    float GetFSBDRAMRatio(wchar_t* text) override;
    int GetNorthbridgeVendor(wchar_t* text) override;
    int GetNorthbridgeModel(wchar_t* text) override;
    int GetNorthbridgeRevision(wchar_t* text) override;
    int GetSouthbridgeVendor(wchar_t* text) override;
    int GetSouthbridgeModel(wchar_t* text) override;
    int GetSouthbridgeRevision(wchar_t* text) override;
    int GetGraphicInterface(int* kind, int* current, int* max) override;
    int GetAGPInfo(int* version, int* sideBandSupported, int* sideBandEnabled) override;

    // Mainboard (queries_board.cpp): slots 66-81 from the DMI domain's
    // first structure of each type and its memory structures.
    int GetBIOSVendor(wchar_t* text) override;
    int GetBIOSVersion(wchar_t* text) override;
    int GetBIOSDate(wchar_t* text) override;
    int GetBoardManufacturer(wchar_t* text) override;
    int GetBoardProduct(wchar_t* text) override;
    int GetBoardVersion(wchar_t* text) override;
    int GetBoardSerial(wchar_t* text) override;
    int GetSystemManufacturer(wchar_t* text) override;
    int GetSystemProduct(wchar_t* text) override;
    int GetSystemVersion(wchar_t* text) override;
    int GetSystemSerial(wchar_t* text) override;
    int GetSystemUUID(wchar_t* text) override;
    int GetChassisManufacturer(wchar_t* text) override;
    int GetChassisType(wchar_t* text) override;
    int GetChassisSerial(wchar_t* text) override;
    void GetMemorySlots(int* slots, int* populated, int* populatedMask, int* reserved) override;

    int GetSPDModuleCount() override;
    int GetModuleType(int M) override;
    int GetModuleManufacturer(int M, wchar_t* text) override;
    int GetModuleManufacturerID(int M, wchar_t* text) override;
    int GetModulePartNumber(int M, wchar_t* text) override;
    int GetModuleSerialNumber(int M, wchar_t* text) override;
    int GetModuleSpeedText(int M, wchar_t* text) override;
    int GetModulePCRating(int M) override;
    int GetModuleSize(int M) override;
    int GetModuleManufactureDate(int M, int* year, int* week) override;
    int GetModuleCorrection(int M) override;
    int GetModuleRegistered(int M) override;
    int GetModuleBuffered(int M) override;
    int GetModuleClock(int M) override;
    int GetModuleDataRate(int M) override;
    float GetModuleRefreshPeriod(int M) override;
    float GetModuleMaxCASLatency(int M) override;
    float GetModuleRCDTime(int M) override;
    float GetModuleRPTime(int M) override;
    float GetModuleRASTime(int M) override;
    float GetModuleRCTime(int M) override;
    int GetModuleBankCount(int M) override;
    int GetModuleDataWidth(int M) override;
    int GetJEDECTimingCount(int M) override;
    void GetJEDECTiming(int M, int i, float* frequency, float* cas, float* voltage) override;
    int GetEPPInfo(int M, int* kind) override;
    void GetEPPProfile(int M, int i, int* frequency, float* cas, float* rcd, float* ras, float* rp, float* rc,
                       int* commandRate, float* voltage) override;
    int GetXMPInfo(int M, int* revision) override;
    int GetXMPTimingCount(int M, int i) override;
    void GetXMPProfileTiming(int M, int i, int j, int* frequency, float* cas) override;
    void GetXMPProfile(int M, int i, float* rcd, float* ras, float* rp, float* voltage, int* frequency, float* cas,
                       float* rc, int* commandRate) override;
    int GetAMPInfo(int M, int* version) override;
    void GetAMPProfile(int M, int i, int* frequency, float* cycleTime, float* cas, float* rcd, float* ras, float* rp,
                       float* rc) override;

    // Super-I/O chip and sensors (queries_monitoring.cpp): slots 117-119.
    // Only chip index 0 answers; a sensor is found by class and role.
    int GetLPCIOVendor(int index, wchar_t* text) override;
    int GetLPCIOModel(int index, wchar_t* text) override;
    float GetSensorValue(int sensorKey, int* device, int* index) override;
    // Display adapters (queries_display.cpp): slot 120, -1 without the
    // display domain.
    int GetDisplayAdapterCount() override;
    // Slots 121-129, 134-136, 140 and 141 of adapter A: 0, -1 or -1.0
    // without the display domain or that adapter.
    int GetGPUFamilyCode(int A) override;
    int GetGPUName(int A, wchar_t* text) override;
    int GetGPUBoardVendor(int A, wchar_t* text) override;
    int GetGPURevision(int A) override;
    int GetGPUCodename(int A, wchar_t* text) override;
    int GetPerfLevelCount(int A) override;
    int GetPerfLevelName(int A, int level, wchar_t* text) override;
    int GetCurrentPerfLevel(int A) override;
    float GetGPUClock(int A, int level, int clockDomain) override;
    int GetGPUMemoryType(int A, int* type) override;
    int GetGPUMemorySize(int A, int* sizeMB) override;
    int GetGPUMemoryBusWidth(int A, int* bits) override;
    int GetGPUPCIIDs(int A, int* vendor, int* device, int* revision, int* subVendor, int* subSystem) override;
    float GetGPUTechnology(int A) override;

    // Drives and operating system (queries_system.cpp): slots 142-147.
    // Without the storage domain the count is 0 and the capacity -1;
    // without the software domain the texts answer 0.
    int GetDriveCount() override;
    int GetDriveName(int D, wchar_t* text) override;
    int GetDriveCapacity(int D) override;
    int GetWindowsVersion(wchar_t* text) override;
    int GetWindowsBuild(wchar_t* text) override;
    int GetDirectXVersion(wchar_t* text) override;

    void WriteReport(CReportGenerator* report) override;
    void WriteConsoleReport(CReportGenerator* report) override;
    void WriteHTMLReport(CReportGenerator* report) override;
    void WriteDumpReport(CReportGenerator* report) override;
    void WriteSummaryReport(CReportGenerator* report) override;

    // The bus clock times pi squared over 4 in single precision; -1.0
    // without the processor domain.
    virtual float GetScaledBusClock();  // 154
    // The library lock: 1 when owned, 0 when not obtained in time, found
    // abandoned (released again at once) or the wait failed.
    virtual int Lock(int timeoutMs);    // 155
    virtual void Unlock();              // 156

    const wchar_t* GetDriverLogPath() const { return m_szDriverLogPath; }
    // Total memory in MB from the scan; -1 before it.
    int GetTotalMemoryMB() const { return m_iTotalMemoryMB; }

private:
    // The scan's steps (detection_scan.cpp), in order.
    void ScanSoftware(int* error);
    bool DriverVersionIsRequired();
    void ScanMainboard(uint32_t& boardHash, uint32_t& boardByteSum);
    void ScanPCI();
    void ScanProcessors();
    void CheckSystemTimer();
    void ScanMemoryModules(uint32_t boardHash);
    void ScanMemoryTotal();
    // The report frame: the library lock (no limit) and the driver lock
    // around the body; nothing is written without the library lock.
    template <typename Body>
    void WithReportLocks(Body body);
    void WriteShortReport(CReportGenerator* report);
    // Report sections (report_bodies.cpp): a title, the domain's dumps and
    // a blank line, each only when its domain exists. The full detail adds
    // the thread, MCHBAR, SPD and monitor register dumps and re-reads the
    // PCI devices.
    enum class Detail { Brief, Full };
    void WriteProcessorSection(CReportGenerator* report, Detail detail);
    void WriteChipsetSection(CReportGenerator* report, Detail detail);
    void WriteSPDSection(CReportGenerator* report, Detail detail);
    void WriteMonitorSection(CReportGenerator* report, Detail detail);
    void WritePCISection(CReportGenerator* report, Detail detail);
    void WriteDMISection(CReportGenerator* report);
    void WriteStorageSection(CReportGenerator* report);
    void WriteDisplaySection(CReportGenerator* report);
    void WriteSoftwareSection(CReportGenerator* report);
    void WriteMainboardLine(CReportGenerator* report);
    void WriteAdapterCountLine(CReportGenerator* report);
    void WriteSoftwareLines(CReportGenerator* report);

    VexaSettings& m_settings;
    int& m_noValidation;

    wchar_t m_szDriverLogPath[kLogPathChars] = {};
    BRENIKSDK* m_pSDK = nullptr;
    CSoftwareInterface* m_pSoftware = nullptr;
    CKMDriver* m_pDriver = nullptr;  // owned
    CCPUInterface* m_pCPU = nullptr;
    CPCIInterface* m_pPCI = nullptr;
    CChipsetInterface* m_pChipset = nullptr;
    CSMBusInterface* m_pSMBus = nullptr;
    CSPDInterface* m_pSPD = nullptr;  // owned
    CDMIInterface* m_pDMI = nullptr;
    CACPIInterface* m_pACPI = nullptr;
    CHardwareMonitorInterface* m_pHardwareMonitor = nullptr;
    CStorageInterface* m_pStorage = nullptr;
    CDisplayInterface* m_pDisplay = nullptr;
    int m_iTotalMemoryMB = -1;
};
