// CPUID dump text -> parser -> topology -> the answers of each processor.
#include "machine/cpuid_topology.h"
#include "machine/devices/processor_cpuid.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vexa::machine;
    CpuidDump dump;
    std::string error;
    if (!parseCpuidDump(std::string_view(reinterpret_cast<const char*>(data), size), dump, error)) return 0;
    std::vector<CpuidLeaves> processors;
    if (!buildProcessors(dump, ProcessorLayout{}, processors, error)) return 0;
    for (const CpuidLeaves& leaves : processors) {
        const ProcessorCpuid cpu(leaves);
        for (uint32_t leaf : {0u, 1u, 4u, 0xBu, 0x1Fu, 0x80000000u, 0x80000008u, 0x8000001Eu, 0x40000000u})
            for (uint32_t subleaf = 0; subleaf < 3; ++subleaf) cpu.answer(leaf, subleaf);
    }
    return 0;
}
