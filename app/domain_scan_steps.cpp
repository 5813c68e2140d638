// The scan's calls into the parts of the detection domains that are not
// part of this build yet; see domain_steps.h for why these bodies do
// nothing.
#include "app/domain_steps.h"

namespace domain_steps {

// Waits for the display domain (NVAPI_DisplayAPI::PrePCIScan).
void ProbeNVIDIADriverAPI() {}

} // namespace domain_steps
