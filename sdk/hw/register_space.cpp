#include "sdk/hw/register_space.h"

#include "sdk/core/report_generator.h"
#include "sdk/hw/io_space.h"

uint32_t CRegisterSpace::GetBaseHigh() { return m_pIOSpace ? m_pIOSpace->GetBaseHigh() : 0xFFFFFFFF; }

uint32_t CRegisterSpace::GetBaseLow() { return m_pIOSpace ? m_pIOSpace->GetBaseLow() : 0xFFFFFFFF; }

uint32_t CRegisterSpace::GetSize() { return m_pIOSpace ? m_pIOSpace->GetSize() : 0xFFFFFFFF; }

void CRegisterSpace::Dump(CReportGenerator* report) {
    if (!report) return;
    const uint32_t low = GetBaseLow();
    if (low == 0xFFFFFFFF) {
        report->PrintField("Register space", "\t\t", "class = 0x%X", m_dwClass);
    } else {
        report->PrintField("Register space", "\t\t", "class = 0x%X, base address = 0x%X%X", m_dwClass,
                           GetBaseHigh(), low);
    }
}

int CRegisterSpace::ReadByte(uint32_t offset, uint8_t* value) {
    return m_pIOSpace ? m_pIOSpace->ReadByte(offset, value) : 0;
}

int CRegisterSpace::WriteByte(uint32_t offset, uint32_t value) {
    return m_pIOSpace ? m_pIOSpace->WriteByte(offset, value) : 0;
}
