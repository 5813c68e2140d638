#include "sdk/display/ati_directio_api.h"

#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/display/ati_device_tables.h"
#include "sdk/display/ati_i2c_engines.h"
#include "sdk/display/display_adapter.h"
#include "sdk/display/display_api_support.h"
#include "sdk/display/display_interface.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/kmdriver.h"
#include "sdk/hw/pci_device.h"

namespace {

constexpr uint16_t kATIVendor = 0x1002;
constexpr uint32_t kRegisterBAR = 0x18;
constexpr uint32_t kBARIOSpace = 0x1;
constexpr uint32_t kWholeWindow = 0xFFFFFFFF;
constexpr int32_t kDefaultReferenceClock = 27000;
constexpr uint32_t kVideoBIOSCandidates[] = {0xC0000, 0xE0000};
constexpr uint32_t kOptionROMSignature = 0xAA55;
constexpr uint32_t kFamilyGroupMask = 0xFFFFF000;
constexpr uint32_t kFamilyR6XX = 0x2600000;
constexpr uint32_t kFamilyR7XX = 0x2700000;
constexpr uint32_t kFamilyR4XXLegacy = 0x2300000;
constexpr uint16_t kTemperatureOffsetDevices[] = {0x130F, 0x1316, 0x9901};
constexpr float kTemperatureOffset = 42.0f;

constexpr uint8_t kThermalChipBuses = 4;
constexpr uint8_t kThermalChipAddresses[] = {0x18, 0x4C, 0x4D, 0x4E};
constexpr uint8_t kManufacturerRegister = 0xFE;
constexpr uint8_t kDeviceRegister = 0xFF;

struct ThermalChipRow {
    uint8_t manufacturer, device;
    uint32_t code;
};

const ThermalChipRow kThermalChips[] = {
    {0x01, 0x01, THERMAL_CHIP_1082}, {0x01, 0x31, THERMAL_CHIP_1089}, {0x01, 0x34, THERMAL_CHIP_1089},
    {0x01, 0x41, THERMAL_CHIP_1063}, {0x01, 0x51, THERMAL_CHIP_1064}, {0x23, 0x11, THERMAL_CHIP_2063},
    {0x23, 0x20, THERMAL_CHIP_2063}, {0x41, 0x42, THERMAL_CHIP_3063},
};

// The physical address of the video BIOS: the first of 0xC0000 and
// 0xE0000 that starts with the option-ROM signature; 0 for none.
uint32_t FindVideoBIOS(CKMDriver* driver) {
    if (!driver) return 0;
    for (uint32_t base : kVideoBIOSCandidates) {
        uint32_t value = 0;
        if (driver->ReadMemoryDword(0, base, 0, &value) && (value & 0xFFFF) == kOptionROMSignature) return base;
    }
    return 0;
}

struct BIOSReader {
    CKMDriver* driver;
    uint32_t base;
    static bool ReadWord(void* context, uint32_t offset, uint32_t* value) {
        auto* self = static_cast<BIOSReader*>(context);
        uint32_t dword = 0;
        if (!self->driver->ReadMemoryDword(0, self->base, offset, &dword)) return false;
        *value = dword & 0xFFFF;
        return true;
    }
};

// The reference clocks of the row's BIOS layout into the adapter.
void ReadReferenceClocks(CDisplayAdapter* adapter, const ATIDeviceRow& row, uint32_t biosBase) {
    if (!biosBase || row.bios == ATIBIOSLayout::None) return;
    BIOSReader reader{GetSDK()->GetDriver(), biosBase};
    ATIReferenceClocks clocks{adapter->CoreReferenceClock, adapter->MemoryReferenceClock};
    if (row.bios == ATIBIOSLayout::Legacy)
        ReadLegacyReferenceClocks(&BIOSReader::ReadWord, &reader, row.engineFamily == kFamilyR4XXLegacy, &clocks);
    else
        ReadAtomReferenceClocks(&BIOSReader::ReadWord, &reader, row.engine == ATIEngine::R8XX, &clocks);
    adapter->CoreReferenceClock = clocks.core;
    adapter->MemoryReferenceClock = clocks.memory;
}

CI2CRegisterSpace* CreateEngine(CDisplayAdapter* adapter, ATIEngine engine, CIOSpace* window) {
    switch (engine) {
    case ATIEngine::R4XXFromBIOS: return new ATI_R4XX_I2CRegisterSpace(window, uint32_t(adapter->CoreReferenceClock));
    case ATIEngine::R4XX27000: return new ATI_R4XX_I2CRegisterSpace(window, kDefaultReferenceClock);
    case ATIEngine::R5XX: return new ATI_R5XX_I2CRegisterSpace(window);
    case ATIEngine::R6XX: return new ATI_R6XX_I2CRegisterSpace(window);
    case ATIEngine::R8XX: return new ATI_R8XX_I2CRegisterSpace(window);
    case ATIEngine::None: break;
    }
    return nullptr;
}

// Engine, reference clocks, name and codename of the adapter's device id.
void Identify(CDisplayAdapter* adapter, uint16_t device, CIOSpace* window, uint32_t biosBase) {
    const ATIDeviceRow* row = FindATIDevice(device);
    if (row && row->engineFamily) {
        adapter->FamilyCode = row->engineFamily;
        ReadReferenceClocks(adapter, *row, biosBase);
        if (CI2CRegisterSpace* space = CreateEngine(adapter, row->engine, window)) {
            if (row->engine == ATIEngine::R4XXFromBIOS || row->engine == ATIEngine::R4XX27000 ||
                row->engine == ATIEngine::R8XX)
                space->InitEngine();
            if (adapter->I2CSpace) {
                GetSDK()->m_pRegisterSpaces->Remove(adapter->I2CSpace);
                delete adapter->I2CSpace;
            }
            adapter->I2CSpace = space;
            GetSDK()->m_pRegisterSpaces->AddTail(space);
        }
    }
    if (const char* name = FindATIDeviceName(device)) FormatString(adapter->Name, sizeof adapter->Name, "%s", name);
    if (row) {
        if (row->family) adapter->FamilyCode = row->family;
        if (row->codename) FormatString(adapter->Codename, sizeof adapter->Codename, "%s", row->codename);
        if (row->technology > 0.0f) adapter->Technology = row->technology;
        if (row->gddr5) adapter->MemoryType = 0x50;
    }
    for (uint16_t id : kTemperatureOffsetDevices)
        if (id == device) adapter->TemperatureOffset = kTemperatureOffset;
}

// The adapter's register window: BAR 2's memory range. Null when the
// configuration read fails or the BAR is unassigned or an I/O range.
CIOSpace* RegisterWindow(CPCIDevice* pci) {
    uint32_t bar = 0;
    if (!pci->ReadConfigDword(kRegisterBAR, &bar) || (bar & kBARIOSpace)) return nullptr;
    return SharedMemoryWindow(bar & 0xFFFFFFF0, kWholeWindow, false);
}

bool Bind(CDisplayAPI* api, CDisplayAdapter* adapter, uint32_t* biosBase) {
    CPCIDevice* pci = adapter->GetPCIDevice();
    if (!pci || pci->GetVendorID() != kATIVendor || pci->m_byFunction != 0) return false;
    CIOSpace* window = RegisterWindow(pci);
    if (!window) return false;
    adapter->CoreReferenceClock = adapter->MemoryReferenceClock = kDefaultReferenceClock;
    adapter->AddAPIEntry(api, -1);
    if (adapter->FamilyCode == 0xFFFFFFFF) adapter->FamilyCode = GPU_FAMILY_ATI;
    adapter->MMIOSpace = window;
    if (!*biosBase) *biosBase = FindVideoBIOS(GetSDK()->GetDriver());
    Identify(adapter, pci->GetDeviceID(), window, *biosBase);
    return true;
}

// The thermal-chip code of the device at one address; 0xFFFFFFFF when it
// does not answer or is no known chip.
uint32_t ProbeThermalChip(CI2CRegisterSpace* space, uint8_t bus, uint8_t address) {
    uint8_t first = 0, second = 0;
    const uint32_t answered = space->ReadByteData(bus, address, 0x00, &first);
    const uint32_t answeredAgain = space->ReadByteData(bus, address, 0x20, &second);
    if (!answered || !answeredAgain) return 0xFFFFFFFF;
    uint8_t manufacturer = 0, device = 0;
    if (!space->ReadByteData(bus, address, kManufacturerRegister, &manufacturer)) return 0xFFFFFFFF;
    if (manufacturer != 0x01 && manufacturer != 0x23 && manufacturer != 0x41) return 0xFFFFFFFF;
    if (!space->ReadByteData(bus, address, kDeviceRegister, &device)) return 0xFFFFFFFF;
    return ATIThermalChipOf(manufacturer, device);
}

void FindThermalChip(CDisplayAdapter* adapter) {
    auto* space = static_cast<CI2CRegisterSpace*>(adapter->APII2CSpace ? adapter->APII2CSpace : adapter->I2CSpace);
    for (uint8_t bus = 0; space && bus < kThermalChipBuses; ++bus)
        for (uint8_t address : kThermalChipAddresses) {
            const uint32_t code = ProbeThermalChip(space, bus, address);
            if (code == 0xFFFFFFFF) continue;
            adapter->ThermalChip = code;
            adapter->ThermalChipBus = bus;
            adapter->ThermalChipAddress = address;
            return;
        }
    const uint32_t group = adapter->FamilyCode & kFamilyGroupMask;
    if (!adapter->MMIOSpace || (group != kFamilyR6XX && group != kFamilyR7XX)) return;
    uint32_t value = 0;
    if (!adapter->MMIOSpace->ReadDword(group == kFamilyR6XX ? 0x7F4 : 0x730, &value)) return;
    if (ATIOnDieTemperature(value) != 0)
        adapter->ThermalChip = group == kFamilyR6XX ? THERMAL_ON_DIE_R6XX : THERMAL_ON_DIE_R7XX;
}

} // namespace

