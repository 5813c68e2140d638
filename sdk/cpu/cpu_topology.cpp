// Packages and cores from the logical processors' APIC ids, and what each
// package gathers: its cores, logical processors, cache instances and
// sensors.
#include <algorithm>
#include <set>
#include <vector>

#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_core.h"
#include "sdk/cpu/cpu_interface.h"
#include "sdk/cpu/cpu_package.h"
#include "sdk/cpu/cpu_thread.h"

namespace {

constexpr uint32_t kLoadSensorRole = 0x120000;  // with the package id, shifted into the sensor id

// The smallest s with 2^s >= value.
uint32_t BitsFor(uint32_t value) {
    uint32_t bits = 0;
    while (bits < 31 && (1u << bits) < value) ++bits;
    return bits;
}

// The smallest power of two at or above the value (at least 1).
uint32_t PowerOfTwoAtLeast(uint32_t value) { return 1u << BitsFor(value); }

// The APIC id split into its package, core and SMT fields, by the
// thread's logical processors and cores per package. The fields are cut
// with masks as wide as the id, so that x2APIC ids above 255 keep their
// package, core and SMT numbers.
void SplitApicId(CCPUThread* thread) {
    const auto logical = static_cast<uint32_t>(std::max(1, thread->m_iLogicalPerPackage));
    const auto cores = static_cast<uint32_t>(std::max(1, thread->m_iCoresPerPackage));
    const uint32_t packageShift = BitsFor(logical);
    const uint32_t coreShift = BitsFor(logical / cores);
    const auto id = static_cast<uint32_t>(thread->m_iApicId);
    thread->m_iPackageId = static_cast<int32_t>(packageShift >= 32 ? 0 : id >> packageShift);
    thread->m_iCoreId = static_cast<int32_t>((id & ((1ull << packageShift) - 1)) >> coreShift);
    thread->m_iSmtId = static_cast<int32_t>(id & ((1ull << coreShift) - 1));
}

// The sensor's place: its owner's number in bits 7:4 of its id.
void PlaceSensor(CSensor* sensor, int32_t number) {
    sensor->m_dwId |= static_cast<uint32_t>(number & 0xF) << 4;
}

} // namespace

void CCPUInterface::BuildTopology() {
    BRENIKSDK* sdk = GetSDK();
    std::vector<CCPUThread*> threads;
    CTListIterator<CCPUThread> it(m_pThreads);
    for (CCPUThread* thread = it.GetFirst(); thread; thread = it.GetNext()) threads.push_back(thread);

    // Ids that are missing or not unique cannot tell processors apart.
    std::set<int32_t> ids;
    for (CCPUThread* thread : threads) ids.insert(thread->m_iApicId);
    if (ids.size() != threads.size() || ids.count(-1))
        for (size_t i = 0; i < threads.size(); ++i) threads[i]->m_iApicId = static_cast<int32_t>(i);
    for (CCPUThread* thread : threads) SplitApicId(thread);

    // Packages, in the order their first logical processor comes.
    CTListIterator<CProcessor> previous(m_pProcessors);
    for (CProcessor* processor = previous.GetFirst(); processor; processor = previous.GetNext())
        if (sdk->RemoveDevice(processor)) delete processor;
    m_pProcessors->RemoveAll();
    m_iProcessorCount = 0;
    for (CCPUThread* thread : threads)
        if (!FindProcessorByPackageId(thread->m_iPackageId))
            AddProcessor(new CProcessor(m_iProcessorCount++, thread->m_iPackageId));

    // Cores, each with its logical processors.
    m_pCores->DeleteAll();
    for (CCPUThread* thread : threads) {
        CProcessor* processor = FindProcessorByPackageId(thread->m_iPackageId);
        CCPUCore* core = processor->FindCoreById(thread->m_iCoreId);
        if (!core) {
            core = new CCPUCore(thread->m_iCoreId);
            processor->m_pCores->AddTail(core);
            m_pCores->AddTail(core);
        }
        core->m_pThreads->AddTail(thread);
        processor->m_pThreads->AddTail(thread);
    }

    CTListIterator<CProcessor> packages(m_pProcessors);
    for (CProcessor* processor = packages.GetFirst(); processor; processor = packages.GetNext()) {
        CCPUThread* first = processor->GetFirstThread();
        if (!first) continue;
        // One entry per instance of each cache: the logical processors that
        // share an instance have the same APIC id above its sharing bits.
        CTListIterator<CCacheDescriptor> caches(first->m_pCaches);
        for (CCacheDescriptor* cache = caches.GetFirst(); cache; cache = caches.GetNext()) {
            const uint32_t span = PowerOfTwoAtLeast(static_cast<uint32_t>(std::max(1, cache->m_iSharedBy)));
            std::set<uint32_t> instances;
            CTListIterator<CCPUThread> members(processor->m_pThreads);
            for (CCPUThread* thread = members.GetFirst(); thread; thread = members.GetNext())
                instances.insert(static_cast<uint32_t>(thread->m_iApicId) & ~(span - 1));
            for (size_t n = 0; n < instances.size(); ++n) processor->m_pCaches->AddTail(cache);
        }
        // The cores' sensors, named after the core.
        CTListIterator<CCPUCore> cores(processor->m_pCores);
        for (CCPUCore* core = cores.GetFirst(); core; core = cores.GetNext()) {
            CCPUThread* thread = core->GetFirstThread();
            for (CSensor* sensor : {thread->m_pCoreTemperature, static_cast<CSensor*>(thread->m_pClockSensor)}) {
                if (!sensor) continue;
                PlaceSensor(sensor, core->m_iCoreId);
                FormatString(sensor->m_szName, sizeof sensor->m_szName, "Core #%d", core->m_iCoreId);
                processor->AddSensor(sensor);
            }
        }
        for (CSensor* sensor : first->m_pPackageSensors) {
            if (!sensor) continue;
            PlaceSensor(sensor, processor->m_iPackageId);
            processor->AddSensor(sensor);
        }
        auto* load = new CUtilizationSensor(0);
        load->m_dwId |= ((static_cast<uint32_t>(processor->m_iPackageId) & 0xF) | kLoadSensorRole) << 4;
        FormatString(load->m_szName, sizeof load->m_szName, "%s", "UC");
        processor->m_pLoadSensor = load;
        processor->AddSensor(load);
        sdk->m_pSensors->AddTail(load);
    }
}
