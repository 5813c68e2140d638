// One measured quantity of one device. Sensors are owned by the root's
// sensor list and attached to their composite device.
#pragma once

#include <cstdint>

class CReportGenerator;

class CSensor {
public:
    explicit CSensor(uint32_t classCode) : m_dwId(classCode) {}
    virtual ~CSensor() = default;
    CSensor(const CSensor&) = delete;
    CSensor& operator=(const CSensor&) = delete;

    char m_szName[256] = {};
    uint32_t m_dwId;  // SensorClassCode plus index; monitors put a role in bits 31-24
};
