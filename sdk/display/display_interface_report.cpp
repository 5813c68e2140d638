// The graphics sections of the reports.
#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/display/display_adapter.h"
#include "sdk/display/display_api.h"
#include "sdk/display/display_interface.h"
#include "sdk/display/edid.h"
#include "sdk/system/wmi_interface.h"

void CDisplayInterface::DumpAdapters(CReportGenerator* report) {
    report->PrintTitle("Display Adapters");
    CTListIterator<CDevice> it(Adapters);
    for (CDevice* adapter = it.GetFirst(); adapter; adapter = it.GetNext()) {
        adapter->Dump(report);
        report->PrintBlankLine();
    }
}

// AdapterRAM, DriverVersion and DriverDate of every Win32_VideoController.
void CDisplayInterface::DumpVideoControllers(CReportGenerator* report) {
    CWMIInterface* wmi = GetSDK()->m_pWMI;
    if (!wmi || !wmi->Connect(L"\\\\.\\root\\cimv2")) return;
    static constexpr struct {
        const wchar_t* property;
        const char* name;
        bool integer;
    } kLines[] = {{L"AdapterRAM", "AdapterRAM", true},
                  {L"DriverVersion", "DriverVersion", false},
                  {L"DriverDate", "DriverDate", false}};
    for (const auto& line : kLines) {
        if (wmi->QueryProperty("Win32_VideoController", line.property) <= 0) continue;
        CTListIterator<CWMI_Property> values(wmi->m_pProperties);
        for (CWMI_Property* value = values.GetFirst(); value; value = values.GetNext()) {
            if (line.integer)
                report->PrintField("Win32_VideoController", "\t\t", "AdapterRAM = 0x%X (%u)",
                                   uint32_t(value->m_iValue), uint32_t(value->m_iValue));
            else
                report->PrintField("Win32_VideoController", "\t\t", "%s = %s", line.name, value->m_szText);
        }
    }
    wmi->Disconnect();
}

void CDisplayInterface::Dump(CReportGenerator* report) {
    report->PrintTitle("Graphic APIs");
    CTListIterator<CDisplayAPI> apis(APIs);
    for (CDisplayAPI* api = apis.GetFirst(); api; api = apis.GetNext()) api->Dump(report);
    report->PrintBlankLine();
    DumpAdapters(report);
    DumpVideoControllers(report);
    report->PrintBlankLine();
    CTListIterator<_EDID_INFOS> monitors(Monitors);
    int number = 0;
    for (_EDID_INFOS* monitor = monitors.GetFirst(); monitor; monitor = monitors.GetNext())
        DumpMonitor(*monitor, number++, report);
}
