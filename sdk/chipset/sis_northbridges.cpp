// SiS host bridges: the model of each PCI device id and its decoder; the
// 648, 655 and 760 name later members (and the 655 its steppings) by
// revision id.
#include "sdk/chipset/sis_northbridges.h"

#include "sdk/chipset/chipset_interface.h"
#include "sdk/chipset/decoder_fields.h"
#include "sdk/chipset/north_bridge.h"
#include "sdk/core/helpers.h"
#include "sdk/hw/pci_device.h"

namespace {

using Decoder = void (*)(CNorthBridge*, CMemoryInfo*);

// One device id: the model, the rule that renames it by revision id (if
// any), and the decoder (if any).
struct SiSBridge {
    uint16_t device;
    const char* model;
    void (*byRevision)(CNorthBridge&, uint8_t revision) = nullptr;
    Decoder decode = nullptr;
};

void SetModel(CNorthBridge& bridge, const char* model) {
    FormatString(bridge.m_szModel, sizeof bridge.m_szModel, "%s", model);
}

void SiS648(CNorthBridge& bridge, uint8_t revision) {
    if (revision >= 0x51) SetModel(bridge, "648FX");
}

void SiS655(CNorthBridge& bridge, uint8_t revision) {
    switch (revision) {
    case 0x00: FormatString(bridge.m_szRevision, sizeof bridge.m_szRevision, "%s", "A0"); break;
    case 0x10: FormatString(bridge.m_szRevision, sizeof bridge.m_szRevision, "%s", "B0"); break;
    case 0x50: SetModel(bridge, "655FX"); break;
    case 0x60: SetModel(bridge, "655TX"); break;
    default: break;
    }
}

void SiS760(CNorthBridge& bridge, uint8_t revision) {
    if (revision == 3) SetModel(bridge, "760GX");
}

constexpr SiSBridge kBridges[] = {
    {0x0496, "85C496"},
    {0x0530, "530"},
    {0x0540, "540"},
    {0x0620, "620"},
    {0x0630, "630"},
    {0x0635, "635"},
    {0x0640, "640"},
    {0x0645, "645", nullptr, DecodeSiS645},
    {0x0646, "645DX", nullptr, DecodeSiS645},
    {0x0648, "648", SiS648, DecodeSiS648},
    {0x0649, "649", nullptr, DecodeSiS649},
    {0x0650, "650", nullptr, DecodeSiS645},
    {0x0651, "651", nullptr, DecodeSiS645},
    {0x0655, "655", SiS655, DecodeSiS648},
    {0x0656, "656", nullptr, DecodeSiS649},
    {0x0658, "R658"},
    {0x0659, "R659"},
    {0x0661, "661FX"},
    {0x0662, "662", nullptr, DecodeSiS662},
    {0x0671, "671/FX/DX/MX", nullptr, DecodeSiS671},
    {0x0730, "730"},
    {0x0735, "735", nullptr, DecodeSiS735},
    {0x0740, "740", nullptr, DecodeSiS735},
    {0x0741, "741GX", nullptr, DecodeSiS735},
    {0x0746, "746FX"},
    {0x0748, "748", nullptr, DecodeSiS735},
    {0x0755, "755/755FX"},
    {0x0756, "756"},
    {0x0760, "760", SiS760},
    {0x0761, "761GX"},
    {0x5597, "5597"},
};

static_assert(decoder_fields::SortedByDevice(kBridges), "the SiS bridge rows are sorted by device id");

} // namespace

int IdentifySiSNorthBridge(CChipsetInterface* chipset, CNorthBridge* bridge) {
    if (!chipset || !bridge || !bridge->m_pDevice) return 0;
    FormatString(bridge->m_szVendor, sizeof bridge->m_szVendor, "%s", "SiS");
    const SiSBridge* row = decoder_fields::FindByDevice(kBridges, bridge->GetDeviceID());
    if (!row) return 0;
    SetModel(*bridge, row->model);
    if (row->byRevision) row->byRevision(*bridge, bridge->m_pDevice->m_pCommonHeader->m_byRevisionID);
    if (row->decode && chipset->m_pMemoryInfo) row->decode(bridge, chipset->m_pMemoryInfo);
    return 1;
}
