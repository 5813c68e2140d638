// The query layer's lifecycle besides the scan: driver installation, the
// periodic refresh, the shut-down and the library lock.
#include "app/local_info_parser.h"

#include "app/domain_steps.h"
#include "app/settings.h"
#include "platform/files.h"
#include "platform/text.h"
#include "sdk/core/interface.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/kmdriver.h"

namespace {

// The driver builds among the program's resources (RCDATA).
constexpr uint32_t kDriverResourceIds[KMDRIVER_BUILD_COUNT] = {106, 107, 108, 109};
constexpr uint32_t kDriverLockTimeoutMs = 2000;
constexpr uint32_t kCloseDriverLockTimeoutMs = 10000;
// pi squared over 4, rounded to single precision.
constexpr double kBusClockScale = 2.4674010276794434;

// The processor domain's measurement threads read the root's objects and
// take the library and driver locks; its interface's Close stops them and
// waits for their end. Shutting down without the driver lock restores no
// hardware state (that needs the lock someone else holds), but these
// threads must still end before the root they use is deleted.
void StopMeasurementThreads(BRENIKSDK* root) {
    CTListIterator<CInterface> interfaces(root->m_pInterfaces);
    for (CInterface* domain = interfaces.GetFirst(); domain; domain = interfaces.GetNext())
        if (domain->m_dwType == INTERFACE_CPU) domain->Close();
}

} // namespace

CLocalInfoParser::CLocalInfoParser(VexaSettings& settings, int& noValidation)
    : m_settings(settings), m_noValidation(noValidation) {
    m_pDriver = new CKMDriver;
    m_pSPD = domain_steps::CreateSPDInterface();
}

CLocalInfoParser::~CLocalInfoParser() {
    // Close normally ran; a run that ended before it still leaves no
    // driver log behind.
    domain_steps::DeleteSPDInterface(m_pSPD);
    if (m_pDriver) {
        m_pDriver->vCloseDriver(0, 0, 1);
        delete m_pDriver;
    }
}

int CLocalInfoParser::Init(int* error) {
    char temp[512];
    const DWORD length = GetTempPathA(sizeof temp, temp);
    if (length == 0 || length >= sizeof temp) temp[0] = '\0';  // a cut path would name another folder
    for (uint32_t build = 0; build < KMDRIVER_BUILD_COUNT; ++build)
        m_pDriver->m_dwResourceIds[build] = kDriverResourceIds[build];
    uint32_t code = 0;
    const int result = m_pDriver->bInitDriver(temp, &code, 1);
    vexa::platform::narrowToWide(m_pDriver->m_szLogPath, m_szDriverLogPath, kLogPathChars);
    if (error) *error = static_cast<int>(code);
    return result;
}

void CLocalInfoParser::Refresh(uint32_t timeoutMs) {
    if (!m_pSDK) return;
    uint32_t status = 0;
    if (!m_pSDK->Lock(&status, timeoutMs)) return;
    uint32_t driverError = 0;
    const bool driverLocked = m_pDriver && m_pDriver->bLockDriverHandle(&driverError, kDriverLockTimeoutMs);
    if (m_pCPU) domain_steps::UpdateProcessorClocks(m_pCPU);
    if (m_pChipset) domain_steps::RefreshChipset(m_pChipset);
    if (m_settings.Display && m_pDisplay) domain_steps::RefreshDisplay(m_pDisplay);
    if (m_settings.Sensor && m_pHardwareMonitor) domain_steps::UpdateHardwareMonitor(m_pHardwareMonitor);
    if (driverLocked) m_pDriver->UnlockDriverHandle();
    m_pSDK->Unlock();
}

// No library lock is taken: the refresher thread has ended, and the
// processor threads are stopped here before the root goes.
void CLocalInfoParser::Close() {
    if (m_pSDK) {
        uint32_t driverError = 0;
        if (m_pDriver && m_pDriver->bLockDriverHandle(&driverError, kCloseDriverLockTimeoutMs)) {
            // Restores every reversible hardware change and closes every
            // interface (the processor interface stops its threads).
            m_pSDK->Close();
            m_pDriver->UnlockDriverHandle();
        } else {
            StopMeasurementThreads(m_pSDK);
        }
        ReleaseSDK();
        m_pSDK = nullptr;
        m_pSoftware = nullptr;
        m_pCPU = nullptr;
        m_pPCI = nullptr;
        m_pChipset = nullptr;
        m_pSMBus = nullptr;
        m_pDMI = nullptr;
        m_pACPI = nullptr;
        m_pHardwareMonitor = nullptr;
        m_pStorage = nullptr;
        m_pDisplay = nullptr;
    }
    domain_steps::DeleteSPDInterface(m_pSPD);
    m_pSPD = nullptr;
    // The driver lock was released above when it was taken; releasing it
    // again would release a lock this thread does not hold.
    if (m_pDriver) {
        m_pDriver->vCloseDriver(1, 1, 1);
        delete m_pDriver;
        m_pDriver = nullptr;
    }
}

// The processor measurement threads take the driver lock on their own;
// they end first, so that none holds the lock of a driver going away.
void CLocalInfoParser::RemoveDriver() {
    if (m_pSDK) StopMeasurementThreads(m_pSDK);
    if (m_pDriver) m_pDriver->vCloseDriver(1, 1, 1);
}

int CLocalInfoParser::Lock(int timeoutMs) {
    if (!m_pSDK) return 0;
    uint32_t status = 0;
    return m_pSDK->Lock(&status, static_cast<uint32_t>(timeoutMs));
}

void CLocalInfoParser::Unlock() {
    if (m_pSDK) m_pSDK->Unlock();
}

float CLocalInfoParser::GetScaledBusClock() {
    if (!m_pCPU) return -1.0f;
    return static_cast<float>(static_cast<double>(GetBusClock()) * kBusClockScale);
}
