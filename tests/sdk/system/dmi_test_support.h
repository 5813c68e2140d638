// What the DMI tests share: building SMBIOS structures and tables byte by
// byte, images that carry a table, and reading the DMI report back.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "machine/machine.h"
#include "sdk/system/dmi_interface.h"

namespace vexa::test {

// One structure: a formatted area of `length` bytes (header included),
// zero unless set, and its string set.
class StructureBuilder {
public:
    StructureBuilder(uint8_t type, uint8_t length, uint16_t handle = 0);

    StructureBuilder& Byte(size_t offset, uint8_t value);
    StructureBuilder& Word(size_t offset, uint16_t value);
    StructureBuilder& Dword(size_t offset, uint32_t value);
    // Appends `text` to the string set and puts its index at `offset`.
    StructureBuilder& String(size_t offset, const std::string& text);
    // Appends a string no field refers to.
    StructureBuilder& ExtraString(const std::string& text);

    // The formatted area and the string set with its closing NUL (two NULs
    // when there are no strings).
    std::vector<uint8_t> Bytes() const;

private:
    std::vector<uint8_t> formatted_;
    std::vector<std::string> strings_;
};

using Bytes = std::vector<uint8_t>;

// The structures back to back.
Bytes Concatenate(const std::vector<Bytes>& parts);
// The end-of-table structure (type 127).
Bytes EndOfTable();

// OEM-strings structures up to about `size` bytes in all, then a baseboard
// whose product is "Last board" and the end of the table: tables beyond the
// first buffer and beyond 64 KB. `decoded` counts the structures the
// library decodes (the OEM strings and the baseboard).
Bytes LongTable(size_t size, uint32_t& decoded);

// A machine image holding only `smbios.bin` with these bytes (an entry point
// and table, or a bare table); loaded.
std::unique_ptr<machine::Machine> MachineWithSmbios(const std::string& smbiosBin);
// The bytes of a file of the source tree or of tests/data.
Bytes SourceBytes(const std::string& path);
Bytes DataBytes(const std::string& relative);

// The whole DMI report section.
std::string ReportOf(CDMIInterface& dmi);
// The report of a table decoded without a source.
std::string ReportOfTable(const Bytes& table);

// The table of an smbios.bin file (the structure table after its entry
// point, or the whole file when it is bare).
Bytes TableOfSmbiosFile(const Bytes& file);

// One block of the report: its title and its lines as (label, value), the
// label without its leading tab and the value after the pad.
struct ReportBlock {
    std::string title;
    std::vector<std::pair<std::string, std::string>> lines;

    // The value of the first line with that label; "(absent)" without one.
    std::string Value(const std::string& label) const;
};
std::vector<ReportBlock> ParseReport(const std::string& report);

} // namespace vexa::test
