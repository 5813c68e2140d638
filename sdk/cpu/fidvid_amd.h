// The FID/VID controls of AMD processors: the K7 and K8 status registers
// (0xC0010042, control 0xC0010041), and the P-state families from K10 on
// (COFVID status 0xC0010071, control 0xC0010070), which also keep the
// P-state registers 0xC0010064 + i and the P-state control and status
// registers 0xC0010062 and 0xC0010063.
#pragma once

#include "sdk/cpu/fidvid_control.h"

class K7_FIDVID_Control : public FIDVID_Control {
public:
    K7_FIDVID_Control();
    float GetMultiplier(int32_t fid) override;
    float GetVoltage(int32_t vid) override;
    uint32_t Refresh() override;
};

// Waits for a FID/VID transition to end (status bit 31) before decoding.
class K8_FIDVID_Control : public FIDVID_Control {
public:
    // The status reads a refresh spends waiting for a transition to end.
    static constexpr int kTransitionReads = 200;

    K8_FIDVID_Control();
    float GetMultiplier(int32_t fid) override;
    float GetVoltage(int32_t vid) override;
    uint32_t Refresh() override;

protected:
    // Reads the status until no transition is pending: false when a read
    // fails or the reads are used up.
    bool ReadSettledStatus();
    virtual void DecodeVoltages(uint32_t high);
};

// Socket AM2: six-bit VIDs, the lower half of the range in 12.5 mV steps.
class K8_AM2_FIDVID_Control : public K8_FIDVID_Control {
public:
    float GetVoltage(int32_t vid) override;

protected:
    void DecodeVoltages(uint32_t high) override;
};

// The common part of the AMD P-state families: the table of P-states from
// the P-state registers, built on the first refresh that can read them,
// and the decoding of the COFVID status register. A FID code holds the
// frequency ID in bits 7:0 and the divisor ID in bits 15:8.
class AMD_PState_FIDVID_Control : public FIDVID_Control {
public:
    static constexpr uint32_t kPStateRegister0 = 0xC0010064;

    ~AMD_PState_FIDVID_Control() override;
    // Always 1: the registers that do not read leave the state as it was.
    uint32_t Refresh() override;
    float GetVoltage(int32_t vid) override;

    std::vector<MSR_Register*> m_PStateRegisters;  // owned
    MSR_Register* m_pPStateControl;                // owned
    MSR_Register* m_pPStateStatus;                 // owned

protected:
    explicit AMD_PState_FIDVID_Control(int registers);
    // The FID code of a P-state or COFVID status low dword.
    virtual int32_t FIDCode(uint32_t low) const = 0;
    // A P-state row's frequency in MHz; -1 where the family does not know it.
    virtual int32_t RowFrequency(int32_t) const { return -1; }
    // The status register's decoding besides the current FID and VID.
    virtual void DecodeStatus(uint32_t low, uint32_t high);
    // The minimum and maximum VID of the status register's high dword.
    void DecodeVIDLimits(uint32_t high);

private:
    void BuildTable();
};

class K10_FIDVID_Control : public AMD_PState_FIDVID_Control {
public:
    K10_FIDVID_Control() : AMD_PState_FIDVID_Control(5) {}
    float GetMultiplier(int32_t fid) override;
    // The FID code of a doubled multiplier x, or -1 when none fits.
    virtual int32_t EncodeFID(int32_t x);

protected:
    int32_t FIDCode(uint32_t low) const override;
    void DecodeStatus(uint32_t low, uint32_t high) override;
    // The frequency ID that stands for multiplier 0 (K10 16, K11 8).
    virtual int32_t FIDBase() const { return 16; }
};

class K11_FIDVID_Control : public K10_FIDVID_Control {
public:
    float GetMultiplier(int32_t fid) override;

protected:
    int32_t FIDBase() const override { return 8; }
};

class K12_FIDVID_Control : public AMD_PState_FIDVID_Control {
public:
    K12_FIDVID_Control() : AMD_PState_FIDVID_Control(8) {}
    float GetMultiplier(int32_t fid) override;

protected:
    int32_t FIDCode(uint32_t low) const override;
};

class K14_FIDVID_Control : public AMD_PState_FIDVID_Control {
public:
    K14_FIDVID_Control() : AMD_PState_FIDVID_Control(8) {}
    float GetMultiplier(int32_t fid) override;
    void DumpExtra(CReportGenerator* report) override;

    int32_t m_iMaxPLLFrequency = 4000;  // MHz

protected:
    int32_t FIDCode(uint32_t low) const override;
    int32_t RowFrequency(int32_t fid) const override;
    void DecodeStatus(uint32_t low, uint32_t high) override;

private:
    float Divisor(int32_t fid) const;
};

class K15_FIDVID_Control : public AMD_PState_FIDVID_Control {
public:
    // `fineVIDSteps` 1: 6.25 mV per VID step, else 12.5 mV.
    explicit K15_FIDVID_Control(uint32_t fineVIDSteps) : AMD_PState_FIDVID_Control(8), m_dwFineVIDSteps(fineVIDSteps) {}
    float GetMultiplier(int32_t fid) override;
    float GetVoltage(int32_t vid) override;
    void DumpExtra(CReportGenerator* report) override;

    uint32_t m_dwFineVIDSteps;

protected:
    int32_t FIDCode(uint32_t low) const override;
};

class K16_FIDVID_Control : public K15_FIDVID_Control {
public:
    using K15_FIDVID_Control::K15_FIDVID_Control;
    float GetMultiplier(int32_t fid) override;
};
