// Intel southbridges: PIIX, ICH and PCH models by device ID, the PIIX4
// variants by revision ID, the X79/C602 by the presence of the C600 SAS
// functions, and the stepping names of the ICH7, ICH8 and the 6- and
// 8-series PCHs.
#include <cstdint>
#include <span>

#include "sdk/chipset/chipset_lookups.h"
#include "sdk/chipset/south_bridge.h"
#include "sdk/chipset/southbridges.h"

namespace {

constexpr uint16_t kIntel = 0x8086;
constexpr uint16_t kPIIX4 = 0x7110;
constexpr uint16_t kX79First = 0x1D40;
constexpr uint16_t kX79Last = 0x1D41;
constexpr uint16_t kC600SasFirst = 0x1D60;
constexpr uint16_t kC600SasLast = 0x1D6F;

struct Stepping {
    uint8_t revision;
    const char* name;
};
constexpr Stepping kICH7Steppings[] = {{1, "A1"}, {2, "B0"}};
constexpr Stepping kICH8Steppings[] = {{2, "B0"}, {3, "B1"}, {4, "B2"}};
constexpr Stepping kCougarPointSteppings[] = {{3, "B1"}, {4, "B2"}, {5, "B3"}};
constexpr Stepping kHM65Steppings[] = {{4, "B2"}};
constexpr Stepping kLynxPointSteppings[] = {{4, "C1"}, {5, "C2"}};

// A range of device IDs, their model and the stepping names of their
// revision IDs.
struct IntelSouthBridge {
    uint16_t first;
    uint16_t last;
    const char* model;
    std::span<const Stepping> steppings = {};
};

constexpr IntelSouthBridge kModels[] = {
    {0x0F1C, 0x0F1C, "Bay Trail LPC Bridge"},
    {0x122E, 0x122E, "82371FB (PIIX)"},
    {0x1C44, 0x1C44, "Z68", kCougarPointSteppings},
    {0x1C46, 0x1C46, "P67", kCougarPointSteppings},
    {0x1C49, 0x1C49, "HM65", kHM65Steppings},
    {0x1C4A, 0x1C4A, "H67", kCougarPointSteppings},
    {0x1C4B, 0x1C4B, "HM67", kCougarPointSteppings},
    {0x1C4C, 0x1C4C, "Q65", kCougarPointSteppings},
    {0x1C4D, 0x1C4D, "QS67", kCougarPointSteppings},
    {0x1C4E, 0x1C4E, "Q67", kCougarPointSteppings},
    {0x1C4F, 0x1C4F, "QM67"},
    {0x1C52, 0x1C52, "C202"},
    {0x1C53, 0x1C53, "P67"},
    {0x1C54, 0x1C54, "C204"},
    {0x1C56, 0x1C56, "C206"},
    {0x1C5C, 0x1C5C, "H61", kCougarPointSteppings},
    {0x1D40, 0x1D41, "X79"},
    {0x1E44, 0x1E44, "Z77"},
    {0x1E46, 0x1E46, "Z75"},
    {0x1E47, 0x1E47, "Q77"},
    {0x1E49, 0x1E49, "P75/B75"},
    {0x1E4A, 0x1E4A, "H77"},
    {0x1E55, 0x1E55, "QM77"},
    {0x1E57, 0x1E57, "HM77"},
    {0x1E58, 0x1E58, "UM77"},
    {0x1E59, 0x1E59, "HM76"},
    {0x1E5D, 0x1E5D, "HM75"},
    {0x1E5E, 0x1E5E, "HM70"},
    {0x1E5F, 0x1E5F, "MM70"},
    {0x2410, 0x2410, "82801AA (ICH)"},
    {0x2420, 0x2420, "82801AB (ICH0)"},
    {0x2440, 0x2440, "82801BA (ICH2)"},
    {0x244C, 0x244C, "82801BA (ICH2-M)"},
    {0x2480, 0x2480, "82801CA (ICH3-S)"},
    {0x248C, 0x248C, "82801CAM (ICH3-M)"},
    {0x24C0, 0x24C0, "82801DB (ICH4)"},
    {0x24CC, 0x24CC, "82801DB (ICH4-M)"},
    {0x24D0, 0x24D0, "82801EB (ICH5)"},
    {0x25A1, 0x25A1, "6300ESB (ICH-S)"},
    {0x2640, 0x2640, "82801FB (ICH6)"},
    {0x2641, 0x2641, "82801FBM (ICH6-M)"},
    {0x2670, 0x2670, "6321ESB"},
    {0x27B0, 0x27B0, "82801GB (ICH7/R)", kICH7Steppings},
    {0x27B8, 0x27B8, "82801GB (ICH7/R)", kICH7Steppings},
    {0x27B9, 0x27B9, "82801GHM (ICH7-M/U)", kICH7Steppings},
    {0x27BC, 0x27BC, "NM10"},
    {0x27BD, 0x27BD, "82801GHM (ICH7-M DH)"},
    {0x2810, 0x2810, "82801HB/HR (ICH8/R)", kICH8Steppings},
    {0x2811, 0x2811, "82801HBM (ICH8-M)", kICH8Steppings},
    {0x2812, 0x2812, "82801HH (ICH8DH)", kICH8Steppings},
    {0x2814, 0x2814, "82801H0 (ICH8D0)", kICH8Steppings},
    {0x2815, 0x2815, "82801HBM (ICH8-ME)", kICH8Steppings},
    {0x2910, 0x2910, "82801IH (ICH9DH)"},
    {0x2911, 0x2911, "82801IM (ICH9-M)"},
    {0x2912, 0x2912, "82801IH (ICH9DH)"},
    {0x2913, 0x2913, "82801IM (ICH9-M DH)"},
    {0x2914, 0x2914, "82801IO (ICH9DO)"},
    {0x2915, 0x2915, "82801IM (ICH9-M D0)"},
    {0x2916, 0x2916, "82801IR (ICH9R)"},
    {0x2917, 0x2917, "82801IM (ICH9-M)"},
    {0x2918, 0x2918, "82801IB (ICH9)"},
    {0x2919, 0x2919, "82801IM (ICH9-M)"},
    {0x3A14, 0x3A14, "82801JB (ICH10)"},
    {0x3A16, 0x3A16, "82801JR (ICH10R)"},
    {0x3A18, 0x3A18, "82801JR (ICH10R)"},
    {0x3A1A, 0x3A1A, "82801JD (ICH10D)"},
    {0x3B00, 0x3B02, "P55"},
    {0x3B03, 0x3B03, "PM55"},
    {0x3B04, 0x3B04, "P57"},
    {0x3B05, 0x3B05, "PM57"},
    {0x3B06, 0x3B06, "H55"},
    {0x3B07, 0x3B07, "QM57"},
    {0x3B08, 0x3B08, "H57"},
    {0x3B09, 0x3B09, "HM55"},
    {0x3B0A, 0x3B0A, "Q57"},
    {0x3B0B, 0x3B0B, "HM57"},
    {0x3B0C, 0x3B0C, "A57"},
    {0x3B0F, 0x3B0F, "QS57"},
    {0x3B12, 0x3B12, "3400"},
    {0x3B14, 0x3B14, "3420"},
    {0x3B16, 0x3B16, "3450"},
    {0x7000, 0x7000, "82371SB (PIIX3)"},
    {0x7110, 0x7110, "82371 (PIIX4)"},
    {0x7198, 0x7198, "82443MX"},
    {0x8119, 0x8119, "SCH LPC Bridge"},
    {0x8C41, 0x8C41, "H8x/P8x", kLynxPointSteppings},
    {0x8C44, 0x8C44, "Z87", kLynxPointSteppings},
    {0x8C4A, 0x8C4A, "H87", kLynxPointSteppings},
    {0x8C4B, 0x8C4B, "HM87", kLynxPointSteppings},
    {0x8C4E, 0x8C4E, "Q87", kLynxPointSteppings},
    {0x8C4F, 0x8C4F, "QM87", kLynxPointSteppings},
    {0x8C56, 0x8C56, "C226", kLynxPointSteppings},
    {0x8C5C, 0x8C5C, "H81", kLynxPointSteppings},
    {0x8CC1, 0x8CC1, "H9x/P9x"},
    {0x8CC4, 0x8CC4, "Z97"},
    {0x8CC6, 0x8CC6, "H97"},
    {0x8CCA, 0x8CCA, "H97"},
    {0x8CCC, 0x8CCC, "H91"},
    {0x8CCE, 0x8CCE, "Q97"},
    {0x8CCF, 0x8CCF, "QM97"},
    {0x8D40, 0x8D4F, "X99"},
    {0x9C45, 0x9C45, "H8x/P8x", kLynxPointSteppings},
    {0x9CC3, 0x9CC3, "Broadwell-U PCH L-P"},
    {0x9CC7, 0x9CC7, "Broadwell-Y PCH"},
    {0x9D41, 0x9D41, "Skylake-Y PCH"},
};

const IntelSouthBridge* FindModel(uint16_t device) {
    for (const IntelSouthBridge& entry : kModels)
        if (device >= entry.first && device <= entry.last) return &entry;
    return nullptr;
}

// The PIIX4's variants by revision ID.
void NamePIIX4Variant(CSouthBridge* bridge, uint8_t revision) {
    if (revision <= 1) SetSouthBridgeModel(bridge, "82371AB (PIIX4)");
    else if (revision == 2) SetSouthBridgeModel(bridge, "82371EB/MB (PIIX4E/M)");
}

} // namespace

void IdentifyIntelSouthBridge(CChipsetInterface*, CSouthBridge* bridge) {
    SetSouthBridgeVendor(bridge, "Intel");
    const uint16_t device = SouthBridgeDeviceID(bridge);
    const IntelSouthBridge* entry = FindModel(device);
    if (!entry) return;
    const uint8_t revision = SouthBridgeRevisionID(bridge);
    SetSouthBridgeModel(bridge, entry->model);
    if (device == kPIIX4) NamePIIX4Variant(bridge, revision);
    if (device >= kX79First && device <= kX79Last && AnyPCIDeviceInRange(kIntel, kC600SasFirst, kC600SasLast))
        SetSouthBridgeModel(bridge, "C602");
    for (const Stepping& stepping : entry->steppings)
        if (stepping.revision == revision) SetSouthBridgeRevision(bridge, stepping.name);
}
