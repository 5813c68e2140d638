// The detection scan: the domains created in a fixed order under the
// library lock (and, while it can be had, the driver lock), each one only
// when its setting is on; a domain whose creator fails stays absent and the
// scan goes on. Runs on the main thread during start-up, before the
// refresher thread exists.
#include <vector>

#include "app/domain_steps.h"
#include "app/local_info_parser.h"
#include "app/memory_total.h"
#include "app/progress.h"
#include "app/scan_rules.h"
#include "app/settings.h"
#include "platform/threads.h"
#include "sdk/core/device.h"
#include "sdk/core/helpers.h"
#include "sdk/core/interface.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/kmdriver.h"
#include "sdk/hw/timer.h"

namespace {

constexpr uint32_t kLibraryLockTimeoutMs = 4000;
constexpr uint32_t kDriverLockTimeoutMs = 2000;
// The longest wait, before the first refresh, for the processor domain's
// measurement threads to complete their first passes.
constexpr uint32_t kSettleTimeMs = 1000;
constexpr uint32_t kFirstRefreshTimeoutMs = 100;
constexpr uint32_t kUnknownBoardKey = 0xFFFFFFFF;
constexpr uint32_t kMeasureBusClockByDriver = 0x8000;
constexpr uint32_t kAllACPIFeatures = 0x7FFFFFFF;
// Pentium II Xeon and Pentium III Xeon boards carry four module slots.
constexpr int kSlotXeonClassCodes[] = {0x1000805, 0x100080A};
constexpr int kSlotXeonModuleSlots = 4;
constexpr int kSystemTimerMeasurements = 3;
constexpr int32_t kSystemTimerMultiplier = 20;

} // namespace

int CLocalInfoParser::Scan(int* error, int* detail) {
    int ignoredError = 0, ignoredDetail = 0;
    if (!error) error = &ignoredError;
    if (!detail) detail = &ignoredDetail;
    *error = SCAN_ERROR_NONE;
    *detail = 0;

    m_pSDK = GetSDK();
    m_pSDK->m_pDriver = m_pDriver;
    uint32_t status = 0;
    if (!m_pSDK->Lock(&status, kLibraryLockTimeoutMs)) {
        *error = SCAN_ERROR_LIBRARY_LOCK;
        *detail = static_cast<int>(status);
        return 0;
    }
    // Without the driver lock the scan still runs (every driver request
    // then fails); only the version check needs it.
    uint32_t driverError = 0;
    const bool driverLocked = m_pDriver->bLockDriverHandle(&driverError, kDriverLockTimeoutMs) != 0;

    ScanSoftware(error);
    if (driverLocked && !DriverVersionIsRequired()) {
        m_pDriver->UnlockDriverHandle();
        m_pDriver->vCloseDriver(1, 1, 1);
        *error = SCAN_ERROR_DRIVER_VERSION;
        m_pSDK->Unlock();
        return 0;
    }
    if (m_settings.WMI) m_pSDK->CreateWMIInterface();

    uint32_t boardHash = kUnknownBoardKey, boardByteSum = kUnknownBoardKey;
    ScanMainboard(boardHash, boardByteSum);
    ApplyBoardRules(boardHash, m_settings);
    if (m_settings.Display && m_settings.UseDisplayAPI) domain_steps::ProbeNVIDIADriverAPI();
    ScanPCI();
    if (m_settings.ACPI) {
        ProgressStepText(L"ACPI");
        if (m_pSDK->CreateACPIInterface(boardHash, boardByteSum, kAllACPIFeatures)) m_pACPI = m_pSDK->m_pACPI;
    } else {
        m_noValidation = 1;
    }
    ScanProcessors();
    CheckSystemTimer();
    if (m_settings.Chipset) {
        ProgressStepText(L"칩셋");
        if (m_pSDK->CreateChipsetInterface()) m_pChipset = m_pSDK->m_pChipset;
    }
    ScanMemoryModules(boardHash);
    if (m_settings.Storage) {
        ProgressStepText(L"저장소");
        if (m_pSDK->CreateStorageInterface(boardHash, boardByteSum, 0))
            m_pStorage = domain_steps::AsStorageInterface(m_pSDK->FindInterface(INTERFACE_STORAGE));
    }
    if (m_settings.Display) {
        ProgressStepText(L"그래픽");
        if (m_pSDK->CreateDisplayInterface(m_settings.UseDisplayAPI ? 1 : 0)) m_pDisplay = m_pSDK->m_pDisplay;
    }
    if (m_settings.Sensor) {
        ProgressStepText(L"모니터링");
        if (m_pSDK->CreateHardwareMonitorInterface(boardHash, boardByteSum, 0))
            m_pHardwareMonitor = m_pSDK->m_pHardwareMonitor;
    }
    if (driverLocked) m_pDriver->UnlockDriverHandle();

    ScanMemoryTotal();
    ProgressStepText(L"검색 완료");
    m_pSDK->Unlock();
    domain_steps::AwaitFirstMeasurements(m_pCPU, kSettleTimeMs);
    Refresh(kFirstRefreshTimeoutMs);
    return 1;
}

