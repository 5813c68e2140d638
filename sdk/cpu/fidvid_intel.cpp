#include "sdk/cpu/fidvid_intel.h"

#include "sdk/cpu/msr_register.h"

namespace {

constexpr uint32_t kPerfStatus = 0x198;
constexpr uint32_t kPerfControl = 0x199;

int32_t Code(uint32_t value, unsigned high, unsigned low) { return static_cast<int32_t>(FieldOf(value, high, low)); }

// Core 2 FIDs: twice the ratio in bits 12:8 plus the half-ratio bit 14
// (the same layout in the high dword, 16 bits further).
int32_t HalfStepFID(uint32_t value, unsigned ratioLow, unsigned halfBit) {
    return 2 * Code(value, ratioLow + 4, ratioLow) + Code(value, halfBit, halfBit);
}

} // namespace

Intel_FIDVID_Control::Intel_FIDVID_Control() : FIDVID_Control(kPerfStatus, kPerfControl) {}

uint32_t Intel_FIDVID_Control::Refresh() {
    if (!m_pStatus->Read()) return 0;
    Decode(m_pStatus->m_dwLow, m_pStatus->m_dwHigh);
    return 1;
}

// ---- Netburst and Mobile: (16 v + 700) mV ----

float Netburst_FIDVID_Control::GetVoltage(int32_t vid) {
    return vid < 0 ? -1.0f : (16.0f * static_cast<float>(vid) + 700.0f) * 0.001f;
}

void Netburst_FIDVID_Control::Decode(uint32_t low, uint32_t high) {
    m_iCurrentFID = Code(low, 15, 8);
    m_iMaxFID = Code(high, 15, 8);
    m_iMinFID = 14;
    m_iCurrentVID = Code(low, 7, 0);
    m_iMaxVID = Code(high, 7, 0);
    m_iMinVID = 26;
}

void Mobile_FIDVID_Control::Decode(uint32_t low, uint32_t high) {
    Netburst_FIDVID_Control::Decode(low, high);
    m_iMinFID = 6;
    m_iMinVID = -1;
}

// ---- Core: (12.5 v + 712.5) mV ----

float Core_FIDVID_Control::GetVoltage(int32_t vid) {
    return vid < 0 ? -1.0f : (12.5f * static_cast<float>(vid) + 712.5f) * 0.001f;
}

void Core_FIDVID_Control::Decode(uint32_t low, uint32_t high) {
    m_iCurrentFID = Code(low, 12, 8);
    m_iMinFID = Code(low, 28, 24);
    m_iMaxFID = Code(high, 12, 8);
    m_iCurrentVID = Code(low, 5, 0);
    m_iMaxVID = Code(high, 5, 0);
}

// ---- Core 2 ----

uint32_t Core_2_FIDVID_Control::Refresh() {
    for (int read = 0; read < kTransitionReads; ++read) {
        if (!m_pStatus->Read()) return 0;
        if (FieldOf(m_pStatus->m_dwLow, 13, 12) == 0) {
            Decode(m_pStatus->m_dwLow, m_pStatus->m_dwHigh);
            return 1;
        }
    }
    return 0;
}

float Core_2_FIDVID_Control::GetVoltage(int32_t vid) {
    if (vid < 0) return -1.0f;
    return (12.5f * static_cast<float>(vid) + (m_dwLowVoltageBase ? 712.5f : 825.0f)) * 0.001f;
}

void Core_2_FIDVID_Control::Decode(uint32_t low, uint32_t high) {
    m_iCurrentFID = HalfStepFID(low, 8, 14);
    m_iMinFID = HalfStepFID(low, 24, 30);
    m_iMaxFID = HalfStepFID(high, 8, 14);
    m_iCurrentVID = Code(low, 5, 0);
    m_iMaxVID = Code(high, 5, 0);
    if (m_pControl->Read()) m_iTargetFID = HalfStepFID(m_pControl->m_dwLow, 8, 14);
}

// ---- Nehalem, Sandy Bridge, Silvermont ----

float Nehalem_FIDVID_Control::GetVoltage(int32_t vid) {
    return vid < 0 ? -1.0f : 1.6125f - 0.00625f * static_cast<float>(vid);
}

void Nehalem_FIDVID_Control::Decode(uint32_t low, uint32_t) { m_iCurrentFID = Code(low, 15, 0); }

float Sandy_Bridge_FIDVID_Control::GetVoltage(int32_t vid) {
    return vid < 0 ? -1.0f : static_cast<float>(vid) * 0.0001220703125f;
}

void Sandy_Bridge_FIDVID_Control::Decode(uint32_t low, uint32_t high) {
    m_iCurrentFID = Code(low, 15, 8);
    m_iCurrentVID = Code(high, 15, 0);
}

float Silvermont_FIDVID_Control::GetVoltage(int32_t vid) {
    return vid < 0 ? -1.0f : static_cast<float>(vid) / 100.0f;
}

void Silvermont_FIDVID_Control::Decode(uint32_t low, uint32_t) {
    m_iCurrentFID = Code(low, 13, 8);
    m_iCurrentVID = Code(low, 7, 0);
}
