// The caches page: which group each cache of package 0 goes to, its size,
// count and detail texts, the per-processor titles, and the mainboard
// cache in the first free group.
#include <gtest/gtest.h>

#include <QGroupBox>

#include "app/ui/cache_page.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "tests/ui/ui_test_support.h"

namespace {

using namespace vexa::ui;
using vexa::test::EnabledOf;
using vexa::test::FakeApplication;
using vexa::test::FakeCache;
using vexa::test::TextOf;

// What one group shows; a null title means the group stays disabled with
// its resource text and empty values.
struct Group {
    const char* title = nullptr;
    const char* size = "";
    const char* count = "";
    const char* detail = "";
};

void ExpectGroups(const CCacheDlg& page, const Group (&expected)[CCacheDlg::kGroupCount]) {
    for (int g = 0; g < CCacheDlg::kGroupCount; ++g) {
        SCOPED_TRACE(g + 1);
        const CCacheDlg::GroupControls& controls = CCacheDlg::kGroups[g];
        const Group& group = expected[g];
        const bool filled = group.title != nullptr;
        EXPECT_EQ(EnabledOf(page, controls.groupBox), filled);
        EXPECT_EQ(EnabledOf(page, controls.sizeLabel), filled);
        EXPECT_EQ(TextOf(page, controls.groupBox),
                  QString::fromUtf8(filled ? group.title : controls.resourceText));
        EXPECT_EQ(TextOf(page, controls.sizeValue), QString::fromUtf8(group.size));
        EXPECT_EQ(TextOf(page, controls.countValue), QString::fromUtf8(group.count));
        EXPECT_EQ(TextOf(page, controls.detailValue), QString::fromUtf8(group.detail));
    }
}

std::unique_ptr<CCacheDlg> FilledPage(FakeApplication& fake) {
    auto page = std::make_unique<CCacheDlg>(PageContext{fake.app, fake.fonts, nullptr}, nullptr);
    page->OnInitDialog();
    page->Fill();
    return page;
}

struct Case {
    const char* name;
    std::vector<FakeCache> caches;
    int packages;
    int boardCacheKB;
    Group groups[CCacheDlg::kGroupCount];
};

const std::vector<FakeCache> kFourCores = {{1, CACHE_DATA, 4, 32, 64, 8},
                                           {1, CACHE_INSTRUCTION, 4, 32, 64, 4},
                                           {2, CACHE_UNIFIED, 4, 256, 64, 8},
                                           {3, CACHE_UNIFIED, 1, 8192, 64, 16}};

TEST(CachePage, GroupsByCacheKind) {
    const Case cases[] = {
        {"four cores, one package",
         kFourCores,
         1,
         -1,
         {{"L1 데이터 캐시", " 32 KBytes", "x 4", " 8-way set associative, 64-byte line size"},
          {"L1 명령어 캐시", " 32 KBytes", "x 4", " 4-way set associative, 64-byte line size"},
          {"L2 캐시", " 256 KBytes", "x 4", " 8-way set associative, 64-byte line size"},
          {"L3 Cache", " 8 MBytes", "", " 16-way set associative, 64-byte line size"},
          {}}},
        {"two packages",
         kFourCores,
         2,
         -1,
         {{"L1 Data Cache (per processor)", " 32 KBytes", "x 4", " 8-way set associative, 64-byte line size"},
          {"L1 Instruction Cache (per processor)", " 32 KBytes", "x 4", " 4-way set associative, 64-byte line size"},
          {"L2 Cache (per processor)", " 256 KBytes", "x 4", " 8-way set associative, 64-byte line size"},
          {"L3 Cache (per processor)", " 8 MBytes", "", " 16-way set associative, 64-byte line size"},
          {}}},
        {"trace cache",
         {{1, CACHE_DATA, 1, 8, 64, 4}, {1, CACHE_TRACE, 1, 12, -1, 8}, {2, CACHE_UNIFIED, 1, 512, 64, 8}},
         1,
         -1,
         {{"L1 데이터 캐시", " 8 KBytes", "", " 4-way set associative, 64-byte line size"},
          {"Trace Cache", " 12 Kuops", "", " 8-way set associative"},
          {"L2 캐시", " 512 KBytes", "", " 8-way set associative, 64-byte line size"},
          {},
          {}}},
        {"level 3 of 6 MB and direct, fully, unknown ways",
         {{1, CACHE_DATA, 1, 16, 32, 1}, {1, CACHE_INSTRUCTION, 1, 16, -1, 255}, {2, CACHE_UNIFIED, 1, 1024, -1, -1},
          {3, CACHE_UNIFIED, 1, 6144, 64, -1}},
         1,
         -1,
         {{"L1 데이터 캐시", " 16 KBytes", "", " Direct mapped, 32-byte line size"},
          {"L1 명령어 캐시", " 16 KBytes", "", " Fully associative"},
          {"L2 캐시", " 1024 KBytes", "", ""},
          {"L3 Cache", " 6 MBytes", "", " 64-byte line size"},
          {}}},
        {"level 3 not a whole number of MB, geometry unanswered",
         {{3, CACHE_UNIFIED, 1, 1536, 64, 12, 0}},
         1,
         -1,
         {{}, {}, {}, {"L3 Cache", " 1536 KBytes", "", ""}, {}}},
        {"split level 2 pushes level 3 to the fifth group",
         {{1, CACHE_DATA, 1, 16, 64, 4}, {2, CACHE_INSTRUCTION, 1, 16, 64, 4}, {2, CACHE_DATA, 1, 256, 64, 8},
          {3, CACHE_UNIFIED, 1, 3072, 64, 12}},
         1,
         -1,
         {{"L1 데이터 캐시", " 16 KBytes", "", " 4-way set associative, 64-byte line size"},
          {},
          {"L2 Instruction Cache", " 16 KBytes", "", " 4-way set associative, 64-byte line size"},
          {"L2 Data Cache", " 256 KBytes", "", " 8-way set associative, 64-byte line size"},
          {"L3 Cache", " 3 MBytes", "", " 12-way set associative, 64-byte line size"}}},
        {"level 4 after level 3",
         {{2, CACHE_UNIFIED, 4, 256, 64, 4}, {3, CACHE_UNIFIED, 1, 6144, 64, 12}, {4, CACHE_UNIFIED, 1, 131072, 64, 16}},
         1,
         -1,
         {{},
          {},
          {"L2 캐시", " 256 KBytes", "x 4", " 4-way set associative, 64-byte line size"},
          {"L3 Cache", " 6 MBytes", "", " 12-way set associative, 64-byte line size"},
          {"L4 Cache", " 128 MBytes", "", " 16-way set associative, 64-byte line size"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeApplication fake;
        fake.queries->processors[0].caches = c.caches;
        fake.queries->processors.resize(static_cast<size_t>(c.packages), fake.queries->processors[0]);
        fake.queries->boardCacheKB = c.boardCacheKB;
        ExpectGroups(*FilledPage(fake), c.groups);
    }
}

// An old processor's level-1 caches, and the chipset's cache as level 2:
// the group keeps its own title, and shows only the size.
TEST(CachePage, MainboardCacheTakesTheNextGroup) {
    FakeApplication fake;
    fake.queries->processors[0].caches = {{1, CACHE_DATA, 1, 8, 32, 2}, {1, CACHE_INSTRUCTION, 1, 8, 32, 2}};
    fake.queries->boardCacheKB = 512;
    auto page = FilledPage(fake);
    ExpectGroups(*page, {{"L1 데이터 캐시", " 8 KBytes", "", " 2-way set associative, 32-byte line size"},
                         {"L1 명령어 캐시", " 8 KBytes", "", " 2-way set associative, 32-byte line size"},
                         {"L2 캐시", " 512 KBytes", "", ""},
                         {},
                         {}});
    EXPECT_FALSE(EnabledOf(*page, CCacheDlg::kGroups[2].detailLabel));

    fake.queries->processors[0].caches.push_back({2, CACHE_UNIFIED, 1, 256, 32, 4});
    ExpectGroups(*FilledPage(fake), {{"L1 데이터 캐시", " 8 KBytes", "", " 2-way set associative, 32-byte line size"},
                                     {"L1 명령어 캐시", " 8 KBytes", "", " 2-way set associative, 32-byte line size"},
                                     {"L2 캐시", " 256 KBytes", "", " 4-way set associative, 32-byte line size"},
                                     {"L3 캐시", " 512 KBytes", "", ""},
                                     {}});

    fake.queries->processors[0].caches.push_back({3, CACHE_UNIFIED, 1, 1024, 32, 4});
    auto withLevel3 = FilledPage(fake);
    EXPECT_EQ(TextOf(*withLevel3, CCacheDlg::kGroups[3].sizeValue), QStringLiteral(" 1 MBytes"))
        << "no free group after level 3";
}

TEST(CachePage, WithoutProcessorsStaysAsTheTemplateDrawsIt) {
    FakeApplication fake;
    fake.queries->processors.clear();
    fake.queries->boardCacheKB = 512;
    ExpectGroups(*FilledPage(fake), {{}, {}, {}, {}, {}});
}

TEST(CachePage, IgnoresTheRefresh) {
    FakeApplication fake;
    fake.queries->processors[0].caches = kFourCores;
    auto page = FilledPage(fake);
    const int asked = fake.queries->queries;
    SendWindowMessage(page.get(), WM_UPDATE_PAGE);
    EXPECT_EQ(fake.queries->queries, asked);
}

TEST(CachePageX58, ShowsTheSampleCaches) {
    vexa::test::X58Application x58;
    CCacheDlg page(PageContext{x58.app, x58.fonts, nullptr}, nullptr);
    page.OnInitDialog();
    ASSERT_EQ(x58.queries.Lock(2000), 1);
    page.Fill();
    x58.queries.Unlock();
    ExpectGroups(page, {{"L1 데이터 캐시", " 32 KBytes", "x 4", " 8-way set associative, 64-byte line size"},
                        {"L1 명령어 캐시", " 32 KBytes", "x 4", " 4-way set associative, 64-byte line size"},
                        {"L2 캐시", " 256 KBytes", "x 4", " 8-way set associative, 64-byte line size"},
                        {"L3 Cache", " 8 MBytes", "", " 16-way set associative, 64-byte line size"},
                        {}});
}

} // namespace
