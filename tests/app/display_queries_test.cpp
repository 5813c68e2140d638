// The display queries on the x58 sample's GeForce 210: its name, board
// maker, PCI ids (against the device id Windows gives it in the sample),
// one unnamed performance level, and the unknown answers for what the
// display domain does not know, for an adapter that does not exist and for
// a clock domain the page never asks.
#include <gtest/gtest.h>

#include <string>

#include "app/local_info_parser.h"
#include "app/settings.h"
#include "machine/machine.h"
#include "tests/support/test_paths.h"

namespace {

std::wstring Text(CInfoParser& queries, int (CInfoParser::*query)(int, wchar_t*), int A) {
    wchar_t text[kInfoTextChars] = L"untouched";
    return (queries.*query)(A, text) ? std::wstring(text) : L"(0) " + std::wstring(text);
}

TEST(DisplayQueries, X58GeForce210) {
    std::string error;
    vexa::machine::ScopedMachine machine(vexa::machine::loadImage(vexa::test::sourcePath("machines/x58-nehalem"), error));
    VexaSettings settings;
    int noValidation = 0;
    CLocalInfoParser queries(settings, noValidation);
    int status = 0, detail = 0;
    ASSERT_EQ(queries.Init(&status), 1);
    ASSERT_EQ(queries.Scan(&status, &detail), 1);
    ASSERT_EQ(queries.Lock(2000), 1);

    ASSERT_EQ(queries.GetDisplayAdapterCount(), 1);
    EXPECT_EQ(queries.GetGPUFamilyCode(0) >> 24, 0x01) << "an NVIDIA family";
    EXPECT_EQ(Text(queries, &CInfoParser::GetGPUName, 0), L"NVIDIA GeForce 210");
    EXPECT_EQ(Text(queries, &CInfoParser::GetGPUBoardVendor, 0), L"EVGA Corp.");
    // PCI\VEN_10DE&DEV_0A65&SUBSYS_13123842&REV_A2
    int vendor = 0, device = 0, revision = 0, subVendor = 0, subSystem = 0;
    ASSERT_EQ(queries.GetGPUPCIIDs(0, &vendor, &device, &revision, &subVendor, &subSystem), 1);
    EXPECT_EQ(vendor, 0x10DE);
    EXPECT_EQ(device, 0x0A65);
    EXPECT_EQ(revision, 0xA2);
    EXPECT_EQ(subVendor, 0x3842);
    EXPECT_EQ(subSystem, 0x1312);

    ASSERT_GE(queries.GetPerfLevelCount(0), 1);
    EXPECT_LE(queries.GetPerfLevelCount(0), 8);
    wchar_t name[kInfoTextChars] = {};
    ASSERT_EQ(queries.GetPerfLevelName(0, 0, name), 1);
    EXPECT_FALSE(std::wstring(name).empty());
    EXPECT_EQ(queries.GetPerfLevelName(0, queries.GetPerfLevelCount(0), name), 0);
    EXPECT_EQ(queries.GetPerfLevelName(0, -1, name), 0);
    for (int level : {0, 1, -1}) EXPECT_EQ(queries.GetGPUClock(0, level, 1), -1.0f) << "domain 1 is none of the three";
    EXPECT_EQ(queries.GetGPUClock(0, 8, 0), -1.0f);

    // Slots 134-136 answer 1 for an adapter, with its value (-1 while
    // unknown), and write -1 before they answer 0 for none.
    for (auto query : {&CInfoParser::GetGPUMemoryType, &CInfoParser::GetGPUMemorySize, &CInfoParser::GetGPUMemoryBusWidth}) {
        int value = 77;
        EXPECT_EQ((queries.*query)(0, &value), 1);
        EXPECT_NE(value, 77);
        value = 77;
        EXPECT_EQ((queries.*query)(1, &value), 0);
        EXPECT_EQ(value, -1);
    }
    EXPECT_EQ(queries.GetGPUFamilyCode(1), -1);
    EXPECT_EQ(Text(queries, &CInfoParser::GetGPUName, 1), L"(0) untouched");
    EXPECT_EQ(Text(queries, &CInfoParser::GetGPUName, -1), L"(0) untouched");
    EXPECT_EQ(queries.GetGPURevision(1), -1);
    EXPECT_EQ(queries.GetPerfLevelCount(1), -1);
    EXPECT_EQ(queries.GetCurrentPerfLevel(1), -1);
    EXPECT_EQ(queries.GetGPUTechnology(1), -1.0f);
    EXPECT_EQ(queries.GetGPUPCIIDs(1, &vendor, &device, &revision, &subVendor, &subSystem), 0);
    queries.Unlock();
    queries.Close();
}

TEST(DisplayQueries, WithoutTheDisplayDomainNothingIsKnown) {
    VexaSettings settings;
    int noValidation = 0;
    CLocalInfoParser queries(settings, noValidation);
    wchar_t text[kInfoTextChars] = L"untouched";
    EXPECT_EQ(queries.GetDisplayAdapterCount(), -1);
    EXPECT_EQ(queries.GetGPUName(0, text), 0);
    EXPECT_EQ(queries.GetPerfLevelName(0, 0, text), 0);
    EXPECT_STREQ(text, L"untouched");
    EXPECT_EQ(queries.GetGPUClock(0, 0, 0), -1.0f);
    int size = 5;
    EXPECT_EQ(queries.GetGPUMemorySize(0, &size), 0);
    EXPECT_EQ(size, -1);
}

} // namespace
