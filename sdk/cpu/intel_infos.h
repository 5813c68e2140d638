// The vendor-level description of processors whose vendor string is
// "GenuineIntel": the Intel-specific CPUID data of the thread, the
// deterministic caches (leaf 4) and those the descriptor bytes of leaf 2
// add, the brand string, the microcode revision, and the choice of the
// microarchitecture description (cpu_families.h).
#pragma once

#include "sdk/cpu/cpu_infos.h"

class CCacheDescriptor;

class Intel_CPU_Infos : public CCPUInfos {
public:
    Intel_CPU_Infos();

    void DetectCaches(CCPUThread* thread) override;
    void Initialize(CCPUThread* thread) override;
    int Identify(CCPUThread* thread) override;

    // One leaf-2 descriptor byte: a descriptor appended when the byte is a
    // known cache and the thread has none of its level and type yet.
    static void AddCacheDescriptor(CCPUThread* thread, uint8_t byte);
    // The leaf-4 walk (EnumerateDeterministicCaches of leaf 4).
    static void EnumerateDeterministicCaches(CCPUThread* thread);

    int32_t m_iProcessorType = -1;        // CPUID 1 EAX 13:12
    int32_t m_bEnhancedSpeedStep = 0;     // CPUID 1 ECX 7
    int32_t m_bDigitalThermalSensor = 0;  // CPUID 6 EAX 0
    int32_t m_iCoresPerPackage = -1;      // from leaf 0xB
    int32_t m_iLogicalPerPackage = -1;    // from leaf 0xB

private:
    void ReadTopologyLeaf();
    // Leaf 4 and the cores per package, lifting a BIOS limit on the
    // highest CPUID leaf for the processors that have one.
    void DetectDeterministicCaches(CCPUThread* thread);
    void AddLevel2FromExtendedLeaf(CCPUThread* thread);
    void IdentifyFamily6(CCPUThread* thread);
};

CCPUInfos* CreateIntelInfos();

// The DetectCaches slot of the Intel microarchitecture descriptions that
// leave the caches to the vendor description.
void VendorDetectCaches(CCPUThread* thread);

// Fills level, type, size, ways and line size of a descriptor whose
// descriptor field holds a leaf-2 byte; leaves them -1 for a byte that is
// not a cache.
void DecodeCacheDescriptor(CCacheDescriptor* descriptor);

// The APIC id the processor reports: the x2APIC id of leaf 0xB where the
// processor has that leaf (it holds ids above 255 whole), else CPUID 1
// EBX 31:24. Both vendor descriptions use it.
int32_t InitialApicId(CCPUThread* thread);

// The 48-byte brand string of leaves 0x80000002-4 into the thread's
// m_szBrandString; with `skipLeadingBlanks` the blanks some processors
// pad it with in front are left out.
void ReadBrandString(CCPUThread* thread, bool skipLeadingBlanks);
