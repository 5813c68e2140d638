// The frequency and voltage state of one processor family: the status
// register's frequency ID (FID) and voltage ID (VID) codes turned into a
// multiplier and a voltage, the table of P-states, and the report's FID/VID
// section. A microarchitecture description creates one in its Initialize
// and owns it; CCPUThread::GetFIDVIDControl finds it. Refresh reads the
// processor that runs the caller (the logical processor's pinned thread,
// inside the driver lock). The write operations exist for the families
// that implement them; nothing in the program calls them.
#pragma once

#include <cstdint>
#include <vector>

class CReportGenerator;
class MSR_Register;

// One P-state: frequency in MHz (-1 unless the family computes it), the
// FID and VID codes, the current in amperes (-1 when unknown).
struct PStateRow {
    int32_t frequency = -1;
    int32_t fid = -1;
    int32_t vid = -1;
    int32_t current = -1;
};

class FIDVID_Control {
public:
    // The status and control registers the family reads and writes.
    FIDVID_Control(uint32_t statusMsr, uint32_t controlMsr);
    FIDVID_Control(const FIDVID_Control&) = delete;
    FIDVID_Control& operator=(const FIDVID_Control&) = delete;

    // The operations in slot order, with the base's behaviour.

    // The multiplier of a FID code, -1.0 for code -1 or one the family
    // does not know.
    virtual float GetMultiplier(int32_t) { return -1.0f; }
    // The voltage in volts of a VID code, likewise.
    virtual float GetVoltage(int32_t) { return -1.0f; }
    // The family's own lines after the P-states.
    virtual void DumpExtra(CReportGenerator*) {}
    virtual ~FIDVID_Control();
    virtual uint32_t Prepare() { return 0; }
    // Reads the status register and decodes it: 1, or 0 when that failed
    // (the codes then keep their previous values).
    virtual uint32_t Refresh() { return 0; }
    virtual uint32_t SetMultiplier(float) { return 0; }
    virtual uint32_t WriteVID(int32_t) { return 0; }
    virtual uint32_t WriteFID(int32_t) { return 0; }

    float GetCurrentMultiplier() { return MultiplierOf(m_iCurrentFID); }
    float GetMaxMultiplier() { return MultiplierOf(m_iMaxFID); }
    float GetMinMultiplier() { return MultiplierOf(m_iMinFID); }
    float GetCurrentVoltage() { return VoltageOf(m_iCurrentVID); }
    float GetMaxVoltage() { return VoltageOf(m_iMaxVID); }
    float GetMinVoltage() { return VoltageOf(m_iMinVID); }

    // Row i of the table: 0 when i is not below the count.
    int GetPState(int32_t i, int32_t* fid, int32_t* vid, int32_t* current) const;
    // Replaces the table (the BIOS PowerNow table of a K7 or K8): every row
    // counts.
    void SetPStates(std::vector<PStateRow> rows);
    // Rows 0 .. count - 1 by the multiplier of their FID, highest first;
    // rows of equal multipliers keep their order.
    void SortPStates();
    // The status and then the control register, each only when it reads.
    void DumpMSRs(CReportGenerator* report);
    // The FID/VID section of the processor report.
    void Dump(CReportGenerator* report);

    int32_t m_iCurrentFID = -1;
    int32_t m_iMinFID = -1;
    int32_t m_iMaxFID = -1;
    int32_t m_iStartFID = -1;
    int32_t m_iTargetFID = -1;  // last requested in the control register (Core 2)
    int32_t m_iCurrentVID = -1;
    int32_t m_iMinVID = -1;
    int32_t m_iMaxVID = -1;
    int32_t m_iStartVID = -1;
    int32_t m_iPStateCount = 0;
    std::vector<PStateRow> m_PStates;  // the first m_iPStateCount rows count
    MSR_Register* m_pStatus;           // owned
    MSR_Register* m_pControl;          // owned

protected:
    float MultiplierOf(int32_t fid) { return fid == -1 ? -1.0f : GetMultiplier(fid); }
    float VoltageOf(int32_t vid) { return vid == -1 ? -1.0f : GetVoltage(vid); }
};

// Bits high..low of a register dword.
inline constexpr uint32_t FieldOf(uint32_t value, unsigned high, unsigned low) {
    return static_cast<uint32_t>((value >> low) & ((1ull << (high - low + 1)) - 1));
}
