#include "tests/sdk/system/acpi_test_support.h"

#include <gtest/gtest.h>

#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "tests/support/image_dir.h"
#include "tests/support/test_paths.h"

namespace vexa::test {

TableBuilder::TableBuilder(const std::string& signature, uint8_t revision, size_t length)
    : bytes_(length) {
    Text(0, signature.substr(0, 4));
    if (length >= 8) Dword(4, static_cast<uint32_t>(length));
    if (length >= 9) Byte(8, revision);
}

TableBuilder& TableBuilder::Byte(size_t offset, uint8_t value) {
    bytes_.at(offset) = value;
    return *this;
}

TableBuilder& TableBuilder::Dword(size_t offset, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) Byte(offset + i, static_cast<uint8_t>(value >> (8 * i)));
    return *this;
}

TableBuilder& TableBuilder::Text(size_t offset, const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i) Byte(offset + i, static_cast<uint8_t>(text[i]));
    return *this;
}

TableBuilder& TableBuilder::StatedLength(uint32_t length) { return Dword(4, length); }

Bytes TableBuilder::Build() const {
    Bytes bytes = bytes_;
    if (bytes.size() >= 10) {
        bytes[9] = 0;
        uint8_t sum = 0;
        for (uint8_t byte : bytes) sum = static_cast<uint8_t>(sum + byte);
        bytes[9] = static_cast<uint8_t>(-sum);
    }
    return bytes;
}

Bytes Fadt(uint8_t revision, size_t length, uint32_t pmTimer, uint32_t facs, uint32_t pm1aEvents) {
    TableBuilder fadt("FACP", revision, length);
    if (length >= 40) fadt.Dword(36, facs);
    if (length >= 60) fadt.Dword(56, pm1aEvents);
    if (length >= 80) fadt.Dword(76, pmTimer);
    return fadt.Build();
}

Bytes HpetTable(uint8_t addressSpace, uint64_t base) {
    return TableBuilder("HPET", 1, 56)
        .Dword(36, 0x8086A201)
        .Byte(40, addressSpace)
        .Byte(41, 64)
        .Dword(44, static_cast<uint32_t>(base))
        .Dword(48, static_cast<uint32_t>(base >> 32))
        .Build();
}

std::string HpetCapabilities(uint32_t periodFs) {
    std::string block(0x400, '\0');
    const uint32_t dwords[2] = {0x8086A201, periodFs};
    for (size_t i = 0; i < 8; ++i) block[i] = static_cast<char>(dwords[i / 4] >> (8 * (i % 4)));
    return block;
}

Bytes X58Table(const std::string& file) {
    const std::string text = readFile(sourcePath("machines/x58-nehalem/acpi/" + file));
    EXPECT_FALSE(text.empty()) << file;
    return Bytes(text.begin(), text.end());
}

std::string AsText(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

uint32_t LittleEndian32(const Bytes& bytes, size_t offset) {
    return uint32_t(bytes.at(offset)) | uint32_t(bytes.at(offset + 1)) << 8 | uint32_t(bytes.at(offset + 2)) << 16 |
           uint32_t(bytes.at(offset + 3)) << 24;
}

std::string NameOf(const CACPITreeNode* node) {
    if (!node) return "(none)";
    char name[5];
    CACPIInterface::EncodeSignature(node->m_dwName, name);
    return name;
}

std::vector<std::string> NamesOf(CTList<CACPITreeNode>* nodes) {
    std::vector<std::string> names;
    CTListIterator<CACPITreeNode> it(nodes);
    for (CACPITreeNode* node = it.GetFirst(); node; node = it.GetNext()) names.push_back(NameOf(node));
    return names;
}

std::string AcpiReport(CACPIInterface& acpi) {
    CReportGenerator_Buffer report;
    acpi.Dump(&report);
    return report.GetText();
}

AcpiImage X58AcpiImage() {
    AcpiImage image;
    image.manifest = R"({"ports": {"acpi_pm_timer": "0x808"}, "memory_devices": {"hpet": "0xFED00000"}})";
    for (const char* file : {"facp.dat", "facs.dat", "hpet.dat", "mcfg.dat", "rsdt.dat"})
        image.tables[file] = X58Table(file);
    return image;
}

void AcpiOnMachine::TearDown() {
    ReleaseSDK();
    KMDriverOnMachine::TearDown();
}

machine::Machine& AcpiOnMachine::Boot(const AcpiImage& image, bool withDriver) {
    ImageDir folder;
    folder.write("machine.json", image.manifest);
    for (const auto& [name, bytes] : image.tables) folder.write("acpi/" + name, AsText(bytes));
    for (const auto& [name, content] : image.files) folder.write(name, content);
    machine::Machine& installed = install(folder.load());
    if (withDriver) {
        if (!driver_) driver_ = &lockedDriver();
        GetSDK()->m_pDriver = driver_;
    }
    return installed;
}

void AcpiOnMachine::NextCase() {
    ReleaseSDK();
    if (driver_) GetSDK()->m_pDriver = driver_;
}

} // namespace vexa::test
