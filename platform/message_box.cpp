#include "platform/message_box.h"

#include <unistd.h>

#include <mutex>
#include <string>

#include "platform/text.h"

namespace vexa::platform {
namespace {

// A box's texts come from the program and from files and devices (a log
// path, an error text): each is cut to this many characters.
constexpr size_t kMaxTextChars = 4096;

std::mutex presenterLock;
std::function<int(const MessageBoxCall&)> presenter;        // a test's
std::function<int(const MessageBoxCall&)> windowPresenter;  // the window layer's

std::wstring bounded(LPCWSTR text) {
    if (!text) return {};
    std::wstring value(text, wcsnlen(text, kMaxTextChars));
    return value;
}

// "Caption: text\n" on standard error in one write, so that boxes of
// several threads do not interleave.
void writeToStandardError(const std::wstring& caption, const std::wstring& text) {
    std::string line = toNarrow(caption.empty() ? text : caption + L": " + text);
    line += '\n';
    size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(STDERR_FILENO, line.data() + done, line.size() - done);
        if (n <= 0) return;  // no standard error: the box goes unseen
        done += size_t(n);
    }
}

} // namespace

int defaultMessageBoxAnswer(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_OK: return IDOK;
    case MB_OKCANCEL: return IDCANCEL;
    case MB_ABORTRETRYIGNORE: return IDABORT;
    case MB_YESNOCANCEL: return IDCANCEL;
    case MB_YESNO: return IDNO;
    case MB_RETRYCANCEL: return IDCANCEL;
    default: return 0;
    }
}

void setWindowMessageBoxPresenter(std::function<int(const MessageBoxCall&)> replacement) {
    std::lock_guard guard(presenterLock);
    windowPresenter = std::move(replacement);
}

namespace testing {

void setMessageBoxPresenter(std::function<int(const MessageBoxCall&)> replacement) {
    std::lock_guard guard(presenterLock);
    presenter = std::move(replacement);
}

} // namespace testing
} // namespace vexa::platform

int MessageBoxW(HWND, LPCWSTR text, LPCWSTR caption, UINT type) {
    using namespace vexa::platform;
    const int answer = defaultMessageBoxAnswer(type);
    if (answer == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    MessageBoxCall call{bounded(text), bounded(caption), type};
    std::function<int(const MessageBoxCall&)> chosen, window;
    {
        std::lock_guard guard(presenterLock);
        chosen = presenter;
        window = windowPresenter;
    }
    if (chosen) {
        const int chosenAnswer = chosen(call);
        return chosenAnswer ? chosenAnswer : answer;
    }
    // Called outside the lock: a dialog runs its own event loop.
    if (window) {
        if (const int shownAnswer = window(call)) return shownAnswer;
    }
    writeToStandardError(call.caption, call.text);
    return answer;
}
