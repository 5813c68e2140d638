#include "machine/manifest.h"

#include "machine/cpuid_topology.h"
#include "machine/devices/msr_event_counter.h"
#include "machine/manifest_schema.h"
#include "machine/text_scan.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

namespace vexa::machine {
// The readers of the sections kept in other files use the helpers here
// (manifest_schema.h).
namespace schema {

using json = nlohmann::json;

// The largest os.memory_mb (4 PiB): its byte count stays exact in a double.
constexpr uint64_t kMaxMemoryMb = uint64_t(1) << 32;

// Deep enough for an ACPI namespace of kMaxAcpiNamespaceDepth levels with
// the sections and method results around it.
constexpr int kMaxDepth = 64;

[[noreturn]] void fail(const std::string& path, const std::string& what) { throw SchemaError{path + ": " + what}; }

std::string child(const std::string& path, const std::string& key) { return path.empty() ? key : path + "." + key; }

std::string element(const std::string& path, size_t index) { return path + "[" + std::to_string(index) + "]"; }

// The keys of each object of the ACPI namespace section in document order,
// by the keys that lead to the object from the section ({} for the section
// itself). The parsed document keeps its keys sorted.
using KeyOrder = std::map<std::vector<std::string>, std::vector<std::string>>;

constexpr std::string_view kMethodKey = "returns";

void checkAcpiNameLength(const std::string& key, const std::string& path) {
    if (key.empty()) fail(path, "an empty name");
    if (key.size() > 4) fail(path, quoteForMessage(key) + " is longer than four characters");
}

// The first of two passes over the document, a SAX reader that builds
// nothing: it bounds the nesting, finds keys given twice in one object and
// notes the order of the ACPI namespace's keys, and knows the path of the
// value at hand for its messages. (The parser's callback interface would do
// the same in one pass, but it rescans an object's members at the end of
// each member that is itself an object, which takes time quadratic in their
// number.)
class DocumentTracker {
public:
    bool null() { return elementDone(); }
    bool boolean(bool) { return elementDone(); }
    bool number_integer(json::number_integer_t) { return elementDone(); }
    bool number_unsigned(json::number_unsigned_t) { return elementDone(); }
    bool number_float(json::number_float_t, const json::string_t&) { return elementDone(); }
    bool string(json::string_t&) { return elementDone(); }
    bool binary(json::binary_t&) { return elementDone(); }
    bool start_object(size_t) { return open(false); }
    bool start_array(size_t) { return open(true); }
    bool end_object() { return close(); }
    bool end_array() { return close(); }

    bool key(json::string_t& key) {
        Frame& object = frames_.back();
        if (!object.keys.insert(key).second) fail(child(location(frames_.size() - 1), key), "given twice");
        object.key = key;
        if (inAcpiNamespace()) recordAcpiKey();
        return true;
    }

    // A syntax error ends the pass with the parser's own exception.
    bool parse_error(size_t, const std::string&, const json::exception& error) { throw error; }

    const KeyOrder& acpiKeyOrder() const { return acpiKeyOrder_; }

private:
    struct Frame {
        bool array = false;
        size_t index = 0;            // arrays: the element being read
        std::string key;             // objects: the key being read
        std::set<std::string> keys;  // objects: the keys seen so far
    };

    bool open(bool array) {
        if (frames_.size() > size_t(kMaxDepth)) {
            const std::string where = location(frames_.size());
            fail(where.empty() ? "manifest" : where, "nested deeper than " + std::to_string(kMaxDepth) + " levels");
        }
        frames_.push_back(Frame{array});
        return true;
    }

    bool close() {
        frames_.pop_back();
        return elementDone();
    }

    bool elementDone() {
        if (!frames_.empty() && frames_.back().array) ++frames_.back().index;
        return true;
    }

    // The path of the value being read inside the first `count` open
    // containers; empty for the document itself.
    std::string location(size_t count) const {
        std::string path;
        for (size_t i = 0; i < count; ++i)
            path = frames_[i].array ? element(path, frames_[i].index) : child(path, frames_[i].key);
        return path;
    }

    // The innermost open container is an object of the ACPI namespace
    // section: the section itself, a scope or a method (objects all the way
    // down from the section, none of them the results of a method).
    bool inAcpiNamespace() const {
        if (frames_.size() < 2 || frames_[0].array || frames_[0].key != "acpi_namespace") return false;
        for (size_t i = 1; i + 1 < frames_.size(); ++i)
            if (frames_[i].array || frames_[i].key == kMethodKey) return false;
        return !frames_.back().array;
    }

