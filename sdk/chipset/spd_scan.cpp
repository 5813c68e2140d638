// The SPD scan: the EEPROM addresses 0x50 + slot on every SMBus host
// controller, then the DIMM indexes of the memory controllers' own SMBus
// engines. A device that looks like an SPD EEPROM gets the next record, its
// bytes and a module device; a JEDEC thermal sensor beside it on the
// controller becomes the module's temperature sensor. Nothing is decoded
// here.
#include "sdk/chipset/spd_interface.h"

#include "platform/threads.h"
#include "sdk/chipset/module_info.h"
#include "sdk/core/device.h"
#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/hw/smbus_controller.h"
#include "sdk/hw/smbus_device.h"
#include "sdk/hw/smbus_interface.h"

namespace {

constexpr int kSPDTypeByte = 2;
constexpr uint8_t kThermalSensorBase = 0x18;
constexpr uint32_t kThermalManufacturerRegister = 6;
constexpr uint32_t kThermalTemperatureRegister = 5;
// JC-42.4 sensor makers whose sensors are read.
constexpr uint32_t kThermalManufacturers[] = {0x001F, 0x004D, 0x0054, 0x00B3, 0x104A,
                                              0x1114, 0x1131, 0x11D4, 0x1B09};

// Boards whose module slots differ from the default.
constexpr int32_t kSevenSlotBoards[] = {0x047853E0, 0x06A45470, 0x087853F0,
                                        0x68BEE6AB, int32_t(0xD17DCDEC), int32_t(0xD17DCDF0)};
constexpr int32_t kFourSlotBoard = 0x000020D8;
constexpr int32_t kSkipFirstTwoSlotsBoard = 0x00AECC64;

// The memory controllers' SMBus engines, probed in this order.
struct EngineGroup {
    uint32_t controllerId;
    uint8_t dimms;
    uint32_t pauseMs;  // after each device examined
};
constexpr EngineGroup kEngineGroups[] = {
    {0x808625F5, 4, 0},  {0x808625F6, 4, 30}, {0x80862621, 8, 0}, {0x80864035, 8, 0},
    {0x80864036, 8, 0}, {0x8086360F, 8, 0},  {0x80863610, 8, 0},
};

void Step(CSPDInterface::ProgressCallback callback) {
    if (callback) callback();
}

// The bytes to read of an EEPROM on a host controller, 0 when the device
// is not taken for one: byte 2 gives the memory type, a further byte must
// lie within what that type allows.
int SlotReadLength(CSMBusDevice* device, uint8_t type) {
    uint8_t check = 0;
    switch (type) {
    case 1:
    case 2: return 256;
    case 4:
    case 5:
    case 6:
    case 7:
    case 8:
        device->ReadByte(8, &check);
        return check <= 6 ? 256 : 0;
    case 9:
    case 10:
        device->ReadByte(1, &check);
        return check <= 0x20 ? 256 : 0;
    case 11:
        device->ReadByte(3, &check);
        return check <= 0x10 ? 256 : 0;
    case 12: return 512;
    default: return 0;  // 0, 3 and above 12 (a failed read gives 0xFF)
    }
}

bool IsEngineModuleType(uint8_t type) { return type == 1 || type == 2 || (type >= 4 && type <= 12); }

} // namespace

int CSPDInterface::Scan(ProgressCallback callback) { return ScanModules(callback); }

int CSPDInterface::ScanModules(ProgressCallback callback) {
    m_iModuleCount = 0;
    ScanSlots(callback);
    ScanMemoryControllerEngines(callback);
    return m_iModuleCount != 0 ? 1 : 0;
}

float CSPDInterface::ThermalReading(uint32_t raw) {
    float degrees = static_cast<float>(raw & 0xFFF) * 0.0625f;
    if (raw & 0x1000) degrees -= 256.0f;
    return degrees;
}

void CSPDInterface::ScanSlots(ProgressCallback callback) {
    int firstSlot = 0;
    for (int32_t board : kSevenSlotBoards)
        if (m_iBoardHash == board) m_iSlotCount = 7;
    if (m_iBoardHash == kFourSlotBoard) m_iSlotCount = 4;
    if (m_iBoardHash == kSkipFirstTwoSlotsBoard) firstSlot = 2;

    CSMBusInterface* smbus = GetSDK()->m_pSMBus;
    CTList<CDevice> found;
    int referenceType = -1;
    for (int slot = firstSlot; slot < m_iSlotCount; ++slot) {
        Step(callback);
        if (!smbus) continue;
        const uint8_t address = static_cast<uint8_t>(kFirstSPDAddress | slot);
        // The first probe wakes EEPROMs that miss their first transfer;
        // only the second one's answers count.
        smbus->ProbeAddress(address, &found, 0, 0, 0);
        smbus->ProbeAddress(address, &found, 0, 0, 0);
        CTListIterator<CDevice> it(&found);
        for (CDevice* device = it.GetFirst(); device; device = it.GetNext()) {
            auto* eeprom = static_cast<CSMBusDevice*>(device);
            uint8_t type = 0xFF;
            eeprom->ReadByte(kSPDTypeByte, &type);
            const int length = SlotReadLength(eeprom, type);
            if (length == 0) continue;
            // Modules of one system are of one type; anything else answering
            // at an SPD address is not a module of it.
            if (referenceType < 0) referenceType = type;
            else if (type != referenceType) continue;
            CModuleInfo* record = FillRecord(address, eeprom, length);
            if (!record) return;  // every record in use
            CMemoryModule* module = AddModuleDevice(record, eeprom);
            AttachThermalSensor(module, eeprom, slot);
        }
    }
}

