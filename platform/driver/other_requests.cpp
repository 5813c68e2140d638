// SMBus byte reads, system-management interrupts and the IA-64 requests.
// The SMBus requests answer 2, "use the port protocol": the controllers of
// a machine are reached through their registers instead. The other requests
// have no counterpart on the machines this driver serves.
#include "platform/driver/standin_driver.h"

namespace vexa::platform::driver {

namespace {

constexpr uint32_t kUsePortProtocol = 2;

DWORD smbusByte(Request& r, DWORD inSize) {
    if (DWORD e = needs(r, inSize, 16)) return e;
    r.outDword(0, kUsePortProtocol);
    r.outDword(1, 0xFF);
    r.outDword(2, 0);
    r.outDword(3, 0);
    return ERROR_SUCCESS;
}

} // namespace

DWORD serveOther(DWORD code, Request& r) {
    switch (code) {
    case 0x9C402468: return smbusByte(r, 12);  // ICH
    case 0x9C40246C: return smbusByte(r, 20);  // memory-controller engine
    case 0x9C4024A8: return smbusByte(r, 12);  // nVidia
    case 0x9C402500:                           // SMI
    case 0x9C402440:                           // IA-64 CPUID
    case 0x9C402444: return ERROR_NOT_SUPPORTED;  // IA-64 PAL call
    default: return kUnknownRequest;
    }
}

} // namespace vexa::platform::driver
