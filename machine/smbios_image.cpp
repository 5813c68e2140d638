#include "machine/smbios_image.h"

#include <cstring>

namespace vexa::machine {
namespace {

constexpr size_t kEntryPoint2Length = 0x1F;
constexpr size_t kEntryPoint3Length = 0x18;
constexpr size_t kLargestEntryPoint = 0x20;

uint16_t le16(std::span<const uint8_t> b, size_t at) { return uint16_t(b[at] | (b[at + 1] << 8)); }
uint32_t le32(std::span<const uint8_t> b, size_t at) { return le16(b, at) | (uint32_t(le16(b, at + 2)) << 16); }
uint64_t le64(std::span<const uint8_t> b, size_t at) { return le32(b, at) | (uint64_t(le32(b, at + 4)) << 32); }

bool checksumIsZero(std::span<const uint8_t> bytes) {
    uint8_t sum = 0;
    for (uint8_t b : bytes) sum = uint8_t(sum + b);
    return sum == 0;
}

bool startsWith(std::span<const uint8_t> bytes, const char* anchor) {
    const size_t n = std::strlen(anchor);
    return bytes.size() >= n && std::memcmp(bytes.data(), anchor, n) == 0;
}

EntryPointCheck invalid(std::string& error, const std::string& why) {
    error = "SMBIOS entry point: " + why;
    return EntryPointCheck::Invalid;
}

EntryPointCheck decode2x(std::span<const uint8_t> bytes, SmbiosEntryPoint& entry, std::string& error) {
    if (bytes.size() < kEntryPoint2Length) return invalid(error, "\"_SM_\" structure cut short");
    const size_t length = bytes[0x05];
    // Some 2.1 firmware states 0x1E; the fields this code reads lie below it.
    if (length < 0x1E || length > kLargestEntryPoint || length > bytes.size())
        return invalid(error, "\"_SM_\" structure length " + std::to_string(length) + " is not possible");
    if (!checksumIsZero(bytes.first(length))) return invalid(error, "\"_SM_\" checksum is wrong");
    if (std::memcmp(bytes.data() + 0x10, "_DMI_", 5) != 0) return invalid(error, "\"_DMI_\" anchor missing");
    if (!checksumIsZero(bytes.subspan(0x10, 0x0F))) return invalid(error, "\"_DMI_\" checksum is wrong");
    entry.length = length;
    entry.majorVersion = bytes[0x06];
    entry.minorVersion = bytes[0x07];
    entry.docRevision = 0;
    entry.tableLength = le16(bytes, 0x16);
    entry.tableAddress = le32(bytes, 0x18);
    entry.lengthIsMaximum = false;
    return EntryPointCheck::Valid;
}

EntryPointCheck decode3x(std::span<const uint8_t> bytes, SmbiosEntryPoint& entry, std::string& error) {
    if (bytes.size() < kEntryPoint3Length) return invalid(error, "\"_SM3_\" structure cut short");
    const size_t length = bytes[0x06];
    if (length < kEntryPoint3Length || length > kLargestEntryPoint || length > bytes.size())
        return invalid(error, "\"_SM3_\" structure length " + std::to_string(length) + " is not possible");
    if (!checksumIsZero(bytes.first(length))) return invalid(error, "\"_SM3_\" checksum is wrong");
    entry.length = length;
    entry.majorVersion = bytes[0x07];
    entry.minorVersion = bytes[0x08];
    entry.docRevision = bytes[0x09];
    entry.tableLength = le32(bytes, 0x0C);
    entry.tableAddress = le64(bytes, 0x10);
    entry.lengthIsMaximum = true;
    return EntryPointCheck::Valid;
}

void fillFromEntryPoint(const SmbiosEntryPoint& entry, std::span<const uint8_t> entryBytes, SmbiosData& out) {
    out.entryPoint.assign(entryBytes.begin(), entryBytes.begin() + long(entry.length));
    out.majorVersion = entry.majorVersion;
    out.minorVersion = entry.minorVersion;
    out.docRevision = entry.docRevision;
    out.tableAddress = entry.tableAddress;
}

// A structure table starts with a structure header: type, a length of at
// least 4 that fits, and a handle.
bool looksLikeStructureTable(std::span<const uint8_t> table) {
    return table.size() >= 4 && table[1] >= 4 && table[1] <= table.size();
}

} // namespace

EntryPointCheck decodeSmbiosEntryPoint(std::span<const uint8_t> bytes, SmbiosEntryPoint& entry,
                                       std::string& error) {
    if (startsWith(bytes, "_SM3_")) return decode3x(bytes, entry, error);
    if (startsWith(bytes, "_SM_")) return decode2x(bytes, entry, error);
    return EntryPointCheck::NoAnchor;
}

bool parseSmbiosFile(std::span<const uint8_t> file, std::optional<SmbiosVersion> bareVersion,
                     SmbiosData& out, std::string& error) {
    out = SmbiosData{};
    SmbiosEntryPoint entry;
    switch (decodeSmbiosEntryPoint(file, entry, error)) {
    case EntryPointCheck::Invalid:
        return false;
    case EntryPointCheck::NoAnchor:
        if (!looksLikeStructureTable(file)) {
            error = "neither an SMBIOS entry point nor a structure table";
            return false;
        }
        out.table.assign(file.begin(), file.end());
        if (bareVersion) {
            out.majorVersion = bareVersion->major;
            out.minorVersion = bareVersion->minor;
            out.docRevision = bareVersion->docRevision;
        }
        return true;
    case EntryPointCheck::Valid:
        break;
    }
    if (entry.tableAddress < entry.length || entry.tableAddress >= file.size()) {
        error = "SMBIOS table offset " + std::to_string(entry.tableAddress) + " lies outside the file (" +
                std::to_string(file.size()) + " bytes)";
        return false;
    }
    const size_t available = file.size() - size_t(entry.tableAddress);
    size_t length = entry.tableLength;
    if (length > available) {
        if (!entry.lengthIsMaximum) {
            error = "SMBIOS table of " + std::to_string(length) + " bytes is cut short at " +
                    std::to_string(available) + " bytes";
            return false;
        }
        length = available;  // 3.x names only an upper bound
    }
    fillFromEntryPoint(entry, file, out);
    const auto tableStart = file.begin() + long(entry.tableAddress);
    out.table.assign(tableStart, tableStart + long(length));
    return true;
}

bool smbiosFromEntryPointAndTable(std::span<const uint8_t> entryPoint, std::vector<uint8_t> table,
                                  SmbiosData& out, std::string& error) {
    out = SmbiosData{};
    SmbiosEntryPoint entry;
    const EntryPointCheck check = decodeSmbiosEntryPoint(entryPoint, entry, error);
    if (check == EntryPointCheck::NoAnchor) error = "no SMBIOS entry point";
    if (check != EntryPointCheck::Valid) return false;
    if (table.size() > entry.tableLength) {
        table.resize(entry.tableLength);
    } else if (table.size() < entry.tableLength && !entry.lengthIsMaximum) {
        error = "SMBIOS table shorter than its entry point says";
        return false;
    }
    fillFromEntryPoint(entry, entryPoint, out);
    out.table = std::move(table);
    return true;
}

} // namespace vexa::machine
