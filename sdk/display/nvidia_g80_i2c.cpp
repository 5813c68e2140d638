#include "sdk/display/nvidia_g80_i2c.h"

#include "platform/sysinfo.h"
#include "sdk/hw/io_space.h"

namespace {

constexpr uint32_t kDriveBit = 1u << 2;
constexpr int kStartPolls = 550, kBitPolls = 40, kAckPolls = 5, kAckSamples = 8;
constexpr int kCpuidPerUnit = 10;
constexpr uint32_t kCrtcIndex = 0x6013D4, kCrtcData = 0x6013D5;
constexpr uint8_t kLockRegister = 0x1F, kUnlockValue = 0x57, kLockValue = 0x99;

uint8_t WriteAddress(uint8_t device) { return uint8_t((device & 0x7F) << 1); }
uint8_t ReadAddress(uint8_t device) { return uint8_t(device << 1 | 1); }

} // namespace

NVIDIA_G80_I2CRegisterSpace::NVIDIA_G80_I2CRegisterSpace(CIOSpace* registerWindow)
    : CI2CRegisterSpace(registerWindow, kFamilyCode, "Access_NV_I2C") {}

void NVIDIA_G80_I2CRegisterSpace::I2CDelay(int units) {
    int regs[4];
    for (int i = 0; i < units * kCpuidPerUnit; ++i) CpuidEx(regs, 0, 0);
}

void NVIDIA_G80_I2CRegisterSpace::SetLines(uint32_t port, uint32_t clock, uint32_t data) {
    if (!m_pIOSpace) return;
    uint32_t unused = 0;
    m_pIOSpace->ReadDword(kLineRegister + port, &unused);
    m_pIOSpace->WriteDword(kLineRegister + port, kDriveBit | data << 1 | clock);
}

int NVIDIA_G80_I2CRegisterSpace::GetLines(uint32_t port, uint32_t* clock, uint32_t* data) {
    uint32_t value = 0;
    if (!m_pIOSpace || !m_pIOSpace->ReadDword(kLineRegister + port, &value)) return 0;
    *clock = value & 1;
    *data = value >> 1 & 1;
    return 1;
}

int NVIDIA_G80_I2CRegisterSpace::ReleaseClock(uint32_t port, uint32_t data, int polls) {
    SetLines(port, 1, data);
    I2CDelay(1);
    for (int i = 0; i < polls; ++i) {
        uint32_t clock = 0, line = 0;
        if (GetLines(port, &clock, &line) && clock) return 1;
        I2CDelay(1);
    }
    return 0;
}

int NVIDIA_G80_I2CRegisterSpace::SendStart(uint32_t port, int polls) {
    if (!ReleaseClock(port, 1, polls)) return 0;
    SetLines(port, 1, 0);
    I2CDelay(5);
    SetLines(port, 0, 0);
    I2CDelay(5);
    return 1;
}

void NVIDIA_G80_I2CRegisterSpace::SendStop(uint32_t port) {
    SetLines(port, 0, 0);
    I2CDelay(1);
    SetLines(port, 1, 0);
    I2CDelay(5);
    SetLines(port, 1, 1);
    I2CDelay(5);
}

void NVIDIA_G80_I2CRegisterSpace::WriteBit(uint32_t port, uint32_t bit, int polls) {
    SetLines(port, 0, bit);
    I2CDelay(1);
    ReleaseClock(port, bit, polls);
    I2CDelay(5);
    SetLines(port, 0, bit);
    I2CDelay(5);
}

void NVIDIA_G80_I2CRegisterSpace::ReadBit(uint32_t port, uint32_t* bit, int polls) {
    ReleaseClock(port, 1, polls);
    I2CDelay(5);
    uint32_t clock = 0;
    GetLines(port, &clock, bit);
    SetLines(port, 0, 1);
    I2CDelay(5);
}

int NVIDIA_G80_I2CRegisterSpace::SendByte(uint32_t port, uint8_t byte) {
    for (int bit = 7; bit >= 0; --bit) WriteBit(port, uint32_t(byte >> bit & 1), kBitPolls);
    SetLines(port, 0, 1);
    I2CDelay(1);
    int acknowledged = 0;
    if (ReleaseClock(port, 1, kAckPolls))
        for (int sample = 0; sample < kAckSamples && !acknowledged; ++sample) {
            I2CDelay(5);
            uint32_t clock = 0, data = 1;
            if (GetLines(port, &clock, &data) && data == 0) acknowledged = 1;
        }
    SetLines(port, 0, 1);
    I2CDelay(5);
    return acknowledged;
}

