// machine.json's "wmi" section (the classes and instances WMI answers) and
// "vm" (which virtual machine the probes find).
//
//   "wmi": {"root\\cimv2": {"Win32_VideoController": [
//       {"AdapterRAM": {"uint32": 1073741824}, "DriverVersion": "8.17.12.7533",
//        "DriverDate": {"datetime": "20110621000000.000000-000"}, "Caption": null}]}}
//
// A value is a string (CIM string), true or false (boolean), null (a
// string property without a value) or an object of one key naming the CIM
// type: "string", "datetime", "sint8", "uint8", "sint16", "uint16",
// "sint32", "uint32", "sint64", "uint64", "real32", "real64", "boolean",
// "uint8[]" (hex bytes "01 02 0a"), or "null" with the type name of a
// property without a value.
#include "machine/manifest_schema.h"
#include "machine/text_scan.h"

#include <cmath>
#include <limits>

namespace vexa::machine::schema {
namespace {

struct TypeName {
    const char* name;
    uint32_t cimType;
    int64_t min;  // integer types: the range
    uint64_t max;
};

constexpr TypeName kTypes[] = {
    {"string", cim::kString, 0, 0},
    {"datetime", cim::kDateTime, 0, 0},
    {"sint8", cim::kSint8, INT8_MIN, INT8_MAX},
    {"uint8", cim::kUint8, 0, UINT8_MAX},
    {"sint16", cim::kSint16, INT16_MIN, INT16_MAX},
    {"uint16", cim::kUint16, 0, UINT16_MAX},
    {"sint32", cim::kSint32, INT32_MIN, INT32_MAX},
    {"uint32", cim::kUint32, 0, UINT32_MAX},
    {"sint64", cim::kSint64, INT64_MIN, INT64_MAX},
    {"uint64", cim::kUint64, 0, UINT64_MAX},
    {"real32", cim::kReal32, 0, 0},
    {"real64", cim::kReal64, 0, 0},
    {"boolean", cim::kBoolean, 0, 0},
    {"uint8[]", cim::kUint8 | cim::kFlagArray, 0, 0},
};

const TypeName* findType(const std::string& name) {
    for (const TypeName& type : kTypes)
        if (name == type.name) return &type;
    return nullptr;
}

const TypeName& typeNamed(const std::string& name, const std::string& path) {
    const TypeName* type = findType(name);
    if (!type)
        fail(path, quoteForMessage(name) +
                       " is not a CIM type (string, datetime, sint8..uint64, real32, real64, boolean, uint8[])");
    return *type;
}

bool isInteger(uint32_t cimType) {
    switch (cimType) {
    case cim::kSint8: case cim::kUint8: case cim::kSint16: case cim::kUint16:
    case cim::kSint32: case cim::kUint32: case cim::kSint64: case cim::kUint64: return true;
    default: return false;
    }
}

// A negative JSON integer, or what unsignedValue reads, within the range.
int64_t integerValue(const json& value, const TypeName& type, const std::string& path) {
    if (value.is_number_integer() && !value.is_number_unsigned()) {
        const int64_t number = value.get<int64_t>();
        if (number < type.min) fail(path, "out of range (at least " + std::to_string(type.min) + ")");
        return number;
    }
    // Unsigned 64-bit values above INT64_MAX keep their bits.
    return int64_t(unsignedValue(value, path, type.max));
}

WmiValue typedValue(const TypeName& type, const json& value, const std::string& path) {
    WmiValue result;
    result.cimType = type.cimType;
    if (type.cimType == cim::kString || type.cimType == cim::kDateTime) {
        result.text = text(value, path);
    } else if (type.cimType == cim::kBoolean) {
        result.integer = boolean(value, path) ? 1 : 0;
    } else if (type.cimType == cim::kReal32 || type.cimType == cim::kReal64) {
        if (!value.is_number() || !std::isfinite(value.get<double>())) fail(path, "expected a number");
        result.real = value.get<double>();
    } else if (type.cimType == (cim::kUint8 | cim::kFlagArray)) {
        result.bytes = hexBytes(value, path);
    } else if (isInteger(type.cimType)) {
        result.integer = integerValue(value, type, path);
        // WMI hands 64-bit integers over as decimal text.
        if (type.cimType == cim::kSint64) result.text = std::to_string(result.integer);
        if (type.cimType == cim::kUint64) result.text = std::to_string(uint64_t(result.integer));
    }
    return result;
}

WmiValue wmiValue(const json& value, const std::string& path) {
    if (value.is_null()) return WmiValue{cim::kString, true};
    if (value.is_string()) return typedValue(kTypes[0], value, path);
    if (value.is_boolean()) return typedValue(*findType("boolean"), value, path);
    if (!value.is_object() || value.size() != 1)
        fail(path, "expected a string, true, false, null or an object of one CIM type such as {\"uint32\": 1}");
    const auto item = value.begin();
    const std::string where = child(path, item.key());
    if (item.key() == "null") {
        WmiValue nothing;
        nothing.cimType = typeNamed(text(item.value(), where), where).cimType;
        nothing.null = true;
        return nothing;
    }
    return typedValue(typeNamed(item.key(), where), item.value(), where);
}

bool sameNoCase(std::string_view a, std::string_view b) { return a.size() == b.size() && startsWithNoCase(a, b); }

// "\\.\root\cimv2" and "root\cimv2" name the same namespace.
std::string namespaceName(const std::string& key) {
    return startsWithNoCase(key, "\\\\.\\") ? key.substr(4) : key;
}

} // namespace

void readWmi(const json& section, std::vector<WmiClass>& classes) {
    if (!section.is_object()) fail("wmi", "expected an object of namespace -> classes");
    for (const auto& space : section.items()) {
        const std::string spacePath = child("wmi", space.key());
        if (!space.value().is_object()) fail(spacePath, "expected an object of class -> instances");
        for (const auto& item : space.value().items()) {
            const std::string classPath = child(spacePath, item.key());
            WmiClass wmiClass{namespaceName(space.key()), item.key(), {}};
            for (const WmiClass& known : classes)
                if (sameNoCase(known.nameSpace, wmiClass.nameSpace) && sameNoCase(known.name, wmiClass.name))
                    fail(classPath, "the class is listed twice in its namespace");
            size_t index = 0;
            for (const json& entry : array(item.value(), classPath)) {
                const std::string instancePath = element(classPath, index++);
                if (!entry.is_object()) fail(instancePath, "expected an object of property -> value");
                WmiInstance instance;
                for (const auto& property : entry.items())
                    instance.properties.push_back(
                        {property.key(), wmiValue(property.value(), child(instancePath, property.key()))});
                wmiClass.instances.push_back(std::move(instance));
            }
            classes.push_back(std::move(wmiClass));
        }
    }
}

Hypervisor readHypervisor(const json& value) {
    const std::string kind = text(value, "vm");
    if (kind == "none") return Hypervisor::None;
    if (kind == "vmware") return Hypervisor::VMware;
    if (kind == "virtualpc") return Hypervisor::VirtualPC;
    fail("vm", quoteForMessage(kind) + " is not a virtual machine (none, vmware, virtualpc)");
}

} // namespace vexa::machine::schema
