#include "app/validation_submission.h"

#include <zlib.h>

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "app/compress_buffer.h"
#include "app/info_parser.h"
#include "app/maker_site.h"
#include "app/validation_file.h"
#include "app/vexa_app.h"
#include "platform/internet.h"
#include "platform/modules.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "platform/threads.h"
#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"

namespace vexa::validation {
namespace {

// The wide text in the ANSI code page, cut to maxBytes at a character
// boundary.
std::string Narrow(const wchar_t* text, size_t maxBytes) {
    std::vector<char> narrow(maxBytes + 1);
    platform::wideToNarrow(text ? text : L"", narrow.data(), narrow.size());
    return narrow.data();
}

// The Internet library's functions, looked up by name; unloaded with the
// object.
struct InternetLibrary {
    HMODULE module = nullptr;
    decltype(&InternetOpenA) open = nullptr;
    decltype(&HttpOpenRequestA) openRequest = nullptr;
    decltype(&InternetConnectA) connect = nullptr;
    decltype(&HttpSendRequestA) send = nullptr;
    decltype(&InternetCloseHandle) close = nullptr;
    decltype(&InternetReadFile) read = nullptr;
    decltype(&InternetSetOptionA) setOption = nullptr;
    decltype(&InternetQueryOptionA) queryOption = nullptr;

    InternetLibrary() = default;
    InternetLibrary(const InternetLibrary&) = delete;
    InternetLibrary& operator=(const InternetLibrary&) = delete;
    ~InternetLibrary() {
        if (module) FreeLibrary(module);
    }

    // True when the library and each function are there (the option
    // functions only when asked for).
    bool Load(bool withOptions) {
        module = LoadLibraryA("wininet.dll");
        if (!module) return false;
        using platform::lookup;
        open = lookup<decltype(open)>(module, "InternetOpenA");
        openRequest = lookup<decltype(openRequest)>(module, "HttpOpenRequestA");
        connect = lookup<decltype(connect)>(module, "InternetConnectA");
        send = lookup<decltype(send)>(module, "HttpSendRequestA");
        close = lookup<decltype(close)>(module, "InternetCloseHandle");
        read = lookup<decltype(read)>(module, "InternetReadFile");
        if (withOptions) {
            setOption = lookup<decltype(setOption)>(module, "InternetSetOptionA");
            queryOption = lookup<decltype(queryOption)>(module, "InternetQueryOptionA");
        }
        return open && openRequest && connect && send && close && read &&
               (!withOptions || (setOption && queryOption));
    }
};

// The handles of one POST, closed request first.
struct Exchange {
    explicit Exchange(const InternetLibrary& library) : library(library) {}
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;
    ~Exchange() {
        for (HINTERNET handle : {request, connection, internet})
            if (handle) library.close(handle);
    }

