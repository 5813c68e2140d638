// The machine's total physical memory: the manifest's os.memory_mb for a
// machine image, MemTotal of /proc/meminfo for the host.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "machine/host_machine.h"
#include "machine/manifest.h"
#include "tests/support/image_dir.h"

namespace vexa::machine {
namespace {

TEST(TotalMemory, ImageGivesTheManifestsMegabytesInBytes) {
    struct Case {
        const char* manifest;
        uint64_t bytes;
    };
    const Case cases[] = {
        {"{}", 0},
        {R"({"os": {"memory_mb": 2048}})", 2048ull << 20},
        {R"({"os": {"memory_mb": "3071"}})", 3071ull << 20},
        // 2047.9 MB is 2147378790.4 bytes, rounded to the nearest byte.
        {R"({"os": {"memory_mb": 2047.9}})", 2147378790ull},
        {R"({"os": {"memory_mb": 4294967296}})", 1ull << 52},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.manifest);
        test::ImageDir image;
        image.write("machine.json", c.manifest);
        const auto machine = image.load();
        ASSERT_TRUE(machine);
        EXPECT_EQ(machine->totalMemoryBytes(), c.bytes);
    }
}

TEST(TotalMemory, ManifestRejectsWhatIsNoMemorySize) {
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {R"({"os": {"memory_mb": 0}})", "os.memory_mb: must be a positive"},
        {R"({"os": {"memory_mb": -512}})", "os.memory_mb: must be a positive"},
        {R"({"os": {"memory_mb": "lots"}})", "os.memory_mb: \"lots\" is not a number"},
        {R"({"os": {"memory_mb": [1024]}})", "os.memory_mb: expected a number"},
        {R"({"os": {"memory_mb": 4294967297}})", "os.memory_mb: out of range"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Manifest manifest;
        std::string error;
        EXPECT_FALSE(parseManifest(c.text, manifest, error));
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

TEST(TotalMemory, HostReadsMemTotalOfProcMeminfo) {
    namespace fs = std::filesystem;
    struct Case {
        const char* name;
        const char* meminfo;  // null: no file
        uint64_t bytes;
    };
    const Case cases[] = {
        {"usual", "MemTotal:       16318756 kB\nMemFree:         1234 kB\n", 16318756ull * 1024},
        {"not first", "MemFree: 1 kB\nMemTotal: 2048 kB\n", 2048ull * 1024},
        {"no MemTotal", "MemFree: 1 kB\n", 0},
        {"other unit", "MemTotal: 2048 MB\n", 0},
        {"garbage number", "MemTotal: lots kB\n", 0},
        {"overflowing", "MemTotal: 99999999999999999999 kB\n", 0},
        {"no file", nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path root = fs::temp_directory_path() / "fake-proc";
        fs::remove_all(root);
        fs::create_directories(root / "proc");
        if (c.meminfo) std::ofstream(root / "proc/meminfo") << c.meminfo;
        const HostMachine host(root.string(), root.string());
        EXPECT_EQ(host.totalMemoryBytes(), c.bytes);
        fs::remove_all(root);
    }
}

TEST(TotalMemory, RealHostKnowsItsMemory) {
    if (!std::filesystem::exists("/proc/meminfo")) GTEST_SKIP() << "no /proc/meminfo here";
    EXPECT_GT(HostMachine().totalMemoryBytes(), 0u);
}

} // namespace
} // namespace vexa::machine
