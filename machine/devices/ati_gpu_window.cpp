#include "machine/devices/ati_gpu_window.h"

namespace vexa::machine {

namespace {

constexpr uint32_t kR4xxBus0Control = 0x90, kR4xxBus0Data = 0x98;
constexpr uint32_t kR4xxControl = 0x2E0, kR4xxData = 0x2E8;
constexpr uint32_t kR5xxControl = 0x7D30, kR5xxTransaction = 0x7D38, kR5xxData = 0x7D44;
constexpr uint32_t kR6xxControl = 0x7D30, kR6xxStatus = 0x7D3C, kR6xxData = 0x7D74;
constexpr uint32_t kR8xxControl = 0x6064, kR8xxStatus = 0x6070, kR8xxData = 0x60CC;
constexpr uint32_t kPinGo = 0x60D0, kPinStatus = 0x60D8, kPinTransaction = 0x60E4, kPinData = 0x60E8,
                   kPinSelect = 0x60EC;
constexpr uint32_t kLineDone = 0x4, kLineNoAnswer = 0x10;
constexpr uint32_t kPinDone = 0x10, kPinNoAnswer = 0x20;
constexpr uint32_t kReadBack = 0x80030001, kPinReadBack = 0x80010001;

} // namespace

AtiGpuWindow::AtiGpuWindow(const AtiGpuWindowSettings& settings) : settings_(settings), registers_(settings.registers) {}

uint32_t AtiGpuWindow::reg(uint32_t offset) const {
    const auto it = registers_.find(offset);
    return it == registers_.end() ? 0 : it->second;
}

void AtiGpuWindow::read(uint64_t offset, std::span<uint8_t> out) {
    for (size_t i = 0; i < out.size(); ++i) {
        const uint64_t at = offset + i;
        out[i] = uint8_t(reg(uint32_t(at & ~3ull)) >> (8 * (at & 3)));
    }
}

void AtiGpuWindow::write(uint64_t offset, std::span<const uint8_t> data) {
    if (data.size() == 4 && offset % 4 == 0) {
        writeRegister(uint32_t(offset), uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 |
                                            uint32_t(data[3]) << 24);
        return;
    }
    // Narrow writes change the bytes only; the engines take dwords.
    for (size_t i = 0; i < data.size(); ++i) {
        const uint64_t at = offset + i;
        const auto aligned = uint32_t(at & ~3ull);
        const unsigned shift = 8 * unsigned(at & 3);
        registers_[aligned] = (reg(aligned) & ~(0xFFu << shift)) | uint32_t(data[i]) << shift;
    }
}

void AtiGpuWindow::writeRegister(uint32_t offset, uint32_t value) {
    registers_[offset] = value;
    switch (settings_.engine) {
    case AtiI2cEngine::R4xx: r4xx(offset, value); break;
    case AtiI2cEngine::R5xx: r5xx(offset, value); break;
    case AtiI2cEngine::R6xx: lineEngine(offset, value, kR6xxControl, kR6xxStatus, kR6xxData); break;
    case AtiI2cEngine::R8xx:
        lineEngine(offset, value, kR8xxControl, kR8xxStatus, kR8xxData);
        pinEngine(offset, value);
        break;
    case AtiI2cEngine::None: break;
    }
}

AtiI2cDevice* AtiGpuWindow::deviceAt(uint8_t bus, uint8_t address) {
    for (AtiI2cDevice& device : settings_.devices)
        if (device.bus == bus && device.address == address) return &device;
    return nullptr;
}

bool AtiGpuWindow::writePointer(uint8_t bus, uint8_t addressByte, const uint8_t* bytes, size_t count) {
    AtiI2cDevice* device = (addressByte & 1) ? nullptr : deviceAt(bus, addressByte >> 1);
    if (!device) return false;
    if (count == 0) return true;
    uint8_t& pointer = pointers_[{bus, device->address}];
    pointer = bytes[0];
    for (size_t i = 1; i < count; ++i) device->registers[pointer++] = bytes[i];
    return true;
}

bool AtiGpuWindow::readByte(uint8_t bus, uint8_t addressByte, uint8_t* value) {
    AtiI2cDevice* device = (addressByte & 1) ? deviceAt(bus, addressByte >> 1) : nullptr;
    if (!device) return false;
    const uint8_t pointer = pointers_[{bus, device->address}];
    const auto it = device->registers.find(pointer);
    *value = it == device->registers.end() ? 0 : it->second;
    return true;
}

bool AtiGpuWindow::fifoTransfer(uint8_t bus, bool reading, uint32_t data) {
    bool answered = false;
    if (!transfer_.fifo.empty()) {
        const uint8_t address = transfer_.fifo.front();
        uint8_t byte = 0;
        if (reading) {
            answered = readByte(bus, address, &byte);
            if (answered) registers_[data] = byte;
        } else {
            answered = writePointer(bus, address, transfer_.fifo.data() + 1, transfer_.fifo.size() - 1);
        }
    }
    transfer_.fifo.clear();
    return answered;
}

void AtiGpuWindow::r4xx(uint32_t offset, uint32_t value) {
    if (offset == kR4xxBus0Data || offset == kR4xxData) {
        transfer_.fifo.push_back(uint8_t(value));
        return;
    }
    if (offset != kR4xxBus0Control && offset != kR4xxControl) return;
    if ((value & 0x140) != 0x140) {
        transfer_.fifo.clear();
        return;
    }
    const auto bus = uint8_t(offset == kR4xxBus0Control ? 0 : 1 + ((value >> 3) & 3));
    const uint32_t data = offset == kR4xxBus0Control ? kR4xxBus0Data : kR4xxData;
    const bool answered = fifoTransfer(bus, (value & 0x600) == 0x600, data);
    registers_[offset] = (value & ~0x1001u) | (answered ? 1u : 0u);
}

void AtiGpuWindow::r5xx(uint32_t offset, uint32_t value) {
    if (offset == kR5xxData) {
        transfer_.fifo.push_back(uint8_t(value));
        return;
    }
    if (offset != kR5xxControl) return;
    if (value != 8) {
        if (value == 3) transfer_.fifo.clear();
        return;
    }
    const uint32_t transaction = reg(kR5xxTransaction);
    const auto bus = uint8_t(transaction >> 16);
    const bool answered = fifoTransfer(bus, (transaction & 0x7) == 0x7, kR5xxData);
    registers_[kR5xxControl] = answered ? 1 : 2;
}

void AtiGpuWindow::lineEngine(uint32_t offset, uint32_t value, uint32_t control, uint32_t status, uint32_t data) {
    if (offset == data) {
        if (value == kReadBack) {
            registers_[data] = uint32_t(lastRead_) << 8;
        } else if (value & 0x80000000u) {
            const uint32_t index = (value >> 16) & 3;
            if (index < 3) transfer_.bytes[index] = uint8_t(value >> 8);
        }
        return;
    }
    if (offset != control || !(value & 1)) return;
    const auto line = uint8_t((value >> 8) & 7);
    const bool answered = writePointer(line, transfer_.bytes[0], &transfer_.bytes[1], 1) &&
                          readByte(line, transfer_.bytes[2], &lastRead_);
    registers_[status] = answered ? kLineDone : kLineDone | kLineNoAnswer;
    registers_[control] = value & ~1u;
}

void AtiGpuWindow::pinEngine(uint32_t offset, uint32_t value) {
    if (offset == kPinData) {
        if (value == kPinReadBack)
            registers_[kPinData] = uint32_t(lastRead_) << 8;
        else if (value & 0x80000000u)
            transfer_.fifo.assign(1, uint8_t(value >> 8));
        else
            transfer_.fifo.push_back(uint8_t(value >> 8));
        return;
    }
    if (offset != kPinGo || !(value & 1)) return;
    const uint32_t select = reg(kPinSelect);
    const int line = select == 0x2829 ? 6 : select == 0x4C4D ? 7 : -1;
    bool answered = false;
    if (line >= 0 && !transfer_.fifo.empty()) {
        const uint8_t address = transfer_.fifo.front();
        answered = (reg(kPinTransaction) & 1)
                       ? readByte(uint8_t(line), address, &lastRead_)
                       : writePointer(uint8_t(line), address, transfer_.fifo.data() + 1, transfer_.fifo.size() - 1);
    }
    registers_[kPinStatus] = answered ? kPinDone : kPinDone | kPinNoAnswer;
    registers_[kPinGo] = value & ~1u;
}

} // namespace vexa::machine
