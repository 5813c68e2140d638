// "memory_devices.nvidia_gpu": an NVIDIA GPU's register window (BAR0).
//   {"function": "06:00.0", "base": "0xFA000000", "size": "0x1000000",
//    "registers": {"0x20400": "0x2D", ...},
//    "i2c": {"0": {"0x50": {"file": "edid/0.bin"}}, "1": {"0x4c": "2d 00 ..."}},
//    "rom": "vbios.rom"}
// "registers" sets dwords (4-aligned offsets inside the window) and leaves
// the rest 0; "i2c" places register-file devices on buses 0 to 3, their
// registers as hex bytes or the bytes of a file of the image; "rom" names
// the file of the video BIOS that the ROM window at 0x300000 shows.
#include "machine/manifest_schema.h"

namespace vexa::machine::schema {

namespace {

constexpr uint64_t kMinSize = 0x100000, kMaxSize = 0x10000000;
constexpr size_t kMaxDeviceBytes = 256;

void readDevices(const json& value, const std::string& path, unsigned bus, Manifest::GpuRegisterEntry& entry) {
    if (!value.is_object()) fail(path, "must be an object of 7-bit address: registers");
    for (const auto& [key, device] : value.items()) {
        const std::string where = child(path, key);
        const auto address = uint8_t(unsignedValue(json(key), where, 0x7F));
        if (device.is_object()) {
            expectObject(device, where, {"file"});
            const json* file = member(device, "file");
            if (!file) fail(where, "\"file\" is required");
            entry.files.push_back({bus, address, text(*file, child(where, "file"))});
            continue;
        }
        std::vector<uint8_t> bytes = hexBytes(device, where);
        if (bytes.size() > kMaxDeviceBytes) fail(where, "more than 256 register bytes");
        entry.settings.i2c[bus][address] = std::move(bytes);
    }
}

} // namespace

Manifest::GpuRegisterEntry readNvidiaGpu(const json& value) {
    const std::string path = "memory_devices.nvidia_gpu";
    expectObject(value, path, {"function", "base", "size", "registers", "i2c", "rom"});
    Manifest::GpuRegisterEntry entry;
    GpuRegisterSettings& settings = entry.settings;
    const json* function = member(value, "function");
    if (!function) fail(path, "\"function\" is required");
    settings.function = pciFunction(*function, child(path, "function"));
    if (const json* size = member(value, "size")) {
        settings.size = unsignedValue(*size, child(path, "size"), kMaxSize);
        if (settings.size < kMinSize || (settings.size & (settings.size - 1)) != 0)
            fail(child(path, "size"), "must be a power of two of at least 0x100000");
    }
    const json* base = member(value, "base");
    if (!base) fail(path, "\"base\" is required");
    // A 32-bit memory BAR: naturally aligned, below 4 GiB.
    settings.base = unsignedValue(*base, child(path, "base"), UINT32_MAX);
    if (settings.base == 0 || settings.base % settings.size != 0 || settings.base > 0x100000000ull - settings.size)
        fail(child(path, "base"), "must be a non-zero multiple of the window's size with the window below 4 GiB");
    if (const json* registers = member(value, "registers"))
        settings.registers = dwordRegisters(*registers, child(path, "registers"), settings.size);
    if (const json* rom = member(value, "rom")) entry.romFile = text(*rom, child(path, "rom"));
    if (settings.size < GpuRegisterSettings::kRomWindow + GpuRegisterSettings::kRomWindowSize && !entry.romFile.empty())
        fail(child(path, "rom"), "the window is too small for the ROM window at 0x300000");
    if (const json* buses = member(value, "i2c")) {
        const std::string where = child(path, "i2c");
        if (!buses->is_object()) fail(where, "must be an object of bus: devices");
        for (const auto& [key, devices] : buses->items())
            readDevices(devices, child(where, key),
                        unsigned(unsignedValue(json(key), child(where, key), GpuRegisterSettings::kBuses - 1)), entry);
    }
    return entry;
}

} // namespace vexa::machine::schema
