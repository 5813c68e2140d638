// The AMD P-state families (K10 to K16): P-state registers, COFVID status
// (0xC0010071) and control (0xC0010070).
#include <cmath>

#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/cpu/fidvid_amd.h"
#include "sdk/cpu/msr_register.h"

namespace {

constexpr uint32_t kCOFVIDStatus = 0xC0010071;
constexpr uint32_t kCOFVIDControl = 0xC0010070;
constexpr uint32_t kPStateControl = 0xC0010062;
constexpr uint32_t kPStateStatus = 0xC0010063;
constexpr uint32_t kPStateEnabled = 1u << 31;  // P-state register, high dword
constexpr int32_t kVIDLimit = 124;             // VIDs from here on are 0 V

int32_t KnownOrUnset(uint32_t code) { return code ? static_cast<int32_t>(code) : -1; }

// Frequency ID bits 7:0 and divisor ID bits 15:8 of a FID code.
float FrequencyID(int32_t fid) { return static_cast<float>(fid & 0xFF); }
int32_t DivisorID(int32_t fid) { return (fid >> 8) & 0xFF; }

// The current of a P-state: hi[7:0] divided by 1, 10, 100 or 1000 as
// hi[9:8] says.
int32_t RowCurrent(uint32_t high) {
    static constexpr float kDivisors[] = {1.0f, 10.0f, 100.0f, 1000.0f};
    return RoundToInt(static_cast<float>(FieldOf(high, 7, 0)) / kDivisors[FieldOf(high, 9, 8)]);
}

} // namespace

AMD_PState_FIDVID_Control::AMD_PState_FIDVID_Control(int registers)
    : FIDVID_Control(kCOFVIDStatus, kCOFVIDControl),
      m_pPStateControl(new MSR_Register(kPStateControl)),
      m_pPStateStatus(new MSR_Register(kPStateStatus)) {
    for (int i = 0; i < registers; ++i) m_PStateRegisters.push_back(new MSR_Register(kPStateRegister0 + uint32_t(i)));
}

AMD_PState_FIDVID_Control::~AMD_PState_FIDVID_Control() {
    for (MSR_Register* reg : m_PStateRegisters) delete reg;
    delete m_pPStateControl;
    delete m_pPStateStatus;
}

float AMD_PState_FIDVID_Control::GetVoltage(int32_t vid) {
    if (vid < 0) return -1.0f;
    return vid < kVIDLimit ? 1.55f - 0.0125f * static_cast<float>(vid) : 0.0f;
}

void AMD_PState_FIDVID_Control::DecodeVIDLimits(uint32_t high) {
    m_iMinVID = KnownOrUnset(FieldOf(high, 16, 10));
    m_iMaxVID = KnownOrUnset(FieldOf(high, 9, 3));
}

void AMD_PState_FIDVID_Control::DecodeStatus(uint32_t, uint32_t high) { DecodeVIDLimits(high); }

// One row per P-state register. The enabled states fill the first rows in
// register order, so that the count covers every one of them even when a
// disabled register sits between two enabled ones; the rest stay unset.
// The lowest multiplier's code becomes the minimum FID.
void AMD_PState_FIDVID_Control::BuildTable() {
    m_PStates.assign(m_PStateRegisters.size(), PStateRow{});
    m_iPStateCount = 0;
    int32_t lowest = -1;
    for (MSR_Register* reg : m_PStateRegisters) {
        if (!(reg->m_dwHigh & kPStateEnabled)) continue;
        PStateRow& row = m_PStates[static_cast<size_t>(m_iPStateCount++)];
        row.fid = FIDCode(reg->m_dwLow);
        row.vid = static_cast<int32_t>(FieldOf(reg->m_dwLow, 15, 9));
        row.current = RowCurrent(reg->m_dwHigh);
        row.frequency = RowFrequency(row.fid);
        if (lowest == -1 || GetMultiplier(row.fid) < GetMultiplier(lowest)) lowest = row.fid;
    }
    SortPStates();
    m_iMinFID = lowest;
}

uint32_t AMD_PState_FIDVID_Control::Refresh() {
    // A register that does not read keeps all ones, which would pass for
    // an enabled state: the table waits for a refresh that reads them all.
    bool allRead = true;
    for (MSR_Register* reg : m_PStateRegisters) allRead = reg->Read() && allRead;
    m_pPStateStatus->Read();
    if (m_pStatus->Read()) {
        const uint32_t low = m_pStatus->m_dwLow;
        m_iCurrentVID = static_cast<int32_t>(FieldOf(low, 15, 9));
        m_iCurrentFID = FIDCode(low);
        DecodeStatus(low, m_pStatus->m_dwHigh);
    }
    if (m_PStates.empty() && allRead) BuildTable();
    return 1;
}

// ---- K10 and K11: FID in bits 5:0, DID in bits 8:6 ----

