// SMBIOS structure table bytes -> the DMI interface's walk, the structures
// it decodes, the first of each type and the DMI report section.
#include "sdk/core/report_generator.h"
#include "sdk/system/dmi_interface.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CDMIInterface dmi;
    dmi.DecodeTable(std::span<const uint8_t>(data, size));
    for (uint32_t type = 0; type <= 17; ++type) dmi.GetStructure(type);
    CReportGenerator_Buffer report;
    dmi.WriteReport(&report);
    return 0;
}
