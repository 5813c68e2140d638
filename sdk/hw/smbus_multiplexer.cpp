#include "sdk/hw/smbus_multiplexer.h"

#include <algorithm>

#include "platform/sync.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/io_space.h"
#include "sdk/monitor/config_mode.h"

// ---- The base ----

CMultiplexer::CMultiplexer() : m_hMutex(BRENIKSDK::CreateGlobalMutex(0, kMutexName)) {}

CMultiplexer::~CMultiplexer() {
    if (m_hMutex) CloseHandle(m_hMutex);
}

bool CMultiplexer::Lock() {
    if (!m_hMutex) return true;
    // An owner that ended without releasing it left the mutex to us.
    const DWORD result = WaitForSingleObject(m_hMutex, m_dwMutexTimeoutMs);
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

void CMultiplexer::Unlock() {
    if (m_hMutex) ReleaseMutex(m_hMutex);
}

int32_t CMultiplexer::Select(uint8_t channel) {
    if (!Lock()) return 0;
    const uint8_t last = m_byChannelCount ? uint8_t(m_byChannelCount - 1) : 0;
    const int32_t result = SetChannel(std::min(channel, last));
    Unlock();
    return result;
}

int32_t CMultiplexer::Restore() { return Select(m_bySavedChannel); }

uint8_t CMultiplexer::ReadChannel() {
    if (!Lock()) return m_bySavedChannel;
    const uint8_t channel = GetChannel();
    Unlock();
    return channel;
}

uint8_t CMultiplexer::Save() { return m_bySavedChannel = ReadChannel(); }

// ---- ASUS P5W / P5M2 ----

int32_t Asus_P5W_SMBusMultiplexer::SetChannel(uint8_t channel) {
    uint8_t level = 0;
    if (!m_pGPIO || !m_pGPIO->ReadByte(kLevelRegister, &level)) return 1;
    const bool high = channel & 1;
    if (bool(level & m_byLine) != high) m_pGPIO->WriteByte(kLevelRegister, high ? level | m_byLine : level & ~m_byLine);
    return 1;
}

uint8_t Asus_P5W_SMBusMultiplexer::GetChannel() {
    uint8_t level = 0;
    if (m_pGPIO) m_pGPIO->ReadByte(kLevelRegister, &level);
    return (level & m_byLine) ? 1 : 0;
}

// ---- ASUS ASB100 ----

Asus_ASB100_SMBusMultiplexer_Type_2::Asus_ASB100_SMBusMultiplexer_Type_2(Winbond_LPCIO_ConfigMode* configMode)
    : m_pConfigMode(configMode) {
    m_byChannelCount = 2;
}

Asus_ASB100_SMBusMultiplexer_Type_2::~Asus_ASB100_SMBusMultiplexer_Type_2() { delete m_pConfigMode; }

namespace {

// Inside the configuration mode with logical device 8 selected: runs
// `work` and puts the device select back. False when the mode cannot be
// entered.
template <typename Work>
bool InLogicalDevice(Winbond_LPCIO_ConfigMode* mode, uint8_t device, Work work) {
    if (!mode || !mode->Enter()) return false;
    uint8_t saved = 0xFF;
    const bool haveSaved = mode->ReadRegister(CConfigMode::kLogicalDeviceSelect, &saved);
    mode->WriteRegister(CConfigMode::kLogicalDeviceSelect, device);
    work(*mode);
    if (haveSaved && saved != device) mode->WriteRegister(CConfigMode::kLogicalDeviceSelect, saved);
    mode->Exit();
    return true;
}

} // namespace

int32_t Asus_ASB100_SMBusMultiplexer_Type_2::SetChannel(uint8_t channel) {
    InLogicalDevice(m_pConfigMode, kLogicalDevice, [channel](CConfigMode& mode) {
        uint8_t line = 0xFF;
        if (!mode.ReadRegister(kLineRegister, &line)) return;
        const bool high = channel & 1;
        if (bool(line & kLine) != high)
            mode.WriteRegister(kLineRegister, uint8_t((line & ~kLineField) | (high ? kLine : 0)));
    });
    return 1;
}

uint8_t Asus_ASB100_SMBusMultiplexer_Type_2::GetChannel() {
    uint8_t line = 0;
    InLogicalDevice(m_pConfigMode, kLogicalDevice, [&line](CConfigMode& mode) {
        if (!mode.ReadRegister(kLineRegister, &line)) line = 0;
    });
    return (line & kLine) ? 1 : 0;
}

// ---- Intel S5500BC ----

int32_t Intel_S5500BC_SMBusMultiplexer::SetChannel(uint8_t channel) {
    uint32_t level = 0;
    if (channel > 1 || !m_pGPIO || !m_pGPIO->ReadDword(kLevelRegister, &level)) return 1;
    if (channel == 1) m_pGPIO->WriteDword(kLevelRegister, (level & ~kChannel0Line) | kChannel1Line);
    else m_pGPIO->WriteDword(kLevelRegister, (level & ~kChannel1Line) | kChannel0Line);
    return 1;
}

uint8_t Intel_S5500BC_SMBusMultiplexer::GetChannel() {
    uint32_t level = 0;
    if (m_pGPIO) m_pGPIO->ReadDword(kLevelRegister, &level);
    return (level & kChannel1Line) ? 1 : 0;
}

// ---- EVGA ICH10R ----

int32_t EVGA_ICH10R_SMBusMultiplexer::SetChannel(uint8_t channel) {
    uint32_t level = 0;
    if (channel > 1 || !m_pGPIO || !m_pGPIO->ReadDword(kLevelRegister, &level)) return 1;
    m_pGPIO->WriteDword(kLevelRegister, channel == 1 ? (level & ~kLines) | kHighLine : level | kLines);
    return 1;
}

uint8_t EVGA_ICH10R_SMBusMultiplexer::GetChannel() {
    if (!m_pGPIO) return 0;
    uint32_t value = 0;
    if (m_pGPIO->ReadDword(kUseSelectRegister, &value) && (value & kLines) != kLines)
        m_pGPIO->WriteDword(kUseSelectRegister, value | kLines);
    if (m_pGPIO->ReadDword(kDirectionRegister, &value) && (value & kLines))
        m_pGPIO->WriteDword(kDirectionRegister, value & ~kLines);
    if (!m_pGPIO->ReadDword(kLevelRegister, &value)) return 0;
    switch (value & kLines) {
    case kHighLine: return 1;
    case kLines: return 0;
    default:
        m_pGPIO->WriteDword(kLevelRegister, value | kLines);
        return 0;
    }
}
