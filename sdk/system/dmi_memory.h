// The memory structures: the memory controller (type 5) and memory modules
// (type 6) of older tables, the physical memory array (type 16) and memory
// devices (type 17) of newer ones. The query layer counts the type-6
// structures as memory slots (the type-17 ones when there are none) and
// those of a known size of at least 1 MB as populated.
#pragma once

#include "sdk/system/dmi_structure.h"

class CDMI_MemoryController : public CDMIStructure {
public:
    CDMI_MemoryController() : CDMIStructure(DMI_TYPE_MEMORY_CONTROLLER) {}
    void Fill(const DMIStructureView& structure);
    void Dump(CReportGenerator* report) override;

    CDMIText m_ErrorCorrection;     // the error detecting method
    int32_t m_iMaxModuleSizeMB = -1;
};

class CDMI_MemoryModule : public CDMIStructure {
public:
    CDMI_MemoryModule() : CDMIStructure(DMI_TYPE_MEMORY_MODULE) {}
    void Fill(const DMIStructureView& structure);
    void Dump(CReportGenerator* report) override;

    CDMIText m_Designation;
    int32_t m_iInstalledSizeMB = -1;
    int32_t m_iBankCount = -1;  // 2 for a double-bank connection, else 1
};

class CDMI_PhysicalMemoryArray : public CDMIStructure {
public:
    CDMI_PhysicalMemoryArray() : CDMIStructure(DMI_TYPE_PHYSICAL_MEMORY_ARRAY) {}
    void Fill(const DMIStructureView& structure);
    void Dump(CReportGenerator* report) override;

    CDMIText m_Location;
    CDMIText m_Use;
    CDMIText m_ErrorCorrection;
    int32_t m_iMaxCapacityMB = -1;
    int32_t m_iDeviceCount = -1;
};

class CDMI_MemoryDevice : public CDMIStructure {
public:
    CDMI_MemoryDevice() : CDMIStructure(DMI_TYPE_MEMORY_DEVICE) {}
    void Fill(const DMIStructureView& structure);
    void Dump(CReportGenerator* report) override;

    CDMIText m_DeviceLocator;   // as stored, not cleaned
    CDMIText m_FormFactor;
    CDMIText m_MemoryType;      // DRAM ... DDR; later types stay empty
    int32_t m_iTotalWidth = -1;  // bits
    int32_t m_iDataWidth = -1;   // bits
    // MB; the word at 0x0C. A size given in KB (bit 15) keeps bits 14-10,
    // so less than 1024 KB is 0 MB; 0x7FFF, which points at the extended
    // size field of newer tables, is taken as 32767 MB.
    int32_t m_iSizeMB = -1;
    int32_t m_iSpeedMHz = -1;    // the speed word at 0x15
};
