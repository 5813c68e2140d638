// The identity of the library's image, read from its headers where the
// module handle points: the DOS header's e_lfanew leads to the NT headers,
// whose file header holds the TimeDateStamp and whose optional header holds
// the CheckSum (at the same place in 32- and 64-bit images).
#include <cstring>
#include <vector>

#include "platform/modules.h"
#include "sdk/nvapi/nvapi_loader.h"

namespace {

constexpr size_t kNtHeadersOffsetField = 0x3C;
constexpr size_t kTimeDateStampOffset = 4 + 4;    // after the signature and Machine, NumberOfSections
constexpr size_t kCheckSumOffset = 4 + 20 + 64;   // signature, file header, optional header's 64 bytes

struct ImageIdentity {
    uint32_t checkSum = 0, timeDateStamp = 0;
};

uint32_t dwordAt(const std::vector<uint8_t>& bytes, size_t offset) {
    uint32_t value = 0;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

// Headers that do not hold the fields read as the zero identity.
ImageIdentity readIdentity(HMODULE module) {
    const std::vector<uint8_t> headers = vexa::platform::imageHeaders(module);
    if (headers.size() < kNtHeadersOffsetField + 4 || headers[0] != 'M' || headers[1] != 'Z') return {};
    const size_t ntHeaders = dwordAt(headers, kNtHeadersOffsetField);
    if (ntHeaders > headers.size() || headers.size() - ntHeaders < kCheckSumOffset + 4) return {};
    if (std::memcmp(headers.data() + ntHeaders, "PE\0\0", 4) != 0) return {};
    return ImageIdentity{dwordAt(headers, ntHeaders + kCheckSumOffset),
                         dwordAt(headers, ntHeaders + kTimeDateStampOffset)};
}

} // namespace

void NvapiRecordModuleIdentity(HMODULE module, LibraryIndex index) {
    const ImageIdentity identity = readIdentity(module);
    g_NvapiLoader.Slots[index].CheckSum = identity.checkSum;
    g_NvapiLoader.Slots[index].TimeDateStamp = identity.timeDateStamp;
}

bool NvapiModuleIdentityChanged(HMODULE module, LibraryIndex index) {
    const ImageIdentity identity = readIdentity(module);
    const NvapiLibrarySlot& slot = g_NvapiLoader.Slots[index];
    if (identity.checkSum != 0) return identity.checkSum != slot.CheckSum;
    return identity.timeDateStamp != slot.TimeDateStamp;
}
