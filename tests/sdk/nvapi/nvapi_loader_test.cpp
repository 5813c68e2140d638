// The loader of the NVIDIA driver library on simulated machines: where the
// library is missing, when it fails to start, when it is already in the
// process, when its image changes, its trace hooks and its unload.
#include <gtest/gtest.h>

#include "platform/modules.h"
#include "platform/text.h"
#include "sdk/nvapi/nvapi_loader.h"
#include "sdk/nvapi/nvapi_stubs.h"
#include "tests/sdk/nvapi/nvapi_test_support.h"

namespace vexa::test {
namespace {

const NvapiLibrarySlot& slot() { return g_NvapiLoader.Slots[kNvapiLibrary]; }

// What another component of the process does: it loads the library itself.
HMODULE loadElsewhere() {
    return LoadLibraryExW(platform::toWide(systemFolderPath("nvapi.dll")).c_str(), nullptr, 0);
}

uint32_t firstGpu() {
    NvapiGpuHandle handles[kNvapiMaxPhysicalGpus] = {};
    uint32_t count = 0;
    EXPECT_EQ(NvAPI_EnumPhysicalGPUs(handles, &count), kNvapiOk);
    EXPECT_EQ(count, 1u);
    return handles[0];
}

// No library in the system folder: the host (a Linux system, whose NVIDIA
// driver has no Windows library) and an image without "nvapi".
struct AbsentCase {
    const char* name;
    bool image;
};

class AbsentLibrary : public ::testing::TestWithParam<AbsentCase> {};

TEST_P(AbsentLibrary, EveryCallAnswersNotFoundAndTriesAgain) {
    std::optional<NvapiMachine> machine;
    if (GetParam().image) machine.emplace(R"({"cpu": {"logical_processors": 1}})");
    for (int call = 0; call < 2; ++call) {
        EXPECT_EQ(NvAPI_Initialize(), kNvapiLibraryNotFound);
        uint32_t bus = 0;
        EXPECT_EQ(NvAPI_GPU_GetBusId(0, &bus), kNvapiLibraryNotFound);
        EXPECT_EQ(slot().CallsInFlight, 0u);
        EXPECT_EQ(slot().Module, nullptr);
    }
    EXPECT_EQ(GetModuleHandleA("nvapi.dll"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Machines, AbsentLibrary,
                         ::testing::Values(AbsentCase{"host", false}, AbsentCase{"image", true}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(NvapiLoader, InitializeLoadsOnceAndCountsNothingAfterwards) {
    NvapiMachine machine("{" + nvapiSection() + "}");
    EXPECT_EQ(NvAPI_Initialize(), kNvapiOk);
    EXPECT_EQ(NvAPI_Initialize(), kNvapiOk);
    EXPECT_EQ(machine.library().calls(kNvapiInitializeId), 1u);
    EXPECT_EQ(slot().Generation, 1u);
    EXPECT_EQ(slot().CallsInFlight, 0u);
    EXPECT_EQ(slot().CheckSum, 0x0004C1F3u);
    EXPECT_EQ(slot().TimeDateStamp, 0x4F8E2A10u);
    EXPECT_NE(GetModuleHandleA("nvapi.dll"), nullptr);
}

// A failing initialiser is tried again by the next call, whether the loader
// loaded the library itself or found it in the process, so the client is
// not stuck once the library is ready.
class FailingInitialiser : public ::testing::TestWithParam<bool> {};

TEST_P(FailingInitialiser, IsTriedAgainUntilItSucceeds) {
    NvapiMachine machine("{" + nvapiSection(R"("initialize": -6, "initialize_failures": 2,)") + "}");
    const bool alreadyInProcess = GetParam();
    if (alreadyInProcess) {
        ASSERT_NE(loadElsewhere(), nullptr);
    }
    EXPECT_EQ(NvAPI_Initialize(), -6);
    EXPECT_EQ(slot().QueryInterface, nullptr);
    EXPECT_EQ(NvAPI_Initialize(), -6);
    EXPECT_EQ(GetModuleHandleA("nvapi.dll") != nullptr, alreadyInProcess);  // freed only when loaded here
    EXPECT_EQ(NvAPI_Initialize(), kNvapiOk);
    EXPECT_EQ(machine.library().calls(kNvapiInitializeId), 3u);
    EXPECT_EQ(slot().CallsInFlight, 0u);
    uint32_t bus = 0;
    EXPECT_EQ(NvAPI_GPU_GetBusId(firstGpu(), &bus), kNvapiOk);
    EXPECT_EQ(bus, 1u);
}

INSTANTIATE_TEST_SUITE_P(Library, FailingInitialiser, ::testing::Values(false, true),
                         [](const auto& test) { return test.param ? "AlreadyInProcess" : "LoadedByTheClient"; });

TEST(NvapiLoader, AdoptsALibraryAlreadyInTheProcess) {
    NvapiMachine machine("{" + nvapiSection() + "}");
    HMODULE module = loadElsewhere();
    ASSERT_NE(module, nullptr);
    HMODULE found = nullptr;
    EXPECT_EQ(NvapiEnsureLoaded(&found), kNvapiJustResolved);
    EXPECT_EQ(found, module);
    EXPECT_EQ(slot().Module, module);
    EXPECT_EQ(NvapiEnsureLoaded(&found), kNvapiOk);
    EXPECT_EQ(slot().CallsInFlight, 2u);
    EXPECT_EQ(machine.library().calls(kNvapiInitializeId), 1u);
}

// A library image without identity (CheckSum and TimeDateStamp 0) is still
// resolved on first use, and its functions answer.
TEST(NvapiLoader, ResolvesAnImageWithoutIdentity) {
    NvapiMachine machine(R"({"nvapi": {"gpus": [{"device": "0x0A65", "bus": 3}]}})");
    ASSERT_NE(loadElsewhere(), nullptr);
    uint32_t bus = 0;
    EXPECT_EQ(NvAPI_GPU_GetBusId(firstGpu(), &bus), kNvapiOk);
    EXPECT_EQ(bus, 3u);
    EXPECT_EQ(machine.library().calls(kNvapiInitializeId), 1u);
}

// An image whose CheckSum is 0 is told apart by its TimeDateStamp; one with
// a CheckSum by that alone.
struct IdentityCase {
    const char* name;
    const char* before;
    const char* after;
    bool changed;
};

class ImageIdentity : public ::testing::TestWithParam<IdentityCase> {};

TEST_P(ImageIdentity, ReplacedImageIsResolvedAgainWhenItDiffers) {
    const IdentityCase& c = GetParam();
    NvapiMachine machine(std::string(R"({"nvapi": {)") + c.before + R"(, "replaced_after": {"calls": 2, )" + c.after +
                         R"(}, "gpus": [{"device": "0x0A65"}]}})");
    EXPECT_EQ(NvAPI_Initialize(), kNvapiOk);
    firstGpu();  // the library's second call: its image is replaced
    EXPECT_EQ(NvAPI_Initialize(), kNvapiOk);
    EXPECT_EQ(machine.library().calls(kNvapiInitializeId), c.changed ? 2u : 1u);
    EXPECT_EQ(slot().Generation, c.changed ? 2u : 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Images, ImageIdentity,
    ::testing::Values(
        IdentityCase{"TimeDateStampWithoutCheckSum", R"("timestamp": "0x100")", R"("timestamp": "0x200")", true},
        IdentityCase{"SameTimeDateStampWithoutCheckSum", R"("timestamp": "0x100")", R"("timestamp": "0x100")", false},
        IdentityCase{"CheckSum", R"("checksum": "0x11", "timestamp": "0x100")", R"("checksum": "0x12", "timestamp": "0x100")", true},
        IdentityCase{"CheckSumDecidesAlone", R"("checksum": "0x11", "timestamp": "0x100")",
                     R"("checksum": "0x11", "timestamp": "0x200")", false}),
    [](const auto& test) { return std::string(test.param.name); });

// The trace hooks: a pre hook without a post hook is not used; a post hook
// alone sees context words 0 and 0; both together pass the words on.
struct HookCase {
    const char* name;
    const char* hooks;
    unsigned preCalls, postCalls;
    uint32_t word0, word1;
};

class TraceHooks : public ::testing::TestWithParam<HookCase> {};

TEST_P(TraceHooks, WrapEveryCall) {
    const HookCase& c = GetParam();
    NvapiMachine machine("{" + nvapiSection(std::string(R"("trace_hooks": )") + c.hooks + ",") + "}");
    const uint32_t gpu = firstGpu();
    uint32_t pstate = 0;
    EXPECT_EQ(NvAPI_GPU_GetCurrentPstate(gpu, &pstate), kNvapiOk);
    EXPECT_EQ(machine.library().calls(kNvapiPreCallHookId), c.preCalls);
    EXPECT_EQ(machine.library().calls(kNvapiPostCallHookId), c.postCalls);
    if (c.postCalls == 0) return;
    const machine::NvidiaTrace trace = machine.library().lastTrace();
    EXPECT_EQ(trace.id, 0x927DA4F6u);
    EXPECT_EQ(trace.word0, c.word0);
    EXPECT_EQ(trace.word1, c.word1);
    EXPECT_EQ(trace.result, kNvapiOk);
}

INSTANTIATE_TEST_SUITE_P(Hooks, TraceHooks,
                         ::testing::Values(HookCase{"PreOnly", R"(["pre"])", 0, 0, 0, 0},
                                           HookCase{"PostOnly", R"(["post"])", 0, 2, 0, 0},
                                           HookCase{"Both", R"(["pre", "post"])", 2, 2, 0x927DA4F6, 1}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(NvapiUnload, RefusesWhileACallIsInFlight) {
    NvapiMachine machine("{" + nvapiSection() + "}");
    HMODULE module = nullptr;
    ASSERT_EQ(NvapiEnsureLoaded(&module), kNvapiJustResolved);
    EXPECT_EQ(NvAPI_Unload(), kNvapiError);
    EXPECT_EQ(slot().Unloading, 0);
    EXPECT_NE(GetModuleHandleA("nvapi.dll"), nullptr);
    --g_NvapiLoader.Slots[kNvapiLibrary].CallsInFlight;
    EXPECT_EQ(NvAPI_Unload(), kNvapiOk);
}

TEST(NvapiUnload, NeedsTheLibrarysNotification) {
    NvapiMachine machine("{" + nvapiSection(R"("missing": ["0xD22BDD7E"],)") + "}");
    EXPECT_EQ(NvAPI_Unload(), kNvapiNotLoaded);
    ASSERT_EQ(NvAPI_Initialize(), kNvapiOk);
    EXPECT_EQ(NvAPI_Unload(), kNvapiNoInterface);
    EXPECT_NE(GetModuleHandleA("nvapi.dll"), nullptr);
}

TEST(NvapiUnload, FreesTheLibraryAndTheNextCallLoadsItAgain) {
    NvapiMachine machine("{" + nvapiSection() + "}");
    ASSERT_EQ(NvAPI_Initialize(), kNvapiOk);
    EXPECT_EQ(NvAPI_Unload(), kNvapiOk);
    EXPECT_EQ(GetModuleHandleA("nvapi.dll"), nullptr);
    EXPECT_EQ(slot().Module, nullptr);
    EXPECT_EQ(machine.library().calls(kNvapiUnloadId), 1u);
    uint32_t bus = 0;
    EXPECT_EQ(NvAPI_GPU_GetBusId(firstGpu(), &bus), kNvapiOk);
    EXPECT_EQ(slot().Generation, 2u);
    EXPECT_EQ(machine.library().calls(kNvapiInitializeId), 2u);
}

} // namespace
} // namespace vexa::test
