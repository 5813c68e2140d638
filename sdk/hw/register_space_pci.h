// PCI configuration space as register spaces: by the driver's
// configuration requests (CPCIRegisterSpace), by the configuration ports
// with mechanism 1 (CPCIRegisterSpace_2) or with a mechanism 2 read
// (CPCIRegisterSpace_3), and by the memory-mapped PCI Express window
// (CPCIExpressRegisterSpace), which alone reaches registers 256 and above.
// Their requests are CPCIRequests; a request of another kind fails. Each
// access takes the root's driver manager of the moment and fails without
// one.
#pragma once

#include "sdk/hw/register_space.h"

class CPCIRegisterSpace : public CRegisterSpace {
public:
    explicit CPCIRegisterSpace(CIOSpace* ioSpace) : CRegisterSpace(REGSPACE_PCI, ioSpace) {}

    // 0x41 and 0x42 through the class's typed operations; 0x101 and 0x102
    // move count (the data field) bytes through the buffer with the
    // driver's configuration requests. Nothing else.
    int Execute(CIORequest* request) override;

    // The dword at `reg`; 0xFFFFFFFF stays in `value` when the read fails.
    virtual int ReadConfigDword(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg, uint32_t* value);
    virtual int WriteConfigDword(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg, uint32_t value);
};

// Mechanism 1 through ports 0xCF8/0xCFC (registers 0-255).
class CPCIRegisterSpace_2 : public CPCIRegisterSpace {
public:
    using CPCIRegisterSpace::CPCIRegisterSpace;

    // 0x41 and 0x42 as the base; 0x101 reads count bytes one at a time,
    // byte i the low byte of the dword read at register + i (the buffer
    // keeps its byte where that read fails). It stops at register 255, the
    // last the ports reach, and then fails. No block writes.
    int Execute(CIORequest* request) override;
    int ReadConfigDword(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg, uint32_t* value) override;
    int WriteConfigDword(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg, uint32_t value) override;
};

// Reads by mechanism 2, writes by the driver's configuration request.
class CPCIRegisterSpace_3 : public CPCIRegisterSpace {
public:
    using CPCIRegisterSpace::CPCIRegisterSpace;

    int ReadConfigDword(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg, uint32_t* value) override;
};

// The PCI Express enhanced configuration window, a memory I/O space in
// which function F of device D on bus B has its 4 KB configuration space
// at ((B * 32 + D) * 8 + F) * 4096.
class CPCIExpressRegisterSpace : public CRegisterSpace {
public:
    explicit CPCIExpressRegisterSpace(CIOSpace* window) : CRegisterSpace(REGSPACE_PCI_EXPRESS, window) {}

    // Only 0x101: count (the data field) bytes from the start of the
    // function's configuration space (the register field is not used),
    // read from physical memory in one request.
    int Execute(CIORequest* request) override;
    // A new request with every target field 0xFFFFFFFF; the caller owns it.
    virtual CPCIRequest* CreateRequest();

    // The dword holding `reg`, shifted right so that the byte at `reg` is
    // the lowest; 0xFFFFFFFF stays in `value` when the read fails.
    int ReadConfigDword(uint8_t bus, uint32_t device, uint32_t function, uint32_t reg, uint32_t* value);
    // Fails without an access for a register that is not a multiple of 4.
    int WriteConfigDword(uint8_t bus, uint32_t device, uint32_t function, uint32_t reg, uint32_t value);

    // The offset of the dword holding `reg` in the window.
    static uint32_t ConfigOffset(uint8_t bus, uint32_t device, uint32_t function, uint32_t reg);
};
