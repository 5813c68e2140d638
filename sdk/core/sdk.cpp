#include "sdk/core/sdk.h"

#include "platform/sync.h"
#include "platform/sysinfo.h"
#include "sdk/chipset/module_info.h"
#include "sdk/core/device.h"
#include "sdk/core/helpers.h"
#include "sdk/core/interface.h"
#include "sdk/core/sensor.h"
#include "sdk/display/pll.h"
#include "sdk/hw/command.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/register_space.h"
#include "sdk/hw/timer.h"

namespace {

BRENIKSDK* theSDK = nullptr;

template <typename T>
void deleteList(CTList<T>*& list) {
    if (!list) return;
    list->DeleteAll();
    delete list;
    list = nullptr;
}

} // namespace

BRENIKSDK* GetSDK() {
    if (!theSDK) theSDK = new BRENIKSDK;
    return theSDK;
}

void ReleaseSDK() {
    delete theSDK;
    theSDK = nullptr;
}

BRENIKSDK::BRENIKSDK() {
    m_pInterfaces = new CTList<CInterface>;
    m_pIOSpaces = new CTList<CIOSpace>;
    m_pRegisterSpaces = new CTList<CRegisterSpace>;
    m_pDevices = new CTList<CDevice>;
    m_pPLLs = new CTList<CPLL>;
    m_pTimers = new CTList<CTimer>;
    m_pSensors = new CTList<CSensor>;
    m_hMutex = CreateGlobalMutex(0, "BRENIKSDK");
    m_pCommands = new CTList<CCommand>;
}

BRENIKSDK::~BRENIKSDK() {
    deleteList(m_pDevices);
    deleteList(m_pIOSpaces);
    deleteList(m_pRegisterSpaces);
    deleteList(m_pInterfaces);
    deleteList(m_pPLLs);
    deleteList(m_pTimers);
    deleteList(m_pSensors);
    deleteList(m_pCommands);
    // The root is deleted without the library lock (shut-down takes none),
    // so there is nothing to release: closing the handle is all.
    if (m_hMutex) CloseHandle(m_hMutex);
}

int BRENIKSDK::Lock(uint32_t* status, uint32_t timeout) {
    uint32_t ignored;
    if (!status) status = &ignored;
    switch (WaitForSingleObject(m_hMutex, timeout)) {
    case WAIT_OBJECT_0:
        *status = 0;
        return 1;
    case WAIT_ABANDONED:
        // A thread ended while holding the lock: what it guarded may be
        // half-changed, so this call does not count as obtaining it.
        ReleaseMutex(m_hMutex);
        *status = WAIT_ABANDONED;
        return 0;
    case WAIT_TIMEOUT:
        *status = WAIT_TIMEOUT;
        return 0;
    default:
        *status = GetLastError();
        return 0;
    }
}

void BRENIKSDK::Unlock() { ReleaseMutex(m_hMutex); }

void BRENIKSDK::Close() {
    CTListIterator<CCommand> commands(m_pCommands);
    for (CCommand* command = commands.GetFirst(); command; command = commands.GetNext())
        command->Restore();
    CTListIterator<CInterface> interfaces(m_pInterfaces);
    for (CInterface* i = interfaces.GetFirst(); i; i = interfaces.GetNext()) i->Close();
}

CInterface* BRENIKSDK::FindInterface(uint32_t type) {
    CTListIterator<CInterface> it(m_pInterfaces);
    for (CInterface* i = it.GetFirst(); i; i = it.GetNext()) {
        if (i->m_dwType == type) return i;
    }
    return nullptr;
}

CIOSpace* BRENIKSDK::FindIOSpace(uint32_t baseHigh, uint32_t baseLow, uint32_t type) {
    CTListIterator<CIOSpace> it(m_pIOSpaces);
    for (CIOSpace* space = it.GetFirst(); space; space = it.GetNext()) {
        if (space->GetBaseHigh() == baseHigh && space->GetBaseLow() == baseLow &&
            (type == 0xFFFFFFFF || space->m_dwType == type))
            return space;
    }
    return nullptr;
}

CRegisterSpace* BRENIKSDK::FindRegisterSpace(uint32_t baseHigh, uint32_t baseLow,
                                             uint32_t spaceClass) {
    CTListIterator<CRegisterSpace> it(m_pRegisterSpaces);
    for (CRegisterSpace* space = it.GetFirst(); space; space = it.GetNext()) {
        if (space->GetBaseHigh() == baseHigh && space->GetBaseLow() == baseLow &&
            (spaceClass == 0xFFFFFFFF || space->m_dwClass == spaceClass))
            return space;
    }
    return nullptr;
}

int BRENIKSDK::RemoveDevice(CDevice* device) {
    const uint32_t before = m_pDevices->GetCount();
    m_pDevices->Remove(device);
    return m_pDevices->GetCount() + 1 == before ? 1 : 0;
}

int BRENIKSDK::GetRegisterSpaces(uint32_t spaceClass, CTList<CRegisterSpace>* list) {
    if (list) list->RemoveAll();
    int count = 0;
    CTListIterator<CRegisterSpace> it(m_pRegisterSpaces);
    for (CRegisterSpace* space = it.GetFirst(); space; space = it.GetNext()) {
        if (space->m_dwClass != spaceClass) continue;
        ++count;
        if (list) list->AddTail(space);
    }
    return count;
}

CTimer* BRENIKSDK::FindTimer(uint32_t type) {
    CTListIterator<CTimer> it(m_pTimers);
    for (CTimer* timer = it.GetFirst(); timer; timer = it.GetNext()) {
        if (timer->m_dwType == type) return timer;
    }
    return nullptr;
}

CTimer* BRENIKSDK::GetACPITimer() { return FindTimer(TIMER_ACPI_PM); }
CTimer* BRENIKSDK::GetSystemTimer() { return FindTimer(TIMER_SYSTEM_TICK); }
CTimer* BRENIKSDK::GetPerformanceTimer() { return FindTimer(TIMER_PERFORMANCE_COUNTER); }
CTimer* BRENIKSDK::GetHPETTimer() { return FindTimer(TIMER_HPET); }

CDevice* BRENIKSDK::FindMemoryModule(uint32_t moduleIndex, uint32_t memoryType) {
    CTListIterator<CDevice> it(GetSDK()->m_pDevices);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext()) {
        if (!(device->m_dwKind & DEVICE_MEMORY_MODULE)) continue;
        const CModuleInfo* record = static_cast<CMemoryModule*>(device)->m_pModuleInfo;
        if (record && static_cast<uint32_t>(record->m_iIndex) == moduleIndex &&
            static_cast<uint32_t>(record->m_iMemoryType) == memoryType)
            return device;
    }
    return nullptr;
}

HANDLE BRENIKSDK::CreateGlobalMutex(uint32_t initialOwner, const char* name) {
    OSVERSIONINFOEXA version {};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version))) {
        version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version))) return nullptr;
    }
    char fullName[256];
    switch (version.dwPlatformId) {
    case VER_PLATFORM_WIN32_WINDOWS:
        FormatString(fullName, sizeof fullName, "%s", name);
        return CreateMutexA(nullptr, initialOwner ? TRUE : FALSE, fullName);
    case VER_PLATFORM_WIN32_NT: {
        // From Windows XP on, one object for every session.
        const bool xpOrLater = version.dwMajorVersion > 5 ||
                               (version.dwMajorVersion == 5 && version.dwMinorVersion != 0);
        FormatString(fullName, sizeof fullName, xpOrLater ? "Global\\%s" : "%s", name);
        return CreateSecuredMutex(initialOwner, fullName);
    }
    default:
        return nullptr;
    }
}
