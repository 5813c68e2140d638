#include "sdk/monitor/nuvoton_nct6683.h"

#include <iterator>

#include "platform/threads.h"
#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/pci_interface.h"
#include "sdk/hw/register_space_lpc.h"
#include "sdk/monitor/chip_sensor_slots.h"

namespace {

constexpr uint16_t kIntelVendor = 0x8086;

constexpr _stVoltageLabel kIntelVoltages[] = {
    {"+12V", 0x04000100, 2, 110, 10}, {"+5V", 0x03000101, 2, 40.2f, 10}, {"+3.3V", 0x02000102, 1, 1, 1},
    {"3VSB", 0x00000103, 1, 1, 1},    {"VCCIN", 0x00000104, 1, 1, 1},    {"PCH", 0x0D000105, 1, 1, 1},
    {"DRAM", 0x08000106, 2, 10, 20},  {nullptr, kLabelTableEnd, 0, 0, 0},
};
constexpr _stSensorLabel kIntelTemperatures[] = {
    {"CPU", 0x01000200, 3},  {"PCH", 0x00000201, 3}, {"eSIO", 0x00000202, 3},
    {"DRAM", 0x00000203, 3}, {"VR", 0x00000204, 3},  {nullptr, kLabelTableEnd, 0},
};
constexpr _stVoltageLabel kGenericVoltages[] = {
    {"VIN0", 0x00000100, 1, 1, 1}, {"VIN1", 0x00000101, 1, 1, 1}, {"VIN2", 0x00000102, 1, 1, 1},
    {"VIN3", 0x00000103, 1, 1, 1}, {"VIN4", 0x00000104, 1, 1, 1}, {"VIN5", 0x00000105, 1, 1, 1},
    {"VIN6", 0x00000106, 1, 1, 1}, {nullptr, kLabelTableEnd, 0, 0, 0},
};
constexpr _stSensorLabel kGenericTemperatures[] = {
    {"TMPIN0", 0x00000200, 3}, {"TMPIN1", 0x00000201, 3}, {"TMPIN2", 0x00000202, 3},
    {"TMPIN3", 0x00000203, 3}, {"TMPIN4", 0x00000204, 3}, {nullptr, kLabelTableEnd, 0},
};
constexpr _stSensorLabel kFans[] = {
    {"CPU", 0x01000400, 2}, {"Front", 0x00000401, 2}, {"Rear", 0x00000402, 2}, {nullptr, kLabelTableEnd, 0},
};

// The paged interface: page port, index port, data port from the base.
constexpr uint32_t kPagePort = 0, kIndexPort = 1, kDataPort = 2;
constexpr uint8_t kPageFree = 0xFF;
constexpr int kPagePolls = 100;
constexpr uint32_t kPagePollMs = 5;
constexpr uint8_t kSensorPage = 1;
constexpr float kSixteenMillivoltStep = 0.016f;

// A channel: its select register and code (no select register: 0), and
// its value register (the high byte's for a fan, the low byte following).
struct Channel {
    uint8_t select, code, value;
};
constexpr Channel kVoltageChannels[7] = {{0xB0, 0x66, 0x20}, {0xB1, 0x67, 0x22}, {0xB2, 0x60, 0x24},
                                         {0xB3, 0x61, 0x26}, {0xB4, 0x74, 0x28}, {0xB5, 0x69, 0x2A},
                                         {0xB6, 0x6D, 0x2C}};
constexpr Channel kTemperatureChannels[5] = {
    {0xA0, 0x20, 0x00}, {0xA1, 0x31, 0x02}, {0xA2, 0x01, 0x04}, {0x00, 0x00, 0x06}, {0x00, 0x00, 0x08}};
constexpr Channel kFanChannels[3] = {{0xC0, 0xB4, 0x40}, {0xC1, 0xB5, 0x42}, {0xC2, 0xB6, 0x44}};
constexpr uint32_t kNoFan = 0x00A5;

bool HostBridgeIsIntel() {
    CPCIInterface* pci = GetSDK()->m_pPCI;
    CPCIDevice* bridge = pci ? pci->FindDevice(0, 0, 0) : nullptr;
    return bridge && bridge->GetVendorID() == kIntelVendor;
}

} // namespace

Nuvoton_NCT6683_HardwareMonitor::Nuvoton_NCT6683_HardwareMonitor() : CHardwareMonitor(MONITOR_CHIP, 0x005000C7) {
    const bool intel = HostBridgeIsIntel();
    m_pVoltageLabels = intel ? kIntelVoltages : kGenericVoltages;
    m_pTemperatureLabels = intel ? kIntelTemperatures : kGenericTemperatures;
    m_pFanLabels = kFans;
    FormatString(m_szName, sizeof m_szName, "%s", "Nuvoton NCT6683");
}

