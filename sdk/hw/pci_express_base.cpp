// Where the PCI Express configuration window (ECAM) lies, read from the
// registers of the host bridges and memory controllers that hold its base:
// one row per device ID, with the register and the way its value encodes
// the base. Every matching row that yields a base overrides the one before,
// so the last match in device-list order wins. All arithmetic is 32-bit:
// bits shifted past bit 31 are lost, as the hardware's registers lose them.
#include <optional>

#include "sdk/core/sdk.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/pci_interface.h"
#include "sdk/hw/register_space_pci.h"

namespace {

using Base = std::optional<uint32_t>;

// How a register's value gives the base.
enum class Decode : uint8_t {
    IntelPciexbar,    // bit 0 enable, bits 2:1 size: 256, 128 or 64 MB windows
    IntelNibble,      // value >> 12 gives bits 31:28
    IntelEnabledNibble,  // bit 0 enable, then as IntelNibble
    IntelWord,        // bits 15:0 give bits 31:16
    IntelSocket,      // bits 31:26; 0 and all ones mean none
    LowNibble,        // bits 3:0 give bits 31:28 (VIA, SiS)
    NvidiaShift3,     // bits 10:3 give bits 35:28
    NvidiaByte,       // bits 7:0 give bits 35:28
    Nvidia10Bits,     // bits 9:0 give bits 37:28
    NvidiaSized,      // bits 1:0 choose the field and its shift
    NvidiaMcp,        // bits 7:0 give bits 32:25, even when 0
    AtiTop4,          // bits 31:28
    AtiTop11,         // bits 31:21
};

struct EcamRule {
    uint16_t vendor;
    uint16_t device;
    uint8_t reg;
    Decode decode;
    bool functionZeroOnly = false;
    bool atDevice5 = false;  // the register is bus 0, device 5, function 0's
};

constexpr uint16_t kIntel = 0x8086, kVia = 0x1106, kSis = 0x1039, kNvidia = 0x10DE, kAti = 0x1002;

constexpr EcamRule kRules[] = {
    // Intel host bridges with PCIEXBAR at 0x60
    {kIntel, 0x0100, 0x60, Decode::IntelPciexbar},
    {kIntel, 0x0C00, 0x60, Decode::IntelPciexbar},
    {kIntel, 0x1604, 0x60, Decode::IntelPciexbar},
    {kIntel, 0x2980, 0x60, Decode::IntelPciexbar},
    {kIntel, 0x2990, 0x60, Decode::IntelPciexbar},
    {kIntel, 0x29A0, 0x60, Decode::IntelPciexbar},
    {kIntel, 0x29B0, 0x60, Decode::IntelPciexbar},
    {kIntel, 0x29C0, 0x60, Decode::IntelPciexbar},
    {kIntel, 0x29D0, 0x60, Decode::IntelPciexbar},
    {kIntel, 0x29E0, 0x60, Decode::IntelPciexbar},
    {kIntel, 0x2A00, 0x60, Decode::IntelPciexbar},
    {kIntel, 0x2A40, 0x60, Decode::IntelPciexbar},
    {kIntel, 0x2E20, 0x60, Decode::IntelPciexbar},
    // ... and at 0x48
    {kIntel, 0x2580, 0x48, Decode::IntelPciexbar},
    {kIntel, 0x2584, 0x48, Decode::IntelPciexbar},
    {kIntel, 0x2590, 0x48, Decode::IntelPciexbar},
    {kIntel, 0x2770, 0x48, Decode::IntelPciexbar},
    {kIntel, 0x2774, 0x48, Decode::IntelPciexbar},
    {kIntel, 0x277C, 0x48, Decode::IntelPciexbar},
    {kIntel, 0x27A0, 0x48, Decode::IntelPciexbar},
    // Intel server memory controller hubs
    {kIntel, 0x25F0, 0x64, Decode::IntelNibble, true},
    {kIntel, 0x360C, 0x64, Decode::IntelEnabledNibble, true},
    {kIntel, 0x4030, 0x64, Decode::IntelEnabledNibble, true},
    {kIntel, 0x3590, 0xCE, Decode::IntelWord},
    {kIntel, 0x3592, 0xCE, Decode::IntelWord},
    {kIntel, 0x359E, 0xCE, Decode::IntelWord},
    // Intel server processors: the register of their device 5
    {kIntel, 0x0E00, 0x84, Decode::IntelSocket, false, true},
    {kIntel, 0x3C00, 0x84, Decode::IntelSocket, false, true},
    {kIntel, 0x2F00, 0x90, Decode::IntelSocket, false, true},
    // VIA
    {kVia, 0x324B, 0x41, Decode::LowNibble},
    {kVia, 0x5238, 0x61, Decode::LowNibble},
    {kVia, 0x5308, 0x61, Decode::LowNibble},
    {kVia, 0x5327, 0x61, Decode::LowNibble},
    {kVia, 0x5351, 0x61, Decode::LowNibble},
    {kVia, 0x5364, 0x61, Decode::LowNibble},
    // SiS
    {kSis, 0x0649, 0xE0, Decode::LowNibble},
    {kSis, 0x0650, 0xE0, Decode::LowNibble},
    {kSis, 0x0656, 0xE0, Decode::LowNibble},
    // NVIDIA
    {kNvidia, 0x02F0, 0x90, Decode::NvidiaShift3},
    {kNvidia, 0x02F1, 0x90, Decode::NvidiaShift3},
    {kNvidia, 0x02F3, 0x90, Decode::NvidiaShift3},
    {kNvidia, 0x02F4, 0x90, Decode::NvidiaShift3},
    {kNvidia, 0x02F5, 0x90, Decode::NvidiaShift3},
    {kNvidia, 0x02F7, 0x90, Decode::NvidiaShift3},
    {kNvidia, 0x0369, 0x90, Decode::NvidiaShift3},
    {kNvidia, 0x0444, 0x90, Decode::NvidiaShift3},
    {kNvidia, 0x03A1, 0x88, Decode::NvidiaShift3},
    {kNvidia, 0x03A2, 0x88, Decode::NvidiaShift3},
    {kNvidia, 0x03A3, 0x88, Decode::NvidiaShift3},
    {kNvidia, 0x07C0, 0x88, Decode::NvidiaShift3},
    {kNvidia, 0x0070, 0x88, Decode::NvidiaByte},
    {kNvidia, 0x0071, 0x88, Decode::NvidiaByte},
    {kNvidia, 0x005E, 0x90, Decode::Nvidia10Bits},
    {kNvidia, 0x0A80, 0x88, Decode::NvidiaSized},
    {kNvidia, 0x0A82, 0x88, Decode::NvidiaSized},
    {kNvidia, 0x0D60, 0x64, Decode::NvidiaMcp},
    // ATI
    {kAti, 0x5950, 0x1C, Decode::AtiTop4},
    {kAti, 0x5951, 0x1C, Decode::AtiTop4},
    {kAti, 0x5A31, 0x1C, Decode::AtiTop4},
    {kAti, 0x5A33, 0x1C, Decode::AtiTop4},
    {kAti, 0x7910, 0x1C, Decode::AtiTop4},
    {kAti, 0x5952, 0x1C, Decode::AtiTop11},
    {kAti, 0x5953, 0x1C, Decode::AtiTop11},
    {kAti, 0x5956, 0x1C, Decode::AtiTop11},
    {kAti, 0x5957, 0x1C, Decode::AtiTop11},
    {kAti, 0x5958, 0x1C, Decode::AtiTop11},
    {kAti, 0x7930, 0x1C, Decode::AtiTop11},
    {kAti, 0x7931, 0x1C, Decode::AtiTop11},
};

Base NonZero(uint32_t base) { return base ? Base(base) : std::nullopt; }

Base DecodeBase(Decode decode, uint32_t value) {
    switch (decode) {
    case Decode::IntelPciexbar: {
        if (!(value & 1)) return std::nullopt;
        constexpr uint32_t kMasks[] = {0xF0000000, 0xF8000000, 0xFC000000};
        const uint32_t size = (value >> 1) & 3;
        return size < 3 ? Base(value & kMasks[size]) : std::nullopt;
    }
    case Decode::IntelEnabledNibble:
        if (!(value & 1)) return std::nullopt;
        [[fallthrough]];
    case Decode::IntelNibble: {
        const uint32_t n = value >> 12;
        return n ? Base(n << 28) : std::nullopt;
    }
    case Decode::IntelWord: {
        const uint32_t word = value & 0xFFFF;
        return word ? Base(word << 16) : std::nullopt;
    }
    case Decode::IntelSocket:
        return value == 0 || value == 0xFFFFFFFF ? std::nullopt : Base(value & 0xFC000000);
    case Decode::LowNibble: return NonZero((value & 0xF) << 28);
    case Decode::NvidiaShift3: {
        const uint32_t n = (value >> 3) & 0xFF;
        return n ? Base(n << 28) : std::nullopt;
    }
    case Decode::NvidiaByte: {
        const uint32_t n = value & 0xFF;
        return n ? Base(n << 28) : std::nullopt;
    }
    case Decode::Nvidia10Bits: {
        const uint32_t n = value & 0x3FF;
        return n ? Base(n << 28) : std::nullopt;
    }
    case Decode::NvidiaSized:
        if (value == 0) return std::nullopt;
        switch (value & 3) {
        case 0: return ((value >> 3) & 0xFF) << 28;
        case 1: return ((value >> 2) & 0xFF) << 27;
        case 2: return ((value >> 1) & 0xFF) << 26;
        default: return (value & 0xFF) << 25;
        }
    case Decode::NvidiaMcp: return (value & 0xFF) << 25;
    case Decode::AtiTop4: return NonZero(value & 0xF0000000);
    case Decode::AtiTop11: return NonZero(value & 0xFFE00000);
    }
    return std::nullopt;
}

const EcamRule* FindRule(const CPCIDevice* device) {
    for (const EcamRule& rule : kRules)
        if (rule.vendor == device->GetVendorID() && rule.device == device->GetDeviceID() &&
            (!rule.functionZeroOnly || device->m_byFunction == 0))
            return &rule;
    return nullptr;
}

} // namespace

