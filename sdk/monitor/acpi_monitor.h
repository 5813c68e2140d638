// Temperatures (and one fan) that the firmware reports through ACPI
// methods: the thermal zones' _TMP and the vendor methods of a few
// embedded-controller devices. The namespace is walked once; every refresh
// evaluates the method nodes kept from that walk.
#pragma once

#include "sdk/core/list.h"
#include "sdk/monitor/hardware_monitor.h"

class CACPIInterface;
class CACPITreeNode;
class CSensor;

// One reading: exactly one of the three method nodes (owned copies) is set.
struct _stACPISensor {
    CSensor* temperature;
    CSensor* fan;
    CACPITreeNode* thermalZoneMethod;
    CACPITreeNode* controllerMethod;
    CACPITreeNode* temperatureAndFanMethod;
};

class CACPIHardwareMonitor : public CHardwareMonitor {
public:
    explicit CACPIHardwareMonitor(CACPIInterface* acpi);
    ~CACPIHardwareMonitor() override;

    // Walks the namespace on the first call: 1 when a method was found.
    // Later calls return 1 without walking.
    int CreateSensors() override;
    int Update() override;

    CACPIInterface* m_pACPI;                 // not owned
    CTList<_stACPISensor>* m_pRecords = nullptr;  // owned, with the records
    bool m_bWalked = false;

private:
    void AddRecord(CSensor* temperature, CSensor* fan, CACPITreeNode* zone, CACPITreeNode* controller,
                   CACPITreeNode* combined);
    CSensor* NewTemperature(const char* name);
    void FindThermalZones(CACPITreeNode* root, CTList<CACPITreeNode>* walk);
    void FindControllerMethods(CACPITreeNode* root, CTList<CACPITreeNode>* walk);
    void FindTemperatureAndFan(CACPITreeNode* root, CTList<CACPITreeNode>* walk);
    uint32_t m_dwNextTemperature = 0;
};
