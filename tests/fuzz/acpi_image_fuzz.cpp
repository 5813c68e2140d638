// acpi/ file bytes -> raw tables and acpidump text.
#include "machine/acpi_image.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vexa::machine;
    std::vector<AcpiTable> tables;
    std::string error;
    parseRawAcpiTables(std::span<const uint8_t>(data, size), tables, error);
    tables.clear();
    parseAcpidumpText(std::string_view(reinterpret_cast<const char*>(data), size), tables, error);
    return 0;
}
