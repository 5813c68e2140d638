#include "sdk/hw/smbus_controller.h"

#include <algorithm>

#include "platform/threads.h"
#include "sdk/core/report_generator.h"
#include "sdk/hw/io_request.h"
#include "sdk/hw/io_space.h"

namespace {

// SMBus command bytes are 8 bits; only the byte reads of a DDR4 SPD
// EEPROM reach further, through its two pages.
constexpr uint32_t kLastCommand = 0xFF;
constexpr uint32_t kLastPagedRegister = 2 * CSMBusRegisterSpace::kSpdPageSize - 1;

constexpr int kPageUnknown = -1;
constexpr int kPageUnavailable = -2;  // the page select went unanswered: no DDR4 EEPROM

} // namespace

CSMBusRegisterSpace::CSMBusRegisterSpace(CIOSpace* ioSpace, int32_t pollCount)
    : CRegisterSpace(REGSPACE_SMBUS, ioSpace), m_iPollCount(pollCount) {}

// ---- Transfers: what a controller without them answers ----

int CSMBusRegisterSpace::ReadByte(uint8_t, uint32_t, uint8_t*) { return 0; }
int CSMBusRegisterSpace::ReadWord(uint8_t, uint32_t, uint8_t*, uint8_t*) { return 0; }
int CSMBusRegisterSpace::ReadBlock(uint8_t, uint32_t, uint8_t*) { return -1; }
int CSMBusRegisterSpace::WriteByte(uint8_t, uint32_t, uint8_t) { return 0; }
int CSMBusRegisterSpace::WriteWord(uint8_t, uint32_t, uint8_t, uint8_t) { return 0; }
int CSMBusRegisterSpace::WriteBlock(uint8_t, uint32_t, uint8_t*, int32_t) { return -1; }

// ---- Requests ----

// The fields of a request:
//   0x11 read byte      register; data = the byte on success
//   0x12 write byte     register, data = the byte
//   0x21 read word      register; data = high << 8 | low on success
//   0x22 write word     register, data = high << 8 | low
//   0x81 byte run       register, data = count, buffer; data = the reads that succeeded
//   0x101 read block    register, data = the buffer's size (0: kBlockMax), buffer;
//                       data = the bytes stored (never more than the size), -1 without block reads
//   0x102 write block   register, data = count (1..kBlockMax), buffer; data = the slot's result
// Byte reads reach registers up to 511 (the two pages of a DDR4 SPD
// EEPROM); every other transfer takes an 8-bit command and fails above it.
// The run and block operations succeed once carried out: their counts tell
// how far they got.
int CSMBusRegisterSpace::Execute(CIORequest* request) {
    if (!request || request->GetKind() != IOREQUEST_SMBUS) return 0;
    auto* smbus = static_cast<CSMBusRequest*>(request);
    const uint8_t slave = smbus->m_bySlaveAddress;
    const uint32_t reg = smbus->m_dwRegister;
    const uint32_t op = smbus->m_dwOperation;
    const bool byteRead = op == IOOP_READ_BYTE || op == IOOP_READ_BYTE_RUN;
    if (reg > (byteRead ? kLastPagedRegister : kLastCommand)) return 0;
    switch (op) {
    case IOOP_READ_BYTE: {
        PrepareTransfer();
        uint8_t value = 0xFF;
        int page = kPageUnknown;
        const int result = ReadSpdAware(slave, reg, &value, page);
        if (page == 1) SelectSpdPage(0);
        if (result) smbus->m_dwData = value;
        return result ? 1 : 0;
    }
    case IOOP_WRITE_BYTE:
        PrepareTransfer();
        return WriteByte(slave, reg, uint8_t(smbus->m_dwData)) ? 1 : 0;
    case IOOP_READ_WORD: {
        PrepareTransfer();
        uint8_t low = 0xFF, high = 0xFF;
        if (!ReadWord(slave, reg, &low, &high)) return 0;
        smbus->m_dwData = uint32_t(high) << 8 | low;
        return 1;
    }
    case IOOP_WRITE_WORD:
        PrepareTransfer();
        return WriteWord(slave, reg, uint8_t(smbus->m_dwData), uint8_t(smbus->m_dwData >> 8)) ? 1 : 0;
    case IOOP_READ_BYTE_RUN: {
        const uint32_t count = smbus->m_dwData;
        if (count && !smbus->m_pBuffer) return 0;
        PrepareTransfer();
        // A run that goes on above register 255 reads its first part from
        // page 0 for certain.
        int page = kPageUnknown;
        const uint32_t end = reg + std::min(count, kLastPagedRegister + 1 - reg);
        if (!m_bSelectsSpdPagesItself && reg < kSpdPageSize && end > kSpdPageSize && SelectSpdPage(0)) page = 0;
        uint32_t read = 0;
        for (uint32_t r = reg; r < end; ++r) {
            uint8_t value = 0xFF;
            if (!ReadSpdAware(slave, r, &value, page)) continue;
            smbus->m_pBuffer[r - reg] = value;
            ++read;
        }
        if (page == 1) SelectSpdPage(0);
        smbus->m_dwData = read;
        return 1;
    }
    case IOOP_READ_BLOCK: {
        if (!smbus->m_pBuffer) return 0;
        const uint32_t size = smbus->m_dwData ? std::min(smbus->m_dwData, kBlockMax) : kBlockMax;
        PrepareTransfer();
        // The controller fills a block of its own; the caller's buffer gets
        // what fits.
        uint8_t block[kBlockMax] = {};
        const int stored = ReadBlock(slave, reg, block);
        const uint32_t kept = stored > 0 ? std::min(uint32_t(stored), size) : 0;
        std::copy_n(block, kept, smbus->m_pBuffer);
        smbus->m_dwData = stored > 0 ? kept : uint32_t(stored);
        return 1;
    }
    case IOOP_WRITE_BLOCK: {
        const uint32_t count = smbus->m_dwData;
        if (!smbus->m_pBuffer || count < 1 || count > kBlockMax) return 0;
        PrepareTransfer();
        smbus->m_dwData = uint32_t(WriteBlock(slave, reg, smbus->m_pBuffer, int32_t(count)));
        return 1;
    }
    default: return 0;
    }
}

