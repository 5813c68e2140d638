// K7 and K8 FID/VID status (0xC0010042) and control (0xC0010041).
#include <iterator>

#include "sdk/cpu/fidvid_amd.h"
#include "sdk/cpu/msr_register.h"

namespace {

constexpr uint32_t kFIDVIDStatus = 0xC0010042;
constexpr uint32_t kFIDVIDControl = 0xC0010041;
constexpr uint32_t kTransitionPending = 1u << 31;  // K8 status, low dword

// K7 multipliers by FID code 0..31.
constexpr float kK7Multipliers[] = {11.0f, 11.5f, 12.0f, 12.5f, 5.0f,  5.5f,  6.0f,  6.5f,  7.0f,  7.5f,  8.0f,
                                    8.5f,  9.0f,  9.5f,  10.0f, 10.5f, 3.0f,  19.0f, 4.0f,  20.0f, 13.0f, 13.5f,
                                    14.0f, 21.0f, 15.0f, 22.0f, 16.0f, 16.5f, 17.0f, 18.0f, 23.0f, 24.0f};
static_assert(std::size(kK7Multipliers) == 32);

// -1 for a field of zero: the status leaves limits it does not report at 0.
int32_t KnownOrUnset(uint32_t code) { return code ? static_cast<int32_t>(code) : -1; }

} // namespace

K7_FIDVID_Control::K7_FIDVID_Control() : FIDVID_Control(kFIDVIDStatus, kFIDVIDControl) {}

float K7_FIDVID_Control::GetMultiplier(int32_t fid) {
    return fid >= 0 && fid < 32 ? kK7Multipliers[fid] : -1.0f;
}

// VID 0..14: 2.0 V down to 1.30 V in 50 mV steps; 15 is not a voltage;
// 16..30: 1.275 V down to 0.925 V in 25 mV steps.
float K7_FIDVID_Control::GetVoltage(int32_t vid) {
    if (vid >= 0 && vid <= 14) return 2.0f - 0.05f * static_cast<float>(vid);
    if (vid >= 16 && vid <= 30) return 1.275f - 0.025f * static_cast<float>(vid - 16);
    return -1.0f;
}

uint32_t K7_FIDVID_Control::Refresh() {
    if (!m_pStatus->Read()) return 0;
    const uint32_t low = m_pStatus->m_dwLow, high = m_pStatus->m_dwHigh;
    m_iCurrentFID = static_cast<int32_t>(FieldOf(low, 4, 0));
    m_iStartFID = static_cast<int32_t>(FieldOf(low, 12, 8));
    m_iMaxFID = static_cast<int32_t>(FieldOf(low, 20, 16));
    m_iCurrentVID = static_cast<int32_t>(FieldOf(high, 4, 0));
    m_iStartVID = static_cast<int32_t>(FieldOf(high, 12, 8));
    m_iMaxVID = static_cast<int32_t>(FieldOf(high, 20, 16));
    return 1;
}

K8_FIDVID_Control::K8_FIDVID_Control() : FIDVID_Control(kFIDVIDStatus, kFIDVIDControl) {}

float K8_FIDVID_Control::GetMultiplier(int32_t fid) {
    return fid >= 0 && fid <= 42 ? 4.0f + 0.5f * static_cast<float>(fid) : -1.0f;
}

float K8_FIDVID_Control::GetVoltage(int32_t vid) {
    return vid >= 0 && vid <= 30 ? 1.55f - 0.025f * static_cast<float>(vid) : -1.0f;
}

bool K8_FIDVID_Control::ReadSettledStatus() {
    for (int read = 0; read < kTransitionReads; ++read) {
        if (!m_pStatus->Read()) return false;
        if (!(m_pStatus->m_dwLow & kTransitionPending)) return true;
    }
    return false;
}

void K8_FIDVID_Control::DecodeVoltages(uint32_t high) {
    m_iCurrentVID = static_cast<int32_t>(FieldOf(high, 4, 0));
    m_iStartVID = static_cast<int32_t>(FieldOf(high, 12, 8));
    m_iMaxVID = KnownOrUnset(FieldOf(high, 20, 16));
    m_iMinVID = KnownOrUnset(FieldOf(high, 28, 24));
}

uint32_t K8_FIDVID_Control::Refresh() {
    if (!ReadSettledStatus()) return 0;
    const uint32_t low = m_pStatus->m_dwLow;
    m_iCurrentFID = static_cast<int32_t>(FieldOf(low, 5, 0));
    m_iStartFID = static_cast<int32_t>(FieldOf(low, 13, 8));
    m_iMaxFID = static_cast<int32_t>(FieldOf(low, 21, 16));
    DecodeVoltages(m_pStatus->m_dwHigh);
    return 1;
}

float K8_AM2_FIDVID_Control::GetVoltage(int32_t vid) {
    if (vid >= 0 && vid <= 30) return 1.55f - 0.025f * static_cast<float>(vid);
    if (vid >= 31 && vid <= 63) return 0.775f - 0.0125f * static_cast<float>(vid - 31);
    return -1.0f;
}

void K8_AM2_FIDVID_Control::DecodeVoltages(uint32_t high) {
    m_iCurrentVID = static_cast<int32_t>(FieldOf(high, 5, 0));
    m_iStartVID = static_cast<int32_t>(FieldOf(high, 13, 8));
    m_iMaxVID = static_cast<int32_t>(FieldOf(high, 21, 16));
}
