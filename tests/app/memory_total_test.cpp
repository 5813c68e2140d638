// The scan's memory total: the operating system's figure rounded up with
// the odd rule, against the sum of the memory modules.
#include "app/memory_total.h"

#include <gtest/gtest.h>

#include "platform/testing.h"
#include "tests/support/image_dir.h"

namespace {

constexpr uint64_t kMB = 1048576;

// A simulated machine whose operating system reports `memoryMb` ("" for
// nothing), installed while the object lives.
class MachineWithMemory {
public:
    explicit MachineWithMemory(const std::string& memoryMb)
        : scoped_(load(memoryMb)) {}

private:
    static std::unique_ptr<vexa::machine::Machine> load(const std::string& memoryMb) {
        vexa::test::ImageDir image;
        image.write("machine.json", memoryMb.empty() ? "{}" : R"({"os": {"memory_mb": )" + memoryMb + "}}");
        return image.load();
    }
    vexa::machine::ScopedMachine scoped_;
};

TEST(MemoryTotal, OperatingSystemFigureRoundsUpToAnEvenNumber) {
    struct Case {
        uint64_t bytes;
        int mb;
    };
    const Case cases[] = {
        {2147378790, 2048},          // 2047.9 MB
        {3071 * kMB, 3072},          // 3071.95 gives 3071, odd
        {2048 * kMB, 2048},          // 2048.95 gives 2048
        {2047 * kMB, 2048},          // 2047.95 gives 2047, odd
        {2046 * kMB + kMB / 25, 2046},  // 2046.04 + 0.95 stays below 2047
        {kMB / 100, 0},              // 0.01 MB
        {kMB / 10, 2},               // 0.1 + 0.95 gives 1, odd
    };
    for (const Case& c : cases) EXPECT_EQ(RoundedMemoryMB(c.bytes), c.mb) << c.bytes;
}

TEST(MemoryTotal, ScanTakesTheLargerOfModulesAndSystem) {
    struct Case {
        const char* name;
        std::vector<int> modules;
        int os;
        int total;
    };
    const Case cases[] = {
        {"two 1024 MB modules and 2047.9 MB", {1024, 1024}, RoundedMemoryMB(2147378790), 2048},
        {"no modules and 3071.0 MB", {}, RoundedMemoryMB(3071 * kMB), 3072},
        {"modules larger than the system's figure", {2048, 2048}, 3072, 4096},
        {"empty sockets count nothing", {1024, -1, 0, 1024}, -1, 2048},
        {"nothing known", {}, -1, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(ScanMemoryTotalMB(c.modules, c.os), c.total) << c.name;
}

TEST(MemoryTotal, OperatingSystemFigureComesFromTheMachine) {
    struct Case {
        const char* memoryMb;
        int mb;
    };
    const Case cases[] = {{"2047.9", 2048}, {"3071.0", 3072}, {"", -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.memoryMb);
        MachineWithMemory machine(c.memoryMb);
        EXPECT_EQ(OSTotalMemoryMB(), c.mb);
    }
}

// Without GlobalMemoryStatusEx (older Windows) the older call answers.
TEST(MemoryTotal, OlderCallAnswersWhenTheNewOneIsMissing) {
    MachineWithMemory machine("3071.0");
    vexa::platform::testing::hideExport("kernel32.dll", "GlobalMemoryStatusEx");
    EXPECT_EQ(OSTotalMemoryMB(), 3072);
    vexa::platform::testing::restoreLibraries();
}

} // namespace
