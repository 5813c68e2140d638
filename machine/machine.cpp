// The Machine base: argument checks, fault injection and the access log
// that every machine shares, in front of the backends' do* functions.
#include "machine/machine.h"

#include "machine/text_scan.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace vexa::machine {
namespace {

uint64_t firstBytes(std::span<const uint8_t> data) {
    uint64_t value = 0;
    std::memcpy(&value, data.data(), std::min<size_t>(data.size(), sizeof value));
    return value;  // x86 is little-endian, as the log wants
}

bool byteRangeMatters(AccessKind kind) {
    return kind == AccessKind::Port || kind == AccessKind::Memory || kind == AccessKind::PciConfig;
}

bool pciArgumentsValid(PciAddress fn, unsigned offset, size_t size) {
    return fn.device <= 31 && fn.function <= 7 && size > 0 && offset <= 4096 && size <= 4096 - offset;
}

constexpr std::string_view kAcpiHalEnumerator = "ACPI_HAL";
// Windows names unnamed physical device objects \Device\NNNNNNNN in the
// order it creates them; the ACPI HAL device's is the first.
constexpr std::string_view kAcpiHalPdoName = "\\Device\\00000001";

bool isAcpiHal(const DeviceNode& node) {
    const auto it = node.properties.find(DeviceNode::kEnumerator);
    return it != node.properties.end() && it->second.size() == kAcpiHalEnumerator.size() &&
           startsWithNoCase(it->second, kAcpiHalEnumerator);
}

} // namespace

bool isAcpiNameCharacter(char c, size_t position) {
    return (c >= 'A' && c <= 'Z') || c == '_' || (position > 0 && c >= '0' && c <= '9');
}

void addAcpiHalDevice(std::vector<DeviceNode>& tree) {
    if (std::any_of(tree.begin(), tree.end(), isAcpiHal)) return;
    if (tree.empty()) tree.emplace_back();  // the root
    DeviceNode hal;
    hal.parent = 0;
    hal.properties[DeviceNode::kEnumerator] = std::string(kAcpiHalEnumerator);
    hal.properties[DeviceNode::kPdoName] = std::string(kAcpiHalPdoName);
    tree.push_back(std::move(hal));
}

unsigned ProcessorAffinity::lowest() const { return first + unsigned(std::countr_zero(mask)); }

bool ProcessorAffinity::within(unsigned count) const {
    if (first >= count) return false;
    const unsigned room = count - first;
    return room >= 64 || (mask >> room) == 0;
}

AcpiValue AcpiValue::fromInteger(uint64_t value) {
    AcpiValue result{kInteger, std::vector<uint8_t>(8)};
    for (size_t i = 0; i < 8; ++i) result.data[i] = uint8_t(value >> (8 * i));
    return result;
}

AcpiValue AcpiValue::fromString(std::string_view text) {
    AcpiValue result{kString, std::vector<uint8_t>(text.begin(), text.end())};
    result.data.push_back(0);
    return result;
}

AcpiValue AcpiValue::fromBytes(std::vector<uint8_t> bytes) { return AcpiValue{kBuffer, std::move(bytes)}; }

std::optional<std::vector<AcpiValue>> Machine::evaluateAcpiMethod(size_t index) const {
    const auto nodes = acpiNamespace();
    if (index >= nodes.size() || !nodes[index].method) return std::nullopt;
    return nodes[index].results;
}

bool Machine::faulted(const Access& access) const {
    for (const Fault& fault : faults_) {
        if (fault.kind != access.kind) continue;
        if (fault.dir && *fault.dir != access.dir) continue;
        if (fault.cpu && *fault.cpu != access.cpu) continue;
        const uint64_t first = access.address;
        const uint64_t last = byteRangeMatters(access.kind) ? access.address + access.size - 1 : first;
        if (last < fault.first || first > fault.last) continue;
        return true;
    }
    return false;
}

