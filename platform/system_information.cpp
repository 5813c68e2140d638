#include "platform/system_information.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "machine/machine.h"
#include "platform/internal/libraries.h"

namespace {

constexpr ULONG kRecordSize = sizeof(SYSTEM_PROCESSOR_PERFORMANCE_INFORMATION);

LARGE_INTEGER Time(uint64_t units) {
    LARGE_INTEGER value;
    value.QuadPart = static_cast<LONGLONG>(std::min<uint64_t>(units, INT64_MAX));
    return value;
}

} // namespace

NTSTATUS NtQuerySystemInformation(ULONG infoClass, PVOID information, ULONG length, ULONG* returnLength) {
    if (infoClass != SystemProcessorPerformanceInformation) return STATUS_INVALID_INFO_CLASS;
    const std::vector<vexa::machine::ProcessorTimes> times = vexa::machine::current().processorTimes();
    if (times.empty()) return STATUS_UNSUCCESSFUL;
    if (length < kRecordSize) {
        if (returnLength) *returnLength = static_cast<ULONG>(times.size() * kRecordSize);
        return STATUS_INFO_LENGTH_MISMATCH;
    }
    if (!information) return STATUS_ACCESS_VIOLATION;
    const size_t records = std::min<size_t>(times.size(), length / kRecordSize);
    auto* out = static_cast<SYSTEM_PROCESSOR_PERFORMANCE_INFORMATION*>(information);
    for (size_t i = 0; i < records; ++i) {
        SYSTEM_PROCESSOR_PERFORMANCE_INFORMATION record;
        std::memset(&record, 0, sizeof record);
        record.IdleTime = Time(times[i].idle);
        record.KernelTime = Time(times[i].kernel);
        record.UserTime = Time(times[i].user);
        std::memcpy(&out[i], &record, sizeof record);
    }
    if (returnLength) *returnLength = static_cast<ULONG>(records * kRecordSize);
    return STATUS_SUCCESS;
}

namespace {

const vexa::platform::LibraryExport kNtdllExports[] = {
    {"NtQuerySystemInformation", vexa::platform::exported(&NtQuerySystemInformation)},
};

} // namespace

std::span<const vexa::platform::LibraryExport> vexa::platform::ntdllExports() { return kNtdllExports; }
