// The report bodies' calls into the detection domains: each domain writes
// its own section. Every domain named below is not part of this build yet;
// see domain_steps.h for why these bodies do nothing.
#include "app/domain_steps.h"

namespace domain_steps {

// Wait for the display domain (Dump, DumpAdapters).
void DumpDisplay(CDisplayInterface*, CReportGenerator*) {}
void DumpDisplayAdapters(CDisplayInterface*, CReportGenerator*) {}

} // namespace domain_steps
