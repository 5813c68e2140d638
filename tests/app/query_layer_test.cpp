// The query interface: what it answers while a domain is absent, and the
// library lock it hands out.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "app/local_info_parser.h"
#include "app/settings.h"
#include "sdk/core/sdk.h"

namespace {

struct QueryLayer {
    VexaSettings settings;
    int noValidation = 0;
    CLocalInfoParser parser{settings, noValidation};
};

// Where the local query layer's "unknown" differs from the base's, callers
// see the difference: a loop up to the processor count runs zero times.
TEST(QueryLayer, AbsentDomainsAnswerUnknown) {
    CInfoParser base;
    QueryLayer layer;
    CInfoParser& local = layer.parser;
    struct Case {
        const char* slot;
        int (*ask)(CInfoParser&);
        int base;
        int local;
    };
    const Case cases[] = {
        {"5 processor count", [](CInfoParser& q) { return q.GetProcessorCount(); }, 1, -1},
        {"7 core count", [](CInfoParser& q) { return q.GetCoreCount(0); }, 1, 1},
        {"8 thread count", [](CInfoParser& q) { return q.GetThreadCount(0); }, 1, 1},
        {"11 board cache", [](CInfoParser& q) { int size = 7; return q.GetBoardCacheSize(&size); }, 0, -1},
        {"19 brand id", [](CInfoParser& q) { return q.GetBrandID(0); }, 0, -1},
        {"32 class code", [](CInfoParser& q) { return q.GetClassCode(0); }, 0, -1},
        {"84 module count", [](CInfoParser& q) { return q.GetSPDModuleCount(); }, -1, 0},
        {"120 adapter count", [](CInfoParser& q) { return q.GetDisplayAdapterCount(); }, -1, -1},
        {"144 drive capacity", [](CInfoParser& q) { return q.GetDriveCapacity(5); }, 0, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.ask(base), c.base) << c.slot;
        EXPECT_EQ(c.ask(local), c.local) << c.slot;
    }
    EXPECT_EQ(local.GetBusClock(), -1.0f);
    EXPECT_EQ(layer.parser.GetScaledBusClock(), -1.0f);
}

TEST(QueryLayer, TextQueriesWithoutAnswerLeaveTheBufferAlone) {
    QueryLayer layer;
    wchar_t text[kInfoTextChars] = L"untouched";
    EXPECT_EQ(layer.parser.GetProcessorName(0, text), 0);
    EXPECT_EQ(layer.parser.GetBIOSVendor(text), 0);
    EXPECT_EQ(layer.parser.GetWindowsVersion(text), 0);
    EXPECT_STREQ(text, L"untouched");
}

TEST(QueryLayer, LockNeedsTheScan) {
    QueryLayer layer;
    EXPECT_EQ(layer.parser.Lock(0), 0);
    layer.parser.Unlock();  // harmless
}

// A caller that cannot have the lock within its timeout skips its work.
TEST(QueryLayer, LockTimesOutWhileAnotherThreadHoldsIt) {
    QueryLayer layer;
    int error = 0, detail = 0;
    ASSERT_EQ(layer.parser.Scan(&error, &detail), 1);
    std::atomic<int> phase{0};
    std::thread holder([&] {
        uint32_t status = 0;
        GetSDK()->Lock(&status, INFINITE);
        phase = 1;
        while (phase != 2) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        GetSDK()->Unlock();
        phase = 3;
    });
    while (phase != 1) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(layer.parser.Lock(150), 0);
    layer.parser.Refresh(100);  // gives up as well
    phase = 2;
    while (phase != 3) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    holder.join();
    EXPECT_EQ(layer.parser.Lock(150), 1);
    layer.parser.Unlock();
    layer.parser.Close();
}

} // namespace
