#include "tests/app/app_test_support.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>

#include <unistd.h>

#include "platform/object_namespace.h"

namespace vexa::test {

ProgramFolder::ProgramFolder() {
    static std::atomic<int> counter{0};
    path_ = (std::filesystem::temp_directory_path() /
             ("program-" + std::to_string(getpid()) + "-" + std::to_string(counter++)))
                .string();
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
    setenv("VEXA_PROGRAM_DIR", path_.c_str(), 1);
}

ProgramFolder::~ProgramFolder() {
    unsetenv("VEXA_PROGRAM_DIR");
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

MessageBoxRecorder::MessageBoxRecorder(int answer) {
    platform::testing::setMessageBoxPresenter([this, answer](const platform::testing::MessageBoxCall& box) {
        boxes_.push_back(box);
        return answer;
    });
}

MessageBoxRecorder::~MessageBoxRecorder() { platform::testing::setMessageBoxPresenter({}); }

ShellRecorder::ShellRecorder(INT_PTR result) {
    platform::testing::setShellOpener([this, result](const platform::testing::ShellRequest& request) {
        requests_.push_back(request);
        return result;
    });
}

ShellRecorder::~ShellRecorder() { platform::testing::setShellOpener({}); }

bool driverServiceExists() { return std::filesystem::exists(platform::objectPath("service", "vexa138")); }

bool driverFolderExists() { return std::filesystem::exists(std::filesystem::temp_directory_path() / "vexa138"); }

} // namespace vexa::test
