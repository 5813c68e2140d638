// What the AMD microarchitecture descriptions from the K7 on share: the
// registers they read, the northbridge functions of a node (bus 0, devices
// 0x18-0x1F) and its extended configuration space, the PCI Express window
// of MSR 0xC0010058, and the operation bodies several of them fill a slot
// with:
// - AMDPerfCounterCoreClock (K7, K8): the rate of performance counter 0
//   counting event 0x76 (cycles not halted);
// - AMDPStatePower (K10, K12): the package power of the current P-state;
// - AMDNorthbridgeTemperature (K10 on): CurTmp of F3xA4.
// Everything here runs on the logical processor's pinned thread, inside the
// library and driver locks, and answers -1.0 for what it cannot tell.
#pragma once

#include <cstdint>

#include "sdk/core/list.h"

class AMD_K10_ECS_RegisterSpace;
class CCPUInfos;
class CCPUThread;
class CDevice;
class CPCIDevice;
class CReportGenerator;
class CTimer;

namespace amd_msr {
constexpr uint32_t kTimeStampCounter = 0x10;
constexpr uint32_t kMperf = 0xE7;
constexpr uint32_t kAperf = 0xE8;
constexpr uint32_t kPerfEventSelect0 = 0xC0010000;
constexpr uint32_t kPerfCounter0 = 0xC0010004;
constexpr uint32_t kL2Control = 0xC0010011;  // K7: the level-2 cache ratio
constexpr uint32_t kHWCR = 0xC0010015;
constexpr uint32_t kNBConfig = 0xC001001F;
constexpr uint32_t kPatchLevel = 0xC001001E;  // K8: the revision ID
constexpr uint32_t kMmioConfigBase = 0xC0010058;
constexpr uint32_t kPStateLimit = 0xC0010061;
constexpr uint32_t kPStateControl = 0xC0010062;
constexpr uint32_t kPStateStatus = 0xC0010063;
constexpr uint32_t kPState0 = 0xC0010064;
constexpr uint32_t kCOFVIDStatus = 0xC0010071;
} // namespace amd_msr

// The northbridge functions of a node generation: function 0's device ID
// and the IDs of functions 1 to `lastFunction` following it.
struct AMDNodeIds {
    uint16_t function0;
    uint16_t lastFunction;
};
constexpr uint16_t kAMDVendor = 0x1022;
constexpr AMDNodeIds kK8Node = {0x1100, 0x1103};
constexpr AMDNodeIds kK10Node = {0x1200, 0x1204};
constexpr AMDNodeIds kK11Node = {0x1300, 0x1304};

// CPUID 1: the thread's APIC ID, whether it is multithreading capable and
// then its logical processors per package.
void ReadAMDProcessorTopology(CCPUThread* thread);
// The brand fields of CPUID 0x80000001 EBX (brand ID = bits 15:0): package
// type (bits 31:28), model number (brand ID bits 10:4), string 1 (14:11),
// string 2 (3:0) and page (15); the thread's brand ID = EBX bits 13:9.
struct AMDBrandFields {
    int32_t& packageType;
    int32_t& modelNumber;
    int32_t& string1;
    int32_t& string2;
    int32_t& page;
};
void ReadAMDBrandFields(CCPUThread* thread, const AMDBrandFields& fields);

// The mask of the APIC ID bits above a package's logical processors: 0xFF
// shifted left once for every doubling up to `logicalPerPackage`.
uint32_t NodeApicMask(int32_t logicalPerPackage);

// Fills the description's node device list, once, when the root has a PCI
// interface: the first function 0 of `ids` whose NodeId (F0x60 bits 2:0)
// times `span` is the thread's APIC ID under the node mask, and the
// functions 1 to `ids.lastFunction` at its bus and device. False when no
// function 0 of those IDs exists.
bool FindAMDNodeDevices(CCPUInfos* infos, CCPUThread* thread, const AMDNodeIds& ids, int32_t span);
// The first device of the node list with that device ID; null without one.
CPCIDevice* FindNodeFunction(CTList<CDevice>* nodes, uint16_t deviceId);
// F0x88 bits 11:8: the thread's link multiplier (link clock / 200 MHz).
void ReadLinkMultiplier(CCPUThread* thread, CPCIDevice* function0);
// The extended configuration space of the node of `function3`: the root's
// one at that bus and device, or a new one with its enabling command (both
// then the root's).
AMD_K10_ECS_RegisterSpace* NodeExtendedConfigSpace(CPCIDevice* function3);
// MSR 0xC0010058 with bit 0 set: the PCI Express window at its base (low
// dword bits 31:20) becomes the PCI domain's, when it has none yet.
void InstallExpressWindowFromMsr(CCPUThread* thread);

// The "Attached device" lines of the node list.
void DumpNodeDevices(CReportGenerator* report, CTList<CDevice>* nodes);

// ---- Measurements ----

// The rate in MHz of a counting MSR against the root's ACPI PM timer;
// -1.0 without it.
float MeasureAMDMsrRate(uint32_t msr);
// Performance counter 0 programmed for event 0x76 (counting in the
// operating-system mode), its rate measured, and the event select put
// back: MHz, -1.0 without the PM timer.
float MeasurePerfCounterRate();
// GetCoreClock of the K7 and K8.
float AMDPerfCounterCoreClock();
// APERF x TSC rate / MPERF over at least 15000 PM timer ticks; -1.0
// without the timer or when a counter does not read.
float AMDEffectiveFrequency();

// GetPower of the P-state families: the current P-state (MSR 0xC0010063
// bits 2:0) of the description's FID/VID control, its current x the cores
// per package x the voltage of its VID, kept in the package power sensor
// (created on first use). -1.0 without a control or that P-state.
float AMDPStatePower(CCPUInfos* infos, CCPUThread* thread);
// GetTemperature from CurTmp (F3xA4 bits 31:21, 1/8 degree) of `function3`,
// kept in the thread's core temperature sensor (created on first use with
// offset 0). -1.0 without the function or when it does not read.
float AMDNorthbridgeTemperature(CCPUThread* thread, CPCIDevice* function3);
