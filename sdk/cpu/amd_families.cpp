// AMD's microarchitecture descriptions. A family description fills
// `create` in its row.
#include "sdk/cpu/cpu_families.h"

#include "sdk/cpu/amd_bobcat.h"
#include "sdk/cpu/amd_bulldozer.h"
#include "sdk/cpu/amd_jaguar.h"
#include "sdk/cpu/amd_k10.h"
#include "sdk/cpu/amd_k5_k6.h"
#include "sdk/cpu/amd_k7.h"
#include "sdk/cpu/amd_k8.h"
#include "sdk/cpu/amd_llano.h"

namespace {

const AMDFamilyRow kFamilies[] = {
    {5, "AMD K5", CreateAMDK5Infos},
    {6, "AMD K6", CreateAMDK6Infos},
    {7, "AMD K7", CreateAMDK7Infos},
    {15, "AMD K8", CreateAMDK8Infos},
    {16, "AMD K10", CreateAMDK10Infos},
    {17, "AMD K10", CreateAMDK10Infos},  // family 11h, the K10 description
    {18, "AMD K12", CreateAMDK12Infos},
    {20, "AMD K14", CreateAMDK14Infos},
    {21, "AMD K15", CreateAMDK15Infos},
    {22, "AMD K16", CreateAMDK16Infos},
    {33, "AMD K21", nullptr},  // named only
};

} // namespace

const AMDFamilyRow* FindAMDFamilyRow(int32_t extendedFamily) {
    for (const AMDFamilyRow& row : kFamilies)
        if (row.extendedFamily == extendedFamily) return &row;
    return nullptr;
}
