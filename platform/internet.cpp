#include "platform/internet.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <cwchar>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/internal/curl_library.h"
#include "platform/internal/handles.h"
#include "platform/internal/libraries.h"
#include "platform/text.h"

namespace vexa::platform {
namespace {

constexpr size_t kMaxUrlChars = 2048;
constexpr size_t kMaxAgentChars = 256;

class InternetSession final : public KernelObject {
public:
    explicit InternetSession(std::string agent) : agent(std::move(agent)) {}
    const std::string agent;
    std::atomic<DWORD> sendTimeoutMs{0};  // 0: kTransferTimeoutSeconds
};

class InternetReply : public KernelObject {
public:
    std::mutex lock;
    std::string body;
    size_t position = 0;
};

class InternetConnection final : public KernelObject {
public:
    std::shared_ptr<InternetSession> session;
    std::string host;
    INTERNET_PORT port = 80;
    std::string user;
    std::string password;
};

// A request made in steps; its reply is read like InternetOpenUrlW's.
class HttpRequest final : public InternetReply {
public:
    std::shared_ptr<InternetConnection> connection;
    std::string verb;
    std::string object;
    bool reload = false;
};

// One HTTP exchange as libcurl performs it.
struct Transfer {
    std::string url;
    std::string agent;
    long timeoutMs = kTransferTimeoutSeconds * 1000;
    std::vector<std::string> headers;
    std::string verb = "GET";
    const char* body = nullptr;
    size_t bodyLength = 0;
    std::string user;
    std::string password;
};

// Keeps at most kMaxResponseBytes; what follows is dropped, not an error.
size_t collectBody(char* data, size_t size, size_t count, void* target) {
    std::string& body = *static_cast<std::string*>(target);
    const size_t bytes = size * count;
    const size_t room = kMaxResponseBytes - std::min(body.size(), kMaxResponseBytes);
    body.append(data, std::min(bytes, room));
    return bytes;
}

DWORD internetError(CURLcode code) {
    switch (code) {
    case CURLE_UNSUPPORTED_PROTOCOL: return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
    case CURLE_URL_MALFORMAT: return ERROR_INTERNET_INVALID_URL;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST: return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT: return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT: return ERROR_INTERNET_TIMEOUT;
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE: return ERROR_INTERNET_CONNECTION_ABORTED;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR: return ERROR_INTERNET_CONNECTION_RESET;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE: return ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
    default: return ERROR_INTERNET_INTERNAL_ERROR;
    }
}

bool isHttpAddress(const std::string& url) {
    return url.rfind("http://", 0) == 0 || url.rfind("https://", 0) == 0;
}

// The exchange: the reply's body, or a WinINet error number.
DWORD perform(const Transfer& transfer, std::string& body) {
    const CurlLibrary* curl = curlLibrary();
    if (!curl) return ERROR_INTERNET_INTERNAL_ERROR;
    std::unique_ptr<CURL, void (*)(CURL*)> easy(curl->easy_init(), curl->easy_cleanup);
    if (!easy) return ERROR_NOT_ENOUGH_MEMORY;
    CURL* handle = easy.get();
    const auto set = curl->easy_setopt;
    set(handle, CURLOPT_URL, transfer.url.c_str());
    set(handle, CURLOPT_USERAGENT, transfer.agent.c_str());
    set(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    set(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    set(handle, CURLOPT_FOLLOWLOCATION, 1L);
    set(handle, CURLOPT_MAXREDIRS, 5L);
    set(handle, CURLOPT_NOSIGNAL, 1L);
    set(handle, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    set(handle, CURLOPT_TIMEOUT_MS, transfer.timeoutMs);
    set(handle, CURLOPT_WRITEFUNCTION, collectBody);
    set(handle, CURLOPT_WRITEDATA, &body);
    if (transfer.verb != "GET") {
        set(handle, CURLOPT_POSTFIELDS, transfer.body ? transfer.body : "");
        set(handle, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(transfer.bodyLength));
        if (transfer.verb != "POST") set(handle, CURLOPT_CUSTOMREQUEST, transfer.verb.c_str());
    }
    if (!transfer.user.empty() || !transfer.password.empty()) {
        set(handle, CURLOPT_USERNAME, transfer.user.c_str());
        set(handle, CURLOPT_PASSWORD, transfer.password.c_str());
    }
    curl_slist* headers = nullptr;
    for (const std::string& header : transfer.headers) {
        curl_slist* longer = curl->slist_append(headers, header.c_str());
        if (!longer) break;
        headers = longer;
    }
    set(handle, CURLOPT_HTTPHEADER, headers);
    const CURLcode result = curl->easy_perform(handle);
    curl->slist_free_all(headers);
    return result == CURLE_OK ? ERROR_SUCCESS : internetError(result);
}

// The GET: the body, or a WinINet error number. Always from the server:
// no cached copy on the way.
DWORD fetch(const std::string& url, const std::string& agent, std::string& body) {
    Transfer transfer;
    transfer.url = url;
    transfer.agent = agent;
    transfer.headers = {"Cache-Control: no-cache"};
    return perform(transfer, body);
}

// The caller's header lines, one per CR LF; empty lines dropped.
std::vector<std::string> headerLines(const char* headers, DWORD length) {
    std::vector<std::string> lines;
    if (!headers) return lines;
    const size_t size = length == DWORD(-1) ? strnlen(headers, kMaxRequestHeaderBytes) : length;
    const std::string text(headers, std::min<size_t>(size, kMaxRequestHeaderBytes));
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        line.erase(std::find(line.begin(), line.end(), '\0'), line.end());
        if (!line.empty()) lines.push_back(line);
        start = end + 2;
    }
    return lines;
}

// A host name a URL can carry: letters, digits, '.', '-' and '_'.
bool isPlainHost(const std::string& host) {
    if (host.empty() || host.size() > kMaxHostChars) return false;
    return std::all_of(host.begin(), host.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
    });
}

std::string boundedText(const char* text, size_t maxBytes) { return text ? std::string(text, strnlen(text, maxBytes)) : ""; }

} // namespace

std::span<const LibraryExport> wininetExports() {
    static const LibraryExport exports[] = {
        {"InternetOpenW", exported(InternetOpenW)},
        {"InternetOpenUrlW", exported(InternetOpenUrlW)},
        {"InternetReadFile", exported(InternetReadFile)},
        {"InternetCloseHandle", exported(InternetCloseHandle)},
        {"InternetOpenA", exported(InternetOpenA)},
        {"InternetConnectA", exported(InternetConnectA)},
        {"HttpOpenRequestA", exported(HttpOpenRequestA)},
        {"HttpSendRequestA", exported(HttpSendRequestA)},
        {"InternetSetOptionA", exported(InternetSetOptionA)},
        {"InternetQueryOptionA", exported(InternetQueryOptionA)},
    };
    return exports;
}

} // namespace vexa::platform

using vexa::platform::HttpRequest;
using vexa::platform::InternetConnection;
using vexa::platform::InternetReply;
using vexa::platform::InternetSession;

HINTERNET InternetOpenW(LPCWSTR agent, DWORD accessType, LPCWSTR proxy, LPCWSTR proxyBypass, DWORD) {
    if ((accessType != INTERNET_OPEN_TYPE_PRECONFIG && accessType != INTERNET_OPEN_TYPE_DIRECT) ||
        (proxy && *proxy) || (proxyBypass && *proxyBypass)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::wstring agentText = agent ? std::wstring(agent, wcsnlen(agent, vexa::platform::kMaxAgentChars)) : L"";
    return vexa::platform::registerHandle(std::make_shared<InternetSession>(vexa::platform::toNarrow(agentText)));
}

HINTERNET InternetOpenUrlW(HINTERNET session, LPCWSTR url, LPCWSTR headers, DWORD, DWORD, DWORD_PTR) {
    const auto owner = vexa::platform::lookupHandleAs<InternetSession>(session);
    if (!owner) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!url || (headers && *headers)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const size_t length = wcsnlen(url, vexa::platform::kMaxUrlChars + 1);
    if (length > vexa::platform::kMaxUrlChars) {
        SetLastError(ERROR_INTERNET_INVALID_URL);
        return nullptr;
    }
    const std::string address = vexa::platform::toNarrow(std::wstring(url, length));
    if (!vexa::platform::isHttpAddress(address)) {
        SetLastError(ERROR_INTERNET_UNRECOGNIZED_SCHEME);
        return nullptr;
    }
    auto reply = std::make_shared<InternetReply>();
    const DWORD error = vexa::platform::fetch(address, owner->agent, reply->body);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return nullptr;
    }
    return vexa::platform::registerHandle(reply);
}

BOOL InternetReadFile(HINTERNET file, LPVOID buffer, DWORD toRead, LPDWORD read) {
    const auto reply = vexa::platform::lookupHandleAs<InternetReply>(file);
    if (!reply) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!read || (!buffer && toRead)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard guard(reply->lock);
    const size_t count = std::min<size_t>(toRead, reply->body.size() - reply->position);
    if (count) std::memcpy(buffer, reply->body.data() + reply->position, count);
    reply->position += count;
    *read = static_cast<DWORD>(count);
    return TRUE;
}

BOOL InternetCloseHandle(HINTERNET handle) {
    if (!vexa::platform::lookupHandleAs<InternetSession>(handle) && !vexa::platform::lookupHandleAs<InternetReply>(handle) &&
        !vexa::platform::lookupHandleAs<InternetConnection>(handle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return vexa::platform::closeHandle(handle) ? TRUE : FALSE;
}

HINTERNET InternetOpenA(LPCSTR agent, DWORD accessType, LPCSTR proxy, LPCSTR proxyBypass, DWORD flags) {
    using vexa::platform::boundedText;
    using vexa::platform::toWide;
    const std::wstring agentText = toWide(boundedText(agent, vexa::platform::kMaxAgentChars));
    const std::wstring proxyText = toWide(boundedText(proxy, 1)), bypassText = toWide(boundedText(proxyBypass, 1));
    return InternetOpenW(agentText.c_str(), accessType, proxyText.c_str(), bypassText.c_str(), flags);
}

HINTERNET InternetConnectA(HINTERNET session, LPCSTR host, INTERNET_PORT port, LPCSTR user, LPCSTR password,
                           DWORD service, DWORD, DWORD_PTR) {
    auto owner = vexa::platform::lookupHandleAs<InternetSession>(session);
    if (!owner) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    const std::string hostText = vexa::platform::boundedText(host, vexa::platform::kMaxHostChars + 1);
    if (service != INTERNET_SERVICE_HTTP || !vexa::platform::isPlainHost(hostText)) {
        SetLastError(service != INTERNET_SERVICE_HTTP ? ERROR_INVALID_PARAMETER : ERROR_INTERNET_INVALID_URL);
        return nullptr;
    }
    auto connection = std::make_shared<InternetConnection>();
    connection->session = std::move(owner);
    connection->host = hostText;
    connection->port = port ? port : 80;
    connection->user = vexa::platform::boundedText(user, vexa::platform::kMaxAgentChars);
    connection->password = vexa::platform::boundedText(password, vexa::platform::kMaxAgentChars);
    return vexa::platform::registerHandle(connection);
}

HINTERNET HttpOpenRequestA(HINTERNET connection, LPCSTR verb, LPCSTR object, LPCSTR version, LPCSTR referrer,
                           LPCSTR* acceptTypes, DWORD flags, DWORD_PTR) {
    auto owner = vexa::platform::lookupHandleAs<InternetConnection>(connection);
    if (!owner) {
        SetLastError(vexa::platform::lookupHandle(connection) ? ERROR_INTERNET_INCORRECT_HANDLE_TYPE : ERROR_INVALID_HANDLE);
        return nullptr;
    }
    const std::string objectText = vexa::platform::boundedText(object, vexa::platform::kMaxUrlChars + 1);
    const bool printable = std::all_of(objectText.begin(), objectText.end(),
                                       [](char c) { return static_cast<unsigned char>(c) > ' ' && c != 0x7F; });
    if ((version && *version) || (referrer && *referrer) || (acceptTypes && *acceptTypes) || !printable ||
        objectText.size() > vexa::platform::kMaxUrlChars) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto request = std::make_shared<HttpRequest>();
    request->connection = std::move(owner);
    request->verb = verb && *verb ? vexa::platform::boundedText(verb, 16) : "GET";
    request->object = objectText.empty() || objectText[0] != '/' ? "/" + objectText : objectText;
    request->reload = (flags & INTERNET_FLAG_RELOAD) != 0;
    return vexa::platform::registerHandle(request);
}

BOOL HttpSendRequestA(HINTERNET request, LPCSTR headers, DWORD headersLength, LPVOID optional, DWORD optionalLength) {
    const auto exchange = vexa::platform::lookupHandleAs<HttpRequest>(request);
    if (!exchange) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!optional && optionalLength) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const InternetConnection& connection = *exchange->connection;
    vexa::platform::Transfer transfer;
    transfer.url = "http://" + connection.host + ":" + std::to_string(connection.port) + exchange->object;
    transfer.agent = connection.session->agent;
    if (const DWORD timeout = connection.session->sendTimeoutMs) transfer.timeoutMs = long(timeout);
    transfer.verb = exchange->verb;
    transfer.body = static_cast<const char*>(optional);
    transfer.bodyLength = optionalLength;
    transfer.user = connection.user;
    transfer.password = connection.password;
    transfer.headers = vexa::platform::headerLines(headers, headersLength);
    if (exchange->reload) transfer.headers.push_back("Cache-Control: no-cache");
    transfer.headers.push_back("Expect:");  // the body goes at once, without waiting for "100 Continue"
    std::string body;
    const DWORD error = vexa::platform::perform(transfer, body);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    std::lock_guard guard(exchange->lock);
    exchange->body = std::move(body);
    exchange->position = 0;
    return TRUE;
}

namespace vexa::platform {
namespace {

// The session whose option is set or read; null with the last error set
// for another handle or an option sessions do not have.
std::shared_ptr<InternetSession> optionSession(HINTERNET handle, DWORD option) {
    auto session = lookupHandleAs<InternetSession>(handle);
    if (!session) {
        SetLastError(lookupHandle(handle) ? ERROR_INTERNET_INCORRECT_HANDLE_TYPE : ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (option != INTERNET_OPTION_SEND_TIMEOUT) {
        SetLastError(ERROR_INTERNET_INVALID_OPTION);
        return nullptr;
    }
    return session;
}

} // namespace
} // namespace vexa::platform

BOOL InternetSetOptionA(HINTERNET handle, DWORD option, LPVOID buffer, DWORD length) {
    const auto session = vexa::platform::optionSession(handle, option);
    if (!session) return FALSE;
    if (!buffer || length < sizeof(DWORD)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD value;
    std::memcpy(&value, buffer, sizeof value);
    session->sendTimeoutMs = value;
    return TRUE;
}

BOOL InternetQueryOptionA(HINTERNET handle, DWORD option, LPVOID buffer, LPDWORD length) {
    const auto session = vexa::platform::optionSession(handle, option);
    if (!session) return FALSE;
    if (!length) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!buffer || *length < sizeof(DWORD)) {
        *length = sizeof(DWORD);
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    DWORD value = session->sendTimeoutMs;
    if (!value) value = DWORD(vexa::platform::kTransferTimeoutSeconds * 1000);
    std::memcpy(buffer, &value, sizeof value);
    *length = sizeof value;
    return TRUE;
}
