#include "app/update_check.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include "app/maker_site.h"
#include "app/vexa_app.h"
#include "app/window_layer.h"
#include "platform/internet.h"
#include "platform/message_box.h"
#include "platform/modules.h"
#include "sdk/core/file_version.h"

namespace vexa::update {
namespace {

constexpr char kProgramKey[] = "vexa";
constexpr char kEntryPrefix[] = "vexa=";
constexpr size_t kMaxAddressChars = 512;
constexpr DWORD kOpenUrlFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_TRANSFER_ASCII;

// One decimal number as scanf's %d reads it (blanks, sign, digits); values
// beyond an int are clamped rather than wrapped.
bool ReadNumber(const char*& text, int& value) {
    char* end = nullptr;
    errno = 0;
    const long number = std::strtol(text, &end, 10);
    if (end == text) return false;
    value = number > INT_MAX ? INT_MAX : number < INT_MIN ? INT_MIN : int(number);
    text = end;
    return true;
}

// "vexa=%d.%d.%d.%d": four numbers; what follows them does not matter.
bool ParseEntry(const std::string& entry, int words[4]) {
    if (entry.compare(0, std::strlen(kEntryPrefix), kEntryPrefix) != 0) return false;
    const char* text = entry.c_str() + std::strlen(kEntryPrefix);
    for (int i = 0; i < 4; ++i) {
        if (i > 0 && *text++ != '.') return false;
        if (!ReadNumber(text, words[i])) return false;
    }
    return true;
}

// The reply's first read, ended at its first zero byte; empty when the
// read fails or gives nothing.
std::string ReadReply(HINTERNET reply, decltype(&InternetReadFile) read) {
    char buffer[kMaxReplyBytes + 1] = {};
    DWORD got = 0;
    if (!read(reply, buffer, kMaxReplyBytes, &got) || got == 0) return {};
    buffer[got < kMaxReplyBytes ? got : kMaxReplyBytes] = '\0';
    return buffer;
}

} // namespace

int IsPrefixOf(const char* text, const char* prefix) {
    if (!text || !prefix) return 0;
    const size_t length = std::strlen(prefix);
    return std::strncmp(text, prefix, length) == 0 ? 1 : 0;
}

bool FindOfferedVersion(const char* text, int words[4]) {
    std::string entry;
    for (const char* c = text; *c; ++c) {
        if (*c == '\r' || *c == '\n') continue;
        if (*c != ';') {
            entry += *c;
            continue;
        }
        if (entry.find(kProgramKey) != std::string::npos) return ParseEntry(entry, words);
        entry.clear();
    }
    return false;
}

long long VersionNumber(const int words[4]) {
    return ((static_cast<long long>(words[0]) * 10 + words[1]) * 10 + words[2]) * 10 + words[3];
}

} // namespace vexa::update

void CvexaApp::CheckForUpdate(int verbose) {
    using namespace vexa::update;
    const std::wstring address = vexa::site::MakerAddress(vexa::site::kVersionFilePath).substr(0, kMaxAddressChars);

    HMODULE wininet = LoadLibraryA("wininet.dll");
    if (!wininet) return;
    const auto open = vexa::platform::lookup<decltype(&InternetOpenW)>(wininet, "InternetOpenW");
    const auto openUrl = vexa::platform::lookup<decltype(&InternetOpenUrlW)>(wininet, "InternetOpenUrlW");
    const auto read = vexa::platform::lookup<decltype(&InternetReadFile)>(wininet, "InternetReadFile");
    const auto close = vexa::platform::lookup<decltype(&InternetCloseHandle)>(wininet, "InternetCloseHandle");
    HINTERNET session = open && openUrl && read && close
                            ? open(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0)
                            : nullptr;
    if (!session) {
        FreeLibrary(wininet);
        return;
    }
    HINTERNET reply = openUrl(session, address.c_str(), nullptr, DWORD(-1), kOpenUrlFlags, 0);
    if (!reply) {
        const DWORD error = GetLastError();
        if (verbose) {
            wchar_t text[64];
            std::swprintf(text, sizeof text / sizeof *text, L"Server Connection Error [%d]", int(error));
            MessageBoxW(nullptr, text, L"Vexa Error", MB_OK | MB_ICONEXCLAMATION);
        }
        close(session);
        FreeLibrary(wininet);
        return;
    }

    const std::string text = ReadReply(reply, read);
    int offered[4] = {};
    if (IsPrefixOf(text.c_str(), kVersionFileHeader) && FindOfferedVersion(text.c_str(), offered)) {
        int program[4] = {-1, -1, -1, -1};
        if (m_pVersionInfo) {
            program[0] = int(m_pVersionInfo->Major);
            program[1] = int(m_pVersionInfo->Minor);
            program[2] = int(m_pVersionInfo->Build);
            program[3] = int(m_pVersionInfo->Revision);
        }
        if (VersionNumber(offered) > VersionNumber(program)) {
            if (m_pWindowLayer) m_pWindowLayer->RunUpdateDialog(*this, program, offered);
        } else if (verbose) {
            MessageBoxW(nullptr, L"이미 최신버전의 Vexa를 사용중 입니다.", L"Vexa 정보", MB_OK | MB_ICONASTERISK);
        }
    }
    close(reply);
    close(session);
    FreeLibrary(wininet);
}
