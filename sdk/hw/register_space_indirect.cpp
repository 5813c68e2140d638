#include "sdk/hw/register_space_indirect.h"

CIndirectRegisterSpace::~CIndirectRegisterSpace() { delete m_pRequest; }

int CIndirectRegisterSpace::Run(uint32_t operation, uint8_t reg) {
    if (!m_pInner || !m_pRequest) return 0;
    m_pRequest->m_dwOperation = operation;
    m_pRequest->m_dwRegister = reg;
    // Inside an access of ours: the caller holds the locks already.
    return m_pInner->ExecuteUnlocked(m_pRequest);
}

int CIndirectRegisterSpace::WriteIndex(uint32_t index) {
    if (m_pRequest) m_pRequest->m_dwData = index;
    return Run(IOOP_WRITE_DWORD, m_byIndexRegister);
}

int CIndirectRegisterSpace::ReadData(uint32_t* value) {
    if (value) *value = 0xFFFFFFFF;
    if (!m_pRequest) return 0;
    // What a failed read answers, whichever inner space runs it.
    m_pRequest->m_dwData = 0xFFFFFFFF;
    const int result = Run(IOOP_READ_DWORD, m_byDataRegister);
    if (value) *value = result ? m_pRequest->m_dwData : 0xFFFFFFFF;
    return result;
}

int CIndirectRegisterSpace::ReadIndexed(uint32_t index, uint32_t* value) {
    if (value) *value = 0xFFFFFFFF;
    if (!WriteIndex(index)) return 0;
    return ReadData(value);
}
