#include "machine/smbus_files.h"

#include "machine/text_scan.h"

namespace vexa::machine {

namespace {

constexpr size_t kMaxSpdBytes = 512;

std::string lineError(const LineReader& lines, const std::string& what, std::string_view line) {
    return "line " + std::to_string(lines.lineNumber()) + ": " + what + ": " + quoteForMessage(line);
}

bool comment(std::string_view line) { return line.empty() || line.front() == '#'; }

// Blank-separated pairs of hex digits, at most `max` of them.
bool takeHexBytes(std::string_view rest, std::vector<uint8_t>& bytes, size_t max) {
    for (;;) {
        skipBlanks(rest);
        if (rest.empty()) return true;
        uint64_t value = 0;
        if (!takeHex(rest, value, 2) || bytes.size() >= max) return false;
        if (!rest.empty() && rest.front() != ' ' && rest.front() != '\t') return false;
        bytes.push_back(uint8_t(value));
    }
}

} // namespace

bool parseSpdHexText(std::string_view text, std::vector<uint8_t>& bytes, std::string& error) {
    bytes.clear();
    LineReader lines(text);
    for (std::string_view line; lines.next(line);) {
        line = trim(line);
        if (comment(line)) continue;
        if (!takeHexBytes(line, bytes, kMaxSpdBytes)) {
            error = lineError(lines, "not a row of hex bytes (or more than 512 bytes)", line);
            return false;
        }
    }
    if (bytes.empty()) {
        error = "no SPD bytes";
        return false;
    }
    return true;
}

bool parseJc42Registers(std::string_view text, std::array<uint16_t, Jc42Sensor::kRegisters>& registers,
                        std::string& error) {
    registers.fill(0);
    LineReader lines(text);
    for (std::string_view line; lines.next(line);) {
        line = trim(line);
        if (comment(line)) continue;
        const size_t equals = line.find('=');
        uint64_t reg = 0, value = 0;
        if (equals == std::string_view::npos || !parseHex(trim(line.substr(0, equals)), reg, 2) ||
            !parseHex(trim(line.substr(equals + 1)), value, 4) || reg >= Jc42Sensor::kRegisters) {
            error = lineError(lines, "not a register line \"RR=VVVV\" (registers 00-0f)", line);
            return false;
        }
        registers[reg] = uint16_t(value);
    }
    return true;
}

bool parseRegisterImage(std::string_view text, std::map<unsigned, RegisterImageDevice::Bank>& banks,
                        std::string& error) {
    banks.clear();
    RegisterImageDevice::Bank* bank = nullptr;
    LineReader lines(text);
    for (std::string_view line; lines.next(line);) {
        line = trim(line);
        if (comment(line)) continue;
        if (line.front() == '[') {
            uint64_t number = 0;
            if (line.size() < 7 || line.substr(0, 6) != "[bank " || line.back() != ']' ||
                !parseDecimal(trim(line.substr(6, line.size() - 7)), number, 255) || banks.contains(unsigned(number))) {
                error = lineError(lines, "not a new bank header \"[bank N]\" (N 0-255)", line);
                return false;
            }
            bank = &banks[unsigned(number)];
            bank->fill(0);
            continue;
        }
        const size_t colon = line.find(':');
        uint64_t row = 0;
        std::vector<uint8_t> bytes;
        if (colon == std::string_view::npos || !parseHex(trim(line.substr(0, colon)), row, 2) || row % 16 != 0 ||
            !takeHexBytes(line.substr(colon + 1), bytes, 16) || bytes.size() != 16) {
            error = lineError(lines, "not a row \"RR: 16 hex bytes\" at a multiple of 16", line);
            return false;
        }
        if (!bank) {
            bank = &banks[0];
            bank->fill(0);
        }
        std::copy(bytes.begin(), bytes.end(), bank->begin() + long(row));
    }
    if (banks.empty()) {
        error = "no register rows";
        return false;
    }
    return true;
}

} // namespace vexa::machine
