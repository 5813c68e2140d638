// The service control manager. Service records live in the object
// namespace (object_namespace.h), so every process of that namespace sees
// the services another one created, as on Windows. A kernel-driver service
// whose image is one of our stand-in driver files makes its device
// "\\.\<service name>" openable while it runs (driver.h).
#pragma once

#include "platform/win_types.h"

struct ServiceHandleRecord;
using SC_HANDLE = ServiceHandleRecord*;

struct SERVICE_STATUS {
    DWORD dwServiceType;
    DWORD dwCurrentState;
    DWORD dwControlsAccepted;
    DWORD dwWin32ExitCode;
    DWORD dwServiceSpecificExitCode;
    DWORD dwCheckPoint;
    DWORD dwWaitHint;
};

constexpr DWORD SC_MANAGER_ALL_ACCESS = 0xF003F;
constexpr DWORD SERVICE_ALL_ACCESS = 0xF01FF;
constexpr DWORD SERVICE_KERNEL_DRIVER = 0x1;
constexpr DWORD SERVICE_WIN32_OWN_PROCESS = 0x10;
constexpr DWORD SERVICE_BOOT_START = 0;
constexpr DWORD SERVICE_SYSTEM_START = 1;
constexpr DWORD SERVICE_AUTO_START = 2;
constexpr DWORD SERVICE_DEMAND_START = 3;
constexpr DWORD SERVICE_DISABLED = 4;
constexpr DWORD SERVICE_ERROR_NORMAL = 1;

constexpr DWORD SERVICE_CONTROL_STOP = 1;
constexpr DWORD SERVICE_CONTROL_INTERROGATE = 4;

constexpr DWORD SERVICE_STOPPED = 1;
constexpr DWORD SERVICE_START_PENDING = 2;
constexpr DWORD SERVICE_STOP_PENDING = 3;
constexpr DWORD SERVICE_RUNNING = 4;

constexpr DWORD ERROR_SERVICE_CANNOT_ACCEPT_CTRL = 1061;
constexpr DWORD ERROR_SERVICE_DISABLED = 1058;
constexpr DWORD ERROR_BAD_EXE_FORMAT = 193;

// Opens the service control manager of this computer (a machine name other
// than this computer's fails with ERROR_ACCESS_DENIED, as no remote
// manager is reachable).
SC_HANDLE OpenSCManagerA(LPCSTR machineName, LPCSTR databaseName, DWORD desiredAccess);
BOOL CloseServiceHandle(SC_HANDLE handle);
// ERROR_SERVICE_EXISTS (1073) when a service of that name exists,
// ERROR_SERVICE_MARKED_FOR_DELETE (1072) while one is waiting to go.
SC_HANDLE CreateServiceA(SC_HANDLE manager, LPCSTR serviceName, LPCSTR displayName,
                         DWORD desiredAccess, DWORD serviceType, DWORD startType,
                         DWORD errorControl, LPCSTR binaryPathName, LPCSTR loadOrderGroup,
                         LPDWORD tagId, LPCSTR dependencies, LPCSTR serviceStartName,
                         LPCSTR password);
// ERROR_SERVICE_DOES_NOT_EXIST (1060) when there is none.
SC_HANDLE OpenServiceA(SC_HANDLE manager, LPCSTR serviceName, DWORD desiredAccess);
// Loads the driver image: ERROR_SERVICE_ALREADY_RUNNING (1056) when it
// runs, ERROR_FILE_NOT_FOUND when the image is missing, ERROR_BAD_EXE_FORMAT
// when it is not a driver for this system.
BOOL StartServiceA(SC_HANDLE service, DWORD argumentCount, LPCSTR* arguments);
// STOP: a driver whose device is still open somewhere cannot unload and
// stays STOP_PENDING until the last handle closes and STOP is sent again.
BOOL ControlService(SC_HANDLE service, DWORD control, SERVICE_STATUS* status);
BOOL QueryServiceStatus(SC_HANDLE service, SERVICE_STATUS* status);
// Marks the service for deletion; it goes once it is stopped and its
// handles are closed.
BOOL DeleteService(SC_HANDLE service);
