#include "sdk/display/ati_i2c_engines.h"

#include <initializer_list>

#include "platform/threads.h"
#include "sdk/hw/io_space.h"

namespace {

constexpr const char* kMutexName = "Access_ATI_I2C";

constexpr uint32_t kFamilyR4XX = 0x2400000;
constexpr uint32_t kFamilyR5XX = 0x2500000;
constexpr uint32_t kFamilyR6XX = 0x2600000;
constexpr uint32_t kFamilyR8XX = 0x2800000;

// The three indexed writes that load the R6XX and R8XX line engines'
// data register: write address, register, read address.
constexpr uint32_t WriteAddressEntry(uint8_t device) { return 0x80000000u | uint32_t(device) << 9; }
constexpr uint32_t RegisterEntry(uint8_t reg) { return 0x80010000u | uint32_t(reg) << 8; }
constexpr uint32_t ReadAddressEntry(uint8_t device) { return 0x80020000u | (uint32_t(device) << 1 | 1) << 8; }
constexpr uint32_t kReadBackEntry = 0x80030001;
constexpr uint32_t kLineEngineDone = 0x4;
constexpr uint32_t kAcknowledgeBits = 0x2222;

} // namespace

int ModifyMMIORegister(CIOSpace* space, uint32_t offset, uint32_t value, uint32_t mask) {
    uint32_t old = 0;
    if (!space || !space->ReadDword(offset, &old)) return 0;
    return space->WriteDword(offset, (old & ~mask) | (value & mask));
}

// ---- Shared register access ----

ATI_I2CRegisterSpace::ATI_I2CRegisterSpace(CIOSpace* space, uint32_t familyCode)
    : CI2CRegisterSpace(space, familyCode, kMutexName) {}

uint32_t ATI_I2CRegisterSpace::Read(uint32_t offset) {
    uint32_t value = 0xFFFFFFFF;
    if (m_pIOSpace) m_pIOSpace->ReadDword(offset, &value);
    return value;
}

void ATI_I2CRegisterSpace::Remember(uint32_t offset) {
    for (int i = 0; i < savedCount_; ++i)
        if (saved_[i].offset == offset) return;
    uint32_t value = 0;
    // A register whose value cannot be read cannot be put back either.
    if (savedCount_ == kMaxSaved || !m_pIOSpace || !m_pIOSpace->ReadDword(offset, &value)) return;
    saved_[savedCount_++] = {offset, value};
}

void ATI_I2CRegisterSpace::Write(uint32_t offset, uint32_t value) {
    if (!m_pIOSpace) return;
    Remember(offset);
    m_pIOSpace->WriteDword(offset, value);
}

void ATI_I2CRegisterSpace::SetBits(uint32_t offset, uint32_t bits) { Write(offset, Read(offset) | bits); }

void ATI_I2CRegisterSpace::Modify(uint32_t offset, uint32_t value, uint32_t mask) {
    Remember(offset);
    ModifyMMIORegister(m_pIOSpace, offset, value, mask);
}

void ATI_I2CRegisterSpace::RestoreRegisters() {
    while (savedCount_ > 0) {
        const SavedRegister& saved = saved_[--savedCount_];
        m_pIOSpace->WriteDword(saved.offset, saved.value);
    }
}

uint32_t ATI_I2CRegisterSpace::LineEngineRead(const LineEngine& engine, uint8_t device, uint8_t reg, uint8_t* buffer,
                                              uint32_t count) {
    Modify(engine.control, 0x100000, 0x300000);
    Write(engine.transaction0, engine.firstTransaction);
    Write(engine.transaction1, 0x00013001);
    Write(engine.data, WriteAddressEntry(device));
    Write(engine.data, RegisterEntry(reg));
    Write(engine.data, ReadAddressEntry(device));
    Modify(engine.control, 1, 1);
    const uint32_t status = Poll(engine.status, [](uint32_t v) { return (v & kLineEngineDone) != 0; });
    const bool ok = (status & kLineEngineDone) && !(status & engine.errors);
    SetBits(engine.interrupts, kAcknowledgeBits);
    if (ok) {
        Write(engine.data, kReadBackEntry);
        for (uint32_t i = 0; i < count; ++i) buffer[i] = uint8_t(Read(engine.data) >> 8);
    }
    Write(engine.control, 2);
    Sleep(1);
    Write(engine.control, 0);
    return ok ? 1 : 0;
}

// ---- R4XX ----

namespace {

struct R4XXBus {
    uint32_t control, control1, data, select;
};

const R4XXBus kR4XXBuses[] = {
    {0x0090, 0x0094, 0x0098, 0x00},
    {0x02E0, 0x02E4, 0x02E8, 0x00},
    {0x02E0, 0x02E4, 0x02E8, 0x08},
    {0x02E0, 0x02E4, 0x02E8, 0x10},
};

constexpr uint32_t kR4XXBusy = 0x1000;
constexpr uint32_t kR4XXAcknowledged = 0x1;

} // namespace

