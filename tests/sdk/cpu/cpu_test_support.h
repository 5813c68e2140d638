// What the processor tests share: CPUID answers written by hand, simulated
// machines made of them (or of the sample image and the dumps of
// tests/data/cpuid), the calling thread pinned to a logical processor, and
// a fixture with the stand-in driver that MSR accesses go through.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "machine/simulated_machine.h"
#include "sdk/cpu/cpu_thread.h"
#include "tests/sdk/hw/kmdriver_test_support.h"

namespace vexa::test {

// The CPUID answers of one logical processor.
class Leaves {
public:
    // Leaf 0: the highest basic leaf and the 12-character vendor string.
    Leaves(const char* vendor, uint32_t maxBasic);
    Leaves& Set(uint32_t leaf, uint32_t eax, uint32_t ebx, uint32_t ecx, uint32_t edx, uint32_t subleaf = 0);
    // Leaf 0x80000000 with the highest extended leaf.
    Leaves& Extended(uint32_t maxExtended);
    // Leaves 0x80000002-4 holding the text (at most 48 characters).
    Leaves& Brand(const std::string& text);
    const machine::CpuidLeaves& Get() const { return leaves_; }

private:
    machine::CpuidLeaves leaves_;
};

// The answers as a CPUID dump in the dialect of the images.
std::string CpuidDumpText(const Leaves& leaves);

// CPUID 1 EAX of a signature: base family, model and stepping, and the
// extended family and model fields.
uint32_t SignatureEax(uint32_t family, uint32_t model, uint32_t stepping, uint32_t extFamily = 0,
                      uint32_t extModel = 0);

// A machine of these processors and MSRs (a plain MSR: index and value).
std::unique_ptr<machine::Machine> MachineOf(std::vector<Leaves> processors,
                                            std::vector<machine::MsrSetting> msrs = {});
machine::MsrSetting PlainMsr(uint32_t index, uint64_t value);

// An image of the x58 sample's CPUID dump and this manifest.
std::unique_ptr<machine::Machine> X58With(const std::string& manifest);
// An image of a dump of tests/data (below it) alone.
std::unique_ptr<machine::Machine> DumpOnly(const std::string& dataFile);

// Pins the calling thread to a logical processor while it lives.
class PinnedTo {
public:
    explicit PinnedTo(unsigned cpu);
    ~PinnedTo();
    PinnedTo(const PinnedTo&) = delete;
    PinnedTo& operator=(const PinnedTo&) = delete;

private:
    uintptr_t previous_;
};

// A machine of the test's and, on request, the stand-in driver locked and
// handed to the root, as the scan and the measurement threads find it.
class ProcessorTest : public KMDriverOnMachine {
protected:
    void TearDown() override;
    // Installs the machine; `withDriver` also starts and locks the driver.
    void Use(std::unique_ptr<machine::Machine> machine, bool withDriver = true);
    // A logical processor of the installed machine identified on the
    // calling thread, pinned to it meanwhile.
    std::unique_ptr<CCPUThread> Identified(unsigned cpu = 0);
};

} // namespace vexa::test
