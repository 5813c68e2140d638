#include "sdk/hw/io_space.h"

#include "sdk/core/sdk.h"
#include "sdk/hw/kmdriver.h"

namespace {

// The driver manager of the moment; the application may replace it
// between scans.
CKMDriver* Driver() { return GetSDK()->GetDriver(); }

// Runs a read into a variable of our own and hands the result to the
// caller only when the read succeeded.
template <typename T, typename Read>
int ReadInto(T* value, Read read) {
    CKMDriver* driver = Driver();
    if (!driver) return 0;
    T result {};
    if (!read(*driver, result)) return 0;
    if (value) *value = result;
    return 1;
}

template <typename Write>
int WriteThrough(Write write) {
    CKMDriver* driver = Driver();
    return driver && write(*driver) ? 1 : 0;
}

} // namespace

// ---- Ports ----

int CPortIOSpace::ReadByte(uint32_t offset, uint8_t* value) {
    return ReadInto(value, [&](CKMDriver& d, uint8_t& v) { return d.ReadPortByte(m_dwBaseLow + offset, &v); });
}

int CPortIOSpace::ReadWord(uint32_t offset, uint16_t* value) {
    return ReadInto(value, [&](CKMDriver& d, uint16_t& v) { return d.ReadPortWord(m_dwBaseLow + offset, &v); });
}

int CPortIOSpace::ReadDword(uint32_t offset, uint32_t* value) {
    return ReadInto(value, [&](CKMDriver& d, uint32_t& v) { return d.ReadPortDword(m_dwBaseLow + offset, &v); });
}

int CPortIOSpace::ReadQword(uint32_t, uint32_t*, uint32_t*) { return 0; }

int CPortIOSpace::WriteByte(uint32_t offset, uint32_t value) {
    return WriteThrough([&](CKMDriver& d) { return d.WritePortByte(m_dwBaseLow + offset, value); });
}

int CPortIOSpace::WriteWord(uint32_t offset, uint32_t value) {
    return WriteThrough([&](CKMDriver& d) { return d.WritePortWord(m_dwBaseLow + offset, value); });
}

int CPortIOSpace::WriteDword(uint32_t offset, uint32_t value) {
    return WriteThrough([&](CKMDriver& d) { return d.WritePortDword(m_dwBaseLow + offset, value); });
}

// ---- Physical memory ----

int CMemoryIOSpace::ReadByte(uint32_t offset, uint8_t* value) {
    return ReadInto(value, [&](CKMDriver& d, uint8_t& v) {
        return d.ReadMemoryByte(m_dwBaseHigh, m_dwBaseLow, offset, &v);
    });
}

int CMemoryIOSpace::ReadWord(uint32_t, uint16_t*) { return 0; }

int CMemoryIOSpace::ReadDword(uint32_t offset, uint32_t* value) {
    return ReadInto(value, [&](CKMDriver& d, uint32_t& v) {
        return d.ReadMemoryDword(m_dwBaseHigh, m_dwBaseLow, offset, &v);
    });
}

int CMemoryIOSpace::ReadQword(uint32_t offset, uint32_t* high, uint32_t* low) {
    struct Qword {
        uint32_t high, low;
    } result {};
    const int ok = ReadInto(&result, [&](CKMDriver& d, Qword& v) {
        return d.ReadMemoryQword(m_dwBaseHigh, m_dwBaseLow, offset, &v.high, &v.low);
    });
    if (!ok) return 0;
    if (high) *high = result.high;
    if (low) *low = result.low;
    return 1;
}

int CMemoryIOSpace::WriteByte(uint32_t offset, uint32_t value) {
    return WriteThrough([&](CKMDriver& d) { return d.WriteMemoryByte(m_dwBaseHigh, m_dwBaseLow, offset, value); });
}

int CMemoryIOSpace::WriteWord(uint32_t, uint32_t) { return 0; }

int CMemoryIOSpace::WriteDword(uint32_t offset, uint32_t value) {
    return WriteThrough([&](CKMDriver& d) { return d.WriteMemoryDword(m_dwBaseHigh, m_dwBaseLow, offset, value); });
}
