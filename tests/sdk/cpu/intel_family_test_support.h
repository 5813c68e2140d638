// What the tests of the Intel microarchitecture descriptions share: machines
// of a processor written by hand (signature, brand string, thread count,
// level-3 cache, turbo and the MSRs a case needs) or of a dump of
// tests/data/cpuid with MSRs, and a fixture that gives the root the ACPI PM
// timer and the HPET, as the ACPI domain would, with a manual clock so that
// every rate is exact.
#pragma once

#include <memory>
#include <string>

#include "tests/sdk/cpu/cpu_test_support.h"

class CCPUInfos;
class CReportGenerator;

namespace vexa::test {

// A processor of family 6 and this extended model and stepping.
struct IntelPart {
    uint32_t extModel = 0;
    uint32_t stepping = 0;
    std::string brand;        // the brand string
    uint32_t threads = 0;     // logical processors per package (leaf 0xB); 0: no leaf 0xB
    uint32_t l3 = 0;          // KB; 0: no level-3 cache
    bool turbo = true;        // CPUID 6 EAX bit 1
    uint32_t maxLeaf = 0xB;
};
Leaves IntelLeaves(const IntelPart& part);

// The manifest of a test image: the MSRs (a JSON object's members), the
// PM timer at 0x808, the HPET at 0xFED00000, `cpuExtra` (members of
// "cpu", such as "tsc_mhz": 3100) and `sections` (further members of the
// manifest, such as "pci": {...}).
std::string IntelManifest(const std::string& msrs, const std::string& cpuExtra = "", const std::string& sections = "");
// An image of a hand-written processor, that manifest, and PCI functions
// in lspci -xxxx form when `lspci` is not empty.
std::unique_ptr<machine::Machine> IntelPartImage(const IntelPart& part, const std::string& msrs,
                                                 const std::string& cpuExtra = "", const std::string& lspci = "",
                                                 const std::string& sections = "");
// An image of processors with these CPUID answers and that manifest.
std::unique_ptr<machine::Machine> LeavesImage(const Leaves& leaves, const std::string& msrs,
                                              const std::string& cpuExtra = "");
// An image of a dump of tests/data, that manifest, and PCI functions in
// lspci -xxxx form when `lspci` is not empty.
std::unique_ptr<machine::Machine> IntelDumpImage(const std::string& dataFile, const std::string& msrs,
                                                 const std::string& cpuExtra = "", const std::string& lspci = "",
                                                 const std::string& sections = "");

// Manifest members (`"0x17": "..."`) of IA32_PLATFORM_ID with a platform
// ID (bits 52:50) and of MSR_PLATFORM_INFO with the maximum non-turbo ratio
// (bits 15:8), the maximum efficiency ratio (47:40) and the unlock bit 28.
std::string PlatformIdMsr(int id);
std::string PlatformInfoMsr(int ratio, int efficiency = 0, bool unlocked = false);

class IntelFamilyTest : public ProcessorTest {
protected:
    // Installs the machine with the driver and a manual clock; the root
    // gets the PM timer (port 0x808) and the HPET (0xFED00000) and, with
    // `scanPci`, the scanned PCI domain.
    void UseImage(std::unique_ptr<machine::Machine> machine, bool scanPci = false);
    // An MSR of a processor, read past the program.
    uint64_t Msr(unsigned cpu, uint32_t index);
};

// A description's register section.
std::string DumpText(CCPUInfos* infos);

} // namespace vexa::test
