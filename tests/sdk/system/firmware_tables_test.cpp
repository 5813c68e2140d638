// GetSystemFirmwareTable: the raw SMBIOS block and single ACPI tables of
// the current machine, with the Windows conventions for sizes and errors.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "machine/machine.h"
#include "platform/firmware_tables.h"
#include "platform/modules.h"
#include "tests/sdk/system/dmi_test_support.h"
#include "tests/support/image_dir.h"
#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

constexpr DWORD kFACP = 0x50434146;  // "FACP" read as a little-endian dword
constexpr DWORD kSSDT = 0x54445353;
constexpr DWORD kHPET = 0x54455048;

uint32_t Dword(const std::vector<uint8_t>& bytes, size_t at) {
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
           uint32_t(bytes[at + 3]) << 24;
}

TEST(GetSystemFirmwareTable, RawSmbiosBlockWithTheWindowsSizeConventions) {
    const Bytes file = DataBytes("smbios/LenovoThinkPad-T61p.dmp");
    machine::ScopedMachine scoped(MachineWithSmbios(std::string(file.begin(), file.end())));
    const Bytes table = TableOfSmbiosFile(file);
    ASSERT_EQ(table.size(), 2437u);

    SetLastError(0);
    const UINT size = GetSystemFirmwareTable(FIRMWARE_PROVIDER_RSMB, 0, nullptr, 0);
    EXPECT_EQ(size, 8u + 2437u);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);

    std::vector<uint8_t> tooSmall(size - 1, 0xEE);
    SetLastError(0);
    EXPECT_EQ(GetSystemFirmwareTable(FIRMWARE_PROVIDER_RSMB, 0, tooSmall.data(), size - 1), size);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(tooSmall, std::vector<uint8_t>(size - 1, 0xEE));

    std::vector<uint8_t> block(size + 4, 0xEE);
    ASSERT_EQ(GetSystemFirmwareTable(FIRMWARE_PROVIDER_RSMB, 0, block.data(), size + 4), size);
    EXPECT_EQ(block[0], 0);  // found through an entry point
    EXPECT_EQ(block[1], 2);
    EXPECT_EQ(block[2], 4);
    EXPECT_EQ(block[3], 0);
    EXPECT_EQ(Dword(block, 4), 2437u);
    EXPECT_TRUE(std::equal(table.begin(), table.end(), block.begin() + 8));
    EXPECT_EQ(block[size], 0xEE);
}

TEST(GetSystemFirmwareTable, VersionAndRevisionOfEachTable) {
    struct Case {
        const char* file;
        uint8_t major, minor, revision;
    };
    const Case cases[] = {
        {"smbios/ASRock-Single-Ryzen.dump-bin", 3, 3, 0},
        {"smbios/Beelink-EQ12.dmi", 3, 5, 0},
        {"smbios/DellPrecisionWorkStation-490.dmp", 2, 3, 0},
        {"smbios/ProLiant-DL580-G5.0.dmidump", 2, 5, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const Bytes file = DataBytes(c.file);
        machine::ScopedMachine scoped(MachineWithSmbios(std::string(file.begin(), file.end())));
        std::vector<uint8_t> block(GetSystemFirmwareTable(FIRMWARE_PROVIDER_RSMB, 0, nullptr, 0));
        ASSERT_GT(block.size(), 8u);
        ASSERT_EQ(GetSystemFirmwareTable(FIRMWARE_PROVIDER_RSMB, 0, block.data(), DWORD(block.size())),
                  block.size());
        EXPECT_EQ(block[1], c.major);
        EXPECT_EQ(block[2], c.minor);
        EXPECT_EQ(block[3], c.revision);
        EXPECT_EQ(Dword(block, 4), block.size() - 8);
    }
}

// A raw ACPI table: signature, length, and `fill` up to `length` bytes.
std::string AcpiTable(const char* signature, uint32_t length, char fill) {
    std::string table(length, fill);
    table.replace(0, 4, signature, 4);
    for (int i = 0; i < 4; ++i) table[4 + i] = static_cast<char>(length >> (8 * i));
    return table;
}

TEST(GetSystemFirmwareTable, AcpiTableBySignatureTheFirstOfSeveral) {
    ImageDir image;
    image.write("acpi/1-ssdt.dat", AcpiTable("SSDT", 48, 'a'));
    image.write("acpi/2-facp.dat", AcpiTable("FACP", 244, 'f'));
    image.write("acpi/3-ssdt.dat", AcpiTable("SSDT", 64, 'b'));
    machine::ScopedMachine scoped(image.load());

    EXPECT_EQ(GetSystemFirmwareTable(FIRMWARE_PROVIDER_ACPI, kFACP, nullptr, 0), 244u);
    std::vector<char> facp(300, 0);
    ASSERT_EQ(GetSystemFirmwareTable(FIRMWARE_PROVIDER_ACPI, kFACP, facp.data(), 300), 244u);
    EXPECT_EQ(std::string(facp.data(), 244), AcpiTable("FACP", 244, 'f'));

    std::vector<char> ssdt(64, 0);
    ASSERT_EQ(GetSystemFirmwareTable(FIRMWARE_PROVIDER_ACPI, kSSDT, ssdt.data(), 64), 48u);
    EXPECT_EQ(ssdt[10], 'a');

    SetLastError(0);
    EXPECT_EQ(GetSystemFirmwareTable(FIRMWARE_PROVIDER_ACPI, kHPET, facp.data(), 300), 0u);
    EXPECT_EQ(GetLastError(), ERROR_NOT_FOUND);
    // The id is the signature read little-endian: "PCAF" names no table.
    EXPECT_EQ(GetSystemFirmwareTable(FIRMWARE_PROVIDER_ACPI, 0x46414350, facp.data(), 300), 0u);
}

TEST(GetSystemFirmwareTable, AbsentTablesAndUnknownProviders) {
    ImageDir image;
    image.write("machine.json", "{}");
    machine::ScopedMachine scoped(image.load());
    uint8_t buffer[64];
    SetLastError(0);
    EXPECT_EQ(GetSystemFirmwareTable(FIRMWARE_PROVIDER_RSMB, 0, buffer, sizeof buffer), 0u);
    EXPECT_EQ(GetLastError(), ERROR_NOT_FOUND);
    EXPECT_EQ(GetSystemFirmwareTable(FIRMWARE_PROVIDER_ACPI, kFACP, nullptr, 0), 0u);
    EXPECT_EQ(GetLastError(), ERROR_NOT_FOUND);
    EXPECT_EQ(GetSystemFirmwareTable(0x4649524D /* FIRM */, 0xE0000, buffer, sizeof buffer), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(GetSystemFirmwareTable, TheHostWithoutSmbiosTablesHasNone) {
    if (std::filesystem::exists("/sys/firmware/dmi/tables/DMI"))
        GTEST_SKIP() << "this host publishes SMBIOS tables";
    machine::ScopedMachine scoped(nullptr);
    SetLastError(0);
    EXPECT_EQ(GetSystemFirmwareTable(FIRMWARE_PROVIDER_RSMB, 0, nullptr, 0), 0u);
    EXPECT_EQ(GetLastError(), ERROR_NOT_FOUND);
}

TEST(GetSystemFirmwareTable, FoundByNameInKernel32) {
    HMODULE kernel32 = LoadLibraryA("kernel32.dll");
    ASSERT_TRUE(kernel32);
    EXPECT_EQ(GetProcAddress(kernel32, "GetSystemFirmwareTable"),
              reinterpret_cast<FARPROC>(&GetSystemFirmwareTable));
    FreeLibrary(kernel32);
}

} // namespace
} // namespace vexa::test
