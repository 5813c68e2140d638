// The query layer's calls into the storage domain.
#include "app/domain_steps.h"
#include "sdk/core/interface.h"
#include "sdk/system/storage_interface.h"

namespace domain_steps {

CStorageInterface* AsStorageInterface(CInterface* found) {
    return found && found->GetType() == INTERFACE_STORAGE ? static_cast<CStorageInterface*>(found) : nullptr;
}

void DumpStorage(CStorageInterface* storage, CReportGenerator* report) {
    if (storage) storage->Dump(report);
}

} // namespace domain_steps
