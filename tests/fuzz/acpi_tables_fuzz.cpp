// ACPI table bytes -> every reader of the ACPI domain: the table's bounds,
// the FADT fields, the HPET base, the 'TAMG' board record, the RSDT entries
// of the whole table and of the legacy path's 104-byte copy, and the root
// pointer search.
#include <algorithm>

#include "sdk/system/acpi_interface.h"
#include "sdk/system/acpi_tables.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    const ACPITableView table(bytes);
    ReadACPIFADT(table);
    if (const auto base = ReadACPIHPETBase(table)) base->IsSystemMemory();
    FindACPIBoardRecord(table);
    ACPIRSDTEntries(table);
    ACPIRSDTEntries(ACPITableView(bytes.first(std::min<size_t>(size, CACPIInterface::kRSDTCopySize))));
    FindACPIRootPointer(bytes);
    return 0;
}
