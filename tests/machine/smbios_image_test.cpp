#include "machine/smbios_image.h"

#include "tests/support/test_paths.h"

#include <gtest/gtest.h>

namespace vexa::machine {
namespace {

std::vector<uint8_t> bytesOf(const std::string& path) {
    const std::string text = test::readFile(test::dataPath(path));
    return std::vector<uint8_t>(text.begin(), text.end());
}

// Structures in a table: formatted part, then strings up to a double NUL;
// stops after the end-of-table structure (type 127).
size_t countStructures(const std::vector<uint8_t>& table) {
    size_t count = 0, at = 0;
    while (at + 4 <= table.size()) {
        const uint8_t type = table[at], length = table[at + 1];
        if (length < 4) break;
        size_t end = at + length;
        while (end + 1 < table.size() && (table[end] != 0 || table[end + 1] != 0)) ++end;
        ++count;
        at = end + 2;
        if (type == 127) break;
    }
    return count;
}

TEST(SmbiosFiles, EntryPointVersionAndTableOfEveryDump) {
    struct Case {
        const char* file;
        uint8_t major, minor, doc;
        size_t tableLength, structures, entryLength;
    };
    const Case cases[] = {
        {"smbios/ASRock-Single-Ryzen.dump-bin", 3, 3, 0, 1809, 28, 24},
        {"smbios/Beelink-EQ12.dmi", 3, 5, 0, 4291, 72, 24},
        {"smbios/DellPrecisionWorkStation-490.dmp", 2, 3, 0, 3887, 102, 31},
        {"smbios/LenovoThinkPad-T61p.dmp", 2, 4, 0, 2437, 73, 31},
        {"smbios/ProLiant-DL580-G5.0.dmidump", 2, 5, 0, 4593, 170, 31},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        SmbiosData data;
        std::string error;
        ASSERT_TRUE(parseSmbiosFile(bytesOf(c.file), std::nullopt, data, error)) << error;
        EXPECT_EQ(data.majorVersion, c.major);
        EXPECT_EQ(data.minorVersion, c.minor);
        EXPECT_EQ(data.docRevision, c.doc);
        EXPECT_EQ(data.table.size(), c.tableLength);
        EXPECT_EQ(data.entryPoint.size(), c.entryLength);
        EXPECT_EQ(data.tableAddress, 0x20u);
        EXPECT_EQ(countStructures(data.table), c.structures);
    }
}

TEST(SmbiosFiles, BareTableTakesTheVersionGiven) {
    const std::vector<uint8_t> file = bytesOf("smbios/ASRock-Single-Ryzen.dump-bin");
    const std::vector<uint8_t> bare(file.begin() + 0x20, file.end());
    SmbiosData data;
    std::string error;
    ASSERT_TRUE(parseSmbiosFile(bare, SmbiosVersion{3, 3, 0}, data, error)) << error;
    EXPECT_TRUE(data.entryPoint.empty());
    EXPECT_EQ(data.majorVersion, 3);
    EXPECT_EQ(data.table, bare);
    ASSERT_TRUE(parseSmbiosFile(bare, std::nullopt, data, error));
    EXPECT_EQ(data.majorVersion, 0);  // unknown
}

TEST(SmbiosFiles, TruncatedAndDamagedFilesFailCleanly) {
    const std::vector<uint8_t> dell = bytesOf("smbios/DellPrecisionWorkStation-490.dmp");
    const std::vector<uint8_t> asrock = bytesOf("smbios/ASRock-Single-Ryzen.dump-bin");
    // Every cut of a 2.x file: the entry point or the table is short.
    for (size_t cut = 0; cut < dell.size(); ++cut) {
        SmbiosData data;
        std::string error;
        const std::vector<uint8_t> head(dell.begin(), dell.begin() + long(cut));
        EXPECT_FALSE(parseSmbiosFile(head, std::nullopt, data, error)) << cut;
        EXPECT_FALSE(error.empty());
    }
    // A 3.x table length is an upper bound: a cut table still loads, a cut
    // entry point does not.
    for (size_t cut = 0; cut < asrock.size(); cut += 5) {
        SmbiosData data;
        std::string error;
        const std::vector<uint8_t> head(asrock.begin(), asrock.begin() + long(cut));
        EXPECT_EQ(parseSmbiosFile(head, std::nullopt, data, error), cut > 0x20) << cut << ": " << error;
        if (cut > 0x20) {
            EXPECT_EQ(data.table.size(), cut - 0x20);
        }
    }
    struct Damage {
        size_t offset;
        uint8_t value;
        const char* message;
    };
    const Damage damages[] = {
        {0x04, 0x00, "checksum"},        // entry point checksum
        {0x05, 0x40, "length"},          // entry point length
        {0x10, 'X', "_DMI_"},            // intermediate anchor
        {0x18, 0x10, "outside the file"},  // table address inside the entry point
    };
    for (const Damage& d : damages) {
        std::vector<uint8_t> file = dell;
        file[d.offset] = d.value;
        // Keep the checksums right except where the checksum is the damage.
        const auto fixChecksum = [&](size_t start, size_t length, size_t at) {
            uint8_t sum = 0;
            for (size_t i = start; i < start + length; ++i)
                if (i != at) sum = uint8_t(sum + file[i]);
            file[at] = uint8_t(-sum);
        };
        if (d.offset > 0x10) fixChecksum(0x10, 0x0F, 0x15);
        if (d.offset != 0x04) fixChecksum(0, 0x1F, 0x04);
        SmbiosData data;
        std::string error;
        EXPECT_FALSE(parseSmbiosFile(file, std::nullopt, data, error));
        EXPECT_NE(error.find(d.message), std::string::npos) << error;
    }
    SmbiosData data;
    std::string error;
    const std::vector<uint8_t> garbage = {0x01, 0x02, 0x03};
    EXPECT_FALSE(parseSmbiosFile(garbage, std::nullopt, data, error));
    const std::vector<uint8_t> badStructure = {0x00, 0x40, 0x00, 0x00, 0x00};
    EXPECT_FALSE(parseSmbiosFile(badStructure, std::nullopt, data, error));
}

TEST(SmbiosFiles, SeparateEntryPointAndTableAsLinuxPublishesThem) {
    const std::vector<uint8_t> file = bytesOf("smbios/LenovoThinkPad-T61p.dmp");
    const std::vector<uint8_t> entry(file.begin(), file.begin() + 0x1F);
    std::vector<uint8_t> table(file.begin() + 0x20, file.end());
    SmbiosData data;
    std::string error;
    ASSERT_TRUE(smbiosFromEntryPointAndTable(entry, table, data, error)) << error;
    EXPECT_EQ(data.table.size(), 2437u);
    EXPECT_EQ(data.minorVersion, 4);
    table.resize(100);
    EXPECT_FALSE(smbiosFromEntryPointAndTable(entry, table, data, error));
    EXPECT_FALSE(smbiosFromEntryPointAndTable({}, table, data, error));
}

} // namespace
} // namespace vexa::machine
