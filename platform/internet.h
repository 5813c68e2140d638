// HTTP client functions of the WinINet shape, on libcurl. A session
// (InternetOpenW) carries the agent; InternetOpenUrlW performs the whole
// GET at once and keeps the body, bounded to kMaxResponseBytes (a longer
// body is cut there), for InternetReadFile to hand out in pieces. As with
// WinINet, a reply with an HTTP error status still opens: the caller reads
// what the server sent. Failures set the last error to WinINet's numbers
// (ERROR_INTERNET_*).
//
// A request can also be made in steps, as for a POST: InternetOpenA,
// InternetConnectA (host and port), HttpOpenRequestA (verb and object),
// HttpSendRequestA (headers and body), then InternetReadFile on the
// request. Options set on the session (InternetSetOptionA) apply to the
// requests made under it.
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

using INTERNET_PORT = uint16_t;
constexpr DWORD INTERNET_SERVICE_HTTP = 3;
constexpr DWORD INTERNET_OPTION_SEND_TIMEOUT = 5;

constexpr DWORD ERROR_INTERNET_TIMEOUT = 12002;
constexpr DWORD ERROR_INTERNET_INTERNAL_ERROR = 12004;
constexpr DWORD ERROR_INTERNET_INVALID_URL = 12005;
constexpr DWORD ERROR_INTERNET_UNRECOGNIZED_SCHEME = 12006;
constexpr DWORD ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
constexpr DWORD ERROR_INTERNET_INVALID_OPTION = 12009;
constexpr DWORD ERROR_INTERNET_INCORRECT_HANDLE_TYPE = 12018;
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

// InternetOpenW with a narrow agent.
HINTERNET InternetOpenA(LPCSTR agent, DWORD accessType, LPCSTR proxy, LPCSTR proxyBypass, DWORD flags);
// A connection to an HTTP server (service INTERNET_SERVICE_HTTP only; port
// 0 means 80). Nothing is sent yet; a user name and password are sent as
// basic authentication with each request.
HINTERNET InternetConnectA(HINTERNET session, LPCSTR host, INTERNET_PORT port, LPCSTR user, LPCSTR password,
                           DWORD service, DWORD flags, DWORD_PTR context);
// A request of the connection: verb ("GET" when null), the object's path
// (a leading '/' is added when missing). The version, referrer and accept
// types are not supported and must be null; of the flags,
// INTERNET_FLAG_RELOAD asks every cache on the way to pass the request on.
HINTERNET HttpOpenRequestA(HINTERNET connection, LPCSTR verb, LPCSTR object, LPCSTR version, LPCSTR referrer,
                           LPCSTR* acceptTypes, DWORD flags, DWORD_PTR context);
// Sends the request with the extra header lines ("Name: value", separated
// by CR LF; a length of DWORD(-1) means zero-terminated) and `optional`
// as its body, and keeps the reply for InternetReadFile (bounded like
// InternetOpenUrlW's). FALSE with the last error set when no reply came.
BOOL HttpSendRequestA(HINTERNET request, LPCSTR headers, DWORD headersLength, LPVOID optional, DWORD optionalLength);
// INTERNET_OPTION_SEND_TIMEOUT (a DWORD of milliseconds; 0 restores the
// default) on a session; other options fail with
// ERROR_INTERNET_INVALID_OPTION.
BOOL InternetSetOptionA(HINTERNET handle, DWORD option, LPVOID buffer, DWORD length);
// Reads an option InternetSetOptionA sets; *length is the buffer's size in
// bytes and becomes the option's (ERROR_INSUFFICIENT_BUFFER when short).
BOOL InternetQueryOptionA(HINTERNET handle, DWORD option, LPVOID buffer, LPDWORD length);

namespace vexa::platform {

constexpr size_t kMaxResponseBytes = 1 << 20;
constexpr long kConnectTimeoutSeconds = 10;
constexpr long kTransferTimeoutSeconds = 30;
constexpr size_t kMaxHostChars = 255;
constexpr size_t kMaxRequestHeaderBytes = 4096;

} // namespace vexa::platform
