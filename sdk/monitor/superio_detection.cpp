// Finds the super-I/O chips on the configuration ports 0x2E and 0x4E: each
// vendor's key opens the configuration registers, the global registers give
// the chip's identity and the hardware monitor's logical device gives the
// base of its own index/data pair. Every chip found becomes a CLPCIO in the
// root's device list. Each detector selects the logical device it reads and
// puts the selection back, and leaves the configuration mode before it
// returns, so every chip stays as it was found.
#include <iterator>
#include <memory>

#include "sdk/core/sdk.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/register_space_lpc.h"
#include "sdk/hw/register_space_pmio.h"
#include "sdk/monitor/config_mode.h"
#include "sdk/monitor/hardware_monitor_interface.h"
#include "sdk/monitor/lpcio.h"
#include "sdk/monitor/monitor_board_facts.h"

namespace {

constexpr uint8_t kDeviceSelect = CConfigMode::kLogicalDeviceSelect;
constexpr uint8_t kActivate = 0x30;
constexpr uint32_t kUnbounded = 0xFFFFFFFF;

// A configuration register, 0 when it cannot be read (an unreadable base
// or activate bit must not pass for a device that is there).
uint8_t ReadOrZero(CConfigMode& mode, uint8_t reg) {
    uint8_t value = 0;
    return mode.ReadRegister(reg, &value) ? value : 0;
}

// The base address in the pair of registers starting at `high`.
uint32_t ReadBase(CConfigMode& mode, uint8_t high, uint8_t low) {
    return uint32_t(ReadOrZero(mode, high)) << 8 | ReadOrZero(mode, low);
}

bool DeviceActive(CConfigMode& mode) { return (ReadOrZero(mode, kActivate) & 1) != 0; }

// Selects a logical device for the length of one detector and puts the
// selection back (when it could be read) before the mode is left.
class DeviceSelection {
public:
    explicit DeviceSelection(CConfigMode& mode) : mode_(mode) {
        known_ = mode.ReadRegister(kDeviceSelect, &saved_) != 0;
    }
    void Select(uint8_t device) { mode_.WriteRegister(kDeviceSelect, device); }
    void Restore() {
        if (known_) mode_.WriteRegister(kDeviceSelect, saved_);
    }

private:
    CConfigMode& mode_;
    uint8_t saved_ = 0xFF;
    bool known_ = false;
};

// The shared LPC space at `base`, made (with its ports) when missing.
CRegisterSpace* LPCSpaceAt(uint32_t base, uint32_t indexOffset, uint32_t dataOffset) {
    BRENIKSDK* sdk = GetSDK();
    if (CRegisterSpace* space = sdk->FindRegisterSpace(0, base, REGSPACE_LPC)) return space;
    auto* ports = new CPortIOSpace(base, kUnbounded);
    auto* space = new CLPCRegisterSpace(ports, indexOffset, dataOffset);
    sdk->m_pIOSpaces->AddTail(ports);
    sdk->m_pRegisterSpaces->AddTail(space);
    return space;
}

// A new power-management block at `base` with its ports, in the root's lists.
CRegisterSpace* NewPMIOSpace(uint32_t base) {
    BRENIKSDK* sdk = GetSDK();
    auto* ports = new CPortIOSpace(base, kUnbounded);
    auto* space = new PMIO_RegisterSpace(ports);
    sdk->m_pIOSpaces->AddTail(ports);
    sdk->m_pRegisterSpaces->AddTail(space);
    return space;
}

// The shared banked block at `base` (bank register at offset 9), made when missing.
CRegisterSpace* BankedSpaceAt(uint32_t base) {
    BRENIKSDK* sdk = GetSDK();
    if (CRegisterSpace* space = sdk->FindRegisterSpace(0, base, REGSPACE_BANKED_PMIO)) return space;
    auto* ports = new CPortIOSpace(base, kUnbounded);
    auto* space = new Banked_PMIO_RegisterSpace(ports, 9);
    sdk->m_pIOSpaces->AddTail(ports);
    sdk->m_pRegisterSpaces->AddTail(space);
    return space;
}

CLPCIO* NewChip(uint32_t vendor, uint32_t chipId, uint32_t revision, CRegisterSpace* monitorSpace) {
    auto* chip = new CLPCIO;
    chip->m_dwVendor = vendor;
    chip->m_dwChipId = chipId;
    chip->m_dwRevision = revision;
    chip->m_pMonitorSpace = monitorSpace;
    chip->IdentifyChip();
    GetSDK()->m_pDevices->AddTail(chip);
    return chip;
}

// Ends a detector: the selection back, the mode left, and the mode handed
// to the chip that was made (deleted when there is none).
int Finish(std::unique_ptr<CConfigMode> mode, DeviceSelection& selection, CLPCIO* chip) {
    selection.Restore();
    mode->Exit();
    if (chip) chip->m_pConfigMode = mode.release();
    return chip ? 1 : 0;
}

// Leaves whatever configuration mode a chip was left in: Winbond's 0xAA,
// then ITE's return-to-wait-for-key bit.
void ReturnToRunState(CLPCRegisterSpace* space) {
    space->WriteByte(space->m_dwIndexOffset, 0xAA);
    uint8_t control = 0xFF;
    space->WriteByte(space->m_dwIndexOffset, 0x02);
    space->ReadByte(space->m_dwDataOffset, &control);
    space->WriteByte(space->m_dwIndexOffset, 0x02);
    space->WriteByte(space->m_dwDataOffset, control | 0x02);
}

bool IsNationalSemiconductorId(uint8_t id) {
    for (uint8_t known : {0xE0, 0xE1, 0xE4, 0xE5, 0xE8, 0xE9, 0xEC, 0xEE, 0xF0, 0xF1, 0xF2})
        if (id == known) return true;
    return false;
}

} // namespace

