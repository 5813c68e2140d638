#include "sdk/display/ati_device_tables.h"

namespace {

struct IdRange {
    uint16_t first, last;  // inclusive; {0, 0} ends a row's list
};

struct CodenameRow {
    ATIDeviceRow info;
    IdRange ids[20];
};

const CodenameRow kCodenames[] = {
    {{"R300", 0x2300000, 0.15f, ATIEngine::R4XXFromBIOS, ATIBIOSLayout::Legacy, false, 0x2300000}, {{0x4146, 0x4146}, {0x4E44, 0x4E44}, {0x4E46, 0x4E46}}},
    {{"R350", 0x2300050, 0.15f, ATIEngine::R4XXFromBIOS, ATIBIOSLayout::Legacy, false, 0x2300000}, {{0x4148, 0x4148}, {0x4E48, 0x4E48}, {0x4E49, 0x4E49}}},
    {{"R360", 0x2300060, 0.15f, ATIEngine::R4XXFromBIOS, ATIBIOSLayout::Legacy, false, 0x2300000}, {{0x4E4A, 0x4E4A}, {0x4E56, 0x4E56}}},
    {{"RV350", 0x2300150, 0.11f, ATIEngine::R4XXFromBIOS, ATIBIOSLayout::Legacy, false, 0x2300000}, {{0x4E50, 0x4E50}, {0x4E52, 0x4E52}, {0x4E54, 0x4E54}}},
    {{"RV351", 0x2300151, 0.11f, ATIEngine::R4XXFromBIOS, ATIBIOSLayout::Legacy, false, 0x2300000}, {{0x4155, 0x4155}}},
    {{"RV360", 0x2300160, 0.13f, ATIEngine::R4XXFromBIOS, ATIBIOSLayout::Legacy, false, 0x2300000}, {{0x4150, 0x4150}, {0x4151, 0x4151}, {0x4152, 0x4152}, {0x4E51, 0x4E51}}},
    {{"RV370", 0x2300170, 0.13f, ATIEngine::R4XXFromBIOS, ATIBIOSLayout::Legacy, false, 0x2300000}, {{0x5460, 0x5460}, {0x5461, 0x5461}, {0x5464, 0x5464}}},
    {{"RV380", 0x2300180, 0.13f, ATIEngine::R4XXFromBIOS, ATIBIOSLayout::Legacy, false, 0x2300000}, {{0x3150, 0x3150}, {0x3152, 0x3152}, {0x3154, 0x3154}, {0x5462, 0x5462}}},
    {{nullptr, 0x2300000, -1.0f, ATIEngine::R4XXFromBIOS, ATIBIOSLayout::Legacy, false, 0x2300000}, {{0x4A4E, 0x4A4E}}},
    {{"RV280", 0x2200180, 0.15f, ATIEngine::R4XXFromBIOS, ATIBIOSLayout::Legacy, false, 0x2200000}, {{0x5960, 0x5960}}},
    {{"R420", 0x2400020, 0.13f, ATIEngine::R4XX27000, ATIBIOSLayout::None, false, 0x2400000}, {{0x4A49, 0x4A49}, {0x4A4A, 0x4A4A}, {0x4A4D, 0x4A4D}}},
    {{"R423", 0x2400023, 0.13f, ATIEngine::R4XX27000, ATIBIOSLayout::None, false, 0x2400000}, {{0x5549, 0x5549}, {0x554B, 0x554B}, {0x5550, 0x5550}, {0x5D48, 0x5D48}, {0x5D49, 0x5D49}, {0x5D4A, 0x5D4A}}},
    {{"R430", 0x2400030, 0.11f, ATIEngine::R4XX27000, ATIBIOSLayout::None, false, 0x2400000}, {{0x554D, 0x554D}, {0x554E, 0x554E}}},
    {{"R480", 0x2400080, 0.13f, ATIEngine::R4XX27000, ATIBIOSLayout::None, false, 0x2400000}, {{0x5D4E, 0x5D4E}, {0x5D50, 0x5D50}, {0x5D52, 0x5D52}}},
    {{"R481", 0x2400081, 0.13f, ATIEngine::R4XX27000, ATIBIOSLayout::None, false, 0x2400000}, {{0x4B49, 0x4B49}, {0x4B4A, 0x4B4A}, {0x4B4B, 0x4B4B}, {0x4B4C, 0x4B4C}, {0x5D4D, 0x5D4D}}},
    {{"RV410", 0x2400110, 0.11f, ATIEngine::R4XX27000, ATIBIOSLayout::None, false, 0x2400000}, {{0x5551, 0x5551}, {0x564A, 0x564A}, {0x564B, 0x564B}, {0x564F, 0x564F}, {0x5652, 0x5652}, {0x5653, 0x5653}, {0x5E48, 0x5E48}}},
    {{"RS690", 0x2400020, 0.08f, ATIEngine::None, ATIBIOSLayout::None, false, 0}, {{0x791E, 0x791E}}},
    {{"R520", 0x2500020, 0.09f, ATIEngine::R5XX, ATIBIOSLayout::None, false, 0x2500000}, {{0x7100, 0x7103}, {0x7105, 0x7105}, {0x7106, 0x7106}, {0x7108, 0x710C}}},
    {{"R580", 0x2500080, 0.09f, ATIEngine::R5XX, ATIBIOSLayout::None, false, 0x2500000}, {{0x7240, 0x7240}, {0x7243, 0x724D}, {0x724F, 0x724F}, {0x7280, 0x7280}, {0x7291, 0x7291}, {0x7293, 0x7293}}},
    {{"RV515", 0x2500115, 0.09f, ATIEngine::R5XX, ATIBIOSLayout::None, false, 0x2500000}, {{0x7140, 0x7140}, {0x7142, 0x7142}, {0x7143, 0x7143}, {0x7145, 0x7147}, {0x7149, 0x714E}, {0x715E, 0x715E}, {0x715F, 0x715F}, {0x7174, 0x7174}, {0x7180, 0x7180}, {0x7181, 0x7181}, {0x7183, 0x7183}, {0x7186, 0x7188}, {0x718A, 0x718D}, {0x7193, 0x7193}, {0x7196, 0x7196}, {0x719F, 0x719F}}},
    {{"RV516", 0x2500116, 0.08f, ATIEngine::R5XX, ATIBIOSLayout::None, false, 0x2500000}, {{0x718F, 0x718F}}},
    {{"RV530", 0x2500130, 0.09f, ATIEngine::R5XX, ATIBIOSLayout::None, false, 0x2500000}, {{0x71C0, 0x71C0}, {0x71C2, 0x71C2}, {0x71C4, 0x71C6}, {0x71CD, 0x71CD}, {0x71CE, 0x71CE}, {0x71D4, 0x71D6}, {0x71DE, 0x71DE}}},
    {{"RV535", 0x2500135, 0.08f, ATIEngine::R5XX, ATIBIOSLayout::None, false, 0x2500000}, {{0x71C1, 0x71C1}, {0x71C3, 0x71C3}, {0x71C7, 0x71C7}}},
    {{"RV550", 0x2500150, 0.08f, ATIEngine::R5XX, ATIBIOSLayout::None, false, 0x2500000}, {{0x7210, 0x7210}, {0x7211, 0x7211}}},
    {{nullptr, 0x2500000, -1.0f, ATIEngine::R5XX, ATIBIOSLayout::None, false, 0x2500000}, {{0x7284, 0x7284}}},
    {{"R600", 0x2600000, 0.08f, ATIEngine::R6XX, ATIBIOSLayout::Atom, false, 0x2600000}, {{0x9400, 0x9403}, {0x9405, 0x9405}}},
    {{"RV610", 0x2600110, 0.065f, ATIEngine::R6XX, ATIBIOSLayout::Atom, false, 0x2600000}, {{0x94C1, 0x94C1}, {0x94C3, 0x94C5}, {0x94C7, 0x94C9}, {0x94CC, 0x94CC}}},
    {{"RV620", 0x2600120, 0.055f, ATIEngine::R6XX, ATIBIOSLayout::Atom, false, 0x2600000}, {{0x95C0, 0x95C0}, {0x95C5, 0x95C5}, {0x95C7, 0x95C7}, {0x95CC, 0x95CF}}},
    {{"RV620LE", 0x2600120, 0.055f, ATIEngine::R6XX, ATIBIOSLayout::Atom, false, 0x2600000}, {{0x95C2, 0x95C2}, {0x95C4, 0x95C4}}},
    {{"RV630", 0x2600130, 0.065f, ATIEngine::R6XX, ATIBIOSLayout::Atom, false, 0x2600000}, {{0x9581, 0x9581}, {0x9583, 0x9583}, {0x9586, 0x9589}, {0x958B, 0x958B}, {0x958D, 0x958F}}},
    {{"RV635", 0x2600135, 0.055f, ATIEngine::R6XX, ATIBIOSLayout::Atom, false, 0x2600000}, {{0x9590, 0x9590}, {0x9591, 0x9591}, {0x9593, 0x9593}, {0x9595, 0x9599}, {0x959B, 0x959B}}},
    {{"RV670", 0x2600170, 0.055f, ATIEngine::R6XX, ATIBIOSLayout::Atom, false, 0x2600000}, {{0x9501, 0x9501}, {0x9504, 0x9509}, {0x950F, 0x950F}, {0x9513, 0x9513}, {0x9515, 0x9515}, {0x9519, 0x9519}}},
    {{"RS780", 0x2600110, 0.055f, ATIEngine::None, ATIBIOSLayout::Atom, false, 0x2600000}, {{0x9610, 0x9610}, {0x9614, 0x9614}}},
    {{"RS780M", 0x2600110, 0.055f, ATIEngine::None, ATIBIOSLayout::Atom, false, 0x2600000}, {{0x9612, 0x9612}}},
    {{"RS880", 0x2600080, 0.055f, ATIEngine::None, ATIBIOSLayout::Atom, false, 0x2600000}, {{0x9710, 0x9710}}},
    {{"RV710", 0x2700110, 0.055f, ATIEngine::R6XX, ATIBIOSLayout::Atom, false, 0x2700000}, {{0x954F, 0x954F}}},
    {{"RV710", 0x2700110, 0.055f, ATIEngine::None, ATIBIOSLayout::None, false, 0}, {{0x9540, 0x9540}}},
    {{"RV730", 0x2700130, 0.055f, ATIEngine::R6XX, ATIBIOSLayout::Atom, false, 0x2700000}, {{0x9480, 0x9480}, {0x9488, 0x9488}, {0x9490, 0x9490}, {0x9498, 0x9498}, {0x949E, 0x949E}}},
    {{"RV770", 0x2700170, 0.055f, ATIEngine::R6XX, ATIBIOSLayout::Atom, false, 0x2700000}, {{0x9440, 0x9443}, {0x944C, 0x944C}}},
    {{"RV790", 0x2700190, 0.055f, ATIEngine::R6XX, ATIBIOSLayout::Atom, false, 0x2700000}, {{0x9460, 0x9460}}},
    {{"RV830", 0x2800130, 0.04f, ATIEngine::R8XX, ATIBIOSLayout::Atom, true, 0x2800000}, {{0x68D8, 0x68D8}}},
    {{"RV840", 0x2800140, 0.04f, ATIEngine::R8XX, ATIBIOSLayout::Atom, false, 0x2800000}, {{0x68B8, 0x68B8}, {0x68BE, 0x68BE}}},
    {{"RV870", 0x2800170, 0.04f, ATIEngine::R8XX, ATIBIOSLayout::Atom, true, 0x2800000}, {{0x6898, 0x6898}, {0x6899, 0x6899}, {0x689C, 0x689C}, {0x689E, 0x689E}}},
    {{nullptr, 0x2800000, -1.0f, ATIEngine::R8XX, ATIBIOSLayout::Atom, false, 0x2800000}, {{0x68C1, 0x68C1}}},
    {{"Barts", 0x2900000, 0.04f, ATIEngine::R8XX, ATIBIOSLayout::Atom, true, 0x2800000}, {{0x6738, 0x6738}, {0x6739, 0x6739}}},
    {{"Cayman", 0x2900000, 0.04f, ATIEngine::R8XX, ATIBIOSLayout::Atom, true, 0x2800000}, {{0x6718, 0x6718}}},
    {{"Tahiti", 0x2A00000, 0.028f, ATIEngine::None, ATIBIOSLayout::None, true, 0}, {{0x6798, 0x6798}}},
    {{"Sumo", 0, 0.032f, ATIEngine::None, ATIBIOSLayout::None, false, 0}, {{0x9640, 0x9645}, {0x9647, 0x9647}, {0x9648, 0x9648}, {0x964A, 0x964A}}},
    {{"Trinity", 0, -1.0f, ATIEngine::None, ATIBIOSLayout::None, false, 0}, {{0x9900, 0x9900}, {0x9901, 0x9901}}},
    {{"Kaveri", 0, -1.0f, ATIEngine::None, ATIBIOSLayout::None, false, 0}, {{0x130F, 0x130F}, {0x1316, 0x1316}}},};

struct NameRow {
    uint16_t first, last;
    const char* name;
};

const NameRow kNames[] = {
    {0x4752, 0x4752, "ATI Rage XL/XC"},
    {0x6718, 0x6718, "AMD Radeon HD 6970"},
    {0x6738, 0x6738, "AMD Radeon HD 6870"},
    {0x6739, 0x6739, "AMD Radeon HD 6850"},
    {0x6798, 0x6798, "AMD Radeon HD 7970"},
    {0x682F, 0x682F, "AMD Radeon HD 7730M"},
    {0x6898, 0x6898, "ATI Radeon HD 5870"},
    {0x6899, 0x6899, "ATI Radeon HD 5850"},
    {0x689C, 0x689C, "ATI Radeon HD 5900"},
    {0x689E, 0x689E, "ATI Radeon HD 5830"},
    {0x68B8, 0x68B8, "ATI Radeon HD 5770"},
    {0x68BE, 0x68BE, "ATI Radeon HD 5750"},
    {0x68C1, 0x68C1, "ATI Mobility Radeon HD 5650"},
    {0x68D8, 0x68D8, "ATI Radeon HD 5670"},
    {0x7188, 0x7188, "ATI Mobility Radeon X2300"},
    {0x71C0, 0x71C0, "ATI Radeon X1600"},
    {0x9440, 0x9440, "ATI Radeon HD 4870"},
    {0x9441, 0x9441, "ATI Radeon HD 4870 X2"},
    {0x9442, 0x9442, "ATI Radeon HD 4850"},
    {0x9443, 0x9443, "ATI Radeon HD 4850 X2"},
    {0x944C, 0x944C, "ATI Radeon HD 4830"},
    {0x9460, 0x9460, "ATI Radeon HD 4890"},
    {0x9490, 0x9490, "ATI Radeon HD 4670"},
    {0x9498, 0x9498, "ATI Radeon HD 4650"},
    {0x954F, 0x954F, "ATI Radeon HD 4350"},
    {0x9644, 0x9644, "AMD Radeon HD 6410D"},
    {0x9802, 0x9803, "AMD Radeon HD 6310"},
    {0x9804, 0x9805, "AMD Radeon HD 6250"},
    {0x9900, 0x9900, "AMD Radeon HD 7660G"},
    {0x9901, 0x9901, "AMD Radeon HD 7660D"},
    {0x990B, 0x990B, "AMD Radeon HD 8650G"},
    {0x990C, 0x990C, "AMD Radeon HD 8670D"},
    {0x990D, 0x990D, "AMD Radeon HD 8550G"},
    {0x990E, 0x990E, "AMD Radeon HD 8570D"},
    {0x990F, 0x990F, "AMD Radeon HD 8610G"},
};

} // namespace

const ATIDeviceRow* FindATIDevice(uint16_t device) {
    for (const CodenameRow& row : kCodenames)
        for (const IdRange& range : row.ids) {
            if (range.first == 0 && range.last == 0) break;
            if (device >= range.first && device <= range.last) return &row.info;
        }
    return nullptr;
}

const char* FindATIDeviceName(uint16_t device) {
    for (const NameRow& row : kNames)
        if (device >= row.first && device <= row.last) return row.name;
    return nullptr;
}
