#include "machine/lspci_dump.h"

#include "machine/text_scan.h"

#include <algorithm>
#include <set>

namespace vexa::machine {
namespace {

// Far more than any real machine has (each costs 4 KB), few enough that a
// hostile file cannot take much memory.
constexpr size_t kMaxFunctions = 4096;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// "BB:DD.F" or "DDDD:BB:DD.F", followed by a blank or the end of the line.
bool parseHeader(std::string_view line, uint32_t& domain, PciAddress& address) {
    uint64_t fields[4] = {};
    size_t count = 0;
    std::string_view rest = line;
    while (count < 3) {
        if (!takeHex(rest, fields[count], 4)) return false;
        ++count;
        if (rest.empty() || rest.front() != ':') break;
        rest.remove_prefix(1);
    }
    if (rest.empty() || rest.front() != '.' || count < 2) return false;
    rest.remove_prefix(1);
    uint64_t function = 0;
    if (!takeHex(rest, function, 1) || (!rest.empty() && !isBlank(rest.front()))) return false;
    const uint64_t bus = fields[count - 2], device = fields[count - 1];
    domain = count == 3 ? uint32_t(fields[0]) : 0;
    if (bus > 0xFF || device > 31 || function > 7) return false;
    address = PciAddress{uint8_t(bus), uint8_t(device), uint8_t(function)};
    return true;
}

// "OFF: xx xx ..." with 1..16 bytes.
bool parseRow(std::string_view line, size_t& offset, std::vector<uint8_t>& bytes) {
    std::string_view rest = line;
    uint64_t value = 0;
    if (!takeHex(rest, value, 3) || rest.empty() || rest.front() != ':') return false;
    rest.remove_prefix(1);
    bytes.clear();
    for (;;) {
        skipBlanks(rest);
        if (rest.empty()) break;
        if (rest.size() < 2 || !isHexDigit(rest[0]) || !isHexDigit(rest[1]) || (rest.size() > 2 && !isBlank(rest[2])))
            return false;
        if (bytes.size() == 16) return false;
        bytes.push_back(uint8_t(hexValue(rest[0]) << 4 | hexValue(rest[1])));
        rest.remove_prefix(2);
    }
    offset = size_t(value);
    return !bytes.empty();
}

std::string lineError(size_t line, const std::string& what) { return "line " + std::to_string(line) + ": " + what; }

} // namespace

bool parseLspciDump(std::string_view text, PciDump& dump, std::string& error) {
    dump = PciDump{};
    std::set<PciAddress> seen;
    PciFunctionDump* current = nullptr;
    bool skipping = false;  // inside a function of another domain
    std::vector<uint8_t> row;
    LineReader lines(text);
    std::string_view line;
    while (lines.next(line)) {
        if (trim(line).empty() || line.front() == '\t') continue;
        uint32_t domain = 0;
        PciAddress address;
        size_t offset = 0;
        if (parseHeader(line, domain, address)) {
            if (domain != 0) {
                ++dump.skippedOtherDomains;
                skipping = true;
                current = nullptr;
                continue;
            }
            if (!seen.insert(address).second) {
                error = lineError(lines.lineNumber(), "function listed twice");
                return false;
            }
            if (dump.functions.size() == kMaxFunctions) {
                error = lineError(lines.lineNumber(), "too many functions");
                return false;
            }
            skipping = false;
            dump.functions.emplace_back();
            current = &dump.functions.back();
            current->address = address;
            current->bytes.fill(0xFF);
        } else if (parseRow(trim(line), offset, row)) {
            if (skipping) continue;
            if (!current) {
                error = lineError(lines.lineNumber(), "register row before any function header");
                return false;
            }
            if (offset % 16 != 0 || offset + row.size() > kPciConfigSize) {
                error = lineError(lines.lineNumber(), "row offset out of the 4096-byte configuration space");
                return false;
            }
            std::copy(row.begin(), row.end(), current->bytes.begin() + long(offset));
            current->capturedLength = std::max(current->capturedLength, offset + row.size());
        } else {
            error = lineError(lines.lineNumber(), "neither a function header nor a register row: " +
                                                      quoteForMessage(line));
            return false;
        }
    }
    if (dump.functions.empty() && dump.skippedOtherDomains == 0) {
        error = "no PCI function found";
        return false;
    }
    return true;
}

} // namespace vexa::machine
