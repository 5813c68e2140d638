// The memory controller's record of the chipset domain: what the chipset
// family decoders read from the controller (type, timings, channels and the
// source of the DRAM clock) and the DRAM clock the interface computes from
// it. Every field starts unknown (-1, -1.0, empty) and keeps the last value
// written: nothing resets it.
#pragma once

#include <cstdint>

// m_iChannelMode: an AMD controller has 0x02 in the high byte and 0
// (unganged) or 1 (ganged) in the low 24 bits; any other controller 0
// (asymmetric) or 1 (symmetric).
enum MemoryChannelMode : int32_t {
    MEMORY_CHANNELS_ASYMMETRIC = 0,
    MEMORY_CHANNELS_SYMMETRIC = 1,
    MEMORY_CHANNELS_AMD = 0x02000000,
    MEMORY_CHANNELS_AMD_UNGANGED = MEMORY_CHANNELS_AMD | 0,
    MEMORY_CHANNELS_AMD_GANGED = MEMORY_CHANNELS_AMD | 1,
};

class CMemoryInfo {
public:
    static constexpr int kRatioTextSize = 32;

    CMemoryInfo() = default;
    virtual ~CMemoryInfo() = default;
    CMemoryInfo(const CMemoryInfo&) = delete;
    CMemoryInfo& operator=(const CMemoryInfo&) = delete;

    // The DRAM clock in MHz from the bus clock and the processor
    // multiplier by the first rule that applies: the clock a decoder set
    // (asynchronous), nothing without a bus clock, the FSB:DRAM ratio, the
    // offset from the bus clock, the processor divisor; else -1.0.
    float GetDRAMFrequency(float busClock, float multiplier) const;

    int m_iMemoryType = -1;           // MemoryType
    int m_iSize = -1;                 // MB; the application's total memory
    float m_fFSBDRAMRatio = -1.0f;    // DRAM clock / bus clock
    float m_fDRAMOffset = -1.0f;      // DRAM clock - bus clock, MHz
    int m_iCPUDivisor = -1;           // DRAM clock = bus clock x multiplier / divisor
    float m_fCASLatency = -1.0f;
    int m_iRASToCASDelay = -1;        // tRCD
    int m_iRASPrecharge = -1;         // tRP
    int m_iCycleTime = -1;            // tRAS
    int m_iBankCycleTime = -1;        // tRC
    int m_iRowRefreshCycleTime = -1;  // tRFC
    int m_iRowToColumnDelay = -1;     // RDRAM
    int m_iTotalCAS = -1;             // RDRAM tRDRAM
    int m_iDRAMIdleTimer = -1;
    int m_iCommandRate = -1;          // 1 or 2
    int m_iTCCD = -1;
    int m_iTCCD_L = -1;
    int m_iTCCD_WR = -1;
    int m_iTCCD_WR_L = -1;
    float m_fDRAMFrequency = -1.0f;   // MHz
    float m_fUncoreRatio = -1.0f;     // uncore clock / bus clock
    int m_iMemClkCode = -1;           // AMD K8 memory-clock select
    int m_iInterleave = -1;           // 0 none, N N-way
    int m_iChannels = -1;             // 1 to 4
    int m_iChannelMode = -1;          // MemoryChannelMode
    char m_szRatio[kRatioTextSize] = {};  // "4:5", "FSB + 33 MHz", ...
    int m_bAsynchronous = 0;          // the decoder set m_fDRAMFrequency itself
};
