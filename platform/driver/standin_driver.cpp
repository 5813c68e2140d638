#include "platform/driver/standin_driver.h"

#include "machine/machine.h"

namespace vexa::platform::driver {

namespace {

// The Windows 9x VxD's small codes and the NT codes they stand for; the
// layouts are the NT ones except for the 40-byte replies.
DWORD ntCodeOf9x(DWORD code) {
    switch (code) {
    case 1: return 0x9C402400;   // read MSR
    case 2: return 0x9C402420;   // read physical memory
    case 3: return 0x9C402424;   // write MSR
    case 6: return 0x9C402430;   // write physical memory
    case 7: return 0x9C402404;   // read port byte
    case 8: return 0x9C40240C;   // read port word
    case 9: return 0x9C402414;   // read port dword
    case 10: return 0x9C402408;  // write port byte
    case 11: return 0x9C402410;  // write port word
    case 12: return 0x9C402418;  // write port dword
    default: return 0;
    }
}

} // namespace

DWORD serve(Flavor flavor, Request& request) {
    DWORD code = request.code;
    if (flavor == Flavor::Win9x) {
        code = ntCodeOf9x(code);
        if (code == 0) return ERROR_INVALID_FUNCTION;
        // The VxD takes a 32-bit buffer address, which cannot carry a
        // pointer of this process.
        if (code == 0x9C402420) return ERROR_NOT_SUPPORTED;
    }
    const auto behaviour = machine::current().driverBehaviour();
    if (behaviour.failingRequests.count(code)) return ERROR_GEN_FAILURE;
    if (flavor == Flavor::Win9x && code == 0x9C402430) {
        // {address low, value} becomes the NT form {address high, low, value}.
        if (needs(request, 8, 0) != ERROR_SUCCESS) return ERROR_INVALID_PARAMETER;
        const uint32_t nt[3] = {0, request.inDword(0), request.inDword(1)};
        Request translated{code, reinterpret_cast<const uint8_t*>(nt), sizeof nt, request.out, request.outSize};
        const DWORD result = serveHardware(code, translated);
        request.returned = translated.returned;
        return result;
    }
    for (auto family : {serveHardware, serveClocks, serveAcpi, serveOther}) {
        const DWORD result = family(code, request);
        if (result != kUnknownRequest) return result;
    }
    return ERROR_INVALID_FUNCTION;
}

} // namespace vexa::platform::driver
