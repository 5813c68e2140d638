// The query layer's calls into the ACPI domain.
#include "app/domain_steps.h"
#include "sdk/system/acpi_interface.h"

namespace domain_steps {

void DumpACPI(CACPIInterface* acpi, CReportGenerator* report) {
    if (acpi) acpi->Dump(report);
}

} // namespace domain_steps
