// A typed address window (a range of I/O ports or of physical memory)
// through which register spaces, timers, devices and sensor drivers reach
// the hardware. Spaces are shared: components look one up by base and type
// in the root's list before creating it, and the root's list owns them.
#pragma once

#include <cstdint>

enum IOSpaceType : uint32_t {
    IOSPACE_PORT = 0x1000000,
    IOSPACE_MEMORY = 0x2000000,
};

class CIOSpace {
public:
    CIOSpace(uint32_t type, uint32_t baseHigh, uint32_t baseLow, uint32_t size)
        : m_dwType(type), m_dwBaseHigh(baseHigh), m_dwBaseLow(baseLow), m_dwSize(size) {}
    virtual ~CIOSpace() = default;
    CIOSpace(const CIOSpace&) = delete;
    CIOSpace& operator=(const CIOSpace&) = delete;

    virtual uint32_t GetBaseHigh() { return m_dwBaseHigh; }
    virtual uint32_t GetBaseLow() { return m_dwBaseLow; }
    virtual uint32_t GetSize() { return m_dwSize; }
    virtual int ReadByte(uint32_t offset, uint8_t* value) = 0;
    virtual int ReadWord(uint32_t offset, uint16_t* value) = 0;
    virtual int ReadDword(uint32_t offset, uint32_t* value) = 0;
    virtual int ReadQword(uint32_t offset, uint32_t* high, uint32_t* low) = 0;
    virtual int WriteByte(uint32_t offset, uint32_t value) = 0;
    virtual int WriteWord(uint32_t offset, uint32_t value) = 0;
    virtual int WriteDword(uint32_t offset, uint32_t value) = 0;

    uint32_t GetType() const { return m_dwType; }

    uint32_t m_dwType;
    uint32_t m_dwBaseHigh;
    uint32_t m_dwBaseLow;
    uint32_t m_dwSize;  // kept for the reports, not checked on access
};

// Each access below becomes one or two requests of the kernel-driver
// manager the root object refers to at that moment; without one the access
// fails. The address is the base low plus the offset, with no carry into
// the base high and no check against the size. A read stores its result
// only when it succeeds: otherwise the caller's variable keeps its value.
// The widths a space does not offer fail without a request.

// A range of I/O ports: byte, word and dword accesses; no qwords.
class CPortIOSpace : public CIOSpace {
public:
    CPortIOSpace(uint32_t firstPort, uint32_t size) : CIOSpace(IOSPACE_PORT, 0, firstPort, size) {}

    int ReadByte(uint32_t offset, uint8_t* value) override;
    int ReadWord(uint32_t offset, uint16_t* value) override;
    int ReadDword(uint32_t offset, uint32_t* value) override;
    int ReadQword(uint32_t offset, uint32_t* high, uint32_t* low) override;
    int WriteByte(uint32_t offset, uint32_t value) override;
    int WriteWord(uint32_t offset, uint32_t value) override;
    int WriteDword(uint32_t offset, uint32_t value) override;
};

// A window of physical memory: byte, dword and qword reads (the first
// dword in memory is the low one), byte and dword writes; no words. A byte
// write reads the enclosing dword and writes it back with the byte
// changed, so it fails when that dword cannot be read.
class CMemoryIOSpace : public CIOSpace {
public:
    CMemoryIOSpace(uint32_t baseHigh, uint32_t baseLow, uint32_t size)
        : CIOSpace(IOSPACE_MEMORY, baseHigh, baseLow, size) {}

    int ReadByte(uint32_t offset, uint8_t* value) override;
    int ReadWord(uint32_t offset, uint16_t* value) override;
    int ReadDword(uint32_t offset, uint32_t* value) override;
    int ReadQword(uint32_t offset, uint32_t* high, uint32_t* low) override;
    int WriteByte(uint32_t offset, uint32_t value) override;
    int WriteWord(uint32_t offset, uint32_t value) override;
    int WriteDword(uint32_t offset, uint32_t value) override;
};
