// The chip probes run on each super-I/O chip and on the legacy ISA port,
// and the probes of the Winbond, Nuvoton, VIA, ITE and Fintek monitors.
// Each reads identification registers through the request it is given and
// hands a recognised chip to the factory; the caller keeps a request that
// no monitor took and deletes it.
#include "sdk/core/sdk.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/register_space_lpc.h"
#include "sdk/monitor/hardware_monitor.h"
#include "sdk/monitor/hardware_monitor_interface.h"
#include "sdk/monitor/lpcio.h"
#include "sdk/monitor/monitor_board_facts.h"
#include "sdk/monitor/probe_access.h"

namespace {

// The registers of Winbond-protocol monitors.
constexpr uint8_t kBankSelect = 0x4E;
constexpr uint8_t kVendorId = 0x4F;
constexpr uint8_t kChipIdentification = 0x58;
constexpr uint8_t kHighByteVisible = 0x80;

// The legacy monitor chip's port pair: index 0x295, data 0x296.
constexpr uint32_t kISABase = 0x290;
constexpr uint32_t kISAIndexOffset = 5, kISADataOffset = 6;

bool IsWinbondVendorByte(uint8_t value) {
    return value == 0x5C || value == 0xA3 || value == 0x12 || value == 0xC3 || value == 0x06 || value == 0x94;
}

// The byte of a vendor id that the signature's bank bit selects: 0x5C with
// bit 7 of `bank` set, 0xA3 with it clear.
bool SignatureMatchesBank(uint8_t signature, uint8_t bank) {
    return (bank & 0x80) ? signature == 0x5C : signature == 0xA3;
}

// Puts the bank register back as the probe found it: a kernel driver may
// own the chip and remember which bank it selected.
class BankKeeper {
public:
    BankKeeper(CRegisterSpace* space, CIORequest* request) : space_(space), request_(request) {
        known_ = ProbeRead(space, request, kBankSelect, &saved_);
    }
    ~BankKeeper() {
        if (written_) ProbeWrite(space_, request_, kBankSelect, known_ ? saved_ : 0);
    }
    BankKeeper(const BankKeeper&) = delete;
    BankKeeper& operator=(const BankKeeper&) = delete;

    void Select(uint8_t value) {
        written_ = true;
        ProbeWrite(space_, request_, kBankSelect, value);
    }

private:
    CRegisterSpace* space_;
    CIORequest* request_;
    uint8_t saved_ = 0;
    bool known_ = false;
    bool written_ = false;
};

// The vendor id through register 0x4F, high byte first; 0 when a read fails.
uint32_t ReadWinbondVendor(CRegisterSpace* space, CIORequest* request, BankKeeper& bank) {
    uint8_t ignored = 0, high = 0, low = 0, selection = 0;
    ProbeRead(space, request, kBankSelect, &ignored);
    bank.Select(kHighByteVisible);
    if (!ProbeRead(space, request, kVendorId, &high) || !ProbeRead(space, request, kBankSelect, &selection)) return 0;
    bank.Select(uint8_t(selection & ~kHighByteVisible));
    if (!ProbeRead(space, request, kVendorId, &low)) return 0;
    return uint32_t(high) << 8 | low;
}

} // namespace