uint32_t ATIThermalChipOf(uint8_t manufacturer, uint8_t device) {
    for (const ThermalChipRow& row : kThermalChips)
        if (row.manufacturer == manufacturer && row.device == device) return row.code;
    return 0xFFFFFFFF;
}

int32_t ATIOnDieTemperature(uint32_t value) {
    const int32_t degrees = int32_t(value & 0xFF);
    return (value & 0x100) ? degrees - 256 : degrees;
}

ATI_DirectIO_DisplayAPI::ATI_DirectIO_DisplayAPI() : CDisplayAPI(DISPLAY_API_ATI_IO) {
    FormatString(Name, sizeof Name, "ATI I/O");
}

int ATI_DirectIO_DisplayAPI::Init() {
    CDisplayInterface* display = GetSDK()->m_pDisplay;
    if (!display) return 0;
    int result = 0;
    uint32_t biosBase = 0;
    CTListIterator<CDevice> it(display->Adapters);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext())
        if (Bind(this, static_cast<CDisplayAdapter*>(device), &biosBase)) result = 1;
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext())
        FindThermalChip(static_cast<CDisplayAdapter*>(device));
    return result;
}

void ATI_DirectIO_DisplayAPI::Dump(CReportGenerator* report) { DumpAPIField(report, "ATI I/O"); }

void ATI_DirectIO_DisplayAPI::Dump2(CReportGenerator* report) { DumpAPISection(report, "ATI I/O"); }
