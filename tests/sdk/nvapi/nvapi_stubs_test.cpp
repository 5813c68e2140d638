// The interface stubs: each asks the library once per load for its
// implementation, asks again while the library lacks it, and asks again
// after the image in the process changed.
#include <gtest/gtest.h>

#include <functional>

#include "sdk/nvapi/nvapi_stubs.h"
#include "tests/sdk/nvapi/nvapi_test_support.h"

namespace vexa::test {
namespace {

constexpr uint32_t kEnumId = 0xE5AC921F, kBusId = 0x1BE0B8E5, kPstateId = 0x927DA4F6, kTachId = 0x5F608315;

NvapiGpuHandle firstGpu() {
    NvapiGpuHandle handles[kNvapiMaxPhysicalGpus] = {};
    uint32_t count = 0;
    EXPECT_EQ(NvAPI_EnumPhysicalGPUs(handles, &count), kNvapiOk);
    return handles[0];
}

TEST(NvapiStubs, AskOnceAndReuseTheImplementation) {
    NvapiMachine machine("{" + nvapiSection() + "}");
    const NvapiGpuHandle gpu = firstGpu();
    uint32_t bus = 0;
    for (int call = 0; call < 3; ++call) EXPECT_EQ(NvAPI_GPU_GetBusId(gpu, &bus), kNvapiOk);
    EXPECT_EQ(bus, 1u);
    EXPECT_EQ(machine.library().queries(kBusId), 1u);
    EXPECT_EQ(machine.library().calls(kBusId), 3u);
    EXPECT_EQ(g_NvapiLoader.Slots[kNvapiLibrary].CallsInFlight, 0u);
}

TEST(NvapiStubs, AMissingIdAnswersNoInterfaceAndIsAskedAgain) {
    NvapiMachine machine("{" + nvapiSection(R"("missing": ["0x5F608315"],)") + "}");
    const NvapiGpuHandle gpu = firstGpu();
    for (unsigned call = 1; call <= 3; ++call) {
        uint32_t rpm = 0xFFFFFFFF;
        EXPECT_EQ(NvAPI_GPU_GetTachReading(gpu, &rpm), kNvapiNoInterface);
        EXPECT_EQ(rpm, 0xFFFFFFFFu);
        EXPECT_EQ(machine.library().queries(kTachId), call);
        EXPECT_EQ(g_NvapiLoader.Slots[kNvapiLibrary].CallsInFlight, 0u);
    }
    EXPECT_EQ(machine.library().calls(kTachId), 0u);
}

// After the library's image has been replaced in the process, the next
// call resolves the library again and every stub asks for its function
// anew.
TEST(NvapiStubs, AChangedImageMakesEveryStubAskAgain) {
    NvapiMachine machine(
        "{" + nvapiSection(R"("replaced_after": {"calls": 4, "checksum": "0x0004C1F4", "timestamp": "0x4F8E2A11"},)") + "}");
    const NvapiGpuHandle gpu = firstGpu();  // the initialiser and this: two calls
    uint32_t bus = 0, pstate = 0;
    const std::function<NvapiStatus()> stubs[] = {
        [&] { return NvAPI_GPU_GetBusId(gpu, &bus); },
        [&] { return NvAPI_GPU_GetCurrentPstate(gpu, &pstate); },
    };
    for (const auto& stub : stubs) EXPECT_EQ(stub(), kNvapiOk);  // the fourth call replaces the image
    for (uint32_t id : {kEnumId, kBusId, kPstateId}) EXPECT_EQ(machine.library().queries(id), 1u) << std::hex << id;
    for (const auto& stub : stubs) EXPECT_EQ(stub(), kNvapiOk);
    EXPECT_EQ(firstGpu(), gpu);
    for (uint32_t id : {kEnumId, kBusId, kPstateId}) EXPECT_EQ(machine.library().queries(id), 2u) << std::hex << id;
    EXPECT_EQ(machine.library().calls(kNvapiInitializeId), 2u);
    EXPECT_EQ(g_NvapiLoader.Slots[kNvapiLibrary].Generation, 2u);
    EXPECT_EQ(g_NvapiLoader.Slots[kNvapiLibrary].CheckSum, 0x0004C1F4u);
}

TEST(NvapiStubs, PassTheLibrarysFailuresThrough) {
    NvapiMachine machine("{" + nvapiSection() + "}");
    uint32_t bus = 0;
    EXPECT_EQ(NvAPI_GPU_GetBusId(0x1234, &bus), -5);  // a handle the library never gave out
    EXPECT_EQ(g_NvapiLoader.Slots[kNvapiLibrary].CallsInFlight, 0u);
}

} // namespace
} // namespace vexa::test
