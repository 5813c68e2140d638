// The manifest's "superio" list (docs/machine-images.md):
//   "superio": [{"port": "0x2E", "protocol": "winbond", "registers": "superio/chip.regs",
//                "monitor_device": "0x0B", "monitor_index_offset": 5}]
#include "machine/manifest_schema.h"
#include "machine/text_scan.h"

namespace vexa::machine::schema {

namespace {

SuperIoEntry superIoChip(const json& value, const std::string& path) {
    expectObject(value, path, {"port", "protocol", "registers", "monitor_device", "monitor_index_offset"});
    SuperIoEntry entry;
    if (const json* port = member(value, "port")) {
        entry.port = uint16_t(unsignedValue(*port, child(path, "port"), 0xFFFF));
        if (entry.port != 0x2E && entry.port != 0x4E) fail(child(path, "port"), "is not 0x2E or 0x4E");
    }
    const json* protocol = member(value, "protocol");
    if (!protocol) fail(path, "\"protocol\" is required");
    const std::string name = text(*protocol, child(path, "protocol"));
    if (!superIoProtocolNamed(name, entry.protocol))
        fail(child(path, "protocol"), quoteForMessage(name) + " is not winbond, fintek, ite, smsc or ns");
    const json* registers = member(value, "registers");
    if (!registers) fail(path, "\"registers\" is required");
    entry.file = text(*registers, child(path, "registers"));
    if (entry.file.empty()) fail(child(path, "registers"), "names no file");
    if (const json* device = member(value, "monitor_device"))
        entry.monitorDevice = uint8_t(unsignedValue(*device, child(path, "monitor_device"), 0xFF));
    if (const json* offset = member(value, "monitor_index_offset"))
        entry.monitorIndexOffset = uint8_t(unsignedValue(*offset, child(path, "monitor_index_offset"), 6));
    return entry;
}

} // namespace

void readSuperIo(const json& section, std::vector<SuperIoEntry>& chips) {
    const std::string path = "superio";
    size_t i = 0;
    for (const json& chip : array(section, path)) {
        chips.push_back(superIoChip(chip, element(path, i)));
        for (size_t other = 0; other < i; ++other)
            if (chips[other].port == chips.back().port)
                fail(element(path, i), "a second chip at the port of superio[" + std::to_string(other) + "]");
        ++i;
    }
}

} // namespace vexa::machine::schema
