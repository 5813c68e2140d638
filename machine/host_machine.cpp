#include "machine/host_machine.h"

#include "machine/acpi_image.h"
#include "machine/device_file.h"
#include "machine/host_pci_config.h"
#include "machine/file_bytes.h"
#include "machine/smbios_image.h"
#include "machine/text_scan.h"

#include <algorithm>
#include <cerrno>
#include <cpuid.h>
#include <cstdio>
#include <fcntl.h>
#include <sched.h>
#include <memory>
#include <sstream>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <x86intrin.h>

namespace vexa::machine {
namespace {

constexpr size_t kFirmwareTableLimit = 16 * 1024 * 1024;
constexpr size_t kMeminfoLimit = 64 * 1024;  // /proc/meminfo is a few KiB
constexpr size_t kMaxKernelProcessors = 1u << 16;  // beyond any kernel's NR_CPUS
constexpr size_t kStatLimit = 4 * 1024 * 1024;  // /proc/stat: a line per processor and more

// pread and pwrite take a signed offset; addresses at or above 2^63 cannot
// be reached through the device files.
bool offsetReachable(uint64_t offset, size_t size) {
    return offset <= uint64_t(INT64_MAX) && size <= uint64_t(INT64_MAX) - offset;
}

// A processor set of the kernel's, sized for `count` processors.
struct ProcessorSet {
    explicit ProcessorSet(size_t count)
        : count(count), size(CPU_ALLOC_SIZE(count)), bits(CPU_ALLOC(count), [](cpu_set_t* set) { CPU_FREE(set); }) {
        if (bits) CPU_ZERO_S(size, bits.get());
    }
    size_t count;
    size_t size;
    std::unique_ptr<cpu_set_t, void (*)(cpu_set_t*)> bits;
};

// The processors the process may run on, by the kernel's numbers; empty
// when the kernel does not say (then every processor is taken as usable).
// The set grows until it holds every processor the kernel knows.
std::vector<bool> allowedProcessors() {
    for (size_t count = 1024; count <= kMaxKernelProcessors; count *= 2) {
        ProcessorSet set(count);
        if (!set.bits) break;
        if (sched_getaffinity(0, set.size, set.bits.get()) == 0) {
            std::vector<bool> usable(count);
            for (size_t cpu = 0; cpu < count; ++cpu) usable[cpu] = CPU_ISSET_S(cpu, set.size, set.bits.get());
            return usable;
        }
        if (errno != EINVAL) break;
    }
    return {};
}

} // namespace

HostMachine::HostMachine(std::string sysRoot, std::string devRoot)
    : sysRoot_(std::move(sysRoot)), devRoot_(std::move(devRoot)),
      pciConfig_(std::make_unique<HostPciConfig>(sysRoot_ + "/sys/bus/pci/devices")) {
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    processorCount_ = online > 0 ? unsigned(online) : 1;
    usableProcessors_ = allowedProcessors();
}

HostMachine::~HostMachine() {
    for (const auto& [start, length] : mappings_) munmap(start, length);
}

unsigned HostMachine::processorCount() const { return processorCount_; }

unsigned HostMachine::currentProcessor(const ProcessorAffinity&) const {
    const int cpu = sched_getcpu();
    return cpu >= 0 ? unsigned(cpu) : 0;
}

bool HostMachine::pinThread(int nativeTid, const ProcessorAffinity& affinity) {
    if (affinity.empty()) return false;
    ProcessorSet set(size_t(affinity.first) + 64);
    if (!set.bits) return false;
    for (unsigned bit = 0; bit < 64; ++bit) {
        if (!(affinity.mask >> bit & 1)) continue;
        const size_t cpu = size_t(affinity.first) + bit;
        if (!usableProcessors_.empty() && (cpu >= usableProcessors_.size() || !usableProcessors_[cpu])) return false;
        CPU_SET_S(cpu, set.size, set.bits.get());
    }
    return sched_setaffinity(nativeTid, set.size, set.bits.get()) == 0;
}

CpuidRegs HostMachine::doCpuid(unsigned, uint32_t leaf, uint32_t subleaf) {
    // Runs on the calling thread; the caller pinned it to the processor.
    CpuidRegs regs;
    __cpuid_count(leaf, subleaf, regs.eax, regs.ebx, regs.ecx, regs.edx);
    return regs;
}

bool HostMachine::doReadTsc(unsigned, uint64_t& value) {
    value = __rdtsc();
    return true;
}

bool HostMachine::doReadMsr(unsigned cpu, uint32_t index, uint64_t& value) {
    const DeviceFile msr(devRoot_ + "/dev/cpu/" + std::to_string(cpu) + "/msr", O_RDONLY);
    return msr.isOpen() && msr.readAt(index, &value, sizeof value);
}

bool HostMachine::doWriteMsr(unsigned cpu, uint32_t index, uint64_t value) {
    const DeviceFile msr(devRoot_ + "/dev/cpu/" + std::to_string(cpu) + "/msr", O_WRONLY);
    return msr.isOpen() && msr.writeAt(index, &value, sizeof value);
}

bool HostMachine::doReadPort(uint16_t port, unsigned width, uint32_t& value) {
    const DeviceFile ports(devRoot_ + "/dev/port", O_RDONLY);
    value = 0;
    return ports.isOpen() && ports.readAt(port, &value, width);
}

bool HostMachine::doWritePort(uint16_t port, unsigned width, uint32_t value) {
    const DeviceFile ports(devRoot_ + "/dev/port", O_WRONLY);
    return ports.isOpen() && ports.writeAt(port, &value, width);
}

bool HostMachine::doReadPhysical(uint64_t address, std::span<uint8_t> out) {
    if (!offsetReachable(address, out.size())) return false;
    const DeviceFile memory(devRoot_ + "/dev/mem", O_RDONLY);
    return memory.isOpen() && memory.readAt(address, out.data(), out.size());
}

const uint8_t* HostMachine::doMapPhysical(uint64_t address, size_t size) {
    const auto page = uint64_t(sysconf(_SC_PAGESIZE));
    const uint64_t start = address - address % page;
    const size_t length = size_t(address - start) + size;
    if (!offsetReachable(start, length)) return nullptr;
    const DeviceFile memory(devRoot_ + "/dev/mem", O_RDONLY);
    if (!memory.isOpen()) return nullptr;
    // The kernel may refuse ranges it does not let user space see
    // (strict /dev/mem): mmap fails then, and so does the request.
    void* view = mmap(nullptr, length, PROT_READ, MAP_SHARED, memory.fd(), off_t(start));
    if (view == MAP_FAILED) return nullptr;
    std::lock_guard lock(mappingsLock_);
    mappings_.emplace_back(view, length);
    return static_cast<const uint8_t*>(view) + (address - start);
}

bool HostMachine::doWritePhysical(uint64_t address, std::span<const uint8_t> data) {
    if (!offsetReachable(address, data.size())) return false;
    const DeviceFile memory(devRoot_ + "/dev/mem", O_WRONLY);
    return memory.isOpen() && memory.writeAt(address, data.data(), data.size());
}

bool HostMachine::doReadPciConfig(PciAddress fn, unsigned offset, std::span<uint8_t> out) {
    return pciConfig_->read(fn, offset, out);
}

bool HostMachine::doWritePciConfig(PciAddress fn, unsigned offset, std::span<const uint8_t> data) {
    return pciConfig_->write(fn, offset, data);
}

std::optional<SmbiosData> HostMachine::smbios() const {
    const std::string dir = sysRoot_ + "/sys/firmware/dmi/tables/";
    std::vector<uint8_t> entryPoint, table;
    std::string error;
    if (readFileBytes(dir + "smbios_entry_point", 64, entryPoint, error) != FileStatus::Ok) return std::nullopt;
    if (readFileBytes(dir + "DMI", kFirmwareTableLimit, table, error) != FileStatus::Ok) return std::nullopt;
    SmbiosData data;
    if (!smbiosFromEntryPointAndTable(entryPoint, std::move(table), data, error)) return std::nullopt;
    return data;
}

std::vector<AcpiTable> HostMachine::acpiTables() const {
    const std::string dir = sysRoot_ + "/sys/firmware/acpi/tables";
    std::vector<std::string> names;
    for (const std::string& name : listFolder(dir)) {
        struct stat info {};
        if (stat((dir + "/" + name).c_str(), &info) == 0 && S_ISREG(info.st_mode)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    std::vector<AcpiTable> tables;
    for (const std::string& name : names) {
        std::vector<uint8_t> bytes;
        std::string error;
        if (readFileBytes(dir + "/" + name, kFirmwareTableLimit, bytes, error) != FileStatus::Ok) continue;
        if (bytes.size() < 4) continue;
        tables.push_back(AcpiTable{acpiSignature(bytes), std::move(bytes)});
    }
    return tables;
}

// "MemTotal:  16318756 kB" of /proc/meminfo; the kernel gives every figure
// of that file in kB (KiB).
uint64_t HostMachine::totalMemoryBytes() const {
    std::string text, error;
    if (readFileText(sysRoot_ + "/proc/meminfo", kMeminfoLimit, text, error) != FileStatus::Ok) return 0;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string key, number, unit;
        fields >> key >> number >> unit;
        if (key != "MemTotal:") continue;
        uint64_t kib = 0;
        if (unit != "kB" || !parseDecimal(number, kib, UINT64_MAX / 1024)) return 0;
        return kib * 1024;
    }
    return 0;
}

// "cpu3 4705 356 584 3699 23 23 0 0 0 0" of /proc/stat: user, nice, system,
// idle, iowait, irq, softirq, steal, ... in clock ticks (sysconf
// _SC_CLK_TCK per second). Windows counts idle time as kernel time, so the
// kernel time here is everything but user, nice and steal.
std::vector<ProcessorTimes> HostMachine::processorTimes() const {
    std::string text, error;
    if (readFileText(sysRoot_ + "/proc/stat", kStatLimit, text, error) != FileStatus::Ok) return {};
    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    if (ticksPerSecond <= 0) return {};
    const uint64_t unitsPerTick = 10'000'000ull / uint64_t(ticksPerSecond);
    std::vector<ProcessorTimes> times(processorCount_);
    std::istringstream lines(text);
    std::string line;
    bool found = false;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string name;
        fields >> name;
        uint64_t cpu = 0;
        if (name.size() <= 3 || name.compare(0, 3, "cpu") != 0 || !parseDecimal(name.substr(3), cpu, UINT32_MAX) ||
            cpu >= times.size())
            continue;
        uint64_t ticks[8] = {};  // user nice system idle iowait irq softirq steal
        std::string number;
        for (uint64_t& value : ticks) {
            if (!(fields >> number) || !parseDecimal(number, value, UINT64_MAX / unitsPerTick / 8)) break;
        }
        const uint64_t idle = ticks[3] + ticks[4];
        times[cpu] = ProcessorTimes{idle * unitsPerTick, (ticks[2] + idle + ticks[5] + ticks[6]) * unitsPerTick,
                                    (ticks[0] + ticks[1]) * unitsPerTick};
        found = true;
    }
    if (!found) return {};
    return times;
}

} // namespace vexa::machine