void CPCIInterface::DetectExpressBase() {
    auto* space = static_cast<CPCIRegisterSpace*>(GetConfigSpace());
    if (GetExpressSpace() || !space) return;
    Base base;
    BRENIKSDK* sdk = GetSDK();
    CTListIterator<CDevice> it(sdk->m_pDevices);
    for (CDevice* listed = it.GetFirst(); listed; listed = it.GetNext()) {
        if (!(listed->m_dwKind & DEVICE_PCI)) continue;
        const auto* device = static_cast<CPCIDevice*>(listed);
        const EcamRule* rule = FindRule(device);
        if (!rule) continue;
        uint32_t value = 0xFFFFFFFF;
        const bool read = rule->atDevice5 ? space->ReadConfigDword(0, 5, 0, rule->reg, &value)
                                          : space->ReadConfigDword(device->m_byBus, device->m_byDevice,
                                                                   device->m_byFunction, rule->reg, &value);
        if (!read) continue;
        if (const Base found = DecodeBase(rule->decode, value)) base = found;
    }
    if (!base) return;
    auto* window = new CMemoryIOSpace(0, *base, CPCIDevice::kExpressSpace);
    sdk->m_pIOSpaces->AddTail(window);
    sdk->m_pRegisterSpaces->AddTail(new CPCIExpressRegisterSpace(window));
}