ATI_R4XX_I2CRegisterSpace::ATI_R4XX_I2CRegisterSpace(CIOSpace* space, uint32_t referenceClockKHz)
    : ATI_I2CRegisterSpace(space, kFamilyR4XX), ReferenceClock(referenceClockKHz) {}

int ATI_R4XX_I2CRegisterSpace::InitEngine() {
    const uint32_t limit = ReferenceClock / 320;
    uint32_t n = 25;
    for (; n < 255; ++n)
        if ((n - 1) * n > limit) break;
    DividerLow = n - 1;
    DividerHigh = n;
    TimeLimit = 2 * DividerHigh;
    return 1;
}

int ATI_R4XX_I2CRegisterSpace::I2CReadByte(uint32_t, uint8_t bus, uint8_t device, uint8_t reg, uint8_t* value) {
    const uint32_t result = Transfer(bus, device, reg, value);
    RestoreRegisters();
    return result;
}

uint32_t ATI_R4XX_I2CRegisterSpace::Transfer(uint8_t bus, uint8_t device, uint8_t reg, uint8_t* value) {
    if (bus >= sizeof kR4XXBuses / sizeof kR4XXBuses[0]) return 0;
    const R4XXBus& b = kR4XXBuses[bus];
    const uint32_t savedControl = Read(b.control);
    const uint32_t savedControl1 = Read(b.control1);
    if (savedControl & kR4XXBusy) return 0;
    const uint32_t timing = TimeLimit << 24 | 0x30011;
    const uint32_t dividers = DividerHigh << 24 | DividerLow << 16;
    const auto idle = [](uint32_t v) { return !(v & kR4XXBusy); };
    uint32_t result = 0;
    Write(b.control, b.select | 0x27);
    Write(b.data, uint32_t(device) << 1);
    Write(b.data, reg);
    Write(b.control1, timing);
    Write(b.control, dividers | b.select | 0x1140);
    if (Poll(b.control, idle) & kR4XXAcknowledged) {
        Write(b.control, b.select | 0x27);
        Write(b.data, uint32_t(device) << 1 | 1);
        Write(b.control1, timing);
        Write(b.control, dividers | b.select | 0x1740);
        if (Poll(b.control, idle) & kR4XXAcknowledged) {
            *value = uint8_t(Read(b.data));
            result = 1;
        }
    }
    Write(b.control, savedControl);
    Write(b.control1, savedControl1);
    return result;
}

// ---- R5XX ----

namespace {
constexpr uint32_t kR5XXControl = 0x7D30;
constexpr uint32_t kR5XXReset = 0x7D34;
constexpr uint32_t kR5XXTransaction = 0x7D38;
constexpr uint32_t kR5XXSetup = 0x7D3C;
constexpr uint32_t kR5XXData = 0x7D44;
constexpr uint32_t kR5XXGo = 0x8;
constexpr uint32_t kR5XXDone = 0x1;
} // namespace

ATI_R5XX_I2CRegisterSpace::ATI_R5XX_I2CRegisterSpace(CIOSpace* space) : ATI_I2CRegisterSpace(space, kFamilyR5XX) {}

void ATI_R5XX_I2CRegisterSpace::ResetEngine() {
    Write(kR5XXControl, 3);
    Write(kR5XXReset, 1);
}

void ATI_R5XX_I2CRegisterSpace::WaitIdle() {
    Poll(kR5XXControl, [](uint32_t v) { return !(v & kR5XXGo); });
}

int ATI_R5XX_I2CRegisterSpace::I2CReadByte(uint32_t, uint8_t bus, uint8_t device, uint8_t reg, uint8_t* value) {
    const uint32_t result = Transfer(bus, device, reg, value);
    RestoreRegisters();
    return result;
}

uint32_t ATI_R5XX_I2CRegisterSpace::Transfer(uint8_t bus, uint8_t device, uint8_t reg, uint8_t* value) {
    ResetEngine();
    Write(kR5XXSetup, 0x2A2A0101);
    Write(kR5XXData, uint32_t(device) << 1);
    Write(kR5XXData, reg);
    Write(kR5XXTransaction, uint32_t(bus) << 16 | 0x101);
    Write(kR5XXControl, kR5XXGo);
    WaitIdle();
    if (Read(kR5XXControl) != kR5XXDone) return 0;
    ResetEngine();
    Write(kR5XXSetup, 0x2A2A0101);
    Write(kR5XXData, uint32_t(device) << 1 | 1);
    Write(kR5XXTransaction, uint32_t(bus) << 16 | 0x107);
    Write(kR5XXControl, kR5XXGo);
    WaitIdle();
    *value = uint8_t(Read(kR5XXData));
    return Read(kR5XXControl) == kR5XXDone ? 1 : 0;
}

