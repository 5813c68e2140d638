// The simulated NVIDIA driver library's parts (nvapi_library.cpp: the
// query function, initialiser, hooks and GPU enumeration;
// nvapi_library_gpu.cpp: the functions that fill the GPU records). They
// answer from the current machine's model (machine/devices/nvidia_library.h).
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "machine/devices/nvidia_library.h"
#include "platform/win_types.h"

namespace vexa::platform::nvapi {

// The library's status codes.
constexpr int32_t kOk = 0;
constexpr int32_t kError = -1;
constexpr int32_t kInvalidArgument = -5;
constexpr int32_t kNoNvidiaDevice = -6;
constexpr int32_t kIncompatibleVersion = -9;
constexpr int32_t kNotSupported = -104;

// GPU handles are this base plus the GPU's index.
constexpr uint32_t kGpuHandleBase = 0x4E560000;

struct Implementation {
    uint32_t id;
    FARPROC function;
};

// The GPU functions of nvapi_library_gpu.cpp by interface id.
std::span<const Implementation> gpuFunctions();

// The current machine's library; null when it has none.
machine::NvidiaLibrary* library();

// Counts the call of `id` and finds the GPU of a handle: its index and a
// copy of its state; none for an unknown handle or without a library.
struct GpuCall {
    machine::NvidiaLibrary* library = nullptr;
    size_t index = 0;
    machine::NvidiaGpu gpu;
};
std::optional<GpuCall> beginGpuCall(uint32_t id, uint32_t handle);

} // namespace vexa::platform::nvapi
