#include "sdk/display/display_api_creation.h"

#include "sdk/display/display_adapter.h"
#include "sdk/display/adl_api.h"
#include "sdk/display/ati_directio_api.h"
#include "sdk/display/display_api.h"
#include "sdk/display/display_interface.h"
#include "sdk/display/intel_directio_api.h"
#include "sdk/display/nvapi_api.h"
#include "sdk/display/nvidia_io_api.h"

namespace {

bool HasVendor(CDisplayInterface* display, uint16_t vendor) {
    CTListIterator<CDevice> it(display->Adapters);
    for (CDevice* adapter = it.GetFirst(); adapter; adapter = it.GetNext())
        if (static_cast<CDisplayAdapter*>(adapter)->GetVendorID() == vendor) return true;
    return false;
}

void AddIfUsable(CDisplayInterface* display, CDisplayAPI* api) {
    if (api->Init())
        display->APIs->AddTail(api);
    else
        delete api;
}

} // namespace

void CreateDisplayAPIs(CDisplayInterface* display) {
    if (!display) return;
    if (HasVendor(display, 0x10DE)) {
        AddIfUsable(display, new NVIDIA_DirectIO_DisplayAPI);
        if (display->Flags & UseVendorLibraries) AddIfUsable(display, new NVAPI_DisplayAPI);
    }
    if (HasVendor(display, 0x1002)) {
        AddIfUsable(display, new ATI_DirectIO_DisplayAPI);
        if (display->Flags & UseVendorLibraries) AddIfUsable(display, new ADL_SDK_DisplayAPI);
    }
    if (HasVendor(display, 0x8086)) AddIfUsable(display, new Intel_DirectIO_DisplayAPI);
}
