// The probes of the sensor sources that no chip register identifies:
// the abit uGuru controller, the notebook controllers (ThinkPad embedded
// controller, Dell system-management interrupt, Asus Eee PC), the VIA
// 686A/B southbridge monitor, the Apple SMC, the Asus mainboard EC, the AMD
// SB6xx/7xx analog inputs and the Gigabyte firmware record. Each decides
// from DMI texts, the board key and PCI ids whether its source exists,
// makes or reuses the register spaces in the root's lists and appends the
// monitor.
#include <cstring>

#include "platform/threads.h"
#include "sdk/core/device.h"
#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/command_pci_config_bit.h"
#include "sdk/hw/io_request.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/kmdriver.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/pci_interface.h"
#include "sdk/hw/register_space_lpc.h"
#include "sdk/hw/register_space_pmio.h"
#include "sdk/monitor/abit_uguru.h"
#include "sdk/monitor/apple_smc.h"
#include "sdk/monitor/asus_ec_monitor.h"
#include "sdk/monitor/asus_monitors.h"
#include "sdk/monitor/dell_smi_monitor.h"
#include "sdk/monitor/hardware_monitor_interface.h"
#include "sdk/monitor/monitor_board_facts.h"
#include "sdk/monitor/southbridge_voltage_monitors.h"
#include "sdk/monitor/thinkpad_monitor.h"
#include "sdk/monitor/via_686_vt1211.h"
#include "sdk/system/acpi_interface.h"

