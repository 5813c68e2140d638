// The memory modules whose serial-presence-detect (SPD) EEPROMs answer on
// the SMBus: one record each (module_info.h), read once at the start-up
// scan and decoded by memory type with their overclocking profiles.
//
// Not a detection domain of the root: the query layer owns one interface,
// sets the board key and the slot count, runs Scan and (when it found
// modules) DecodeModules, and deletes it after the root is released. The
// module devices the scan makes (CMemoryModule) belong to the root's device
// list and point at the records here.
//
// The work is spread by topic: spd_scan.cpp (finding modules, reading
// their bytes, thermal sensors), spd_decode_ddr3.cpp, spd_decode_ddr4.cpp,
// spd_decode_ddr2.cpp, spd_decode_fbdimm.cpp, spd_decode_sdram.cpp (SDRAM
// and DDR), spd_decode_rdram.cpp, spd_profiles_xmp.cpp,
// spd_profiles_epp.cpp, spd_profiles_amp.cpp and spd_report.cpp.
#pragma once

#include <cstdint>

#include "sdk/core/list.h"

class CDevice;
class CMemoryModule;
class CModuleInfo;
class CReportGenerator;
class CSMBusDevice;

class CSPDInterface {
public:
    // The record array never grows; a scan stops filling it at this count.
    static constexpr int kMaxModules = 64;
    static constexpr int kDefaultSlotCount = 8;
    static constexpr uint8_t kFirstSPDAddress = 0x50;

    using ProgressCallback = void (*)();

    CSPDInterface();
    // Deletes the records, then the list of module devices (not the devices).
    virtual ~CSPDInterface();
    CSPDInterface(const CSPDInterface&) = delete;
    CSPDInterface& operator=(const CSPDInterface&) = delete;

    // ---- Scan (spd_scan.cpp) ----
    // Finds the modules on the root's SMBus domain and reads their bytes;
    // 1 when at least one record was filled. `callback` (or null) is
    // called once per probing step: (slot count - first slot) + 7 times.
    int Scan(ProgressCallback callback);
    int ScanModules(ProgressCallback callback);
    // A JC-42.4 temperature register in degrees Celsius: 0.0625 degrees a
    // step, bit 12 the sign (two's complement over 13 bits).
    static float ThermalReading(uint32_t raw);

    // ---- Decoding (spd_interface.cpp and the decoders) ----
    // Decodes every record, runs the profile decoders on each and names the
    // module devices "<manufacturer> <speed>".
    void DecodeModules(ProgressCallback callback);
    // The type decoder chosen by SPD byte 2, then the five profile decoders.
    static void DecodeRecord(CModuleInfo* record);

    static void DecodeDDR3(CModuleInfo* record);
    static void DecodeDDR4(CModuleInfo* record);
    static void DecodeDDR2(CModuleInfo* record);
    static void DecodeFBDIMM(CModuleInfo* record);
    static void DecodeDDR(CModuleInfo* record);
    static void DecodeSDRAM(CModuleInfo* record);
    static void DecodeRDRAM(CModuleInfo* record);
    static void DecodeEPP(CModuleInfo* record);
    static void DecodeEPP2(CModuleInfo* record);
    static void DecodeXMP(CModuleInfo* record);
    static void DecodeXMP4(CModuleInfo* record);
    static void DecodeAMP(CModuleInfo* record);

    // ---- Report (spd_report.cpp) ----
    // One block per module; nothing without modules.
    void WriteReport(CReportGenerator* report);
    // Each module's SPD bytes as rows of 16.
    void DumpRegisters(CReportGenerator* report);
    static void WriteModule(CReportGenerator* report, const CModuleInfo& record);
    static void DumpModule(CReportGenerator* report, const CModuleInfo& record);

    int m_iModuleCount = 0;
    CModuleInfo* m_pModules;           // kMaxModules records, owned
    int m_iBoardHash = -1;             // BoardHash of the mainboard, set before the scan
    int m_iSlotCount = kDefaultSlotCount;  // addresses 0x50 + slot probed
    CTList<CDevice>* m_pDevices = nullptr;  // the module devices made; refers to them only

private:
    // The next record filled with the bytes of `eeprom`: `length` bytes
    // read from register 0. Null when all records are in use.
    CModuleInfo* FillRecord(uint8_t address, CSMBusDevice* eeprom, int length);
    // The module device of a record, in the root's device list and ours.
    CMemoryModule* AddModuleDevice(CModuleInfo* record, CSMBusDevice* eeprom);
    // A JC-42.4 sensor of the slot beside the EEPROM, on its controller.
    void AttachThermalSensor(CMemoryModule* module, CSMBusDevice* eeprom, int slot);
    void ScanSlots(ProgressCallback callback);
    void ScanMemoryControllerEngines(ProgressCallback callback);
};
