// HTTP client functions of the WinINet shape, on libcurl. A session
// (InternetOpenW) carries the agent; InternetOpenUrlW performs the whole
// GET at once and keeps the body, bounded to kMaxResponseBytes (a longer
// body is cut there), for InternetReadFile to hand out in pieces. As with
// WinINet, a reply with an HTTP error status still opens: the caller reads
// what the server sent. Failures set the last error to WinINet's numbers
// (ERROR_INTERNET_*).
//
// The functions are also the exports of the library "wininet.dll"
// (LoadLibraryA).
#pragma once

#include <cstddef>

#include "platform/win_types.h"

using HINTERNET = void*;
using DWORD_PTR = uintptr_t;

constexpr DWORD INTERNET_OPEN_TYPE_PRECONFIG = 0;
constexpr DWORD INTERNET_OPEN_TYPE_DIRECT = 1;
constexpr DWORD INTERNET_FLAG_RELOAD = 0x80000000;
constexpr DWORD INTERNET_FLAG_TRANSFER_ASCII = 0x00000001;

constexpr DWORD ERROR_INTERNET_TIMEOUT = 12002;
constexpr DWORD ERROR_INTERNET_INTERNAL_ERROR = 12004;
constexpr DWORD ERROR_INTERNET_INVALID_URL = 12005;
constexpr DWORD ERROR_INTERNET_UNRECOGNIZED_SCHEME = 12006;
constexpr DWORD ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
constexpr DWORD ERROR_INTERNET_CANNOT_CONNECT = 12029;
constexpr DWORD ERROR_INTERNET_CONNECTION_ABORTED = 12030;
constexpr DWORD ERROR_INTERNET_CONNECTION_RESET = 12031;
constexpr DWORD ERROR_INTERNET_SECURITY_CHANNEL_ERROR = 12157;

// A session handle, or null (last error ERROR_INVALID_PARAMETER for an
// access type other than preconfigured or direct). The proxy arguments
// must be null: the system's configuration (libcurl's proxy variables)
// applies.
HINTERNET InternetOpenW(LPCWSTR agent, DWORD accessType, LPCWSTR proxy, LPCWSTR proxyBypass, DWORD flags);
// The reply to a GET of the http or https address, or null with the last
// error set. Extra headers are not supported and must be null. A reply that
// does not complete within kTransferTimeoutSeconds fails with
// ERROR_INTERNET_TIMEOUT.
HINTERNET InternetOpenUrlW(HINTERNET session, LPCWSTR url, LPCWSTR headers, DWORD headersLength, DWORD flags,
                           DWORD_PTR context);
// Copies up to `toRead` further bytes of the reply; *read = 0 at its end.
BOOL InternetReadFile(HINTERNET file, LPVOID buffer, DWORD toRead, LPDWORD read);
BOOL InternetCloseHandle(HINTERNET handle);

namespace vexa::platform {

constexpr size_t kMaxResponseBytes = 1 << 20;
constexpr long kConnectTimeoutSeconds = 10;
constexpr long kTransferTimeoutSeconds = 30;

} // namespace vexa::platform
