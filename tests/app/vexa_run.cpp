#include "tests/app/vexa_run.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

namespace fs = std::filesystem;

constexpr auto kTimeLimit = std::chrono::seconds(60);

std::vector<std::string> sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

VexaRun::VexaRun(std::string machine) : machine_(std::move(machine)) {
    static std::atomic<int> counter{0};
    root_ = (fs::temp_directory_path() / ("run-" + std::to_string(getpid()) + "-" + std::to_string(counter++)))
                .string();
    program_ = root_ + "/program";
    temp_ = root_ + "/temp";
    fs::remove_all(root_);
    fs::create_directories(program_);
    fs::create_directories(temp_);
}

VexaRun::~VexaRun() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

void VexaRun::useOwnNamespace() {
    objects_ = root_ + "/objects";
    fs::create_directories(objects_);
    // The program accepts only a namespace folder closed to others.
    fs::permissions(objects_, fs::perms::owner_all, fs::perm_options::replace);
}

std::vector<std::string> VexaRun::objectFiles() const {
    std::vector<std::string> names;
    if (objects_.empty()) return names;
    for (const auto& entry : fs::directory_iterator(objects_)) names.push_back(entry.path().filename().string());
    return sorted(names);
}

VexaResult VexaRun::run(const std::vector<std::string>& arguments) const { return runAndSignal(arguments, 0, {}); }

VexaResult VexaRun::runAndSignal(const std::vector<std::string>& arguments, int stopSignal,
                                 const std::function<bool()>& ready) const {
    const std::string outPath = root_ + "/stdout", errPath = root_ + "/stderr";
    std::vector<std::string> environment = {"PATH=/usr/bin:/bin", "VEXA_PROGRAM_DIR=" + program_, "TMPDIR=" + temp_};
    if (!objects_.empty()) {
        environment.push_back("VEXA_NAMESPACE=" + objects_);
    } else if (const char* objects = std::getenv("VEXA_NAMESPACE")) {
        environment.push_back(std::string("VEXA_NAMESPACE=") + objects);
    }
    if (!machine_.empty()) environment.push_back("VEXA_MACHINE=" + machine_);
    if (const char* web = std::getenv("VEXA_WEB_BASE")) environment.push_back(std::string("VEXA_WEB_BASE=") + web);

    std::vector<std::string> words = {VEXA_PROGRAM};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv, envp;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    // The child inherits the limit (set here only while it starts) and,
    // with the signal ignored, sees its writes beyond it fail.
    struct rlimit savedLimit {};
    getrlimit(RLIMIT_FSIZE, &savedLimit);
    if (fileSizeLimit_) {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = savedLimit;
        limit.rlim_cur = fileSizeLimit_;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
    if (fileSizeLimit_) setrlimit(RLIMIT_FSIZE, &savedLimit);
    posix_spawn_file_actions_destroy(&actions);
    VexaResult result;
    if (spawned != 0) return result;

    const auto deadline = std::chrono::steady_clock::now() + kTimeLimit;
    int status = 0;
    bool signalled = stopSignal == 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (!signalled && ready()) {
            kill(child, stopSignal);
            signalled = true;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            status = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (status != -1 && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    result.out = readFile(outPath);
    result.err = readFile(errPath);
    return result;
}

std::vector<std::string> VexaRun::programFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(program_)) names.push_back(entry.path().filename().string());
    return sorted(names);
}

std::vector<std::string> VexaRun::tempFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(temp_))
        names.push_back(fs::relative(entry.path(), temp_).string());
    return sorted(names);
}

} // namespace vexa::test
