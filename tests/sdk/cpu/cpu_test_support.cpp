#include "tests/sdk/cpu/cpu_test_support.h"

#include <cstdio>
#include <cstring>

#include "platform/threads.h"
#include "sdk/core/sdk.h"
#include "tests/support/image_dir.h"
#include "tests/support/test_paths.h"

namespace vexa::test {

Leaves::Leaves(const char* vendor, uint32_t maxBasic) {
    machine::CpuidRegs regs;
    regs.eax = maxBasic;
    std::memcpy(&regs.ebx, vendor, 4);
    std::memcpy(&regs.edx, vendor + 4, 4);
    std::memcpy(&regs.ecx, vendor + 8, 4);
    leaves_[machine::CpuidKey{0, 0}] = regs;
}

Leaves& Leaves::Set(uint32_t leaf, uint32_t eax, uint32_t ebx, uint32_t ecx, uint32_t edx, uint32_t subleaf) {
    leaves_[machine::CpuidKey{leaf, subleaf}] = machine::CpuidRegs{eax, ebx, ecx, edx};
    return *this;
}

Leaves& Leaves::Extended(uint32_t maxExtended) { return Set(0x80000000, maxExtended, 0, 0, 0); }

Leaves& Leaves::Brand(const std::string& text) {
    char bytes[48] = {};
    std::memcpy(bytes, text.data(), std::min<size_t>(text.size(), sizeof bytes));
    for (uint32_t i = 0; i < 3; ++i) {
        uint32_t regs[4];
        std::memcpy(regs, bytes + 16 * i, 16);
        Set(0x80000002 + i, regs[0], regs[1], regs[2], regs[3]);
    }
    return *this;
}

std::string CpuidDumpText(const Leaves& leaves) {
    std::string dump;
    for (const auto& [key, regs] : leaves.Get()) {
        char line[96];
        std::snprintf(line, sizeof line, "CPUID %08X: %08X-%08X-%08X-%08X [SL %02X]\n", key.leaf, regs.eax, regs.ebx,
                      regs.ecx, regs.edx, key.subleaf);
        dump += line;
    }
    return dump;
}

uint32_t SignatureEax(uint32_t family, uint32_t model, uint32_t stepping, uint32_t extFamily, uint32_t extModel) {
    return (extFamily << 20) | (extModel << 16) | (family << 8) | (model << 4) | stepping;
}

std::unique_ptr<machine::Machine> MachineOf(std::vector<Leaves> processors, std::vector<machine::MsrSetting> msrs) {
    machine::SimulatedHardware hw;
    hw.description = "test";
    for (const Leaves& leaves : processors) hw.processors.emplace_back(leaves.Get());
    hw.msrs = machine::MsrBank(unsigned(hw.processors.size()));
    std::string error;
    for (const machine::MsrSetting& setting : msrs) EXPECT_TRUE(hw.msrs.add(setting, error)) << error;
    return std::make_unique<machine::SimulatedMachine>(std::move(hw));
}

machine::MsrSetting PlainMsr(uint32_t index, uint64_t value) {
    machine::MsrSetting setting;
    setting.index = index;
    setting.value = value;
    return setting;
}

std::unique_ptr<machine::Machine> X58With(const std::string& manifest) {
    ImageDir image;
    image.write("machine.json", manifest);
    image.write("cpuid.txt", readFile(sourcePath("machines/x58-nehalem/cpuid.txt")));
    return image.load();
}

std::unique_ptr<machine::Machine> DumpOnly(const std::string& dataFile) {
    ImageDir image;
    image.copyData(dataFile, "cpuid.txt");
    return image.load();
}

PinnedTo::PinnedTo(unsigned cpu)
    : previous_(SetThreadAffinityMask(GetCurrentThread(), DWORD_PTR(1) << cpu)) {
    EXPECT_NE(previous_, 0u) << "processor " << cpu;
}

PinnedTo::~PinnedTo() {
    if (previous_) SetThreadAffinityMask(GetCurrentThread(), previous_);
}

void ProcessorTest::Use(std::unique_ptr<machine::Machine> machine, bool withDriver) {
    install(std::move(machine));
    GetSDK()->m_pDriver = withDriver ? &lockedDriver() : nullptr;
}

// Every interface stops its threads before any of the root's objects goes.
void ProcessorTest::TearDown() {
    GetSDK()->Close();
    ReleaseSDK();
    KMDriverOnMachine::TearDown();
}

std::unique_ptr<CCPUThread> ProcessorTest::Identified(unsigned cpu) {
    PinnedTo pinned(cpu);
    auto thread = std::make_unique<CCPUThread>();
    thread->m_iProcessorNumber = static_cast<int32_t>(cpu);
    EXPECT_EQ(thread->Identify(), 1);
    return thread;
}

} // namespace vexa::test