    // Names are checked for their length here already, which keeps the
    // scopes' keys short.
    void recordAcpiKey() {
        const std::string& key = frames_.back().key;
        if (key != kMethodKey) {
            checkAcpiNameLength(key, location(frames_.size()));
            if (++acpiNames_ >= kMaxAcpiNamespaceNodes)
                fail("acpi_namespace", "more than " + std::to_string(kMaxAcpiNamespaceNodes) + " nodes");
        }
        std::vector<std::string> scope;
        for (size_t i = 1; i + 1 < frames_.size(); ++i) scope.push_back(frames_[i].key);
        acpiKeyOrder_[scope].push_back(key);
    }

    std::vector<Frame> frames_;
    KeyOrder acpiKeyOrder_;
    size_t acpiNames_ = 0;
};

void expectObject(const json& value, const std::string& path, std::initializer_list<std::string_view> keys) {
    if (!value.is_object()) fail(path, "expected an object");
    for (const auto& item : value.items()) {
        bool known = false;
        for (std::string_view key : keys) known = known || item.key() == key;
        if (!known) fail(child(path, item.key()), "unknown key");
    }
}

const json* member(const json& object, std::string_view key) {
    const auto it = object.find(std::string(key));
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

// A clock rate in MHz from `min` to kMaxClockMhz.
double clockMhz(const json& value, const std::string& path, double min) {
    const double mhz = positiveNumber(value, path);
    if (mhz < min || mhz > kMaxClockMhz) {
        char range[64];
        std::snprintf(range, sizeof range, "%g to %g MHz", min, kMaxClockMhz);
        fail(path, "out of range (" + std::string(range) + ")");
    }
    return mhz;
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

MsrKind msrKind(const json& value, const std::string& path) {
    const std::string kind = text(value, path);
    if (kind == "plain") return MsrKind::Plain;
    if (kind == "faulting") return MsrKind::Faulting;
    if (kind == "counter") return MsrKind::Counter;
    if (kind == "microcode") return MsrKind::Microcode;
    if (kind == "energy") return MsrKind::Energy;
    if (kind == "fixed_counter") return MsrKind::FixedCounter;
    if (kind == "oc_mailbox") return MsrKind::OcMailbox;
    if (kind == "event_counter") return MsrKind::EventCounter;
    fail(path, "\"" + kind +
                   "\" is not a kind of MSR (plain, faulting, counter, microcode, energy, fixed_counter, oc_mailbox, "
                   "event_counter)");
}

// A key that only one kind of register takes.
void onlyFor(const json& object, std::string_view key, bool applies, const std::string& path, const char* kinds) {
    if (member(object, key) && !applies) fail(child(path, std::string(key)), std::string("only ") + kinds + " take it");
}

// The keys of the Intel processor models: energy counters, fixed-function
// counters and the overclocking mailbox (machine/devices/msr_*.h).
void readIntelMsrModel(const json& value, const std::string& path, MsrSetting& setting) {
    onlyFor(value, "watts", setting.kind == MsrKind::Energy, path, "energy counters");
    for (const char* key : {"replies", "busy_reads", "stuck_busy"})
        onlyFor(value, key, setting.kind == MsrKind::OcMailbox, path, "overclocking mailboxes");
    if (setting.kind == MsrKind::Energy) {
        const json* watts = member(value, "watts");
        if (!watts) fail(path, "an energy counter needs \"watts\"");
        setting.watts = positiveNumber(*watts, child(path, "watts"));
    }
    if (setting.kind == MsrKind::FixedCounter && (setting.index < 0x309 || setting.index > 0x30B))
        fail(path, "the fixed-function counters are MSRs 0x309 to 0x30B");
    for (const char* key : {"event", "unit_mask"})
        onlyFor(value, key, setting.kind == MsrKind::EventCounter, path, "event counters");
    if (setting.kind == MsrKind::EventCounter) {
        if (setting.index < 0xC1 || setting.index > 0xC4) fail(path, "the event counters are MSRs 0xC1 to 0xC4");
        const json* event = member(value, "event");
        if (!event) fail(path, "an event counter needs \"event\"");
        setting.event = uint8_t(unsignedValue(*event, child(path, "event"), 0xFF));
        if (const json* unitMask = member(value, "unit_mask"))
            setting.unitMask = uint8_t(unsignedValue(*unitMask, child(path, "unit_mask"), 0xFF));
    }
    if (setting.kind != MsrKind::OcMailbox) return;
    if (setting.index != OcMailboxSettings::kMailboxMsr) fail(path, "the overclocking mailbox is MSR 0x150");
    if (const json* replies = member(value, "replies")) {
        const std::string list = child(path, "replies");
        for (size_t i = 0; i < array(*replies, list).size(); ++i) {
            const json& entry = (*replies)[i];
            const std::string at = element(list, i);
            expectObject(entry, at, {"command", "parameter", "data"});
            const json* command = member(entry, "command");
            const json* data = member(entry, "data");
            if (!command || !data) fail(at, "a reply needs \"command\" and \"data\"");
            OcMailboxReply reply;
            reply.command = uint8_t(unsignedValue(*command, child(at, "command"), 0xFF));
            if (const json* parameter = member(entry, "parameter"))
                reply.parameter = uint8_t(unsignedValue(*parameter, child(at, "parameter"), 0xFF));
            reply.data = uint32_t(unsignedValue(*data, child(at, "data"), UINT32_MAX));
            setting.mailbox.replies.push_back(reply);
        }
    }
    if (const json* busy = member(value, "busy_reads"))
        setting.mailbox.busyReads = unsigned(unsignedValue(*busy, child(path, "busy_reads"), 1000000));
    if (const json* stuck = member(value, "stuck_busy"))
        setting.mailbox.stuckBusy = boolean(*stuck, child(path, "stuck_busy"));
}

MsrSetting msrSetting(uint32_t index, const json& value, const std::string& path) {
    MsrSetting setting;
    setting.index = index;
    if (!value.is_object()) {
        setting.value = unsignedValue(value, path, UINT64_MAX);
        return setting;
    }
    expectObject(value, path, {"value", "read_only", "cpus", "kind", "mhz", "bits", "revision", "watts", "replies",
                               "busy_reads", "stuck_busy", "event", "unit_mask"});
    if (const json* kind = member(value, "kind")) setting.kind = msrKind(*kind, child(path, "kind"));
    const json* number = member(value, "value");
    if (!number && setting.kind == MsrKind::Plain) fail(path, "\"value\" is missing");
    if (number) setting.value = unsignedValue(*number, child(path, "value"), UINT64_MAX);
    onlyFor(value, "read_only", setting.kind != MsrKind::Faulting, path, "registers that can be accessed");
    onlyFor(value, "read_only", setting.kind != MsrKind::Energy && setting.kind != MsrKind::OcMailbox, path,
            "registers software may write");
    if (const json* readOnly = member(value, "read_only")) setting.readOnly = boolean(*readOnly, child(path, "read_only"));
    const bool counts = setting.kind == MsrKind::Counter || setting.kind == MsrKind::FixedCounter ||
                        setting.kind == MsrKind::EventCounter;
    onlyFor(value, "mhz", counts, path, "counters");
    onlyFor(value, "bits", counts, path, "counters");
    onlyFor(value, "revision", setting.kind == MsrKind::Microcode, path, "microcode registers");
    readIntelMsrModel(value, path, setting);
    if (setting.kind == MsrKind::FixedCounter) setting.bits = 48;
    if (setting.kind == MsrKind::EventCounter) setting.bits = MsrEventCounter::kDefaultBits;
    if (counts) {
        const json* mhz = member(value, "mhz");
        if (!mhz) fail(path, "a counter needs \"mhz\"");
        setting.rateMhz = clockMhz(*mhz, child(path, "mhz"), kMinCounterMhz);
        if (const json* bits = member(value, "bits")) {
            setting.bits = unsigned(unsignedValue(*bits, child(path, "bits"), 64));
            if (setting.bits == 0) fail(child(path, "bits"), "must be at least 1");
        }
    }
    if (setting.kind == MsrKind::Microcode) {
        const json* revision = member(value, "revision");
        if (!revision) fail(path, "a microcode register needs \"revision\"");
        setting.microcodeRevision = uint32_t(unsignedValue(*revision, child(path, "revision"), UINT32_MAX));
    }
    if (const json* cpus = member(value, "cpus"))
        for (const json& cpu : array(*cpus, child(path, "cpus")))
            setting.cpus.push_back(unsigned(unsignedValue(cpu, child(path, "cpus"), kMaxLogicalProcessors - 1)));
    return setting;
}

void readCpu(const json& section, Manifest::Cpu& cpu) {
    expectObject(section, "cpu",
                 {"logical_processors", "apic_ids", "tsc_mhz", "bus_mhz", "msrs", "load_percent", "cpuid"});
    if (const json* cpuid = member(section, "cpuid")) cpu.cpuid = boolean(*cpuid, "cpu.cpuid");
    if (const json* count = member(section, "logical_processors")) {
        cpu.logicalProcessors = unsigned(unsignedValue(*count, "cpu.logical_processors", kMaxLogicalProcessors));
        if (*cpu.logicalProcessors == 0) fail("cpu.logical_processors", "must be at least 1");
    }
    if (const json* ids = member(section, "apic_ids"))
        for (const json& id : array(*ids, "cpu.apic_ids"))
            cpu.apicIds.push_back(uint32_t(unsignedValue(id, "cpu.apic_ids", UINT32_MAX)));
    if (const json* mhz = member(section, "tsc_mhz")) cpu.tscMhz = clockMhz(*mhz, "cpu.tsc_mhz", kMinTscMhz);
    if (const json* mhz = member(section, "bus_mhz")) cpu.busMhz = clockMhz(*mhz, "cpu.bus_mhz", kMinBusMhz);
    if (const json* load = member(section, "load_percent")) {
        if (!load->is_number() || !std::isfinite(load->get<double>()) || load->get<double>() < 0 ||
            load->get<double>() > 100)
            fail("cpu.load_percent", "expected a number from 0 to 100");
        cpu.loadPercent = load->get<double>();
    }
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

void readPci(const json& section, Manifest::Pci& pci) {
    expectObject(section, "pci", {"mechanism", "extended_register_bits", "lpc_function_disable", "message_bus"});
    if (const json* mechanism = member(section, "mechanism")) {
        pci.mechanism = unsigned(unsignedValue(*mechanism, "pci.mechanism", 2));
        if (pci.mechanism == 0) fail("pci.mechanism", "must be 1 or 2");
    }
    if (const json* extended = member(section, "extended_register_bits")) {
        pci.extendedRegisterBits = boolean(*extended, "pci.extended_register_bits");
        if (pci.extendedRegisterBits && pci.mechanism != 1)
            fail("pci.extended_register_bits", "only mechanism 1 has the address register it extends");
    }
    if (const json* disable = member(section, "lpc_function_disable"))
        pci.lpcFunctionDisable = boolean(*disable, "pci.lpc_function_disable");
    if (const json* bus = member(section, "message_bus")) readMessageBus(*bus, pci.messageBus.emplace());
}

void readPorts(const json& section, Manifest::Ports& ports) {
    expectObject(section, "ports", {"acpi_pm_timer", "cyrix_configuration"});
    if (const json* timer = member(section, "acpi_pm_timer"))
        ports.acpiPmTimer = uint16_t(unsignedValue(*timer, "ports.acpi_pm_timer", 0xFFFC));
    if (const json* cyrix = member(section, "cyrix_configuration")) {
        const std::string path = "ports.cyrix_configuration";
        expectObject(*cyrix, path, {"dir0", "dir1"});
        CyrixConfigurationSettings settings;
        for (auto [key, field] : {std::pair{"dir0", &settings.dir0}, std::pair{"dir1", &settings.dir1}}) {
            const json* value = member(*cyrix, key);
            if (!value) fail(child(path, key), "required");
            *field = uint8_t(unsignedValue(*value, child(path, key), 0xFF));
        }
        ports.cyrixConfiguration = settings;
    }
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

// A memory-mapped device: its base address alone, or an object with "base"
// and the device's further keys. Returns the object, or null for a bare
// base. The device's `size` bytes must fit below the end of the address
// space.
const json* memoryDevice(const json& value, const std::string& path, std::initializer_list<std::string_view> keys,
                         uint64_t size, uint64_t& base) {
    const json* object = nullptr;
    if (value.is_object()) {
        expectObject(value, path, keys);
        const json* number = member(value, "base");
        if (!number) fail(path, "\"base\" is missing");
        base = unsignedValue(*number, child(path, "base"), UINT64_MAX);
        object = &value;
    } else {
        base = unsignedValue(value, path, UINT64_MAX);
    }
    if (base > UINT64_MAX - (size - 1)) fail(path, "the device runs past the end of the address space");
    return object;
}

HpetSettings hpetSettings(const json& value) {
    const std::string path = "memory_devices.hpet";
    HpetSettings hpet;
    const json* object =
        memoryDevice(value, path, {"base", "period_fs", "vendor_id", "timers", "enabled"}, Hpet::kSize, hpet.base);
    if (!object) return hpet;
    if (const json* period = member(*object, "period_fs")) {
        hpet.periodFs = uint32_t(unsignedValue(*period, child(path, "period_fs"), HpetSettings::kMaxPeriodFs));
        if (hpet.periodFs == 0) fail(child(path, "period_fs"), "must be at least 1");
    }
    if (const json* vendor = member(*object, "vendor_id"))
        hpet.vendorId = uint16_t(unsignedValue(*vendor, child(path, "vendor_id"), 0xFFFF));
    if (const json* timers = member(*object, "timers")) {
        hpet.timers = unsigned(unsignedValue(*timers, child(path, "timers"), HpetSettings::kMaxTimers));
        if (hpet.timers == 0) fail(child(path, "timers"), "must be at least 1");
    }
    if (const json* enabled = member(*object, "enabled")) hpet.enabled = boolean(*enabled, child(path, "enabled"));
    return hpet;
}

LocalApicSettings localApicSettings(const json& value) {
    const std::string path = "memory_devices.local_apic";
    LocalApicSettings apic;
    const json* object = memoryDevice(value, path, {"base", "version"}, LocalApicPage::kSize, apic.base);
    if (object)
        if (const json* version = member(*object, "version"))
            apic.version = uint32_t(unsignedValue(*version, child(path, "version"), UINT32_MAX));
    return apic;
}

EcamSettings ecamSettings(const json& value) {
    const std::string path = "memory_devices.ecam";
    EcamSettings ecam;
    uint64_t base = 0;
    const json* object = memoryDevice(value, path, {"base", "buses"}, EcamSettings::kBusBytes, base);
    if (object)
        if (const json* buses = member(*object, "buses")) {
            ecam.buses = unsigned(unsignedValue(*buses, child(path, "buses"), EcamSettings::kMaxBuses));
            if (ecam.buses == 0) fail(child(path, "buses"), "must be at least 1");
        }
    if (base % EcamSettings::kBusBytes != 0) fail(path, "the base must be a multiple of 1 MiB (0x100000)");
    if (base > UINT64_MAX - (uint64_t(ecam.buses) * EcamSettings::kBusBytes - 1))
        fail(path, "the window runs past the end of the address space");
    ecam.base = base;
    return ecam;
}

RcbaSettings rcbaSettings(const json& value) {
    const std::string path = "memory_devices.rcba";
    RcbaSettings rcba;
    const json* object =
        memoryDevice(value, path, {"base", "function_disable"}, RootComplexRegisters::kSize, rcba.base);
    if (object)
        if (const json* disable = member(*object, "function_disable"))
            rcba.functionDisable = uint32_t(unsignedValue(*disable, child(path, "function_disable"), UINT32_MAX));
    // The LPC bridge's register holds bits 31:14 of the base.
    if (rcba.base % RcbaSettings::kAlignment != 0 || rcba.base > 0xFFFFFFFFu - (RootComplexRegisters::kSize - 1))
        fail(path, "the base must be a multiple of 16 KiB (0x4000) below 4 GiB");
    return rcba;
}

AmdSmuSettings amdSmuSettings(const json& value) {
    const std::string path = "memory_devices.amd_smu";
    AmdSmuSettings smu;
    const json* object =
        memoryDevice(value, path, {"base", "registers", "answers", "response"}, AmdSmuSettings::kMailboxBytes, smu.base);
    if (!object) return smu;
    if (const json* registers = member(*object, "registers")) {
        if (!registers->is_object()) fail(child(path, "registers"), "must be an object");
        for (const auto& item : registers->items()) {
            const std::string at = child(child(path, "registers"), item.key());
            const auto index = uint32_t(unsignedValue(json(item.key()), at, UINT32_MAX));
            smu.registers[index] = uint32_t(unsignedValue(item.value(), at, UINT32_MAX));
        }
    }
    if (const json* answers = member(*object, "answers")) smu.answers = boolean(*answers, child(path, "answers"));
    if (const json* response = member(*object, "response"))
        smu.response = uint32_t(unsignedValue(*response, child(path, "response"), UINT32_MAX));
    return smu;
}

void readMemoryDevices(const json& section, Manifest::MemoryDevices& devices) {
    expectObject(section, "memory_devices",
                 {"hpet", "local_apic", "ecam", "rcba", "mchbar", "amd_smu", "ati_gpus", "nvidia_gpu"});
    if (const json* hpet = member(section, "hpet")) devices.hpet = hpetSettings(*hpet);
    if (const json* apic = member(section, "local_apic")) devices.localApic = localApicSettings(*apic);
    if (const json* ecam = member(section, "ecam")) devices.ecam = ecamSettings(*ecam);
    if (const json* rcba = member(section, "rcba")) devices.rcba = rcbaSettings(*rcba);
    if (const json* mchbar = member(section, "mchbar")) devices.mchbar = readMchbar(*mchbar);
    if (const json* smu = member(section, "amd_smu")) devices.amdSmu = amdSmuSettings(*smu);
    if (const json* gpus = member(section, "ati_gpus")) devices.atiGpus = readAtiGpus(*gpus);
    if (const json* gpu = member(section, "nvidia_gpu")) devices.nvidiaGpu = readNvidiaGpu(*gpu);
}

WindowsIdentity readWindows(const json& section) {
    const std::string path = "os.windows";
    expectObject(section, path,
                 {"platform_id", "major", "minor", "build", "csd", "service_pack_major", "service_pack_minor",
                  "suite_mask", "product_type", "architecture", "wow64", "reported_version", "product_info",
                  "media_center", "tablet_pc", "dxdiag", "system_files", "registry_keys"});
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
    readWindowsDetails(section, identity);
    return identity;
}

std::vector<DeviceNode> readDeviceTree(const json& section) {
    std::vector<DeviceNode> nodes;
    for (const json& entry : array(section, "os.device_tree")) {
        const std::string path = "os.device_tree[" + std::to_string(nodes.size()) + "]";
        expectObject(entry, path, {"parent", "driver", "description", "enumerator", "pdo_name", "properties"});
        DeviceNode node;
        const json* parent = member(entry, "parent");
        if (nodes.empty()) {
            if (parent && !(parent->is_number_integer() && parent->get<int64_t>() == -1))
                fail(child(path, "parent"), "node 0 is the root and has no parent");
        } else {
            if (!parent) fail(path, "\"parent\" is required for every node but the root");
            node.parent = int(unsignedValue(*parent, child(path, "parent"), nodes.size() - 1));
        }
        const std::pair<const char*, uint32_t> named[] = {{"description", DeviceNode::kDescription},
                                                          {"driver", DeviceNode::kDriver},
                                                          {"pdo_name", DeviceNode::kPdoName},
                                                          {"enumerator", DeviceNode::kEnumerator}};
        for (const auto& [key, number] : named)
            if (const json* value = member(entry, key)) node.properties[number] = text(*value, child(path, key));
        if (const json* properties = member(entry, "properties")) {
            if (!properties->is_object()) fail(child(path, "properties"), "expected an object of number -> text");
            for (const auto& item : properties->items()) {
                const std::string itemPath = child(child(path, "properties"), item.key());
                const auto number = uint32_t(unsignedValue(json(item.key()), itemPath, UINT32_MAX));
                if (node.properties.contains(number)) fail(itemPath, "the property is given by its named key too");
                node.properties[number] = text(item.value(), itemPath);
            }
        }
        nodes.push_back(std::move(node));
    }
    return nodes;
}

void readOs(const json& section, Manifest::Os& os) {
    expectObject(section, "os", {"windows", "device_tree", "memory_mb"});
    if (const json* windows = member(section, "windows")) os.windows = readWindows(*windows);
    if (const json* tree = member(section, "device_tree")) os.deviceTree = readDeviceTree(*tree);
    if (const json* memory = member(section, "memory_mb")) {
        os.memoryMb = positiveNumber(*memory, "os.memory_mb");
        if (*os.memoryMb > kMaxMemoryMb) fail("os.memory_mb", "out of range (at most " + std::to_string(kMaxMemoryMb) + ")");
    }
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

void readDriver(const json& section, DriverBehaviour& driver) {
    expectObject(section, "driver", {"version", "fail"});
    if (const json* version = member(section, "version"))
        driver.version = uint32_t(unsignedValue(*version, "driver.version", UINT32_MAX));
    if (const json* failing = member(section, "fail")) {
        size_t i = 0;
        for (const json& code : array(*failing, "driver.fail"))
            driver.failingRequests.insert(uint32_t(unsignedValue(code, element("driver.fail", i++), UINT32_MAX)));
    }
}

// A name segment: up to four of A-Z, 0-9 and '_', not starting with a digit,
// padded with '_' to four characters as ACPI pads shorter names.
std::string acpiName(const std::string& key, const std::string& path) {
    checkAcpiNameLength(key, path);
    for (size_t i = 0; i < key.size(); ++i) {
        if (!isAcpiNameCharacter(key[i], i))
            fail(path, quoteForMessage(key) + " is not an ACPI name (A-Z, 0-9 and _, not starting with a digit)");
    }
    std::string name = key;
    name.resize(4, '_');
    return name;
}

AcpiValue acpiString(const std::string& value, const std::string& path) {
    if (value.find('\0') != std::string::npos) fail(path, "an ACPI string cannot hold a 0 character");
    return AcpiValue::fromString(value);
}

// "01 02 0a": bytes of two hex digits, separated by blanks.
std::vector<uint8_t> hexBytes(const json& value, const std::string& path) {
    const std::string bytesText = text(value, path);
    std::vector<uint8_t> bytes;
    std::string_view rest = bytesText;
    for (;;) {
        skipBlanks(rest);
        if (rest.empty()) return bytes;
        if (rest.size() < 2 || !isHexDigit(rest[0]) || !isHexDigit(rest[1]) ||
            (rest.size() > 2 && rest[2] != ' ' && rest[2] != '\t'))
            fail(path, quoteForMessage(bytesText) + " is not a list of hex bytes such as \"01 02 0a\"");
        bytes.push_back(uint8_t(hexValue(rest[0]) << 4 | hexValue(rest[1])));
        rest.remove_prefix(2);
    }
}

// A result of a method: an integer (a JSON number or a "0x..." string), any
// other string, or {"buffer": "01 02"} / {"string": "..."}.
AcpiValue acpiValue(const json& value, const std::string& path) {
    if (value.is_number_unsigned()) return AcpiValue::fromInteger(value.get<uint64_t>());
    if (value.is_string()) {
        const std::string& textValue = value.get_ref<const std::string&>();
        if (startsWithNoCase(textValue, "0x")) return AcpiValue::fromInteger(unsignedValue(value, path, UINT64_MAX));
        return acpiString(textValue, path);
    }
    if (value.is_object()) {
        expectObject(value, path, {"buffer", "string"});
        if (value.size() != 1) fail(path, "expected {\"buffer\": \"01 02 0a\"} or {\"string\": \"...\"}");
        if (const json* buffer = member(value, "buffer")) return AcpiValue::fromBytes(hexBytes(*buffer, child(path, "buffer")));
        const std::string where = child(path, "string");
        return acpiString(text(*member(value, "string"), where), where);
    }
    fail(path, "expected a non-negative whole number, a \"0x...\" string, a string or {\"buffer\": \"01 02 0a\"}");
}

class AcpiNamespaceReader {
public:
    AcpiNamespaceReader(const KeyOrder& order, std::vector<AcpiNamespaceNode>& nodes) : order_(order), nodes_(nodes) {}

    void read(const json& section) {
        const std::string path = "acpi_namespace";
        if (!section.is_object()) fail(path, "expected an object of names");
        if (member(section, kMethodKey)) fail(child(path, std::string(kMethodKey)), "the root is not a method");
        nodes_.push_back(AcpiNamespaceNode{std::string(AcpiNamespaceNode::kRootName), -1, false, {}});
        readScope(section, path, 0, 0);
    }

private:
    // The children of the scope `object`, node `index` at `level` below the
    // root; `scope_` holds the keys that lead to it.
    void readScope(const json& object, const std::string& path, int index, size_t level) {
        const auto keys = order_.find(scope_);
        if (keys == order_.end()) return;
        std::set<std::string> names;
        for (const std::string& key : keys->second) {
            const std::string where = child(path, key);
            AcpiNamespaceNode node;
            node.name = acpiName(key, where);
            node.parent = index;
            if (!names.insert(node.name).second) fail(where, node.name + " is named twice in this scope");
            if (level + 1 > kMaxAcpiNamespaceDepth)
                fail(where, "deeper than " + std::to_string(kMaxAcpiNamespaceDepth) + " levels below the root");
            if (nodes_.size() >= kMaxAcpiNamespaceNodes)
                fail("acpi_namespace", "more than " + std::to_string(kMaxAcpiNamespaceNodes) + " nodes");
            const json* found = member(object, key);
            if (!found) fail(where, "missing from the parsed document");  // cannot happen: the tracker saw it there
            const json& value = *found;
            if (!value.is_object())
                fail(where, "expected an object: nested names for a scope or device, {\"returns\": [...]} for a method");
            if (const json* returns = member(value, kMethodKey)) {
                node.method = true;
                for (const auto& item : value.items())
                    if (item.key() != kMethodKey)
                        fail(child(where, item.key()), "a method (an object with \"returns\") has no other keys");
                const std::string resultsPath = child(where, std::string(kMethodKey));
                size_t i = 0;
                for (const json& result : array(*returns, resultsPath))
                    node.results.push_back(acpiValue(result, element(resultsPath, i++)));
                nodes_.push_back(std::move(node));
                continue;
            }
            const int childIndex = int(nodes_.size());
            nodes_.push_back(std::move(node));
            scope_.push_back(key);
            readScope(value, where, childIndex, level + 1);
            scope_.pop_back();
        }
    }

    const KeyOrder& order_;
    std::vector<AcpiNamespaceNode>& nodes_;
    std::vector<std::string> scope_;
};

} // namespace schema

bool parseManifest(std::string_view textIn, Manifest& manifest, std::string& error) {
    using namespace schema;
    manifest = Manifest{};
    try {
        DocumentTracker tracker;
        json::sax_parse(textIn.begin(), textIn.end(), &tracker);
        const json root = json::parse(textIn.begin(), textIn.end());
        expectObject(root, "manifest",
                     {"cpu", "pci", "ports", "memory", "memory_devices", "os", "smbios", "driver", "acpi_namespace",
                      "vm", "wmi", "drives", "usb", "smbus", "nvapi", "ia64", "superio", "displays", "adl",
                      "batteries", "controllers"});
        if (const json* cpu = member(root, "cpu")) readCpu(*cpu, manifest.cpu);
        if (const json* pci = member(root, "pci")) readPci(*pci, manifest.pci);
        if (const json* ports = member(root, "ports")) readPorts(*ports, manifest.ports);
        if (const json* memory = member(root, "memory")) readMemory(*memory, manifest.memory);
        if (const json* devices = member(root, "memory_devices")) readMemoryDevices(*devices, manifest.memoryDevices);
        if (const json* os = member(root, "os")) readOs(*os, manifest.os);
        if (const json* smbios = member(root, "smbios")) readSmbios(*smbios, manifest.smbios);
        if (const json* driver = member(root, "driver")) readDriver(*driver, manifest.driver);
        if (const json* acpi = member(root, "acpi_namespace"))
            AcpiNamespaceReader(tracker.acpiKeyOrder(), manifest.acpiNamespace).read(*acpi);
        if (const json* vm = member(root, "vm")) manifest.vm = readHypervisor(*vm);
        if (const json* wmi = member(root, "wmi")) readWmi(*wmi, manifest.wmi);
        if (const json* drives = member(root, "drives")) readDrives(*drives, manifest.drives);
        if (const json* usb = member(root, "usb")) readUsb(*usb, manifest.usb);
        if (const json* smbus = member(root, "smbus")) readSmbus(*smbus, manifest.smbus.emplace());
        if (const json* nvapi = member(root, "nvapi")) readNvapi(*nvapi, manifest.nvapi.emplace());
        if (const json* adl = member(root, "adl")) readAdl(*adl, manifest.adl.emplace());
        if (const json* ia64 = member(root, "ia64")) readIa64(*ia64, manifest.ia64.emplace());
        if (const json* superio = member(root, "superio")) readSuperIo(*superio, manifest.superio);
        if (const json* displays = member(root, "displays")) readDisplays(*displays, manifest.displays);
        if (const json* batteries = member(root, "batteries")) readBatteries(*batteries, manifest.batteries);
        if (const json* controllers = member(root, "controllers")) readControllers(*controllers, manifest.controllers);
        if (manifest.pci.lpcFunctionDisable && manifest.memoryDevices.rcba)
            fail("pci.lpc_function_disable",
                 "the LPC bridge's dword 0xF0 holds the root complex base (memory_devices.rcba) instead");
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