// ---- R6XX ----

namespace {

struct R6XXLine {
    uint32_t cleared[3];
    uint32_t setup, speed;
};

const R6XXLine kR6XXLines[] = {
    {{0x7E40, 0x7E44, 0x7E48}, 0x7D4C, 0x7D50},
    {{0x7E50, 0x7E54, 0x7E58}, 0x7D54, 0x7D58},
    {{0x7E60, 0x7E64, 0x7E68}, 0x7D5C, 0x7D60},
};

constexpr uint32_t kR6XXControl = 0x7D30;
constexpr uint32_t kR6XXInterrupts = 0x7D38;
constexpr uint32_t kR6XXStatus = 0x7D3C;
constexpr uint32_t kR6XXTransaction0 = 0x7D64;
constexpr uint32_t kR6XXTransaction1 = 0x7D68;
constexpr uint32_t kR6XXData = 0x7D74;
constexpr uint32_t kR6XXErrors = 0x1000 | 0x100 | 0x10 | 0x20;

} // namespace

ATI_R6XX_I2CRegisterSpace::ATI_R6XX_I2CRegisterSpace(CIOSpace* space) : ATI_I2CRegisterSpace(space, kFamilyR6XX) {}

uint32_t ATI_R6XX_I2CRegisterSpace::SelectLine(uint8_t line) {
    if (line >= sizeof kR6XXLines / sizeof kR6XXLines[0]) return 0;
    const R6XXLine& l = kR6XXLines[line];
    for (uint32_t reg : l.cleared) Write(reg, 0);
    Write(l.setup, 0x021C0002);
    Write(l.speed, (Read(l.speed) & 0x00FFFFFF) | 0x30000000);
    Write(kR6XXControl, 0);
    Write(kR6XXControl, uint32_t(line) << 8);
    Read(kR6XXControl);
    SetBits(kR6XXInterrupts, kAcknowledgeBits);
    return 1;
}

int ATI_R6XX_I2CRegisterSpace::I2CReadByte(uint32_t, uint8_t bus, uint8_t device, uint8_t reg, uint8_t* value) {
    const uint32_t result = Transfer(bus, device, reg, value);
    RestoreRegisters();
    return result;
}

uint32_t ATI_R6XX_I2CRegisterSpace::Transfer(uint8_t bus, uint8_t device, uint8_t reg, uint8_t* value) {
    static constexpr LineEngine kEngine{kR6XXControl,      kR6XXInterrupts, kR6XXStatus, kR6XXTransaction0,
                                        kR6XXTransaction1, kR6XXData,       0x80011100,  kR6XXErrors};
    if (!SelectLine(bus)) return 0;
    return LineEngineRead(kEngine, device, reg, value, 1);
}

// ---- R8XX ----

namespace {

constexpr uint8_t kR8XXLineEngineBuses = 6;
constexpr uint32_t kR8XXControl = 0x6064;
constexpr uint32_t kR8XXInterrupts = 0x606C;
constexpr uint32_t kR8XXStatus = 0x6070;
constexpr uint32_t kR8XXTransaction0 = 0x60BC;
constexpr uint32_t kR8XXTransaction1 = 0x60C0;
constexpr uint32_t kR8XXData = 0x60CC;
constexpr uint32_t kR8XXLineErrors = 0x10 | 0x20 | 0x40 | 0x80 | 0x100 | 0x1000 | 0x2000;
constexpr uint32_t kR8XXLineSpeed = 0x21C;

constexpr uint32_t kPinEnable = 0x60D4;
constexpr uint32_t kPinSetup = 0x60DC;
constexpr uint32_t kPinTiming = 0x60E0;
constexpr uint32_t kPinTransaction = 0x60E4;
constexpr uint32_t kPinData = 0x60E8;
constexpr uint32_t kPinSelect = 0x60EC;
constexpr uint32_t kPinGo = 0x60D0;
constexpr uint32_t kPinStatus = 0x60D8;
constexpr uint32_t kPinDone = 0x10;
constexpr uint32_t kPinErrors = 0x20 | 0x40 | 0x200 | 0x400;
constexpr uint32_t kPinReadBack = 0x80010001;
constexpr uint32_t kMaxPinBytes = 255;

struct PinPair {
    uint32_t pad;
    uint32_t code;
};

const PinPair kPinPairs[] = {
    {0x6430, 0x0001}, {0x6440, 0x0203}, {0x6450, 0x0405}, {0x6460, 0x4142},
    {0x6470, 0x4849}, {0x6480, 0x4A4B}, {0x6430, 0x2829}, {0x64D8, 0x4C4D},
};

} // namespace

