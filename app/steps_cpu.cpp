// The query layer's calls into the processor domain.
#include "app/domain_steps.h"
#include "sdk/cpu/cpu_interface.h"
#include "sdk/cpu/cpu_package.h"

namespace domain_steps {

int ProcessorClassCode(CCPUInterface* cpu, int package) {
    CProcessor* processor = cpu ? cpu->GetProcessor(package) : nullptr;
    return processor ? processor->GetClassCode() : -1;
}

void UpdateProcessorClocks(CCPUInterface* cpu) {
    if (cpu) cpu->UpdateClocks();
}

void AwaitFirstMeasurements(CCPUInterface* cpu, uint32_t ms) {
    if (cpu) cpu->WaitForFirstPasses(ms);
}

void DumpProcessors(CCPUInterface* cpu, CReportGenerator* report) {
    if (cpu) cpu->Dump(report);
}

void DumpProcessorThreads(CCPUInterface* cpu, CReportGenerator* report) {
    if (cpu) cpu->DumpThreads(report);
}

} // namespace domain_steps
