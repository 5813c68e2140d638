// The SMBIOS firmware tables of a machine: the smbios.bin file of a machine
// image (the layout `dmidecode --dump-bin` writes: an entry point at offset
// 0 and the structure table at the offset the entry point names, or a bare
// structure table) and the pair of files Linux publishes under
// /sys/firmware/dmi/tables. Every length and offset is checked against the
// bytes at hand.
#pragma once

#include "machine/machine.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vexa::machine {

struct SmbiosEntryPoint {
    size_t length = 0;              // bytes of the entry point structure
    uint8_t majorVersion = 0, minorVersion = 0, docRevision = 0;
    uint64_t tableAddress = 0;
    uint32_t tableLength = 0;
    bool lengthIsMaximum = false;   // 3.x gives a maximum size, 2.x the exact length
};

enum class EntryPointCheck { NoAnchor, Valid, Invalid };

// Decodes the entry point at the start of `bytes`. NoAnchor when the bytes
// start with neither "_SM_" nor "_SM3_"; Invalid (with `error`) when an
// anchor is there but the structure is cut short, has a bad length or a
// bad checksum.
EntryPointCheck decodeSmbiosEntryPoint(std::span<const uint8_t> bytes, SmbiosEntryPoint& entry,
                                       std::string& error);

struct SmbiosVersion {
    uint8_t major = 0, minor = 0, docRevision = 0;
};

// A whole smbios.bin. A file without an entry point is taken as a bare
// structure table whose version is `bareVersion` (unknown when empty).
bool parseSmbiosFile(std::span<const uint8_t> file, std::optional<SmbiosVersion> bareVersion,
                     SmbiosData& out, std::string& error);

// The entry point and table as two separate pieces, as Linux publishes them.
bool smbiosFromEntryPointAndTable(std::span<const uint8_t> entryPoint, std::vector<uint8_t> table,
                                  SmbiosData& out, std::string& error);

} // namespace vexa::machine
