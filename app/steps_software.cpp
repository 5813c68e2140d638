// The query layer's calls into the software domain.
#include "app/domain_steps.h"
#include "sdk/core/helpers.h"
#include "sdk/system/software_interface.h"

namespace domain_steps {

int VirtualMachineKind(CSoftwareInterface* software) { return software ? software->m_iVirtualMachine : 0; }

void SoftwareTexts(CSoftwareInterface* software, char (&osName)[kDomainTextBytes], char (&osBuild)[kDomainTextBytes],
                   char (&directX)[kDomainTextBytes]) {
    osName[0] = osBuild[0] = directX[0] = '\0';
    if (!software) return;
    FormatString(osName, sizeof osName, "%s", software->m_szWindowsName);
    FormatString(osBuild, sizeof osBuild, "%s", software->m_szBuild);
    FormatString(directX, sizeof directX, "%s", software->m_szDirectX);
}

} // namespace domain_steps
