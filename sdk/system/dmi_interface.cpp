#include "sdk/system/dmi_interface.h"

#include <algorithm>
#include <cstdint>

#include "sdk/core/report_generator.h"
#include "sdk/system/dmi_table.h"

CDMIInterface::CDMIInterface()
    : CInterface(INTERFACE_DMI), m_pStructures(new CTList<CDMIStructure>),
      m_TableBuffer(kInitialBufferSize) {}

CDMIInterface::~CDMIInterface() {
    m_pStructures->DeleteAll();
    delete m_pStructures;
}

int CDMIInterface::Init() {
    m_Header.tableLength = 0;
    m_dwTableLength = 0;
    if (!ReadFirmwareTable() && !ReadWMITable()) ScanLegacyBIOSArea();
    if (m_dwTableLength == 0) return 0;
    Walk();
    return 1;
}

int CDMIInterface::DecodeTable(std::span<const uint8_t> table) {
    if (table.empty() || table.size() > UINT32_MAX) return 0;
    m_dwTableLength = static_cast<uint32_t>(table.size());
    std::copy(table.begin(), table.end(), PrepareBuffer(m_dwTableLength));
    Walk();
    return 1;
}

uint8_t* CDMIInterface::PrepareBuffer(uint32_t length) {
    if (length > m_TableBuffer.size()) m_TableBuffer = std::vector<uint8_t>(length);
    return m_TableBuffer.data();
}

void CDMIInterface::Walk() {
    const size_t length = std::min<size_t>(m_dwTableLength, m_TableBuffer.size());
    DMITableWalk walk(std::span<const uint8_t>(m_TableBuffer.data(), length));
    while (const auto structure = walk.Next()) {
        if (CDMIStructure* decoded = CreateDMIStructure(*structure)) m_pStructures->AddTail(decoded);
    }
}

CDMIStructure* CDMIInterface::GetStructure(uint32_t type) {
    CTListIterator<CDMIStructure> it(m_pStructures);
    for (CDMIStructure* structure = it.GetFirst(); structure; structure = it.GetNext()) {
        if (structure->m_dwType == type) return structure;
    }
    return nullptr;
}

void CDMIInterface::WriteReport(CReportGenerator* report) {
    if (!report) return;
    CTListIterator<CDMIStructure> it(m_pStructures);
    for (CDMIStructure* structure = it.GetFirst(); structure; structure = it.GetNext()) {
        structure->Dump(report);
        report->PrintBlankLine();
    }
}
