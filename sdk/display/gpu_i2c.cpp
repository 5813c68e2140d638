#include "sdk/display/gpu_i2c.h"

#include <memory>

#include "sdk/display/display_api.h"

namespace {
constexpr uint32_t kWidthMask = 0xFFF0;
constexpr uint32_t kTwoByteRegister = 0x200;
} // namespace

CI2CRegisterSpace::CI2CRegisterSpace(CIOSpace* space, uint32_t familyCode, const char* mutexName)
    : CRegisterSpace(REGSPACE_I2C, space), FamilyCode(familyCode), MutexName(mutexName) {}

int CI2CRegisterSpace::Execute(CIORequest* request) {
    if (!request || request->m_dwKind != IOREQUEST_I2C) return 0;
    auto* i2c = static_cast<CI2CRequest*>(request);
    const uint8_t bus = i2c->m_byBus, device = i2c->m_byDevice;
    const auto reg = uint8_t(request->m_dwRegister);
    const auto regHigh = uint8_t(request->m_dwRegister >> 8);
    const uint32_t direction = request->m_dwOperation & IOOP_DIRECTION_MASK;
    const uint32_t width = request->m_dwOperation & kWidthMask;
    const bool read = direction == IOOP_READ;
    if (!read && direction != IOOP_WRITE) return 0;
    switch (width) {
    case IOOP_BYTE: {
        if (!read) return I2CWriteByte(0, bus, device, reg, uint8_t(request->m_dwData));
        uint8_t value = 0;
        const int result = I2CReadByte(0, bus, device, reg, &value);
        if (result) request->m_dwData = (request->m_dwData & 0xFFFFFF00) | value;
        return result;
    }
    case IOOP_WORD: {
        if (!read) return I2CWriteWord(0, bus, device, reg, uint16_t(request->m_dwData));
        uint16_t value = 0;
        const int result = I2CReadWord(0, bus, device, reg, &value);
        if (result) request->m_dwData = (request->m_dwData & 0xFFFF0000) | value;
        return result;
    }
    case kTwoByteRegister: {
        if (!read) return I2CWriteByte16(0, bus, device, regHigh, reg, uint8_t(request->m_dwData), 0);
        uint8_t first = 0, second = 0;
        const int result = I2CReadWord16(0, bus, device, regHigh, reg, &first, &second);
        if (result) request->m_dwData = (request->m_dwData & 0xFFFF0000) | uint32_t(first) << 8 | second;
        return result;
    }
    default: return 0;
    }
}

int CI2CRegisterSpace::ReadByteData(uint8_t bus, uint8_t device, uint8_t reg, uint8_t* value) {
    auto request = std::make_unique<CI2CRequest>(bus, device);
    request->m_dwRegister = reg;
    request->m_dwOperation = IOOP_READ_BYTE;
    if (!LockedExecute(request.get())) return 0;
    *value = uint8_t(request->m_dwData);
    return 1;
}

DisplayAPI_I2CRegisterSpace::DisplayAPI_I2CRegisterSpace(CDisplayAPI* api, CDisplayAdapter* adapter)
    : CI2CRegisterSpace(nullptr, 0xFFFFFFFF, "Access_I2C"), API(api), Adapter(adapter) {}

int DisplayAPI_I2CRegisterSpace::I2CReadByte(uint32_t, uint8_t bus, uint8_t device, uint8_t reg, uint8_t* value) {
    constexpr int32_t kFifth = 16, kLast = 1;
    uint8_t byte = 0;
    const int result = API ? API->I2CReadByte(Adapter, bus, device, reg, kFifth, &byte, kLast) : 0;
    if (result) *value = byte;
    return result;
}
