// The manifest's "controllers" section (docs/machine-images.md):
//   "controllers": {
//     "embedded_controller": {"registers": {"0x84": "0x10"}, "silent": ["0x93"], "flickering": [], "answers": true},
//     "eeepc_controller": {"0xF451": 55},
//     "uguru": {"generation": "2005", "banks": {"0x08": {"0x80": "0x40"}}, "run_limit": 256},
//     "apple_smc": {"keys": {"TA0P": "28 00"}, "answers": true},
//     "indexed_registers": [{"name": "SB600 analog inputs", "index_port": "0xCD0", "data_port": "0xCD1",
//                            "registers": {"0x5A": "0x9C"}}],
//     "dell_smi": {"signature": true, "temperatures": {"0": 45}, "fan_speeds": {"0": 80}, "fan_states": {"0": 1}}
//   }
#include "machine/manifest_schema.h"
#include "machine/platform_controllers_image.h"

namespace vexa::machine::schema {

namespace {

// {"<number>": <number>, ...} with keys and values within their bounds.
template <typename Key, typename Value>
std::map<Key, Value> numberMap(const json& value, const std::string& path, uint64_t keyMax, uint64_t valueMax) {
    if (!value.is_object()) fail(path, "is not an object");
    std::map<Key, Value> numbers;
    for (const auto& [key, item] : value.items()) {
        const std::string at = child(path, key);
        numbers[Key(unsignedValue(json(key), at, keyMax))] = Value(unsignedValue(item, at, valueMax));
    }
    return numbers;
}

std::set<uint8_t> byteSet(const json& value, const std::string& path) {
    std::set<uint8_t> bytes;
    size_t i = 0;
    for (const json& item : array(value, path)) bytes.insert(uint8_t(unsignedValue(item, element(path, i++), 0xFF)));
    return bytes;
}

template <typename Bank>
void fillRegisters(Bank& registers, const json& value, const std::string& path) {
    for (const auto& [reg, byte] : numberMap<uint8_t, uint8_t>(value, path, 0xFF, 0xFF)) registers[reg] = byte;
}

EmbeddedControllerSettings embeddedController(const json& value, const std::string& path) {
    expectObject(value, path, {"registers", "silent", "flickering", "answers"});
    EmbeddedControllerSettings ec;
    if (const json* registers = member(value, "registers")) fillRegisters(ec.registers, *registers, child(path, "registers"));
    if (const json* silent = member(value, "silent")) ec.silentRegisters = byteSet(*silent, child(path, "silent"));
    if (const json* flickering = member(value, "flickering"))
        ec.flickeringRegisters = byteSet(*flickering, child(path, "flickering"));
    if (const json* answers = member(value, "answers")) ec.answers = boolean(*answers, child(path, "answers"));
    return ec;
}

AbitUGuruSettings uguru(const json& value, const std::string& path) {
    expectObject(value, path, {"generation", "banks", "run_limit"});
    AbitUGuruSettings settings;
    if (const json* generation = member(value, "generation")) {
        const std::string name = text(*generation, child(path, "generation"));
        if (name == "2005") settings.generation = AbitUGuruSettings::Generation::UGuru2005;
        else if (name != "2003") fail(child(path, "generation"), "is not \"2003\" or \"2005\"");
    }
    if (const json* banks = member(value, "banks")) {
        const std::string at = child(path, "banks");
        if (!banks->is_object()) fail(at, "is not an object");
        for (const auto& [bank, registers] : banks->items()) {
            AbitUGuruSettings::Bank& bytes = settings.banks[uint8_t(unsignedValue(json(bank), child(at, bank), 0xFF))];
            bytes.fill(0);
            fillRegisters(bytes, registers, child(at, bank));
        }
    }
    if (const json* limit = member(value, "run_limit"))
        settings.runLimit = size_t(unsignedValue(*limit, child(path, "run_limit"), 256));
    return settings;
}

AppleSmcSettings appleSmc(const json& value, const std::string& path) {
    expectObject(value, path, {"keys", "answers"});
    AppleSmcSettings smc;
    if (const json* keys = member(value, "keys")) {
        const std::string at = child(path, "keys");
        if (!keys->is_object()) fail(at, "is not an object");
        for (const auto& [key, bytes] : keys->items()) {
            if (key.size() != 4) fail(child(at, key), "is not a key of four characters");
            smc.keys[key] = hexBytes(bytes, child(at, key));
        }
    }
    if (const json* answers = member(value, "answers")) smc.answers = boolean(*answers, child(path, "answers"));
    return smc;
}

IndexedRegistersSettings indexedRegisters(const json& value, const std::string& path) {
    expectObject(value, path, {"name", "index_port", "data_port", "registers"});
    IndexedRegistersSettings settings;
    if (const json* name = member(value, "name")) settings.name = text(*name, child(path, "name"));
    const json* index = member(value, "index_port");
    const json* data = member(value, "data_port");
    if (!index || !data) fail(path, "\"index_port\" and \"data_port\" are required");
    settings.indexPort = uint16_t(unsignedValue(*index, child(path, "index_port"), 0xFFFF));
    settings.dataPort = uint16_t(unsignedValue(*data, child(path, "data_port"), 0xFFFF));
    if (settings.indexPort == settings.dataPort) fail(path, "the index and data ports are the same port");
    if (const json* registers = member(value, "registers"))
        fillRegisters(settings.registers, *registers, child(path, "registers"));
    return settings;
}

DellSmiSettings dellSmi(const json& value, const std::string& path) {
    expectObject(value, path, {"signature", "temperatures", "fan_speeds", "fan_states"});
    DellSmiSettings smi;
    if (const json* signature = member(value, "signature")) smi.signature = boolean(*signature, child(path, "signature"));
    if (const json* t = member(value, "temperatures"))
        smi.temperatures = numberMap<uint32_t, uint16_t>(*t, child(path, "temperatures"), 3, 0xFFFE);
    if (const json* s = member(value, "fan_speeds"))
        smi.fanSpeeds = numberMap<uint32_t, uint16_t>(*s, child(path, "fan_speeds"), 3, 0xFFFE);
    if (const json* s = member(value, "fan_states"))
        smi.fanStates = numberMap<uint32_t, uint8_t>(*s, child(path, "fan_states"), 3, 2);
    return smi;
}

} // namespace

void readControllers(const json& section, PlatformControllers& controllers) {
    const std::string path = "controllers";
    expectObject(section, path,
                 {"embedded_controller", "eeepc_controller", "uguru", "apple_smc", "indexed_registers", "dell_smi"});
    if (const json* ec = member(section, "embedded_controller"))
        controllers.embeddedController = embeddedController(*ec, child(path, "embedded_controller"));
    if (const json* eee = member(section, "eeepc_controller"))
        controllers.eeePcController = numberMap<uint16_t, uint8_t>(*eee, child(path, "eeepc_controller"), 0xFFFF, 0xFF);
    if (const json* u = member(section, "uguru")) controllers.uguru = uguru(*u, child(path, "uguru"));
    if (const json* smc = member(section, "apple_smc")) controllers.appleSmc = appleSmc(*smc, child(path, "apple_smc"));
    if (const json* blocks = member(section, "indexed_registers")) {
        const std::string at = child(path, "indexed_registers");
        size_t i = 0;
        for (const json& block : array(*blocks, at)) controllers.indexedRegisters.push_back(indexedRegisters(block, element(at, i++)));
    }
    if (const json* smi = member(section, "dell_smi")) controllers.dellSmi = dellSmi(*smi, child(path, "dell_smi"));
}

} // namespace vexa::machine::schema

namespace vexa::machine {

bool attachPlatformControllers(const PlatformControllers& controllers, PortBus& ports, std::string& error) {
    std::vector<std::unique_ptr<PortDevice>> devices;
    if (controllers.embeddedController)
        devices.push_back(std::make_unique<EmbeddedController>(*controllers.embeddedController));
    if (controllers.eeePcController) devices.push_back(std::make_unique<EeePcControllerPorts>(*controllers.eeePcController));
    if (controllers.uguru) devices.push_back(std::make_unique<AbitUGuru>(*controllers.uguru));
    if (controllers.appleSmc) devices.push_back(std::make_unique<AppleSmc>(*controllers.appleSmc));
    for (const IndexedRegistersSettings& block : controllers.indexedRegisters)
        devices.push_back(std::make_unique<IndexedRegisters>(block));
    for (auto& device : devices)
        if (!ports.attach(std::move(device), error)) return false;
    return true;
}

} // namespace vexa::machine
