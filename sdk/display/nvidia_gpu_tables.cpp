#include "sdk/display/nvidia_gpu_tables.h"

namespace {

struct NameRow {
    uint16_t device;
    const char* name;
};

// By device id, ascending.
const NameRow NvidiaGPUNameTable[] = {
    {0x0045, "NVIDIA GeForce 6800 GT"},
    {0x0191, "NVIDIA GeForce 8800 GTX"},
    {0x0193, "NVIDIA GeForce 8800 GTS"},
    {0x0194, "NVIDIA GeForce 8800 Ultra"},
    {0x0197, "NVIDIA Tesla C870"},
    {0x0400, "NVIDIA GeForce 8600 GTS"},
    {0x0402, "NVIDIA GeForce 8600 GT"},
    {0x0404, "NVIDIA GeForce 8400 GS"},
    {0x0407, "NVIDIA GeForce 8600M GT"},
    {0x0409, "NVIDIA GeForce 8700M GT"},
    {0x05E0, "NVIDIA GeForce GTX 295"},
    {0x05E1, "NVIDIA GeForce GTX 280"},
    {0x05E2, "NVIDIA GeForce GTX 260"},
    {0x05E3, "NVIDIA GeForce GTX 285"},
    {0x05E6, "NVIDIA GeForce GTX 275"},
    {0x0615, "NVIDIA GeForce GTS 250"},
    {0x06C0, "NVIDIA GeForce GTX 480"},
    {0x06C4, "NVIDIA GeForce GTX 465"},
    {0x06CD, "NVIDIA GeForce GTX 470"},
    {0x0CAF, "NVIDIA GeForce GT 335M"},
    {0x0DC4, "NVIDIA GeForce GTS 450"},
    {0x0E22, "NVIDIA GeForce GTX 460"},
    {0x0E24, "NVIDIA GeForce GTX 460"},
    {0x0FC0, "NVIDIA GeForce GT 640 OEM"},
    {0x0FC1, "NVIDIA GeForce GT 640"},
    {0x0FC2, "NVIDIA GeForce GT 630 OEM"},
    {0x0FC6, "NVIDIA GeForce GTX 650"},
    {0x0FC8, "NVIDIA GeForce GT 740"},
    {0x0FCD, "NVIDIA GeForce GT 755M"},
    {0x0FCE, "NVIDIA GeForce GT 640M LE"},
    {0x0FD1, "NVIDIA GeForce GT 650M"},
    {0x0FD2, "NVIDIA GeForce GT 640M"},
    {0x0FD3, "NVIDIA GeForce GT 640M LE"},
    {0x0FD4, "NVIDIA GeForce GTX 660M"},
    {0x0FD5, "NVIDIA GeForce GT 650M Mac Edition"},
    {0x0FD8, "NVIDIA GeForce GT 640M Mac Edition"},
    {0x0FD9, "NVIDIA GeForce GT 645M"},
    {0x0FDF, "NVIDIA GeForce GT 740M"},
    {0x0FE0, "NVIDIA GeForce GTX 660M Mac Edition"},
    {0x0FE1, "NVIDIA GeForce GT 730M"},
    {0x0FE2, "NVIDIA GeForce GT 745M"},
    {0x0FE3, "NVIDIA GeForce GT 745M"},
    {0x0FE4, "NVIDIA GeForce GT 750M"},
    {0x0FE5, "NVIDIA GeForce K340 USM"},
    {0x0FE9, "NVIDIA GeForce GT 750M Mac Edition"},
    {0x0FEA, "NVIDIA GeForce GT 755M Mac Edition"},
    {0x1001, "NVIDIA GeForce GTX Titan Z"},
    {0x1003, "NVIDIA GeForce GTX Titan LE"},
    {0x1004, "NVIDIA GeForce GTX 780"},
    {0x1005, "NVIDIA GeForce GTX Titan"},
    {0x1007, "NVIDIA GeForce GTX 780"},
    {0x1008, "NVIDIA GeForce GTX 780 Ti"},
    {0x100A, "NVIDIA GeForce GTX 780 Ti"},
    {0x100C, "NVIDIA GeForce GTX 780 Titan Black"},
    {0x1080, "NVIDIA GeForce GTX 580"},
    {0x1081, "NVIDIA GeForce GTX 570"},
    {0x1082, "NVIDIA GeForce GTX 560 Ti OEM"},
    {0x1084, "NVIDIA GeForce GTX 560 OEM"},
    {0x1086, "NVIDIA GeForce GTX 570 Rev. 2"},
    {0x1087, "NVIDIA GeForce GTX 560 Ti 448 Cores"},
    {0x1088, "NVIDIA GeForce GTX 590"},
    {0x1089, "NVIDIA GeForce GTX 580"},
    {0x108B, "NVIDIA GeForce GTX 580"},
    {0x1180, "NVIDIA GeForce GTX 680"},
    {0x1182, "NVIDIA GeForce GTX 760 Ti"},
    {0x1183, "NVIDIA GeForce GTX 660 Ti"},
    {0x1184, "NVIDIA GeForce GTX 770"},
    {0x1185, "NVIDIA GeForce GTX 660"},
    {0x1187, "NVIDIA GeForce GTX 760"},
    {0x1188, "NVIDIA GeForce GTX 690"},
    {0x1189, "NVIDIA GeForce GTX 670"},
    {0x118E, "NVIDIA GeForce GTX 760"},
    {0x1191, "NVIDIA GeForce GTX 760"},
    {0x1193, "NVIDIA GeForce GTX 760 Ti"},
    {0x1195, "NVIDIA GeForce GTX 660"},
    {0x1198, "NVIDIA GeForce GTX 880M"},
    {0x1199, "NVIDIA GeForce GTX 870M"},
    {0x119A, "NVIDIA GeForce GTX 860M"},
    {0x119D, "NVIDIA GeForce GTX 775M Mac Edition"},
    {0x119E, "NVIDIA GeForce GTX 780M Mac Edition"},
    {0x119F, "NVIDIA GeForce GTX 780M"},
    {0x11A0, "NVIDIA GeForce GTX 680M"},
    {0x11A1, "NVIDIA GeForce GTX 670MX"},
    {0x11A2, "NVIDIA GeForce GTX 675MX Mac Edition"},
    {0x11A3, "NVIDIA GeForce GTX 680MX"},
    {0x11A7, "NVIDIA GeForce GTX 675MX"},
    {0x11C0, "NVIDIA GeForce GTX 660"},
    {0x11C2, "NVIDIA GeForce GTX 650 Ti Boost"},
    {0x11C3, "NVIDIA GeForce GTX 650 Ti"},
    {0x11C4, "NVIDIA GeForce GTX 645"},
    {0x11C6, "NVIDIA GeForce GTX 650 Ti"},
    {0x11C7, "NVIDIA GeForce GTX 750 Ti"},
    {0x11C8, "NVIDIA GeForce GTX 650"},
    {0x11E0, "NVIDIA GeForce GTX 770M"},
    {0x11E1, "NVIDIA GeForce GTX 765M"},
    {0x11E2, "NVIDIA GeForce GTX 765M"},
    {0x11E3, "NVIDIA GeForce GTX 760M"},
    {0x1200, "NVIDIA GeForce GTX 560 Ti"},
    {0x1201, "NVIDIA GeForce GTX 560"},
    {0x1202, "NVIDIA GeForce GTX 560 Ti"},
    {0x1203, "NVIDIA GeForce GTX 460 SE"},
    {0x1205, "NVIDIA GeForce GTX 460"},
    {0x1206, "NVIDIA GeForce GTX 555"},
    {0x1207, "NVIDIA GeForce GT 645"},
    {0x1208, "NVIDIA GeForce GTX 560 SE"},
    {0x1210, "NVIDIA GeForce GTX 570M"},
    {0x1211, "NVIDIA GeForce GTX 580M"},
    {0x1212, "NVIDIA GeForce GTX 675M"},
    {0x1213, "NVIDIA GeForce GTX 670M"},
    {0x1241, "NVIDIA GeForce GT 545"},
    {0x1243, "NVIDIA GeForce GT 545"},
    {0x1244, "NVIDIA GeForce GTX 550 Ti"},
    {0x1245, "NVIDIA GeForce GTS 450"},
    {0x1246, "NVIDIA GeForce GT 550M"},
    {0x1247, "NVIDIA GeForce GT 555M/635M"},
    {0x1248, "NVIDIA GeForce GT 555M/635M"},
    {0x1249, "NVIDIA GeForce GTS 450"},
    {0x124B, "NVIDIA GeForce GT 640"},
    {0x124D, "NVIDIA GeForce GT 555M/635M"},
    {0x1251, "NVIDIA GeForce GT 560M"},
    {0x1280, "NVIDIA GeForce GT 635"},
    {0x1281, "NVIDIA GeForce GT 710"},
    {0x1282, "NVIDIA GeForce GT 640"},
    {0x1284, "NVIDIA GeForce GT 630"},
    {0x1286, "NVIDIA GeForce GT 720"},
    {0x1287, "NVIDIA GeForce GT 730"},
    {0x1288, "NVIDIA GeForce GT 720"},
    {0x1290, "NVIDIA GeForce GT 730M"},
    {0x1291, "NVIDIA GeForce GT 735M"},
    {0x1292, "NVIDIA GeForce GT 740M"},
    {0x1293, "NVIDIA GeForce GT 730M"},
    {0x1294, "NVIDIA GeForce GT 740M"},
    {0x1295, "NVIDIA GeForce 710M"},
    {0x1296, "NVIDIA GeForce 825M"},
    {0x1298, "NVIDIA GeForce GT 720M"},
    {0x1299, "NVIDIA GeForce 920M"},
    {0x1340, "NVIDIA GeForce 830M"},
    {0x1341, "NVIDIA GeForce 840M"},
    {0x1346, "NVIDIA GeForce 930M"},
    {0x1347, "NVIDIA GeForce 940M"},
    {0x1380, "NVIDIA GeForce GTX 750 Ti"},
    {0x1381, "NVIDIA GeForce GTX 750"},
    {0x1382, "NVIDIA GeForce GTX 745"},
    {0x1390, "NVIDIA GeForce 845M"},
    {0x1391, "NVIDIA GeForce GTX 850M"},
    {0x1392, "NVIDIA GeForce GTX 860M"},
    {0x1393, "NVIDIA GeForce 840M"},
    {0x1398, "NVIDIA GeForce 845M"},
    {0x139A, "NVIDIA GeForce GTX 950M"},
    {0x139B, "NVIDIA GeForce GTX 960M"},
    {0x139C, "NVIDIA GeForce 940M"},
    {0x13C0, "NVIDIA GeForce GTX 980"},
    {0x13C2, "NVIDIA GeForce GTX 970"},
    {0x13D7, "NVIDIA GeForce GTX 980M"},
    {0x13D8, "NVIDIA GeForce GTX 970M"},
    {0x13D9, "NVIDIA GeForce GTX 965M"},
    {0x1401, "NVIDIA GeForce GTX 960"},
};

// Groups whose technology follows the chip revision.
enum class Technology { Fixed, ByRevision };

struct FamilyRow {
    uint16_t group;  // device id & 0xFFF0
    uint32_t familyCode;
    const char* codename;
    const char* mobileCodename;  // for the low four bits in mobileIds
    uint16_t mobileIds;          // bit n: low four bits n name the mobile part
    float technology;
    Technology rule;
};

constexpr float kGT200Shrink = 0.055f, kGT200First = 0.065f;
constexpr int32_t kRevisionA2 = 0xA2, kRevisionB1 = 0xB1;

const FamilyRow NvidiaGPUFamilyTable[] = {
    {0x0040, 0x1040000, "NV40", nullptr, 0, 0.13f, Technology::Fixed},
    {0x0090, 0x1040070, "G70", nullptr, 0, 0.11f, Technology::Fixed},
    {0x00F0, 0x1040070, "G70", nullptr, 0, 0.11f, Technology::Fixed},
    {0x00C0, 0x1040001, "NV41", nullptr, 0, 0.13f, Technology::Fixed},
    {0x0140, 0x1040003, "NV43", nullptr, 0, 0.11f, Technology::Fixed},
    {0x0170, 0x1010007, "NV17", nullptr, 0, 0.15f, Technology::Fixed},
    {0x0180, 0x1010007, "NV17", nullptr, 0, 0.15f, Technology::Fixed},
    {0x01F0, 0x1010007, "NV17", nullptr, 0, 0.15f, Technology::Fixed},
    {0x0190, 0x1050080, "G80", nullptr, 0, 0.09f, Technology::Fixed},
    {0x01D0, 0x1040072, "G72", nullptr, 0, 0.09f, Technology::Fixed},
    {0x0200, 0x1020000, "NV20", nullptr, 0, 0.15f, Technology::Fixed},
    {0x0220, 0x1040004, "NV44", nullptr, 0, 0.11f, Technology::Fixed},
    {0x0240, 0x104000C, "C51", nullptr, 0, 0.09f, Technology::Fixed},
    {0x0250, 0x1020005, "NV25", nullptr, 0, 0.15f, Technology::Fixed},
    {0x0280, 0x1020005, "NV25", nullptr, 0, 0.15f, Technology::Fixed},
    {0x0290, 0x1040071, "G71", nullptr, 0, 0.09f, Technology::Fixed},
    {0x0320, 0x1030004, "NV34", nullptr, 0, 0.15f, Technology::Fixed},
    {0x0390, 0x1040073, "G73", nullptr, 0, 0.09f, Technology::Fixed},
    {0x0400, 0x1050084, "G84", "G84M", 1u << 7, 0.08f, Technology::Fixed},
    {0x0420, 0x1050086, "G86", "G86M", 0x6FE0, 0.08f, Technology::Fixed},  // 5 to 11, 13, 14
    {0x05E0, 0x1050200, "GT200", nullptr, 0, -1.0f, Technology::ByRevision},
    {0x05F0, 0x1050200, "GT200", nullptr, 0, -1.0f, Technology::ByRevision},
    {0x0600, 0x1050092, "G92", nullptr, 0, -1.0f, Technology::ByRevision},
    {0x0610, 0x1050092, "G92", nullptr, 0, -1.0f, Technology::ByRevision},
    {0x0620, 0x1050094, "G94", "G94M", 1u << 12, 0.065f, Technology::Fixed},
    {0x0640, 0x1050096, "G96", nullptr, 0, 0.065f, Technology::Fixed},
    {0x06C0, 0x1060400, "GF100", nullptr, 0, 0.04f, Technology::Fixed},
    {0x06E0, 0x1050098, "G98", nullptr, 0, 0.065f, Technology::Fixed},
    {0x06F0, 0x1050098, "G98", nullptr, 0, 0.065f, Technology::Fixed},
    {0x0860, 0x1050086, "G86", nullptr, 0, 0.08f, Technology::Fixed},
    {0x0A20, 0x1050216, "GT216", nullptr, 0, 0.04f, Technology::Fixed},
    {0x0A60, 0x1050218, "GT218", nullptr, 0, 0.04f, Technology::Fixed},
    {0x0CA0, 0x1050215, "GT215", nullptr, 0, 0.04f, Technology::Fixed},
    {0x0DC0, 0x1060406, "GF106", nullptr, 0, 0.04f, Technology::Fixed},
    {0x0E20, 0x1060404, "GF104", nullptr, 0, 0.04f, Technology::Fixed},
    {0x0FF0, 0x1070107, "GK107", nullptr, 0, 0.028f, Technology::Fixed},
    {0x1000, 0x1070110, "GK110", nullptr, 0, 0.028f, Technology::Fixed},
    {0x1080, 0x1060410, "GF110", nullptr, 0, 0.04f, Technology::Fixed},
    {0x1180, 0x1070104, "GK104", nullptr, 0, 0.028f, Technology::Fixed},
};

float TechnologyOf(const FamilyRow& row, int32_t revision) {
    if (row.rule == Technology::Fixed) return row.technology;
    if (revision == kRevisionA2) return kGT200First;
    if (revision == kRevisionB1) return kGT200Shrink;
    return -1.0f;
}

} // namespace

const char* NvidiaGPUName(uint16_t device) {
    for (const NameRow& row : NvidiaGPUNameTable)
        if (row.device == device) return row.name;
    return nullptr;
}

bool NvidiaGPUFamily(uint16_t device, int32_t revision, NvidiaFamilyFacts* facts) {
    const unsigned low = device & 0xF;
    for (const FamilyRow& row : NvidiaGPUFamilyTable) {
        if (row.group != (device & 0xFFF0)) continue;
        facts->familyCode = row.familyCode;
        facts->codename = row.mobileCodename && (row.mobileIds >> low & 1) ? row.mobileCodename : row.codename;
        facts->technology = TechnologyOf(row, revision);
        return true;
    }
    return false;
}
