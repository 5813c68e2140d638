#include "platform/firmware_tables.h"

#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "machine/machine.h"

namespace {

// The 'RSMB' block of the current machine: header and structure table.
std::optional<std::vector<uint8_t>> rawSmbiosBlock() {
    const auto smbios = vexa::machine::current().smbios();
    if (!smbios) return std::nullopt;
    const std::vector<uint8_t>& table = smbios->table;
    if (table.size() > std::numeric_limits<DWORD>::max() - sizeof(RawSMBIOSHeader)) return std::nullopt;
    const RawSMBIOSHeader header{0, smbios->majorVersion, smbios->minorVersion, smbios->docRevision,
                                 static_cast<DWORD>(table.size())};
    std::vector<uint8_t> block(sizeof header + table.size());
    std::memcpy(block.data(), &header, sizeof header);
    std::copy(table.begin(), table.end(), block.begin() + sizeof header);
    return block;
}

// The first ACPI table whose signature, read as a little-endian dword,
// equals `signature`.
std::optional<std::vector<uint8_t>> acpiTable(DWORD signature) {
    const char wanted[4] = {static_cast<char>(signature), static_cast<char>(signature >> 8),
                            static_cast<char>(signature >> 16), static_cast<char>(signature >> 24)};
    for (auto& table : vexa::machine::current().acpiTables()) {
        if (table.signature.size() == sizeof wanted &&
            std::memcmp(table.signature.data(), wanted, sizeof wanted) == 0)
            return std::move(table.bytes);
    }
    return std::nullopt;
}

} // namespace

UINT GetSystemFirmwareTable(DWORD provider, DWORD tableId, PVOID buffer, DWORD size) {
    std::optional<std::vector<uint8_t>> table;
    switch (provider) {
    case FIRMWARE_PROVIDER_RSMB:
        table = rawSmbiosBlock();
        break;
    case FIRMWARE_PROVIDER_ACPI:
        table = acpiTable(tableId);
        break;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!table || table->empty() || table->size() > std::numeric_limits<UINT>::max()) {
        SetLastError(ERROR_NOT_FOUND);
        return 0;
    }
    const UINT needed = static_cast<UINT>(table->size());
    if (!buffer || size < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return needed;
    }
    std::memcpy(buffer, table->data(), needed);
    return needed;
}
