// What the kernel driver tells about the ACPI namespace: one node of it
// (CACPITreeNode) and one value a control method returned (CACPIMethod).
#pragma once

#include <cstddef>
#include <cstdint>

// One namespace node, holding the driver's 36-byte node record: dwords 0-1
// the node's handle (dword 0 the high half; all ones means "no node"),
// dwords 2-7 further node fields the driver hands back, dword 8 the node's
// four-character name (first character in the low byte).
class CACPITreeNode {
public:
    static constexpr size_t kRecordDwords = 9;
    static constexpr size_t kRecordSize = kRecordDwords * sizeof(uint32_t);
    static constexpr size_t kFieldCount = 6;

    explicit CACPITreeNode(const uint32_t (&record)[kRecordDwords])
        : m_qwHandle((uint64_t(record[0]) << 32) | record[1]), m_dwName(record[8]) {
        for (size_t i = 0; i < kFieldCount; ++i) m_dwFields[i] = record[2 + i];
    }
    virtual ~CACPITreeNode() = default;
    CACPITreeNode(const CACPITreeNode&) = delete;
    CACPITreeNode& operator=(const CACPITreeNode&) = delete;

    // A record whose handle is all ones describes no node.
    static bool IsNodeRecord(const uint32_t (&record)[kRecordDwords]) {
        return record[0] != 0xFFFFFFFF || record[1] != 0xFFFFFFFF;
    }

    uint32_t GetHandleHigh() const { return static_cast<uint32_t>(m_qwHandle >> 32); }
    uint32_t GetHandleLow() const { return static_cast<uint32_t>(m_qwHandle); }

    // The name as text, e.g. "_SB_".
    void GetName(char (&text)[5]) const {
        for (unsigned i = 0; i < 4; ++i) text[i] = static_cast<char>(m_dwName >> (8 * i));
        text[4] = '\0';
    }

    uint64_t m_qwHandle;
    uint32_t m_dwFields[kFieldCount] = {};
    uint32_t m_dwName;
};

// One argument of a control method's output: its ACPI type (0 integer,
// 1 string, 2 buffer, 3 package) and, for an integer, its value.
class CACPIMethod {
public:
    static constexpr uint32_t kTypeInteger = 0;

    CACPIMethod(uint32_t type, uint32_t value)
        : m_dwType(type), m_dwValue(value), m_bIsSet(type == kTypeInteger ? 1 : 0) {}
    virtual ~CACPIMethod() = default;
    CACPIMethod(const CACPIMethod&) = delete;
    CACPIMethod& operator=(const CACPIMethod&) = delete;

    uint32_t m_dwType;
    uint32_t m_dwValue;  // 0 unless the argument is an integer
    uint32_t m_bIsSet;   // 1 when m_dwValue holds an integer result
};
