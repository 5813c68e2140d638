// The microarchitecture (family) descriptions the vendor descriptions
// install, as tables: each row names the processors it stands for and how
// to create its description. A family description comes as one file with
// its class and a creator function, and fills `create` in its row here
// (intel_families.cpp, amd_families.cpp); until then the row's processors
// get the vendor-level answers and the name the row gives.
#pragma once

#include <cstdint>

class CCPUInfos;

using CreateFamilyInfos = CCPUInfos* (*)();

// Intel family 6, by extended model.
struct IntelFamily6Row {
    const char* name;  // written before the description is created
    CreateFamilyInfos create;
    uint8_t extendedModels[8];  // 0 ends the list
};
// The row of an extended model; null for a model no row lists.
const IntelFamily6Row* FindIntelFamily6Row(int32_t extendedModel);
// The other Intel families that have a description.
CreateFamilyInfos IntelP5Creator();
CreateFamilyInfos IntelNetburstCreator();

// AMD, by extended family (the sum of the base and extended family fields).
struct AMDFamilyRow {
    int32_t extendedFamily;
    const char* name;
    CreateFamilyInfos create;
};
// The row of an extended family; null for one no row lists.
const AMDFamilyRow* FindAMDFamilyRow(int32_t extendedFamily);