int CSMBusRegisterSpace::ReadSpdAware(uint8_t slave, uint32_t reg, uint8_t* value, int& selectedPage) {
    if (reg < kSpdPageSize || m_bSelectsSpdPagesItself) return ReadByte(slave, reg, value);
    if (reg > kLastPagedRegister || selectedPage == kPageUnavailable) return 0;
    if (selectedPage != 1) {
        if (!SelectSpdPage(1)) {
            selectedPage = kPageUnavailable;
            return 0;
        }
        selectedPage = 1;
    }
    return ReadByte(slave, reg - kSpdPageSize, value);
}

bool CSMBusRegisterSpace::SelectSpdPage(int page) {
    return WriteByte(page ? kSpdPage1Address : kSpdPage0Address, 0, 0) != 0;
}

int CSMBusRegisterSpace::RunRequest(CSMBusRequest& request) { return LockedExecute(&request); }

int CSMBusRegisterSpace::ReadByteData(uint8_t slave, uint32_t reg, uint8_t* value) {
    CSMBusRequest request;
    request.m_dwOperation = IOOP_READ_BYTE;
    request.m_dwRegister = reg;
    request.m_bySlaveAddress = slave;
    if (!RunRequest(request)) return 0;
    if (value) *value = uint8_t(request.m_dwData);
    return 1;
}

int CSMBusRegisterSpace::ReadWordData(uint8_t slave, uint32_t reg, uint8_t* low, uint8_t* high) {
    CSMBusRequest request;
    request.m_dwOperation = IOOP_READ_WORD;
    request.m_dwRegister = reg;
    request.m_bySlaveAddress = slave;
    if (!RunRequest(request)) return 0;
    if (low) *low = uint8_t(request.m_dwData);
    if (high) *high = uint8_t(request.m_dwData >> 8);
    return 1;
}

uint32_t CSMBusRegisterSpace::ReadBytes(uint8_t slave, uint32_t reg, uint8_t* buffer, uint32_t count) {
    CSMBusRequest request;
    request.m_dwOperation = IOOP_READ_BYTE_RUN;
    request.m_dwRegister = reg;
    request.m_bySlaveAddress = slave;
    request.m_dwData = count;
    request.m_pBuffer = buffer;
    return RunRequest(request) ? request.m_dwData : 0;
}

uint32_t CSMBusRegisterSpace::ReadBlockData(uint8_t slave, uint32_t reg, uint8_t* buffer, uint32_t size) {
    if (!buffer || size == 0) return 0;
    CSMBusRequest request;
    request.m_dwOperation = IOOP_READ_BLOCK;
    request.m_dwRegister = reg;
    request.m_bySlaveAddress = slave;
    request.m_dwData = size;
    request.m_pBuffer = buffer;
    if (!RunRequest(request) || int32_t(request.m_dwData) < 0) return 0;
    return request.m_dwData;
}

void CSMBusRegisterSpace::Dump(CReportGenerator* report) {
    if (!report) return;
    report->PrintField("Register space", "\t\t", "SMBus, base address = 0x%X%X", GetBaseHigh(), GetBaseLow());
}

// ---- Port access for the subclasses ----

uint8_t CSMBusRegisterSpace::In(uint32_t offset) {
    uint8_t value = 0xFF;
    if (m_pIOSpace) m_pIOSpace->ReadByte(offset, &value);
    return value;
}

uint16_t CSMBusRegisterSpace::InWord(uint32_t offset) {
    uint16_t value = 0xFFFF;
    if (m_pIOSpace) m_pIOSpace->ReadWord(offset, &value);
    return value;
}

void CSMBusRegisterSpace::Out(uint32_t offset, uint32_t value) {
    if (m_pIOSpace) m_pIOSpace->WriteByte(offset, value & 0xFF);
}

void CSMBusRegisterSpace::OutWord(uint32_t offset, uint32_t value) {
    if (m_pIOSpace) m_pIOSpace->WriteWord(offset, value & 0xFFFF);
}

bool CSMBusRegisterSpace::HasPortSpace() const { return m_pIOSpace && m_pIOSpace->GetType() == IOSPACE_PORT; }

void CSMBusRegisterSpace::SleepMs(uint32_t milliseconds) { Sleep(milliseconds); }
