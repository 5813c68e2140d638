#include "platform/com.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <vector>

#include "platform/dxdiag.h"
#include "platform/internal/com_object.h"
#include "platform/wmi.h"

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

namespace {

struct ComApartment {
    unsigned initialisations = 0;
    DWORD model = 0;
};
thread_local ComApartment apartment;

std::mutex stateLock;
bool securityDecided = false;
std::vector<CLSID> unregistered;

struct ComClass {
    const CLSID* clsid;
    IUnknown* (*create)();
};

const ComClass kClasses[] = {
    {&CLSID_WbemLocator, vexa::platform::createWbemLocator},
    {&CLSID_WbemRefresher, vexa::platform::createWbemRefresher},
    {&CLSID_DxDiagProvider, vexa::platform::createDxDiagProvider},
};

bool isUnregistered(REFCLSID clsid) {
    std::lock_guard guard(stateLock);
    for (const CLSID& hidden : unregistered)
        if (hidden == clsid) return true;
    return false;
}

// A BSTR is its length in bytes (a DWORD) followed by the characters and a
// terminator; the pointer handed out points at the characters.
constexpr size_t kLengthPrefix = sizeof(DWORD);
static_assert(alignof(wchar_t) <= kLengthPrefix);

size_t elementSize(VARTYPE type) {
    switch (type) {
    case VT_I1: case VT_UI1: return 1;
    case VT_I2: case VT_UI2: case VT_BOOL: return 2;
    case VT_I4: case VT_UI4: case VT_R4: return 4;
    case VT_I8: case VT_UI8: case VT_R8: return 8;
    default: return 0;
    }
}

} // namespace

HRESULT CoInitializeEx(LPVOID, DWORD coInit) {
    const DWORD model = coInit & COINIT_APARTMENTTHREADED;
    if (apartment.initialisations > 0 && apartment.model != model) return RPC_E_CHANGED_MODE;
    apartment.model = model;
    return ++apartment.initialisations == 1 ? S_OK : S_FALSE;
}

HRESULT CoInitialize(LPVOID reserved) { return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED); }

void CoUninitialize() {
    if (apartment.initialisations > 0) --apartment.initialisations;
}

HRESULT CoInitializeSecurity(PVOID, LONG, PVOID, PVOID, DWORD, DWORD, PVOID, DWORD, PVOID) {
    if (apartment.initialisations == 0) return CO_E_NOTINITIALIZED;
    std::lock_guard guard(stateLock);
    if (securityDecided) return RPC_E_TOO_LATE;
    securityDecided = true;
    return S_OK;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, LPVOID* object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (apartment.initialisations == 0) return CO_E_NOTINITIALIZED;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (!(context & CLSCTX_INPROC_SERVER) || isUnregistered(clsid)) return REGDB_E_CLASSNOTREG;
    for (const ComClass& entry : kClasses) {
        if (!(*entry.clsid == clsid)) continue;
        IUnknown* created = entry.create();
        if (!created) return REGDB_E_CLASSNOTREG;
        const HRESULT result = created->QueryInterface(iid, object);
        created->Release();
        return result;
    }
    return REGDB_E_CLASSNOTREG;
}

HRESULT CoSetProxyBlanket(IUnknown* proxy, DWORD, DWORD, wchar_t*, DWORD, DWORD, PVOID, DWORD) {
    return proxy ? S_OK : E_INVALIDARG;
}

BSTR SysAllocString(const wchar_t* text) {
    if (!text) return nullptr;
    const size_t length = std::wcslen(text);
    auto* block = static_cast<uint8_t*>(std::malloc(kLengthPrefix + (length + 1) * sizeof(wchar_t)));
    if (!block) return nullptr;
    const auto bytes = DWORD(length * sizeof(wchar_t));
    std::memcpy(block, &bytes, kLengthPrefix);
    auto* characters = reinterpret_cast<wchar_t*>(block + kLengthPrefix);
    std::wmemcpy(characters, text, length + 1);
    return characters;
}

void SysFreeString(BSTR text) {
    if (text) std::free(reinterpret_cast<uint8_t*>(text) - kLengthPrefix);
}

UINT SysStringLen(BSTR text) {
    if (!text) return 0;
    DWORD bytes = 0;
    std::memcpy(&bytes, reinterpret_cast<uint8_t*>(text) - kLengthPrefix, kLengthPrefix);
    return UINT(bytes / sizeof(wchar_t));
}

void VariantInit(VARIANT* value) {
    if (!value) return;
    std::memset(value, 0, sizeof *value);
    value->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* value) {
    if (!value) return E_INVALIDARG;
    if (value->vt == VT_BSTR) SysFreeString(value->bstrVal);
    else if (value->vt & VT_ARRAY) SafeArrayDestroy(value->parray);
    VariantInit(value);
    return S_OK;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE type, LONG lowerBound, ULONG count) {
    const size_t size = elementSize(type);
    if (size == 0) return nullptr;
    auto* array = static_cast<SAFEARRAY*>(std::calloc(1, sizeof(SAFEARRAY)));
    if (!array) return nullptr;
    array->pvData = std::calloc(count ? count : 1, size);
    if (!array->pvData) {
        std::free(array);
        return nullptr;
    }
    array->cDims = 1;
    array->cbElements = ULONG(size);
    array->rgsabound[0] = SAFEARRAYBOUND{count, lowerBound};
    return array;
}

HRESULT SafeArrayDestroy(SAFEARRAY* array) {
    if (!array) return S_OK;
    std::free(array->pvData);
    std::free(array);
    return S_OK;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* array, UINT dimension, LONG* bound) {
    if (!array || !bound) return E_INVALIDARG;
    if (dimension != 1 || array->cDims != 1) return DISP_E_BADINDEX;
    *bound = array->rgsabound[0].lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* array, UINT dimension, LONG* bound) {
    if (!array || !bound) return E_INVALIDARG;
    if (dimension != 1 || array->cDims != 1) return DISP_E_BADINDEX;
    *bound = LONG(int64_t(array->rgsabound[0].lLbound) + int64_t(array->rgsabound[0].cElements) - 1);
    return S_OK;
}

HRESULT SafeArrayGetElement(SAFEARRAY* array, LONG* indices, void* element) {
    if (!array || !indices || !element) return E_INVALIDARG;
    const int64_t offset = int64_t(indices[0]) - array->rgsabound[0].lLbound;
    if (array->cDims != 1 || offset < 0 || offset >= int64_t(array->rgsabound[0].cElements)) return DISP_E_BADINDEX;
    std::memcpy(element, static_cast<uint8_t*>(array->pvData) + size_t(offset) * array->cbElements,
                array->cbElements);
    return S_OK;
}

namespace vexa::platform::testing {

void unregisterComClass(REFCLSID clsid) {
    std::lock_guard guard(stateLock);
    unregistered.push_back(clsid);
}

void restoreComClasses() {
    std::lock_guard guard(stateLock);
    unregistered.clear();
}

void resetComSecurity() {
    std::lock_guard guard(stateLock);
    securityDecided = false;
}

} // namespace vexa::platform::testing
