// machine.json's "nvapi" section: the NVIDIA driver library a machine has
// installed, what it gives and the messages of the mistakes it catches.
#include "machine/manifest.h"

#include <gtest/gtest.h>

namespace vexa::machine {
namespace {

TEST(NvapiManifest, LibraryAndGpu) {
    Manifest manifest;
    std::string error;
    ASSERT_TRUE(parseManifest(R"({"nvapi": {"checksum": "0x4C1F3", "timestamp": 1334717000, "initialize": -6,
        "initialize_failures": 2, "missing": ["0x5F608315"], "trace_hooks": ["post"],
        "replaced_after": {"calls": 3, "checksum": "0x4C1F4"},
        "gpus": [{"device": "0x0A65", "bus": 2, "clocks_khz": {"7": 500000},
                  "levels": [{"id": 3, "clocks": [{"domain": 0, "khz": 589000, "max_khz": 800000}]}],
                  "pstates": [{"id": 12, "voltages_mv": {"0": 880}}], "current_pstate": 12,
                  "thermal": [{"current": -5}], "fan_rpm": 1620, "utilization": {"1": 4},
                  "i2c": {"0x4C": "2f 00"}}]}})",
                              manifest, error))
        << error;
    ASSERT_TRUE(manifest.nvapi);
    const NvidiaLibrarySettings& library = *manifest.nvapi;
    EXPECT_EQ(library.identity, (ImageIdentity{0x4C1F3, 1334717000}));
    EXPECT_EQ(library.initializeStatus, -6);
    EXPECT_EQ(library.initializeFailures, 2u);
    EXPECT_EQ(library.missingIds, (std::set<uint32_t>{0x5F608315}));
    EXPECT_FALSE(library.preHook);
    EXPECT_TRUE(library.postHook);
    ASSERT_TRUE(library.replacement);
    EXPECT_EQ(library.replacement->afterCalls, 3u);
    EXPECT_EQ(library.replacement->identity, (ImageIdentity{0x4C1F4, 0}));
    ASSERT_EQ(library.gpus.size(), 1u);
    const NvidiaGpu& gpu = library.gpus[0];
    EXPECT_EQ(gpu.vendor, 0x10DE);
    EXPECT_EQ(gpu.device, 0x0A65);
    EXPECT_EQ(gpu.externalDevice, 0x0A65u);
    EXPECT_EQ(gpu.bus, 2u);
    ASSERT_EQ(gpu.clocks.size(), 1u);
    EXPECT_EQ(gpu.clocks[0].domain, 7u);
    ASSERT_EQ(gpu.levels.size(), 1u);
    EXPECT_EQ(gpu.levels[0].clocks[0].maximumKhz, 800000u);
    EXPECT_EQ(gpu.pstates[0].voltages[0].millivolts, 880u);
    EXPECT_EQ(gpu.thermal[0].current, -5);
    EXPECT_FALSE(gpu.fanPercent);
    EXPECT_EQ(gpu.fanRpm, 1620u);
    EXPECT_EQ(gpu.utilization.at(1), 4u);
    EXPECT_EQ(gpu.i2c.at(0x4C), (std::vector<uint8_t>{0x2F, 0x00}));
}

struct Mistake {
    const char* manifest;
    const char* message;
};

class NvapiMistakes : public ::testing::TestWithParam<Mistake> {};

TEST_P(NvapiMistakes, NameTheKey) {
    Manifest manifest;
    std::string error;
    EXPECT_FALSE(parseManifest(GetParam().manifest, manifest, error));
    EXPECT_NE(error.find(GetParam().message), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Keys, NvapiMistakes,
    ::testing::Values(Mistake{R"({"nvapi": {"checksum": "0x100000000"}})", "nvapi.checksum: out of range"},
                      Mistake{R"({"nvapi": {"hooks": []}})", "nvapi"},
                      Mistake{R"({"nvapi": {"trace_hooks": ["middle"]}})", "nvapi.trace_hooks[0]: expected"},
                      Mistake{R"({"nvapi": {"initialize_failures": 1}})", "needs a failing"},
                      Mistake{R"({"nvapi": {"replaced_after": {"checksum": 1}}})", "\"calls\" is required"},
                      Mistake{R"({"nvapi": {"gpus": [{"device": "0x10000"}]}})", "nvapi.gpus[0].device: out of range"},
                      Mistake{R"({"nvapi": {"gpus": [{"utilization": {"8": 1}}]}})", "nvapi.gpus[0].utilization.8"},
                      Mistake{R"({"nvapi": {"gpus": [{"utilization": {"0": 101}}]}})", "at most 100"},
                      Mistake{R"({"nvapi": {"gpus": [{"thermal": [{}, {}, {}, {}]}]}})", "more than 3 entries"},
                      Mistake{R"({"nvapi": {"gpus": [{"i2c": {"0x80": ""}}]}})", "nvapi.gpus[0].i2c.0x80"}));

} // namespace
} // namespace vexa::machine
