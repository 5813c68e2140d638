// The query interface: the one way the window, the batch reports and the
// validation record read the detection library. Its virtual operations
// form a fixed slot table, declared here in slot order (the comment at the
// end of each line is the slot): five lifecycle operations, the queries,
// the destructor and the five report bodies. Every body here ignores its
// arguments and answers "unknown": 0, 1, -1 or -1.0 as listed, or nothing;
// CLocalInfoParser answers from the library.
//
// Conventions: P is a processor's own package index, C a core's position
// in its processor, M a memory module's record index, A a display adapter,
// D a fixed drive. A text query fills the caller's buffer of
// kInfoTextChars wide characters and answers 1, or answers 0 and leaves
// the buffer untouched. Queries take no lock: callers reading values that
// the refresher thread updates hold the library lock.
#pragma once

#include <cstdint>

class CReportGenerator;

// The size of every text buffer a query fills, terminator included.
constexpr int kInfoTextChars = 512;

class CInfoParser {
public:
    CInfoParser() = default;
    CInfoParser(const CInfoParser&) = delete;
    CInfoParser& operator=(const CInfoParser&) = delete;

    // ---- Lifecycle ----
    virtual int Init(int* /*error*/) { return 0; }                             // 0
    virtual int Scan(int* /*error*/, int* /*detail*/) { return 0; }            // 1
    virtual void Close() {}                                                    // 2
    virtual void RemoveDriver() {}                                             // 3
    virtual void Refresh(uint32_t /*timeoutMs*/) {}                            // 4

    // ---- Processors ----
    virtual int GetProcessorCount() { return 1; }                              // 5
    virtual int GetProcessorIndex(int /*P*/) { return -1; }                    // 6
    virtual int GetCoreCount(int /*P*/) { return 1; }                          // 7
    virtual int GetThreadCount(int /*P*/) { return 1; }                        // 8
    virtual int GetCacheCount(int /*P*/, int /*level*/, int /*type*/, int* /*sizeKB*/) { return 0; }  // 9
    virtual int GetCacheGeometry(int /*P*/, int /*level*/, int /*type*/, int* /*lineBytes*/,
                                 int* /*ways*/) { return 0; }                  // 10
    virtual int GetBoardCacheSize(int* /*sizeKB*/) { return 0; }               // 11
    virtual int GetProcessorName(int /*P*/, wchar_t* /*text*/) { return 0; }   // 12
    virtual int UnmaskProcessorName(int /*P*/, wchar_t* /*text*/) { return 0; }  // 13
    virtual int GetCodename(int /*P*/, wchar_t* /*text*/) { return 0; }        // 14
    virtual int UnmaskCodename(int /*P*/, wchar_t* /*text*/) { return 0; }     // 15
    virtual int GetCoreStepping(int /*P*/, wchar_t* /*text*/) { return 0; }    // 16
    virtual int GetSpecification(int /*P*/, wchar_t* /*text*/) { return 0; }  // 17
    virtual int GetPackage(int /*P*/, wchar_t* /*text*/) { return 0; }         // 18
    virtual int GetBrandID(int /*P*/) { return 0; }                            // 19
    virtual float GetTDP(int /*P*/) { return -1.0f; }                          // 20
    virtual float GetTechnology(int /*P*/) { return -1.0f; }                   // 21
    virtual float GetMaxTemperature(int /*P*/) { return -1.0f; }               // 22
    virtual int GetStockClock(int /*P*/) { return -1; }                        // 23
    virtual float GetRatedBusClock(int /*P*/) { return -1.0f; }                // 24
    virtual int IsEngineeringSample(int /*P*/) { return 0; }                   // 25
    virtual int GetFamily(int /*P*/) { return -1; }                            // 26
    virtual int GetModel(int /*P*/) { return -1; }                             // 27
    virtual int GetStepping(int /*P*/) { return -1; }                          // 28
    virtual int GetExtFamily(int /*P*/) { return -1; }                         // 29
    virtual int GetExtModel(int /*P*/) { return -1; }                          // 30
    virtual int HasInstructionSet(int /*P*/, int /*instructionSet*/) { return 0; }  // 31
    virtual int GetClassCode(int /*P*/) { return 0; }                          // 32
    virtual int GetMicrocodeRevision(int /*P*/) { return -1; }                 // 33
    virtual float GetCoreMultiplier(int /*P*/, int /*C*/) { return -1.0f; }    // 34
    virtual float GetCoreMinMultiplier(int /*P*/, int /*C*/) { return -1.0f; }  // 35
    virtual float GetCoreMaxMultiplier(int /*P*/, int /*C*/) { return -1.0f; }  // 36
    virtual float GetCoreClock(int /*P*/, int /*C*/) { return -1.0f; }         // 37
    virtual float GetBusClock() { return -1.0f; }                              // 38
    virtual float GetCoreVID(int /*P*/) { return -1.0f; }                      // 39
    virtual int SetCoreEnableMask(int /*P*/, int /*mask*/) { return 0; }       // 40
    virtual int GetMultiplierHistory(int /*P*/, int /*C*/, int* /*count*/, float** /*samples*/) {
        return 0;
    }                                                                          // 41

