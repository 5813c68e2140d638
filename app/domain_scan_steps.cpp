// The scan's call into the display domain before the PCI bus is
// scanned: the NVIDIA driver library is loaded and touches every GPU once.
#include "app/domain_steps.h"

#include "sdk/display/nvapi_api.h"

namespace domain_steps {

void ProbeNVIDIADriverAPI() {
    NVAPI_DisplayAPI probe;
    probe.PrePCIScan();
}

} // namespace domain_steps
