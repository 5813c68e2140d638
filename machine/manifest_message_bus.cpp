// The manifest's "pci.message_bus" key (docs/machine-images.md): the
// register file behind the SoC message bus of the host bridge.
//   "message_bus": [{"port": "0x04", "register": "0xB1", "value": "0x9A"}]
#include "machine/manifest_schema.h"

#include <set>
#include <utility>

namespace vexa::machine::schema {

namespace {

constexpr size_t kMaxMessageBusRegisters = 65536;

MessageBusRegister messageBusRegister(const json& value, const std::string& path) {
    expectObject(value, path, {"port", "register", "value"});
    const json* port = member(value, "port");
    const json* reg = member(value, "register");
    const json* data = member(value, "value");
    if (!port || !reg || !data) fail(path, "\"port\", \"register\" and \"value\" are required");
    return MessageBusRegister{uint8_t(unsignedValue(*port, child(path, "port"), 0xFF)),
                              uint32_t(unsignedValue(*reg, child(path, "register"), 0xFFFFFFFF)),
                              uint32_t(unsignedValue(*data, child(path, "value"), 0xFFFFFFFF))};
}

} // namespace

void readMessageBus(const json& value, std::vector<MessageBusRegister>& registers) {
    const std::string path = "pci.message_bus";
    const json& list = array(value, path);
    if (list.size() > kMaxMessageBusRegisters)
        fail(path, "at most " + std::to_string(kMaxMessageBusRegisters) + " registers");
    std::set<std::pair<uint8_t, uint32_t>> named;
    for (size_t i = 0; i < list.size(); ++i) {
        const MessageBusRegister reg = messageBusRegister(list[i], element(path, i));
        if (!named.insert({reg.port, reg.reg}).second) fail(element(path, i), "names a register twice");
        registers.push_back(reg);
    }
}

} // namespace vexa::machine::schema
