#include "machine/superio_image.h"

#include "machine/text_scan.h"

#include <memory>

namespace vexa::machine {
namespace {

constexpr uint8_t kFirstDeviceRegister = SuperIoChip::kFirstDeviceRegister;
constexpr uint8_t kActivate = 0x30;
constexpr uint8_t kBaseHigh = 0x60;
constexpr uint8_t kBaseLow = 0x61;
constexpr uint8_t kWinbondBankRegister = 0x4E;
constexpr unsigned kMaxBank = 0x0F;

bool takeChar(std::string_view& text, char c) {
    if (text.empty() || text.front() != c) return false;
    text.remove_prefix(1);
    return true;
}

// "RR=VV" after the prefix.
bool takeAssignment(std::string_view rest, uint8_t& reg, uint8_t& value) {
    uint64_t r = 0, v = 0;
    if (!takeHex(rest, r, 2) || !takeChar(rest, '=') || !takeHex(rest, v, 2) || !trim(rest).empty()) return false;
    reg = uint8_t(r);
    value = uint8_t(v);
    return true;
}

} // namespace

uint8_t superIoMonitorDevice(SuperIoProtocol protocol) {
    switch (protocol) {
    case SuperIoProtocol::Winbond: return 0x0B;
    case SuperIoProtocol::Fintek:
    case SuperIoProtocol::Ite: return 0x04;
    case SuperIoProtocol::Smsc: return 0x08;
    case SuperIoProtocol::NationalSemiconductor: return 0x09;
    }
    return 0x0B;
}

bool superIoProtocolNamed(std::string_view name, SuperIoProtocol& protocol) {
    const std::pair<std::string_view, SuperIoProtocol> names[] = {
        {"winbond", SuperIoProtocol::Winbond}, {"fintek", SuperIoProtocol::Fintek}, {"ite", SuperIoProtocol::Ite},
        {"smsc", SuperIoProtocol::Smsc},       {"ns", SuperIoProtocol::NationalSemiconductor}};
    for (const auto& [known, value] : names)
        if (name == known) {
            protocol = value;
            return true;
        }
    return false;
}

bool parseSuperIoRegisters(std::string_view text, SuperIoRegisters& registers, std::string& error) {
    registers = SuperIoRegisters{};
    LineReader lines(text);
    for (std::string_view line; lines.next(line);) {
        const std::string_view content = trim(line);
        if (content.empty() || content.front() == '#') continue;
        std::string_view rest = content;
        uint8_t reg = 0, value = 0;
        bool ok = false;
        if (startsWithNoCase(rest, "config:")) {
            rest.remove_prefix(7);
            ok = takeAssignment(rest, reg, value);
            if (ok) registers.config[reg] = value;
        } else {
            uint64_t bank = 0;
            ok = takeHex(rest, bank, 1) && bank <= kMaxBank && takeChar(rest, ':') && takeAssignment(rest, reg, value);
            if (ok) {
                auto [it, added] = registers.banks.try_emplace(unsigned(bank));
                if (added) it->second.fill(0xFF);
                it->second[reg] = value;
            }
        }
        if (!ok) {
            error = "line " + std::to_string(lines.lineNumber()) +
                    ": not \"config:II=VV\" or \"B:RR=VV\": " + quoteForMessage(line);
            return false;
        }
    }
    return true;
}

bool attachSuperIo(const SuperIoEntry& entry, const SuperIoRegisters& registers, PortBus& ports, std::string& error,
                   SuperIoDevices* attached) {
    SuperIoChipSettings chip;
    chip.protocol = entry.protocol;
    chip.configPort = entry.port;
    chip.monitorDevice = entry.monitorDevice.value_or(superIoMonitorDevice(entry.protocol));
    for (const auto& [reg, value] : registers.config)
        (reg < kFirstDeviceRegister ? chip.globalRegisters : chip.deviceRegisters)[reg] = value;
    const auto deviceRegister = [&chip](uint8_t reg) {
        const auto it = chip.deviceRegisters.find(reg);
        return it == chip.deviceRegisters.end() ? uint8_t(0) : it->second;
    };
    const uint16_t base = uint16_t((deviceRegister(kBaseHigh) << 8 | deviceRegister(kBaseLow)) & ~7u);
    const bool active = (deviceRegister(kActivate) & 1) != 0;
    auto chipDevice = std::make_unique<SuperIoChip>(std::move(chip));
    SuperIoChip* chipOnBus = chipDevice.get();
    if (!ports.attach(std::move(chipDevice), error)) return false;
    if (attached) attached->chip = chipOnBus;
    if (!active || base == 0 || registers.banks.empty()) return true;
    if (uint32_t(base) + entry.monitorIndexOffset + 1 > 0xFFFF) {
        error = "the monitor's ports pass 0xFFFF";
        return false;
    }
    SuperIoMonitorSettings monitor;
    monitor.indexPort = uint16_t(base + entry.monitorIndexOffset);
    if (entry.protocol == SuperIoProtocol::Winbond) monitor.bankRegister = kWinbondBankRegister;
    monitor.banks = registers.banks;
    auto monitorDevice = std::make_unique<SuperIoMonitor>(std::move(monitor));
    SuperIoMonitor* monitorOnBus = monitorDevice.get();
    if (!ports.attach(std::move(monitorDevice), error)) return false;
    if (attached) attached->monitor = monitorOnBus;
    return true;
}

} // namespace vexa::machine
