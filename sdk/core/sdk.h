// The detection library's root object: one per process. It owns every
// object the library builds in its lists, keeps one pointer per detection
// domain, refers to the application's kernel-driver manager and holds the
// library mutex that serialises all use of the library between the window,
// the refresher thread and the processor measurement threads.
//
// Components append what they build to the lists directly and find shared
// objects again through the finders; only the creators add interfaces.
#pragma once

#include <cstdint>

#include "platform/win_types.h"
#include "sdk/core/list.h"

class CCommand;
class CDevice;
class CInterface;
class CIOSpace;
class CKMDriver;
class CMainboard;
class CPLL;
class CRegisterSpace;
class CSensor;
class CTimer;

class CACPIInterface;
class CChipsetInterface;
class CCPUInterface;
class CDisplayInterface;
class CDMIInterface;
class CHardwareMonitorInterface;
class CPCIInterface;
class CSMBusInterface;
class CSoftwareInterface;
class CWMIInterface;

class BRENIKSDK {
public:
    BRENIKSDK();
    virtual ~BRENIKSDK();
    BRENIKSDK(const BRENIKSDK&) = delete;
    BRENIKSDK& operator=(const BRENIKSDK&) = delete;

    // Waits up to `timeout` ms (INFINITE: no limit) for the library mutex.
    // 1 when the caller owns it (status 0); 0 with status 0x102 on a
    // time-out, 0x80 for an abandoned mutex (released again at once), or
    // the system error of a failed wait (6 when the mutex was never created).
    int Lock(uint32_t* status, uint32_t timeout);
    void Unlock();

    // Restores every reversible command, then closes every interface in
    // creation order. Deletes nothing.
    void Close();

    CKMDriver* GetDriver() const { return m_pDriver; }

    // Creators, one per domain: build the interface, run its
    // initialisation, keep it on success (1) or delete it (0).
    int CreateSoftwareInterface();
    int CreateWMIInterface();
    int CreateDMIInterface();
    int CreatePCIInterface();
    int CreateACPIInterface(uint32_t boardHash, uint32_t boardByteSum, uint32_t flags);
    int CreateCPUInterface(uint32_t flags);
    int CreateChipsetInterface();
    int CreateSMBusInterface();
    int CreateStorageInterface(uint32_t boardHash, uint32_t boardByteSum, uint32_t flags);
    int CreateDisplayInterface(uint32_t flags);
    int CreateHardwareMonitorInterface(uint32_t boardHash, uint32_t boardByteSum, uint32_t options);

    // The first interface whose type equals `type` (not a bit test).
    CInterface* FindInterface(uint32_t type);
    // The first space with that base and type / class; 0xFFFFFFFF: any.
    CIOSpace* FindIOSpace(uint32_t baseHigh, uint32_t baseLow, uint32_t type);
    CRegisterSpace* FindRegisterSpace(uint32_t baseHigh, uint32_t baseLow, uint32_t spaceClass);
    // Unlinks the device from the device list without deleting it; 1 when it was there.
    int RemoveDevice(CDevice* device);
    // The register spaces of a class: their number, and (when a list is
    // given) the list emptied and refilled with them, in list order.
    int GetRegisterSpaces(uint32_t spaceClass, CTList<CRegisterSpace>* list);

    CTimer* GetACPITimer();
    CTimer* GetSystemTimer();
    CTimer* GetPerformanceTimer();
    CTimer* GetHPETTimer();

    // The memory-module device whose SPD record has that index and type.
    static CDevice* FindMemoryModule(uint32_t moduleIndex, uint32_t memoryType);

    // Creates a mutex of the library with the naming and protection of the
    // running Windows: "Global\" in front from Windows XP on.
    static HANDLE CreateGlobalMutex(uint32_t initialOwner, const char* name);

    HANDLE m_hMutex = nullptr;
    CTList<CCommand>* m_pCommands = nullptr;
    CKMDriver* m_pDriver = nullptr;  // not owned; set by the application before its scan
    CTList<CIOSpace>* m_pIOSpaces = nullptr;
    CTList<CRegisterSpace>* m_pRegisterSpaces = nullptr;
    CTList<CInterface>* m_pInterfaces = nullptr;
    CTList<CDevice>* m_pDevices = nullptr;
    CTList<CTimer>* m_pTimers = nullptr;
    CTList<CSensor>* m_pSensors = nullptr;
    CTList<CPLL>* m_pPLLs = nullptr;

    // Domain pointers; the interface list owns the interfaces. The storage
    // interface has none: FindInterface(INTERFACE_STORAGE) finds it.
    CPCIInterface* m_pPCI = nullptr;
    CACPIInterface* m_pACPI = nullptr;
    CCPUInterface* m_pCPU = nullptr;
    CSMBusInterface* m_pSMBus = nullptr;
    CChipsetInterface* m_pChipset = nullptr;
    CDMIInterface* m_pDMI = nullptr;
    CWMIInterface* m_pWMI = nullptr;
    CSoftwareInterface* m_pSoftware = nullptr;
    CHardwareMonitorInterface* m_pHardwareMonitor = nullptr;
    CDisplayInterface* m_pDisplay = nullptr;
    CMainboard* m_pMainboard = nullptr;  // owned by the device list

    // The common step of the creators: runs the initialisation of a newly
    // built interface. On success the interface joins the interface list and
    // the domain pointer (when there is one) refers to it; on failure it is
    // deleted and the pointer stays null. With `holdDuringInit` the pointer
    // refers to it while `init` runs, so that code inside can reach the
    // domain through the root.
    template <typename T, typename Init>
    int AdoptInterface(T* created, T** member, bool holdDuringInit, Init init) {
        if (!created) return 0;
        if (member && holdDuringInit) *member = created;
        const int result = init(created);
        if (!result) {
            if (member) *member = nullptr;
            delete created;
            return 0;
        }
        if (member) *member = created;
        m_pInterfaces->AddTail(created);
        return result;
    }

private:
    CTimer* FindTimer(uint32_t type);
};

// The root object, created by the first call.
BRENIKSDK* GetSDK();
// Deletes the root object and everything it owns.
void ReleaseSDK();

// A mutex that only administrators and the system may open.
HANDLE CreateSecuredMutex(uint32_t initialOwner, const char* name);
