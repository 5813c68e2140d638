#include "sdk/display/i2c_register_space.h"

#include <memory>

CI2CRegisterSpace::CI2CRegisterSpace(CIOSpace* space, uint32_t familyCode, const char* mutexName)
    : CRegisterSpace(REGSPACE_I2C, space), FamilyCode(familyCode), MutexName(mutexName) {}

namespace {
constexpr uint32_t kTwoByteAddress = 0x200;
} // namespace

int CI2CRegisterSpace::Execute(CIORequest* request) {
    if (!request || request->GetKind() != IOREQUEST_I2C) return 0;
    auto* i2c = static_cast<CI2CRequest*>(request);
    const uint32_t width = request->m_dwOperation & 0xFFF0;
    const uint32_t direction = request->m_dwOperation & IOOP_DIRECTION_MASK;
    const uint8_t bus = i2c->m_byBus, device = i2c->m_byDevice;
    const auto low = uint8_t(request->m_dwRegister), high = uint8_t(request->m_dwRegister >> 8);
    uint32_t& data = request->m_dwData;
    if (width == IOOP_BYTE && direction == IOOP_READ) {
        uint8_t byte = 0;
        const uint32_t result = I2CReadByte(0, bus, device, low, &byte);
        if (result) data = (data & 0xFFFFFF00) | byte;
        return int(result);
    }
    if (width == IOOP_BYTE && direction == IOOP_WRITE) return int(I2CWriteByte(0, bus, device, low, uint8_t(data)));
    if (width == IOOP_WORD && direction == IOOP_READ) {
        uint16_t word = 0;
        const uint32_t result = I2CReadWord(0, bus, device, low, &word);
        if (result) data = (data & 0xFFFF0000) | word;
        return int(result);
    }
    if (width == IOOP_WORD && direction == IOOP_WRITE) return int(I2CWriteWord(0, bus, device, low, uint16_t(data)));
    if (width == kTwoByteAddress && direction == IOOP_READ) {
        uint8_t first = 0, second = 0;
        const uint32_t result = I2CReadWord16(0, bus, device, high, low, &first, &second);
        if (result) data = (data & 0xFFFF0000) | uint32_t(first) << 8 | second;
        return int(result);
    }
    if (width == kTwoByteAddress && direction == IOOP_WRITE)
        return int(I2CWriteByte16(0, bus, device, high, low, uint8_t(data), 0));
    return 0;
}

uint32_t CI2CRegisterSpace::ReadByteData(uint8_t bus, uint8_t device, uint8_t reg, uint8_t* value) {
    auto request = std::make_unique<CI2CRequest>(bus, device);
    request->m_dwRegister = reg;
    request->m_dwOperation = IOOP_READ_BYTE;
    if (!LockedExecute(request.get())) return 0;
    if (value) *value = uint8_t(request->m_dwData);
    return 1;
}