ATI_R8XX_I2CRegisterSpace::ATI_R8XX_I2CRegisterSpace(CIOSpace* space) : ATI_I2CRegisterSpace(space, kFamilyR8XX) {}

uint32_t ATI_R8XX_I2CRegisterSpace::SelectLine(uint8_t line, uint32_t speed) {
    if (line >= kR8XXLineEngineBuses) return 0;
    for (uint32_t offset : {0x6430u, 0x6434u, 0x6438u}) Write(offset + 0x10 * line, 0);
    Write(0x608C + 8 * line, speed << 16 | 2);
    const uint32_t speedRegister = 0x6090 + 8 * line;
    Write(speedRegister, (Read(speedRegister) & 0x00FFFFFF) | 0x30000000);
    Write(kR8XXControl, 0);
    Write(kR8XXControl, uint32_t(line) << 8);
    SetBits(kR8XXInterrupts, kAcknowledgeBits);
    return 1;
}

uint32_t ATI_R8XX_I2CRegisterSpace::SelectPins(uint8_t line) {
    if (line >= sizeof kPinPairs / sizeof kPinPairs[0]) return 0;
    const PinPair& pins = kPinPairs[line];
    Write(pins.pad, Read(pins.pad) & 0xFF000000);
    Write(kPinSelect, pins.code);
    return 1;
}

uint32_t ATI_R8XX_I2CRegisterSpace::PinEngineTransfer(uint8_t line, uint8_t address, const uint8_t* out, uint8_t* in,
                                                      uint32_t count, bool start, bool stop) {
    SetBits(kPinEnable, 0x4);
    Write(kPinSetup, 0x021C0002);
    Write(kPinTiming, (Read(kPinTiming) & 0x78) | 0x28010007);
    if (!SelectPins(line)) return 0;
    const bool reading = in != nullptr;
    Write(kPinTransaction, count << 16 | (start ? 0x1000 : 0) | (stop ? 0x2000 : 0) | (reading ? 1 : 0));
    Write(kPinData, 0x80000000u | uint32_t(address) << 8);
    if (!reading)
        for (uint32_t i = 0; i < count; ++i) Write(kPinData, uint32_t(out[i]) << 8);
    SetBits(kPinGo, 0x1);
    const uint32_t status = Poll(kPinStatus, [](uint32_t v) { return (v & kPinDone) != 0; });
    if (!(status & kPinDone) || (status & kPinErrors)) return 0;
    if (reading) {
        Write(kPinData, kPinReadBack);
        for (uint32_t i = 0; i < count; ++i) in[i] = uint8_t(Read(kPinData) >> 8);
    }
    return 1;
}

uint32_t ATI_R8XX_I2CRegisterSpace::PinEngineReadRegister(uint8_t line, uint8_t address, uint8_t reg, uint8_t* buffer,
                                                          uint32_t count) {
    if (!PinEngineTransfer(line, address & 0xFE, &reg, nullptr, 1, true, false)) return 0;
    return PinEngineTransfer(line, address | 1, nullptr, buffer, count, true, true);
}

uint32_t ATI_R8XX_I2CRegisterSpace::PinEngineWriteRegister(uint8_t line, uint8_t address, uint8_t reg,
                                                           const uint8_t* data, uint32_t count) {
    if (count > kMaxPinBytes) return 0;
    uint8_t bytes[kMaxPinBytes + 1] = {reg};
    for (uint32_t i = 0; i < count; ++i) bytes[i + 1] = data[i];
    return PinEngineTransfer(line, address, bytes, nullptr, count + 1, true, true);
}

int ATI_R8XX_I2CRegisterSpace::I2CReadByte(uint32_t, uint8_t bus, uint8_t device, uint8_t reg, uint8_t* value) {
    static constexpr LineEngine kEngine{kR8XXControl,      kR8XXInterrupts, kR8XXStatus, kR8XXTransaction0,
                                        kR8XXTransaction1, kR8XXData,       0x00011100,  kR8XXLineErrors};
    uint32_t result = 0;
    if (bus >= kR8XXLineEngineBuses)
        result = PinEngineReadRegister(bus, uint8_t(device << 1), reg, value, 1);
    else if (SelectLine(bus, kR8XXLineSpeed))
        result = LineEngineRead(kEngine, device, reg, value, 1);
    RestoreRegisters();
    return result;
}

int ATI_R8XX_I2CRegisterSpace::I2CWriteByte(uint32_t, uint8_t bus, uint8_t device, uint8_t reg, uint8_t value) {
    if (bus < kR8XXLineEngineBuses) return 0;
    const uint32_t result = PinEngineWriteRegister(bus, uint8_t(device << 1), reg, &value, 1);
    RestoreRegisters();
    return result;
}
