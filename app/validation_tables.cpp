// The validation record's fixed data: the processor logo names by class
// code, the scramble tables of the digest block, and the field key.
#include <iterator>

#include "app/validation_record.h"
#include "app/vexa_app.h"
#include "sdk/core/file_version.h"

namespace vexa::validation {
namespace {

// Class code and logo name, in the order the first match is searched; the
// all-zero row ends the table.
const ProcessorLogoRow kProcessorLogoTable[] = {
    {0x01000000, L"intel"},
    {0x02000000, L"amd"},
    {0x04000000, L"cyrix"},
    {0x08000000, L"via"},
    {0x10000000, L""},
    {0x01000100, L"intel"},
    {0x01000200, L"intel"},
    {0x01000400, L"intel"},
    {0x01000800, L"intel"},
    {0x01001000, L"intel"},
    {0x01002000, L"intel"},
    {0x01004000, L"intel"},
    {0x01008000, L"intel"},
    {0x01020000, L"intel"},
    {0x01020100, L"intel"},
    {0x01020200, L"intel"},
    {0x01000401, L"intel_p1"},
    {0x01000402, L"intel_p1mmx"},
    {0x01000801, L"intel_ppro"},
    {0x01000802, L"intel_p2"},
    {0x01000803, L"intel_p2"},
    {0x01000804, L"intel_celeron"},
    {0x01000805, L"intel_xeon"},
    {0x01000806, L"intel_p3"},
    {0x01000807, L"intel_p3_m"},
    {0x01000808, L"intel_p3"},
    {0x01000809, L"intel_celeron"},
    {0x0100080A, L"intel_xeon"},
    {0x01001001, L"intel_p4"},
    {0x01001002, L"intel_p4_m"},
    {0x01001003, L"intel_p4_ht"},
    {0x01001004, L"intel_p4_ee"},
    {0x01001005, L"intel_celeron"},
    {0x01001006, L"intel_celeron_d"},
    {0x01001007, L"intel_xeon"},
    {0x01001008, L"intel_pentium_d"},
    {0x01001009, L"intel_pentium_xe"},
    {0x01002001, L"intel_pentium_m"},
    {0x01002002, L"intel_celeron_m"},
    {0x01004001, L"intel_core_solo"},
    {0x01004002, L"intel_core_duo"},
    {0x01004003, L"intel_celeron_m"},
    {0x01004004, L"intel_celeron"},
    {0x01008008, L"intel_core2_solo"},
    {0x01008001, L"intel_core2_duo"},
    {0x01008005, L"intel_core2_quad"},
    {0x01008006, L"intel_pentium"},
    {0x01008002, L"intel_core2_ee"},
    {0x01008003, L"intel_xeon"},
    {0x01008004, L"intel_celeron"},
    {0x01008007, L"intel_celeron_dc"},
    {0x01010001, L"intel_atom"},
    {0x01010101, L"intel_atom_v2"},
    {0x01010201, L"intel_atom_v4"},
    {0x01010202, L"intel_celeron_v4"},
    {0x01010203, L"intel_pentium_v4"},
    {0x01020001, L"intel_corei7"},
    {0x01020002, L"intel_corei7_ee"},
    {0x01020003, L"intel_xeon_5"},
    {0x01020004, L"intel_corei3"},
    {0x01020005, L"intel_corei5"},
    {0x01020007, L"intel_pentium"},
    {0x01020008, L"intel"},
    {0x01020101, L"intel_corei7_v2"},
    {0x01020105, L"intel_corei5_v2"},
    {0x01020104, L"intel_corei3_v2"},
    {0x01020102, L"intel_corei7xe_v2"},
    {0x01020103, L"intel_xeon_v2"},
    {0x01020107, L"intel_pentium"},
    {0x01020108, L"intel_celeron"},
    {0x01020201, L"intel_corei7_v4"},
    {0x01020205, L"intel_corei5_v4"},
    {0x01020204, L"intel_corei3_v4"},
    {0x01020202, L"intel_corei7_v4"},
    {0x01020203, L"intel_xeon_v4"},
    {0x01020207, L"intel_pentium_v4"},
    {0x01020208, L"intel"},
    {0x01020209, L"intel_core_m"},
    {0x01100000, L"intel"},
    {0x01100100, L"intel_itanium2"},
    {0x02000100, L"amd"},
    {0x02000200, L"amd"},
    {0x02000800, L"amd"},
    {0x02001000, L"amd"},
    {0x02002000, L"amd"},
    {0x02004000, L"amd"},
    {0x02010000, L"amd_vision"},
    {0x02020000, L"amd_vision"},
    {0x02040000, L"amd"},
    {0x02080000, L"amd"},
    {0x02000401, L"amd"},
    {0x02000402, L"amd"},
    {0x02000801, L"amd_k6"},
    {0x02000802, L"amd_k6_2"},
    {0x02000803, L"amd_k6_3"},
    {0x02001001, L"amd_athlon"},
    {0x02001002, L"amd_athlon_xp"},
    {0x02001003, L"amd_athlon_mp"},
    {0x02001004, L"amd_duron"},
    {0x02001005, L"amd_sempron"},
    {0x02001006, L"amd_sempron_m"},
    {0x02002001, L"amd_athlon64"},
    {0x02002002, L"amd_athlon64_m"},
    {0x02002003, L"amd_athlon64_fx"},
    {0x02002004, L"amd_opteron"},
    {0x02002005, L"amd_turion64"},
    {0x02002006, L"amd_sempron"},
    {0x02002007, L"amd_sempron_m"},
    {0x02002008, L"amd_athlon64_x2"},
    {0x02002009, L"amd_turion64_x2"},
    {0x0200200A, L"amd_athlon_neo"},
    {0x02004001, L"amd_phenom"},
    {0x02004002, L"amd_phenom_x3"},
    {0x02004003, L"amd_phenom_fx"},
    {0x02004009, L"amd_phenom2"},
    {0x0200400A, L"amd_phenom2_x2"},
    {0x0200400E, L"amd_phenom2"},
    {0x0200400F, L"amd_phenom2_x4"},
    {0x02004010, L"amd_phenom2_x6"},
    {0x02004011, L"amd_athlon2"},
    {0x0200400B, L"amd_athlon2_x2"},
    {0x0200400D, L"amd_athlon2"},
    {0x0200400C, L"amd_athlon2"},
    {0x02004004, L"amd_opteron_k10"},
    {0x02004005, L"amd_turion64_x2"},
    {0x02004006, L"amd_turion64_ultra"},
    {0x02004007, L"amd_athlon_k10"},
    {0x02004008, L"amd_sempron_k10"},
    {0x02040001, L"amd_k15_fxb"},
    {0x02040008, L"amd_k15_fxv"},
    {0x02040002, L"amd_k15_opteron"},
    {0x02040003, L"amd_k15_a10t"},
    {0x02040004, L"amd"},
    {0x02040006, L"amd"},
    {0x02040005, L"amd"},
    {0x0204000D, L"amd"},
    {0x02040009, L"amd_k15_a10r"},
    {0x0204000A, L"amd_k15_a8r"},
    {0x0204000C, L"amd_k16_a4k"},
    {0x0204000B, L"amd_k16_a6k"},
    {0x02040007, L"amd_athlon_x4_k15"},
    {0x02080001, L"amd_k16_a6k"},
    {0x02080002, L"amd_k16_a4k"},
    {0x02080003, L"amd"},
    {0x02080004, L"amd"},
    {0x02080005, L"amd_k16_opteron"},
    {0x02080006, L"amd_k16_athlon"},
    {0x02080007, L"amd_k16_sempron"},
    {0x08000400, L"via_winchip"},
    {0x08000800, L"via_c3"},
    {0x08001000, L"via_c7"},
    {0x08000801, L"via_c3"},
    {0x08001001, L"via_c7"},
    {0x08001002, L"via_c7_m"},
    {0x08001004, L"via_c7_d"},
    {0x08001003, L"via_eden"},
    {0x08002000, L"via_nano"},
    {0x08002001, L"via_nano_x2"},
    {0x08002002, L"via_eden_x2"},
    {0x08002003, L"via_nano"},
    {0x08002004, L"via_quadcore"},
    {0x04000002, L"cyrix"},
    {0x10000002, L"transmeta_efficeon"},
    {0, nullptr},
};

// The fixed part of the field key, kept out of the program's plain texts:
// each character XOR 0x5A.
constexpr uint8_t kFieldKeyText[12] = {'v' ^ 0x5A, 'e' ^ 0x5A, 'x' ^ 0x5A, 'a' ^ 0x5A, '.' ^ 0x5A, 'v' ^ 0x5A,
                                       'a' ^ 0x5A, 'l' ^ 0x5A, 'i' ^ 0x5A, 'd' ^ 0x5A, '#' ^ 0x5A, '7' ^ 0x5A};

} // namespace

const uint32_t kScrambleWords[32] = {
    0x9E3779B9, 0x7F4A7C15, 0xF39CC060, 0x5CEDC834, 0x2545F491, 0x4F6CDD1D, 0xB5297A4D, 0x68E31DA4,
    0x1B56C4E9, 0xC2B2AE35, 0x27D4EB2F, 0x165667B1, 0xD3A2646C, 0xFD7046C5, 0xB55A4F09, 0x85EBCA6B,
    0xCC9E2D51, 0x1B873593, 0xE6546B64, 0x3C6EF372, 0xA54FF53A, 0x510E527F, 0x9B05688C, 0x1F83D9AB,
    0x5BE0CD19, 0x6A09E667, 0xBB67AE85, 0x243F6A88, 0x85A308D3, 0x13198A2E, 0x03707344, 0xA4093822,
};

const uint8_t kScrambleIndexes[16][4] = {
    {3, 17, 29, 8},  {21, 5, 12, 30}, {0, 26, 14, 19}, {11, 2, 23, 7},  {28, 16, 4, 25}, {9, 31, 18, 1},
    {15, 22, 6, 27}, {24, 10, 20, 13}, {7, 29, 1, 16},  {30, 12, 25, 3}, {18, 0, 9, 22},  {5, 14, 27, 11},
    {26, 19, 2, 31}, {13, 8, 28, 21}, {20, 24, 15, 6}, {1, 4, 10, 17},
};

const wchar_t* ProcessorLogoName(uint32_t classCode) {
    for (const ProcessorLogoRow& row : kProcessorLogoTable) {
        if (!row.name) break;
        if (row.classCode == classCode) return row.name;
    }
    return nullptr;
}

AesKey FieldKey(const CvexaApp& app) {
    AesKey key{};
    const FileVersionInfo* version = app.m_pVersionInfo;
    const uint32_t words[4] = {version ? version->Major : 0xFFFFFFFFu, version ? version->Minor : 0xFFFFFFFFu,
                               version ? version->Build : 0xFFFFFFFFu, version ? version->Revision : 0xFFFFFFFFu};
    for (int i = 0; i < 4; ++i) key[size_t(i)] = uint8_t((words[i] & 0xFF) + 0x30);
    for (size_t i = 0; i < std::size(kFieldKeyText); ++i) key[4 + i] = uint8_t(kFieldKeyText[i] ^ 0x5A);
    return key;
}

} // namespace vexa::validation
