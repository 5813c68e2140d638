#include "sdk/display/display_api_support.h"

#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/io_space.h"

CIOSpace* SharedMemoryWindow(uint32_t base, uint32_t size, bool resize) {
    if (base == 0) return nullptr;
    BRENIKSDK* sdk = GetSDK();
    CIOSpace* window = sdk->FindIOSpace(0, base, IOSPACE_MEMORY);
    if (window) {
        if (resize) window->m_dwSize = size;
        return window;
    }
    window = new CMemoryIOSpace(0, base, size);
    sdk->m_pIOSpaces->AddTail(window);
    return window;
}

void DumpAPIField(CReportGenerator* report, const char* value) {
    if (report) report->PrintField("API", "\t\t\t\t", "%s", value);
}

void DumpAPISection(CReportGenerator* report, const char* value) {
    if (!report) return;
    char title[256];
    FormatString(title, sizeof title, "API %s", value);
    report->PrintSectionTitle(title);
}
