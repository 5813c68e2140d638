#include "machine/acpi_image.h"
#include "machine/image_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace vexa::machine {
namespace {

// A table with a standard 36-byte header and `extra` payload bytes.
std::vector<uint8_t> makeTable(const char* signature, size_t extra) {
    std::vector<uint8_t> table(36 + extra, 0);
    std::copy(signature, signature + 4, table.begin());
    const uint32_t length = uint32_t(table.size());
    for (int i = 0; i < 4; ++i) table[4 + i] = uint8_t(length >> (8 * i));
    for (size_t i = 36; i < table.size(); ++i) table[i] = uint8_t(i);
    return table;
}

std::string acpidumpText(const char* signature, const std::vector<uint8_t>& bytes) {
    std::string text = std::string(signature) + " @ 0x00000000BFEE0040\n";
    char row[16];
    for (size_t offset = 0; offset < bytes.size(); offset += 16) {
        std::snprintf(row, sizeof row, "    %04zX:", offset);
        text += row;
        for (size_t i = offset; i < offset + 16 && i < bytes.size(); ++i) {
            std::snprintf(row, sizeof row, " %02X", bytes[i]);
            text += row;
        }
        text += "  ..AB CD 12..\n";  // the character column, which can look like hex
    }
    return text + "\n";
}

TEST(AcpiImage, RawTablesBackToBack) {
    std::vector<uint8_t> bytes = makeTable("APIC", 10);
    const std::vector<uint8_t> second = makeTable("SSDT", 0);
    bytes.insert(bytes.end(), second.begin(), second.end());
    std::vector<AcpiTable> tables;
    std::string error;
    ASSERT_TRUE(parseRawAcpiTables(bytes, tables, error)) << error;
    ASSERT_EQ(tables.size(), 2u);
    EXPECT_EQ(tables[0].signature, "APIC");
    EXPECT_EQ(tables[0].bytes.size(), 46u);
    EXPECT_EQ(tables[1].signature, "SSDT");

    bytes.push_back(0x55);  // a stray byte after the last table
    tables.clear();
    EXPECT_FALSE(parseRawAcpiTables(bytes, tables, error));
    EXPECT_NE(error.find("byte 82"), std::string::npos) << error;
}

TEST(AcpiImage, AcpidumpTextRoundTrips) {
    const std::vector<uint8_t> dsdt = makeTable("DSDT", 50);
    const std::vector<uint8_t> facp = makeTable("FACP", 0);
    std::vector<AcpiTable> tables;
    std::string error;
    ASSERT_TRUE(parseAcpidumpText(acpidumpText("DSDT", dsdt) + acpidumpText("FACP", facp), tables, error)) << error;
    ASSERT_EQ(tables.size(), 2u);
    EXPECT_EQ(tables[0].bytes, dsdt);
    EXPECT_EQ(tables[1].signature, "FACP");
    EXPECT_EQ(tables[1].bytes, facp);
}

TEST(AcpiImage, MalformedAcpidumpTextNamesTheLine) {
    const std::string good = acpidumpText("DSDT", makeTable("DSDT", 50));
    struct Case {
        std::string text;
        const char* message;
    };
    const Case cases[] = {
        {"    0000: 44 53 44 54\n", "line 1: not an acpidump line"},
        {good.substr(0, good.size() / 2), "not the length its header states"},
        {"DSDT @ 0x0\n    0010: 44 53 44 54\n", "line 2: offset does not follow"},
        {"DSDT @ 0x0\n    0000: 44 53 44 54 FF FF FF 7F\n", "not the length"},
        {"DSDT @ 0x0\n\x01\x02\n", "line 2: not an acpidump line"},
    };
    for (const Case& c : cases) {
        std::vector<AcpiTable> tables;
        std::string error;
        EXPECT_FALSE(parseAcpidumpText(c.text, tables, error)) << c.text;
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

TEST(AcpiImage, SignatureAndTableRecognition) {
    EXPECT_TRUE(startsWithAcpiTable(makeTable("FACP", 0)));
    std::vector<uint8_t> lying = makeTable("FACP", 0);
    lying[4] = 200;  // longer than the bytes
    EXPECT_FALSE(startsWithAcpiTable(lying));
    lying = makeTable("fa\x01P", 0);
    EXPECT_FALSE(startsWithAcpiTable(lying));
    std::vector<uint8_t> rsdp(20, 0);
    std::copy_n("RSD PTR ", 8, rsdp.begin());
    EXPECT_TRUE(startsWithAcpiTable(rsdp));
    EXPECT_EQ(acpiSignature(rsdp), "RSDP");
}

TEST(AcpiImage, FolderLoadsFilesInNameOrderAndNamesTheBadOne) {
    namespace fs = std::filesystem;
    const fs::path image = fs::temp_directory_path() / "acpi-folder-test";
    const fs::path dir = image / "acpi";
    fs::remove_all(image);
    fs::create_directories(dir / "sub");
    const auto write = [&](const char* name, const std::string& content) {
        std::ofstream(dir / name, std::ios::binary) << content;
    };
    const std::vector<uint8_t> apic = makeTable("APIC", 4);
    write("b-apic.dat", std::string(apic.begin(), apic.end()));
    write("a-dsdt.txt", acpidumpText("DSDT", makeTable("DSDT", 20)));
    write("sub/ignored", "not looked at");
    std::vector<AcpiTable> tables;
    std::string error;
    ImageFiles files(image.string());
    ASSERT_TRUE(loadAcpiFolder(files, tables, error)) << error;
    ASSERT_EQ(tables.size(), 2u);
    EXPECT_EQ(tables[0].signature, "DSDT");
    EXPECT_EQ(tables[1].signature, "APIC");

    write("c-bad", "hello\n");
    tables.clear();
    EXPECT_FALSE(loadAcpiFolder(files, tables, error));
    EXPECT_NE(error.find("acpi/c-bad: line 1"), std::string::npos) << error;

    tables.clear();
    ImageFiles withoutFolder((image / "missing").string());
    EXPECT_TRUE(loadAcpiFolder(withoutFolder, tables, error));
    EXPECT_TRUE(tables.empty());
    fs::remove_all(image);
}

} // namespace
} // namespace vexa::machine
