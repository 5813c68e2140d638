// The kind of memory, one code shared by the module records of the SPD
// scan (module_info.h) and the chipset's memory-controller record
// (memory_info.h).
#pragma once

#include <cstdint>

enum MemoryType : int32_t {
    MEMORY_TYPE_UNKNOWN = -1,
    MEMORY_TYPE_RDRAM = 2,
    MEMORY_TYPE_EDO = 3,
    MEMORY_TYPE_FPG = 4,  // set by chipset decoders only
    MEMORY_TYPE_SDRAM = 5,
    MEMORY_TYPE_DDR = 6,
    MEMORY_TYPE_DDR2 = 7,
    MEMORY_TYPE_FB_DDR2 = 8,
    MEMORY_TYPE_DDR3 = 9,
    MEMORY_TYPE_DDR4 = 10,
};

// "RDRAM", "EDO", "FPG", "SDRAM", "DDR", "DDR2", "FB-DDR2", "DDR3", "DDR4";
// an empty text for any other value.
inline const char* MemoryTypeText(int32_t type) {
    switch (type) {
    case MEMORY_TYPE_RDRAM: return "RDRAM";
    case MEMORY_TYPE_EDO: return "EDO";
    case MEMORY_TYPE_FPG: return "FPG";
    case MEMORY_TYPE_SDRAM: return "SDRAM";
    case MEMORY_TYPE_DDR: return "DDR";
    case MEMORY_TYPE_DDR2: return "DDR2";
    case MEMORY_TYPE_FB_DDR2: return "FB-DDR2";
    case MEMORY_TYPE_DDR3: return "DDR3";
    case MEMORY_TYPE_DDR4: return "DDR4";
    default: return "";
    }
}
