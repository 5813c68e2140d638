#include "machine/smbus_controller_models.h"

#include "machine/devices/amd_pm_registers.h"
#include "machine/devices/smbus_ali_m1563_host.h"
#include "machine/devices/smbus_ali_m7101_host.h"
#include "machine/devices/smbus_amd756_host.h"
#include "machine/devices/smbus_fbd_spd_engines.h"
#include "machine/devices/smbus_ich_host.h"
#include "machine/devices/smbus_imc_engines.h"
#include "machine/devices/smbus_nvidia_host.h"
#include "machine/devices/smbus_sch_host.h"
#include "machine/devices/smbus_sis_host.h"
#include "machine/devices/smbus_via_ati_host.h"
#include "machine/devices/tm8000_spd_window.h"
#include "machine/simulated_machine.h"
#include "machine/simulated_smbus.h"

#include <algorithm>
#include <cstdio>

namespace vexa::machine {

namespace {

struct Context {
    const SmbusSettings& settings;
    PciAddress function;  // the manifest's or the model's (unused by models without one)
    SmbusSegment& segment;
    SimulatedHardware& hw;
    std::string& error;
};

using Attach = bool (*)(Context&);

enum class FunctionUse { Default, Required, None };

// One row per chip: the model, its PCI function and whether the image
// gives its base ("smbus.base") because no register of the model holds it.
struct Model {
    const char* name;
    FunctionUse functionUse;
    PciAddress function;  // with FunctionUse::Default
    bool takesBase;
    Attach attach;
};

std::string hexText(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

std::string functionName(PciAddress function) {
    char text[16];
    std::snprintf(text, sizeof text, "%02x:%02x.%x", function.bus, function.device, function.function);
    return text;
}

bool inImage(const SimulatedHardware& hw, PciAddress function) {
    const auto functions = hw.pci->functions();
    return std::find(functions.begin(), functions.end(), function) != functions.end();
}

bool needFunction(Context& c) {
    if (inImage(c.hw, c.function)) return true;
    c.error = "the controller's PCI function " + functionName(c.function) + " is not in lspci.txt";
    return false;
}

// A port model at the base a register of its function holds. `segment`:
// the slaves behind it; `optional`: a register without a base places no
// model (the second controller of a function).
template <typename Make>
bool attachAtRegister(Context& c, PciBaseGate::Layout layout, unsigned ports, SmbusSegment segment, Make make,
                      bool optional = false) {
    const unsigned reg = layout.baseRegister;
    auto gate = std::make_unique<PciBaseGate>(*c.hw.pci, c.function, std::move(layout));
    const uint16_t base = gate->registerBase();
    if (base == 0 || base + ports - 1 > 0xFFFF) {
        if (optional) return true;
        c.error = "the base register " + hexText(reg, 2) + " of " + functionName(c.function) + " holds no I/O base";
        return false;
    }
    return c.hw.ports.attach(make(base, std::move(gate), std::move(segment), c.settings.stuckBusy), c.error);
}

template <typename Host>
auto makeHost() {
    return [](uint16_t base, std::unique_ptr<PciBaseGate> gate, SmbusSegment segment, bool stuck) {
        return std::make_unique<Host>(base, std::move(gate), std::move(segment), stuck);
    };
}

// ---- Intel ----

bool attachIch(Context& c) {
    if (!needFunction(c)) return false;
    uint32_t bar = 0;
    for (unsigned i = 0; i < 4; ++i)
        bar |= uint32_t(c.hw.pci->peekByte(c.function, IchSmbusHost::kBaseRegister + i)) << (8 * i);
    const uint32_t base = bar & 0xFFE0;
    if (!(bar & 1) || base == 0 || base > 0xFFFF - IchSmbusHost::kPorts + 1) {
        c.error = "the base register 0x20 of " + functionName(c.function) + " holds no I/O base";
        return false;
    }
    return c.hw.ports.attach(std::make_unique<IchSmbusHost>(*c.hw.pci, c.function, uint16_t(base),
                                                            std::move(c.segment), c.settings.stuckBusy),
                             c.error);
}

bool attachSch(Context& c) {
    if (!needFunction(c)) return false;
    const PciBaseGate::Layout layout{SchSmbusHost::kBaseRegister, SchSmbusHost::kBaseMask, 0, {SchSmbusHost::kEnable}, {}};
    return attachAtRegister(c, layout, SchSmbusHost::kPorts, std::move(c.segment), makeHost<SchSmbusHost>());
}

bool attachFbdEngines(Context& c, FbdSpdEngines::Chip chip) {
    if (!needFunction(c)) return false;
    c.hw.pci->addRegisterBlock(
        std::make_unique<FbdSpdEngines>(chip, c.function, std::move(c.segment), c.settings.stuckBusy));
    return true;
}

bool attachImcEngines(Context& c) {
    if (!needFunction(c)) return false;
    c.hw.pci->addRegisterBlock(
        std::make_unique<ImcSmbusEngines>(c.function, std::move(c.segment), c.settings.stuckBusy));
    return true;
}

// ---- VIA and ATI/AMD ----

bool attachViaAti(Context& c, const char* name, unsigned baseRegister) {
    if (!needFunction(c)) return false;
    const PciBaseGate::Layout layout{baseRegister, ViaAtiSmbusHost::kBaseMask, 0, {}, {ViaAtiSmbusHost::kHostEnable}};
    return attachAtRegister(
        c, layout, ViaAtiSmbusHost::kPorts, std::move(c.segment),
        [name](uint16_t base, std::unique_ptr<PciBaseGate> gate, SmbusSegment segment, bool stuck) {
            return std::make_unique<ViaAtiSmbusHost>(name, base, std::move(gate), std::move(segment), stuck);
        });
}

// A base from "smbus.base": non-zero, aligned, and the ports below 0x10000.
bool checkGivenBase(Context& c, uint16_t alignment, unsigned ports, uint16_t& base) {
    base = c.settings.base.value_or(0);
    if (base != 0 && base % alignment == 0 && base + ports - 1 <= 0xFFFF) return true;
    c.error = "smbus.base: " + hexText(base, 4) + " is no I/O base of this controller (a multiple of " +
              hexText(alignment, 2) + ")";
    return false;
}

bool attachAmdPm(Context& c, AmdPmSmbusGate::Layout layout, const char* name) {
    uint16_t base = 0;
    if (!checkGivenBase(c, AmdPmSmbusGate::alignment(layout), ViaAtiSmbusHost::kPorts, base)) return false;
    auto registers = std::make_unique<AmdPmRegisters>();
    AmdPmSmbusGate::place(*registers, layout, base);
    auto gate = std::make_unique<AmdPmSmbusGate>(*registers, layout);
    // The bus owns both; the gate reads registers that live as long as it.
    return c.hw.ports.attach(std::move(registers), c.error) &&
           c.hw.ports.attach(std::make_unique<ViaAtiSmbusHost>(name, base, std::move(gate), std::move(c.segment),
                                                               c.settings.stuckBusy),
                             c.error);
}

// ---- SiS, ALi, nVidia, AMD-756 ----

bool attachSis96x(Context& c) {
    if (!needFunction(c)) return false;
    const PciBaseGate::Layout layout{0x20, SisSmbusHost::kBaseMask, 0, {PciEnableBits{0x04, 0x01}}, {}};
    return attachAtRegister(
        c, layout, SisSmbusHost::kPorts, std::move(c.segment),
        [](uint16_t base, std::unique_ptr<PciBaseGate> gate, SmbusSegment segment, bool stuck) {
            return std::make_unique<SisSmbusHost>(SisSmbusHost::Variant::Sis96x, base, std::move(gate),
                                                  std::move(segment), stuck);
        });
}

bool attachSis968(Context& c) {
    uint16_t base = 0;
    if (!checkGivenBase(c, 0x20, SisSmbusHost::kPorts, base)) return false;
    return c.hw.ports.attach(std::make_unique<SisSmbusHost>(SisSmbusHost::Variant::Sis968, base,
                                                            std::make_unique<FixedBaseGate>(base),
                                                            std::move(c.segment), c.settings.stuckBusy),
                             c.error);
}

bool attachAliM7101(Context& c) {
    if (!needFunction(c)) return false;
    const PciBaseGate::Layout layout{AliM7101SmbusHost::kBaseRegister, AliM7101SmbusHost::kBaseMask, 0,
                                     {AliM7101SmbusHost::kDecode}, {AliM7101SmbusHost::kHostEnable}};
    return attachAtRegister(c, layout, AliM7101SmbusHost::kPorts, std::move(c.segment),
                            makeHost<AliM7101SmbusHost>());
}

bool attachAliM1563(Context& c) {
    if (!needFunction(c)) return false;
    const PciBaseGate::Layout layout{AliM1563SmbusHost::kBaseRegister, AliM1563SmbusHost::kBaseMask, 0,
                                     {AliM1563SmbusHost::kDecode}, {AliM1563SmbusHost::kHostEnable}};
    return attachAtRegister(c, layout, AliM1563SmbusHost::kPorts, std::move(c.segment),
                            makeHost<AliM1563SmbusHost>());
}

// The two controllers of an nForce SMBus function; the second only when
// its register holds a base.
bool attachNvidia(Context& c, unsigned firstRegister, std::vector<PciEnableBits> decode) {
    if (!needFunction(c)) return false;
    const PciBaseGate::Layout first{firstRegister, NvidiaSmbusHost::kBaseMask, 0, decode, {}};
    const PciBaseGate::Layout second{firstRegister + 4, NvidiaSmbusHost::kBaseMask, 0, decode, {}};
    return attachAtRegister(c, first, NvidiaSmbusHost::kPorts, std::move(c.segment), makeHost<NvidiaSmbusHost>()) &&
           attachAtRegister(c, second, NvidiaSmbusHost::kPorts, SmbusSegment{}, makeHost<NvidiaSmbusHost>(), true);
}

bool attachAmd756(Context& c) {
    if (!needFunction(c)) return false;
    const PciBaseGate::Layout layout{Amd756SmbusHost::kBaseRegister, Amd756SmbusHost::kBaseMask,
                                     Amd756SmbusHost::kBlockOffset, {Amd756SmbusHost::kDecode}, {}};
    return attachAtRegister(c, layout, Amd756SmbusHost::kPorts, std::move(c.segment), makeHost<Amd756SmbusHost>());
}

// ---- Transmeta ----

bool attachTm8000(Context& c) {
    auto segment = std::make_shared<SmbusSegment>(std::move(c.segment));
    for (unsigned slot = 0; slot < Tm8000SpdWindow::kSlots; ++slot) {
        const PciAddress function{0, 0, uint8_t(slot + 1)};
        const auto module = uint8_t(Tm8000SpdWindow::kFirstModule + slot);
        if (!inImage(c.hw, function)) {
            if (!segment->acknowledges(module)) continue;
            c.error = "the module at " + hexText(module, 2) + " shows in " + functionName(function) +
                      ", which is not in lspci.txt";
            return false;
        }
        c.hw.pci->addRegisterBlock(std::make_unique<Tm8000SpdWindow>(slot, segment));
    }
    return true;
}

constexpr PciAddress kNoFunction{};

const Model kModels[] = {
    {"ich", FunctionUse::Default, {0, 0x1F, 3}, false, attachIch},
    {"sch", FunctionUse::Default, {0, 0x1F, 0}, false, attachSch},
    {"via-vt8233", FunctionUse::Default, {0, 0x11, 0}, false,
     [](Context& c) { return attachViaAti(c, "VIA VT8233 SMBus controller", 0xD0); }},
    {"via-vt82c686", FunctionUse::Default, {0, 0x07, 4}, false,
     [](Context& c) { return attachViaAti(c, "VIA VT82C686 SMBus controller", 0x90); }},
    {"ati-sb600", FunctionUse::Default, {0, 0x14, 0}, false,
     [](Context& c) { return attachViaAti(c, "ATI SB600 SMBus controller", 0x90); }},
    {"ati-sb800", FunctionUse::None, kNoFunction, true,
     [](Context& c) { return attachAmdPm(c, AmdPmSmbusGate::Layout::Sb800, "ATI SB800 SMBus controller"); }},
    {"amd-fch", FunctionUse::None, kNoFunction, true,
     [](Context& c) { return attachAmdPm(c, AmdPmSmbusGate::Layout::Fch, "AMD FCH SMBus controller"); }},
    {"sis96x", FunctionUse::Default, {0, 0x02, 1}, false, attachSis96x},
    {"sis968", FunctionUse::None, kNoFunction, true, attachSis968},
    {"ali-m7101", FunctionUse::Default, {0, 0x11, 0}, false, attachAliM7101},
    {"ali-m1563", FunctionUse::Required, kNoFunction, false, attachAliM1563},
    {"nforce2", FunctionUse::Default, {0, 0x01, 1}, false, [](Context& c) { return attachNvidia(c, 0x50, {}); }},
    {"nforce-mcp", FunctionUse::Default, {0, 0x01, 1}, false,
     [](Context& c) { return attachNvidia(c, 0x20, {PciEnableBits{0x04, 0x01}}); }},
    {"amd-756", FunctionUse::Default, {0, 0x07, 3}, false, attachAmd756},
    {"intel-5000", FunctionUse::Default, {0, 0x15, 0}, false,
     [](Context& c) { return attachFbdEngines(c, FbdSpdEngines::Chip::Intel5000); }},
    {"intel-e8500", FunctionUse::Required, kNoFunction, false,
     [](Context& c) { return attachFbdEngines(c, FbdSpdEngines::Chip::E8500); }},
    {"intel-imc", FunctionUse::Required, kNoFunction, false, attachImcEngines},
    {"tm8000", FunctionUse::None, kNoFunction, false, attachTm8000},
};

const Model* findModel(const std::string& name) {
    for (const Model& model : kModels)
        if (name == model.name) return &model;
    return nullptr;
}

} // namespace

std::vector<std::string> smbusControllerModels() {
    std::vector<std::string> names;
    for (const Model& model : kModels) names.emplace_back(model.name);
    return names;
}

bool isSmbusControllerModel(const std::string& name) { return findModel(name) != nullptr; }

bool smbusControllerTakesBase(const std::string& name) {
    const Model* model = findModel(name);
    return model && model->takesBase;
}

bool smbusControllerTakesFunction(const std::string& name) {
    const Model* model = findModel(name);
    return model && model->functionUse != FunctionUse::None;
}

std::optional<PciAddress> defaultSmbusFunction(const std::string& name) {
    const Model* model = findModel(name);
    if (!model || model->functionUse != FunctionUse::Default) return std::nullopt;
    return model->function;
}

bool attachSmbusController(const SmbusSettings& settings, SmbusSegment segment, SimulatedHardware& hw,
                           std::string& error) {
    const Model* model = findModel(settings.controller);
    if (!model) {
        error = "\"" + settings.controller + "\" is not a controller model";
        return false;
    }
    const std::optional<PciAddress> function = settings.function ? settings.function : defaultSmbusFunction(model->name);
    if (model->functionUse == FunctionUse::Required && !function) {
        error = "the " + std::string(model->name) + " model needs \"function\"";
        return false;
    }
    Context context{settings, function.value_or(kNoFunction), segment, hw, error};
    return model->attach(context);
}

} // namespace vexa::machine
