#include "sdk/nvapi/nvapi_stubs.h"

void* NvapiStubPrepareCall(uint32_t id, NvapiStubCacheEntry& cache, NvapiStatus& status) {
    HMODULE module = nullptr;
    status = NvapiEnsureLoaded(&module);
    if (status != kNvapiOk && status != kNvapiJustResolved) return nullptr;
    NvapiLibrarySlot& slot = g_NvapiLoader.Slots[kNvapiLibrary];
    if (status == kNvapiJustResolved || (cache.Function && cache.Generation != slot.Generation))
        cache.Function = nullptr;
    if (!cache.Function && module && slot.QueryInterface) {
        cache.Function = slot.QueryInterface(id);
        cache.Generation = slot.Generation;
    }
    if (!cache.Function) {
        --slot.CallsInFlight;
        status = kNvapiNoInterface;
        return nullptr;
    }
    return cache.Function;
}

void NvapiStubBeginTrace(uint32_t id, NvapiTraceContext& context) {
    context = NvapiTraceContext{};
    if (g_NvapiLoader.PreCallHook) g_NvapiLoader.PreCallHook(id, &context);
}

void NvapiStubFinishCall(uint32_t id, const NvapiTraceContext& context, NvapiStatus result) {
    if (g_NvapiLoader.PostCallHook) g_NvapiLoader.PostCallHook(id, context.Words[0], context.Words[1], result);
    --g_NvapiLoader.Slots[kNvapiLibrary].CallsInFlight;
}

// Each stub keeps its own cache entry.
#define NVAPI_STUB(id, ...)                    \
    static NvapiStubCacheEntry cache;          \
    return NvapiStubCall<id>(cache, __VA_ARGS__)

NvapiStatus NvAPI_EnumPhysicalGPUs(NvapiGpuHandle handles[kNvapiMaxPhysicalGpus], uint32_t* count) {
    NVAPI_STUB(0xE5AC921F, handles, count);
}

NvapiStatus NvAPI_GPU_GetPCIIdentifiers(NvapiGpuHandle gpu, uint32_t* deviceId, uint32_t* subsystemId,
                                        uint32_t* revisionId, uint32_t* externalDeviceId) {
    NVAPI_STUB(0x2DDFB66E, gpu, deviceId, subsystemId, revisionId, externalDeviceId);
}

NvapiStatus NvAPI_GPU_GetBusId(NvapiGpuHandle gpu, uint32_t* bus) { NVAPI_STUB(0x1BE0B8E5, gpu, bus); }

NvapiStatus NvAPI_GPU_GetAllClockFrequencies(NvapiGpuHandle gpu, NvapiClockFrequencies* frequencies) {
    NVAPI_STUB(0xDCB616C3, gpu, frequencies);
}

NvapiStatus NvAPI_GPU_GetLevelClockTable(NvapiGpuHandle gpu, int32_t level, NvapiLevelClockTable* table) {
    NVAPI_STUB(0x1EA54A3B, gpu, level, table);
}

NvapiStatus NvAPI_GPU_SetLevelClockTable(NvapiGpuHandle gpu, int32_t level, NvapiLevelClockTable* table) {
    NVAPI_STUB(0x07BCF4AC, gpu, level, table);
}

NvapiStatus NvAPI_GPU_GetFanLevels(NvapiGpuHandle gpu, uint32_t coolerSelector, NvapiFanLevels* levels) {
    NVAPI_STUB(0xDA141340, gpu, coolerSelector, levels);
}

NvapiStatus NvAPI_GPU_GetPstateTable(NvapiGpuHandle gpu, NvapiPstateTable* table) {
    NVAPI_STUB(0xBA94C56E, gpu, table);
}

NvapiStatus NvAPI_GPU_SetPstateTable(NvapiGpuHandle gpu, NvapiPstateTable* table) {
    NVAPI_STUB(0xCDF27911, gpu, table);
}

NvapiStatus NvAPI_GPU_GetCurrentPstate(NvapiGpuHandle gpu, uint32_t* pstate) { NVAPI_STUB(0x927DA4F6, gpu, pstate); }

NvapiStatus NvAPI_GPU_GetDynamicPstatesInfoEx(NvapiGpuHandle gpu, NvapiUtilization* usage) {
    NVAPI_STUB(0x60DED2ED, gpu, usage);
}

NvapiStatus NvAPI_GPU_GetThermalSettings(NvapiGpuHandle gpu, uint32_t sensorSelector, NvapiThermalSettings* settings) {
    NVAPI_STUB(0xE3640A56, gpu, sensorSelector, settings);
}

NvapiStatus NvAPI_I2CRead(NvapiGpuHandle gpu, NvapiI2CInfo* info) { NVAPI_STUB(0x2FDE12C5, gpu, info); }

NvapiStatus NvAPI_GPU_GetTachReading(NvapiGpuHandle gpu, uint32_t* rpm) { NVAPI_STUB(0x5F608315, gpu, rpm); }
