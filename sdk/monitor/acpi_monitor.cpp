#include "sdk/monitor/acpi_monitor.h"

#include "sdk/core/helpers.h"
#include "sdk/core/sensor.h"
#include "sdk/monitor/late_sensor.h"
#include "sdk/system/acpi_interface.h"
#include "sdk/system/acpi_node.h"

namespace {

constexpr uint32_t kACPIDivider = 3;
// Tenths of kelvin at 0 degrees C.
constexpr uint32_t kZeroCelsiusTenthsKelvin = 2732;
// Readings below this are whole degrees C already.
constexpr uint32_t kLargestCelsiusReading = 199;

struct ControllerMethod {
    const char* device;
    const char* method;
    const char* sensorName;
};

// The embedded-controller methods, device by device in search order.
constexpr ControllerMethod kControllerMethods[] = {
    {"H8EC", "CTMP", "CTMP"}, {"H8EC", "GTMP", "GTMP"}, {"EC0_", "CUTP", "CPU"},  {"EC0_", "PHTP", "PCH"},
    {"EC0_", "DIMT", "DIMM"}, {"EC0_", "INLE", "Inlet"}, {"EC0_", "PANT", "Pant"},
};

// A copy of a node the caller keeps after the walk's nodes are deleted.
CACPITreeNode* CopyNode(const CACPITreeNode* node) {
    uint32_t record[CACPITreeNode::kRecordDwords] = {node->GetHandleHigh(), node->GetHandleLow()};
    for (size_t i = 0; i < CACPITreeNode::kFieldCount; ++i) record[2 + i] = node->m_dwFields[i];
    record[8] = node->m_dwName;
    return new CACPITreeNode(record);
}

// The first integer a method returned; false when it failed or gave none.
bool EvaluateFirstValue(CACPIInterface* acpi, CACPITreeNode* node, uint32_t* value) {
    CTList<CACPIMethod> results;
    const bool ok = acpi->EvaluateMethod(node, &results) && results.GetCount() > 0;
    if (ok) *value = CTListIterator<CACPIMethod>(&results).GetFirst()->m_dwValue;
    results.DeleteAll();
    return ok;
}

} // namespace

CACPIHardwareMonitor::CACPIHardwareMonitor(CACPIInterface* acpi)
    : CHardwareMonitor(MONITOR_ACPI, 0xFFFFFFFF), m_pACPI(acpi) {
    FormatString(m_szName, sizeof m_szName, "ACPI");
    m_dwUpdateDivider = kACPIDivider;
}

CACPIHardwareMonitor::~CACPIHardwareMonitor() {
    if (!m_pRecords) return;
    CTListIterator<_stACPISensor> it(m_pRecords);
    for (_stACPISensor* record = it.GetFirst(); record; record = it.GetNext()) {
        delete record->thermalZoneMethod;
        delete record->controllerMethod;
        delete record->temperatureAndFanMethod;
        delete record;
    }
    m_pRecords->RemoveAll();
    delete m_pRecords;
}

void CACPIHardwareMonitor::AddRecord(CSensor* temperature, CSensor* fan, CACPITreeNode* zone,
                                     CACPITreeNode* controller, CACPITreeNode* combined) {
    if (!m_pRecords) m_pRecords = new CTList<_stACPISensor>;
    m_pRecords->AddTail(new _stACPISensor {temperature, fan, zone, controller, combined});
}

CSensor* CACPIHardwareMonitor::NewTemperature(const char* name) {
    CSensor* sensor = nullptr;
    return MaterialiseSensor<CTemperatureSensor>(*this, sensor, uint8_t(m_dwNextTemperature++), name);
}