int CHardwareMonitorInterface::ProbeChips() {
    CTListIterator<CDevice> it(GetSDK()->m_pDevices);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext()) {
        if (!(device->m_dwKind & DEVICE_LPC_IO)) continue;
        auto* chip = static_cast<CLPCIO*>(device);
        if (CRegisterSpace* space = chip->m_pMonitorSpace) {
            CIORequest* request = new CLPCRequest;
            switch (chip->m_dwVendor) {
            case CHIP_VENDOR_SMSC: ProbeSMSC(chip, space, request); break;
            case CHIP_VENDOR_ITE: ProbeITE(space, request, chip->m_dwChipId); break;
            case CHIP_VENDOR_VIA: ProbeVIAVT1211(space, request); break;
            case CHIP_VENDOR_FINTEK: ProbeFintek(chip, space, request); break;
            case CHIP_VENDOR_WINBOND: ProbeWinbond(space, request, chip->m_dwChipId); break;
            case CHIP_VENDOR_NATIONAL_SEMICONDUCTOR: ProbeNationalSemiconductor(chip, nullptr, nullptr); break;
            default: break;
            }
            if (!MonitorHoldsRequest(request)) delete request;
        }
        CRegisterSpace* pmio = chip->m_pSecondSpace;
        if (pmio && pmio->GetClass() == REGSPACE_PMIO && chip->m_dwVendor == CHIP_VENDOR_WINBOND) {
            CIORequest* request = new CPMIORequest;
            ProbeNuvotonPMIO(pmio, request, chip->m_dwChipId);
            if (!MonitorHoldsRequest(request)) delete request;
        }
    }
    ProbeISABus();
    ScanSMBus();
    if (MonitorBoardHash() == 0x825704) return 0;
    ProbePlatformSources();
    return 1;
}

int CHardwareMonitorInterface::ProbeISABus() {
    if (TextHashIsOneOf(SystemProductName(), {0xB44A5478, 0x7DA251C0})) return 0;
    BRENIKSDK* sdk = GetSDK();
    const auto probe = [this](CRegisterSpace* space, CIORequest* request) {
        int result = ProbeWinbond(space, request, 0);
        if (!result) result = ProbeITE(space, request, 0);
        if (!result) result = ProbeSMSC(nullptr, space, request);
        if (!MonitorHoldsRequest(request)) delete request;
        return result;
    };
    if (CRegisterSpace* space = sdk->FindRegisterSpace(0, kISABase, REGSPACE_LPC)) {
        // A chip found through its super-I/O chip is not probed again.
        if (CollectMonitors(space, nullptr, MONITOR_CHIP)) return 0;
        return probe(space, new CLPCRequest);
    }
    auto* ports = new CPortIOSpace(kISABase, 0xFFFFFFFF);
    auto* space = new CLPCRegisterSpace(ports, kISAIndexOffset, kISADataOffset);
    const int result = probe(space, new CLPCRequest);
    // The spaces stay only while a monitor reads through them.
    if (CollectMonitors(space, nullptr, 0xFFFFFFFF)) {
        sdk->m_pRegisterSpaces->AddTail(space);
        sdk->m_pIOSpaces->AddTail(ports);
    } else {
        delete space;
        delete ports;
    }
    return result;
}

int CHardwareMonitorInterface::ProbeWinbond(CRegisterSpace* space, CIORequest* request, uint32_t chipId) {
    BankKeeper bank(space, request);
    if (chipId) bank.Select(kHighByteVisible);
    uint8_t value = 0;
    if (ProbeRead(space, request, kVendorId, &value) && IsWinbondVendorByte(value)) {
        const uint32_t vendor = ReadWinbondVendor(space, request, bank);
        uint8_t identification = 0;
        const bool known = (vendor == CHIP_VENDOR_WINBOND || vendor == CHIP_VENDOR_ASUS_2 ||
                            vendor == CHIP_VENDOR_ASUS) &&
                           ProbeRead(space, request, kChipIdentification, &identification);
        bank.Select(0);
        if (known) {
            CreateIdentifiedMonitor(vendor, (uint32_t(identification) << 16) + chipId, space, request);
            return 1;
        }
    }
    uint8_t x = 0, y = 0, signature = 0, selection = 0, identification = 0;
    const bool readX = ProbeRead(space, request, 0x4C, &x);
    const bool readY = ProbeRead(space, request, 0x4D, &y);
    if (((readX && x == 0xA3) || (readY && y == 0x5C)) && ProbeRead(space, request, kBankSelect, &identification)) {
        CreateIdentifiedMonitor(CHIP_VENDOR_WINBOND, (uint32_t(identification) << 16) + chipId, space, request);
        return 1;
    }
    // The vendor signature at 0x0D (or 0xFE), the byte the bank bit in 0x00
    // (or 0x4E) selects, and the chip at 0x0E (or 0xFF).
    static constexpr uint8_t kSignatures[][3] = {{0x0D, 0x00, 0x0E}, {0xFE, kBankSelect, 0xFF}};
    for (const auto& [signatureReg, selectionReg, chipReg] : kSignatures) {
        if (ProbeRead(space, request, signatureReg, &signature) && (signature == 0xA3 || signature == 0x5C) &&
            ProbeRead(space, request, selectionReg, &selection) && SignatureMatchesBank(signature, selection) &&
            ProbeRead(space, request, chipReg, &identification)) {
            CreateIdentifiedMonitor(CHIP_VENDOR_WINBOND, (uint32_t(identification) << 16) + chipId, space, request);
            return 1;
        }
    }
    if (chipId == 0xC7) {
        CreateIdentifiedMonitor(CHIP_VENDOR_NUVOTON, 0xC7, space, request);
        return 1;
    }
    return 0;
}

