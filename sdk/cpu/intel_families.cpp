// Intel's microarchitecture descriptions. A family description fills
// `create` in its row.
#include <iterator>

#include "sdk/cpu/cpu_families.h"
#include "sdk/cpu/intel_bonnell.h"
#include "sdk/cpu/intel_core.h"
#include "sdk/cpu/intel_core2.h"
#include "sdk/cpu/intel_haswell.h"
#include "sdk/cpu/intel_nehalem.h"
#include "sdk/cpu/intel_netburst.h"
#include "sdk/cpu/intel_p5.h"
#include "sdk/cpu/intel_p6.h"
#include "sdk/cpu/intel_sandybridge.h"
#include "sdk/cpu/intel_silvermont.h"
#include "sdk/cpu/intel_skylake.h"

namespace {

const IntelFamily6Row kFamily6[] = {
    {"Intel P6", CreateIntelP6Infos, {0x01, 0x03, 0x05, 0x06, 0x07, 0x08, 0x0A, 0x0B}},
    {"Intel Mobile", CreateIntelMobileInfos, {0x09, 0x0D}},
    {"Intel Core", CreateIntelCoreInfos, {0x0E}},
    {"Intel Core 2", CreateIntelCore2Infos, {0x0F, 0x15, 0x16, 0x17, 0x1D}},
    {"Intel Nehalem", CreateIntelNehalemInfos, {0x1A, 0x1E, 0x1F, 0x25, 0x2C, 0x2E, 0x2F}},
    {"Intel Atom", CreateIntelBonnellInfos, {0x1C, 0x26, 0x35, 0x36}},
    {"Intel Sandy Bridge", CreateIntelSandyBridgeInfos, {0x2A, 0x2D, 0x3A, 0x3E}},
    {"Intel Silvermont", CreateIntelSilvermontInfos, {0x37, 0x4A, 0x4D}},
    {"Intel Braswell", CreateIntelSilvermontInfos, {0x4C}},  // the Silvermont description
    {"Intel Haswell", CreateIntelHaswellInfos, {0x3C, 0x3D, 0x3F, 0x45, 0x46, 0x47}},
    {"Intel Skylake", CreateIntelSkylakeInfos, {0x4E, 0x5E}},
};

constexpr CreateFamilyInfos kCreateP5 = CreateIntelP5Infos;
constexpr CreateFamilyInfos kCreateNetburst = CreateIntelNetburstInfos;

} // namespace

const IntelFamily6Row* FindIntelFamily6Row(int32_t extendedModel) {
    if (extendedModel <= 0) return nullptr;
    for (const IntelFamily6Row& row : kFamily6)
        for (uint8_t model : row.extendedModels)
            if (model != 0 && model == extendedModel) return &row;
    return nullptr;
}

CreateFamilyInfos IntelP5Creator() { return kCreateP5; }

CreateFamilyInfos IntelNetburstCreator() { return kCreateNetburst; }