int32_t K10_FIDVID_Control::FIDCode(uint32_t low) const {
    return static_cast<int32_t>(FieldOf(low, 5, 0) + FieldOf(low, 8, 6) * 256);
}

float K10_FIDVID_Control::GetMultiplier(int32_t fid) {
    if (fid < 0) return -1.0f;
    return (FrequencyID(fid) + 16.0f) * 0.5f / std::ldexp(1.0f, fid >> 8 & 0x1F);
}

float K11_FIDVID_Control::GetMultiplier(int32_t fid) {
    if (fid < 0) return -1.0f;
    return (FrequencyID(fid) + 8.0f) * 0.5f / std::ldexp(1.0f, fid >> 8 & 0x1F);
}

int32_t K10_FIDVID_Control::EncodeFID(int32_t x) {
    const int32_t base = FIDBase();
    if (x < 1 || x - base > 63) return -1;
    if (x - base >= 0) return x - base;
    for (int32_t shift = 1; shift < 31; ++shift)
        if ((x << shift) - base >= 0) return (shift << 8) + ((x << shift) - base);
    return -1;
}

void K10_FIDVID_Control::DecodeStatus(uint32_t low, uint32_t high) {
    AMD_PState_FIDVID_Control::DecodeStatus(low, high);
    m_iMaxFID = EncodeFID(static_cast<int32_t>(FieldOf(high, 22, 17)));
}

// ---- K12: FID in bits 8:4, divisor in bits 3:0 ----

int32_t K12_FIDVID_Control::FIDCode(uint32_t low) const {
    return static_cast<int32_t>(FieldOf(low, 8, 4) + FieldOf(low, 3, 0) * 256);
}

float K12_FIDVID_Control::GetMultiplier(int32_t fid) {
    if (fid < 0) return -1.0f;
    static constexpr float kDivisors[] = {1.0f, 1.5f, 2.0f, 3.0f, 4.0f, 6.0f, 8.0f, 12.0f, 16.0f};
    const int32_t divisor = DivisorID(fid);
    return (FrequencyID(fid) + 16.0f) / (divisor < 9 ? kDivisors[divisor] : 1.0f);
}

// ---- K14: divisor integer part in bits 8:4, quarters in bits 3:0 ----

int32_t K14_FIDVID_Control::FIDCode(uint32_t low) const {
    return static_cast<int32_t>(FieldOf(low, 3, 0) + FieldOf(low, 8, 4) * 256);
}

float K14_FIDVID_Control::Divisor(int32_t fid) const {
    return static_cast<float>(DivisorID(fid)) + 0.25f * FrequencyID(fid) + 1.0f;
}

float K14_FIDVID_Control::GetMultiplier(int32_t fid) {
    if (fid < 0) return -1.0f;
    return static_cast<float>(m_iMaxPLLFrequency) / 100.0f / Divisor(fid);
}

int32_t K14_FIDVID_Control::RowFrequency(int32_t fid) const {
    return static_cast<int32_t>(static_cast<float>(m_iMaxPLLFrequency) / Divisor(fid));
}

void K14_FIDVID_Control::DecodeStatus(uint32_t low, uint32_t high) {
    AMD_PState_FIDVID_Control::DecodeStatus(low, high);
    if (const uint32_t pll = FieldOf(high, 22, 17)) m_iMaxPLLFrequency = static_cast<int32_t>((pll + 16) * 100);
}

void K14_FIDVID_Control::DumpExtra(CReportGenerator* report) {
    if (report) report->PrintField("\tMax PLL Frequency", "\t", "%d", m_iMaxPLLFrequency);
}

// ---- K15 and K16: FID in bits 5:0, DID in bits 8:6 ----

int32_t K15_FIDVID_Control::FIDCode(uint32_t low) const {
    return static_cast<int32_t>(FieldOf(low, 5, 0) + FieldOf(low, 8, 6) * 256);
}

float K15_FIDVID_Control::GetMultiplier(int32_t fid) {
    if (fid < 0) return -1.0f;
    return (FrequencyID(fid) + 16.0f) * 0.5f / std::ldexp(1.0f, fid >> 8 & 0x1F);
}

float K16_FIDVID_Control::GetMultiplier(int32_t fid) {
    if (fid < 0) return -1.0f;
    return (FrequencyID(fid) + 16.0f) / std::ldexp(1.0f, fid >> 8 & 0x1F);
}

float K15_FIDVID_Control::GetVoltage(int32_t vid) {
    if (vid < 0) return -1.0f;
    if (vid >= kVIDLimit) return 0.0f;
    return 1.55f - static_cast<float>(vid) * (m_dwFineVIDSteps == 1 ? 0.00625f : 0.0125f);
}

void K15_FIDVID_Control::DumpExtra(CReportGenerator* report) {
    if (!report) return;
    for (MSR_Register* reg : m_PStateRegisters)
        report->PrintField("\tPStateReg", "\t\t", "0x%08X-0x%08X", reg->m_dwHigh, reg->m_dwLow);
}