int CHardwareMonitorInterface::DetectSuperIO() {
    const uint32_t boardHash = MonitorBoardHash();
    if (boardHash == 0x4EA8A5 || boardHash == 0x60A938 ||
        TextHashIsOneOf(SystemProductName(), {0x996F7000, 0xB44A5478, 0x7DA251C0}))
        return 0;
    BRENIKSDK* sdk = GetSDK();
    // Runs `detect` on the configuration space of a port, made for the run
    // when missing and kept only when something answered.
    const auto atPort = [sdk](uint32_t port, auto detect) {
        auto* space = static_cast<CLPCRegisterSpace*>(sdk->FindRegisterSpace(0, port, REGSPACE_LPC));
        CPortIOSpace* ports = nullptr;
        if (!space) {
            ports = new CPortIOSpace(port, kUnbounded);
            space = new CLPCRegisterSpace(ports, 0, 1);
        }
        const int result = detect(space);
        if (ports && result) {
            sdk->m_pRegisterSpaces->AddTail(space);
            sdk->m_pIOSpaces->AddTail(ports);
        } else if (ports) {
            delete space;
            delete ports;
        }
        return result;
    };
    const auto everyVendor = [this](uint8_t port) {
        return [this, port](CLPCRegisterSpace* space) {
            ReturnToRunState(space);
            int result = DetectNSLPCIO(space);
            if (!result) result = DetectSMSCLPCIO(space);
            if (!result) result = DetectFintekLPCIO(space);
            if (!result) result = DetectWinbondLPCIO(space);
            if (!result) result = DetectITELPCIO(space, port);
            return result;
        };
    };
    const int result = atPort(0x2E, everyVendor(0x2E));
    if (!result) return atPort(0x4E, everyVendor(0x4E));
    // Two boards carry a second (Fintek) chip at 0x4E.
    if (boardHash == 0x31CDB24 || boardHash == 0x4FC5613E) {
        atPort(0x4E, [this](CLPCRegisterSpace* space) {
            space->WriteByte(space->m_dwIndexOffset, 0xAA);
            return DetectFintekLPCIO(space);
        });
    }
    return result;
}

int CHardwareMonitorInterface::DetectNSLPCIO(CLPCRegisterSpace* configSpace) {
    auto mode = std::make_unique<NS_LPCIO_ConfigMode>(configSpace);
    if (!mode->Enter()) return 0;
    uint8_t id = 0;
    if (!mode->ReadRegister(0x20, &id) || !IsNationalSemiconductorId(id)) {
        mode->Exit();
        return 0;
    }
    uint8_t revision = 0;
    const uint32_t revisionCode = mode->ReadRegister(0x27, &revision) ? revision : CLPCIO::kNotSet;
    DeviceSelection selection(*mode);
    CLPCIO* chip = NewChip(CHIP_VENDOR_NATIONAL_SEMICONDUCTOR, id, revisionCode, nullptr);
    // The PC87366 keeps its monitor in three banked blocks.
    if (id == 0xE9) {
        CRegisterSpace** spaces[] = {&chip->m_pMonitorSpace, &chip->m_pSecondSpace, &chip->m_pThirdSpace};
        const uint8_t devices[] = {0x09, 0x0D, 0x0E};
        for (size_t i = 0; i < std::size(devices); ++i) {
            selection.Select(devices[i]);
            const uint32_t base = ReadBase(*mode, 0x60, 0x61);
            if (base && DeviceActive(*mode)) *spaces[i] = BankedSpaceAt(base);
        }
    }
    Finish(std::move(mode), selection, chip);
    return 1;
}

int CHardwareMonitorInterface::DetectSMSCLPCIO(CLPCRegisterSpace* configSpace) {
    auto mode = std::make_unique<SMSC_LPCIO_ConfigMode>(configSpace);
    if (!mode->Enter()) return 0;
    uint8_t id = 0;
    if (!mode->ReadRegister(0x20, &id) || id == 0 || id == 0xFF) {
        mode->Exit();
        return 0;
    }
    DeviceSelection selection(*mode);
    selection.Select(mode->m_byLDN);
    const uint32_t base = ReadBase(*mode, 0x60, 0x61) & 0xFFF0;
    CLPCIO* chip = nullptr;
    if (base && DeviceActive(*mode)) {
        const bool pairAtBase = id == 0x6F || id == 0x81 || id == 0x85 || id == 0x8C;
        chip = NewChip(CHIP_VENDOR_SMSC, id, CLPCIO::kNotSet, LPCSpaceAt(base, pairAtBase ? 0 : 5, pairAtBase ? 1 : 6));
    } else {
        // No monitor device: the runtime block of logical device 0x0C.
        constexpr uint8_t kRuntimeDevice = 0x0C;
        selection.Select(kRuntimeDevice);
        const uint32_t runtime = ReadBase(*mode, 0x67, 0x66);
        if (runtime && DeviceActive(*mode)) {
            chip = NewChip(CHIP_VENDOR_SMSC, id, CLPCIO::kNotSet, NewPMIOSpace(runtime));
            mode->m_byLDN = kRuntimeDevice;
        }
    }
    return Finish(std::move(mode), selection, chip);
}

