#include "machine/simulated_machine.h"

#include "machine/clock.h"

#include <algorithm>
#include <bit>

namespace vexa::machine {

SimulatedMachine::SimulatedMachine(SimulatedHardware hardware) : hw_(std::move(hardware)) {
    if (hw_.processors.empty()) hw_.processors.emplace_back(CpuidLeaves{});
    if (!hw_.acpiNamespace.empty()) addAcpiHalDevice(hw_.deviceTree);
}

unsigned SimulatedMachine::currentProcessor(const ProcessorAffinity& affinity) const {
    return !affinity.empty() && affinity.within(processorCount()) ? affinity.lowest() : 0;
}

bool SimulatedMachine::pinThread(int, const ProcessorAffinity& affinity) {
    return !affinity.empty() && affinity.within(processorCount());
}

CpuidRegs SimulatedMachine::doCpuid(unsigned cpu, uint32_t leaf, uint32_t subleaf) {
    std::lock_guard lock(lock_);
    const ProcessorCpuid& processor = hw_.processors[cpu];
    const bool limited = processor.isIntel() && hw_.msrs.cpuidLimited(cpu);
    hw_.msrs.cpuidExecuted(cpu, leaf);
    return processor.answer(leaf, subleaf, limited);
}

std::vector<ProcessorTimes> SimulatedMachine::processorTimes() const {
    const uint64_t elapsed = clock().nowNs() / 100;
    const auto busy = uint64_t(double(elapsed) * std::clamp(hw_.processorLoadPercent, 0.0, 100.0) / 100.0);
    const ProcessorTimes times{elapsed - busy, elapsed - busy, busy};
    return std::vector<ProcessorTimes>(hw_.processors.size(), times);
}

bool SimulatedMachine::ia64Cpuid(unsigned cpu, std::array<uint64_t, Ia64Facts::kCpuidRegisters>& registers) const {
    if (!hw_.ia64 || cpu >= processorCount()) return false;
    registers = hw_.ia64->cpuid;
    return true;
}

bool SimulatedMachine::smiCall(std::array<uint32_t, 4>& registers) {
    std::lock_guard<std::mutex> guard(lock_);
    if (!hw_.smi) return false;
    hw_.smi->call(registers);
    return true;
}

bool SimulatedMachine::palCall(unsigned cpu, const std::array<uint64_t, 4>& arguments,
                               std::array<uint64_t, 4>& results) const {
    if (!hw_.ia64 || cpu >= processorCount()) return false;
    for (const PalAnswer& answer : hw_.ia64->pal) {
        const bool onCpu = answer.cpus.empty() || std::find(answer.cpus.begin(), answer.cpus.end(), cpu) != answer.cpus.end();
        if (!onCpu || answer.arguments != arguments) continue;
        results = answer.results;
        return true;
    }
    results = {kPalUnimplemented, 0, 0, 0};
    return true;
}

bool SimulatedMachine::doReadTsc(unsigned, uint64_t& value) {
    value = hw_.tsc.read();
    return true;
}

bool SimulatedMachine::doReadMsr(unsigned cpu, uint32_t index, uint64_t& value) {
    std::lock_guard lock(lock_);
    // A listed register answers as its kind says (a faulting 0x10 too).
    if (hw_.msrs.lists(cpu, index)) return hw_.msrs.read(cpu, index, value);
    if (index != kTimeStampCounterMsr) return false;
    value = hw_.tsc.read();
    return true;
}

bool SimulatedMachine::doWriteMsr(unsigned cpu, uint32_t index, uint64_t value) {
    std::lock_guard lock(lock_);
    return hw_.msrs.write(cpu, index, value);
}

bool SimulatedMachine::doReadPort(uint16_t port, unsigned width, uint32_t& value) {
    std::lock_guard lock(lock_);
    value = hw_.ports.read(port, width);
    return true;
}

bool SimulatedMachine::doWritePort(uint16_t port, unsigned width, uint32_t value) {
    std::lock_guard lock(lock_);
    hw_.ports.write(port, width, value);
    return true;
}

bool SimulatedMachine::doReadPhysical(uint64_t address, std::span<uint8_t> out) {
    std::lock_guard lock(lock_);
    if (hw_.memoryDevices.decodes(address)) return hw_.memoryDevices.read(address, out);
    return hw_.memory.read(address, out);
}

bool SimulatedMachine::doWritePhysical(uint64_t address, std::span<const uint8_t> data) {
    std::lock_guard lock(lock_);
    if (hw_.memoryDevices.decodes(address)) return hw_.memoryDevices.write(address, data);
    return hw_.memory.write(address, data);
}

bool SimulatedMachine::doReadPciConfig(PciAddress fn, unsigned offset, std::span<uint8_t> out) {
    std::lock_guard lock(lock_);
    hw_.pci->read(fn, offset, out);
    return true;
}

bool SimulatedMachine::doWritePciConfig(PciAddress fn, unsigned offset, std::span<const uint8_t> data) {
    std::lock_guard lock(lock_);
    hw_.pci->write(fn, offset, data);
    return true;
}

} // namespace vexa::machine
