// SMBus byte reads, system-management interrupts and the IA-64 requests.
// The SMBus requests answer 2, "use the port protocol": the controllers of
// a machine are reached through their registers instead. The IA-64 requests
// reach the Itanium processors of a machine that has them (the caller's
// buffer, named by a dword address, lies below 4 GiB), and the
// system-management interrupt the handler of a simulated machine; elsewhere
// they are not supported.
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

using Ia64Cpuid = std::array<uint64_t, machine::Ia64Facts::kCpuidRegisters>;

// The caller's buffer of an IA-64 request, named by its address in dword 0,
// when the calling processor is an Itanium (its CPUID registers then in
// `cpuid`); null with the request's error otherwise, the buffer untouched.
uint8_t* ia64Buffer(Request& r, Ia64Cpuid& cpuid, DWORD& error) {
    error = needs(r, 4, 8);
    if (error) return nullptr;
    error = ERROR_NOT_SUPPORTED;
    if (!machine::current().ia64Cpuid(currentProcessor(), cpuid)) return nullptr;
    error = ERROR_INVALID_PARAMETER;
    auto* buffer = reinterpret_cast<uint8_t*>(uintptr_t(r.inDword(0)));
    if (!buffer) return nullptr;
    r.outDword(0, 0);
    r.outDword(1, 0);
    error = ERROR_SUCCESS;
    return buffer;
}

DWORD readIa64Cpuid(Request& r) {
    Ia64Cpuid registers{};
    DWORD error = ERROR_SUCCESS;
    uint8_t* buffer = ia64Buffer(r, registers, error);
    if (buffer) std::memcpy(buffer, registers.data(), sizeof registers);
    return error;
}

// The buffer holds the procedure number and arguments 1 to 3; the status
// and results 1 to 3 follow them.
DWORD callPal(Request& r) {
    Ia64Cpuid registers{};
    DWORD error = ERROR_SUCCESS;
    uint8_t* buffer = ia64Buffer(r, registers, error);
    if (!buffer) return error;
    std::array<uint64_t, 4> arguments{}, results{};
    std::memcpy(arguments.data(), buffer, sizeof arguments);
    if (!machine::current().palCall(currentProcessor(), arguments, results)) return ERROR_NOT_SUPPORTED;
    std::memcpy(buffer + sizeof arguments, results.data(), sizeof results);
    return ERROR_SUCCESS;
}

// The four registers of the interrupt in and out. Only a simulated
// machine's handler can be called; the host refuses the request.
DWORD callSmi(Request& r) {
    if (DWORD e = needs(r, 16, 16)) return e;
    std::array<uint32_t, 4> registers{};
    for (size_t i = 0; i < registers.size(); ++i) registers[i] = r.inDword(i);
    if (!machine::current().smiCall(registers)) return ERROR_NOT_SUPPORTED;
    for (size_t i = 0; i < registers.size(); ++i) r.outDword(i, registers[i]);
    return ERROR_SUCCESS;
}

} // namespace

DWORD serveOther(DWORD code, Request& r) {
    switch (code) {
    case 0x9C402468: return smbusByte(r, 12);  // ICH
    case 0x9C40246C: return smbusByte(r, 20);  // memory-controller engine
    case 0x9C4024A8: return smbusByte(r, 12);  // nVidia
    case 0x9C402500: return callSmi(r);
    case 0x9C402440: return readIa64Cpuid(r);
    case 0x9C402444: return callPal(r);
    default: return kUnknownRequest;
    }
}

} // namespace vexa::platform::driver
