#include "sdk/cpu/fidvid_via.h"

void CNA_FIDVID_Control::Decode(uint32_t low, uint32_t high) {
    m_iCurrentFID = static_cast<int32_t>(FieldOf(low, 12, 8));
    m_iMinFID = static_cast<int32_t>(FieldOf(low, 28, 24));
    m_iMaxFID = static_cast<int32_t>(FieldOf(high, 12, 8));
}
