// ACPI tables of a machine image's acpi/ folder. Each file there holds
// either raw tables (one, or several back to back, as `acpidump -b` and
// /sys/firmware/acpi/tables give them) or the text `acpidump` prints
// ("DSDT @ 0x..." followed by "    0000: 44 53 44 54 ..." rows).
#pragma once

#include "machine/machine.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexa::machine {

// The four-character signature at the start of a table ("RSDP" for the
// root pointer, whose anchor is "RSD PTR "). Needs at least 4 bytes.
std::string acpiSignature(std::span<const uint8_t> bytes);

// True when `bytes` start with a printable signature and a length field
// that covers at least the signature and length and fits in `bytes`.
bool startsWithAcpiTable(std::span<const uint8_t> bytes);

// Raw tables back to back; every byte must belong to a table.
bool parseRawAcpiTables(std::span<const uint8_t> bytes, std::vector<AcpiTable>& tables, std::string& error);

// acpidump text; `error` names the line of a malformed row.
bool parseAcpidumpText(std::string_view text, std::vector<AcpiTable>& tables, std::string& error);

class ImageFiles;

// Every regular file of the image's acpi/ folder in name order (sub-folders
// are not looked into). A missing folder gives no tables and succeeds.
bool loadAcpiFolder(ImageFiles& image, std::vector<AcpiTable>& tables, std::string& error);

} // namespace vexa::machine
