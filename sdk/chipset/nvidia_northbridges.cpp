// NVIDIA host bridges: the model of each PCI device id, told apart where
// one bridge serves several chipsets by the functions beside it, a few
// configuration registers, a port probe of the integrated graphics and the
// SMBIOS product names of boards that name their chipset otherwise.
#include "sdk/chipset/nvidia_northbridges.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

#include "sdk/chipset/chipset_interface.h"
#include "sdk/chipset/decoder_fields.h"
#include "sdk/chipset/north_bridge.h"
#include "sdk/core/helpers.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/pci_device.h"
#include "sdk/monitor/monitor_board_facts.h"

using decoder_fields::Bit;
using decoder_fields::ReadFunction;

namespace {

constexpr uint16_t kNVIDIA = 0x10DE;

using Decoder = void (*)(CNorthBridge*, CMemoryInfo*);
using Namer = void (*)(CNorthBridge&);

// One device id: a fixed model text (null keeps "ID%04X") or the rule that
// picks it, whether the revision id is shown, and the decoder.
struct NVIDIABridge {
    uint16_t device;
    const char* model;
    Namer name = nullptr;
    bool revision = false;
    Decoder decode = nullptr;
};

bool Present(uint16_t device) { return decoder_fields::DevicePresent(kNVIDIA, device); }

bool AnyPresent(std::initializer_list<uint16_t> devices) {
    return std::any_of(devices.begin(), devices.end(), Present);
}

using Candidates = std::initializer_list<std::pair<uint16_t, const char*>>;

// The model of the first candidate function present, or null.
const char* FirstPresent(Candidates candidates) {
    for (const auto& [device, model] : candidates)
        if (Present(device)) return model;
    return nullptr;
}

void SetModel(CNorthBridge& bridge, const char* model) {
    if (model) FormatString(bridge.m_szModel, sizeof bridge.m_szModel, "%s", model);
}

void NForcePro(CNorthBridge& bridge) {
    SetModel(bridge, Present(0x00D3) ? "nForce Pro 2050" : Present(0x0051) ? "nForce Pro 2200" : "nForce4");
}

void NForce4IntelEdition(CNorthBridge& bridge) {
    SetModel(bridge, TextContains(BaseboardProductName(), "P5N32-SLI PREMIUM") ? "nForce 590 SLI"
                                                                                 : "nForce4 SLI Intel Edition");
}

void C51(CNorthBridge& bridge) { SetModel(bridge, Present(0x0369) ? "SPP190 (C51XE)" : "SPP100 (C51D)"); }

void MCP55(CNorthBridge& bridge) {
    if (Present(0x0360)) {
        SetModel(bridge, Present(0x02F4) ? "nForce 590 SLI" : "nForce 570 SLI");
        return;
    }
    const char* model = FirstPresent({{0x0362, "nForce 570 Ultra"}, {0x0363, "nForce 550"}, {0x0364, "nForce Pro 3600"}});
    SetModel(bridge, model ? model : "MCP55");
}

// The nForce 700 media processors 0x05B0-0x05BF beside an SPP of the 600 series.
bool Has700SeriesMCP() {
    for (uint16_t device = 0x05B0; device <= 0x05BF; ++device)
        if (Present(device)) return true;
    return false;
}

void NForce680i(CNorthBridge& bridge) {
    SetModel(bridge, Has700SeriesMCP() ? "nForce 780i SLI SPP" : "nForce 680i SLI SPP");
}

void NForce650i(CNorthBridge& bridge) {
    SetModel(bridge, Has700SeriesMCP() ? "nForce 750i SLI SPP" : "nForce 650i SLI SPP");
}

// MCP61: the revision is that of the graphics function 00:02.0.
void MCP61(CNorthBridge& bridge) {
    SetModel(bridge, AnyPresent({0x03D6, 0x03E2}) ? "GeForce 7025" : "MCP61");
    bool read = false;
    const uint32_t classAndRevision = ReadFunction(0, 2, 0, 0x08, &read);
    if (read) FormatString(bridge.m_szRevision, sizeof bridge.m_szRevision, "%X", classAndRevision & 0xFF);
}

void NForce520(CNorthBridge& bridge) {
    if (Present(0x0440)) {
        SetModel(bridge, "nForce 570 LT SLI SPP");
        return;
    }
    SetModel(bridge, "nForce 520");
    bool read = false;
    const uint32_t features = ReadFunction(0, 10, 0, 0x78, &read);
    if (read && !Bit(features, 0)) SetModel(bridge, "nForce 560");
}

// The graphics core of an MCP68 answers at port 0x185C once 0 is written
// to port 0x1800; the value that was at port 0x1800 is written back after
// the probe. Without that value the probe is not made.
const char* MCP68Graphics() {
    constexpr uint32_t kProbePort = 0x1800;
    constexpr uint32_t kSelect = 0x00;
    constexpr uint32_t kAnswer = 0x5C;
    CPortIOSpace ports(kProbePort, 0xFFFFFFFF);
    uint32_t saved = 0;
    if (!ports.ReadDword(kSelect, &saved)) return nullptr;
    ports.WriteDword(kSelect, 0);
    uint32_t answer = 0;
    const bool read = ports.ReadDword(kAnswer, &answer);
    ports.WriteDword(kSelect, saved);
    if (!read) return nullptr;
    if (answer == 0x2AA) return "GeForce 7025";
    if (answer == 0xAAA) return "GeForce 7050 PV";
    return nullptr;
}

void MCP68(CNorthBridge& bridge) {
    SetModel(bridge, "nForce 560");
    bool read = false;
    const uint32_t features = ReadFunction(0, 9, 0, 0x78, &read);
    if (!read) return;
    if (Bit(features, 27)) {
        SetModel(bridge, MCP68Graphics());
        return;
    }
    SetModel(bridge, Bit(features, 30) ? "nForce 520" : "nForce 560");
}

bool ProductNamed(const char* name, std::initializer_list<const char*> parts) {
    return std::any_of(parts.begin(), parts.end(), [name](const char* part) { return TextContains(name, part); });
}

// The nForce 700a/900a SPPs beside an MCP78 south part (0x075D).
void NForce700a(CNorthBridge& bridge) {
    if (Present(0x05B1)) {
        SetModel(bridge, "nForce 780a SLI SPP");
        if (ProductNamed(SystemProductName(), {"MCP82XE", "MS-7612"}) ||
            ProductNamed(BaseboardProductName(), {"M4N82 DELUXE", "M4N98TD EVO"}))
            SetModel(bridge, "nForce 980a SLI SPP");
    } else if (Present(0x084D)) {
        SetModel(bridge, "nForce 750a SLI SPP");
    } else {
        SetModel(bridge, "nForce 740a SLI");
        if (ProductNamed(BaseboardProductName(), {"K10N750SLI-110dB", "MS-7374", "M3N-HD/HDMI"}))
            SetModel(bridge, "nForce 750a SLI SPP");
    }
}

void MCP78(CNorthBridge& bridge) {
    if (Present(0x075D))
        NForce700a(bridge);
    else if (Present(0x075E))
        SetModel(bridge, FirstPresent({{0x0845, "GeForce 8200M"}, {0x0844, "GeForce 9100M-G"}}));
    else if (Present(0x075C)) {
        const char* model = FirstPresent({{0x084F, "GeForce 8100"},
                                          {0x0849, "GeForce 8200"},
                                          {0x0848, "GeForce 8300"},
                                          {0x084A, "nForce 730a"}});
        SetModel(bridge, model ? model : "nForce 720a");
    }
}

// The 790i SPPs are named only beside their MCP55 (0x0360).
constexpr char k790iUltra[] = "nForce 790i Ultra SLI SPP";
constexpr char k790i[] = "nForce 790i SLI SPP";
template <const char* Model>
void WithMCP55(CNorthBridge& bridge) {
    if (Present(0x0360)) SetModel(bridge, Model);
}

void MCP7A(CNorthBridge& bridge) {
    SetModel(bridge, "nForce 730i");
    if (Present(0x0AAC))
        SetModel(bridge, FirstPresent({{0x086A, "GeForce 9400"},
                                       {0x086C, "GeForce 9300"},
                                       {0x087A, "Quadro FX 470"},
                                       {0x0868, "nForce 760i SLI"},
                                       {0x0864, "GeForce 9300"},
                                       {0x0865, "GeForce 9300"},
                                       {0x086D, "GeForce 9200"},
                                       {0x0860, "GeForce 9300"},
                                       {0x0871, "GeForce 9200"}}));
    else if (Present(0x0AAD))
        SetModel(bridge, Present(0x087D) ? "ION" : "nForce 740i SLI");
}

void MCP89(CNorthBridge& bridge) {
    SetModel(bridge, AnyPresent({0x08A0, 0x08A1, 0x08A3, 0x08A4}) ? "GeForce 320M" : "MCP89");
}

constexpr NVIDIABridge kBridges[] = {
    {0x005E, nullptr, NForcePro, true},
    {0x0070, nullptr, NForce4IntelEdition, false, DecodeNForce4IntelEdition},
    {0x0071, nullptr, NForce4IntelEdition, false, DecodeNForce4IntelEdition},
    {0x00D1, "nForce3 150", nullptr, true},
    {0x00E1, "nForce3 250", nullptr, true},
    {0x01A4, "nForce", nullptr, true, DecodeNForce},
    {0x01E0, "nForce2", nullptr, true, DecodeNForce2},
    {0x02F0, "GeForce 6150"},
    {0x02F1, "GeForce 6100"},
    {0x02F3, "GeForce Go 6100"},
    {0x02F4, nullptr, C51},
    {0x02F5, "GeForce 6100"},
    {0x02F7, "GeForce Go 6100"},
    {0x0369, nullptr, MCP55},
    {0x03A1, nullptr, NForce680i, false, DecodeNForce600SPP},
    {0x03A2, "nForce 650i Ultra SPP", nullptr, false, DecodeNForce600SPP},
    {0x03A3, nullptr, NForce650i, false, DecodeNForce600SPP},
    {0x03E2, nullptr, MCP61},
    {0x03EA, nullptr, MCP61},
    {0x0444, nullptr, NForce520},
    {0x053A, "Geforce 7050"},
    {0x0547, nullptr, MCP68},
    {0x0754, nullptr, MCP78},
    {0x07C0, "GeForce 7150", nullptr, false, DecodeGeForce7000MCP},
    {0x07C1, "GeForce 7100", nullptr, false, DecodeGeForce7000MCP},
    {0x07C2, "GeForce 7050", nullptr, false, DecodeGeForce7000MCP},
    {0x07C3, "GeForce 7050", nullptr, false, DecodeGeForce7000MCP},
    {0x07C5, "GeForce 7050", nullptr, false, DecodeGeForce7000MCP},
    {0x0800, nullptr, WithMCP55<k790iUltra>, false, DecodeNForce700SPP},
    {0x0802, nullptr, WithMCP55<k790i>, false, DecodeNForce700SPP},
    {0x0803, "nForce 770i SLI SPP", nullptr, false, DecodeNForce700SPP},
    {0x0861, "GeForce 9400", nullptr, false, DecodeMCP79},
    {0x0862, "GeForce 9400M G", nullptr, false, DecodeMCP79},
    {0x0863, "GeForce 9400M", nullptr, false, DecodeMCP79},
    {0x0866, "GeForce 9400M G", nullptr, false, DecodeMCP79},
    {0x0867, "GeForce 9400", nullptr, false, DecodeMCP79},
    {0x086E, "GeForce 9100M G", nullptr, false, DecodeMCP79},
    {0x086F, "GeForce 8200M G", nullptr, false, DecodeMCP79},
    {0x0870, "GeForce 9400M", nullptr, false, DecodeMCP79},
    {0x087F, "Quadro FX 470M", nullptr, false, DecodeMCP79},
    {0x0A80, nullptr, MCP7A, false, DecodeMCP79},
    {0x0A82, nullptr, MCP7A, false, DecodeMCP79},
    {0x0A86, "MCP79", nullptr, false, DecodeMCP79},
    {0x0D60, nullptr, MCP89, false, DecodeMCP89},
};

static_assert(decoder_fields::SortedByDevice(kBridges), "the NVIDIA bridge rows are sorted by device id");

} // namespace

int IdentifyNVIDIANorthBridge(CChipsetInterface* chipset, CNorthBridge* bridge) {
    if (!chipset || !bridge || !bridge->m_pDevice) return 0;
    FormatString(bridge->m_szVendor, sizeof bridge->m_szVendor, "%s", "NVIDIA");
    const NVIDIABridge* row = decoder_fields::FindByDevice(kBridges, bridge->GetDeviceID());
    if (!row) return 0;
    SetModel(*bridge, row->model);
    if (row->name) row->name(*bridge);
    if (row->revision)
        FormatString(bridge->m_szRevision, sizeof bridge->m_szRevision, "%X",
                     bridge->m_pDevice->m_pCommonHeader->m_byRevisionID);
    if (row->decode && chipset->m_pMemoryInfo) row->decode(bridge, chipset->m_pMemoryInfo);
    return 1;
}
