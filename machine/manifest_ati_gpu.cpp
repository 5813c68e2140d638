// "memory_devices.ati_gpus": the register windows of ATI/AMD graphics
// processors, each
//   {"base": "0xFDFF0000", "size": "0x10000", "i2c_engine": "r6xx",
//    "registers": {"0x730": "0x3C", ...},
//    "i2c_devices": [{"bus": 0, "address": "0x4C",
//                     "registers": {"0x00": "0x2A", "0xFE": "0x01", ...}}]}
// "i2c_engine" is one of none, r4xx, r5xx, r6xx, r8xx (ati_gpu_window.h);
// "size" (default 0x10000) is a multiple of 4 KiB up to 1 MiB, "base" a
// multiple of the size below 4 GiB; "registers" sets dwords and leaves the
// rest 0; each I2C device (bus 0-7, 7-bit address, each pair once) answers
// on its bus with its byte registers, unset ones reading 0.
#include "machine/manifest_schema.h"

#include <set>

namespace vexa::machine::schema {

namespace {

constexpr std::pair<std::string_view, AtiI2cEngine> kEngines[] = {
    {"none", AtiI2cEngine::None}, {"r4xx", AtiI2cEngine::R4xx}, {"r5xx", AtiI2cEngine::R5xx},
    {"r6xx", AtiI2cEngine::R6xx}, {"r8xx", AtiI2cEngine::R8xx},
};

AtiI2cEngine engineOf(const json& value, const std::string& path) {
    const std::string name = text(value, path);
    for (const auto& [key, engine] : kEngines)
        if (key == name) return engine;
    fail(path, "must be one of none, r4xx, r5xx, r6xx, r8xx");
}

AtiI2cDevice readI2cDevice(const json& value, const std::string& path) {
    expectObject(value, path, {"bus", "address", "registers"});
    AtiI2cDevice device;
    const json* bus = member(value, "bus");
    const json* address = member(value, "address");
    if (!bus || !address) fail(path, "\"bus\" and \"address\" are required");
    device.bus = uint8_t(unsignedValue(*bus, child(path, "bus"), 7));
    device.address = uint8_t(unsignedValue(*address, child(path, "address"), 0x7F));
    if (const json* registers = member(value, "registers")) {
        const std::string where = child(path, "registers");
        if (!registers->is_object()) fail(where, "must be an object of register: byte");
        for (const auto& [key, byte] : registers->items())
            device.registers[uint8_t(unsignedValue(json(key), child(where, key), 0xFF))] =
                uint8_t(unsignedValue(byte, child(where, key), 0xFF));
    }
    return device;
}

AtiGpuWindowSettings readWindow(const json& value, const std::string& path) {
    expectObject(value, path, {"base", "size", "i2c_engine", "registers", "i2c_devices"});
    AtiGpuWindowSettings settings;
    if (const json* size = member(value, "size")) {
        settings.size = unsignedValue(*size, child(path, "size"), AtiGpuWindowSettings::kMaxSize);
        if (settings.size < AtiGpuWindowSettings::kMinSize || settings.size % AtiGpuWindowSettings::kMinSize != 0)
            fail(child(path, "size"), "must be a multiple of 4 KiB (0x1000), at least 0x1000");
    }
    const json* base = member(value, "base");
    if (!base) fail(path, "\"base\" is missing");
    settings.base = unsignedValue(*base, child(path, "base"), UINT32_MAX);
    if (settings.base == 0 || settings.base % settings.size != 0 || settings.base > 0x100000000ull - settings.size)
        fail(child(path, "base"), "must be a non-zero multiple of the window's size with the window below 4 GiB");
    if (const json* engine = member(value, "i2c_engine")) settings.engine = engineOf(*engine, child(path, "i2c_engine"));
    if (const json* registers = member(value, "registers"))
        settings.registers = dwordRegisters(*registers, child(path, "registers"), settings.size);
    if (const json* devices = member(value, "i2c_devices")) {
        const std::string where = child(path, "i2c_devices");
        std::set<std::pair<uint8_t, uint8_t>> seen;
        size_t i = 0;
        for (const json& entry : array(*devices, where)) {
            const std::string at = element(where, i++);
            AtiI2cDevice device = readI2cDevice(entry, at);
            if (!seen.insert({device.bus, device.address}).second) fail(at, "another device has this bus and address");
            settings.devices.push_back(std::move(device));
        }
    }
    return settings;
}

} // namespace

std::vector<AtiGpuWindowSettings> readAtiGpus(const json& value) {
    const std::string path = "memory_devices.ati_gpus";
    std::vector<AtiGpuWindowSettings> windows;
    size_t i = 0;
    for (const json& entry : array(value, path)) windows.push_back(readWindow(entry, element(path, i++)));
    return windows;
}

} // namespace vexa::machine::schema