    // ---- Memory controller and bridges ----
    virtual int GetMemorySize() { return -1; }                                 // 42
    virtual int GetMemoryType() { return -1; }                                 // 43
    virtual int GetMemoryChannels() { return -1; }                             // 44
    virtual int GetMemoryChannelMode() { return -1; }                          // 45
    virtual float GetDRAMFrequency() { return -1.0f; }                         // 46
    virtual float GetCASLatency() { return -1.0f; }                            // 47
    virtual float GetUncoreMultiplier() { return -1.0f; }                      // 48
    virtual int GetRASToCASDelay() { return -1; }                              // 49
    virtual int GetRASPrecharge() { return -1; }                               // 50
    virtual int GetRASPrecharge2() { return -1; }                              // 51
    virtual int GetCycleTime() { return -1; }                                  // 52
    virtual int GetBankCycleTime() { return -1; }                              // 53
    virtual int GetRowRefreshCycleTime() { return -1; }                        // 54
    virtual int GetCommandRate() { return -1; }                                // 55
    virtual int GetDRAMIdleTimer() { return -1; }                              // 56
    virtual int GetTotalCAS() { return -1; }                                   // 57
    virtual int GetRowToColumnDelay() { return -1; }                           // 58
    virtual float GetFSBDRAMRatio(wchar_t* /*text*/) { return -1.0f; }         // 59
    virtual int GetNorthbridgeVendor(wchar_t* /*text*/) { return 0; }          // 60
    virtual int GetNorthbridgeModel(wchar_t* /*text*/) { return 0; }           // 61
    virtual int GetNorthbridgeRevision(wchar_t* /*text*/) { return 0; }        // 62
    virtual int GetSouthbridgeVendor(wchar_t* /*text*/) { return 0; }          // 63
    virtual int GetSouthbridgeModel(wchar_t* /*text*/) { return 0; }           // 64
    virtual int GetSouthbridgeRevision(wchar_t* /*text*/) { return 0; }        // 65

    // ---- SMBIOS ----
    virtual int GetBIOSVendor(wchar_t* /*text*/) { return 0; }                 // 66
    virtual int GetBIOSVersion(wchar_t* /*text*/) { return 0; }                // 67
    virtual int GetBIOSDate(wchar_t* /*text*/) { return 0; }                   // 68
    virtual int GetBoardManufacturer(wchar_t* /*text*/) { return 0; }          // 69
    virtual int GetBoardProduct(wchar_t* /*text*/) { return 0; }               // 70
    virtual int GetBoardVersion(wchar_t* /*text*/) { return 0; }               // 71
    virtual int GetBoardSerial(wchar_t* /*text*/) { return 0; }                // 72
    virtual int GetSystemManufacturer(wchar_t* /*text*/) { return 0; }         // 73
    virtual int GetSystemProduct(wchar_t* /*text*/) { return 0; }              // 74
    virtual int GetSystemVersion(wchar_t* /*text*/) { return 0; }              // 75
    virtual int GetSystemSerial(wchar_t* /*text*/) { return 0; }               // 76
    virtual int GetSystemUUID(wchar_t* /*text*/) { return 0; }                 // 77
    virtual int GetChassisManufacturer(wchar_t* /*text*/) { return 0; }        // 78
    virtual int GetChassisType(wchar_t* /*text*/) { return 0; }                // 79
    virtual int GetChassisSerial(wchar_t* /*text*/) { return 0; }              // 80
    virtual void GetMemorySlots(int* /*slots*/, int* /*populated*/, int* /*populatedMask*/,
                                int* /*reserved*/) {}                          // 81
    virtual int GetGraphicInterface(int* /*kind*/, int* /*current*/, int* /*max*/) { return 0; }  // 82
    virtual int GetAGPInfo(int* /*version*/, int* /*sideBandSupported*/, int* /*sideBandEnabled*/) {
        return 0;
    }                                                                          // 83

