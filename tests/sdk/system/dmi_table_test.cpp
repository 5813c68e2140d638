// Bounded reading of SMBIOS tables: the walk, fields guarded by the
// formatted length, string lookup and text cleaning.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sdk/system/dmi_table.h"
#include "tests/sdk/system/dmi_test_support.h"

namespace vexa::test {
namespace {

struct Found {
    uint8_t type, length;
    uint16_t handle;
    size_t size;  // bytes of the structure, string set included
    bool operator==(const Found&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Found& f) {
    return out << "{type " << int(f.type) << ", length " << int(f.length) << ", handle " << f.handle
               << ", size " << f.size << "}";
}

std::vector<Found> WalkAll(const Bytes& table) {
    std::vector<Found> found;
    DMITableWalk walk(table);
    while (const auto structure = walk.Next()) {
        found.push_back({structure->Type(), structure->Length(), structure->Handle(),
                         structure->Length() + structure->StringSet().size()});
        if (found.size() > table.size()) break;  // a walk that does not end
    }
    EXPECT_FALSE(walk.Next()) << "the walk goes on after its end";
    return found;
}

TEST(DMITableWalk, EveryTypeStepsOverItsStringSetByTheDoubleNul) {
    // A memory controller (type 5) with strings: its successor starts after
    // the strings, not at the first string byte.
    const Bytes table = Concatenate({
        StructureBuilder(0, 0x18, 0x0000).String(4, "Vendor").String(5, "1.0").Bytes(),
        StructureBuilder(5, 0x0F, 0x0001).ExtraString("controller text").Bytes(),
        StructureBuilder(5, 0x0F, 0x0002).Bytes(),
        StructureBuilder(2, 0x08, 0x0003).String(4, "Maker").Bytes(),
        EndOfTable(),
    });
    EXPECT_EQ(WalkAll(table), (std::vector<Found>{
                                  {0, 0x18, 0x0000, 0x18 + 7 + 4 + 1},
                                  {5, 0x0F, 0x0001, 0x0F + 16 + 1},
                                  {5, 0x0F, 0x0002, 0x0F + 2},
                                  {2, 0x08, 0x0003, 0x08 + 6 + 1},
                                  {127, 4, 0xFEFF, 6},
                              }));
}

TEST(DMITableWalk, EndsCleanlyWhereTheRestCannotBeAStructure) {
    const Bytes good = StructureBuilder(2, 0x08, 7).String(4, "Maker").Bytes();
    struct Case {
        const char* name;
        Bytes tail;           // after one good structure
        size_t structures;    // found in all
    };
    const Case cases[] = {
        {"nothing more", {}, 1},
        {"a header cut short", {0x02, 0x08, 0x00}, 1},
        {"a stated length of 0", {0x02, 0x00, 0x00, 0x00, 0x00, 0x00}, 1},
        {"a stated length below the header's", {0x02, 0x03, 0x00, 0x00, 0x00, 0x00}, 1},
        {"a formatted area running past the end", {0x02, 0x10, 0x00, 0x00, 0x00, 0x00}, 1},
        // The last structure's string set is not closed: it is found, and
        // the walk ends with it.
        {"a string set without its end", {0x02, 0x05, 0x01, 0x00, 0x01, 'A', 'B', 0x00}, 2},
        {"formatted area exactly to the end", {0x02, 0x05, 0x01, 0x00, 0x01}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(WalkAll(Concatenate({good, c.tail})).size(), c.structures);
    }
    EXPECT_TRUE(WalkAll({}).empty());
}

TEST(DMITableWalk, StructuresAfterTheEndOfTableAreWalkedToo) {
    const Bytes table = Concatenate({EndOfTable(), StructureBuilder(1, 0x08, 1).Bytes()});
    const auto found = WalkAll(table);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[1].type, 1);
}

TEST(DMIStructureView, FieldsLieInsideTheFormattedAreaOrAreUnknown) {
    // Formatted length 8; the string bytes after it must not pass for fields.
    const Bytes bytes = StructureBuilder(2, 8).Word(6, 0xBEEF).String(4, "XYZW").Bytes();
    DMITableWalk walk(bytes);
    const auto s = walk.Next();
    ASSERT_TRUE(s);
    EXPECT_EQ(s->Byte(7), 0xBE);
    EXPECT_EQ(s->Word(6), 0xBEEF);
    EXPECT_FALSE(s->Byte(8));
    EXPECT_FALSE(s->Word(7));
    EXPECT_FALSE(s->Dword(5));
    EXPECT_EQ(s->Dword(4).value_or(0), 0xBEEF0001u);
    EXPECT_EQ(s->Bytes(4, 4).size(), 4u);
    EXPECT_TRUE(s->Bytes(4, 5).empty());
    EXPECT_TRUE(s->Bytes(SIZE_MAX, 2).empty());
    EXPECT_TRUE(s->Bytes(2, SIZE_MAX).empty());
    EXPECT_TRUE(s->Bytes(0, 0).empty());
}

TEST(DMIString, OneBasedIndexWithinTheStringSetOnly) {
    const Bytes twoStrings = StructureBuilder(1, 8).String(4, "first").String(5, "second").Bytes();
    const Bytes noStrings = StructureBuilder(1, 8).Bytes();
    // The table ends inside the second string: "one\0tw".
    Bytes unterminated = StructureBuilder(1, 8).Bytes();
    unterminated.resize(8);
    for (char c : std::string("one\0tw", 6)) unterminated.push_back(static_cast<uint8_t>(c));

    struct Case {
        const char* name;
        const Bytes& structure;
        unsigned index;
        const char* expected;  // null: no string
    };
    const Case cases[] = {
        {"index 0", twoStrings, 0, nullptr},
        {"first", twoStrings, 1, "first"},
        {"second", twoStrings, 2, "second"},
        {"past the last string", twoStrings, 3, nullptr},
        {"far past the set", twoStrings, 255, nullptr},
        {"no strings at all", noStrings, 1, nullptr},
        {"terminated before the end of the table", unterminated, 1, "one"},
        {"cut by the end of the table", unterminated, 2, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DMITableWalk walk(c.structure);
        const auto s = walk.Next();
        ASSERT_TRUE(s);
        const auto found = DMIString(*s, c.index);
        if (!c.expected) EXPECT_FALSE(found) << *found;
        else EXPECT_EQ(found.value_or("(none)"), c.expected);
    }
}

TEST(DMICleanText, TrimsSpacesAndDropsQuotesApostrophesAndCommas) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"", ""},
        {"     ", ""},
        {"  Dell Inc.       ", "Dell Inc."},
        {"American Megatrends International, LLC.", "American Megatrends International LLC."},
        {"\"Quoted\" and 'ticked', too", "Quoted and ticked too"},
        {"  \"P6T6 WS REVOLUTION\"  ", "P6T6 WS REVOLUTION"},
        {"Inner   spaces stay", "Inner   spaces stay"},
        {",,,", ""},
        // Longer than 511 characters: left as it is.
        {"  " + std::string(510, 'x') + ",", "  " + std::string(510, 'x') + ","},
        {"  " + std::string(508, 'x') + ",", std::string(508, 'x')},
    };
    for (const Case& c : cases) {
        std::vector<char> text(c.in.begin(), c.in.end());
        text.push_back('\0');
        DMICleanText(text.data());
        EXPECT_EQ(std::string(text.data()), c.out) << '"' << c.in << '"';
    }
}

} // namespace
} // namespace vexa::test