namespace {

constexpr uint32_t kUGuruBase = 0xE0;
constexpr uint32_t kAppleSMCBase = 0x300;
constexpr uint32_t kSB600Base = 0xCD0, kSB600Size = 0x100;
constexpr uint32_t kWholeRange = 0xFFFFFFFF;

constexpr uint32_t kThinkPadBoards[] = {0x33190,  0x40E315, 0x40EB95, 0x410695, 0x4380CF, 0x43E787, 0x441E51,
                                        0x4486C7, 0x44B487, 0x44D127, 0x451516, 0x458318, 0x45C672, 0x462407,
                                        0x46D0CF, 0x47A935, 0x482E91, 0x4840CF, 0x4A0067};
constexpr uint32_t kDellBoards[] = {0x49FAA0, 0x4AC420, 0x4B8260, 0x4BCA80, 0x4D59C0, 0x4FC620,
                                    0x5056A0, 0x51B680, 0x51E8E0, 0x531B00, 0x531D00, 0x53EC80,
                                    0x53EE40, 0x551240, 0x572840, 0x587060, 0x59E660};
constexpr const char* kDellProducts[] = {"Latitude D630", "XPS M1530", "MXG071"};
constexpr uint32_t kEeePcBoards[] = {0x3FC, 0x40C, 0x20080, 0x20960, 0x20D60};
constexpr uint32_t kSB600Boards[] = {0x5425F4, 0x54A5E5, 0xA955E4, 0x5377CCA0, 0x5692F965, 0x56D905E0, 0x6EEF158C};
constexpr uint32_t kDellSignature = 0x44454C4C, kDiagSignature = 0x44494147;

// The VIA 686A/B power-management functions; the second has its monitor
// switched on before its base is read.
constexpr uint16_t kVIA = 0x1106;
struct VIA686Function {
    uint16_t device;
    bool enableFirst;
};
constexpr VIA686Function kVIA686Functions[] = {{0x3057, false}, {0x3086, true}};
constexpr uint32_t kVIA686NoMonitorBoards[] = {0x36F80, 0xB8D4C2};
constexpr int32_t kVIA686MonitorBase = 0x70;
constexpr uint32_t kVIA686BaseMask = 0xFF80;
constexpr uint32_t kVIA686EnableSettleMs = 20;

// The model index of the Apple products, tested in this order.
struct AppleModel {
    const char* product;
    int32_t index;
};
constexpr AppleModel kAppleModels[] = {{"MacBookPro", 1}, {"MacBook", 0}, {"Macmini", 2}, {"MacPro2", 3}, {"iMac8", 4}};

template <size_t N>
bool OneOf(uint32_t value, const uint32_t (&values)[N]) {
    for (uint32_t v : values)
        if (v == value) return true;
    return false;
}

// The space of that class at the base from the root's list, or a new one
// on a port space (also from the list when there is one) made by `make`;
// `made` tells whether the register space is new (and not yet in the list).
template <typename Make>
CRegisterSpace* SpaceAt(uint32_t base, uint32_t size, uint32_t spaceClass, Make make, CPortIOSpace*& newPorts) {
    BRENIKSDK* sdk = GetSDK();
    newPorts = nullptr;
    if (CRegisterSpace* space = sdk->FindRegisterSpace(0, base, spaceClass)) return space;
    CIOSpace* ports = sdk->FindIOSpace(0, base, IOSPACE_PORT);
    if (!ports) ports = newPorts = new CPortIOSpace(base, size);
    return make(ports);
}

// Keeps a space made by a probe (and its new port space) in the root's
// lists, or deletes them when the probe did not use them.
void KeepOrDrop(CRegisterSpace* space, bool made, CPortIOSpace* newPorts, bool keep) {
    BRENIKSDK* sdk = GetSDK();
    if (keep) {
        if (made) sdk->m_pRegisterSpaces->AddTail(space);
        if (newPorts) sdk->m_pIOSpaces->AddTail(newPorts);
        return;
    }
    if (made) delete space;
    delete newPorts;
}

// SpaceAt for a space that stays in the root's lists whatever the probe
// finds.
template <typename Make>
CRegisterSpace* KeptSpaceAt(uint32_t base, uint32_t size, uint32_t spaceClass, Make make) {
    CPortIOSpace* ports = nullptr;
    bool made = false;
    CRegisterSpace* space = SpaceAt(base, size, spaceClass, [&made, &make](CIOSpace* io) -> CRegisterSpace* {
        made = true;
        return make(io);
    }, ports);
    KeepOrDrop(space, made, ports, true);
    return space;
}

// The monitor's port base of a VIA 686 power-management function; false
// when it is 0 or the function does not answer.
bool VIA686MonitorBase(CPCIDevice* function, uint32_t* base) {
    uint32_t value = 0;
    if (!function->ReadConfigDword(kVIA686MonitorBase, &value)) return false;
    *base = value & kVIA686BaseMask;
    return *base != 0;
}

// Whether the monitor's I/O ports are switched on. When they are off the
// enable bit is set through a command of the root, which clears it again
// at close, and read back after the southbridge had time to take it.
bool VIA686MonitorEnabled(CPCIDevice* function) {
    uint32_t value = 0;
    if (!function->ReadConfigDword(VIA_686AB_MonitorIOEnable::kRegister, &value)) return false;
    if (value & VIA_686AB_MonitorIOEnable::kEnableBit) return true;
    auto* command = new VIA_686AB_MonitorIOEnable(function);
    GetSDK()->m_pCommands->AddTail(command);
    command->Save();
    command->Enable();
    Sleep(kVIA686EnableSettleMs);
    return function->ReadConfigDword(VIA_686AB_MonitorIOEnable::kRegister, &value) &&
           (value & VIA_686AB_MonitorIOEnable::kEnableBit);
}

// The signature call of the Dell SMI handler: "DELL" and "DIAG" in the
// first and fourth register, in either order.
bool DellSignatureAnswers(uint32_t function) {
    CKMDriver* driver = GetSDK()->GetDriver();
    uint32_t registers[4] = {function, 0, 0, 0};
    if (!driver || !driver->CallSMI(registers)) return false;
    return (registers[0] == kDellSignature && registers[3] == kDiagSignature) ||
           (registers[0] == kDiagSignature && registers[3] == kDellSignature);
}

bool SupportedDell() {
    if (!TextContains(BaseboardManufacturer(), "Dell ")) return false;
    if (OneOf(MonitorBoardHash(), kDellBoards)) return true;
    const char* product = SystemProductName();
    for (const char* name : kDellProducts)
        if (std::strcmp(product, name) == 0) return true;
    return false;
}

} // namespace

// Appends the monitor when CreateSensors finds something, else deletes it.
bool CHardwareMonitorInterface::AdoptWhenSensorsExist(CHardwareMonitor* monitor) {
    monitor->SetOwnerDevice(GetSDK()->m_pMainboard);
    if (!monitor->CreateSensors()) {
        delete monitor;
        return false;
    }
    m_pMonitors->AddTail(monitor);
    return true;
}

