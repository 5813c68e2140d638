// Index/data register pairs inside a device's PCI configuration space: the
// index goes to one configuration register, the indexed value comes back
// through another. The space runs its own PCI request, which names the
// device, on an inner PCI register space; it owns the request (and deletes
// it), not the inner space. It has no I/O space.
#pragma once

#include "sdk/hw/register_space.h"

class CIndirectRegisterSpace : public CRegisterSpace {
public:
    CIndirectRegisterSpace(CRegisterSpace* inner, CPCIRequest* request, uint8_t indexRegister, uint8_t dataRegister)
        : CIndirectRegisterSpace(REGSPACE_INDEXED_PCI, inner, request, indexRegister, dataRegister) {}
    ~CIndirectRegisterSpace() override;

    // WriteIndex, then ReadData; 0xFFFFFFFF in `value` when either fails.
    int ReadIndexed(uint32_t index, uint32_t* value);
    // Writes the index register: a dword write of `index`.
    int WriteIndex(uint32_t index);
    // Reads the data register: a dword read.
    int ReadData(uint32_t* value);

    CRegisterSpace* m_pInner;  // not owned
    CPCIRequest* m_pRequest;   // owned; reused for every access
    uint8_t m_byIndexRegister;
    uint8_t m_byDataRegister;

protected:
    CIndirectRegisterSpace(uint32_t spaceClass, CRegisterSpace* inner, CPCIRequest* request, uint8_t indexRegister,
                           uint8_t dataRegister)
        : CRegisterSpace(spaceClass, nullptr), m_pInner(inner), m_pRequest(request),
          m_byIndexRegister(indexRegister), m_byDataRegister(dataRegister) {}

private:
    // Runs the owned request on the inner space.
    int Run(uint32_t operation, uint8_t reg);
};

// The memory controller registers of ATI's RS600 northbridge, reached
// through configuration registers 0xE8 (index) and 0xEC (data).
class ATI_RS600_MC_RegisterSpace : public CIndirectRegisterSpace {
public:
    static constexpr uint8_t kIndexRegister = 0xE8;
    static constexpr uint8_t kDataRegister = 0xEC;

    ATI_RS600_MC_RegisterSpace(CRegisterSpace* inner, CPCIRequest* request)
        : CIndirectRegisterSpace(REGSPACE_RS600_MC, inner, request, kIndexRegister, kDataRegister) {}
};
