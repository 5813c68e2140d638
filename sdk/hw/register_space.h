// The object through which a component talks to one kind of register file
// (PCI configuration space, index/data port pairs, power-management blocks,
// SMBus controllers, ...). Register spaces are shared objects of the root's
// register-space list, found by base and class, and owned by that list. No
// register space owns its I/O space.
//
// The families: register_space_pci.h (PCI configuration by the driver, by
// the ports and by the PCI Express window), register_space_lpc.h
// (index/data port pairs), register_space_pmio.h (power-management and
// monitor blocks), register_space_indirect.h (index/data registers inside
// a device's PCI configuration).
#pragma once

#include <cstdint>

#include "sdk/hw/io_request.h"

class CIOSpace;
class CReportGenerator;

enum RegisterSpaceClass : uint32_t {
    REGSPACE_LPC = 0x1,
    REGSPACE_PCI = 0x2,
    REGSPACE_PCI_EXPRESS = 0x3,
    REGSPACE_I2C = 0x4,
    REGSPACE_SMBUS = 0x5,
    REGSPACE_UGURU = 0x6,
    REGSPACE_UGURU_2005 = 0x7,
    REGSPACE_PMIO = 0x8,
    REGSPACE_RS600_MC = 0x10,
    REGSPACE_AMD_K10_ECS = 0x12,
    REGSPACE_VIA_686_HWM = 0x13,
    REGSPACE_BANKED_PMIO = 0x17,
    REGSPACE_INDEXED_PCI = 0x18,
};

class CRegisterSpace {
public:
    CRegisterSpace(uint32_t spaceClass, CIOSpace* ioSpace)
        : m_dwClass(spaceClass), m_pIOSpace(ioSpace) {}
    virtual ~CRegisterSpace() = default;
    CRegisterSpace(const CRegisterSpace&) = delete;
    CRegisterSpace& operator=(const CRegisterSpace&) = delete;

    // Carries out one request; 1 on success, 0 on failure (always, in the
    // base and in the classes used through their typed operations).
    virtual int Execute(CIORequest*) { return 0; }
    // The I/O space's base and size; 0xFFFFFFFF without a space.
    virtual uint32_t GetBaseHigh();
    virtual uint32_t GetBaseLow();
    virtual uint32_t GetSize();
    virtual void Dump(CReportGenerator* report);

    // The entry points through which components run a request: both run
    // Execute and answer its result. Their callers hold the library and
    // driver locks already, so neither takes a lock of its own.
    int LockedExecute(CIORequest* request) { return Execute(request); }
    int ExecuteUnlocked(CIORequest* request) { return Execute(request); }

    // Byte access of the I/O space at `offset`; 0 without a space. A read
    // that fails leaves the caller's byte as it was.
    int ReadByte(uint32_t offset, uint8_t* value);
    int WriteByte(uint32_t offset, uint32_t value);

    uint32_t GetClass() const { return m_dwClass; }

    uint32_t m_dwClass;
    CIOSpace* m_pIOSpace;  // not owned; may be null

protected:
    // What the spaces of byte registers (LPC, PMIO) do with a request: only
    // the direction nibble of the operation counts. 1 reads the register's
    // byte with `read` (register, byte pointer) into the low byte of the
    // data, 2 writes the data's low byte with `write` (register, byte);
    // anything else fails. The register is a byte.
    template <typename Read, typename Write>
    static int ExecuteByDirection(CIORequest* request, Read read, Write write) {
        if (!request) return 0;
        const auto reg = static_cast<uint8_t>(request->m_dwRegister);
        switch (request->m_dwOperation & IOOP_DIRECTION_MASK) {
        case IOOP_READ: {
            uint8_t value = 0xFF;
            const int result = read(reg, &value);
            request->m_dwData = (request->m_dwData & 0xFFFFFF00) | value;
            return result;
        }
        case IOOP_WRITE: return write(reg, static_cast<uint8_t>(request->m_dwData));
        default: return 0;
        }
    }
};
