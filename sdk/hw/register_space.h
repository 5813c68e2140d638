// The object through which a component talks to one kind of register file
// (PCI configuration space, index/data port pairs, power-management blocks,
// SMBus controllers, ...). Register spaces are shared objects of the root's
// register-space list, found by base and class.
#pragma once

#include <cstdint>

class CIOSpace;
class CIORequest;
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

    // Carries out one request; 1 on success, 0 on failure.
    virtual int Execute(CIORequest*) { return 0; }
    // The I/O space's base and size; 0xFFFFFFFF without a space.
    virtual uint32_t GetBaseHigh();
    virtual uint32_t GetBaseLow();
    virtual uint32_t GetSize();
    virtual void Dump(CReportGenerator* report);

    uint32_t GetClass() const { return m_dwClass; }

    uint32_t m_dwClass;
    CIOSpace* m_pIOSpace;  // not owned
};
