// machine.json text -> manifest.
#include "machine/manifest.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vexa::machine;
    Manifest manifest;
    std::string error;
    parseManifest(std::string_view(reinterpret_cast<const char*>(data), size), manifest, error);
    return 0;
}
