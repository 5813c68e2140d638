#include "tests/sdk/nvapi/nvapi_test_support.h"

#include <gtest/gtest.h>

#include "platform/environment.h"

namespace vexa::test {
namespace {

std::unique_ptr<machine::Machine> loadWith(const ImageDir& dir, const std::string& manifest) {
    dir.write("machine.json", manifest);
    return dir.load();
}

} // namespace

std::string nvapiSection(const std::string& extra) {
    return R"("nvapi": {"checksum": "0x0004C1F3", "timestamp": "0x4F8E2A10",)" + extra + R"(
      "gpus": [{"device": "0x0A65", "subsystem": "0x34C21458", "revision": "0xA2", "bus": 1,
                "clocks_khz": {"0": 589000, "4": 500000, "7": 1402000},
                "levels": [{"id": 0, "kind": 1, "clocks": [{"domain": 0, "khz": 135000, "min_khz": 135000, "max_khz": 135000}]},
                           {"id": 3, "kind": 3, "clocks": [{"domain": 0, "khz": 589000, "second_khz": 600000,
                                                           "min_khz": 300000, "max_khz": 800000},
                                                          {"domain": 4, "khz": 500000}]}],
                "current_level": 1,
                "pstates": [{"id": 0, "clocks_khz": {"0": 589000}, "voltages_mv": {"0": 1050}},
                            {"id": 12, "clocks_khz": {"0": 135000}, "voltages_mv": {"0": 880}}],
                "current_pstate": 12,
                "thermal": [{"controller": 1, "min": 0, "max": 127, "current": 47, "target": 1}],
                "fan_percent": 35, "fan_rpm": 1620,
                "utilization": {"0": 12, "1": 4},
                "i2c": {"0x4C": "2f 00 55 aa"}}]})";
}

NvapiMachine::NvapiMachine(const std::string& manifest) : scoped_(loadWith(dir_, manifest)) {}

machine::NvidiaLibrary& NvapiMachine::library() {
    machine::NvidiaLibrary* library = machine::current().nvidiaLibrary();
    if (!library) ADD_FAILURE() << "the machine has no NVIDIA driver library";
    static machine::NvidiaLibrary none{{}};
    return library ? *library : none;
}

std::string systemFolderPath(const std::string& name) {
    char folder[4096];
    const UINT length = GetSystemDirectoryA(folder, sizeof folder);
    return std::string(folder, length) + "/" + name;
}

} // namespace vexa::test
