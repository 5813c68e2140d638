#include "app/ui/processor_logos.h"

#include <algorithm>
#include <iterator>

namespace vexa::ui {
namespace {

constexpr LogoForm A = LogoForm::Opaque;
constexpr LogoForm B = LogoForm::Transparent;
constexpr LogoForm C = LogoForm::WideTransparent;

// By bitmap id.
constexpr ProcessorLogo kLogos[] = {
    {137, A, "AMD", ""},
    {138, A, "AMD", "Athlon"},
    {140, A, "AMD", "Athlon 64"},
    {141, A, "AMD", "Athlon 64 FX"},
    {143, A, "AMD", "Mobile Athlon 64"},
    {144, A, "AMD", "Athlon 64 X2"},
    {146, A, "AMD", "Athlon MP"},
    {147, A, "AMD", "Athlon XP"},
    {148, B, "AMD", "Duron"},
    {149, A, "AMD", "K6"},
    {150, A, "AMD", "K6-2"},
    {151, A, "AMD", "K6-III"},
    {152, A, "AMD", "Opteron"},
    {153, B, "AMD", "Opteron"},
    {154, B, "AMD", "Phenom"},
    {155, B, "AMD", "Phenom II"},
    {156, B, "AMD", "Phenom II X4"},
    {157, B, "AMD", "Phenom FX"},
    {158, B, "AMD", "Phenom X3"},
    {159, A, "AMD", "Sempron"},
    {160, A, "AMD", "Mobile Sempron"},
    {161, A, "AMD", "Turion 64"},
    {162, B, "AMD", "Turion"},
    {163, B, "AMD", "Turion Ultra"},
    {164, A, "AMD", "Turion 64 X2"},
    {165, A, "Cyrix", ""},
    {166, B, "Intel", ""},
    {167, B, "Intel", "Atom"},
    {168, C, "Intel", "Celeron"},
    {169, B, "Intel", "Celeron D"},
    {171, B, "Intel", "Celeron M"},
    {172, C, "Intel", "Core 2 Duo"},
    {173, C, "Intel", "Core 2 Extreme"},
    {174, C, "Intel", "Pentium"},
    {175, C, "Intel", "Core 2 Quad"},
    {176, B, "Intel", "Core Duo"},
    {177, B, "Intel", "Core Solo"},
    {179, C, "Intel", "Core i7"},
    {180, C, "Intel", "Core i7"},
    {182, A, "Intel", "Pentium II"},
    {183, A, "Intel", "Pentium III"},
    {184, B, "Intel", "Pentium III-M"},
    {185, B, "Intel", "Pentium 4"},
    {186, B, "Intel", "Pentium Extreme"},
    {187, B, "Intel", "Pentium 4 HT"},
    {188, B, "Intel", "Pentium 4-M"},
    {189, B, "Intel", "Pentium D"},
    {190, B, "Intel", "Pentium M"},
    {191, B, "Intel", "Pentium XE"},
    {192, C, "Intel", "Xeon"},
    {kBlankLogoBitmap, B, "", ""},
    {196, A, "VIA", ""},
    {197, B, "VIA", "C3"},
    {198, B, "VIA", "C7"},
    {199, B, "VIA", "C7-M"},
    {200, B, "VIA", "Eden"},
    {201, A, "VIA", "Nano"},
    {204, C, "Intel", "Core 2"},
    {205, B, "AMD", "Phenom II X2"},
    {206, B, "AMD", "Athlon II X2"},
    {207, C, "Intel", "Itanium"},
    {213, C, "Intel", "Core i5"},
    {214, C, "Intel", "Core i3"},
    {219, B, "AMD", "Athlon II"},
    {220, A, "AMD", "Sempron"},
    {223, B, "AMD", "Phenom II X6"},
    {224, B, "AMD", "Athlon Neo"},
    {225, A, "AMD", "Athlon X2"},
    {226, C, "Intel", "Core i7"},
    {227, C, "Intel", "Core i3"},
    {228, C, "Intel", "Core i5"},
    {229, C, "Intel", "Xeon"},
    {230, C, "Transmeta", "Efficeon"},
    {231, C, "Intel", "Core i7"},
    {233, B, "VIA", "C7-D"},
    {234, B, "VIA", "Eden X2"},
    {235, C, "VIA", "Nano X2"},
    {236, C, "VIA", "QuadCore"},
    {238, C, "AMD", "Vision"},
    {239, C, "AMD", "A10"},
    {240, C, "AMD", "Athlon"},
    {242, C, "AMD", "A8"},
    {243, C, "IDT", "WinChip"},
    {245, B, "Intel", "Core i7"},
    {246, B, "Intel", "Core i3"},
    {247, B, "Intel", "Core i5"},
    {248, B, "Intel", "Pentium"},
    {249, B, "Intel", "Xeon"},
    {250, C, "AMD", "A6"},
    {251, C, "AMD", "A4"},
    {254, C, "AMD", "A10"},
    {255, C, "AMD", "FX"},
    {256, C, "AMD", "Opteron"},
    {258, C, "AMD", "Opteron X"},
    {259, C, "AMD", "FX"},
    {262, B, "Intel", "Atom"},
    {263, C, "Intel", "Atom"},
    {267, B, "Intel", "Pentium"},
    {268, B, "Intel", "Pentium MMX"},
    {269, B, "Intel", "Pentium Pro"},
    {270, C, "AMD", "Athlon"},
    {271, C, "AMD", "Sempron"},
    {272, B, "Intel", "Celeron"},
    {273, B, "Intel", "Core m"},
};

struct LogoCode {
    uint32_t classCode;
    int bitmap;
};

// By class code; codes not listed give the blank picture.
constexpr LogoCode kLogoCodes[] = {
    {0x1000000, 166}, {0x1000100, 166}, {0x1000200, 166}, {0x1000400, 166}, {0x1000401, 267},
    {0x1000402, 268}, {0x1000800, 166}, {0x1000801, 269}, {0x1000802, 182}, {0x1000803, 182},
    {0x1000804, 168}, {0x1000805, 192}, {0x1000806, 183}, {0x1000807, 184}, {0x1000808, 183},
    {0x1000809, 168}, {0x100080A, 192}, {0x1001000, 166}, {0x1001001, 185}, {0x1001002, 188},
    {0x1001003, 187}, {0x1001004, 186}, {0x1001005, 168}, {0x1001006, 169}, {0x1001007, 192},
    {0x1001008, 189}, {0x1001009, 191}, {0x1002000, 166}, {0x1002001, 190}, {0x1002002, 171},
    {0x1004000, 166}, {0x1004001, 177}, {0x1004002, 176}, {0x1004003, 171}, {0x1004004, 168},
    {0x1008000, 166}, {0x1008001, 172}, {0x1008002, 173}, {0x1008003, 192}, {0x1008004, 168},
    {0x1008005, 175}, {0x1008006, 174}, {0x1008007, 168}, {0x1008008, 204}, {0x1010001, 167},
    {0x1010100, 166}, {0x1010101, 263}, {0x1010200, 166}, {0x1010201, 262}, {0x1010202, 272},
    {0x1010203, 248}, {0x1010400, 166}, {0x1020000, 166}, {0x1020001, 179}, {0x1020002, 180},
    {0x1020003, 192}, {0x1020004, 214}, {0x1020005, 213}, {0x1020007, 174}, {0x1020008, 168},
    {0x1020100, 166}, {0x1020101, 226}, {0x1020102, 231}, {0x1020103, 229}, {0x1020104, 227},
    {0x1020105, 228}, {0x1020107, 174}, {0x1020108, 168}, {0x1020200, 166}, {0x1020201, 245},
    {0x1020202, 245}, {0x1020203, 249}, {0x1020204, 246}, {0x1020205, 247}, {0x1020207, 248},
    {0x1020208, 168}, {0x1020209, 273}, {0x1040000, 166}, {0x1100000, 207}, {0x1100100, 207},
    {0x2000000, 137}, {0x2000100, 137}, {0x2000200, 137}, {0x2000400, 137}, {0x2000401, 137},
    {0x2000402, 137}, {0x2000800, 137}, {0x2000801, 149}, {0x2000802, 150}, {0x2000803, 151},
    {0x2001000, 137}, {0x2001001, 138}, {0x2001002, 147}, {0x2001003, 146}, {0x2001004, 148},
    {0x2001005, 159}, {0x2001006, 160}, {0x2002000, 137}, {0x2002001, 140}, {0x2002002, 143},
    {0x2002003, 141}, {0x2002004, 152}, {0x2002005, 161}, {0x2002006, 159}, {0x2002007, 160},
    {0x2002008, 144}, {0x2002009, 164}, {0x200200A, 224}, {0x2004000, 137}, {0x2004001, 154},
    {0x2004002, 158}, {0x2004003, 157}, {0x2004004, 153}, {0x2004005, 162}, {0x2004006, 163},
    {0x2004007, 225}, {0x2004008, 220}, {0x2004009, 155}, {0x200400A, 205}, {0x200400B, 206},
    {0x200400C, 219}, {0x200400D, 219}, {0x200400E, 155}, {0x200400F, 156}, {0x2004010, 223},
    {0x2004011, 219}, {0x2010000, 238}, {0x2020000, 238}, {0x2040000, 137}, {0x2040001, 259},
    {0x2040002, 256}, {0x2040003, 254}, {0x2040004, 137}, {0x2040005, 137}, {0x2040006, 137},
    {0x2040007, 240}, {0x2040008, 255}, {0x2040009, 239}, {0x204000A, 242}, {0x204000B, 250},
    {0x204000C, 251}, {0x204000D, 137}, {0x2080000, 137}, {0x2080001, 250}, {0x2080002, 251},
    {0x2080005, 258}, {0x2080006, 270}, {0x2080007, 271}, {0x4000000, 165}, {0x4000002, 165},
    {0x8000000, 196}, {0x8000400, 243}, {0x8000800, 197}, {0x8000801, 197}, {0x8001000, 198},
    {0x8001001, 198}, {0x8001002, 199}, {0x8001003, 200}, {0x8001004, 233}, {0x8002000, 201},
    {0x8002001, 235}, {0x8002002, 234}, {0x8002003, 201}, {0x8002004, 236}, {0x10000002, 230},
};

static_assert(std::is_sorted(std::begin(kLogoCodes), std::end(kLogoCodes),
                             [](const LogoCode& a, const LogoCode& b) { return a.classCode < b.classCode; }),
              "the class codes are found by bisection");
static_assert(std::is_sorted(std::begin(kLogos), std::end(kLogos),
                             [](const ProcessorLogo& a, const ProcessorLogo& b) { return a.bitmap < b.bitmap; }),
              "the pictures are found by bisection");

} // namespace

const ProcessorLogo* FindProcessorLogo(int bitmap) {
    const auto found = std::lower_bound(std::begin(kLogos), std::end(kLogos), bitmap,
                                        [](const ProcessorLogo& logo, int id) { return logo.bitmap < id; });
    return found != std::end(kLogos) && found->bitmap == bitmap ? found : nullptr;
}

const ProcessorLogo& SelectProcessorLogo(uint32_t classCode) {
    const auto found = std::lower_bound(std::begin(kLogoCodes), std::end(kLogoCodes), classCode,
                                        [](const LogoCode& entry, uint32_t code) { return entry.classCode < code; });
    const int bitmap = found != std::end(kLogoCodes) && found->classCode == classCode ? found->bitmap
                                                                                      : kBlankLogoBitmap;
    const ProcessorLogo* logo = FindProcessorLogo(bitmap);
    return logo ? *logo : *FindProcessorLogo(kBlankLogoBitmap);
}

int LogoWidth(LogoForm form) { return form == LogoForm::WideTransparent ? 93 : 65; }
int LogoHeight(LogoForm form) { return form == LogoForm::WideTransparent ? 70 : 81; }

} // namespace vexa::ui