// Reports no success in either case, so its caller always goes on.
int CHardwareMonitorInterface::ProbeNuvotonPMIO(CRegisterSpace* space, CIORequest* request, uint32_t chipId) {
    if (chipId == 0xC8) CreateIdentifiedMonitor(CHIP_VENDOR_NUVOTON, 0x1C8, space, request);
    return 0;
}

int CHardwareMonitorInterface::ProbeVIAVT1211(CRegisterSpace* space, CIORequest* request) {
    if (!ProbeReads(space, request, 0x3E, 0x4D)) return 0;
    CreateIdentifiedMonitor(CHIP_VENDOR_VIA, 0x1211, space, request);
    return 1;
}

int CHardwareMonitorInterface::ProbeNuvotonSMBus(CRegisterSpace* space, CIORequest* request) {
    uint8_t value = 0, identification = 0;
    if (ProbeRead(space, request, 0xFD, &value)) {
        if (value == 0x5C || value == 0xA3) {
            // Register 0 selects which vendor byte 0xFD shows; it is put back.
            uint8_t saved = 0, high = 0, low = 0;
            if (ProbeRead(space, request, 0x00, &saved)) {
                ProbeWrite(space, request, 0x00, 0x80);
                const bool readHigh = ProbeRead(space, request, 0xFD, &high);
                ProbeWrite(space, request, 0x00, 0x00);
                const bool readLow = ProbeRead(space, request, 0xFD, &low);
                const bool winbond = readHigh && readLow && (uint32_t(high) << 8 | low) == CHIP_VENDOR_WINBOND &&
                                     ProbeRead(space, request, 0xFE, &identification);
                ProbeWrite(space, request, 0x00, saved);
                if (winbond) {
                    CreateIdentifiedMonitor(CHIP_VENDOR_WINBOND, uint32_t(identification) << 16, space, request);
                    return 1;
                }
            }
        } else if (value == 0x50 && ProbeRead(space, request, 0xFE, &identification)) {
            CreateIdentifiedMonitor(CHIP_VENDOR_NUVOTON, identification, space, request);
            return 1;
        }
    }
    if (ProbeReads(space, request, 0x7A, 0x50) && ProbeRead(space, request, 0x7B, &identification)) {
        CreateIdentifiedMonitor(CHIP_VENDOR_NUVOTON, identification, space, request);
        return 1;
    }
    return 0;
}

int CHardwareMonitorInterface::ProbeITE(CRegisterSpace* space, CIORequest* request, uint32_t chipId) {
    uint8_t identification = 0;
    if (!ProbeReads(space, request, 0x58, 0x90) || !ProbeRead(space, request, 0x5B, &identification)) return 0;
    CreateIdentifiedMonitor(CHIP_VENDOR_ITE, (uint32_t(identification) << 16) + chipId, space, request);
    return 1;
}

int CHardwareMonitorInterface::ProbeFintek(CLPCIO* chip, CRegisterSpace* space, CIORequest* request) {
    if (!chip || chip->m_dwVendor != CHIP_VENDOR_FINTEK) return 0;
    CreateIdentifiedMonitor(CHIP_VENDOR_FINTEK, chip->m_dwChipId, space, request);
    return 1;
}
