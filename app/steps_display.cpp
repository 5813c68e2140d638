// The query layer's calls into the display domain.
#include "app/domain_steps.h"
#include "sdk/display/display_interface.h"

namespace domain_steps {

void RefreshDisplay(CDisplayInterface* display) {
    if (display) display->Refresh();
}

void DumpDisplay(CDisplayInterface* display, CReportGenerator* report) {
    if (display) display->Dump(report);
}

void DumpDisplayAdapters(CDisplayInterface* display, CReportGenerator* report) {
    if (display) display->DumpAdapters(report);
}

} // namespace domain_steps
