// smbios.bin bytes -> entry point and table, with and without a version.
#include "machine/smbios_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vexa::machine;
    SmbiosData smbios;
    std::string error;
    parseSmbiosFile(std::span<const uint8_t>(data, size), std::nullopt, smbios, error);
    parseSmbiosFile(std::span<const uint8_t>(data, size), SmbiosVersion{2, 7, 0}, smbios, error);
    const size_t split = size > 0 ? data[0] % (size + 1) : 0;
    smbiosFromEntryPointAndTable(std::span<const uint8_t>(data, split), std::vector<uint8_t>(data + split, data + size),
                                 smbios, error);
    return 0;
}
