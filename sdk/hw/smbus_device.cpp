#include "sdk/hw/smbus_device.h"

#include "sdk/hw/smbus_controller.h"
#include "sdk/hw/smbus_multiplexer.h"

int32_t CSMBusDevice::SelectChannel() {
    if (!Usable() || !m_pMultiplexer) return 0;
    return m_pMultiplexer->Select(m_byChannel);
}

int32_t CSMBusDevice::RestoreChannel() {
    if (!Usable() || !m_pMultiplexer) return 0;
    return m_pMultiplexer->Restore();
}

template <typename Transfer>
uint32_t CSMBusDevice::OnChannel(Transfer transfer) {
    if (!Usable()) return 0;
    if (m_pMultiplexer && !SelectChannel()) return 0;
    const uint32_t result = transfer();
    RestoreChannel();
    return result;
}

uint32_t CSMBusDevice::ReadByte(uint32_t reg, uint8_t* value) {
    if (value) *value = 0xFF;
    return OnChannel([&] { return uint32_t(m_pController->ReadByteData(m_bySlaveAddress, reg, value)); });
}

uint32_t CSMBusDevice::ReadWord(uint32_t reg, uint8_t* low, uint8_t* high) {
    if (low) *low = 0xFF;
    if (high) *high = 0xFF;
    return OnChannel([&] { return uint32_t(m_pController->ReadWordData(m_bySlaveAddress, reg, low, high)); });
}

uint32_t CSMBusDevice::ReadBytes(uint32_t reg, uint8_t* buffer, uint32_t count) {
    return OnChannel([&] { return m_pController->ReadBytes(m_bySlaveAddress, reg, buffer, count); });
}
