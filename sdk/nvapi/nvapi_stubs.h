// The interface stubs: the only way the program calls into the NVIDIA
// driver library. Each stub carries one interface id, makes sure the
// library is loaded (nvapi_loader.h), fetches the implementation once per
// load from nvapi_QueryInterface, calls it with the caller's arguments
// unchanged between the trace hooks, and returns its result as it is:
// kNvapiNoInterface when the library lacks the id (asked again on the next
// call), the loader's status when the library is not available.
//
// gpu: a physical GPU handle from NvAPI_EnumPhysicalGPUs. The callers read
// a record or an out-parameter only after a result of kNvapiOk.
#pragma once

#include <cstdint>

#include "sdk/nvapi/nvapi_loader.h"
#include "sdk/nvapi/nvapi_records.h"

using NvapiGpuHandle = uint32_t;
constexpr uint32_t kNvapiMaxPhysicalGpus = 64;

// One stub's cache: the implementation it fetched and the generation it
// fetched it under.
struct NvapiStubCacheEntry {
    void* Function = nullptr;
    uint32_t Generation = 0;
};

NvapiStatus NvAPI_EnumPhysicalGPUs(NvapiGpuHandle handles[kNvapiMaxPhysicalGpus], uint32_t* count);
// deviceId: the PCI vendor in its low 16 bits, the device in its high 16.
NvapiStatus NvAPI_GPU_GetPCIIdentifiers(NvapiGpuHandle gpu, uint32_t* deviceId, uint32_t* subsystemId,
                                        uint32_t* revisionId, uint32_t* externalDeviceId);
NvapiStatus NvAPI_GPU_GetBusId(NvapiGpuHandle gpu, uint32_t* bus);
NvapiStatus NvAPI_GPU_GetAllClockFrequencies(NvapiGpuHandle gpu, NvapiClockFrequencies* frequencies);
// level -1 fills every level; a level of 0 or more fills that level into
// the first level slot.
NvapiStatus NvAPI_GPU_GetLevelClockTable(NvapiGpuHandle gpu, int32_t level, NvapiLevelClockTable* table);
// Writes back the level held in the first level slot.
NvapiStatus NvAPI_GPU_SetLevelClockTable(NvapiGpuHandle gpu, int32_t level, NvapiLevelClockTable* table);
// coolerSelector: always 7.
NvapiStatus NvAPI_GPU_GetFanLevels(NvapiGpuHandle gpu, uint32_t coolerSelector, NvapiFanLevels* levels);
NvapiStatus NvAPI_GPU_GetPstateTable(NvapiGpuHandle gpu, NvapiPstateTable* table);
NvapiStatus NvAPI_GPU_SetPstateTable(NvapiGpuHandle gpu, NvapiPstateTable* table);
NvapiStatus NvAPI_GPU_GetCurrentPstate(NvapiGpuHandle gpu, uint32_t* pstate);
NvapiStatus NvAPI_GPU_GetDynamicPstatesInfoEx(NvapiGpuHandle gpu, NvapiUtilization* usage);
// sensorSelector: always 15.
NvapiStatus NvAPI_GPU_GetThermalSettings(NvapiGpuHandle gpu, uint32_t sensorSelector, NvapiThermalSettings* settings);
NvapiStatus NvAPI_I2CRead(NvapiGpuHandle gpu, NvapiI2CInfo* info);
NvapiStatus NvAPI_GPU_GetTachReading(NvapiGpuHandle gpu, uint32_t* rpm);

// ---- The machinery every stub shares ----

// Loads the library and finds the stub's implementation (steps before the
// call); null with the status to return when there is none to call. A
// non-null result leaves one call in flight for NvapiStubFinishCall.
void* NvapiStubPrepareCall(uint32_t id, NvapiStubCacheEntry& cache, NvapiStatus& status);
// Calls the pre hook with a cleared context.
void NvapiStubBeginTrace(uint32_t id, NvapiTraceContext& context);
// Calls the post hook and ends the call in flight.
void NvapiStubFinishCall(uint32_t id, const NvapiTraceContext& context, NvapiStatus result);

template <uint32_t Id, typename... Args>
NvapiStatus NvapiStubCall(NvapiStubCacheEntry& cache, Args... args) {
    NvapiStatus status = kNvapiOk;
    void* function = NvapiStubPrepareCall(Id, cache, status);
    if (!function) return status;
    NvapiTraceContext context{};
    NvapiStubBeginTrace(Id, context);
    const NvapiStatus result = reinterpret_cast<NvapiStatus (*)(Args...)>(function)(args...);
    NvapiStubFinishCall(Id, context, result);
    return result;
}