    // ---- Memory modules (SPD) ----
    virtual int GetSPDModuleCount() { return -1; }                             // 84
    virtual int GetModuleType(int /*M*/) { return -1; }                        // 85
    virtual int GetModuleManufacturer(int /*M*/, wchar_t* /*text*/) { return 0; }    // 86
    virtual int GetModuleManufacturerID(int /*M*/, wchar_t* /*text*/) { return 0; }  // 87
    virtual int GetModulePartNumber(int /*M*/, wchar_t* /*text*/) { return 0; }      // 88
    virtual int GetModuleSerialNumber(int /*M*/, wchar_t* /*text*/) { return 0; }    // 89
    virtual int GetModuleSpeedText(int /*M*/, wchar_t* /*text*/) { return 0; }       // 90
    virtual int GetModulePCRating(int /*M*/) { return -1; }                    // 91
    virtual int GetModuleSize(int /*M*/) { return -1; }                        // 92
    virtual int GetModuleManufactureDate(int /*M*/, int* /*year*/, int* /*week*/) { return 0; }  // 93
    virtual int GetModuleCorrection(int /*M*/) { return -1; }                  // 94
    virtual int GetModuleRegistered(int /*M*/) { return -1; }                  // 95
    virtual int GetModuleBuffered(int /*M*/) { return -1; }                    // 96
    virtual int GetModuleClock(int /*M*/) { return -1; }                       // 97
    virtual int GetModuleDataRate(int /*M*/) { return -1; }                    // 98
    virtual float GetModuleRefreshPeriod(int /*M*/) { return -1.0f; }          // 99
    virtual float GetModuleMaxCASLatency(int /*M*/) { return -1.0f; }          // 100
    virtual float GetModuleRCDTime(int /*M*/) { return -1.0f; }                // 101
    virtual float GetModuleRPTime(int /*M*/) { return -1.0f; }                 // 102
    virtual float GetModuleRASTime(int /*M*/) { return -1.0f; }                // 103
    virtual float GetModuleRCTime(int /*M*/) { return -1.0f; }                 // 104
    virtual int GetModuleBankCount(int /*M*/) { return -1; }                   // 105
    virtual int GetModuleDataWidth(int /*M*/) { return -1; }                   // 106
    virtual int GetJEDECTimingCount(int /*M*/) { return -1; }                  // 107
    virtual void GetJEDECTiming(int /*M*/, int /*i*/, float* /*frequency*/, float* /*cas*/,
                                float* /*voltage*/) {}                         // 108
    virtual int GetEPPInfo(int /*M*/, int* /*kind*/) { return -1; }            // 109
    virtual void GetEPPProfile(int /*M*/, int /*i*/, int* /*frequency*/, float* /*cas*/, float* /*rcd*/,
                               float* /*ras*/, float* /*rp*/, float* /*rc*/, int* /*commandRate*/,
                               float* /*voltage*/) {}                          // 110
    virtual int GetXMPInfo(int /*M*/, int* /*revision*/) { return -1; }        // 111
    virtual int GetXMPTimingCount(int /*M*/, int /*i*/) { return -1; }         // 112
    virtual void GetXMPProfileTiming(int /*M*/, int /*i*/, int /*j*/, int* /*frequency*/,
                                     float* /*cas*/) {}                        // 113
    virtual void GetXMPProfile(int /*M*/, int /*i*/, float* /*rcd*/, float* /*ras*/, float* /*rp*/,
                               float* /*voltage*/, int* /*frequency*/, float* /*cas*/, float* /*rc*/,
                               int* /*commandRate*/) {}                        // 114
    virtual int GetAMPInfo(int /*M*/, int* /*version*/) { return -1; }         // 115
    virtual void GetAMPProfile(int /*M*/, int /*i*/, int* /*frequency*/, float* /*cycleTime*/,
                               float* /*cas*/, float* /*rcd*/, float* /*ras*/, float* /*rp*/,
                               float* /*rc*/) {}                               // 116

