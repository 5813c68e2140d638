// The monitoring domain: finds every sensor source of the machine once, in
// a fixed order (super-I/O chips, the chip probes on each of them and on
// the legacy ISA port, the SMBus scan), keeps one monitor per source in a
// list it owns, refreshes them on every application refresh and writes the
// "LPCIO" and "Hardware Monitors" report sections.
//
// Every recognised sensor chip goes through one factory, CreateChipMonitor
// (chip_monitor_factory.cpp), which picks the monitor class registered for
// the chip and the board's label tables.
#pragma once

#include <cstdint>

#include "sdk/core/interface.h"
#include "sdk/core/list.h"

class CDevice;
class CHardwareMonitor;
class CIORequest;
class CLPCIO;
class CLPCRegisterSpace;
class CRegisterSpace;
class CReportGenerator;
struct ChipMonitorRegistry;

enum HardwareMonitorOptions : uint32_t {
    MONITOR_OPTION_USB_COOLER = 0x08000000,  // probe the USB liquid cooler
    MONITOR_OPTION_NO_SMBUS = 0x80000000,    // skip the SMBus scan
};

class CHardwareMonitorInterface : public CInterface {
public:
    // `a` and `b` are accepted and not used.
    CHardwareMonitorInterface(uint32_t a, uint32_t b, uint32_t options);
    // Deletes every monitor, then the list.
    ~CHardwareMonitorInterface() override;
    CHardwareMonitorInterface(const CHardwareMonitorInterface&) = delete;
    CHardwareMonitorInterface& operator=(const CHardwareMonitorInterface&) = delete;

    // 0 on machines known to misbehave when probed; otherwise finds the
    // sources, creates and polls the sensors, and returns 1.
    int Init() override;
    // Lets every monitor release what it opened.
    void Close() override;
    // One refresh: attaches drive sensors the storage domain made since,
    // then polls every monitor.
    void Update();
    // With the configuration registers and register dumps; Dump2 without.
    void Dump(CReportGenerator* report);
    void Dump2(CReportGenerator* report);
    // How many monitors of that kind (0xFFFFFFFF: any) read through the
    // space; the list (when given) emptied and refilled with them.
    int CollectMonitors(CRegisterSpace* space, CTList<CHardwareMonitor>* out, uint32_t kind);

    // ---- Super-I/O detection (superio_detection.cpp) ----
    int DetectSuperIO();
    int DetectNSLPCIO(CLPCRegisterSpace* configSpace);
    int DetectSMSCLPCIO(CLPCRegisterSpace* configSpace);
    int DetectFintekLPCIO(CLPCRegisterSpace* configSpace);
    int DetectWinbondLPCIO(CLPCRegisterSpace* configSpace);
    int DetectITELPCIO(CLPCRegisterSpace* configSpace, uint8_t port);

    // ---- Chip probes (chip_probes*.cpp): 1 when they identified a chip ----
    int ProbeChips();
    int ProbeISABus();
    int ProbeWinbond(CRegisterSpace* space, CIORequest* request, uint32_t chipId);
    int ProbeNuvotonPMIO(CRegisterSpace* space, CIORequest* request, uint32_t chipId);
    int ProbeVIAVT1211(CRegisterSpace* space, CIORequest* request);
    int ProbeNuvotonSMBus(CRegisterSpace* space, CIORequest* request);
    int ProbeITE(CRegisterSpace* space, CIORequest* request, uint32_t chipId);
    int ProbeFintek(CLPCIO* chip, CRegisterSpace* space, CIORequest* request);
    int ProbeAnalogDevices(CRegisterSpace* space, CIORequest* request);
    int ProbeMaxim(CRegisterSpace* space, CIORequest* request);
    int ProbeAndigilog(CRegisterSpace* space, CIORequest* request);
    int ProbeCHIL(CRegisterSpace* space, CIORequest* request);
    int ProbeSMSC(CLPCIO* chip, CRegisterSpace* space, CIORequest* request);
    int ProbeNationalSemiconductor(CLPCIO* chip, CRegisterSpace* space, CIORequest* request);

    // ---- Platform sources (platform_probes_controllers.cpp,
    // platform_probes_sources.cpp) ----
    // The platform probes in their order; each appends what it finds.
    void ProbePlatformSources();
    int ProbeAbitUGuru();
    int ProbeNotebookControllers();
    // The VIA 686A/B southbridge monitors, switched on where they are off.
    int ProbeVIA686();
    int ProbeAppleSMC();
    int ProbeAsusEC();
    int ProbeAMDSB6xx();
    int ProbeFBDIMM();
    // The ACPI thermal zones' monitor, then the board's firmware record.
    int ProbeACPIAndBoard();
    int ProbeACPIMonitor();
    int ProbeGigabyteDES();
    int ProbeBatteries();
    int ProbeUSBCooler();
    // The display adapters' monitors and the drives' sensors; runs even where
    // chips are not probed.
    int ProbeDevices();
    int ProbeDisplayAPIs();
    // Adds every drive temperature sensor its drive does not list yet; runs
    // again on every update, since the storage domain may add sensors later.
    int AttachDriveSensors();
    // Owner = mainboard; into the list when CreateSensors finds something,
    // else deleted.
    bool AdoptWhenSensorsExist(CHardwareMonitor* monitor);

    // ---- SMBus scan (smbus_sensor_scan.cpp) ----
    int ScanSMBus();

    // ---- Factory (chip_monitor_factory.cpp) ----
    // Never null: a chip without a registered class gets a plain monitor
    // showing its id and register dump. The monitor takes the request and
    // joins the list.
    CHardwareMonitor* CreateChipMonitor(CDevice* owner, uint32_t vendor, uint32_t chip, CRegisterSpace* space,
                                        CIORequest* request);
    // A monitor made outside the factory joins the list with the
    // mainboard's key and the mainboard as its owner.
    void AdoptMonitor(CHardwareMonitor* monitor);
    // What a probe hands the factory: the request itself, or a new one for
    // the same target when a monitor already holds it (one request per
    // monitor).
    CHardwareMonitor* CreateIdentifiedMonitor(uint32_t vendor, uint32_t chip, CRegisterSpace* space,
                                              CIORequest* request);
    // Whether a monitor of the list holds the request.
    bool MonitorHoldsRequest(const CIORequest* request);

    CTList<CHardwareMonitor>* m_pMonitors;  // owns the monitors
    uint32_t m_dwOptions;
    // The monitor classes the factory may create (chip_monitor_factory.h).
    const ChipMonitorRegistry* m_pRegistry;

private:
    void WriteSections(CReportGenerator* report, bool full);
};

// The mainboard's BoardHash, 0xFFFFFFFF without a mainboard.
uint32_t MonitorBoardHash();