void CLocalInfoParser::ScanSoftware(int* error) {
    ProgressStepText(L"소프트웨어");
    if (!m_pSDK->CreateSoftwareInterface()) return;
    m_pSoftware = m_pSDK->m_pSoftware;
    if (m_pSoftware && IsLimitedMachine(domain_steps::VirtualMachineKind(m_pSoftware))) {
        m_noValidation = 1;
        EnterLimitedMode(m_settings);
        *error = SCAN_ERROR_LIMITED;
    }
}

bool CLocalInfoParser::DriverVersionIsRequired() {
    uint32_t version = 0;
    m_pDriver->GetDriverVersion(&version);
    return version == CKMDriver::kDriverVersion;
}

// The mainboard device, named after the SMBIOS baseboard when there is one;
// its product name gives the keys boards are recognised by.
void CLocalInfoParser::ScanMainboard(uint32_t& boardHash, uint32_t& boardByteSum) {
    CMainboard* mainboard = nullptr;
    if (m_settings.DMI) {
        ProgressStepText(L"DMI");
        if (m_pSDK->CreateDMIInterface()) m_pDMI = m_pSDK->m_pDMI;
        char manufacturer[domain_steps::kDomainTextBytes], product[domain_steps::kDomainTextBytes];
        if (m_pDMI && domain_steps::BaseboardNames(m_pDMI, manufacturer, product) && product[0]) {
            boardHash = StringHash(product);
            boardByteSum = StringByteSum(product);
            char name[512];
            FormatString(name, sizeof name, "%s %s", manufacturer, product);
            mainboard = new CMainboard(name);
        }
    }
    if (!mainboard) mainboard = new CMainboard("Mainboard");
    mainboard->m_dwBoardHash = boardHash;
    mainboard->m_dwBoardByteSum = boardByteSum;
    if (m_pSDK->m_pMainboard) {
        delete mainboard;  // a root that was scanned before keeps its own
        return;
    }
    m_pSDK->m_pMainboard = mainboard;
    m_pSDK->m_pDevices->AddTail(mainboard);
}

void CLocalInfoParser::ScanPCI() {
    if (!m_settings.PCI) return;
    ProgressStepText(L"PCI");
    if (!m_pSDK->CreatePCIInterface()) return;
    m_pPCI = m_pSDK->m_pPCI;
    if (m_pPCI) domain_steps::ScanPCIBuses(m_pPCI, m_settings.MaxPCIBus, m_settings.PCI);
}

void CLocalInfoParser::ScanProcessors() {
    ProgressStepText(L"프로세서");
    if (m_pSDK->CreateCPUInterface(m_settings.BusClock ? kMeasureBusClockByDriver : 0)) m_pCPU = m_pSDK->m_pCPU;
}

// A system timer that runs off its nominal rate makes every clock the
// program measures against it wrong; the validation record is refused then.
void CLocalInfoParser::CheckSystemTimer() {
    CTimer* acpiTimer = m_pSDK->GetACPITimer();
    CTimer* systemTimer = m_pSDK->GetSystemTimer();
    if (!acpiTimer || !systemTimer) return;
    double sum = 0;
    for (int i = 0; i < kSystemTimerMeasurements; ++i)
        sum += systemTimer->Measure(acpiTimer, 0, kSystemTimerMultiplier);
    if (!SystemTimerRateIsPlausible(sum / kSystemTimerMeasurements, systemTimer->m_dFrequency))
        m_noValidation = 1;
}

void CLocalInfoParser::ScanMemoryModules(uint32_t boardHash) {
    if (!m_settings.SMBus) return;
    ProgressStepText(L"SPD");
    if (!m_pSDK->CreateSMBusInterface()) return;
    m_pSMBus = m_pSDK->m_pSMBus;
    if (!m_settings.SPD || !m_pSPD) return;
    if (m_pCPU) {
        const int classCode = domain_steps::ProcessorClassCode(m_pCPU, 0);
        for (int slotXeon : kSlotXeonClassCodes)
            if (classCode == slotXeon) domain_steps::LimitSPDSlots(m_pSPD, kSlotXeonModuleSlots);
    }
    domain_steps::ScanAndDecodeModules(m_pSPD, boardHash, ProgressStep);
}

void CLocalInfoParser::ScanMemoryTotal() {
    ProgressStepText(L"메모리");
    ProgressStep();
    const std::vector<int> moduleSizes = m_pSPD ? domain_steps::ModuleSizesMB(m_pSPD) : std::vector<int>();
    m_iTotalMemoryMB = ScanMemoryTotalMB(moduleSizes, OSTotalMemoryMB());
    if (m_pChipset) domain_steps::SetChipsetMemorySize(m_pChipset, m_iTotalMemoryMB);
}
