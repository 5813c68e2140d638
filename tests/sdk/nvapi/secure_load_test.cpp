// Loading system libraries by bare name: only from the system folder, never
// from the current folder or a path the caller slips in.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>

#include "platform/environment.h"
#include "platform/modules.h"
#include "sdk/nvapi/secure_load.h"
#include "tests/sdk/nvapi/nvapi_test_support.h"

namespace vexa::test {
namespace {

// A real shared object to load: the C library's mathematics, wherever this
// system keeps it.
std::string mathLibrary() {
    Dl_info math{};
    if (dladdr(reinterpret_cast<void*>(static_cast<double (*)(double)>(std::cos)), &math) == 0 || !math.dli_fname)
        ADD_FAILURE() << "cannot find the library of cos()";
    return math.dli_fname ? math.dli_fname : "";
}

class SeparatorName : public ::testing::TestWithParam<const wchar_t*> {};

TEST_P(SeparatorName, IsRefusedAndNothingIsLoaded) {
    NvapiMachine machine("{" + nvapiSection() + "}");
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(SecureLoadSystemLibraryExW(GetParam(), 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_BAD_ARGUMENTS);
    EXPECT_EQ(GetModuleHandleA("nvapi.dll"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Names, SeparatorName,
                         ::testing::Values(L"sub\\nvapi.dll", L"sub/nvapi.dll", L".\\nvapi.dll", L"..\\nvapi.dll",
                                           L"\\nvapi.dll", L"C:\\Windows\\System32\\nvapi.dll"));

TEST(SecureLoad, NarrowNamesWithASeparatorAreRefusedToo) {
    EXPECT_EQ(SecureLoadSystemLibraryExA("sub\\x.dll", 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_BAD_ARGUMENTS);
    EXPECT_EQ(GetModuleHandleA("x.dll"), nullptr);
}

TEST(SecureLoad, BuildsThePathInTheSystemFolder) {
    wchar_t folder[4096];
    const UINT length = GetSystemDirectoryW(folder, 4096);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(BuildSystemDirectoryPath(L"nvapi.dll"), std::wstring(folder, length) + L"\\nvapi.dll");
    EXPECT_EQ(BuildSystemDirectoryPath(nullptr), std::nullopt);
}

// A library of that name in the current folder is never picked up: the
// system folder's library is, or none.
class PlantedCopy : public ::testing::TestWithParam<bool> {};

TEST_P(PlantedCopy, InTheCurrentFolderIsIgnored) {
    const bool installed = GetParam();
    NvapiMachine machine(installed ? "{" + nvapiSection() + "}" : R"({"cpu": {"logical_processors": 1}})");
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "planted";
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(mathLibrary(), folder / "nvapi.dll");
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    HMODULE module = SecureLoadSystemLibraryExA("nvapi.dll", 0);
    std::filesystem::current_path(previous);
    EXPECT_EQ(module != nullptr, installed);
    if (!installed) {
        EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
        return;
    }
    EXPECT_NE(GetProcAddress(module, "nvapi_QueryInterface"), nullptr);
    EXPECT_EQ(GetProcAddress(module, "cos"), nullptr);
    EXPECT_TRUE(FreeLibrary(module));
}

INSTANTIATE_TEST_SUITE_P(Machines, PlantedCopy, ::testing::Values(true, false),
                         [](const auto& test) { return test.param ? "Installed" : "NotInstalled"; });

// The machine's library exists in the system folder only: a file of that
// name elsewhere is what it is.
TEST(SecureLoad, TheSimulatedLibraryLivesOnlyInTheSystemFolder) {
    NvapiMachine machine("{" + nvapiSection() + "}");
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "elsewhere";
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(mathLibrary(), folder / "nvapi.dll");
    HMODULE module = LoadLibraryExW((folder / "nvapi.dll").wstring().c_str(), nullptr, 0);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(GetProcAddress(module, "nvapi_QueryInterface"), nullptr);
    EXPECT_NE(GetProcAddress(module, "cos"), nullptr);
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_EQ(LoadLibraryExW((folder / "absent.dll").wstring().c_str(), nullptr, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

// A real shared object in the system folder is loaded with dlopen, counted,
// and leaves the process with its last FreeLibrary; one that other users may
// change is refused.
TEST(SecureLoad, LoadsASharedObjectFromTheSystemFolder) {
    const std::string path = systemFolderPath("mathlib.dll");
    std::filesystem::copy_file(mathLibrary(), path);
    chmod(path.c_str(), 0644);
    HMODULE first = SecureLoadSystemLibraryExA("mathlib.dll", LOAD_WITH_ALTERED_SEARCH_PATH);
    ASSERT_NE(first, nullptr);
    HMODULE second = SecureLoadSystemLibraryExA("mathlib.dll", 0);
    EXPECT_EQ(second, first);
    const auto cosine = platform::lookup<double (*)(double)>(first, "cos");
    ASSERT_NE(cosine, nullptr);
    EXPECT_EQ(cosine(0.0), 1.0);
    EXPECT_NE(platform::imageHeaders(first).size(), 0u);
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_EQ(GetModuleHandleA("mathlib.dll"), first);
    EXPECT_TRUE(FreeLibrary(second));
    EXPECT_EQ(GetModuleHandleA("mathlib.dll"), nullptr);
    EXPECT_EQ(GetProcAddress(first, "cos"), nullptr);
    EXPECT_FALSE(FreeLibrary(first));

    chmod(path.c_str(), 0666);
    EXPECT_EQ(SecureLoadSystemLibraryExA("mathlib.dll", 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

} // namespace
} // namespace vexa::test