    // ---- Super-I/O and sensors ----
    virtual int GetLPCIOVendor(int /*index*/, wchar_t* /*text*/) { return 0; }  // 117
    virtual int GetLPCIOModel(int /*index*/, wchar_t* /*text*/) { return 0; }   // 118
    virtual float GetSensorValue(int /*sensorKey*/, int* /*device*/, int* /*index*/) { return -1.0f; }  // 119

    // ---- Display ----
    virtual int GetDisplayAdapterCount() { return -1; }                        // 120
    virtual int GetGPUFamilyCode(int /*A*/) { return -1; }                     // 121
    virtual int GetGPUName(int /*A*/, wchar_t* /*text*/) { return 0; }         // 122
    virtual int GetGPUBoardVendor(int /*A*/, wchar_t* /*text*/) { return 0; }  // 123
    virtual int GetGPURevision(int /*A*/) { return -1; }                       // 124
    virtual int GetGPUCodename(int /*A*/, wchar_t* /*text*/) { return 0; }     // 125
    virtual int GetPerfLevelCount(int /*A*/) { return -1; }                    // 126
    virtual int GetPerfLevelName(int /*A*/, int /*level*/, wchar_t* /*text*/) { return 0; }  // 127
    virtual int GetCurrentPerfLevel(int /*A*/) { return -1; }                  // 128
    virtual float GetGPUClock(int /*A*/, int /*level*/, int /*clockDomain*/) { return -1.0f; }  // 129
    virtual float GetDisplayReserved130(int, int, int) { return -1.0f; }       // 130
    virtual float GetDisplayReserved131(int, int) { return -1.0f; }            // 131
    virtual int GetDisplayReserved132(int) { return -1; }                      // 132
    virtual int GetDisplayReserved133(int) { return -1; }                      // 133
    virtual int GetGPUMemoryType(int /*A*/, int* /*type*/) { return 0; }       // 134
    virtual int GetGPUMemorySize(int /*A*/, int* /*sizeMB*/) { return 0; }     // 135
    virtual int GetGPUMemoryBusWidth(int /*A*/, int* /*bits*/) { return 0; }   // 136
    virtual int GetDisplayReserved137(int) { return 0; }                       // 137
    virtual int GetDisplayReserved138(int) { return 0; }                       // 138
    virtual int GetDisplayReserved139(int, int, int) { return 0; }             // 139
    virtual int GetGPUPCIIDs(int /*A*/, int* /*vendor*/, int* /*device*/, int* /*revision*/,
                             int* /*subVendor*/, int* /*subSystem*/) { return 0; }  // 140
    virtual float GetGPUTechnology(int /*A*/) { return -1.0f; }                // 141

    // ---- Drives and software ----
    virtual int GetDriveCount() { return 0; }                                  // 142
    virtual int GetDriveName(int /*D*/, wchar_t* /*text*/) { return 0; }       // 143
    virtual int GetDriveCapacity(int /*D*/) { return 0; }                      // 144
    virtual int GetWindowsVersion(wchar_t* /*text*/) { return 0; }             // 145
    virtual int GetWindowsBuild(wchar_t* /*text*/) { return 0; }               // 146
    virtual int GetDirectXVersion(wchar_t* /*text*/) { return 0; }             // 147

    virtual ~CInfoParser() = default;                                          // 148

    // ---- Report bodies (the caller frames the document) ----
    virtual void WriteReport(CReportGenerator* /*report*/) {}                  // 149
    virtual void WriteConsoleReport(CReportGenerator* /*report*/) {}           // 150
    virtual void WriteHTMLReport(CReportGenerator* /*report*/) {}              // 151
    virtual void WriteDumpReport(CReportGenerator* /*report*/) {}              // 152
    virtual void WriteSummaryReport(CReportGenerator* /*report*/) {}           // 153
};
