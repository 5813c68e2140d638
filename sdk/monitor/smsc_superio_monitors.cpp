#include "sdk/monitor/smsc_superio_monitors.h"

#include "platform/threads.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/register_space.h"
#include "sdk/hw/register_space_lpc.h"
#include "sdk/monitor/chip_sensor_slots.h"
#include "sdk/monitor/config_mode.h"

namespace {

constexpr float kFanConstant = 5.4e6f;

// ---- LPC47M192 ----
constexpr _stVoltageLabel kLpc47m192Voltages[] = {
    {"+2.5V", 0x00000100, 1, 3.32f, 255},   {"CPU VCORE", 0x01000101, 1, 3, 255}, {"ATX +3.3V", 0x02000102, 1, 4.38f, 255},
    {"ATX +5V", 0x03000103, 1, 6.64f, 255}, {"ATX +12V", 0x04000104, 1, 16, 255}, {"HVCC", 0x00000105, 1, 4.38f, 255},
    {"+1.5V", 0x00000106, 1, 2, 255},       {"+1.8V", 0x00000107, 1, 2.41f, 255}, {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stSensorLabel kLpc47m192Temperatures[] = {
    {"Diode 1", 0x00000200, 1}, {"Ambient", 0x00000201, 1}, {"Diode 2", 0x00000202, 1}, {nullptr, kLabelTableEnd, 0}};
constexpr _stSensorLabel kTwoFans[] = {{"FANIN0", 0x00000400, 1}, {"FANIN1", 0x00000401, 1}, {nullptr, kLabelTableEnd, 0}};
constexpr uint8_t kLpc47m192VoltageRegisters[] = {0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x50, 0x51};
constexpr uint8_t kLpc47m192TemperatureRegisters[] = {0x26, 0x27, 0x52};
constexpr uint32_t kConfigPort = 0x2E;
constexpr uint8_t kRuntimeDevice = 0x0A;
constexpr uint8_t kRuntimeFanDivisors = 0x58;  // bits 5-4 fan 0, 7-6 fan 1
constexpr uint8_t kRuntimeFans[] = {0x59, 0x5A};

bool InRange(uint8_t value) { return value >= 1 && value <= 254; }

// ---- SCH56xx mailbox ----
constexpr uint32_t kMailboxCommand = 0;
constexpr uint32_t kMailboxStatus = 1;
constexpr uint32_t kMailboxData = 4;
constexpr uint32_t kMailboxAddressLow = 6;
constexpr uint32_t kMailboxAddressHigh = 7;
constexpr uint32_t kMailboxDone = 8;

// ---- SCH5636 ----
constexpr const char* kEmbeddedControllerMutex = "Access_Fujitsu_EC";
constexpr _stVoltageLabel kSch5636Voltages[] = {
    {"+3.3V", 0x02000100, 1, 4.4f, 255}, {"VREF", 0x00000101, 1, 1.5f, 255}, {"VBAT", 0x00000102, 1, 4, 255},
    {"+3.3V AUX", 0x00000103, 1, 4.4f, 255}, {"+12V", 0x04000104, 1, 16, 255}, {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stSensorLabel kSch5636Temperatures[] = {
    {"PECI", 0x00000200, 1},    {"SIO", 0x00000201, 1},     {"Graphic", 0x00000202, 1}, {"PCH", 0x00000203, 1},
    {"Memory", 0x03000204, 1},  {"VREG", 0x02000205, 1},    {"TMPIN6", 0x00000206, 1},  {"TMPIN7", 0x00000207, 1},
    {"TMPIN8", 0x00000208, 1},  {"TMPIN9", 0x00000209, 1},  {"TMPIN10", 0x0000020A, 1}, {"TMPIN11", 0x0000020B, 1},
    {"TMPIN12", 0x0000020C, 1}, {"TMPIN13", 0x0000020D, 1}, {"TMPIN14", 0x0000020E, 1}, {"TMPIN15", 0x0000020F, 1},
    {nullptr, kLabelTableEnd, 0}};
constexpr _stSensorLabel kSch5636Fans[] = {
    {"CPU", 0x01000400, 1},    {"FANIN1", 0x00000401, 1}, {"FANIN2", 0x00000402, 1}, {"FANIN3", 0x00000403, 1},
    {"FANIN4", 0x00000404, 1}, {"FANIN5", 0x00000405, 1}, {"FANIN6", 0x00000406, 1}, {"FANIN7", 0x00000407, 1},
    {nullptr, kLabelTableEnd, 0}};
constexpr uint16_t kSch5636Identification[] = {0x780, 0x781, 0x782, 0x783, 0x784};
constexpr uint16_t kSch5636VoltageAddresses[] = {0x22, 0x23, 0x24, 0x25, 0x189};
constexpr uint16_t kSch5636TemperatureFlags = 0x790;
constexpr uint16_t kSch5636TemperatureAddresses[] = {0x2B, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x180, 0x181,
                                             0x85, 0x86, 0x87, 0x88, 0x89, 0x8A, 0x8B, 0x8C};
constexpr uint16_t kSch5636FanFlags = 0x880;
constexpr uint16_t kSch5636FanAddresses[] = {0x2C, 0x2E, 0x30, 0x32, 0x62, 0x64, 0x66, 0x68};
constexpr uint8_t kSlotAbsent = 0x80;  // bit 7 of a flag byte

} // namespace

// ---- LPC47M192 ----

SMSC_LPC47M192_HardwareMonitor::SMSC_LPC47M192_HardwareMonitor() : CHardwareMonitor(MONITOR_CHIP, 0x550020) {
    FormatString(m_szName, sizeof m_szName, "SMSC LPC47M192");
    m_fFanConstant = 983010.0f;
    m_pVoltageLabels = kLpc47m192Voltages;
    m_pTemperatureLabels = kLpc47m192Temperatures;
    m_pFanLabels = kTwoFans;
    FindRuntimeBlock();
}

// The runtime block of logical device 0x0A, when active; the device
// selection is put back before configuration mode ends.
void SMSC_LPC47M192_HardwareMonitor::FindRuntimeBlock() {
    BRENIKSDK* sdk = GetSDK();
    auto* ports = static_cast<CLPCRegisterSpace*>(sdk->FindRegisterSpace(0, kConfigPort, REGSPACE_LPC));
    if (!ports) return;
    SMSC_LPCIO_ConfigMode mode(ports);
    if (!mode.Enter()) return;
    uint8_t savedDevice = 0, high = 0, low = 0, active = 0;
    const bool deviceKnown = mode.ReadRegister(CConfigMode::kLogicalDeviceSelect, &savedDevice) != 0;
    mode.WriteRegister(CConfigMode::kLogicalDeviceSelect, kRuntimeDevice);
    mode.ReadRegister(0x60, &high);
    mode.ReadRegister(0x61, &low);
    const uint32_t base = (uint32_t(high) << 8 | low) & ~0x7Fu;
    if (base && mode.ReadRegister(0x30, &active) && (active & 1)) {
        m_pRuntimeBlock = sdk->FindIOSpace(0, base, IOSPACE_PORT);
        if (!m_pRuntimeBlock) {
            m_pRuntimeBlock = new CPortIOSpace(base, 0xFFFFFFFF);
            sdk->m_pIOSpaces->AddTail(m_pRuntimeBlock);
        }
    }
    if (deviceKnown) mode.WriteRegister(CConfigMode::kLogicalDeviceSelect, savedDevice);
    mode.Exit();
}

int SMSC_LPC47M192_HardwareMonitor::ReadRuntimeRegister(uint8_t reg, uint8_t* value) {
    if (!m_pRequest || !m_pRuntimeBlock) return 0;
    if (value) *value = 0xFF;
    return m_pRuntimeBlock->ReadByte(reg, value);
}

void SMSC_LPC47M192_HardwareMonitor::ReadFans() {
    uint8_t count = 0;
    for (int i = 0; i < 2; ++i) {
        if (!ReadRuntimeRegister(kRuntimeFans[i], &count)) continue;
        // Fan 1 takes 255 for no count; fan 0 takes 1-254.
        const bool accepted = i == 0 ? InRange(count) : count != 0 && count != 0xFF;
        if (accepted) EnsureFan(*this, m_pFans[i], uint8_t(i), m_dwFanDivisors[i])->m_dwRawValue = count;
    }
}

int SMSC_LPC47M192_HardwareMonitor::CreateSensors() {
    uint8_t value = 0;
    for (int i = 0; i < 8; ++i)
        if (ReadRegister(kLpc47m192VoltageRegisters[i], &value) && InRange(value))
            m_pVoltages[i] = NewIndexedSensor<CVoltageSensor>(*this, uint8_t(i), kVoltageInputPrefix);
    for (int i = 0; i < 3; ++i)
        if (ReadRegister(kLpc47m192TemperatureRegisters[i], &value) && value != 0x80)
            m_pTemperatures[i] = NewIndexedSensor<CTemperatureSensor>(*this, uint8_t(i), kTemperatureInputPrefix);
    if (ReadRuntimeRegister(kRuntimeFanDivisors, &value)) {
        m_dwFanDivisors[0] = 1u << ((value >> 4) & 3);
        m_dwFanDivisors[1] = 1u << ((value >> 6) & 3);
    }
    ReadFans();
    ApplySensorLabels();
    return 1;
}

int SMSC_LPC47M192_HardwareMonitor::Update() {
    uint8_t value = 0;
    for (int i = 0; i < 8; ++i)
        if (m_pVoltages[i] && ReadRegister(kLpc47m192VoltageRegisters[i], &value) && InRange(value))
            SetVoltageReading(m_pVoltages[i], value, float(value));
    for (int i = 0; i < 3; ++i)
        if (m_pTemperatures[i] && ReadRegister(kLpc47m192TemperatureRegisters[i], &value))
            m_pTemperatures[i]->m_dwRawValue = value;
    ReadFans();
    ApplySensorFormulas();
    return 1;
}

// ---- SCH56xx ----

SMSC_SCH56xx_HardwareMonitor::SMSC_SCH56xx_HardwareMonitor(CRegisterSpace* runtime, uint32_t id)
    : CHardwareMonitor(MONITOR_CHIP, id) {
    m_pRegisterSpace = runtime;
}

int SMSC_SCH56xx_HardwareMonitor::ReadEMRegister(uint16_t address, uint8_t* value) {
    CRegisterSpace* space = m_pRegisterSpace;
    uint8_t byte = 0;
    if (m_bMailboxSilent || !space || !space->ReadByte(kMailboxStatus, &byte)) return 0;
    space->WriteByte(kMailboxStatus, byte);
    space->WriteByte(2, 0x00);
    space->WriteByte(3, 0x80);
    space->WriteByte(kMailboxData, 0x02);
    space->WriteByte(5, 0x01);
    space->WriteByte(2, 0x04);
    space->WriteByte(kMailboxAddressLow, address & 0xFF);
    space->WriteByte(kMailboxAddressHigh, address >> 8);
    space->WriteByte(kMailboxCommand, 0x01);
    bool done = false;
    for (int poll = 0; poll < kStatusPolls && !done; ++poll) {
        byte = 0;
        space->ReadByte(kMailboxDone, &byte);
        if (byte) space->WriteByte(kMailboxDone, byte);
        done = byte & 1;
        if (!done) Sleep(1);
    }
    if (!done) {
        m_bMailboxSilent = true;
        return 0;
    }
    bool ready = false;
    for (int poll = 0; poll < kReadyPolls && !ready; ++poll) {
        byte = 0;
        space->ReadByte(kMailboxStatus, &byte);
        ready = byte & 1;
    }
    if (!ready) {
        m_bMailboxSilent = true;
        return 0;
    }
    return value ? space->ReadByte(kMailboxData, value) : 1;
}

SMSC_SCH5627_HardwareMonitor::SMSC_SCH5627_HardwareMonitor(CRegisterSpace* runtime)
    : SMSC_SCH56xx_HardwareMonitor(runtime, 0xA5) {
    FormatString(m_szName, sizeof m_szName, "SMSC SCH5627");
}

// ---- SCH5636 ----

SMSC_SCH5636_HardwareMonitor::SMSC_SCH5636_HardwareMonitor(CRegisterSpace* runtime)
    : SMSC_SCH56xx_HardwareMonitor(runtime, 0xA7), m_hMutex(BRENIKSDK::CreateGlobalMutex(0, kEmbeddedControllerMutex)) {
    FormatString(m_szName, sizeof m_szName, "SMSC SCH5636");
    m_fFanConstant = kFanConstant;
    m_pVoltageLabels = kSch5636Voltages;
    m_pTemperatureLabels = kSch5636Temperatures;
    m_pFanLabels = kSch5636Fans;
}

SMSC_SCH5636_HardwareMonitor::~SMSC_SCH5636_HardwareMonitor() {
    if (m_hMutex) CloseHandle(m_hMutex);
}

// A mutex left by a program that ended is ours now: it is handed back and
// this pass skipped, as for one still held.
bool SMSC_SCH5636_HardwareMonitor::Acquire(uint32_t milliseconds) {
    if (!m_hMutex) return false;
    const DWORD result = WaitForSingleObject(m_hMutex, milliseconds);
    if (result == WAIT_OBJECT_0) return true;
    if (result == WAIT_ABANDONED) ReleaseMutex(m_hMutex);
    return false;
}

int SMSC_SCH5636_HardwareMonitor::CreateSensors() {
    if (!Acquire(kCreateWaitMs)) return 0;
    uint8_t unused = 0;
    m_bMailboxSilent = false;
    for (uint16_t address : kSch5636Identification) ReadEMRegister(address, &unused);
    ReleaseMutex(m_hMutex);
    Update();
    return 1;
}

int SMSC_SCH5636_HardwareMonitor::Update() {
    if (!Acquire(kUpdateWaitMs)) return 0;
    m_bMailboxSilent = false;
    ReadVoltages();
    ReadTemperatures();
    ReadFans();
    ApplySensorFormulas();
    ReleaseMutex(m_hMutex);
    return 1;
}

void SMSC_SCH5636_HardwareMonitor::ReadVoltages() {
    uint8_t value = 0;
    for (int i = 0; i < 5; ++i)
        if (ReadEMRegister(kSch5636VoltageAddresses[i], &value) && InRange(value))
            SetVoltageReading(EnsureIndexedSensor(*this, m_pVoltages[i], uint8_t(i), kVoltageInputPrefix), value, float(value));
}

// Offset-64 readings; a slot whose flag has bit 7 set is not read.
void SMSC_SCH5636_HardwareMonitor::ReadTemperatures() {
    for (int i = 0; i < 16; ++i) {
        uint8_t flags = 0, value = 0;
        ReadEMRegister(uint16_t(kSch5636TemperatureFlags + i), &flags);
        if (flags & kSlotAbsent) continue;
        if (!ReadEMRegister(kSch5636TemperatureAddresses[i], &value) || !InRange(value)) continue;
        EnsureIndexedSensor(*this, m_pTemperatures[i], uint8_t(i), kTemperatureInputPrefix)->m_dwRawValue = uint8_t(value - 0x40);
    }
}

void SMSC_SCH5636_HardwareMonitor::ReadFans() {
    for (int i = 0; i < 8; ++i) {
        uint8_t flags = 0, low = 0, high = 0;
        ReadEMRegister(uint16_t(kSch5636FanFlags + i), &flags);
        if (flags & kSlotAbsent) continue;
        ReadEMRegister(kSch5636FanAddresses[i], &low);
        const bool readHigh = ReadEMRegister(uint16_t(kSch5636FanAddresses[i] + 1), &high) != 0;
        const uint32_t count = uint32_t(high) << 8 | low;
        if (!readHigh || count == 0 || count == 0xFFFF) {
            ClearFan(m_pFans[i]);
            continue;
        }
        EnsureFan(*this, m_pFans[i], uint8_t(i), 1)->m_dwRawValue = count;
    }
}