// Every thermal zone below \_TZ_ with a _TMP method, named after the zone.
void CACPIHardwareMonitor::FindThermalZones(CACPITreeNode* root, CTList<CACPITreeNode>* walk) {
    CACPITreeNode* zones = m_pACPI->FindChild(root, "_TZ_", walk);
    if (!zones) return;
    CTList<CACPITreeNode> children;
    m_pACPI->FindChild(zones, nullptr, &children);
    CTListIterator<CACPITreeNode> it(&children);
    for (CACPITreeNode* zone = it.GetFirst(); zone; zone = it.GetNext()) {
        CACPITreeNode* method = m_pACPI->FindChild(zone, "_TMP", walk);
        if (!method) continue;
        char zoneName[5];
        zone->GetName(zoneName);
        char name[16];
        if (zoneName[0]) FormatString(name, sizeof name, "%s", zoneName);
        else FormatString(name, sizeof name, "TMP%u", m_dwNextTemperature);
        AddRecord(NewTemperature(name), nullptr, CopyNode(method), nullptr, nullptr);
    }
    children.DeleteAll();
}

void CACPIHardwareMonitor::FindControllerMethods(CACPITreeNode* root, CTList<CACPITreeNode>* walk) {
    const char* searched = nullptr;
    CACPITreeNode* device = nullptr;
    for (const ControllerMethod& row : kControllerMethods) {
        if (row.device != searched) {
            searched = row.device;
            device = m_pACPI->FindNode(root, row.device, walk);
        }
        if (!device) continue;
        if (CACPITreeNode* method = m_pACPI->FindChild(device, row.method, walk))
            AddRecord(NewTemperature(row.sensorName), nullptr, nullptr, CopyNode(method), nullptr);
    }
}

void CACPIHardwareMonitor::FindTemperatureAndFan(CACPITreeNode* root, CTList<CACPITreeNode>* walk) {
    CACPITreeNode* device = m_pACPI->FindNode(root, "ATKD", walk);
    CACPITreeNode* method = device ? m_pACPI->FindChild(device, "TMPR", walk) : nullptr;
    if (!method) return;
    const uint8_t index = uint8_t(m_dwNextTemperature);
    CSensor* temperature = NewTemperature("CPU");
    CSensor* fan = nullptr;
    MaterialiseSensor<CFanSensor>(*this, fan, index, "CPU");
    AddRecord(temperature, fan, nullptr, nullptr, CopyNode(method));
}

int CACPIHardwareMonitor::CreateSensors() {
    if (m_bWalked) return 1;
    CTList<CACPITreeNode> walk;
    CACPITreeNode* root = m_pACPI ? m_pACPI->GetRootNode() : nullptr;
    if (root) {
        CACPIInterface::KeepNode(root, &walk);
        FindThermalZones(root, &walk);
        FindControllerMethods(root, &walk);
        FindTemperatureAndFan(root, &walk);
    }
    walk.DeleteAll();
    m_bWalked = true;
    return m_pRecords && m_pRecords->GetCount() > 0 ? 1 : 0;
}

int CACPIHardwareMonitor::Update() {
    CTListIterator<_stACPISensor> it(m_pRecords);
    for (_stACPISensor* record = it.GetFirst(); record; record = it.GetNext()) {
        CACPITreeNode* node = record->thermalZoneMethod ? record->thermalZoneMethod
                              : record->controllerMethod ? record->controllerMethod
                                                         : record->temperatureAndFanMethod;
        uint32_t value = 0;
        if (!node || !EvaluateFirstValue(m_pACPI, node, &value)) continue;
        if (node == record->temperatureAndFanMethod) {
            if (!record->fan) continue;
            const uint32_t rpm = ((value >> 16) & 0xFF) * 100;
            record->fan->m_dwRawValue = rpm;
            record->fan->SetValue(float(rpm), 1);
            continue;
        }
        if (!record->temperature) continue;
        record->temperature->m_dwRawValue = value;
        if (value > kZeroCelsiusTenthsKelvin)
            record->temperature->SetValue(float(value - kZeroCelsiusTenthsKelvin) * 0.1f, 1);
        else if (value < kLargestCelsiusReading)
            record->temperature->SetValue(float(value), 1);
    }
    return 1;
}