void CSPDInterface::ScanMemoryControllerEngines(ProgressCallback callback) {
    CSMBusInterface* smbus = GetSDK()->m_pSMBus;
    CTList<CRegisterSpace> engines;
    CTList<CDevice> found;
    for (const EngineGroup& group : kEngineGroups) {
        Step(callback);
        if (!smbus || !smbus->GetControllers(group.controllerId, &engines)) continue;
        CTListIterator<CRegisterSpace> engine(&engines);
        for (CRegisterSpace* space = engine.GetFirst(); space; space = engine.GetNext()) {
            for (uint8_t dimm = 0; dimm < group.dimms; ++dimm) {
                smbus->ProbeOnController(static_cast<CSMBusRegisterSpace*>(space), dimm, &found);
                CTListIterator<CDevice> it(&found);
                for (CDevice* device = it.GetFirst(); device; device = it.GetNext()) {
                    auto* eeprom = static_cast<CSMBusDevice*>(device);
                    uint8_t type = 0xFF;
                    eeprom->ReadByte(kSPDTypeByte, &type);
                    if (IsEngineModuleType(type)) {
                        CModuleInfo* record = FillRecord(dimm, eeprom, 256);
                        if (!record) return;
                        // The engines' reads are taken as whole.
                        record->m_iSPDLength = 256;
                        AddModuleDevice(record, eeprom);
                    }
                    if (group.pauseMs) Sleep(group.pauseMs);
                }
            }
        }
    }
}

CModuleInfo* CSPDInterface::FillRecord(uint8_t address, CSMBusDevice* eeprom, int length) {
    if (m_iModuleCount >= kMaxModules) return nullptr;
    CModuleInfo* record = &m_pModules[m_iModuleCount];
    record->m_iIndex = m_iModuleCount;
    record->m_ucAddress = address;
    uint8_t* bytes = record->AllocateSPD(length);
    record->m_iSPDLength = static_cast<int>(eeprom->ReadBytes(0, bytes, static_cast<uint32_t>(length)));
    ++m_iModuleCount;
    return record;
}

CMemoryModule* CSPDInterface::AddModuleDevice(CModuleInfo* record, CSMBusDevice* eeprom) {
    auto* module = new CMemoryModule("Memory Module");
    module->m_pModuleInfo = record;
    module->AddChild(eeprom);
    GetSDK()->m_pDevices->AddTail(module);
    if (!m_pDevices) m_pDevices = new CTList<CDevice>;
    m_pDevices->AddTail(module);
    return module;
}

void CSPDInterface::AttachThermalSensor(CMemoryModule* module, CSMBusDevice* eeprom, int slot) {
    CSMBusInterface* smbus = GetSDK()->m_pSMBus;
    if (!smbus || !eeprom->m_pController) return;
    CTList<CDevice> found;
    const uint8_t address = static_cast<uint8_t>(kThermalSensorBase | (slot & 7));
    if (!smbus->ProbeAddressOn(address, eeprom->m_pController, &found, 0, 0, 0) || !found.m_pHead) return;
    auto* sensorDevice = static_cast<CSMBusDevice*>(found.m_pHead->m_pPayload);

    // The sensor sends its registers most significant byte first.
    uint8_t first = 0, second = 0;
    if (!sensorDevice->ReadWord(kThermalManufacturerRegister, &first, &second)) return;
    const uint32_t manufacturer = first * 256u + second;
    bool known = false;
    for (uint32_t id : kThermalManufacturers) known = known || id == manufacturer;
    if (!known || !sensorDevice->ReadWord(kThermalTemperatureRegister, &first, &second)) return;
    const uint32_t raw = first * 256u + second;

    auto* sensor = new CTemperatureSensor(0);
    FormatString(sensor->m_szName, sizeof sensor->m_szName, "%s", "core");
    sensor->m_dwRawValue = raw;
    sensor->SetValue(ThermalReading(raw), 1);
    GetSDK()->m_pSensors->AddTail(sensor);
    module->m_pThermalSensor = sensor;
    module->m_pThermalSensorDevice = sensorDevice;
    module->AddSensor(sensor);
    module->AddChild(sensorDevice);
}
