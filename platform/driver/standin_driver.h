// The stand-in kernel driver: it answers the program's driver requests
// (control codes, input and output layouts of the driver interface) from
// the current machine. One request at a time per caller; the machine itself
// is thread-safe.
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/win_types.h"

namespace vexa::platform::driver {

// Windows NT kernel driver, or the Windows 9x VxD with its small codes.
enum class Flavor { NT, Win9x };

struct Request {
    DWORD code;
    const uint8_t* in;
    DWORD inSize;
    uint8_t* out;
    DWORD outSize;
    DWORD returned = 0;  // bytes of `out` written

    uint32_t inDword(size_t index) const {
        uint32_t value;
        std::memcpy(&value, in + 4 * index, 4);
        return value;
    }
    void outDword(size_t index, uint32_t value) {
        std::memcpy(out + 4 * index, &value, 4);
        if (returned < 4 * (index + 1)) returned = static_cast<DWORD>(4 * (index + 1));
    }
    // A caller buffer sent as two dwords {high, low} at `index`.
    void* inPointer(size_t index) const {
        return reinterpret_cast<void*>((uint64_t(inDword(index)) << 32) | inDword(index + 1));
    }
};

// Serves one request; ERROR_SUCCESS, or the Windows error with which
// DeviceIoControl fails.
DWORD serve(Flavor flavor, Request& request);

// The request families, each in its own file.
DWORD serveHardware(DWORD code, Request& request);  // MSRs, ports, memory, PCI, versions
DWORD serveClocks(DWORD code, Request& request);    // clock measurements
DWORD serveAcpi(DWORD code, Request& request);      // namespace, methods, global lock
DWORD serveOther(DWORD code, Request& request);     // SMBus, SMI, IA-64

// Returned by a family for a code it does not know.
constexpr DWORD kUnknownRequest = 0xFFFFFFFF;

// Checks the buffer sizes a request needs.
inline DWORD needs(const Request& request, DWORD in, DWORD out) {
    if (request.inSize < in || (in && !request.in)) return ERROR_INVALID_PARAMETER;
    if (request.outSize < out || (out && !request.out)) return ERROR_INSUFFICIENT_BUFFER;
    return ERROR_SUCCESS;
}

} // namespace vexa::platform::driver
