#include "platform/internet.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <memory>
#include <mutex>
#include <string>

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
};

class InternetReply final : public KernelObject {
public:
    std::mutex lock;
    std::string body;
    size_t position = 0;
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

// The GET: the body, or a WinINet error number.
DWORD fetch(const std::string& url, const std::string& agent, std::string& body) {
    const CurlLibrary* curl = curlLibrary();
    if (!curl) return ERROR_INTERNET_INTERNAL_ERROR;
    std::unique_ptr<CURL, void (*)(CURL*)> easy(curl->easy_init(), curl->easy_cleanup);
    if (!easy) return ERROR_NOT_ENOUGH_MEMORY;
    CURL* handle = easy.get();
    const auto set = curl->easy_setopt;
    set(handle, CURLOPT_URL, url.c_str());
    set(handle, CURLOPT_USERAGENT, agent.c_str());
    set(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    set(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    set(handle, CURLOPT_FOLLOWLOCATION, 1L);
    set(handle, CURLOPT_MAXREDIRS, 5L);
    set(handle, CURLOPT_NOSIGNAL, 1L);
    set(handle, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    set(handle, CURLOPT_TIMEOUT, kTransferTimeoutSeconds);
    set(handle, CURLOPT_WRITEFUNCTION, collectBody);
    set(handle, CURLOPT_WRITEDATA, &body);
    // Always from the server: no cached copy on the way.
    curl_slist* headers = curl->slist_append(nullptr, "Cache-Control: no-cache");
    set(handle, CURLOPT_HTTPHEADER, headers);
    const CURLcode result = curl->easy_perform(handle);
    curl->slist_free_all(headers);
    return result == CURLE_OK ? ERROR_SUCCESS : internetError(result);
}

} // namespace

std::span<const LibraryExport> wininetExports() {
    static const LibraryExport exports[] = {
        {"InternetOpenW", exported(InternetOpenW)},
        {"InternetOpenUrlW", exported(InternetOpenUrlW)},
        {"InternetReadFile", exported(InternetReadFile)},
        {"InternetCloseHandle", exported(InternetCloseHandle)},
    };
    return exports;
}

} // namespace vexa::platform

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
    if (!vexa::platform::lookupHandleAs<InternetSession>(handle) && !vexa::platform::lookupHandleAs<InternetReply>(handle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return vexa::platform::closeHandle(handle) ? TRUE : FALSE;
}
