// Main of every test program. Each test process gets a private object
// namespace (named mutexes, service records) and a private temporary folder,
// both removed at the end, so tests may run side by side. The program's web
// requests (the update check at start) go to a local port that refuses
// them, never to the network; tests that serve a reply set their own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/local_http_server.h"

namespace {

std::string makePrivateDirectory(const char* prefix) {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/" + prefix + "XXXXXX";
    if (!mkdtemp(pattern.data())) return {};
    return pattern;
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const std::string objects = makePrivateDirectory("vexa-test-ns-");
    const std::string temp = makePrivateDirectory("vexa-test-tmp-");
    if (!objects.empty()) setenv("VEXA_NAMESPACE", objects.c_str(), 1);
    if (!temp.empty()) setenv("TMPDIR", temp.c_str(), 1);
    const vexa::test::RefusingPort noWeb;
    setenv("VEXA_WEB_BASE", noWeb.base().c_str(), 1);
    setenv("VEXA_VALIDATION_BASE", noWeb.base().c_str(), 1);
    const int result = RUN_ALL_TESTS();
    std::error_code ignored;
    if (!objects.empty()) std::filesystem::remove_all(objects, ignored);
    if (!temp.empty()) std::filesystem::remove_all(temp, ignored);
    return result;
}
