#include "tests/sdk/cpu/intel_family_test_support.h"

#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/cpu/cpu_infos.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/pci_interface.h"
#include "sdk/hw/timer.h"
#include "tests/support/image_dir.h"
#include "tests/support/test_paths.h"

namespace vexa::test {

Leaves IntelLeaves(const IntelPart& part) {
    Leaves leaves("GenuineIntel", part.maxLeaf);
    const uint32_t logical = part.threads ? part.threads : 1;
    // Leaf 1: the signature, the logical processors (HTT), SpeedStep (ECX 7).
    leaves.Set(1, SignatureEax(6, part.extModel & 0xF, part.stepping, 0, part.extModel >> 4), logical << 16, 1u << 7,
               1u << 28);
    if (part.l3) {
        // Leaf 4: one level-3 cache of 16 ways and 64-byte lines.
        const uint32_t sets = part.l3 * 1024 / (16 * 64);
        leaves.Set(4, 0x63 | ((logical - 1) << 14), (15u << 22) | 63u, sets - 1, 0, 0);
    }
    leaves.Set(6, part.turbo ? 3u : 1u, 0, 0, 0);
    if (part.threads) {
        leaves.Set(0xB, 1, 2, 0x100, 0, 0);
        leaves.Set(0xB, 4, part.threads, 0x201, 0, 1);
    }
    leaves.Extended(0x80000004).Brand(part.brand);
    return leaves;
}

std::string IntelManifest(const std::string& msrs, const std::string& cpuExtra, const std::string& sections) {
    return R"({"cpu": {"msrs": {)" + msrs + "}" + (cpuExtra.empty() ? "" : ", " + cpuExtra) +
           R"(}, "ports": {"acpi_pm_timer": "0x808"}, "memory_devices": {"hpet": "0xFED00000"})" +
           (sections.empty() ? "" : ", " + sections) + "}";
}

namespace {

// The image of the leaves, the manifest and PCI functions in lspci -xxxx
// form when `lspci` is not empty.
std::unique_ptr<machine::Machine> ImageOf(const Leaves& leaves, const std::string& msrs, const std::string& cpuExtra,
                                          const std::string& lspci, const std::string& sections) {
    ImageDir image;
    image.write("cpuid.txt", CpuidDumpText(leaves));
    image.write("machine.json", IntelManifest(msrs, cpuExtra, sections));
    if (!lspci.empty()) image.write("lspci.txt", lspci);
    return image.load();
}

} // namespace

std::unique_ptr<machine::Machine> IntelPartImage(const IntelPart& part, const std::string& msrs,
                                                 const std::string& cpuExtra, const std::string& lspci,
                                                 const std::string& sections) {
    return ImageOf(IntelLeaves(part), msrs, cpuExtra, lspci, sections);
}

std::unique_ptr<machine::Machine> LeavesImage(const Leaves& leaves, const std::string& msrs, const std::string& cpuExtra) {
    return ImageOf(leaves, msrs, cpuExtra, "", "");
}

std::unique_ptr<machine::Machine> IntelDumpImage(const std::string& dataFile, const std::string& msrs,
                                                 const std::string& cpuExtra, const std::string& lspci,
                                                 const std::string& sections) {
    ImageDir image;
    image.copyData(dataFile, "cpuid.txt");
    image.write("machine.json", IntelManifest(msrs, cpuExtra, sections));
    if (!lspci.empty()) image.write("lspci.txt", lspci);
    return image.load();
}

std::string PlatformIdMsr(int id) { return "\"0x17\": \"" + std::to_string(uint64_t(id) << 50) + "\""; }

std::string PlatformInfoMsr(int ratio, int efficiency, bool unlocked) {
    const uint64_t value = (uint64_t(efficiency) << 40) | (uint64_t(ratio) << 8) | (unlocked ? 1u << 28 : 0u);
    return "\"0xCE\": \"" + std::to_string(value) + "\"";
}

void IntelFamilyTest::UseImage(std::unique_ptr<machine::Machine> machine, bool scanPci) {
    useManualClock();
    Use(std::move(machine));
    BRENIKSDK* sdk = GetSDK();
    sdk->m_pTimers->AddTail(new CACPITimer(0x808));
    auto* hpet = new CMemoryIOSpace(0, 0xFED00000, 1024);
    sdk->m_pIOSpaces->AddTail(hpet);
    sdk->m_pTimers->AddTail(new CHPETTimer(hpet));
    if (!scanPci) return;
    ASSERT_EQ(sdk->CreatePCIInterface(), 1);
    sdk->m_pPCI->ScanBus();
}

uint64_t IntelFamilyTest::Msr(unsigned cpu, uint32_t index) {
    uint64_t value = 0;
    EXPECT_TRUE(hw().readMsr(cpu, index, value)) << std::hex << index;
    return value;
}

std::string DumpText(CCPUInfos* infos) {
    CReportGenerator_Buffer report;
    if (infos) infos->DumpRegisters(&report);
    return report.GetText();
}

} // namespace vexa::test