void Machine::record(const Access& access) {
    if (logging_ && log_.size() < kAccessLogLimit) log_.push_back(access);
}

bool Machine::admit(Access& access, bool valid) {
    std::lock_guard lock(monitorLock_);
    if (valid && !faulted(access)) return true;
    access.ok = false;
    record(access);
    return false;
}

CpuidRegs Machine::cpuid(unsigned cpu, uint32_t leaf, uint32_t subleaf) {
    Access access{AccessKind::Cpuid, AccessDir::Read, cpu, leaf, 16, 0, true, subleaf};
    if (!admit(access, cpu < processorCount())) return {};
    const CpuidRegs regs = doCpuid(cpu, leaf, subleaf);
    access.value = uint64_t(regs.eax) | (uint64_t(regs.ebx) << 32);
    std::lock_guard lock(monitorLock_);
    record(access);
    return regs;
}

uint64_t Machine::readTsc(unsigned cpu) {
    Access access{AccessKind::Tsc, AccessDir::Read, cpu, 0, 8, 0, true};
    if (!admit(access, cpu < processorCount())) return 0;
    uint64_t value = 0;
    access.ok = doReadTsc(cpu, value);
    if (!access.ok) value = 0;
    access.value = value;
    std::lock_guard lock(monitorLock_);
    record(access);
    return value;
}

bool Machine::readMsr(unsigned cpu, uint32_t index, uint64_t& value) {
    value = 0;
    Access access{AccessKind::Msr, AccessDir::Read, cpu, index, 8, 0, true};
    if (!admit(access, cpu < processorCount())) return false;
    uint64_t read = 0;
    access.ok = doReadMsr(cpu, index, read);
    if (access.ok) value = read;
    access.value = value;
    std::lock_guard lock(monitorLock_);
    record(access);
    return access.ok;
}

bool Machine::writeMsr(unsigned cpu, uint32_t index, uint64_t value) {
    Access access{AccessKind::Msr, AccessDir::Write, cpu, index, 8, value, true};
    if (!admit(access, cpu < processorCount())) return false;
    access.ok = doWriteMsr(cpu, index, value);
    std::lock_guard lock(monitorLock_);
    record(access);
    return access.ok;
}

bool Machine::readPort(uint16_t port, unsigned width, uint32_t& value) {
    const bool widthValid = width == 1 || width == 2 || width == 4;
    value = widthValid && width < 4 ? (1u << (8 * width)) - 1 : 0xFFFFFFFFu;
    Access access{AccessKind::Port, AccessDir::Read, 0, port, width, value, true};
    if (!admit(access, widthValid && port + width <= 0x10000u)) return false;
    uint32_t read = 0;
    access.ok = doReadPort(port, width, read);
    if (access.ok) value = width < 4 ? read & ((1u << (8 * width)) - 1) : read;
    access.value = value;
    std::lock_guard lock(monitorLock_);
    record(access);
    return access.ok;
}

bool Machine::writePort(uint16_t port, unsigned width, uint32_t value) {
    const bool widthValid = width == 1 || width == 2 || width == 4;
    if (widthValid && width < 4) value &= (1u << (8 * width)) - 1;
    Access access{AccessKind::Port, AccessDir::Write, 0, port, width, value, true};
    if (!admit(access, widthValid && port + width <= 0x10000u)) return false;
    access.ok = doWritePort(port, width, value);
    std::lock_guard lock(monitorLock_);
    record(access);
    return access.ok;
}

bool Machine::readPhysical(uint64_t address, std::span<uint8_t> out) {
    std::fill(out.begin(), out.end(), 0xFF);
    const bool valid = !out.empty() && address + (out.size() - 1) >= address;
    Access access{AccessKind::Memory, AccessDir::Read, 0, address, uint32_t(std::min<size_t>(out.size(), UINT32_MAX)),
                  out.empty() ? 0 : firstBytes(out), true};
    if (!admit(access, valid)) return false;
    access.ok = doReadPhysical(address, out);
    if (!access.ok) std::fill(out.begin(), out.end(), 0xFF);
    access.value = firstBytes(out);
    std::lock_guard lock(monitorLock_);
    record(access);
    return access.ok;
}