    // Opens the session, connects to the service and opens the POST of
    // `object`: 0, or the failed step's error (never 0).
    DWORD Open(const char* object, bool sendTimeout) {
        internet = library.open(kServiceAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        if (!internet) return Failure();
        if (sendTimeout) {
            DWORD timeout = kSendTimeoutMs;
            library.setOption(internet, INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof timeout);
        }
        const site::ServiceHost host = site::ValidationHost();
        connection = library.connect(internet, host.name.c_str(), host.port, kServiceUser, kServiceUser,
                                     INTERNET_SERVICE_HTTP, 0, 1);
        if (!connection) return Failure();
        request = library.openRequest(connection, "POST", object, nullptr, nullptr, nullptr, INTERNET_FLAG_RELOAD, 1);
        return request ? 0 : Failure();
    }
    // The body with the form header: 0, or the error.
    DWORD Send(std::string& body) {
        return library.send(request, kFormHeader, DWORD(-1), body.data(), DWORD(body.size())) ? 0 : Failure();
    }
    // A failed step whose error reads 0 must not look like success.
    static DWORD Failure() {
        const DWORD error = GetLastError();
        return error ? error : DWORD(kSubmitNoReply);
    }

    const InternetLibrary& library;
    HINTERNET internet = nullptr;
    HINTERNET connection = nullptr;
    HINTERNET request = nullptr;
};

// Stores the id and opens its page; an accepted reply without an id
// leaves the application without one.
void AcceptId(CvexaApp& app, const std::string& id) {
    platform::narrowToWide(id.c_str(), app.m_szValidationId, CvexaApp::kValidationIdChars);
    if (id.empty()) return;
    const std::wstring page = site::ValidationAddress(L"/" + std::wstring(app.m_szValidationId));
    ShellExecuteW(nullptr, L"open", page.c_str(), nullptr, nullptr, SW_SHOW);
}

// The submission with the library lock held.
int SubmitRecord(CvexaApp& app, const wchar_t* name, const wchar_t* email, int publish) {
    if (!BuildEncryptedRecord(app)) return kSubmitNoReply;
    InternetLibrary library;
    if (!library.Load(true)) return kSubmitNoReply;
    Exchange exchange(library);
    if (const DWORD error = exchange.Open(kRecordObject, true)) return int(error);
    std::string body = SubmissionBody(name, email, ValidationText(app), publish);
    if (const DWORD error = exchange.Send(body)) return int(error);

    char reply[kReplyBytes + 1] = {};
    DWORD got = 0;
    if (!library.read(exchange.request, reply, DWORD(kReplyBytes), &got) || got == 0) return kSubmitNoReply;
    std::string id;
    const int code = ParseServiceReply(reply, id);
    if (code == kReplyAccepted) AcceptId(app, id);
    return code;
}

} // namespace

std::string SubmissionBody(const wchar_t* name, const wchar_t* email, const std::string& recordText, int publish) {
    std::string body = "user_name=" + Narrow(name, kMaxFormTextBytes) + "&user_email=" + Narrow(email, kMaxFormTextBytes) +
                       "&raw_vvf=";
    body += recordText;
    body += publish == 1 ? "&publish=1&send=ok" : "&publish=0&send=ok";
    return body;
}

std::string DumpBody(const wchar_t* id, const uint8_t* compressed, size_t length) {
    return "raw_id=" + Narrow(id, kMaxIdBytes) + "&raw_dump=" + HexDigits(compressed, length);
}

// As "%d,%s" reads it, with the number clamped to an int and the id
// bounded.
int ParseServiceReply(const char* reply, std::string& id) {
    id.clear();
    char* end = nullptr;
    const long long number = std::strtoll(reply, &end, 10);
    if (end == reply) return kReplyNotANumber;
    const int code = number > INT_MAX ? INT_MAX : number < INT_MIN ? INT_MIN : int(number);
    if (*end != ',') return code;
    const char* text = end + 1;
    while (*text && std::isspace(static_cast<unsigned char>(*text))) ++text;
    size_t length = 0;
    while (text[length] && !std::isspace(static_cast<unsigned char>(text[length])) && length < kMaxIdBytes) ++length;
    char bounded[kMaxIdBytes + 1] = {};
    std::memcpy(bounded, text, length);
    platform::truncateUtf8(bounded, kMaxIdBytes);
    id = bounded;
    return code;
}

} // namespace vexa::validation

int SubmitValidation(CvexaApp& app, const wchar_t* name, const wchar_t* email, int publish) {
    using namespace vexa::validation;
    if (app.g_bNoValidation) return kSubmitNoReply;
    Sleep(kSubmitDelayMs);
    BRENIKSDK* sdk = GetSDK();
    uint32_t status = 0;
    if (!sdk || !sdk->Lock(&status, INFINITE)) return kSubmitBusy;
    const int result = SubmitRecord(app, name, email, publish);
    sdk->Unlock();
    return result;
}

void UploadValidationDump(CvexaApp& app) {
    using namespace vexa::validation;
    if (!app.m_pInfoParser) return;
    const auto report = std::make_unique<CReportGenerator_Buffer>();
    app.m_pInfoParser->WriteDumpReport(report.get());
    InternetLibrary library;
    if (!library.Load(false)) return;
    Exchange exchange(library);
    if (exchange.Open(kDumpObject, false)) return;
    const size_t length = report->GetLength();
    if (length > UINT32_MAX / 2) return;
    // Room for the whole stream, so that it is never restarted.
    std::vector<uint8_t> compressed(compressBound(uLong(length)));
    uint32_t produced = uint32_t(compressed.size());
    if (CompressBuffer(reinterpret_cast<const uint8_t*>(report->GetText()), uint32_t(length), compressed.data(),
                       &produced) != 0)
        return;
    std::string body = DumpBody(app.m_szValidationId, compressed.data(), produced);
    exchange.Send(body);
}
