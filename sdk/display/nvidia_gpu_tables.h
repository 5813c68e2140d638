// What a PCI device id of vendor 0x10DE says about an NVIDIA GPU: its
// marketing name, and by the id's group (low four bits cleared) the GPU
// family, codename and process technology.
#pragma once

#include <cstdint>

// Family codes with the low 12 bits cleared: the generations whose
// registers and I2C lines the direct-register access knows.
constexpr uint32_t kNvidiaGroupMask = 0xFFFFF000;
constexpr uint32_t kNvidiaGroupG80 = 0x1050000;   // G80 to GT218
constexpr uint32_t kNvidiaGroupGF100 = 0x1060000; // GF100 to GF110
constexpr uint32_t kNvidiaGroupGK = 0x1070000;    // GK104 to GK110

struct NvidiaFamilyFacts {
    uint32_t familyCode = 0;
    const char* codename = nullptr;
    float technology = -1.0f;  // micrometres; -1 when the table gives none
};

// The name of a device id; null for an id the table does not list.
const char* NvidiaGPUName(uint16_t device);
// False for an id whose group the table does not list.
bool NvidiaGPUFamily(uint16_t device, int32_t revision, NvidiaFamilyFacts* facts);
