#include "machine/devices/msr_bank.h"

#include <cmath>
#include <cstdio>

namespace vexa::machine {
namespace {

std::string hexIndex(uint32_t index) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", index);
    return text;
}

} // namespace

bool MsrBank::add(const MsrSetting& setting, std::string& error) {
    std::vector<unsigned> cpus = setting.cpus;
    if (cpus.empty())
        for (unsigned cpu = 0; cpu < registers_.size(); ++cpu) cpus.push_back(cpu);
    Register model;
    model.kind = setting.kind;
    model.value = setting.value;
    model.readOnly = setting.readOnly;
    model.revision = setting.microcodeRevision;
    if (setting.kind == MsrKind::Counter)
        model.counter = MsrCounter(setting.value, uint64_t(std::llround(setting.rateMhz * 1e6)), setting.bits);
    if (setting.kind == MsrKind::FixedCounter)
        model.fixed = MsrFixedCounter(setting.value, uint64_t(std::llround(setting.rateMhz * 1e6)), setting.bits);
    if (setting.kind == MsrKind::EventCounter)
        model.event = MsrEventCounter(setting.value, uint64_t(std::llround(setting.rateMhz * 1e6)), setting.bits,
                                      setting.event, setting.unitMask);
    if (setting.kind == MsrKind::Energy) {
        model.energy = MsrEnergyCounter(setting.value, setting.watts);
        model.readOnly = true;
    }
    if (setting.kind == MsrKind::OcMailbox) model.mailbox = MsrOcMailbox(setting.value, setting.mailbox);
    for (unsigned cpu : cpus) {
        if (cpu >= registers_.size()) {
            error = "MSR " + hexIndex(setting.index) + ": processor " + std::to_string(cpu) + " does not exist";
            return false;
        }
        if (!registers_[cpu].emplace(setting.index, model).second) {
            error = "MSR " + hexIndex(setting.index) + " is given twice for processor " + std::to_string(cpu);
            return false;
        }
    }
    return true;
}

const MsrBank::Register* MsrBank::find(unsigned cpu, uint32_t index) const {
    if (cpu >= registers_.size()) return nullptr;
    const auto it = registers_[cpu].find(index);
    return it == registers_[cpu].end() ? nullptr : &it->second;
}

MsrBank::Register* MsrBank::find(unsigned cpu, uint32_t index) {
    return const_cast<Register*>(static_cast<const MsrBank*>(this)->find(cpu, index));
}

bool MsrBank::lists(unsigned cpu, uint32_t index) const { return find(cpu, index) != nullptr; }

std::optional<uint64_t> MsrBank::plainValue(unsigned cpu, uint32_t index) const {
    const Register* reg = find(cpu, index);
    if (!reg || reg->kind != MsrKind::Plain) return std::nullopt;
    return reg->value;
}

bool MsrBank::fixedCounterEnabled(unsigned cpu, uint32_t index) const {
    return MsrFixedCounter::enabledBy(index, plainValue(cpu, MsrFixedCounter::kFixedControlMsr),
                                      plainValue(cpu, MsrFixedCounter::kGlobalControlMsr));
}

bool MsrBank::eventCounterEnabled(unsigned cpu, uint32_t index, const MsrEventCounter& counter) const {
    return counter.enabledBy(index, plainValue(cpu, MsrEventCounter::eventSelectOf(index)),
                             plainValue(cpu, MsrEventCounter::kGlobalControlMsr));
}

unsigned MsrBank::energyUnitBits(unsigned cpu) const {
    const std::optional<uint64_t> unit = plainValue(cpu, MsrEnergyCounter::kPowerUnitMsr);
    return unit ? MsrEnergyCounter::unitBitsOf(*unit) : MsrEnergyCounter::kDefaultUnitBits;
}

bool MsrBank::read(unsigned cpu, uint32_t index, uint64_t& value) const {
    const Register* reg = find(cpu, index);
    if (!reg) return false;
    switch (reg->kind) {
    case MsrKind::Faulting: return false;
    case MsrKind::Counter: value = reg->counter.read(); break;
    case MsrKind::Energy: value = reg->energy.read(energyUnitBits(cpu)); break;
    case MsrKind::FixedCounter: value = reg->fixed.read(fixedCounterEnabled(cpu, index)); break;
    case MsrKind::EventCounter: value = reg->event.read(eventCounterEnabled(cpu, index, reg->event)); break;
    case MsrKind::OcMailbox: value = reg->mailbox.read(); break;
    default: value = reg->value; break;
    }
    return true;
}

bool MsrBank::write(unsigned cpu, uint32_t index, uint64_t value) {
    Register* reg = find(cpu, index);
    if (!reg || reg->kind == MsrKind::Faulting || reg->readOnly) return false;
    const bool gates = index == MsrFixedCounter::kFixedControlMsr || index == MsrFixedCounter::kGlobalControlMsr ||
                       (index >= MsrEventCounter::kFirstEventSelectMsr && index <= MsrEventCounter::kLastEventSelectMsr);
    // The counters run up to the change of a control register and from it
    // on as the new value says.
    if (gates) gateCounters(cpu);
    switch (reg->kind) {
    case MsrKind::Counter: reg->counter.write(value); break;
    case MsrKind::FixedCounter: reg->fixed.write(value, fixedCounterEnabled(cpu, index)); break;
    case MsrKind::EventCounter: reg->event.write(value, eventCounterEnabled(cpu, index, reg->event)); break;
    case MsrKind::OcMailbox: reg->mailbox.write(value); break;
    default: reg->value = value; break;
    }
    if (gates) gateCounters(cpu);
    return true;
}

void MsrBank::gateCounters(unsigned cpu) const {
    for (uint32_t index = MsrFixedCounter::kFirstCounterMsr; index <= MsrFixedCounter::kLastCounterMsr; ++index)
        if (const Register* reg = find(cpu, index); reg && reg->kind == MsrKind::FixedCounter)
            reg->fixed.gate(fixedCounterEnabled(cpu, index));
    for (uint32_t index = MsrEventCounter::kFirstCounterMsr; index <= MsrEventCounter::kLastCounterMsr; ++index)
        if (const Register* reg = find(cpu, index); reg && reg->kind == MsrKind::EventCounter)
            reg->event.gate(eventCounterEnabled(cpu, index, reg->event));
}

void MsrBank::cpuidExecuted(unsigned cpu, uint32_t leaf) {
    if (leaf != 1) return;
    Register* reg = find(cpu, kMicrocodeSignatureMsr);
    if (reg && reg->kind == MsrKind::Microcode)
        reg->value = (uint64_t(reg->revision) << 32) | (reg->value & 0xFFFFFFFFu);
}

bool MsrBank::cpuidLimited(unsigned cpu) const {
    uint64_t value = 0;
    return read(cpu, kMiscEnableMsr, value) && (value & kLimitCpuidMaxvalBit) != 0;
}

} // namespace vexa::machine
