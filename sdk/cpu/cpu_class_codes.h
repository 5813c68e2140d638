// The codes the processor model identifies processors by.
//
// CPUClassCode: bits 31:24 the vendor, 23:8 the microarchitecture (one bit
// per family branch, later members of a branch add multiples of 0x100; 0
// for a vendor-level description), 7:0 a brand or model subcode that a
// description's Identify adds to the thread's copy. A reader that needs one
// microarchitecture compares the code with its subcode cleared
// (ClassWithoutSubcode); a reader that needs a branch tests bits
// (CProcessor::HasClassFlags).
//
// CPUPackageCode: 0x10001 and up are sockets, 0x20001 and up slots and
// cartridges, -1 unknown (CProcessor::GetPackageName).
#pragma once

#include <cstdint>

enum CPUClassCode : uint32_t {
    // Vendors, as the vendor descriptions pass them.
    CPU_CLASS_INTEL = 0x1000000,
    CPU_CLASS_AMD = 0x2000000,
    CPU_CLASS_CYRIX = 0x4000000,
    CPU_CLASS_VIA = 0x8000000,
    CPU_CLASS_TRANSMETA = 0x10000000,
    CPU_CLASS_DMP = 0x20000000,

    // Microarchitectures the framework itself tells apart.
    CPU_CLASS_INTEL_I386 = 0x1000100,
    CPU_CLASS_INTEL_I486 = 0x1000200,
    CPU_CLASS_INTEL_P5 = 0x1000400,
    CPU_CLASS_INTEL_P6 = 0x1000800,
    CPU_CLASS_INTEL_NETBURST = 0x1001000,
    CPU_CLASS_INTEL_CORE_2 = 0x1008000,
    CPU_CLASS_INTEL_SKYLAKE = 0x1040000,
    CPU_CLASS_AMD_AM486 = 0x2000200,
    CPU_CLASS_AMD_K5 = 0x2000400,
    CPU_CLASS_AMD_K6 = 0x2000800,
    CPU_CLASS_AMD_K7 = 0x2001000,
    CPU_CLASS_AMD_K8 = 0x2002000,
    CPU_CLASS_AMD_K10 = 0x2004000,
    CPU_CLASS_AMD_K12 = 0x2010000,
    CPU_CLASS_AMD_K14 = 0x2020000,
    CPU_CLASS_VIA_C3 = 0x8000800,

    CPU_CLASS_VENDOR_MASK = 0xFF000000,
    CPU_CLASS_SUBCODE_MASK = 0xFF,
};

inline constexpr uint32_t ClassWithoutSubcode(uint32_t code) { return code & ~uint32_t(CPU_CLASS_SUBCODE_MASK); }

enum CPUPackageCode : uint32_t {
    CPU_PACKAGE_SOCKET_196_PGA = 0x1002A,  // the i486
    CPU_PACKAGE_UNKNOWN = 0xFFFFFFFF,
};

// CCacheDescriptor::m_iType.
enum CacheType : int32_t {
    CACHE_DATA = 1,
    CACHE_INSTRUCTION = 2,
    CACHE_UNIFIED = 3,
    CACHE_TRACE = 4,
};

// The numbers by which CProcessor::HasInstructionSet asks for an
// instruction-set extension; 10, 11 and 15 are not used.
enum InstructionSetIndex : int32_t {
    ISET_MMX = 1,
    ISET_MMX_EXTENSIONS = 2,
    ISET_3DNOW = 3,
    ISET_3DNOW_EXTENSIONS = 4,
    ISET_SSE = 5,
    ISET_SSE2 = 6,
    ISET_SSE3 = 7,
    ISET_SSSE3 = 8,
    ISET_SSE41 = 9,
    ISET_SSE42 = 12,
    ISET_SSE4A = 13,
    ISET_XOP = 14,
    ISET_X86_64 = 16,
    ISET_NO_EXECUTE = 17,
    ISET_VIRTUALIZATION = 18,
    ISET_AES = 19,
    ISET_AVX = 20,
    ISET_AVX2 = 21,
    ISET_FMA3 = 22,
    ISET_FMA4 = 23,
    ISET_RTM = 24,
    ISET_HLE = 25,
};
