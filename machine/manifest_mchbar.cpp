// "memory_devices.mchbar": the Intel memory controller's register window.
//   {"layout": "bar48", "base": "0xFED14000", "size": "0x4000",
//    "registers": {"0xC00": "0x42", ...}}
// "layout" is one of i865, i915, i945, bar48, core (mchbar_window.h);
// "size" defaults by layout; "registers" sets dwords (4-aligned offsets
// inside the window) and leaves the rest 0.
#include "machine/manifest_schema.h"

namespace vexa::machine::schema {

namespace {

constexpr std::pair<std::string_view, MchbarLayout> kLayouts[] = {
    {"i865", MchbarLayout::I865}, {"i915", MchbarLayout::I915}, {"i945", MchbarLayout::I945},
    {"bar48", MchbarLayout::Bar48}, {"core", MchbarLayout::Core},
};

MchbarLayout layoutOf(const json& value, const std::string& path) {
    const std::string name = text(value, path);
    for (const auto& [key, layout] : kLayouts)
        if (key == name) return layout;
    fail(path, "must be one of i865, i915, i945, bar48, core");
}

} // namespace

MchbarSettings readMchbar(const json& value) {
    const std::string path = "memory_devices.mchbar";
    expectObject(value, path, {"layout", "base", "size", "registers"});
    MchbarSettings settings;
    const json* layout = member(value, "layout");
    if (!layout) fail(path, "\"layout\" is missing");
    settings.layout = layoutOf(*layout, child(path, "layout"));
    settings.size = MchbarSettings::defaultSize(settings.layout);
    if (const json* size = member(value, "size")) {
        settings.size = unsignedValue(*size, child(path, "size"), MchbarSettings::kMaxSize);
        if (settings.size < MchbarSettings::kMinSize || settings.size % MchbarSettings::kMinSize != 0)
            fail(child(path, "size"), "must be a multiple of 4 KiB (0x1000), at least 0x1000");
    }
    const json* base = member(value, "base");
    if (!base) fail(path, "\"base\" is missing");
    // The bridge registers hold a 32-bit base aligned to the window.
    settings.base = unsignedValue(*base, child(path, "base"), UINT32_MAX);
    const uint64_t alignment = settings.layout == MchbarLayout::I865 ? 0x1000 : 0x4000;
    if (settings.base == 0 || settings.base % alignment != 0 || settings.base > 0x100000000ull - settings.size)
        fail(child(path, "base"), "must be a non-zero multiple of the window's alignment with the window below 4 GiB");
    if (const json* registers = member(value, "registers"))
        settings.registers = dwordRegisters(*registers, child(path, "registers"), settings.size);
    return settings;
}

std::map<uint32_t, uint32_t> dwordRegisters(const json& value, const std::string& path, uint64_t windowSize) {
    if (!value.is_object()) fail(path, "must be an object of offset: value");
    std::map<uint32_t, uint32_t> registers;
    for (const auto& [key, dword] : value.items()) {
        const uint64_t offset = unsignedValue(json(key), child(path, key), windowSize - 4);
        if (offset % 4 != 0) fail(child(path, key), "the offset must be a multiple of 4");
        registers[uint32_t(offset)] = uint32_t(unsignedValue(dword, child(path, key), UINT32_MAX));
    }
    return registers;
}

} // namespace vexa::machine::schema
