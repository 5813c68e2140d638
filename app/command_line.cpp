// The command line: options are searched as substrings anywhere in the
// line, in a fixed order.
#include <algorithm>
#include <climits>
#include <cwchar>
#include <cwctype>

#include "app/vexa_app.h"

namespace {

constexpr wchar_t kDefaultReportName[] = L"vexa";

// Copies `text` after what `destination` holds, within its size; a text that
// does not fit is cut.
template <size_t N>
void AppendBounded(wchar_t (&destination)[N], const wchar_t* text) {
    size_t length = std::wcslen(destination);
    for (; *text && length + 1 < N; ++text) destination[length++] = *text;
    destination[length] = L'\0';
}

// The report name after the option, up to the first white space, replaces
// the path when there is one; the extension is always appended. A path
// longer than the buffer is cut.
template <size_t N>
void SetReportPath(wchar_t (&path)[N], const wchar_t* name, const wchar_t* extension) {
    wchar_t given[N];
    size_t length = 0;
    for (; name[length] && !std::iswspace(name[length]) && length + 1 < N; ++length) given[length] = name[length];
    given[length] = L'\0';
    if (length > 0) {
        path[0] = L'\0';
        AppendBounded(path, given);
    }
    AppendBounded(path, extension);
}

// The number right after an option, as a "%d" or "%x" conversion reads it
// (leading blanks, a sign); false without digits. Values beyond the range
// saturate.
bool DecimalAfter(const wchar_t* text, int& value) {
    wchar_t* end = nullptr;
    const long long number = std::wcstoll(text, &end, 10);
    if (end == text) return false;
    value = static_cast<int>(std::clamp<long long>(number, INT_MIN, INT_MAX));
    return true;
}

bool HexAfter(const wchar_t* text, uint32_t& value) {
    wchar_t* end = nullptr;
    const unsigned long long number = std::wcstoull(text, &end, 16);
    if (end == text) return false;
    value = static_cast<uint32_t>(std::min<unsigned long long>(number, 0xFFFFFFFF));
    return true;
}

} // namespace

void CvexaApp::ParseCommandLine(const wchar_t* commandLine) {
    const wchar_t* line = commandLine ? commandLine : L"";
    m_szBatchReportPath[0] = L'\0';
    AppendBounded(m_szBatchReportPath, kDefaultReportName);

    if (const wchar_t* text = std::wcsstr(line, L"-txt=")) {
        m_bBatch = 1;
        BatchMode = BATCH_TEXT_REPORT;
        SetReportPath(m_szBatchReportPath, text + 5, L".txt");
    } else if (const wchar_t* html = std::wcsstr(line, L"-html=")) {
        m_bBatch = 1;
        BatchMode = BATCH_HTML_REPORT;
        SetReportPath(m_szBatchReportPath, html + 6, L".htm");
    } else if (std::wcsstr(line, L"-console")) {
        m_bBatch = 1;
        BatchMode = BATCH_CONSOLE_REPORT;
    }
    if (const wchar_t* core = std::wcsstr(line, L"-core=")) DecimalAfter(core + 6, m_iSelectedCore);
    if (const wchar_t* mask = std::wcsstr(line, L"-coremask=")) {
        HexAfter(mask + 10, m_dwCoreEnableMask);
        m_bBatch = 1;
        BatchMode = BATCH_CORE_MASK;
    }
    if (std::wcsstr(line, L"-removeservice")) {
        m_bBatch = 1;
        BatchMode = BATCH_REMOVE_DRIVER;
    }
}
