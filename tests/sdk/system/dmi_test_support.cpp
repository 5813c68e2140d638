#include "tests/sdk/system/dmi_test_support.h"

#include <gtest/gtest.h>

#include <sstream>

#include "machine/smbios_image.h"
#include "sdk/core/report_generator.h"
#include "tests/support/image_dir.h"
#include "tests/support/test_paths.h"

namespace vexa::test {

StructureBuilder::StructureBuilder(uint8_t type, uint8_t length, uint16_t handle) : formatted_(length) {
    formatted_.at(0) = type;
    formatted_.at(1) = length;
    formatted_.at(2) = static_cast<uint8_t>(handle);
    formatted_.at(3) = static_cast<uint8_t>(handle >> 8);
}

StructureBuilder& StructureBuilder::Byte(size_t offset, uint8_t value) {
    formatted_.at(offset) = value;
    return *this;
}

StructureBuilder& StructureBuilder::Word(size_t offset, uint16_t value) {
    Byte(offset, static_cast<uint8_t>(value));
    return Byte(offset + 1, static_cast<uint8_t>(value >> 8));
}

StructureBuilder& StructureBuilder::Dword(size_t offset, uint32_t value) {
    Word(offset, static_cast<uint16_t>(value));
    return Word(offset + 2, static_cast<uint16_t>(value >> 16));
}

StructureBuilder& StructureBuilder::String(size_t offset, const std::string& text) {
    strings_.push_back(text);
    return Byte(offset, static_cast<uint8_t>(strings_.size()));
}

StructureBuilder& StructureBuilder::ExtraString(const std::string& text) {
    strings_.push_back(text);
    return *this;
}

Bytes StructureBuilder::Bytes() const {
    std::vector<uint8_t> bytes = formatted_;
    for (const std::string& text : strings_) {
        bytes.insert(bytes.end(), text.begin(), text.end());
        bytes.push_back(0);
    }
    if (strings_.empty()) bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

Bytes Concatenate(const std::vector<Bytes>& parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes EndOfTable() { return StructureBuilder(127, 4, 0xFEFF).Bytes(); }

Bytes LongTable(size_t size, uint32_t& decoded) {
    Bytes table;
    uint16_t handle = 0;
    while (table.size() + 300 < size) {
        const Bytes oem = StructureBuilder(11, 5, handle++).Byte(4, 1).ExtraString(std::string(240, 'o')).Bytes();
        table.insert(table.end(), oem.begin(), oem.end());
    }
    decoded = handle + 1u;
    return Concatenate({table, StructureBuilder(2, 8, handle).String(4, "Maker").String(5, "Last board").Bytes(),
                        EndOfTable()});
}

std::unique_ptr<machine::Machine> MachineWithSmbios(const std::string& smbiosBin) {
    ImageDir image;
    image.write("smbios.bin", smbiosBin);
    return image.load();
}

Bytes SourceBytes(const std::string& path) {
    const std::string text = readFile(path);
    return Bytes(text.begin(), text.end());
}

Bytes DataBytes(const std::string& relative) { return SourceBytes(dataPath(relative)); }

std::string ReportOf(CDMIInterface& dmi) {
    CReportGenerator_Buffer report;
    dmi.WriteReport(&report);
    return report.GetText();
}

std::string ReportOfTable(const Bytes& table) {
    CDMIInterface dmi;
    dmi.DecodeTable(table);
    return ReportOf(dmi);
}

Bytes TableOfSmbiosFile(const Bytes& file) {
    machine::SmbiosData data;
    std::string error;
    EXPECT_TRUE(machine::parseSmbiosFile(file, std::nullopt, data, error)) << error;
    return data.table;
}

std::string ReportBlock::Value(const std::string& label) const {
    for (const auto& [name, value] : lines)
        if (name == label) return value;
    return "(absent)";
}

std::vector<ReportBlock> ParseReport(const std::string& report) {
    std::vector<ReportBlock> blocks;
    std::istringstream in(report);
    bool open = false;
    for (std::string line; std::getline(in, line);) {
        if (line.empty()) {
            open = false;
            continue;
        }
        if (!open) {
            blocks.push_back({line.substr(0, line.find('\t')), {}});
            open = true;
            continue;
        }
        const size_t labelEnd = line.find('\t', 1);
        const size_t valueStart = line.find_first_not_of('\t', labelEnd);
        blocks.back().lines.emplace_back(line.substr(1, labelEnd - 1),
                                         valueStart == std::string::npos ? "" : line.substr(valueStart));
    }
    return blocks;
}

} // namespace vexa::test
