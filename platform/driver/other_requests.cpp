// SMBus byte reads, system-management interrupts and the IA-64 requests.
// The SMBus requests answer 2, "use the port protocol": the controllers of
// a machine are reached through their registers instead. The IA-64 requests
// reach the Itanium processors of a machine that has them (the caller's
// buffer, named by a dword address, lies below 4 GiB); elsewhere, like the
// system-management interrupt, they are not supported.
#include <array>
#include <cstring>

#include "machine/machine.h"
#include "platform/driver/standin_driver.h"
#include "platform/internal/thread_state.h"

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

// The caller's buffer of an IA-64 request: its address in dword 0.
void* ia64Buffer(const Request& r) { return reinterpret_cast<void*>(uintptr_t(r.inDword(0))); }

DWORD readIa64Cpuid(Request& r) {
    if (DWORD e = needs(r, 4, 8)) return e;
    std::array<uint64_t, machine::Ia64Facts::kCpuidRegisters> registers{};
    if (!machine::current().ia64Cpuid(currentProcessor(), registers)) return ERROR_NOT_SUPPORTED;
    void* buffer = ia64Buffer(r);
    if (!buffer) return ERROR_INVALID_PARAMETER;
    std::memcpy(buffer, registers.data(), sizeof registers);
    r.outDword(0, 0);
    r.outDword(1, 0);
    return ERROR_SUCCESS;
}

// The buffer holds the procedure number and arguments 1 to 3; the status
// and results 1 to 3 follow them.
DWORD callPal(Request& r) {
    if (DWORD e = needs(r, 4, 8)) return e;
    std::array<uint64_t, machine::Ia64Facts::kCpuidRegisters> registers{};
    if (!machine::current().ia64Cpuid(currentProcessor(), registers)) return ERROR_NOT_SUPPORTED;
    void* buffer = ia64Buffer(r);
    if (!buffer) return ERROR_INVALID_PARAMETER;
    std::array<uint64_t, 4> arguments{}, results{};
    std::memcpy(arguments.data(), buffer, sizeof arguments);
    if (!machine::current().palCall(currentProcessor(), arguments, results)) return ERROR_NOT_SUPPORTED;
    std::memcpy(static_cast<uint8_t*>(buffer) + sizeof arguments, results.data(), sizeof results);
    r.outDword(0, 0);
    r.outDword(1, 0);
    return ERROR_SUCCESS;
}

} // namespace

DWORD serveOther(DWORD code, Request& r) {
    switch (code) {
    case 0x9C402468: return smbusByte(r, 12);  // ICH
    case 0x9C40246C: return smbusByte(r, 20);  // memory-controller engine
    case 0x9C4024A8: return smbusByte(r, 12);  // nVidia
    case 0x9C402500: return ERROR_NOT_SUPPORTED;  // SMI
    case 0x9C402440: return readIa64Cpuid(r);
    case 0x9C402444: return callPal(r);
    default: return kUnknownRequest;
    }
}

} // namespace vexa::platform::driver
