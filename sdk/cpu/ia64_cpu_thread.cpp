#include "sdk/cpu/ia64_cpu_thread.h"

#include <algorithm>
#include <cstring>

#include "platform/low_memory.h"
#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/cpu/ia64_infos.h"
#include "sdk/cpu/pal_procedure.h"
#include "sdk/hw/kmdriver.h"
#include "sdk/hw/timer.h"

IA64_CPUThread::IA64_CPUThread() : m_pPALCalls(new CTList<PAL_Procedure>) {}

IA64_CPUThread::~IA64_CPUThread() {
    m_pPALCalls->DeleteAll();
    delete m_pPALCalls;
}

// Intel's processors get the Itanium description (ia64_infos.h).
int IA64_CPUThread::Identify() {
    BRENIKSDK* sdk = GetSDK();
    m_pTSC = new CTSCCounter;
    sdk->m_pTimers->AddTail(m_pTSC);
    CKMDriver* driver = sdk->GetDriver();
    if (!driver) return 1;
    vexa::platform::LowMemoryBlock memory(kCPUIDRegisters * sizeof(uint64_t));
    auto* registers = static_cast<uint64_t*>(memory.data());
    uint32_t highest = 0;
    if (registers && driver->ReadIA64CPUID(registers, &highest)) {
        const uint32_t last = std::min<uint32_t>(highest, kCPUIDRegisters - 1);
        m_CPUIDRegisters.assign(registers, registers + last + 1);
        m_dwMaxStandardLeaf = last;
        char vendor[17] = {};
        std::memcpy(vendor, registers, 16);
        FormatString(m_szVendor, sizeof m_szVendor, "%s", vendor);
    }
    if (std::strcmp(m_szVendor, "GenuineIntel") != 0) {
        FormatString(m_szName, sizeof m_szName, "%s Processor", m_szVendor);
        return 1;
    }
    FormatString(m_szName, sizeof m_szName, "%s", "Intel Processor");
    SetVendorInfos(CreateIntelIA64Infos());
    return 1;
}

bool IA64_CPUThread::GetCPUIDRegister(uint32_t i, uint64_t& value) const {
    if (i >= m_CPUIDRegisters.size()) return false;
    value = m_CPUIDRegisters[i];
    return true;
}

PAL_Procedure* IA64_CPUThread::CallPAL(uint64_t a0, uint64_t a1, uint64_t a2, uint64_t a3) {
    const uint64_t arguments[4] = {a0, a1, a2, a3};
    CTListIterator<PAL_Procedure> it(m_pPALCalls);
    for (PAL_Procedure* call = it.GetFirst(); call; call = it.GetNext())
        if (call->SameArguments(arguments)) return call->Call() ? call : nullptr;
    auto low = [](uint64_t v) { return static_cast<uint32_t>(v); };
    auto high = [](uint64_t v) { return static_cast<uint32_t>(v >> 32); };
    auto* call = new PAL_Procedure(low(a0), high(a0), low(a1), high(a1), low(a2), high(a2), low(a3), high(a3));
    if (!call->Call()) {
        delete call;
        return nullptr;
    }
    m_pPALCalls->AddTail(call);
    return call;
}

void IA64_CPUThread::DumpCPUID(CReportGenerator* report) {
    if (!report) return;
    for (uint32_t i = 0; i < m_CPUIDRegisters.size(); ++i) {
        char label[64];
        FormatString(label, sizeof label, "\tFunction 0x%08X", i);
        report->PrintField(label, "\t\t", "0x%08X\t0x%08X", static_cast<uint32_t>(m_CPUIDRegisters[i] >> 32),
                           static_cast<uint32_t>(m_CPUIDRegisters[i]));
    }
}

void IA64_CPUThread::DumpMSRs(CReportGenerator* report) {
    CTListIterator<PAL_Procedure> it(m_pPALCalls);
    for (PAL_Procedure* call = it.GetFirst(); call; call = it.GetNext()) call->Dump(report);
}
