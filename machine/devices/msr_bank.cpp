#include "machine/devices/msr_bank.h"

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
    for (unsigned cpu : cpus) {
        if (cpu >= registers_.size()) {
            error = "MSR " + hexIndex(setting.index) + ": processor " + std::to_string(cpu) + " does not exist";
            return false;
        }
        if (!registers_[cpu].emplace(setting.index, Register{setting.value, setting.readOnly}).second) {
            error = "MSR " + hexIndex(setting.index) + " is given twice for processor " + std::to_string(cpu);
            return false;
        }
    }
    return true;
}

bool MsrBank::read(unsigned cpu, uint32_t index, uint64_t& value) const {
    if (cpu >= registers_.size()) return false;
    const auto it = registers_[cpu].find(index);
    if (it == registers_[cpu].end()) return false;
    value = it->second.value;
    return true;
}

bool MsrBank::write(unsigned cpu, uint32_t index, uint64_t value) {
    if (cpu >= registers_.size()) return false;
    const auto it = registers_[cpu].find(index);
    if (it == registers_[cpu].end() || it->second.readOnly) return false;
    it->second.value = value;
    return true;
}

} // namespace vexa::machine
