// What Windows Management Instrumentation knows about a machine: classes
// in namespaces, each with instances whose properties carry a CIM type and
// a value, as the WMI service delivers them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vexa::machine {

// The CIM types of property values (WMI's CIMTYPE numbers).
namespace cim {
constexpr uint32_t kSint16 = 2;
constexpr uint32_t kSint32 = 3;
constexpr uint32_t kReal32 = 4;
constexpr uint32_t kReal64 = 5;
constexpr uint32_t kString = 8;
constexpr uint32_t kBoolean = 11;
constexpr uint32_t kSint8 = 16;
constexpr uint32_t kUint8 = 17;
constexpr uint32_t kUint16 = 18;
constexpr uint32_t kUint32 = 19;
constexpr uint32_t kSint64 = 20;
constexpr uint32_t kUint64 = 21;
constexpr uint32_t kDateTime = 101;
constexpr uint32_t kFlagArray = 0x2000;  // an array of the type in the low bits
} // namespace cim

struct WmiValue {
    uint32_t cimType = cim::kString;
    bool null = false;         // the property exists without a value
    std::string text;          // strings and date-times ("yyyymmddHHMMSS.mmmmmmsUUU")
    int64_t integer = 0;       // integer types (64-bit ones too) and booleans
    double real = 0;           // real32 and real64
    std::vector<uint8_t> bytes;  // arrays of uint8
    bool operator==(const WmiValue&) const = default;
};

struct WmiProperty {
    std::string name;
    WmiValue value;
    bool operator==(const WmiProperty&) const = default;
};

struct WmiInstance {
    std::vector<WmiProperty> properties;
    bool operator==(const WmiInstance&) const = default;
};

struct WmiClass {
    std::string nameSpace;  // "root\cimv2": no leading "\\.\", compared without case
    std::string name;       // "Win32_VideoController", compared without case
    std::vector<WmiInstance> instances;  // in the order the service enumerates them
    bool operator==(const WmiClass&) const = default;
};

} // namespace vexa::machine
