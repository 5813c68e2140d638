// What the Linux host says about its own operating system, and which
// hypervisor it runs under.
#include "machine/file_bytes.h"
#include "machine/host_machine.h"
#include "machine/text_scan.h"

#include <cpuid.h>
#include <cstring>
#include <sys/utsname.h>

namespace vexa::machine {
namespace {

constexpr size_t kOsReleaseLimit = 64 * 1024;
constexpr size_t kKernelFileLimit = 4096;
constexpr uint32_t kHypervisorPresentBit = 1u << 31;  // CPUID.1:ECX
constexpr uint32_t kHypervisorLeaf = 0x40000000;

// A value of os-release: shell-like, optionally in double or single quotes,
// with backslash escapes inside double quotes.
std::string osReleaseValue(std::string_view raw) {
    raw = trim(raw);
    if (raw.size() >= 2 && (raw.front() == '"' || raw.front() == '\'') && raw.back() == raw.front()) {
        const bool escapes = raw.front() == '"';
        raw = raw.substr(1, raw.size() - 2);
        std::string value;
        for (size_t i = 0; i < raw.size(); ++i) {
            if (escapes && raw[i] == '\\' && i + 1 < raw.size()) ++i;
            value += raw[i];
        }
        return value;
    }
    return std::string(raw);
}

// PRETTY_NAME, else NAME, of the first os-release file that exists.
std::string distributionName(const std::string& root) {
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
        std::string text, error;
        if (readFileText(root + path, kOsReleaseLimit, text, error) != FileStatus::Ok) continue;
        std::string pretty, name;
        LineReader lines(text);
        for (std::string_view line; lines.next(line);) {
            const size_t equals = line.find('=');
            if (equals == std::string_view::npos) continue;
            const std::string_view key = trim(line.substr(0, equals));
            if (key == "PRETTY_NAME") pretty = osReleaseValue(line.substr(equals + 1));
            if (key == "NAME") name = osReleaseValue(line.substr(equals + 1));
        }
        if (!pretty.empty()) return pretty;
        if (!name.empty()) return name;
    }
    return "Linux";
}

std::string kernelFile(const std::string& root, const char* name) {
    std::string text, error;
    if (readFileText(root + "/proc/sys/kernel/" + name, kKernelFileLimit, text, error) != FileStatus::Ok) return {};
    return std::string(trim(text.substr(0, text.find('\n'))));
}

} // namespace

std::optional<HostSystem> HostMachine::hostSystem() const {
    HostSystem system;
    system.distribution = distributionName(sysRoot_);
    utsname names {};
    const bool named = uname(&names) == 0;
    std::string type = kernelFile(sysRoot_, "ostype"), release = kernelFile(sysRoot_, "osrelease");
    if (type.empty() && named) type = names.sysname;
    if (release.empty() && named) release = names.release;
    system.kernel = type.empty() ? release : release.empty() ? type : type + " " + release;
    if (named) system.architecture = names.machine;
    return system;
}

Hypervisor HostMachine::hypervisor() const {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx) || !(ecx & kHypervisorPresentBit)) return Hypervisor::None;
    __cpuid(kHypervisorLeaf, eax, ebx, ecx, edx);
    char vendor[12];
    std::memcpy(vendor, &ebx, 4);
    std::memcpy(vendor + 4, &ecx, 4);
    std::memcpy(vendor + 8, &edx, 4);
    // Only VMware answers the backdoor probe; Virtual PC's trap is unknown
    // to every hypervisor Linux runs under.
    return std::memcmp(vendor, "VMwareVMware", 12) == 0 ? Hypervisor::VMware : Hypervisor::None;
}

} // namespace vexa::machine
