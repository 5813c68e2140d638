// The register accesses of the chip probes: one request through the
// space's locked execute. A read reports whether it succeeded and stores
// its byte only then, so a failed read can never pass for an
// identification byte.
#pragma once

#include <cstdint>

#include "sdk/hw/io_request.h"
#include "sdk/hw/register_space.h"

inline bool ProbeAccess(CRegisterSpace* space, CIORequest* request, uint8_t reg, uint32_t operation, uint32_t data) {
    if (!space || !request) return false;
    request->m_dwOperation = operation;
    request->m_dwRegister = reg;
    request->m_dwData = data;
    return space->LockedExecute(request) != 0;
}

inline bool ProbeRead(CRegisterSpace* space, CIORequest* request, uint8_t reg, uint8_t* value) {
    if (!ProbeAccess(space, request, reg, IOOP_READ_BYTE, 0)) return false;
    *value = uint8_t(request->m_dwData);
    return true;
}

inline bool ProbeReadWord(CRegisterSpace* space, CIORequest* request, uint8_t reg, uint16_t* value) {
    if (!ProbeAccess(space, request, reg, IOOP_READ_WORD, 0)) return false;
    *value = uint16_t(request->m_dwData);
    return true;
}

inline bool ProbeWrite(CRegisterSpace* space, CIORequest* request, uint8_t reg, uint8_t value) {
    return ProbeAccess(space, request, reg, IOOP_WRITE_BYTE, value);
}

// Whether a read of the register succeeds and gives the byte.
inline bool ProbeReads(CRegisterSpace* space, CIORequest* request, uint8_t reg, uint8_t expected) {
    uint8_t value = 0;
    return ProbeRead(space, request, reg, &value) && value == expected;
}
