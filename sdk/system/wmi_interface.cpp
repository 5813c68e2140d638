#include "sdk/system/wmi_interface.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/text.h"
#include "platform/wmi.h"

namespace {

constexpr LONG kNextTimeoutMs = 100;
constexpr size_t kFloatTextChars = 64;  // a 64-bit counter's digits, read as a number
// A CIM date-time starts "yyyymmdd".
constexpr size_t kDateChars = 8;

template <typename T>
void Release(T*& object) {
    if (object) object->Release();
    object = nullptr;
}

// The ANSI text of a BSTR, cut to the buffer.
void ToAnsi(BSTR text, char* destination, size_t size) {
    destination[0] = '\0';
    if (!text) return;
    vexa::platform::wideToNarrow(text, destination, size);
}

// The integer a variant of one of WMI's integer types holds, by its type.
bool IntegerOf(const VARIANT& value, int32_t& integer) {
    switch (value.vt) {
    case VT_I1: integer = value.cVal; return true;
    case VT_UI1: integer = value.bVal; return true;
    case VT_I2: integer = value.iVal; return true;
    case VT_UI2: integer = value.uiVal; return true;
    case VT_I4: integer = value.lVal; return true;
    case VT_UI4: integer = static_cast<int32_t>(value.ulVal); return true;
    default: return false;
    }
}

// "yyyymmdd..." -> "mm/dd/yyyy".
bool DateOf(BSTR text, char (&date)[256]) {
    if (!text || SysStringLen(text) < kDateChars) return false;
    char digits[kDateChars + 1];
    for (size_t i = 0; i < kDateChars; ++i) digits[i] = text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
    digits[kDateChars] = '\0';
    std::snprintf(date, sizeof date, "%.2s/%.2s/%.4s", digits + 4, digits + 6, digits);
    return true;
}

// Each element of a uint8 array, from the lower bound on; the reading stops
// at the first element that cannot be read (the rest stay 0).
bool BytesOf(const VARIANT& value, CWMI_Property& property) {
    if (value.vt != (VT_ARRAY | VT_UI1) || !value.parray) return false;
    LONG lower = 0, upper = -1;
    if (FAILED(SafeArrayGetLBound(value.parray, 1, &lower)) || FAILED(SafeArrayGetUBound(value.parray, 1, &upper)))
        return false;
    const int64_t count = int64_t(upper) - int64_t(lower) + 1;
    if (count < 0 || count > CWMIInterface::kLargestByteArray) return false;
    property.m_dwByteCount = static_cast<uint32_t>(count);
    property.m_pBytes = new uint8_t[count ? count : 1]();
    for (int64_t i = 0; i < count; ++i) {
        LONG index = static_cast<LONG>(lower + i);
        if (FAILED(SafeArrayGetElement(value.parray, &index, &property.m_pBytes[i]))) break;
    }
    return true;
}

// The value of one instance's property by its CIM type; null when the type
// gives none.
CWMI_Property* ValueOf(const VARIANT& value, CIMTYPE type) {
    auto* property = new CWMI_Property;
    bool made = false;
    switch (type) {
    case CIM_STRING:
        if ((made = value.vt == VT_BSTR)) ToAnsi(value.bstrVal, property->m_szText, sizeof property->m_szText);
        property->m_dwKind = WMI_PROPERTY_TEXT;
        break;
    case CIM_SINT8: case CIM_UINT8: case CIM_SINT16: case CIM_UINT16: case CIM_SINT32: case CIM_UINT32:
        made = IntegerOf(value, property->m_iValue);
        property->m_dwKind = WMI_PROPERTY_INTEGER;
        break;
    case CIM_SINT64: case CIM_UINT64:
        if ((made = value.vt == VT_BSTR)) {
            char digits[kFloatTextChars + 1];
            ToAnsi(value.bstrVal, digits, sizeof digits);
            property->m_dValue = std::strtod(digits, nullptr);
        }
        property->m_dwKind = WMI_PROPERTY_FLOAT;
        break;
    case CIM_DATETIME:
        made = value.vt == VT_BSTR && DateOf(value.bstrVal, property->m_szText);
        property->m_dwKind = WMI_PROPERTY_TEXT;
        break;
    case CIM_UINT8 | CIM_FLAG_ARRAY:
        made = BytesOf(value, *property);
        property->m_dwKind = WMI_PROPERTY_BYTES;
        break;
    default:
        break;
    }
    if (made) return property;
    delete property;
    return nullptr;
}

} // namespace

