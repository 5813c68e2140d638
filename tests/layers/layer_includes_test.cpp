// The layers of the program, app → sdk → platform → machine, as the source
// tree's includes keep them. Every target compiles with the source root as
// its include folder, so the link order alone does not stop a file from
// naming a header of a layer it must not reach; this suite reads every
// include of the four layers and names each one that breaks a rule. Tests
// and tools are outside the layers and may include anything.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

namespace fs = std::filesystem;

// Bottom to top; a file may include headers of its own layer and of the
// layers below it.
enum class Layer { Machine, Platform, Sdk, App, OutsideProgram, None };

Layer LayerOf(const std::string& path) {
    const std::string top = path.substr(0, path.find('/'));
    if (top == "machine") return Layer::Machine;
    if (top == "platform") return Layer::Platform;
    if (top == "sdk") return Layer::Sdk;
    if (top == "app") return Layer::App;
    if (top == "tests" || top == "tools") return Layer::OutsideProgram;
    return Layer::None;  // the system's and the packages' headers
}

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// Headers only the platform's own files include: its private helpers, the
// stand-in driver and the hooks tests use to reshape it.
bool IsPlatformPrivate(const std::string& header) {
    return StartsWith(header, "platform/internal/") || StartsWith(header, "platform/driver/") ||
           header == "platform/testing.h";
}

// The platform's interface: its headers directly in platform/.
bool IsPlatformInterface(const std::string& file) {
    return StartsWith(file, "platform/") && file.ends_with(".h") && file.find('/', 9) == std::string::npos &&
           !IsPlatformPrivate(file);
}

// Why `file` may not include `header` (both relative to the source root);
// nothing when it may.
std::optional<std::string> Violation(const std::string& file, const std::string& header) {
    const Layer from = LayerOf(file), to = LayerOf(header);
    if (to == Layer::None || from == Layer::OutsideProgram) return std::nullopt;
    if (to == Layer::OutsideProgram) return "tests and tools are not part of the program";
    if (to > from) return "a layer reaches only the layers below it";
    if (to == Layer::Machine && from != Layer::Machine && from != Layer::Platform)
        return "the machine is reached only through the platform";
    if (IsPlatformPrivate(header) && from != Layer::Platform) return "a header private to the platform";
    if (to == Layer::Machine && IsPlatformInterface(file))
        return "the platform's interface hands up no machine type";
    return std::nullopt;
}

struct RuleCase {
    const char* file;
    const char* header;
    bool allowed;
};

const RuleCase kRuleCases[] = {
    {"app/main.cpp", "app/vexa_app.h", true},
    {"app/queries_cpu.cpp", "sdk/cpu/cpu_package.h", true},
    {"app/ui/dialog.h", "platform/message_box.h", true},
    {"app/main.cpp", "machine/machine.h", false},
    {"app/startup.cpp", "platform/internal/handles.h", false},
    {"app/startup.cpp", "platform/testing.h", false},
    {"sdk/cpu/cpu_thread.cpp", "platform/threads.h", true},
    {"sdk/hw/timer.cpp", "machine/clock.h", false},
    {"sdk/hw/kmdriver.cpp", "platform/driver/standin_driver.h", false},
    {"sdk/core/sdk.cpp", "app/progress.h", false},
    {"sdk/core/sdk.cpp", "tests/support/test_paths.h", false},
    {"platform/threads.cpp", "machine/clock.h", true},
    {"platform/internal/handles.h", "machine/machine.h", true},
    {"platform/testing.h", "machine/machine.h", true},
    {"platform/os_edition.h", "machine/machine.h", false},
    {"platform/driver/device.cpp", "platform/internal/control_device.h", true},
    {"platform/text.cpp", "sdk/core/helpers.h", false},
    {"machine/host_machine.cpp", "machine/clock.h", true},
    {"machine/machine.cpp", "platform/text.h", false},
    {"tests/sdk/hw/timer_test.cpp", "machine/clock.h", true},
    {"sdk/core/helpers.cpp", "gtest/gtest.h", true},
};

TEST(LayerRules, WhoMayIncludeWhat) {
    for (const RuleCase& c : kRuleCases)
        EXPECT_EQ(!Violation(c.file, c.header), c.allowed) << c.file << " includes " << c.header;
}

// The headers a source file includes, by quotes or angle brackets, as paths
// from the source root: a path that names a file next to the includer is
// resolved from there.
struct Include {
    std::string header;
    int line;
};

std::vector<Include> IncludesOf(const fs::path& root, const std::string& file) {
    static const std::regex kInclude(R"(^\s*#\s*include\s*[<"]([^>"]+)[>"])");
    std::vector<Include> includes;
    std::ifstream in(root / file);
    std::string text;
    std::smatch match;
    for (int line = 1; std::getline(in, text); ++line) {
        if (!std::regex_search(text, match, kInclude)) continue;
        std::string header = match[1];
        const fs::path beside = (root / file).parent_path() / header;
        if (fs::is_regular_file(beside)) header = fs::relative(beside, root).lexically_normal().generic_string();
        includes.push_back({header, line});
    }
    return includes;
}

class LayerIncludes : public ::testing::TestWithParam<const char*> {};

TEST_P(LayerIncludes, KeepTheLayers) {
    const fs::path root = sourcePath("");
    const std::string layer = GetParam();
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root / layer)) {
        const std::string extension = entry.path().extension().string();
        if (!entry.is_regular_file() || (extension != ".h" && extension != ".cpp")) continue;
        ++files;
        const std::string file = fs::relative(entry.path(), root).generic_string();
        for (const Include& include : IncludesOf(root, file))
            if (const auto why = Violation(file, include.header))
                ADD_FAILURE() << file << ":" << include.line << " includes " << include.header << ": " << *why;
    }
    EXPECT_GT(files, 0) << "no sources under " << layer;
}

INSTANTIATE_TEST_SUITE_P(Program, LayerIncludes, ::testing::Values("app", "sdk", "platform", "machine"),
                         [](const auto& row) { return std::string(row.param); });

} // namespace
} // namespace vexa::test
