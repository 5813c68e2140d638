// NVIDIA southbridges (MCPs): one LPC device ID covers several products,
// which the other NVIDIA functions present (SLI bridges, the integrated
// graphics), a strap register of another function or the board's SMBIOS
// product name tell apart. Rules are tried in order; the first that holds
// names the model.
#include <cstdint>

#include "sdk/chipset/chipset_lookups.h"
#include "sdk/chipset/south_bridge.h"
#include "sdk/chipset/southbridges.h"

namespace {

constexpr uint16_t kNVIDIA = 0x10DE;
constexpr uint32_t kNForce2TDword = 0x006B10DE;  // 00:05.0 of the nForce2 MCP-T
constexpr uint32_t kMCPStrapRegister = 0x78;
constexpr uint32_t kStrap630a = 1u << 27;
constexpr uint32_t kStrap520 = 1u << 30;

bool Present(uint16_t device) { return PCIDeviceCount(kNVIDIA, device) > 0; }
bool AnySLIBridge() { return AnyPCIDeviceInRange(kNVIDIA, 0x05B0, 0x05BF); }

const char* NameNForce2(CSouthBridge*) {
    uint32_t value = 0;
    return ReadPCIConfigAt(0, 5, 0, 0, &value) && value == kNForce2TDword ? "nForce2 MCP-T" : "nForce2 MCP";
}

const char* NameMCP51(CSouthBridge*) {
    if (Present(0x03A3)) return AnySLIBridge() ? "nForce 750i SLI MCP" : "nForce 650i SLI MCP";
    if (Present(0x03A2)) return "nForce 650i Ultra MCP";
    return "nForce 410/430 MCP";
}

const char* NameMCP55(CSouthBridge*) {
    const char* model = "nForce 570 SLI";
    if (Present(0x03A1)) model = AnySLIBridge() ? "nForce 780i SLI MCP" : "nForce 680i SLI MCP";
    else if (Present(0x0800)) model = "nForce 790i Ultra SLI MCP";
    else if (Present(0x0802)) model = "nForce 790i SLI MCP";
    else if (Present(0x0803)) model = "nForce 770i SLI MCP";
    if (SystemProductContains({"DXG061"}) ||
        BaseboardProductContains({"P5N32-SLI PREMIUM", "M2N32 WS Professional", "M2N32-SLI DELUXE"}))
        model = "nForce 590 SLI";
    return model;
}

const char* NameMCP61(CSouthBridge*) { return Present(0x03D6) || Present(0x03E2) ? "nForce 630a" : "MCP61"; }

const char* NameMCP65(CSouthBridge*) {
    uint32_t value = 0;
    return ReadPCIConfigAt(0, 10, 0, kMCPStrapRegister, &value) && !(value & 1) ? "nForce 560" : "nForce 520";
}

const char* NameMCP67(CSouthBridge*) {
    uint32_t value = 0;
    if (!ReadPCIConfigAt(0, 9, 0, kMCPStrapRegister, &value)) return "nForce 560";
    if (value & kStrap630a) return "nForce 630a";
    if (value & kStrap520) return "nForce 520";
    return "nForce 560";
}

const char* NameMCP78(CSouthBridge*) {
    if (Present(0x05B1))
        return SystemProductContains({"MCP82XE", "MS-7612"}) || BaseboardProductContains({"M4N82 DELUXE", "M4N98TD EVO"})
                   ? "nForce 980a SLI MCP"
                   : "nForce 780a SLI MCP";
    if (Present(0x084D)) return "nForce 750a SLI MCP";
    return BaseboardProductContains({"K10N750SLI-110dB", "MS-7374", "M3N-HD/HDMI"}) ? "nForce 750a SLI MCP"
                                                                                      : "nForce 740a SLI MCP";
}

const char* NameMCP73(CSouthBridge*) {
    if (Present(0x07C5)) return "nForce 620i";
    if (Present(0x07C3)) return "nForce 610i";
    return "nForce 630i";
}

// The MCP79's integrated graphics names the product.
const char* NameMCP79(CSouthBridge*) {
    struct Graphics {
        uint16_t device;
        const char* model;
    };
    static constexpr Graphics kGraphics[] = {
        {0x086A, "GeForce 9400"}, {0x086C, "GeForce 9300"},       {0x087A, "Quadro FX 470"},
        {0x0868, "nForce 760i SLI MCP"}, {0x0864, "GeForce 9300"}, {0x0865, "GeForce 9300"},
        {0x086D, "GeForce 9200"}, {0x0860, "GeForce 9300"},       {0x0871, "GeForce 9200"}};
    for (const Graphics& entry : kGraphics)
        if (Present(entry.device)) return entry.model;
    return "nForce 730i";
}

const char* NameMCP79Ion(CSouthBridge*) { return Present(0x087D) ? "ION" : "nForce 740i SLI"; }

const char* NameMCP89(CSouthBridge*) {
    return AnyPCIDevice(kNVIDIA, {0x08A0, 0x08A1, 0x08A3, 0x08A4}) ? "GeForce 320M" : "MCP89";
}

// Device IDs and their model, fixed or by rule.
struct NVIDIASouthBridge {
    uint16_t first;
    uint16_t last;
    const char* model;
    const char* (*rule)(CSouthBridge*) = nullptr;
};

constexpr NVIDIASouthBridge kModels[] = {
    {0x0030, 0x0030, "nForce4 MCP"},
    {0x0050, 0x0050, "nForce4 MCP"},
    {0x0051, 0x0051, "nForce Pro 2200"},
    {0x0060, 0x0060, nullptr, NameNForce2},
    {0x0080, 0x0080, nullptr, NameNForce2},
    {0x00D0, 0x00D0, "nForce3 MCP"},
    {0x00E0, 0x00E0, "nForce3 MCP"},
    {0x00D3, 0x00D3, "nForce Pro 2050"},
    {0x01B2, 0x01B2, "nForce MCP"},
    {0x0260, 0x0263, nullptr, NameMCP51},
    {0x0360, 0x0360, nullptr, NameMCP55},
    {0x0361, 0x0361, "nForce Pro 3050"},
    {0x0362, 0x0362, "nForce 570 Ultra"},
    {0x0363, 0x0363, "nForce 550"},
    {0x0364, 0x0364, "nForce Pro 3600"},
    {0x0365, 0x0366, "MCP55"},
    {0x0367, 0x0367, "IO55"},
    {0x03E0, 0x03E1, nullptr, NameMCP61},
    {0x0440, 0x0440, "nForce 570 LT SLI MCP"},
    {0x0441, 0x0441, nullptr, NameMCP65},
    {0x0548, 0x0548, nullptr, NameMCP67},
    {0x075C, 0x075C, "nForce 720a MCP"},
    {0x075D, 0x075D, nullptr, NameMCP78},
    {0x07D7, 0x07D7, nullptr, NameMCP73},
    {0x0AAC, 0x0AAC, nullptr, NameMCP79},
    {0x0AAE, 0x0AAE, nullptr, NameMCP79},
    {0x0AAD, 0x0AAD, nullptr, NameMCP79Ion},
    {0x0D60, 0x0D60, nullptr, NameMCP89},
    {0x0D80, 0x0D80, nullptr, NameMCP89},
};

} // namespace

void IdentifyNVIDIASouthBridge(CChipsetInterface*, CSouthBridge* bridge) {
    SetSouthBridgeVendor(bridge, "NVIDIA");
    const uint16_t device = SouthBridgeDeviceID(bridge);
    for (const NVIDIASouthBridge& entry : kModels) {
        if (device < entry.first || device > entry.last) continue;
        SetSouthBridgeModel(bridge, entry.rule ? entry.rule(bridge) : entry.model);
        return;
    }
}