CWMI_Property::~CWMI_Property() { delete[] m_pBytes; }

CWMIInterface::CWMIInterface() : CInterface(INTERFACE_WMI), m_pProperties(new CTList<CWMI_Property>) {}

CWMIInterface::~CWMIInterface() {
    Disconnect();
    m_pProperties->DeleteAll();
    delete m_pProperties;
}

int CWMIInterface::Init() {
    for (const wchar_t* nameSpace : {L"\\\\.\\root\\cimv2", L"\\\\.\\root\\SecurityCenter"})
        if (Connect(nameSpace)) Disconnect();
    return 1;
}

int CWMIInterface::Connect(const wchar_t* nameSpace) {
    // A connection still open ends first: its objects would leak and its
    // COM initialisation would outlive the Disconnect that follows.
    Disconnect();
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 0;
    m_bComInitialised = true;
    const HRESULT security = CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                                  RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
    if (FAILED(security) && security != RPC_E_TOO_LATE) {
        Disconnect();
        return 0;
    }
    bool connected = SUCCEEDED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                                reinterpret_cast<void**>(&m_pLocator)));
    if (connected) {
        m_bstrNamespace = SysAllocString(nameSpace);
        connected = SUCCEEDED(m_pLocator->ConnectServer(m_bstrNamespace, nullptr, nullptr, nullptr, 0, nullptr,
                                                        nullptr, &m_pServices));
    }
    if (connected) {
        connected = SUCCEEDED(CoSetProxyBlanket(m_pServices, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                                RPC_C_AUTHN_LEVEL_DEFAULT, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr,
                                                EOAC_NONE));
        IUnknown* unknown = nullptr;
        if (connected && SUCCEEDED(m_pServices->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)))) {
            connected = SUCCEEDED(CoSetProxyBlanket(unknown, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                                    RPC_C_AUTHN_LEVEL_DEFAULT, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr,
                                                    EOAC_NONE));
            unknown->Release();
        }
    }
    connected = connected && SUCCEEDED(CoCreateInstance(CLSID_WbemRefresher, nullptr, CLSCTX_INPROC_SERVER,
                                                        IID_IWbemRefresher, reinterpret_cast<void**>(&m_pRefresher)));
    connected = connected && SUCCEEDED(m_pRefresher->QueryInterface(IID_IWbemConfigureRefresher,
                                                                    reinterpret_cast<void**>(&m_pRefresherConfig)));
    if (!connected) {
        Disconnect();
        return 0;
    }
    return 1;
}

int CWMIInterface::QueryProperty(const char* className, const wchar_t* property) {
    m_pProperties->DeleteAll();
    if (!m_pServices || !className || !property) return 0;
    const std::wstring wideClass = vexa::platform::toWide(className);
    BSTR name = SysAllocString(wideClass.c_str());
    IEnumWbemClassObject* instances = nullptr;
    const HRESULT result = m_pServices->CreateInstanceEnum(name, WBEM_FLAG_SHALLOW, nullptr, &instances);
    SysFreeString(name);
    if (FAILED(result) || !instances) return 0;
    int count = 0;
    for (;;) {
        IWbemClassObject* instance = nullptr;
        ULONG returned = 0;
        if (instances->Next(kNextTimeoutMs, 1, &instance, &returned) != WBEM_S_NO_ERROR || returned != 1 || !instance)
            break;
        VARIANT value;
        VariantInit(&value);
        CIMTYPE type = 0;
        if (SUCCEEDED(instance->Get(property, 0, &value, &type, nullptr)) && value.vt != VT_NULL) {
            if (CWMI_Property* made = ValueOf(value, type)) {
                m_pProperties->AddTail(made);
                ++count;
            }
        }
        VariantClear(&value);
        instance->Release();
    }
    instances->Release();
    return count;
}

void CWMIInterface::Disconnect() {
    Release(m_pLocator);
    Release(m_pRefresherConfig);
    Release(m_pRefresher);
    Release(m_pServices);
    SysFreeString(m_bstrNamespace);
    m_bstrNamespace = nullptr;
    if (m_bComInitialised) CoUninitialize();
    m_bComInitialised = false;
}