const uint8_t* Machine::mapPhysical(uint64_t address, size_t size) {
    const bool valid = size != 0 && size <= kMaxMappingBytes && address + (size - 1) >= address;
    Access access{AccessKind::Memory, AccessDir::Read, 0, address, uint32_t(std::min<size_t>(size, UINT32_MAX)), 0, true};
    if (!admit(access, valid)) return nullptr;
    const uint8_t* view = doMapPhysical(address, size);
    access.ok = view != nullptr;
    if (view) access.value = firstBytes(std::span<const uint8_t>(view, size));
    std::lock_guard lock(monitorLock_);
    record(access);
    return view;
}

const uint8_t* Machine::doMapPhysical(uint64_t address, size_t size) {
    std::lock_guard lock(mappingLock_);
    if (size > kMaxMappedBytes - mappedBytes_) return nullptr;
    auto copy = std::make_unique<uint8_t[]>(size);
    if (!doReadPhysical(address, std::span<uint8_t>(copy.get(), size))) return nullptr;
    mappedBytes_ += size;
    mappedCopies_.push_back(std::move(copy));
    return mappedCopies_.back().get();
}

bool Machine::writePhysical(uint64_t address, std::span<const uint8_t> data) {
    const bool valid = !data.empty() && address + (data.size() - 1) >= address;
    Access access{AccessKind::Memory, AccessDir::Write, 0, address, uint32_t(std::min<size_t>(data.size(), UINT32_MAX)),
                  data.empty() ? 0 : firstBytes(data), true};
    if (!admit(access, valid)) return false;
    access.ok = doWritePhysical(address, data);
    std::lock_guard lock(monitorLock_);
    record(access);
    return access.ok;
}

bool Machine::readPciConfig(PciAddress fn, unsigned offset, std::span<uint8_t> out) {
    std::fill(out.begin(), out.end(), 0xFF);
    const bool valid = pciArgumentsValid(fn, offset, out.size());
    Access access{AccessKind::PciConfig, AccessDir::Read, 0, pciLinear(fn, offset),
                  uint32_t(std::min<size_t>(out.size(), UINT32_MAX)), out.empty() ? 0 : firstBytes(out), true};
    if (!admit(access, valid)) return false;
    access.ok = doReadPciConfig(fn, offset, out);
    if (!access.ok) std::fill(out.begin(), out.end(), 0xFF);
    access.value = firstBytes(out);
    std::lock_guard lock(monitorLock_);
    record(access);
    return access.ok;
}

bool Machine::writePciConfig(PciAddress fn, unsigned offset, std::span<const uint8_t> data) {
    const bool valid = pciArgumentsValid(fn, offset, data.size());
    Access access{AccessKind::PciConfig, AccessDir::Write, 0, pciLinear(fn, offset),
                  uint32_t(std::min<size_t>(data.size(), UINT32_MAX)), data.empty() ? 0 : firstBytes(data), true};
    if (!admit(access, valid)) return false;
    access.ok = doWritePciConfig(fn, offset, data);
    std::lock_guard lock(monitorLock_);
    record(access);
    return access.ok;
}

void Machine::setLogging(bool on) {
    std::lock_guard lock(monitorLock_);
    logging_ = on;
}

std::vector<Access> Machine::accessLog() const {
    std::lock_guard lock(monitorLock_);
    return log_;
}

void Machine::clearAccessLog() {
    std::lock_guard lock(monitorLock_);
    log_.clear();
}

void Machine::injectFault(const Fault& fault) {
    std::lock_guard lock(monitorLock_);
    faults_.push_back(fault);
}

void Machine::clearFaults() {
    std::lock_guard lock(monitorLock_);
    faults_.clear();
}

} // namespace vexa::machine