void CHardwareMonitorInterface::ProbePlatformSources() {
    ProbeAbitUGuru();
    ProbeNotebookControllers();
    ProbeVIA686();
    ProbeAppleSMC();
    ProbeAsusEC();
    ProbeAMDSB6xx();
    ProbeFBDIMM();
    ProbeACPIAndBoard();
    ProbeBatteries();
    if (m_dwOptions & MONITOR_OPTION_USB_COOLER) ProbeUSBCooler();
}

int CHardwareMonitorInterface::ProbeACPIAndBoard() {
    const int acpi = ProbeACPIMonitor();
    const int board = ProbeGigabyteDES();
    return acpi || board ? 1 : 0;
}

int CHardwareMonitorInterface::ProbeAbitUGuru() {
    const char* maker = BaseboardManufacturer();
    if (MonitorBoardHash() == 0xD2D180 || !maker[0] || (!std::strstr(maker, "ABIT") && !std::strstr(maker, "abit")))
        return 0;
    CPortIOSpace* ports = nullptr;
    bool made = false;
    CRegisterSpace* space = SpaceAt(kUGuruBase, kWholeRange, REGSPACE_UGURU, [&made](CIOSpace* io) {
        made = true;
        return new UGuru_RegisterSpace(io);
    }, ports);
    uint8_t value = 0;
    const bool is2003 = ReadUGuruByte(space, 0x21, 0, &value) && ReadUGuruByte(space, 0x26, 0, &value);
    KeepOrDrop(space, made, ports, is2003);
    if (is2003) {
        auto* monitor = new abit_uGuru_HardwareMonitor;
        monitor->m_pRegisterSpace = space;
        monitor->m_pRequest = new UGuru_Request(0, 0x21);
        m_pMonitors->AddTail(monitor);
        return 1;
    }
    made = false;
    space = SpaceAt(kUGuruBase, kWholeRange, REGSPACE_UGURU_2005, [&made](CIOSpace* io) {
        made = true;
        return new UGuru2005_RegisterSpace(io);
    }, ports);
    const bool is2005 = ReadUGuruByte(space, 8, 0, &value);
    KeepOrDrop(space, made, ports, is2005);
    if (!is2005) return 0;
    uint8_t id[2] = {};
    const uint32_t boardId = ReadUGuruBlock(space, 9, 0x0A, 2, id) == 2 ? id[1] : 0xFFFFFFFF;
    auto* monitor = new abit_uGuru2005_HardwareMonitor(boardId);
    monitor->m_pRegisterSpace = space;
    monitor->m_pRequest = new UGuru_Request(0, 8);
    m_pMonitors->AddTail(monitor);
    return 1;
}

int CHardwareMonitorInterface::ProbeNotebookControllers() {
    const uint32_t board = MonitorBoardHash();
    if (OneOf(board, kThinkPadBoards)) AdoptWhenSensorsExist(new Thinkpad_T43_HardwareMonitor);
    if (SupportedDell() && (DellSignatureAnswers(0xFEA3) || DellSignatureAnswers(0xFFA3)))
        AdoptMonitor(new Dell_SMI_HardwareMonitor);
    if (TextContains(BaseboardManufacturer(), "ASUSTeK Computer INC.") && OneOf(board, kEeePcBoards))
        AdoptMonitor(new Asus_eeePC_HardwareMonitor);
    return 1;
}

int CHardwareMonitorInterface::ProbeVIA686() {
    if (OneOf(MonitorBoardHash(), kVIA686NoMonitorBoards)) return 0;
    CPCIInterface* pci = GetSDK()->m_pPCI;
    if (!pci) return 1;
    for (const VIA686Function& kind : kVIA686Functions) {
        CTList<CDevice> functions;
        pci->FindDevicesByID(kVIA, kind.device, &functions);
        CTListIterator<CDevice> it(&functions);
        for (CDevice* device = it.GetFirst(); device; device = it.GetNext()) {
            auto* function = static_cast<CPCIDevice*>(device);
            uint32_t base = 0;
            const bool found = kind.enableFirst
                                   ? VIA686MonitorEnabled(function) && VIA686MonitorBase(function, &base)
                                   : VIA686MonitorBase(function, &base) && VIA686MonitorEnabled(function);
            if (!found) continue;
            auto* monitor = new VIA_686AB_HardwareMonitor;
            monitor->m_pRegisterSpace = KeptSpaceAt(base, kWholeRange, REGSPACE_VIA_686_HWM,
                                                    [](CIOSpace* io) { return new VIA_686AB_HWM_RegisterSpace(io); });
            m_pMonitors->AddTail(monitor);
        }
    }
    return 1;
}