int CHardwareMonitorInterface::DetectFintekLPCIO(CLPCRegisterSpace* configSpace) {
    auto mode = std::make_unique<Fintek_LPCIO_ConfigMode>(configSpace);
    if (!mode->Enter()) return 0;
    uint8_t vendorHigh = 0, vendorLow = 0, idHigh = 0, idLow = 0;
    const bool identified = mode->ReadRegister(0x23, &vendorHigh) && mode->ReadRegister(0x24, &vendorLow) &&
                            (uint32_t(vendorHigh) << 8 | vendorLow) == CHIP_VENDOR_FINTEK &&
                            mode->ReadRegister(0x20, &idHigh) && mode->ReadRegister(0x21, &idLow);
    if (!identified) {
        mode->Exit();
        return 0;
    }
    const uint32_t id = uint32_t(idHigh) << 8 | idLow;
    if (id == 0x0507 || id == 0x0903) mode->m_byLDN = 0x02;
    DeviceSelection selection(*mode);
    selection.Select(mode->m_byLDN);
    const uint32_t base = ReadBase(*mode, 0x60, 0x61);
    CLPCIO* chip = nullptr;
    if (base != 0xFFFF && (base & ~7u) && DeviceActive(*mode))
        chip = NewChip(CHIP_VENDOR_FINTEK, id, CLPCIO::kNotSet, LPCSpaceAt(base & ~7u, 5, 6));
    Finish(std::move(mode), selection, chip);
    // The vendor answered: the search ends even without a monitor device.
    return 1;
}

int CHardwareMonitorInterface::DetectWinbondLPCIO(CLPCRegisterSpace* configSpace) {
    auto mode = std::make_unique<Winbond_LPCIO_ConfigMode>(configSpace);
    if (!mode->Enter()) return 0;
    uint8_t id = 0;
    if (!mode->ReadRegister(0x20, &id) || id == 0 || id == 0xFF || id < 0x50) {
        mode->Exit();
        return 0;
    }
    uint8_t revision = 0;
    const uint32_t revisionCode = mode->ReadRegister(0x21, &revision) ? revision : CLPCIO::kNotSet;
    DeviceSelection selection(*mode);
    selection.Select(mode->m_byLDN);
    const uint32_t base = ReadBase(*mode, 0x60, 0x61) & ~7u;
    CLPCIO* chip = nullptr;
    if (base && DeviceActive(*mode)) chip = NewChip(CHIP_VENDOR_WINBOND, id, revisionCode, LPCSpaceAt(base, 5, 6));
    const uint32_t pmio = ReadBase(*mode, 0x64, 0x65);
    if (pmio && pmio != 0xFFFF) {
        if (!chip) chip = NewChip(CHIP_VENDOR_WINBOND, id, revisionCode, nullptr);
        chip->m_pSecondSpace = NewPMIOSpace(pmio);
    }
    return Finish(std::move(mode), selection, chip);
}

int CHardwareMonitorInterface::DetectITELPCIO(CLPCRegisterSpace* configSpace, uint8_t port) {
    std::unique_ptr<CConfigMode> mode;
    if (port == 0x2E) mode = std::make_unique<ITE_LPCIO_ConfigMode>(configSpace);
    else if (port == 0x4E) mode = std::make_unique<ITE_LPCIO_ConfigMode_2>(configSpace);
    else return 0;
    if (!mode->Enter()) return 0;
    uint8_t high = 0, low = 0;
    if (!mode->ReadRegister(0x20, &high) || !mode->ReadRegister(0x21, &low) || high == 0xFF || low == 0xFF ||
        (high == 0 && low == 0)) {
        mode->Exit();
        return 0;
    }
    uint8_t revision = 0;
    const uint32_t revisionCode = mode->ReadRegister(0x22, &revision) ? revision & 0x0F : CLPCIO::kNotSet;
    DeviceSelection selection(*mode);
    selection.Select(mode->m_byLDN);
    const uint32_t base = ReadBase(*mode, 0x60, 0x61) & ~7u;
    CLPCIO* chip = nullptr;
    if (base && DeviceActive(*mode))
        chip = NewChip(CHIP_VENDOR_ITE, uint32_t(high) << 8 | low, revisionCode, LPCSpaceAt(base, 5, 6));
    return Finish(std::move(mode), selection, chip);
}
