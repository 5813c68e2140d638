#include "machine/manifest.h"

#include "machine/cpuid_topology.h"
#include "machine/text_scan.h"

#include <charconv>
#include <cmath>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <set>

namespace vexa::machine {
namespace {

using json = nlohmann::json;

constexpr int kMaxDepth = 16;

// Thrown inside this file only; parseManifest turns it into `error`.
struct SchemaError {
    std::string message;
};

[[noreturn]] void fail(const std::string& path, const std::string& what) { throw SchemaError{path + ": " + what}; }

std::string child(const std::string& path, const std::string& key) { return path.empty() ? key : path + "." + key; }

void expectObject(const json& value, const std::string& path, std::initializer_list<std::string_view> keys) {
    if (!value.is_object()) fail(path, "expected an object");
    for (const auto& item : value.items()) {
        bool known = false;
        for (std::string_view key : keys) known = known || item.key() == key;
        if (!known) fail(child(path, item.key()), "unknown key");
    }
}

const json* member(const json& object, const char* key) {
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

// A JSON number or a string holding a decimal or "0x" hex number.
uint64_t unsignedValue(const json& value, const std::string& path, uint64_t max) {
    uint64_t result = 0;
    if (value.is_number_unsigned()) {
        result = value.get<uint64_t>();
    } else if (value.is_string()) {
        const std::string& text = value.get_ref<const std::string&>();
        const bool ok = startsWithNoCase(text, "0x") ? parseHex(std::string_view(text).substr(2), result, 16)
                                                      : parseDecimal(text, result, UINT64_MAX);
        if (!ok) fail(path, "\"" + text + "\" is not a number");
    } else {
        fail(path, "expected a non-negative whole number or a string such as \"0x10\"");
    }
    if (result > max) fail(path, "out of range (at most " + std::to_string(max) + ")");
    return result;
}

double positiveNumber(const json& value, const std::string& path) {
    double result = 0;
    if (value.is_number()) {
        result = value.get<double>();
    } else if (value.is_string()) {
        const std::string& text = value.get_ref<const std::string&>();
        const auto [end, code] = std::from_chars(text.data(), text.data() + text.size(), result);
        if (code != std::errc{} || end != text.data() + text.size()) fail(path, "\"" + text + "\" is not a number");
    } else {
        fail(path, "expected a number");
    }
    if (!std::isfinite(result) || result <= 0) fail(path, "must be a positive number");
    return result;
}

bool boolean(const json& value, const std::string& path) {
    if (!value.is_boolean()) fail(path, "expected true or false");
    return value.get<bool>();
}

std::string text(const json& value, const std::string& path) {
    if (!value.is_string()) fail(path, "expected a string");
    return value.get<std::string>();
}

const json& array(const json& value, const std::string& path) {
    if (!value.is_array()) fail(path, "expected an array");
    return value;
}

MsrSetting msrSetting(uint32_t index, const json& value, const std::string& path) {
    MsrSetting setting;
    setting.index = index;
    if (!value.is_object()) {
        setting.value = unsignedValue(value, path, UINT64_MAX);
        return setting;
    }
    expectObject(value, path, {"value", "read_only", "cpus"});
    const json* number = member(value, "value");
    if (!number) fail(path, "\"value\" is missing");
    setting.value = unsignedValue(*number, child(path, "value"), UINT64_MAX);
    if (const json* readOnly = member(value, "read_only")) setting.readOnly = boolean(*readOnly, child(path, "read_only"));
    if (const json* cpus = member(value, "cpus"))
        for (const json& cpu : array(*cpus, child(path, "cpus")))
            setting.cpus.push_back(unsigned(unsignedValue(cpu, child(path, "cpus"), kMaxLogicalProcessors - 1)));
    return setting;
}

void readCpu(const json& section, Manifest::Cpu& cpu) {
    expectObject(section, "cpu", {"logical_processors", "apic_ids", "tsc_mhz", "msrs"});
    if (const json* count = member(section, "logical_processors")) {
        cpu.logicalProcessors = unsigned(unsignedValue(*count, "cpu.logical_processors", kMaxLogicalProcessors));
        if (*cpu.logicalProcessors == 0) fail("cpu.logical_processors", "must be at least 1");
    }
    if (const json* ids = member(section, "apic_ids"))
        for (const json& id : array(*ids, "cpu.apic_ids"))
            cpu.apicIds.push_back(uint32_t(unsignedValue(id, "cpu.apic_ids", UINT32_MAX)));
    if (const json* mhz = member(section, "tsc_mhz")) cpu.tscMhz = positiveNumber(*mhz, "cpu.tsc_mhz");
    if (const json* msrs = member(section, "msrs")) {
        if (!msrs->is_object()) fail("cpu.msrs", "expected an object of MSR index -> value");
        for (const auto& item : msrs->items()) {
            const std::string path = child("cpu.msrs", item.key());
            const auto index = uint32_t(unsignedValue(json(item.key()), path, UINT32_MAX));
            if (item.value().is_array()) {
                for (const json& entry : item.value()) {
                    if (!entry.is_object()) fail(path, "each entry of a list must be an object with \"value\"");
                    cpu.msrs.push_back(msrSetting(index, entry, path));
                }
            } else {
                cpu.msrs.push_back(msrSetting(index, item.value(), path));
            }
        }
    }
}

void readPorts(const json& section, Manifest::Ports& ports) {
    expectObject(section, "ports", {"acpi_pm_timer"});
    if (const json* timer = member(section, "acpi_pm_timer"))
        ports.acpiPmTimer = uint16_t(unsignedValue(*timer, "ports.acpi_pm_timer", 0xFFFC));
}

void readMemory(const json& section, std::vector<MemoryRegionEntry>& regions) {
    size_t i = 0;
    for (const json& entry : array(section, "memory")) {
        const std::string path = "memory[" + std::to_string(i++) + "]";
        expectObject(entry, path, {"base", "size", "file", "fill"});
        MemoryRegionEntry region;
        const json* base = member(entry, "base");
        const json* size = member(entry, "size");
        if (!base || !size) fail(path, "\"base\" and \"size\" are required");
        region.base = unsignedValue(*base, child(path, "base"), UINT64_MAX);
        region.size = unsignedValue(*size, child(path, "size"), UINT64_MAX);
        if (region.size == 0 || region.base + (region.size - 1) < region.base)
            fail(path, "the region is empty or runs past the end of the address space");
        if (const json* file = member(entry, "file")) region.file = text(*file, child(path, "file"));
        if (const json* fill = member(entry, "fill")) region.fill = uint8_t(unsignedValue(*fill, child(path, "fill"), 0xFF));
        regions.push_back(region);
    }
}

WindowsIdentity readWindows(const json& section) {
    const std::string path = "os.windows";
    expectObject(section, path,
                 {"platform_id", "major", "minor", "build", "csd", "service_pack_major", "service_pack_minor",
                  "suite_mask", "product_type", "architecture", "wow64"});
    WindowsIdentity identity;
    const auto number = [&](const char* key, auto& field, uint64_t max) {
        if (const json* value = member(section, key))
            field = static_cast<std::remove_reference_t<decltype(field)>>(unsignedValue(*value, child(path, key), max));
    };
    number("platform_id", identity.platformId, UINT32_MAX);
    number("major", identity.majorVersion, UINT32_MAX);
    number("minor", identity.minorVersion, UINT32_MAX);
    number("build", identity.buildNumber, UINT32_MAX);
    number("service_pack_major", identity.servicePackMajor, 0xFFFF);
    number("service_pack_minor", identity.servicePackMinor, 0xFFFF);
    number("suite_mask", identity.suiteMask, 0xFFFF);
    number("product_type", identity.productType, 0xFF);
    number("architecture", identity.processorArchitecture, 0xFFFF);
    if (const json* csd = member(section, "csd")) identity.csdVersion = text(*csd, child(path, "csd"));
    if (const json* wow64 = member(section, "wow64")) identity.wow64Process = boolean(*wow64, child(path, "wow64"));
    return identity;
}

// Registry property numbers of the device tree's named fields.
constexpr uint32_t kPropertyDescription = 1;
constexpr uint32_t kPropertyDriver = 10;

std::vector<DeviceNode> readDeviceTree(const json& section) {
    std::vector<DeviceNode> nodes;
    for (const json& entry : array(section, "os.device_tree")) {
        const std::string path = "os.device_tree[" + std::to_string(nodes.size()) + "]";
        expectObject(entry, path, {"parent", "driver", "description", "properties"});
        DeviceNode node;
        const json* parent = member(entry, "parent");
        if (nodes.empty()) {
            if (parent && !(parent->is_number_integer() && parent->get<int64_t>() == -1))
                fail(child(path, "parent"), "node 0 is the root and has no parent");
        } else {
            if (!parent) fail(path, "\"parent\" is required for every node but the root");
            node.parent = int(unsignedValue(*parent, child(path, "parent"), nodes.size() - 1));
        }
        if (const json* driver = member(entry, "driver")) node.properties[kPropertyDriver] = text(*driver, child(path, "driver"));
        if (const json* description = member(entry, "description"))
            node.properties[kPropertyDescription] = text(*description, child(path, "description"));
        if (const json* properties = member(entry, "properties")) {
            if (!properties->is_object()) fail(child(path, "properties"), "expected an object of number -> text");
            for (const auto& item : properties->items()) {
                const std::string itemPath = child(child(path, "properties"), item.key());
                const auto number = uint32_t(unsignedValue(json(item.key()), itemPath, UINT32_MAX));
                node.properties[number] = text(item.value(), itemPath);
            }
        }
        nodes.push_back(std::move(node));
    }
    return nodes;
}

void readOs(const json& section, Manifest::Os& os) {
    expectObject(section, "os", {"windows", "device_tree"});
    if (const json* windows = member(section, "windows")) os.windows = readWindows(*windows);
    if (const json* tree = member(section, "device_tree")) os.deviceTree = readDeviceTree(*tree);
}

// "2.7" or "3.3.0".
SmbiosVersion smbiosVersion(const json& value) {
    const std::string path = "smbios.version";
    const std::string version = text(value, path);
    uint64_t parts[3] = {};
    size_t count = 0;
    std::string_view rest = version;
    for (;;) {
        const size_t dot = rest.find('.');
        if (count == 3 || !parseDecimal(rest.substr(0, dot), parts[count], 255))
            fail(path, "expected \"major.minor\" or \"major.minor.revision\"");
        ++count;
        if (dot == std::string_view::npos) break;
        rest.remove_prefix(dot + 1);
    }
    if (count < 2) fail(path, "expected \"major.minor\" or \"major.minor.revision\"");
    return SmbiosVersion{uint8_t(parts[0]), uint8_t(parts[1]), uint8_t(parts[2])};
}

void readSmbios(const json& section, Manifest::Smbios& smbios) {
    expectObject(section, "smbios", {"version"});
    if (const json* version = member(section, "version")) smbios.version = smbiosVersion(*version);
}

} // namespace

bool parseManifest(std::string_view textIn, Manifest& manifest, std::string& error) {
    manifest = Manifest{};
    try {
        const auto limitDepth = [](int depth, json::parse_event_t, json&) {
            if (depth > kMaxDepth) throw SchemaError{"nested deeper than " + std::to_string(kMaxDepth) + " levels"};
            return true;
        };
        const json root = json::parse(textIn.begin(), textIn.end(), limitDepth);
        expectObject(root, "manifest", {"cpu", "pci", "ports", "memory", "os", "smbios"});
        if (const json* cpu = member(root, "cpu")) readCpu(*cpu, manifest.cpu);
        if (const json* pci = member(root, "pci")) expectObject(*pci, "pci", {});
        if (const json* ports = member(root, "ports")) readPorts(*ports, manifest.ports);
        if (const json* memory = member(root, "memory")) readMemory(*memory, manifest.memory);
        if (const json* os = member(root, "os")) readOs(*os, manifest.os);
        if (const json* smbios = member(root, "smbios")) readSmbios(*smbios, manifest.smbios);
    } catch (const json::exception& e) {
        // "[json.exception.parse_error.101] parse error at line 3, ..."
        const std::string what = e.what();
        const size_t tag = what.find("] ");
        error = tag == std::string::npos ? what : what.substr(tag + 2);
        return false;
    } catch (const SchemaError& e) {
        error = e.message;
        return false;
    }
    return true;
}

} // namespace vexa::machine
