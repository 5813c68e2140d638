// Requests that reach the machine's hardware directly: model-specific
// registers of the calling thread's processor, I/O ports, physical memory
// and PCI configuration space; and the driver's and kernel's versions.
#include <cstring>
#include <vector>

#include "machine/machine.h"
#include "platform/driver/standin_driver.h"
#include "platform/internal/thread_state.h"
#include "platform/testing.h"

namespace vexa::platform::driver {

namespace {

constexpr uint32_t kMaxCopy = 16u << 20;  // bytes one memory request may move

machine::Machine& hw() { return machine::current(); }

DWORD readMsr(Request& r) {
    if (DWORD e = needs(r, 4, 8)) return e;
    uint64_t value = 0;
    if (!hw().readMsr(currentProcessor(), r.inDword(0), value)) return ERROR_GEN_FAILURE;
    r.outDword(0, static_cast<uint32_t>(value));
    r.outDword(1, static_cast<uint32_t>(value >> 32));
    return ERROR_SUCCESS;
}

DWORD writeMsr(Request& r) {
    if (DWORD e = needs(r, 12, 8)) return e;
    const uint64_t value = (uint64_t(r.inDword(1)) << 32) | r.inDword(2);
    const bool ok = hw().writeMsr(currentProcessor(), r.inDword(0), value);
    r.outDword(0, ok ? 0 : 0xFFFFFFFF);
    r.outDword(1, 0);
    return ERROR_SUCCESS;
}

DWORD readPort(Request& r, unsigned width) {
    if (DWORD e = needs(r, 4, 8)) return e;
    uint32_t value = 0;
    if (r.inDword(0) > 0xFFFF || !hw().readPort(static_cast<uint16_t>(r.inDword(0)), width, value))
        return ERROR_GEN_FAILURE;
    r.outDword(0, value);
    r.outDword(1, 0);
    return ERROR_SUCCESS;
}

DWORD writePort(Request& r, unsigned width) {
    if (DWORD e = needs(r, 8, 8)) return e;
    if (r.inDword(0) > 0xFFFF || !hw().writePort(static_cast<uint16_t>(r.inDword(0)), width, r.inDword(1)))
        return ERROR_GEN_FAILURE;
    r.outDword(0, 0);
    r.outDword(1, 0);
    return ERROR_SUCCESS;
}

uint64_t address(const Request& r) { return (uint64_t(r.inDword(0)) << 32) | r.inDword(1); }

DWORD readMemory(Request& r) {
    if (DWORD e = needs(r, 20, 8)) return e;
    const uint32_t length = r.inDword(2);
    void* buffer = r.inPointer(3);
    if (length == 0 || length > kMaxCopy || !buffer) return ERROR_INVALID_PARAMETER;
    // Through a buffer of our own, so a failed read leaves the caller's untouched.
    std::vector<uint8_t> bytes(length);
    if (!hw().readPhysical(address(r), bytes)) return ERROR_GEN_FAILURE;
    std::memcpy(buffer, bytes.data(), length);
    r.outDword(0, length);
    r.outDword(1, 0);
    return ERROR_SUCCESS;
}

DWORD writeMemory(Request& r) {
    if (DWORD e = needs(r, 12, 8)) return e;
    const uint32_t value = r.inDword(2);
    uint8_t bytes[4];
    std::memcpy(bytes, &value, 4);
    if (!hw().writePhysical(address(r), bytes)) return ERROR_GEN_FAILURE;
    r.outDword(0, 4);
    r.outDword(1, 0);
    return ERROR_SUCCESS;
}

// Maps physical memory into the process: the reply is the view's address,
// low dword first. The view is read-only, and a simulated machine's is a
// copy of the range at the time of the request (machine.h).
DWORD mapMemory(Request& r) {
    if (DWORD e = needs(r, 12, 8)) return e;
    const uint32_t size = r.inDword(2);
    if (size == 0 || size > machine::Machine::kMaxMappingBytes) return ERROR_INVALID_PARAMETER;
    const uint8_t* view = hw().mapPhysical(address(r), size);
    if (!view) return ERROR_GEN_FAILURE;
    const auto pointer = reinterpret_cast<uint64_t>(view);
    r.outDword(0, static_cast<uint32_t>(pointer));
    r.outDword(1, static_cast<uint32_t>(pointer >> 32));
    return ERROR_SUCCESS;
}

DWORD pciConfig(Request& r, bool write) {
    if (DWORD e = needs(r, 28, 4)) return e;
    const uint32_t bus = r.inDword(0), device = r.inDword(1), function = r.inDword(2);
    const uint32_t reg = r.inDword(3), length = r.inDword(4);
    void* buffer = r.inPointer(5);
    // Configuration space is 4096 bytes per function; nothing beyond it.
    if (bus > 255 || device > 31 || function > 7 || length == 0 || reg >= 4096 || length > 4096 - reg ||
        !buffer)
        return ERROR_INVALID_PARAMETER;
    const machine::PciAddress fn{uint8_t(bus), uint8_t(device), uint8_t(function)};
    bool ok;
    if (write) {
        ok = hw().writePciConfig(fn, reg, {static_cast<const uint8_t*>(buffer), length});
    } else {
        std::vector<uint8_t> bytes(length);
        ok = hw().readPciConfig(fn, reg, bytes);
        if (ok) std::memcpy(buffer, bytes.data(), length);
    }
    r.outDword(0, ok ? 1 : 0);
    return ERROR_SUCCESS;
}

DWORD driverVersion(Request& r) {
    if (DWORD e = needs(r, 0, 4)) return e;
    r.outDword(0, hw().driverBehaviour().version);
    return ERROR_SUCCESS;
}

DWORD kernelVersion(Request& r) {
    if (DWORD e = needs(r, 0, 12)) return e;
    const auto identity = testing::windowsIdentity();
    r.outDword(0, identity.majorVersion);
    r.outDword(1, identity.minorVersion);
    r.outDword(2, identity.buildNumber);
    return ERROR_SUCCESS;
}

} // namespace

DWORD serveHardware(DWORD code, Request& r) {
    switch (code) {
    case 0x9C402400: return readMsr(r);
    case 0x9C402424: return writeMsr(r);
    case 0x9C402404: return readPort(r, 1);
    case 0x9C40240C: return readPort(r, 2);
    case 0x9C402414: return readPort(r, 4);
    case 0x9C402408: return writePort(r, 1);
    case 0x9C402410: return writePort(r, 2);
    case 0x9C402418: return writePort(r, 4);
    case 0x9C402420: return readMemory(r);
    case 0x9C402430: return writeMemory(r);
    case 0x9C40245C: return mapMemory(r);
    case 0x9C402448: return pciConfig(r, false);
    case 0x9C40244C: return pciConfig(r, true);
    case 0x9C402438: return driverVersion(r);
    case 0x9C402510: return kernelVersion(r);
    default: return kUnknownRequest;
    }
}

} // namespace vexa::platform::driver
