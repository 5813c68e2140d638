// Real tables cut short or damaged at random: no fault, no read outside
// the table (the sanitizer builds check that), no walk that does not end,
// and what lies wholly inside a cut table still decodes.
#include <gtest/gtest.h>

#include <random>

#include "sdk/system/dmi_identity.h"
#include "sdk/system/dmi_interface.h"
#include "tests/sdk/system/dmi_test_support.h"

namespace vexa::test {
namespace {

const char* const kDumps[] = {
    "smbios/ASRock-Single-Ryzen.dump-bin",   "smbios/Beelink-EQ12.dmi",
    "smbios/DellPrecisionWorkStation-490.dmp", "smbios/LenovoThinkPad-T61p.dmp",
    "smbios/ProLiant-DL580-G5.0.dmidump",
};

// Decodes a table and uses everything decoded; the structure count.
uint32_t DecodeAndUse(const Bytes& table) {
    CDMIInterface dmi;
    dmi.DecodeTable(table);
    for (uint32_t type = 0; type < 5; ++type) dmi.GetStructure(type);
    ReportOf(dmi);
    return dmi.m_pStructures->GetCount();
}

TEST(DMIDamagedTables, EveryCutOfEveryDumpDecodesWhatItHolds) {
    for (const char* dump : kDumps) {
        SCOPED_TRACE(dump);
        const Bytes table = TableOfSmbiosFile(DataBytes(dump));
        const uint32_t whole = DecodeAndUse(table);
        uint32_t previous = 0;
        for (size_t length = 0; length <= table.size(); ++length) {
            const uint32_t count = DecodeAndUse(Bytes(table.begin(), table.begin() + long(length)));
            // A longer cut holds every structure a shorter one holds.
            ASSERT_GE(count, previous) << length << " bytes";
            ASSERT_LE(count, whole) << length << " bytes";
            previous = count;
        }
        EXPECT_EQ(previous, whole);
    }
}

TEST(DMIDamagedTables, ACutInsideAStructureLeavesWhatIsMissingUnknown) {
    // The ThinkPad's table opens with its BIOS structure: 24 bytes, then
    // "LENOVO", "7LET56WW (1.26 )" and "10/18/2007".
    const Bytes table = TableOfSmbiosFile(DataBytes("smbios/LenovoThinkPad-T61p.dmp"));
    struct Case {
        const char* name;
        size_t length;
        bool decoded;
        const char* vendor;
        const char* version;
    };
    const Case cases[] = {
        {"inside the header", 3, false, "", ""},
        {"inside the formatted area", 20, false, "", ""},
        {"at the end of the formatted area", 24, true, "", ""},
        {"inside the first string", 27, true, "", ""},
        {"after the first string", 31, true, "LENOVO", ""},
        {"inside the second string", 40, true, "LENOVO", ""},
        {"after the second string", 48, true, "LENOVO", "7LET56WW (1.26 )"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CDMIInterface dmi;
        dmi.DecodeTable(Bytes(table.begin(), table.begin() + long(c.length)));
        auto* bios = static_cast<CDMI_Bios*>(dmi.GetStructure(DMI_TYPE_BIOS));
        ASSERT_EQ(bios != nullptr, c.decoded);
        if (!bios) continue;
        EXPECT_STREQ(bios->m_Vendor.Get(), c.vendor);
        EXPECT_STREQ(bios->m_Version.Get(), c.version);
        EXPECT_EQ(bios->m_iROMSizeKB, 4096);
        EXPECT_EQ(dmi.m_pStructures->GetCount(), 1u);
    }
}

TEST(DMIDamagedTables, RandomDamageToRealTables) {
    std::mt19937 random(20090819);
    for (const char* dump : kDumps) {
        SCOPED_TRACE(dump);
        const Bytes table = TableOfSmbiosFile(DataBytes(dump));
        for (int round = 0; round < 400; ++round) {
            Bytes damaged = table;
            const int changes = 1 + int(random() % 16);
            for (int i = 0; i < changes; ++i) {
                const size_t at = random() % damaged.size();
                // Lengths and terminators are what the walk depends on:
                // make them likely.
                switch (random() % 4) {
                case 0: damaged[at] = 0; break;
                case 1: damaged[at] = 0xFF; break;
                case 2: damaged[at] = uint8_t(random() % 8); break;
                default: damaged[at] = uint8_t(random()); break;
                }
            }
            if (random() % 4 == 0) damaged.resize(random() % damaged.size());
            DecodeAndUse(damaged);
        }
    }
}

} // namespace
} // namespace vexa::test