int CHardwareMonitorInterface::ProbeAppleSMC() {
    if (!TextContains(SystemManufacturer(), "Apple")) return 0;
    const char* product = SystemProductName();
    int32_t model = -1;
    for (const AppleModel& candidate : kAppleModels) {
        if (!TextContains(product, candidate.product)) continue;
        model = candidate.index;
        break;
    }
    if (model < 0) return 0;
    BRENIKSDK* sdk = GetSDK();
    CRegisterSpace* space = nullptr;
    if (Apple_SMC_RegisterSpace_HAL::DeviceAvailable()) {
        space = sdk->FindRegisterSpace(0xFFFFFFFF, 0xFFFFFFFF, kRegisterSpaceAppleSMC);
        if (!space) {
            space = new Apple_SMC_RegisterSpace_HAL;
            sdk->m_pRegisterSpaces->AddTail(space);
        }
    } else {
        space = KeptSpaceAt(kAppleSMCBase, kWholeRange, kRegisterSpaceAppleSMC,
                            [](CIOSpace* io) { return new Apple_SMC_RegisterSpace(io); });
    }
    auto* monitor = new Apple_SMC_HardwareMonitor(model);
    monitor->m_pRegisterSpace = space;
    AdoptMonitor(monitor);
    return 1;
}

int CHardwareMonitorInterface::ProbeAsusEC() {
    const CMainboard* board = GetSDK()->m_pMainboard;
    if (!board || board->m_dwBoardHash != 0x2F310 || board->m_dwBoardByteSum != 0x151) return 0;
    AdoptWhenSensorsExist(new Asus_EC_HardwareMonitor(0x2F310));
    return 0;
}

int CHardwareMonitorInterface::ProbeAMDSB6xx() {
    CPCIInterface* pci = GetSDK()->m_pPCI;
    if (!pci || (pci->FindDevicesByID(0x1002, 0x438D, nullptr) <= 0 && pci->FindDevicesByID(0x1002, 0x439D, nullptr) <= 0))
        return 0;
    CRegisterSpace* space =
        KeptSpaceAt(kSB600Base, kSB600Size, REGSPACE_LPC, [](CIOSpace* io) { return new CLPCRegisterSpace(io, 0, 1); });
    const uint32_t board = MonitorBoardHash();
    if (OneOf(board, kSB600Boards))
        AdoptWhenSensorsExist(new AMD_SB600_HardwareMonitor(board, static_cast<CLPCRegisterSpace*>(space)));
    return 1;
}

// The Gigabyte record's sensor ports: the word at 0x1A holds the base
// (bits 15-4) and the index port's offset, the word at 0x1C the data
// port's offset. A base below 0x100 (the motherboard's legacy devices) or
// one reaching the PCI configuration ports 0xCF8-0xCFF is refused: no
// firmware record may send the monitor there.
int CHardwareMonitorInterface::ProbeGigabyteDES() {
    CACPIInterface* acpi = GetSDK()->m_pACPI;
    if (!acpi || !acpi->m_pBoardRecord) return 0;
    const uint8_t* record = acpi->m_pBoardRecord->data();
    const uint16_t indexWord = uint16_t(record[0x1A] | record[0x1B] << 8);
    const uint32_t base = indexWord & 0xFFF0;
    const uint32_t indexOffset = indexWord & 0x0F, dataOffset = record[0x1C] & 0x0F;
    const auto touchesPciConfig = [base](uint32_t offset) { return base + offset >= 0xCF8 && base + offset <= 0xCFF; };
    if (base < 0x100 || touchesPciConfig(indexOffset) || touchesPciConfig(dataOffset)) return 0;
    BRENIKSDK* sdk = GetSDK();
    CRegisterSpace* space = sdk->FindRegisterSpace(0, base, REGSPACE_LPC);
    if (!space) {
        CIOSpace* ports = sdk->FindIOSpace(0, base, IOSPACE_PORT);
        if (!ports) {
            ports = new CPortIOSpace(base, kWholeRange);
            sdk->m_pIOSpaces->AddTail(ports);
        }
        space = new CLPCRegisterSpace(ports, indexOffset, dataOffset);
        sdk->m_pRegisterSpaces->AddTail(space);
    }
    AdoptMonitor(new Gigabyte_DES_HardwareMonitor(record, static_cast<CLPCRegisterSpace*>(space)));
    return 1;
}
