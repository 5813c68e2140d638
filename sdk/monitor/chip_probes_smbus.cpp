// The probes of the monitor chips found mostly on the SMBus: Analog
// Devices, Maxim, Andigilog, CHIL, SMSC and National Semiconductor.
#include "sdk/core/sdk.h"
#include "sdk/hw/register_space_pmio.h"
#include "sdk/monitor/hardware_monitor_interface.h"
#include "sdk/monitor/lpcio.h"
#include "sdk/monitor/national_semiconductor_monitors.h"
#include "sdk/monitor/probe_access.h"
#include "sdk/monitor/smsc_superio_monitors.h"

namespace {

// A block of the PC87366's monitor when detection made it a banked one.
Banked_PMIO_RegisterSpace* BankedBlock(CRegisterSpace* space) {
    return space && space->GetClass() == REGSPACE_BANKED_PMIO ? static_cast<Banked_PMIO_RegisterSpace*>(space) : nullptr;
}

} // namespace

int CHardwareMonitorInterface::ProbeAnalogDevices(CRegisterSpace* space, CIORequest* request) {
    uint8_t value = 0, device = 0;
    if (ProbeRead(space, request, 0x3E, &value)) {
        if (value == 0x41 && ProbeRead(space, request, 0x3F, &device)) {
            const uint8_t family = device & 0xF0;
            const bool deviceNamesChip = family == 0x10 || family == 0x20 || device == 0x6E || device == 0x6F;
            uint8_t chip = device;
            if (deviceNamesChip || ProbeRead(space, request, 0x3D, &chip)) {
                CreateIdentifiedMonitor(CHIP_VENDOR_ANALOG_DEVICES, chip, space, request);
                return 1;
            }
        } else if (value == 0xA1 && ProbeRead(space, request, 0x3F, &device)) {
            CreateIdentifiedMonitor(CHIP_VENDOR_ANALOG_DEVICES_2, device, space, request);
            return 1;
        }
    }
    if (ProbeRead(space, request, 0xFE, &value) && (value == 0x41 || value == 0xA1) &&
        ProbeRead(space, request, 0xFF, &device)) {
        CreateIdentifiedMonitor(value, device, space, request);
        return 1;
    }
    uint16_t word = 0;
    if (ProbeReads(space, request, 0x99, 0x41) && ProbeReadWord(space, request, 0x9A, &word)) {
        CreateIdentifiedMonitor(CHIP_VENDOR_ANALOG_DEVICES, word, space, request);
        return 1;
    }
    if (ProbeReads(space, request, 0x16, 0x41) && ProbeRead(space, request, 0x17, &device)) {
        CreateIdentifiedMonitor(CHIP_VENDOR_ANALOG_DEVICES, device, space, request);
        return 1;
    }
    return 0;
}

int CHardwareMonitorInterface::ProbeMaxim(CRegisterSpace* space, CIORequest* request) {
    uint8_t device = 0, high = 0, low = 0;
    if (ProbeReads(space, request, 0xFE, 0x4D) && ProbeRead(space, request, 0xFF, &device)) {
        CreateIdentifiedMonitor(CHIP_VENDOR_MAXIM, device, space, request);
        return 1;
    }
    // The power-on limits of a MAX1617, which has no identification register.
    if (ProbeRead(space, request, 0x05, &high) && ProbeRead(space, request, 0x06, &low) && high == 0x7F &&
        low == 0xC9) {
        CreateIdentifiedMonitor(CHIP_VENDOR_MAXIM, 0x16, space, request);
        return 1;
    }
    return 0;
}

int CHardwareMonitorInterface::ProbeAndigilog(CRegisterSpace* space, CIORequest* request) {
    uint8_t device = 0;
    if (!ProbeReads(space, request, 0x3E, 0x61) || !ProbeRead(space, request, 0x3F, &device)) return 0;
    CreateIdentifiedMonitor(CHIP_VENDOR_ANDIGILOG, device, space, request);
    return 1;
}

int CHardwareMonitorInterface::ProbeCHIL(CRegisterSpace* space, CIORequest* request) {
    uint16_t word = 0;
    if (!ProbeReadWord(space, request, 0x9A, &word) || (word != 0x0D01 && word != 0x0701)) return 0;
    CreateIdentifiedMonitor(CHIP_VENDOR_CHIL, word, space, request);
    return 1;
}

int CHardwareMonitorInterface::ProbeSMSC(CLPCIO* chip, CRegisterSpace* space, CIORequest* request) {
    if (chip) {
        uint32_t code = 0;
        switch (chip->m_dwChipId) {
        case 0x59: code = 3; break;
        case 0x6F: case 0x81: case 0x85: case 0x8C: code = 2; break;
        case 0x89: case 0x90: code = 0x8A; break;
        // The SCH56xx monitors read the runtime block's mailbox: they take
        // no request and are not the factory's.
        case 0xC6: AdoptMonitor(new SMSC_SCH5627_HardwareMonitor(chip->m_pMonitorSpace)); return 1;
        case 0xC7: AdoptMonitor(new SMSC_SCH5636_HardwareMonitor(chip->m_pMonitorSpace)); return 1;
        default: return 0;
        }
        CreateIdentifiedMonitor(CHIP_VENDOR_SMSC, code, space, request);
        return 1;
    }
    int result = 0;
    uint8_t value = 0, device = 0;
    if (ProbeRead(space, request, 0x3E, &value) && (value == 0x55 || value == 0x5C)) {
        if (ProbeReads(space, request, 0x3D, 0x8C)) {
            CreateIdentifiedMonitor(CHIP_VENDOR_SMSC, 0x8C, space, request);
            result = 1;
        } else if (ProbeRead(space, request, 0x3F, &device)) {
            CreateIdentifiedMonitor(CHIP_VENDOR_SMSC, device, space, request);
            result = 1;
        }
    }
    if (ProbeReads(space, request, 0xFE, 0x5D)) {
        result = 1;
        if (ProbeReads(space, request, 0xFF, 0x01)) CreateIdentifiedMonitor(CHIP_VENDOR_SMSC, 1, space, request);
    }
    return result;
}

int CHardwareMonitorInterface::ProbeNationalSemiconductor(CLPCIO* chip, CRegisterSpace* space, CIORequest* request) {
    int result = 0;
    // The PC87366 monitor reads its three banked blocks directly.
    if (chip && chip->m_dwChipId == 0xE9) {
        auto* monitor = new NS_PC87366_HardwareMonitor(BankedBlock(chip->m_pMonitorSpace), BankedBlock(chip->m_pSecondSpace),
                                                       BankedBlock(chip->m_pThirdSpace));
        monitor->m_pRegisterSpace = chip->m_pMonitorSpace;
        AdoptMonitor(monitor);
        result = 1;
    }
    if (!space || !request) return result;
    if (ProbeReads(space, request, 0xFE, 0x01) && ProbeReads(space, request, 0xFF, 0x41)) {
        CreateIdentifiedMonitor(CHIP_VENDOR_NATIONAL_SEMICONDUCTOR, 0x41, space, request);
        result = 1;
    }
    if (!result && ProbeReads(space, request, 0x3E, 0x02)) {
        CreateIdentifiedMonitor(CHIP_VENDOR_NATIONAL_SEMICONDUCTOR, 0x87, space, request);
        result = 1;
    }
    return result;
}
