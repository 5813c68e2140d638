#include "app/window_module.h"

#include <dlfcn.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "app/startup_messages.h"
#include "platform/text.h"

namespace {

// The folder of the program file, with its final '/'; empty when unknown.
std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    if (length <= 0 || size_t(length) >= sizeof path) return {};
    const std::string file(path, size_t(length));
    const size_t slash = file.rfind('/');
    return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

// Only root or the user running the program may have written the library
// the program runs as its own code: owned by one of them, writable by no
// other user (a group other than root's or the user's own may not write).
bool TrustedFile(const std::string& path, std::string& error) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = path + ": not a file";
        return false;
    }
    const bool ownerTrusted = info.st_uid == 0 || info.st_uid == geteuid();
    const bool groupTrusted = info.st_gid == 0 || info.st_gid == getegid() || (info.st_mode & S_IWGRP) == 0;
    if (!ownerTrusted || !groupTrusted || (info.st_mode & S_IWOTH) != 0) {
        error = path + ": writable by other users";
        return false;
    }
    return true;
}

} // namespace

WindowModule::WindowModule() = default;

// The library stays loaded to the end of the process: Qt leaves
// process-wide state behind that must not outlive its code.
WindowModule::~WindowModule() { m_pLayer.reset(); }

std::unique_ptr<WindowLayer> WindowModule::Load(std::string& error) {
    const std::string folder = ProgramFolder();
    if (folder.empty()) {
        error = "the program's folder is unknown";
        return nullptr;
    }
    const std::string path = folder + kFileName;
    if (!TrustedFile(path, error)) return nullptr;
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* reason = dlerror();
        error = reason ? reason : path + ": not loadable";
        return nullptr;
    }
    const auto create = reinterpret_cast<CreateWindowLayerFunction>(dlsym(library, kFactoryName));
    if (!create) {
        error = path + ": no " + kFactoryName;
        dlclose(library);
        return nullptr;
    }
    return std::unique_ptr<WindowLayer>(create());
}

bool WindowModule::Open(CvexaApp& app) {
    if (!m_pLayer && !m_bLoadFailed) {
        std::string error;
        m_pLayer = Load(error);
        if (!m_pLayer) {
            m_bLoadFailed = true;
            ShowNoWindowLibraryBox(vexa::platform::toWide(error).c_str());
        }
    }
    return m_pLayer && m_pLayer->Open(app);
}

void WindowModule::ShowWaitDialog() {
    if (m_pLayer) m_pLayer->ShowWaitDialog();
}

void WindowModule::DestroyWaitDialog() {
    if (m_pLayer) m_pLayer->DestroyWaitDialog();
}

void WindowModule::RunMainWindow() {
    if (m_pLayer) m_pLayer->RunMainWindow();
}

void WindowModule::Close() {
    if (m_pLayer) m_pLayer->Close();
}

void WindowModule::RunUpdateDialog(CvexaApp& app, const int program[4], const int offered[4]) {
    if (m_pLayer) m_pLayer->RunUpdateDialog(app, program, offered);
}
