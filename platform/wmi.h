// Windows Management Instrumentation as far as the program uses it: a
// locator that connects to a namespace, the services of that namespace
// enumerating the instances of a class, and reading one property of an
// instance as a VARIANT with its CIM type. The answers come from the
// current machine's WMI classes (machine/wmi_facts.h). Every machine has
// the namespaces root\cimv2, root\wmi and root\SecurityCenter, plus those
// its classes name; a machine with SMBIOS tables also has the class
// MSSmBios_RawSMBiosTables in root\wmi, as Windows' SMBIOS driver publishes
// it, unless the machine lists that class itself.
#pragma once

#include "platform/com.h"

using CIMTYPE = LONG;

constexpr HRESULT WBEM_S_NO_ERROR = 0;
constexpr HRESULT WBEM_S_FALSE = 1;
constexpr HRESULT WBEM_S_TIMEDOUT = 0x40004;
constexpr HRESULT WBEM_E_FAILED = HRESULT(0x80041001);
constexpr HRESULT WBEM_E_NOT_FOUND = HRESULT(0x80041002);
constexpr HRESULT WBEM_E_INVALID_PARAMETER = HRESULT(0x80041008);
constexpr HRESULT WBEM_E_INVALID_NAMESPACE = HRESULT(0x8004100E);
constexpr HRESULT WBEM_E_INVALID_CLASS = HRESULT(0x80041010);

constexpr LONG WBEM_FLAG_SHALLOW = 0x1;
constexpr LONG WBEM_INFINITE = -1;

// CIM types (CIMTYPE).
constexpr CIMTYPE CIM_SINT16 = 2;
constexpr CIMTYPE CIM_SINT32 = 3;
constexpr CIMTYPE CIM_REAL32 = 4;
constexpr CIMTYPE CIM_REAL64 = 5;
constexpr CIMTYPE CIM_STRING = 8;
constexpr CIMTYPE CIM_BOOLEAN = 11;
constexpr CIMTYPE CIM_SINT8 = 16;
constexpr CIMTYPE CIM_UINT8 = 17;
constexpr CIMTYPE CIM_UINT16 = 18;
constexpr CIMTYPE CIM_UINT32 = 19;
constexpr CIMTYPE CIM_SINT64 = 20;
constexpr CIMTYPE CIM_UINT64 = 21;
constexpr CIMTYPE CIM_DATETIME = 101;
constexpr CIMTYPE CIM_FLAG_ARRAY = 0x2000;

extern const CLSID CLSID_WbemLocator;
extern const CLSID CLSID_WbemRefresher;
extern const IID IID_IWbemLocator;
extern const IID IID_IWbemServices;
extern const IID IID_IEnumWbemClassObject;
extern const IID IID_IWbemClassObject;
extern const IID IID_IWbemRefresher;
extern const IID IID_IWbemConfigureRefresher;

class IWbemContext;  // no context is ever passed

class IWbemClassObject : public IUnknown {
public:
    // The property `name` (compared without case): its value as WMI
    // delivers it (strings, date-times and 64-bit integers as VT_BSTR,
    // sint8 and sint16 as VT_I2, uint8 as VT_UI1, uint16, sint32 and
    // uint32 as VT_I4, reals as VT_R4/VT_R8, booleans as VT_BOOL, uint8
    // arrays as VT_ARRAY | VT_UI1, no value as VT_NULL) and its CIM type.
    // WBEM_E_NOT_FOUND for a property the class does not have.
    virtual HRESULT Get(const wchar_t* name, LONG flags, VARIANT* value, CIMTYPE* type, LONG* flavor) = 0;
};

class IEnumWbemClassObject : public IUnknown {
public:
    // Up to `count` next instances: WBEM_S_NO_ERROR when `count` were
    // returned, WBEM_S_FALSE when fewer (the end of the enumeration).
    virtual HRESULT Next(LONG timeout, ULONG count, IWbemClassObject** objects, ULONG* returned) = 0;
};

class IWbemServices : public IUnknown {
public:
    // The instances of a class of the namespace; WBEM_E_INVALID_CLASS for a
    // class it does not have.
    virtual HRESULT CreateInstanceEnum(BSTR className, LONG flags, IWbemContext* context,
                                       IEnumWbemClassObject** enumerator) = 0;
};

class IWbemLocator : public IUnknown {
public:
    // "root\cimv2", "\\.\root\cimv2" and "//./root/cimv2" name the same
    // namespace (without case); WBEM_E_INVALID_NAMESPACE for one the
    // machine does not have.
    virtual HRESULT ConnectServer(BSTR nameSpace, BSTR user, BSTR password, BSTR locale, LONG securityFlags,
                                  BSTR authority, IWbemContext* context, IWbemServices** services) = 0;
};

class IWbemRefresher : public IUnknown {
public:
    virtual HRESULT Refresh(LONG flags) = 0;
};

// Objects to refresh are never added: the interface is only obtained.
class IWbemConfigureRefresher : public IUnknown {};
