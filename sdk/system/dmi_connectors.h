// The structures that appear only in the report: port connectors (type 8),
// expansion slots (type 9) and OEM strings (type 11).
#pragma once

#include <memory>

#include "sdk/system/dmi_structure.h"

class CDMI_PortConnector : public CDMIStructure {
public:
    CDMI_PortConnector() : CDMIStructure(DMI_TYPE_PORT_CONNECTOR) {}
    void Fill(const DMIStructureView& structure);
    void Dump(CReportGenerator* report) override;

    CDMIText m_InternalDesignator;  // at most 127 characters
    CDMIText m_ExternalDesignator;  // at most 127 characters
    CDMIText m_PortType;
    CDMIText m_InternalConnector;
    CDMIText m_ExternalConnector;
};

class CDMI_ExtensionSlot : public CDMIStructure {
public:
    CDMI_ExtensionSlot() : CDMIStructure(DMI_TYPE_EXTENSION_SLOT) {}
    void Fill(const DMIStructureView& structure);
    void Dump(CReportGenerator* report) override;

    CDMIText m_Designation;      // at most 63 characters
    CDMIText m_SlotType;         // named, or the code in hexadecimal ("A5")
    int32_t m_iDataBusWidth = -1;  // bits
    int32_t m_iInUse = -1;         // 1 in use, 0 available
};

class CDMI_OEM_Strings : public CDMIStructure {
public:
    static constexpr int kSlots = 16;

    CDMI_OEM_Strings() : CDMIStructure(DMI_TYPE_OEM_STRINGS) {}
    void Fill(const DMIStructureView& structure);
    void Dump(CReportGenerator* report) override;

    int32_t m_iCount = -1;  // the count the structure states
    // The first sixteen strings, as stored; a slot whose string is missing
    // stays null.
    std::unique_ptr<CDMIText> m_pStrings[kSlots];
};
