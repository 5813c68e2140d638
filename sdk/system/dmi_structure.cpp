#include "sdk/system/dmi_structure.h"

#include <algorithm>
#include <cstring>

#include "sdk/core/report_generator.h"
#include "sdk/system/dmi_connectors.h"
#include "sdk/system/dmi_identity.h"
#include "sdk/system/dmi_memory.h"
#include "sdk/system/dmi_processor.h"
#include "sdk/system/dmi_table.h"

void CopyDMIString(CDMIText& text, const DMIStructureView& structure, size_t offset,
                   size_t maxChars, DMITextMode mode) {
    const auto index = structure.Byte(offset);
    if (!index) return;
    const auto found = DMIString(structure, *index);
    if (!found) return;
    const size_t length = std::min({found->size(), maxChars, CDMIText::kSize - 1});
    char* buffer = text.Buffer();
    std::memcpy(buffer, found->data(), length);
    buffer[length] = '\0';
    if (mode == DMITextMode::Cleaned) DMICleanText(buffer);
}

void SetDMIText(CDMIText& text, const char* name) {
    if (!name) return;
    char* buffer = text.Buffer();
    const size_t length = strnlen(name, CDMIText::kSize - 1);
    std::memcpy(buffer, name, length);
    buffer[length] = '\0';
}

void CDMIStructure::PrintHeading(CReportGenerator* report, const char* title) {
    report->PrintField(title, "\t\t", "%s", "");
}

void CDMIStructure::PrintText(CReportGenerator* report, const char* label, const char* pad,
                              const CDMIText& text) {
    report->PrintField(label, pad, "%s", text.OrUnknown());
}

namespace {

template <typename T>
CDMIStructure* Decoded(const DMIStructureView& structure) {
    auto* decoded = new T;
    decoded->Fill(structure);
    return decoded;
}

} // namespace

CDMIStructure* CreateDMIStructure(const DMIStructureView& structure) {
    switch (structure.Type()) {
    case DMI_TYPE_BIOS: return Decoded<CDMI_Bios>(structure);
    case DMI_TYPE_SYSTEM: return Decoded<CDMI_System>(structure);
    case DMI_TYPE_BASEBOARD: return Decoded<CDMI_Baseboard>(structure);
    case DMI_TYPE_ENCLOSURE: return Decoded<CDMI_SystemEnclosure>(structure);
    case DMI_TYPE_PROCESSOR: return Decoded<CDMI_Processor>(structure);
    case DMI_TYPE_MEMORY_CONTROLLER: return Decoded<CDMI_MemoryController>(structure);
    case DMI_TYPE_MEMORY_MODULE: return Decoded<CDMI_MemoryModule>(structure);
    case DMI_TYPE_PORT_CONNECTOR: return Decoded<CDMI_PortConnector>(structure);
    case DMI_TYPE_EXTENSION_SLOT: return Decoded<CDMI_ExtensionSlot>(structure);
    case DMI_TYPE_OEM_STRINGS: return Decoded<CDMI_OEM_Strings>(structure);
    case DMI_TYPE_PHYSICAL_MEMORY_ARRAY: return Decoded<CDMI_PhysicalMemoryArray>(structure);
    case DMI_TYPE_MEMORY_DEVICE: return Decoded<CDMI_MemoryDevice>(structure);
    default: return nullptr;
    }
}
