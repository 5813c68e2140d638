// The processor structure (type 4). The processor domain falls back on its
// external clock as the bus clock, and the chipset domain chooses a memory
// ratio with it.
#pragma once

#include "sdk/system/dmi_structure.h"

class CDMI_Processor : public CDMIStructure {
public:
    CDMI_Processor() : CDMIStructure(DMI_TYPE_PROCESSOR) {}
    void Fill(const DMIStructureView& structure);
    void Dump(CReportGenerator* report) override;

    CDMIText m_Manufacturer;       // at most 127 characters
    CDMIText m_Version;            // at most 127 characters
    float m_fCurrentSpeed = -1.0f;  // MHz; 0 in the table is unknown
    float m_fExternalClock = -1.0f;  // MHz; 0 in the table is unknown
    // Current speed over external clock, on a multiple of 0.5; known when
    // both are.
    float m_fMultiplier = -1.0f;
};