int NVIDIA_G80_I2CRegisterSpace::ReceiveByte(uint32_t port, uint8_t* value, bool nack) {
    SetLines(port, 0, 1);
    I2CDelay(1);
    uint32_t byte = 0;
    for (int i = 0; i < 8; ++i) {
        uint32_t bit = 0;
        ReadBit(port, &bit, kBitPolls);
        byte = byte << 1 | (bit & 1);
    }
    WriteBit(port, nack ? 1 : 0, kBitPolls);
    *value = uint8_t(byte);
    return 1;
}

int NVIDIA_G80_I2CRegisterSpace::SendAddress(uint32_t port, uint8_t addressByte) {
    if (!SendStart(port, kStartPolls)) return 0;
    if (!SendByte(port, addressByte)) {
        SendStop(port);
        return 0;
    }
    const bool tenBitPrefix = (addressByte & 0xF8) == 0xF0;
    if ((tenBitPrefix || (addressByte & 0xFE) == 0) && !SendByte(port, 0)) {
        // A one-byte address has no second byte: its high part is 0.
        SendStop(port);
        return 0;
    }
    return 1;
}

bool NVIDIA_G80_I2CRegisterSpace::PortOf(uint8_t bus, uint32_t* port) const {
    if (bus >= kBusCount) return false;
    *port = PortOffset[bus];
    return true;
}

template <typename Rest>
int NVIDIA_G80_I2CRegisterSpace::Transfer(uint8_t bus, uint8_t device, std::initializer_list<uint8_t> bytes,
                                          Rest rest) {
    uint32_t port = 0;
    if (!PortOf(bus, &port) || !SendAddress(port, WriteAddress(device))) return 0;
    bool acknowledged = true;
    for (const uint8_t byte : bytes)
        if (acknowledged) acknowledged = SendByte(port, byte) != 0;
    const int result = acknowledged ? rest(port) : 0;
    SendStop(port);
    return result;
}

int NVIDIA_G80_I2CRegisterSpace::I2CReadByte(uint32_t, uint8_t bus, uint8_t device, uint8_t reg, uint8_t* value) {
    return Transfer(bus, device, {reg}, [&](uint32_t port) {
        return SendAddress(port, ReadAddress(device)) ? ReceiveByte(port, value, true) : 0;
    });
}

int NVIDIA_G80_I2CRegisterSpace::I2CWriteByte(uint32_t, uint8_t bus, uint8_t device, uint8_t reg, uint8_t value) {
    return Transfer(bus, device, {reg, value}, [](uint32_t) { return 1; });
}

int NVIDIA_G80_I2CRegisterSpace::I2CReadWord(uint32_t, uint8_t bus, uint8_t device, uint8_t reg, uint16_t* value) {
    return Transfer(bus, device, {reg}, [&](uint32_t port) {
        uint8_t low = 0, high = 0;
        if (!SendAddress(port, ReadAddress(device)) || !ReceiveByte(port, &low, false) ||
            !ReceiveByte(port, &high, true))
            return 0;
        *value = uint16_t(high << 8 | low);
        return 1;
    });
}

int NVIDIA_G80_I2CRegisterSpace::I2CWriteWord(uint32_t, uint8_t bus, uint8_t device, uint8_t reg, uint16_t value) {
    return Transfer(bus, device, {reg}, [&](uint32_t port) {
        // The high byte goes out whatever became of the low one.
        const int low = SendByte(port, uint8_t(value));
        const int high = SendByte(port, uint8_t(value >> 8));
        return low && high ? 1 : 0;
    });
}

int NVIDIA_G80_I2CRegisterSpace::I2CReadWord16(uint32_t, uint8_t bus, uint8_t device, uint8_t regHigh,
                                               uint8_t regLow, uint8_t* first, uint8_t* second) {
    return Transfer(bus, device, {regHigh, regLow}, [&](uint32_t port) {
        if (!SendAddress(port, ReadAddress(device))) return 0;
        ReceiveByte(port, first, false);
        return ReceiveByte(port, second, true);
    });
}

int NVIDIA_G80_I2CRegisterSpace::I2CWriteByte16(uint32_t, uint8_t bus, uint8_t device, uint8_t regHigh,
                                                uint8_t regLow, uint8_t value, uint32_t) {
    return Transfer(bus, device, {regHigh, regLow, value}, [&](uint32_t port) {
        if (!SendAddress(port, ReadAddress(device))) return 0;
        uint8_t scratch = 0;
        ReceiveByte(port, &scratch, false);
        return ReceiveByte(port, &scratch, true);
    });
}

int NVIDIA_G80_I2CRegisterSpace::SetLock(uint32_t state) {
    if ((state == 0 || state == 1) && m_pIOSpace) {
        m_pIOSpace->WriteByte(kCrtcIndex, kLockRegister);
        m_pIOSpace->WriteByte(kCrtcData, state == 0 ? kUnlockValue : kLockValue);
    }
    return 1;
}
