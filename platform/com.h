// The part of COM the program uses: initialising the library on a thread,
// process security, creating the in-process objects this platform offers
// (the WMI locator and refresher, wmi.h; the DirectX diagnostic provider,
// dxdiag.h), proxy blankets, and the automation types that carry values:
// BSTR texts, VARIANTs and one-dimensional SAFEARRAYs.
#pragma once

#include "platform/guid.h"
#include "platform/win_types.h"

using HRESULT = LONG;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = HRESULT(0x80004001);
constexpr HRESULT E_NOINTERFACE = HRESULT(0x80004002);
constexpr HRESULT E_POINTER = HRESULT(0x80004003);
constexpr HRESULT E_FAIL = HRESULT(0x80004005);
constexpr HRESULT E_OUTOFMEMORY = HRESULT(0x8007000E);
constexpr HRESULT E_INVALIDARG = HRESULT(0x80070057);
constexpr HRESULT CLASS_E_NOAGGREGATION = HRESULT(0x80040110);
constexpr HRESULT REGDB_E_CLASSNOTREG = HRESULT(0x80040154);
constexpr HRESULT CO_E_NOTINITIALIZED = HRESULT(0x800401F0);
constexpr HRESULT RPC_E_CHANGED_MODE = HRESULT(0x80010106);
constexpr HRESULT RPC_E_TOO_LATE = HRESULT(0x80010119);
constexpr HRESULT DISP_E_BADINDEX = HRESULT(0x8002000B);
constexpr HRESULT DISP_E_BADVARTYPE = HRESULT(0x80020008);

constexpr bool SUCCEEDED(HRESULT result) { return result >= 0; }
constexpr bool FAILED(HRESULT result) { return result < 0; }

extern const IID IID_IUnknown;

class IUnknown {
public:
    virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IUnknown() = default;
};

// ---- The library on the calling thread ----

constexpr DWORD COINIT_MULTITHREADED = 0x0;
constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;

// S_OK for the first initialisation on the thread, S_FALSE for a nested
// one; RPC_E_CHANGED_MODE when the thread is in the other threading model.
// Every success is paired with a CoUninitialize.
HRESULT CoInitializeEx(LPVOID reserved, DWORD coInit);
HRESULT CoInitialize(LPVOID reserved);  // apartment-threaded
void CoUninitialize();

// Process-wide security: the first call (on a thread that initialised COM)
// decides and answers S_OK; every later one RPC_E_TOO_LATE.
HRESULT CoInitializeSecurity(PVOID securityDescriptor, LONG authServiceCount, PVOID authServices,
                             PVOID reserved1, DWORD authnLevel, DWORD impLevel, PVOID authList,
                             DWORD capabilities, PVOID reserved3);

constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;

// CO_E_NOTINITIALIZED without CoInitialize(Ex) on the thread,
// CLASS_E_NOAGGREGATION with an outer object, REGDB_E_CLASSNOTREG for a
// class this machine does not offer.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, LPVOID* object);

constexpr DWORD RPC_C_AUTHN_WINNT = 10;
constexpr DWORD RPC_C_AUTHZ_NONE = 0;
constexpr DWORD RPC_C_AUTHN_LEVEL_DEFAULT = 0;
constexpr DWORD RPC_C_IMP_LEVEL_IMPERSONATE = 3;
constexpr DWORD EOAC_NONE = 0;

// E_INVALIDARG for a null proxy; the blanket itself changes nothing here.
HRESULT CoSetProxyBlanket(IUnknown* proxy, DWORD authnService, DWORD authzService, wchar_t* principalName,
                          DWORD authnLevel, DWORD impLevel, PVOID authInfo, DWORD capabilities);

// ---- BSTR ----

using BSTR = wchar_t*;

// A copy of the text with its length kept in front; null for a null text.
BSTR SysAllocString(const wchar_t* text);
void SysFreeString(BSTR text);
UINT SysStringLen(BSTR text);

// ---- VARIANT and SAFEARRAY ----

using VARTYPE = unsigned short;
using VARIANT_BOOL = short;
constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

constexpr VARTYPE VT_EMPTY = 0;
constexpr VARTYPE VT_NULL = 1;
constexpr VARTYPE VT_I2 = 2;
constexpr VARTYPE VT_I4 = 3;
constexpr VARTYPE VT_R4 = 4;
constexpr VARTYPE VT_R8 = 5;
constexpr VARTYPE VT_BSTR = 8;
constexpr VARTYPE VT_BOOL = 11;
constexpr VARTYPE VT_I1 = 16;
constexpr VARTYPE VT_UI1 = 17;
constexpr VARTYPE VT_UI2 = 18;
constexpr VARTYPE VT_UI4 = 19;
constexpr VARTYPE VT_I8 = 20;
constexpr VARTYPE VT_UI8 = 21;
constexpr VARTYPE VT_ARRAY = 0x2000;

struct SAFEARRAYBOUND {
    ULONG cElements;
    LONG lLbound;
};

struct SAFEARRAY {
    USHORT cDims;
    USHORT fFeatures;
    ULONG cbElements;
    ULONG cLocks;
    PVOID pvData;
    SAFEARRAYBOUND rgsabound[1];
};

struct VARIANT {
    VARTYPE vt;
    WORD wReserved1, wReserved2, wReserved3;
    union {
        LONGLONG llVal;
        LONG lVal;
        BYTE bVal;
        SHORT iVal;
        float fltVal;
        double dblVal;
        VARIANT_BOOL boolVal;
        BSTR bstrVal;
        SAFEARRAY* parray;
        CHAR cVal;
        USHORT uiVal;
        ULONG ulVal;
        ULONGLONG ullVal;
    };
};

void VariantInit(VARIANT* value);
// Frees the text or array the value holds and makes it VT_EMPTY.
HRESULT VariantClear(VARIANT* value);

// A one-dimensional array of `count` elements of a type (VT_UI1, VT_I4,
// ...), numbered from `lowerBound`; zero-filled.
SAFEARRAY* SafeArrayCreateVector(VARTYPE type, LONG lowerBound, ULONG count);
HRESULT SafeArrayDestroy(SAFEARRAY* array);
HRESULT SafeArrayGetLBound(SAFEARRAY* array, UINT dimension, LONG* bound);
HRESULT SafeArrayGetUBound(SAFEARRAY* array, UINT dimension, LONG* bound);
// Copies element `indices[0]` into `element`; DISP_E_BADINDEX outside the
// array.
HRESULT SafeArrayGetElement(SAFEARRAY* array, LONG* indices, void* element);

namespace vexa::platform::testing {

// Makes CoCreateInstance answer REGDB_E_CLASSNOTREG for a class until
// restoreComClasses().
void unregisterComClass(REFCLSID clsid);
void restoreComClasses();
// Forgets the process's security settings, so that the next
// CoInitializeSecurity decides again.
void resetComSecurity();

} // namespace vexa::platform::testing
