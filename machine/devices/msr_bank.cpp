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

bool MsrBank::read(unsigned cpu, uint32_t index, uint64_t& value) const {
    const Register* reg = find(cpu, index);
    if (!reg || reg->kind == MsrKind::Faulting) return false;
    value = reg->kind == MsrKind::Counter ? reg->counter.read() : reg->value;
    return true;
}

bool MsrBank::write(unsigned cpu, uint32_t index, uint64_t value) {
    Register* reg = find(cpu, index);
    if (!reg || reg->kind == MsrKind::Faulting || reg->readOnly) return false;
    if (reg->kind == MsrKind::Counter) reg->counter.write(value);
    else reg->value = value;
    return true;
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
