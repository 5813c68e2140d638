// The query layer's calls into the SMBIOS (DMI) domain.
#include "app/domain_steps.h"
#include "sdk/core/helpers.h"
#include "sdk/system/dmi_identity.h"
#include "sdk/system/dmi_interface.h"

namespace domain_steps {

bool BaseboardNames(CDMIInterface* dmi, char (&manufacturer)[kDomainTextBytes],
                    char (&product)[kDomainTextBytes]) {
    manufacturer[0] = product[0] = '\0';
    auto* board = dmi ? static_cast<CDMI_Baseboard*>(dmi->GetStructure(DMI_TYPE_BASEBOARD)) : nullptr;
    if (!board) return false;
    FormatString(manufacturer, sizeof manufacturer, "%s", board->m_Manufacturer.Get());
    FormatString(product, sizeof product, "%s", board->m_Product.Get());
    return true;
}

void WriteDMIReport(CDMIInterface* dmi, CReportGenerator* report) {
    if (dmi) dmi->WriteReport(report);
}

} // namespace domain_steps
