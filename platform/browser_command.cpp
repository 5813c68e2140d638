#include "platform/internal/browser_command.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <vector>

#include "platform/shell.h"

extern char** environ;

namespace vexa::platform {
namespace {

constexpr size_t kMaxOutputBytes = 1024;
constexpr int kLookupTimeoutMs = 3000;
constexpr size_t kMaxDesktopLineBytes = 4096;

std::mutex commandLock;
bool looked = false;
std::optional<std::string> found;
bool replaced = false;
std::optional<std::string> replacement;

// The first line the program prints, waited for at most kLookupTimeoutMs;
// empty when it cannot run or says nothing in time.
std::string firstLineOf(std::vector<std::string> arguments) {
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    std::string output;
    if (spawned == 0) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLookupTimeoutMs);
        char buffer[256];
        while (output.size() < kMaxOutputBytes && output.find('\n') == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd readable{pipeEnds[0], POLLIN, 0};
            if (left.count() <= 0 || poll(&readable, 1, int(left.count())) <= 0) break;
            const ssize_t got = read(pipeEnds[0], buffer, sizeof buffer);
            if (got <= 0) break;
            output.append(buffer, size_t(got));
        }
        kill(child, SIGKILL);  // done with it, whether it finished or not
        int status = 0;
        waitpid(child, &status, 0);
    }
    close(pipeEnds[0]);
    output = output.substr(0, output.find('\n'));
    return output.size() <= kMaxOutputBytes ? output : std::string();
}

std::vector<std::string> applicationFolders() {
    std::vector<std::string> folders;
    const char* home = std::getenv("HOME");
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && *dataHome) folders.push_back(std::string(dataHome) + "/applications");
    else if (home && *home) folders.push_back(std::string(home) + "/.local/share/applications");
    const char* dataDirs = std::getenv("XDG_DATA_DIRS");
    std::stringstream dirs(dataDirs && *dataDirs ? dataDirs : "/usr/local/share:/usr/share");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty()) folders.push_back(dir + "/applications");
    return folders;
}

// The Exec value of the entry's [Desktop Entry] group.
std::optional<std::string> desktopExec(const std::string& entry) {
    if (entry.empty() || entry.find('/') != std::string::npos) return std::nullopt;
    for (const std::string& folder : applicationFolders()) {
        std::ifstream file(folder + "/" + entry);
        if (!file) continue;
        bool mainGroup = false;
        for (std::string line; std::getline(file, line);) {
            if (line.size() > kMaxDesktopLineBytes) continue;
            if (!line.empty() && line[0] == '[') mainGroup = line == "[Desktop Entry]";
            else if (mainGroup && line.rfind("Exec=", 0) == 0) return line.substr(5);
        }
    }
    return std::nullopt;
}

bool onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    return false;
}

std::optional<std::string> lookUpBrowser() {
    if (std::optional<std::string> exec = desktopExec(firstLineOf({"xdg-settings", "get", "default-web-browser"})))
        return commandFromDesktopExec(*exec);
    if (onPath("xdg-open")) return std::string("xdg-open \"%1\"");
    return std::nullopt;
}

} // namespace

std::string commandFromDesktopExec(const std::string& exec) {
    std::string command;
    bool placed = false;
    for (size_t i = 0; i < exec.size(); ++i) {
        if (exec[i] != '%' || i + 1 == exec.size()) {
            command += exec[i];
            continue;
        }
        const char code = exec[++i];
        if (code == '%') {
            command += '%';
        } else if (code == 'u' || code == 'U' || code == 'f' || code == 'F') {
            command += "\"%1\"";
            placed = true;
        }
    }
    while (!command.empty() && command.back() == ' ') command.pop_back();
    if (!placed) command += " \"%1\"";
    return command;
}

std::optional<std::string> browserCommand() {
    std::lock_guard guard(commandLock);
    if (replaced) return replacement;
    if (!looked) {
        found = lookUpBrowser();
        looked = true;
    }
    return found;
}

namespace testing {

void setBrowserCommand(std::optional<std::optional<std::string>> command) {
    std::lock_guard guard(commandLock);
    replaced = command.has_value();
    replacement = command ? *command : std::nullopt;
}

} // namespace testing
} // namespace vexa::platform
