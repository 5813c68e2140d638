// The sensor microcontroller of abit mainboards behind ports 0xE0 (data)
// and 0xE4 (command and status), in its two generations: the 2003
// protocol reads one register of a bank per transaction, the 2005 protocol
// a run of bytes of a bank. Each protocol is a register space; each
// generation has its monitor with its own sensor tables (the 2005 tables
// chosen by the board id the controller reports).
#pragma once

#include <cstdint>

#include "sdk/hw/register_space.h"
#include "sdk/monitor/hardware_monitor.h"

class UGuru_RegisterSpace : public CRegisterSpace {
public:
    explicit UGuru_RegisterSpace(CIOSpace* ioSpace, uint32_t spaceClass = REGSPACE_UGURU)
        : CRegisterSpace(spaceClass, ioSpace) {}

    // Byte reads (0x11) of a UGuru_Request; run reads (0x101) read nothing.
    int Execute(CIORequest* request) override;
    void Dump(CReportGenerator* report) override;

    virtual int ReadRegister(uint8_t bank, uint8_t reg, uint8_t* value);
};

class UGuru2005_RegisterSpace : public UGuru_RegisterSpace {
public:
    explicit UGuru2005_RegisterSpace(CIOSpace* ioSpace) : UGuru_RegisterSpace(ioSpace, REGSPACE_UGURU_2005) {}

    // Byte reads and run reads (data: count in, count read out).
    int Execute(CIORequest* request) override;
    void Dump(CReportGenerator* report) override;

    // The number of bytes read into the buffer (at most `count` & 0xFF).
    uint32_t ReadBlock(uint8_t bank, uint8_t reg, uint32_t count, uint8_t* buffer);
    // 0xFF in `value` unless exactly one byte came.
    int ReadRegister(uint8_t bank, uint8_t reg, uint8_t* value) override;
};

// One byte of a bank through a temporary request; whether it came.
bool ReadUGuruByte(CRegisterSpace* space, uint8_t bank, uint8_t reg, uint8_t* value);
// A run of bytes through a temporary request; the count read.
uint32_t ReadUGuruBlock(CRegisterSpace* space, uint8_t bank, uint8_t reg, uint32_t count, uint8_t* buffer);

// A sensor row: location = bank << 8 | register (2003) or the byte's
// offset in the block read from register 0x80 (2005).
struct _stUGuruSensor {
    const char* label;
    uint32_t key;  // SensorKey
    uint32_t location;
    int32_t a, b, c;
};

class abit_uGuru_HardwareMonitor : public CHardwareMonitor {
public:
    abit_uGuru_HardwareMonitor();

    int CreateSensors() override;
    int Update() override;
    void DumpRegisters(CReportGenerator* report) override;
};

class abit_uGuru2005_HardwareMonitor : public CHardwareMonitor {
public:
    static constexpr uint32_t kUnknown = 0xFFFFFFFF;

    explicit abit_uGuru2005_HardwareMonitor(uint32_t boardId);

    // 0 for a board id without a table.
    int CreateSensors() override;
    int Update() override;
    void DumpInfo(CReportGenerator* report) override;

    uint32_t m_dwBoardId;
    uint32_t m_dwBlockLength = kUnknown;
};
