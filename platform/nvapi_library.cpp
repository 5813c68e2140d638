// The NVIDIA driver library "nvapi.dll" as a machine installs it in its
// system folder: one export, nvapi_QueryInterface, which maps an interface
// id to the library's implementation of it. Ids the machine's library lacks
// are answered with null, like ids this library does not implement.
#include "platform/internal/nvapi_library.h"

#include <algorithm>

#include "machine/machine.h"
#include "platform/internal/libraries.h"

namespace vexa::platform::nvapi {
namespace {

constexpr uint32_t kInitializeId = 0x0150E828;
constexpr uint32_t kPreHookId = 0x33C7358C;
constexpr uint32_t kPostHookId = 0x593E8644;
constexpr uint32_t kUnloadId = 0xD22BDD7E;
constexpr uint32_t kEnumPhysicalGpusId = 0xE5AC921F;
constexpr uint32_t kGetPciIdentifiersId = 0x2DDFB66E;
constexpr uint32_t kGetBusIdId = 0x1BE0B8E5;

int32_t initialize() {
    machine::NvidiaLibrary* model = library();
    if (!model) return kError;
    return model->initialize(kInitializeId);
}

int32_t unload() {
    if (machine::NvidiaLibrary* model = library()) model->called(kUnloadId);
    return kOk;
}

// The trace hooks: the pre hook marks the context with the id and a 1, the
// post hook hands what it received to the model.
void preCall(uint32_t id, uint32_t* context) {
    if (machine::NvidiaLibrary* model = library()) model->called(kPreHookId);
    if (context) {
        context[0] = id;
        context[1] = 1;
    }
}

void postCall(uint32_t id, uint32_t word0, uint32_t word1, int32_t result) {
    if (machine::NvidiaLibrary* model = library()) {
        model->called(kPostHookId);
        model->traced({id, word0, word1, result});
    }
}

int32_t enumPhysicalGpus(uint32_t* handles, uint32_t* count) {
    machine::NvidiaLibrary* model = library();
    if (!model) return kError;
    model->called(kEnumPhysicalGpusId);
    if (!handles || !count) return kInvalidArgument;
    const size_t gpus = std::min<size_t>(model->gpuCount(), 64);
    if (gpus == 0) return kNoNvidiaDevice;
    for (size_t i = 0; i < gpus; ++i) handles[i] = kGpuHandleBase + uint32_t(i);
    *count = uint32_t(gpus);
    return kOk;
}

int32_t getPciIdentifiers(uint32_t gpu, uint32_t* deviceId, uint32_t* subsystemId, uint32_t* revisionId,
                          uint32_t* externalDeviceId) {
    const auto call = beginGpuCall(kGetPciIdentifiersId, gpu);
    if (!call || !deviceId || !subsystemId || !revisionId || !externalDeviceId) return kInvalidArgument;
    *deviceId = uint32_t(call->gpu.device) << 16 | call->gpu.vendor;
    *subsystemId = call->gpu.subsystem;
    *revisionId = call->gpu.revision;
    *externalDeviceId = call->gpu.externalDevice;
    return kOk;
}

int32_t getBusId(uint32_t gpu, uint32_t* bus) {
    const auto call = beginGpuCall(kGetBusIdId, gpu);
    if (!call || !bus) return kInvalidArgument;
    *bus = call->gpu.bus;
    return kOk;
}

FARPROC implementation(uint32_t id, const machine::NvidiaLibrary& model) {
    switch (id) {
    case kInitializeId: return exported(initialize);
    case kUnloadId: return exported(unload);
    case kPreHookId: return model.offersPreHook() ? exported(preCall) : nullptr;
    case kPostHookId: return model.offersPostHook() ? exported(postCall) : nullptr;
    case kEnumPhysicalGpusId: return exported(enumPhysicalGpus);
    case kGetPciIdentifiersId: return exported(getPciIdentifiers);
    case kGetBusIdId: return exported(getBusId);
    default: break;
    }
    for (const Implementation& entry : gpuFunctions())
        if (entry.id == id) return entry.function;
    return nullptr;
}

void* queryInterface(uint32_t id) {
    machine::NvidiaLibrary* model = library();
    if (!model || !model->offers(id)) return nullptr;
    return reinterpret_cast<void*>(implementation(id, *model));
}

const LibraryExport exports[] = {{"nvapi_QueryInterface", exported(queryInterface)}};

} // namespace

machine::NvidiaLibrary* library() { return machine::current().nvidiaLibrary(); }

std::optional<GpuCall> beginGpuCall(uint32_t id, uint32_t handle) {
    machine::NvidiaLibrary* model = library();
    if (!model) return std::nullopt;
    model->called(id);
    if (handle < kGpuHandleBase) return std::nullopt;
    auto gpu = model->gpu(handle - kGpuHandleBase);
    if (!gpu) return std::nullopt;
    return GpuCall{model, handle - kGpuHandleBase, std::move(*gpu)};
}

} // namespace vexa::platform::nvapi

namespace vexa::platform {

const SimulatedLibrary nvapiLibrary{
    "nvapi.dll",
    [] { return std::span<const LibraryExport>(nvapi::exports); },
    [] { return nvapi::library() != nullptr; },
    [](uint32_t& checkSum, uint32_t& timeDateStamp) {
        if (machine::NvidiaLibrary* model = nvapi::library()) {
            const machine::ImageIdentity identity = model->identity();
            checkSum = identity.checkSum;
            timeDateStamp = identity.timeDateStamp;
        }
    },
};

} // namespace vexa::platform
