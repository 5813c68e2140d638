// The microarchitecture description of Intel's Haswell and Broadwell
// processors (family 6, extended models 0x3C, 0x3D, 0x3F, 0x45, 0x46,
// 0x47), and the base of the Skylake description, which shares its
// procedures. Beside what the Sandy Bridge description does, it reads the
// ratio limits of up to 24 active cores, the energy unit of the RAPL
// counters and a DRAM counter (intel_haswell_power.cpp), and the settings
// of four voltage planes through the processor's overclocking mailbox,
// which it shares with other programs through a named mutex.
#pragma once

#include <span>

#include "platform/win_types.h"
#include "sdk/cpu/cpu_infos.h"
#include "sdk/cpu/intel_shared_bodies.h"

struct StockClockText;

// The voltage planes of the overclocking mailbox, in parameter order.
enum VoltagePlane : int { PLANE_IA, PLANE_GT, PLANE_RING, PLANE_AGENT, PLANE_COUNT };

struct VoltagePlaneSettings {
    int32_t mode = -1;    // 1: override, 0: adaptive
    int32_t target = -1;  // mailbox units, taken as mV
    int32_t offset = -1;  // signed, likewise
};

class Intel_Haswell_Infos : public CCPUInfos {
public:
    // The energy unit when MSR 0x606 cannot be read: 2^-16 J.
    static constexpr double kDefaultEnergyUnit = 1.52587890625e-5;

    Intel_Haswell_Infos();
    // Releases and closes the mailbox mutex.
    ~Intel_Haswell_Infos() override;

    void DetectCaches(CCPUThread* thread) override;
    void Initialize(CCPUThread* thread) override;
    int Identify(CCPUThread* thread) override;
    float GetMultiplier(CCPUThread* thread) override;
    float GetTemperature(CCPUThread* thread) override;
    // IntelRAPLPowerAndVoltages: the power sensors and the voltage planes.
    float GetPower(CCPUThread* thread) override;
    float GetCoreClock(CCPUThread* thread, CTimer* timer) override;
    // Mobile parts only.
    float GetBusClock(CCPUThread* thread) override;
    // IntelRatioAndVoltageDump.
    void DumpRegisters(CReportGenerator* report) override;

    // MSRs 0xCE and 0x17, and the package by model and platform ID.
    virtual void ReadPlatformInfo(CCPUThread* thread);
    // From the brand string (StockClocks), else the ratio of MSR
    // 0xCE; then the TSC, TSC_24, APERF and MPERF rates.
    void GetStockClock(CCPUThread* thread);
    // One sample of an energy counter (0x611, 0x639, 0x641, 0x619) into
    // its sensor: the power in watts, -1.0 when there is none yet.
    float ReadEnergyCounter(CCPUThread* thread, uint32_t msr);

    double m_dEnergyUnit = kDefaultEnergyUnit;  // joules per count
    IntelRatioState m_Ratios;
    VoltagePlaneSettings m_Planes[PLANE_COUNT];
    HANDLE m_hMailboxMutex;

protected:
    // The stock clocks by their texts in the brand string.
    virtual std::span<const StockClockText> StockClocks() const;

private:
    // The mailbox's voltage settings of every plane into their sensors.
    void ReadVoltagePlanes(CCPUThread* thread);
};

CCPUInfos* CreateIntelHaswellInfos();

// ---- The overclocking mailbox (MSR 0x150) ----

// Holds the mailbox mutex for a sequence of commands: waits at most 100 ms
// for it; Owned() is false when it was not obtained.
class MailboxLock {
public:
    static constexpr DWORD kWaitMs = 100;

    explicit MailboxLock(HANDLE mutex);
    ~MailboxLock();
    MailboxLock(const MailboxLock&) = delete;
    MailboxLock& operator=(const MailboxLock&) = delete;
    bool Owned() const { return m_bOwned; }

private:
    HANDLE m_hMutex;
    bool m_bOwned = false;
};

enum class MailboxResult {
    NotSent,   // the mailbox could not be read: nothing was written
    Answered,  // the reply's data is in `data`
    Failed,    // a poll read failed, the polls ran out or the processor reported an error
};

// One command with its parameter, polled at most `polls` times; the
// caller holds the mailbox lock and the driver.
MailboxResult MailboxCommand(uint8_t command, uint8_t parameter, int polls, uint32_t& data);
