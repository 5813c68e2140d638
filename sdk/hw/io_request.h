// A generic access of a register space: what to do (the operation), where
// (the register and the target fields of the request's kind) and with what
// (the data, or a count and a buffer). CRegisterSpace::Execute carries it
// out. Requests are short-lived: the caller creates one, runs it and
// deletes it.
#pragma once

#include <cstdint>

class CReportGenerator;

enum IORequestKind : uint32_t {
    IOREQUEST_LPC = 1,
    IOREQUEST_PMIO = 2,
    IOREQUEST_PCI = 3,
    IOREQUEST_SMBUS = 5,
    IOREQUEST_UGURU = 6,
    IOREQUEST_I2C = 7,
};

// Width | direction: the direction in the low nibble, the width above it.
enum IORequestOp : uint32_t {
    IOOP_READ = 0x1,
    IOOP_WRITE = 0x2,
    IOOP_DIRECTION_MASK = 0xF,

    IOOP_BYTE = 0x10,
    IOOP_WORD = 0x20,
    IOOP_DWORD = 0x40,
    IOOP_BYTE_RUN = 0x80,  // a run of single-byte reads
    IOOP_BLOCK = 0x100,    // count bytes (the data field) through the buffer

    IOOP_READ_BYTE = IOOP_BYTE | IOOP_READ,
    IOOP_WRITE_BYTE = IOOP_BYTE | IOOP_WRITE,
    IOOP_READ_WORD = IOOP_WORD | IOOP_READ,
    IOOP_WRITE_WORD = IOOP_WORD | IOOP_WRITE,
    IOOP_READ_DWORD = IOOP_DWORD | IOOP_READ,
    IOOP_WRITE_DWORD = IOOP_DWORD | IOOP_WRITE,
    IOOP_READ_BYTE_RUN = IOOP_BYTE_RUN | IOOP_READ,
    IOOP_READ_BLOCK = IOOP_BLOCK | IOOP_READ,
    IOOP_WRITE_BLOCK = IOOP_BLOCK | IOOP_WRITE,

    IOOP_UNSET = 0xFFFFFFFF,
};

class CIORequest {
public:
    explicit CIORequest(uint32_t kind) : m_dwKind(kind) {}
    virtual ~CIORequest() = default;
    CIORequest(const CIORequest&) = delete;
    CIORequest& operator=(const CIORequest&) = delete;

    // One report line with the target fields; nothing for kinds without.
    virtual void Dump(CReportGenerator*) {}

    uint32_t GetKind() const { return m_dwKind; }

    uint32_t m_dwKind;                   // IORequestKind
    uint32_t m_dwOperation = IOOP_UNSET; // IORequestOp
    uint32_t m_dwRegister = 0xFFFFFFFF;
    uint32_t m_dwData = 0;               // value, result (a byte or word in the low bits) or count
    uint8_t* m_pBuffer = nullptr;        // block transfers; not owned
};

class CLPCRequest : public CIORequest {
public:
    CLPCRequest() : CIORequest(IOREQUEST_LPC) {}
};

class CPMIORequest : public CIORequest {
public:
    CPMIORequest() : CIORequest(IOREQUEST_PMIO) {}
};

class CPCIRequest : public CIORequest {
public:
    CPCIRequest() : CIORequest(IOREQUEST_PCI) {}
    CPCIRequest(uint32_t bus, uint32_t device, uint32_t function)
        : CIORequest(IOREQUEST_PCI), m_dwBus(bus), m_dwDevice(device), m_dwFunction(function) {}

    void Dump(CReportGenerator* report) override;

    uint32_t m_dwBus = 0xFFFFFFFF;
    uint32_t m_dwDevice = 0xFFFFFFFF;
    uint32_t m_dwFunction = 0xFFFFFFFF;
};

// The request as a PCI request; null for a request of another kind.
inline CPCIRequest* AsPCIRequest(CIORequest* request) {
    return request && request->m_dwKind == IOREQUEST_PCI ? static_cast<CPCIRequest*>(request) : nullptr;
}

class CSMBusRequest : public CIORequest {
public:
    CSMBusRequest() : CIORequest(IOREQUEST_SMBUS) {}

    void Dump(CReportGenerator* report) override;

    uint8_t m_byChannel = 0xFF;
    uint8_t m_bySlaveAddress = 0xFF;
};

class UGuru_Request : public CIORequest {
public:
    UGuru_Request(uint32_t value, uint8_t bank) : CIORequest(IOREQUEST_UGURU), m_dwValue(value), m_byBank(bank) {}

    void Dump(CReportGenerator* report) override;

    uint32_t m_dwValue;
    uint8_t m_byBank;
};

class CI2CRequest : public CIORequest {
public:
    CI2CRequest(uint8_t bus, uint8_t device) : CIORequest(IOREQUEST_I2C), m_byBus(bus), m_byDevice(device) {}

    void Dump(CReportGenerator* report) override;

    uint8_t m_byBus;
    uint8_t m_byDevice;
};
