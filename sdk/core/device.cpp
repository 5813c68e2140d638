#include "sdk/core/device.h"

#include "sdk/chipset/module_info.h"
#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/core/sensor.h"

namespace {

void copyName(char (&destination)[256], const char* name) {
    FormatString(destination, sizeof destination, "%s", name ? name : "");
}

} // namespace

CCompositeDevice::~CCompositeDevice() {
    delete m_pChildren;
    delete m_pSensors;
}

void CCompositeDevice::AddChild(CDevice* child) {
    if (!m_pChildren) m_pChildren = new CTList<CDevice>;
    m_pChildren->AddTail(child);
}

void CCompositeDevice::AddSensor(CSensor* sensor) {
    if (!m_pSensors) m_pSensors = new CTList<CSensor>;
    m_pSensors->AddTail(sensor);
}

CSensor* CCompositeDevice::FindSensor(CSensor* sensor) const {
    CTListIterator<CSensor> it(m_pSensors);
    for (CSensor* s = it.GetFirst(); s; s = it.GetNext()) {
        if (s == sensor) return s;
    }
    return nullptr;
}

CMainboard::CMainboard(const char* name) : CCompositeDevice(DEVICE_MAINBOARD) {
    copyName(m_szName, name);
}

void CMainboard::Dump(CReportGenerator* report) {
    report->PrintField("\tName", "\t\t\t", "%s", m_szName);
}

CMemoryModule::CMemoryModule(const char* name) : CCompositeDevice(DEVICE_MEMORY_MODULE) {
    copyName(m_szName, name);
}

const char* CMemoryModule::GetSerialNumber() {
    return m_pModuleInfo ? m_pModuleInfo->m_szSerialNumber : nullptr;
}

CWaterCooler::CWaterCooler(const char* name) : CCompositeDevice(DEVICE_WATER_COOLER) {
    copyName(m_szName, name);
}
