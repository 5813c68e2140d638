// The JEP106 maker names: the bank is the count of continuation codes, the
// code is compared with its parity bit, and what the table lacks leaves the
// caller's text alone.
#include <gtest/gtest.h>

#include <bit>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "sdk/chipset/jedec_names.h"

namespace {

std::string NameOf(const std::vector<uint8_t>& id, const char* before = "untouched") {
    std::vector<uint8_t> bytes = id;
    bytes.resize(16, 0);
    char name[kJEDECNameSize];
    std::snprintf(name, sizeof name, "%s", before);
    GetJEDECManufacturerName(bytes.data(), name);
    return name;
}

std::vector<uint8_t> InBank(int bank, uint8_t code) {
    std::vector<uint8_t> id(bank - 1, 0x7F);
    id.push_back(code);
    return id;
}

TEST(JEDECNames, IdentificationBytesToNames) {
    const struct {
        std::vector<uint8_t> id;
        const char* name;
    } cases[] = {
        {{0x2C}, "Micron Technology"},
        {{0xCE}, "Samsung"},
        {{0x97}, "Texas Instrument"},
        {{0xAD}, "Hyundai Electronics"},
        {{0x89}, "Intel"},
        {{0x09}, "Intel"},   // even parity, kept
        {{0xC9}, "Xilinx"},  // even parity, kept
        {{0x83}, "Fairchild"},
        {{0x98}, "Toshiba"},
        {InBank(2, 0x98), "Kingston"},
        {InBank(2, 0x7A), "Apacer Technology"},
        {InBank(2, 0x00), "National Instruments"},
        {InBank(3, 0x9E), "Corsair"},
        {InBank(3, 0xFE), "Elpida"},
        {InBank(3, 0x9F), "Rhino"},
        {InBank(4, 0x0B), "Nanya Technology"},
        {InBank(4, 0x6B), "NVIDIA"},
        {InBank(4, 0x13), "Golden Empire"},
        {InBank(5, 0xB0), "OCZ"},
        {InBank(5, 0xCD), "G.Skill"},
        {InBank(5, 0xF1), "Toshiba"},
        {InBank(6, 0x02), "Patriot Memory"},
        {InBank(6, 0x51), "Qimonda"},
        {InBank(6, 0x9B), "Crucial Technology"},
        {InBank(7, 0x6B), "TwinMOS"},
        {InBank(8, 0x83), "Strontium"},
        {InBank(9, 0x01), "3D PLUS"},
        {InBank(9, 0x83), "Fairchild"},
        {InBank(9, 0x89), "Silicon Motion Inc."},
        // Not in the table, or no bank: the text stays as passed.
        {{0x03}, "untouched"},
        {{0x4E}, "untouched"},  // Samsung's code without its parity bit
        {InBank(10, 0x01), "untouched"},
        {std::vector<uint8_t>(12, 0x7F), "untouched"},
    };
    for (const auto& c : cases) {
        std::string id;
        for (uint8_t byte : c.id) id += std::to_string(byte) + " ";
        EXPECT_EQ(NameOf(c.id), c.name) << id;
    }
}

// Only nine bytes are read: a tenth byte never selects a bank.
TEST(JEDECNames, ReadsAtMostNineBytes) {
    std::vector<uint8_t> id(9, 0x7F);
    id.push_back(0x01);
    EXPECT_EQ(NameOf(id, "before"), "before");
}

TEST(JEDECNames, TableHoldsEachBanksShareWithParityOnAllButFourCodes) {
    int count = 0;
    const JEDECName* names = JEDECNames(&count);
    ASSERT_EQ(count, 288);
    std::map<int, int> perBank;
    std::set<std::pair<int, int>> seen;
    std::set<std::pair<int, int>> evenParity;
    for (int i = 0; i < count; ++i) {
        const JEDECName& entry = names[i];
        ++perBank[entry.bank];
        EXPECT_TRUE(seen.insert({entry.bank, entry.code}).second) << "twice: bank " << int(entry.bank) << " code "
                                                                  << int(entry.code);
        EXPECT_NE(entry.name[0], '\0');
        EXPECT_EQ(std::string(entry.name).find('%'), std::string::npos) << entry.name;
        if (std::popcount(entry.code) % 2 == 0) evenParity.insert({entry.bank, entry.code});
    }
    EXPECT_EQ(perBank, (std::map<int, int>{{1, 75}, {2, 63}, {3, 33}, {4, 28}, {5, 21}, {6, 26}, {7, 20}, {8, 13},
                                           {9, 9}}));
    EXPECT_EQ(evenParity, (std::set<std::pair<int, int>>{{1, 0x09}, {1, 0xC9}, {2, 0x00}, {3, 0x9F}}));
}

} // namespace