int Nuvoton_NCT6683_HardwareMonitor::CreateSensors() {
    m_pPageSpace = nullptr;
    if (m_pRegisterSpace && m_pRegisterSpace->GetClass() == REGSPACE_LPC) {
        BRENIKSDK* sdk = GetSDK();
        auto* ports = new CPortIOSpace(m_pRegisterSpace->GetBaseLow(), 0xFFFFFFFF);
        m_pPageSpace = new CLPCRegisterSpace(ports, kIndexPort, kDataPort);
        sdk->m_pRegisterSpaces->AddTail(m_pPageSpace);
        sdk->m_pIOSpaces->AddTail(ports);
    }
    Update();
    ApplySensorLabels();
    return 1;
}

int Nuvoton_NCT6683_HardwareMonitor::SelectPage(uint8_t page) {
    if (!m_pPageSpace) return 0;
    uint8_t owner = 0;
    if (!m_pPageSpace->ReadByte(kPagePort, &owner)) return 0;
    for (int polls = kPagePolls; owner != kPageFree; --polls) {
        if (polls <= 0) return 0;
        Sleep(kPagePollMs);
        m_pPageSpace->ReadByte(kPagePort, &owner);
    }
    return m_pPageSpace->WriteByte(kPagePort, page);
}

int Nuvoton_NCT6683_HardwareMonitor::ReleasePage() {
    if (!m_pPageSpace) return 0;
    m_pPageSpace->WriteByte(kPagePort, kPageFree);
    uint8_t ignored = 0;
    return m_pPageSpace->ReadByte(kPagePort, &ignored);
}

int Nuvoton_NCT6683_HardwareMonitor::ReadPageRegister(uint8_t index, uint8_t* value) {
    if (!m_pPageSpace) return 0;
    uint8_t read = 0xFF;
    if (!m_pPageSpace->ReadRegister(index, &read)) return 0;
    *value = read;
    return 1;
}

int Nuvoton_NCT6683_HardwareMonitor::WritePageRegister(uint8_t index, uint8_t value) {
    return m_pPageSpace ? m_pPageSpace->WriteIndexed(index, value) : 0;
}

// The page goes back to its other users even after a failed access; the
// access's own failure is the result then, so that no stale byte passes
// for a reading.
int Nuvoton_NCT6683_HardwareMonitor::ReadPaged(uint8_t page, uint8_t index, uint8_t* value) {
    if (!SelectPage(page)) return 0;
    const int accessed = ReadPageRegister(index, value);
    const int released = ReleasePage();
    return accessed && released;
}

int Nuvoton_NCT6683_HardwareMonitor::WritePaged(uint8_t page, uint8_t index, uint8_t value) {
    if (!SelectPage(page)) return 0;
    const int accessed = WritePageRegister(index, value);
    const int released = ReleasePage();
    return accessed && released;
}

int Nuvoton_NCT6683_HardwareMonitor::Update() {
    if (HostBridgeIsIntel()) {
        ReadVoltages();
        ReadTemperatures();
        ReadFans();
    }
    ApplySensorFormulas();
    return 1;
}

void Nuvoton_NCT6683_HardwareMonitor::ReadVoltages() {
    for (uint8_t i = 0; i < std::size(kVoltageChannels); ++i) {
        const Channel& channel = kVoltageChannels[i];
        uint8_t value = 0;
        if (!WritePaged(kSensorPage, channel.select, channel.code) ||
            !ReadPaged(kSensorPage, channel.value, &value))
            continue;
        StoreVoltage(EnsureIndexedSensor(*this, m_pVoltages[i], i, "VIN"), value, kSixteenMillivoltStep);
    }
}

void Nuvoton_NCT6683_HardwareMonitor::ReadTemperatures() {
    for (uint8_t i = 0; i < std::size(kTemperatureChannels); ++i) {
        const Channel& channel = kTemperatureChannels[i];
        uint8_t value = 0;
        if (channel.select && !WritePaged(kSensorPage, channel.select, channel.code)) continue;
        if (!ReadPaged(kSensorPage, channel.value, &value) || value == 0) continue;
        CTemperatureSensor* sensor = EnsureIndexedSensor(*this, m_pTemperatures[i], i, "TMPIN");
        sensor->m_dwRawValue = value;
        sensor->SetValue(float(value), 1);
    }
}

void Nuvoton_NCT6683_HardwareMonitor::ReadFans() {
    for (uint8_t i = 0; i < std::size(kFanChannels); ++i) {
        const Channel& channel = kFanChannels[i];
        uint8_t high = 0, low = 0;
        if (!WritePaged(kSensorPage, channel.select, channel.code) ||
            !ReadPaged(kSensorPage, channel.value, &high) || !ReadPaged(kSensorPage, uint8_t(channel.value + 1), &low))
            continue;
        const uint32_t count = uint32_t(high) << 8 | low;
        if (count == 0 || count == kNoFan) ClearFan(m_pFans[i]);
        else EnsureFan(*this, m_pFans[i], i, 1)->m_dwRawValue = count;
    }
}
