#include "machine/acpi_image.h"

#include "machine/image_files.h"
#include "machine/text_scan.h"

#include <algorithm>
#include <cstring>

namespace vexa::machine {
namespace {

constexpr size_t kAcpiFileLimit = 16 * 1024 * 1024;
constexpr size_t kRsdpV1Length = 20;

bool isSignatureChar(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == ' '; }

bool isRootPointer(std::span<const uint8_t> bytes) {
    return bytes.size() >= 8 && std::memcmp(bytes.data(), "RSD PTR ", 8) == 0;
}

uint32_t le32(std::span<const uint8_t> b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

// The length a table states for itself: the header's length field, or for
// the root pointer 20 bytes (revision 0) or its own length field.
size_t statedLength(std::span<const uint8_t> bytes) {
    if (isRootPointer(bytes)) {
        if (bytes.size() < kRsdpV1Length) return 0;
        if (bytes[15] == 0 || bytes.size() < 24) return kRsdpV1Length;
        return le32(bytes, 20);
    }
    return bytes.size() >= 8 ? le32(bytes, 4) : 0;
}

} // namespace

std::string acpiSignature(std::span<const uint8_t> bytes) {
    if (isRootPointer(bytes)) return "RSDP";
    return std::string(reinterpret_cast<const char*>(bytes.data()), std::min<size_t>(bytes.size(), 4));
}

bool startsWithAcpiTable(std::span<const uint8_t> bytes) {
    if (bytes.size() < 8 || !std::all_of(bytes.begin(), bytes.begin() + 4, isSignatureChar)) return false;
    const size_t length = statedLength(bytes);
    return length >= 8 && length <= bytes.size();
}

bool parseRawAcpiTables(std::span<const uint8_t> bytes, std::vector<AcpiTable>& tables, std::string& error) {
    size_t offset = 0;
    while (offset < bytes.size()) {
        const auto rest = bytes.subspan(offset);
        if (!startsWithAcpiTable(rest)) {
            error = "no ACPI table at byte " + std::to_string(offset);
            return false;
        }
        const size_t length = statedLength(rest);
        tables.push_back(AcpiTable{acpiSignature(rest), std::vector<uint8_t>(rest.begin(), rest.begin() + long(length))});
        offset += length;
    }
    return true;
}

bool parseAcpidumpText(std::string_view text, std::vector<AcpiTable>& tables, std::string& error) {
    LineReader lines(text);
    std::string_view line;
    std::vector<uint8_t> current;
    bool inTable = false;
    size_t headerLine = 0;
    const auto finish = [&]() {
        if (!inTable) return true;
        inTable = false;
        const size_t length = statedLength(current);
        if (current.size() < 8 || length < 8 || length > current.size()) {
            error = "line " + std::to_string(headerLine) + ": table holds " + std::to_string(current.size()) +
                    " bytes, not the length its header states";
            return false;
        }
        current.resize(length);
        tables.push_back(AcpiTable{acpiSignature(current), std::move(current)});
        current.clear();
        return true;
    };
    while (lines.next(line)) {
        const std::string_view body = trim(line);
        if (body.empty()) continue;
        // "XXXX @ 0x0000000000000000" opens a table.
        if (body.size() > 7 && body.substr(4, 3) == " @ ") {
            if (!finish()) return false;
            inTable = true;
            headerLine = lines.lineNumber();
            continue;
        }
        // "0000: 44 53 44 54 ...  DSDT...." continues it: an offset, then up
        // to 16 two-digit bytes separated by one blank; two blanks start the
        // character column.
        std::string_view rest = body;
        uint64_t offset = 0;
        if (!inTable || !takeHex(rest, offset, 8) || rest.empty() || rest.front() != ':') {
            error = "line " + std::to_string(lines.lineNumber()) + ": not an acpidump line: " + quoteForMessage(body);
            return false;
        }
        rest.remove_prefix(1);
        if (offset != current.size()) {
            error = "line " + std::to_string(lines.lineNumber()) + ": offset does not follow the previous row";
            return false;
        }
        for (int count = 0; count < 16; ++count) {
            if (rest.size() < 3 || rest[0] != ' ' || !isHexDigit(rest[1]) || !isHexDigit(rest[2])) break;
            if (rest.size() > 3 && rest[3] != ' ') break;
            current.push_back(uint8_t(hexValue(rest[1]) << 4 | hexValue(rest[2])));
            rest.remove_prefix(3);
            if (current.size() > kAcpiFileLimit) {
                error = "line " + std::to_string(lines.lineNumber()) + ": table too large";
                return false;
            }
        }
    }
    return finish();
}

bool loadAcpiFolder(ImageFiles& image, std::vector<AcpiTable>& tables, std::string& error) {
    std::vector<std::string> names;
    const FileStatus listed = image.list("acpi", names, error);
    if (listed != FileStatus::Ok) return listed == FileStatus::Missing;
    for (const std::string& name : names) {
        const std::string file = "acpi/" + name;
        std::vector<uint8_t> bytes;
        const FileStatus status = image.read(file, kAcpiFileLimit, bytes, error);
        if (status != FileStatus::Ok) {
            if (error.empty()) error = image.shown(file) + ": cannot be read";
            return false;
        }
        std::string why;
        const bool ok = startsWithAcpiTable(bytes)
                            ? parseRawAcpiTables(bytes, tables, why)
                            : parseAcpidumpText(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                                                tables, why);
        if (!ok) {
            error = image.shown(file) + ": " + why;
            return false;
        }
    }
    return true;
}

} // namespace vexa::machine
