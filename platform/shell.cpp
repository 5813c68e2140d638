#include "platform/shell.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <thread>

#include "platform/files.h"
#include "platform/text.h"

extern char** environ;

namespace vexa::platform {
namespace {

constexpr size_t kMaxPathChars = 4096;

constexpr size_t kMaxCommandLineChars = 32768;

std::mutex openerLock;
std::function<INT_PTR(const testing::ShellRequest&)> opener;
std::function<UINT(const std::vector<std::string>&)> starter;

// Addresses the desktop opens with its browser or mail program.
bool isWebAddress(const std::wstring& file) {
    for (const wchar_t* scheme : {L"http://", L"https://", L"mailto:"})
        if (file.compare(0, wcslen(scheme), scheme) == 0) return true;
    return false;
}

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// Starts the program and lets it run on its own; a thread of ours collects its exit so
// that it leaves no zombie behind.
bool startProgram(std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
    std::thread([child] {
        int status = 0;
        waitpid(child, &status, 0);
    }).detach();
    return true;
}

INT_PTR startOpener(const std::string& path) {
    return startProgram({"xdg-open", path}) ? kShellExecuteStarted : SE_ERR_NOASSOC;
}

} // namespace

std::vector<std::string> splitCommandLine(const std::string& commandLine) {
    std::vector<std::string> arguments;
    std::string current;
    bool quoted = false, inArgument = false;
    for (const char c : commandLine) {
        if (c == '"') {
            quoted = !quoted;
            inArgument = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inArgument) arguments.push_back(std::move(current));
            current.clear();
            inArgument = false;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument) arguments.push_back(std::move(current));
    return arguments;
}

bool displayPresent() { return isSet("DISPLAY") || isSet("WAYLAND_DISPLAY"); }

namespace testing {

void setShellOpener(std::function<INT_PTR(const ShellRequest&)> replacement) {
    std::lock_guard guard(openerLock);
    opener = std::move(replacement);
}

void setProgramStarter(std::function<UINT(const std::vector<std::string>&)> replacement) {
    std::lock_guard guard(openerLock);
    starter = std::move(replacement);
}

} // namespace testing
} // namespace vexa::platform

INT_PTR ShellExecuteW(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory,
                      int showCommand) {
    using namespace vexa::platform;
    if (!file || !*file) return SE_ERR_FNF;
    const std::wstring verbText = verb ? std::wstring(verb, wcsnlen(verb, 16)) : L"";
    if (!(verbText.empty() || verbText == L"open")) return SE_ERR_NOASSOC;
    if ((parameters && *parameters) || (directory && *directory)) return SE_ERR_NOASSOC;

    const std::wstring fileText(file, wcsnlen(file, kMaxPathChars));
    std::function<INT_PTR(const testing::ShellRequest&)> chosen;
    {
        std::lock_guard guard(openerLock);
        chosen = opener;
    }
    if (chosen) return chosen(testing::ShellRequest{verbText, fileText, showCommand});

    if (isWebAddress(fileText)) {
        if (!displayPresent()) return SE_ERR_NOASSOC;
        return startOpener(toNarrow(fileText));
    }
    const std::string path = nativePath(toNarrow(fileText).c_str());
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return SE_ERR_FNF;
    if (!displayPresent()) return SE_ERR_NOASSOC;
    return startOpener(path);
}

UINT WinExec(LPCSTR commandLine, UINT) {
    using namespace vexa::platform;
    const std::vector<std::string> arguments =
        splitCommandLine(commandLine ? std::string(commandLine, strnlen(commandLine, kMaxCommandLineChars)) : "");
    if (arguments.empty() || arguments[0].empty()) return ERROR_BAD_FORMAT;
    std::function<UINT(const std::vector<std::string>&)> chosen;
    {
        std::lock_guard guard(openerLock);
        chosen = starter;
    }
    if (chosen) return chosen(arguments);
    if (!displayPresent()) return ERROR_FILE_NOT_FOUND;
    return startProgram(arguments) ? UINT(kShellExecuteStarted) : ERROR_FILE_NOT_FOUND;
}
