// The DirectX diagnostic provider: initialised with a parameter block, it
// hands out a root container whose child "DxDiag_SystemInfo" holds the
// installed DirectX version. The answers come from the current machine's
// Windows identity (WindowsIdentity::dxdiag); a machine without them has
// no provider (CoCreateInstance fails).
#pragma once

#include "platform/com.h"

extern const CLSID CLSID_DxDiagProvider;
extern const IID IID_IDxDiagProvider;
extern const IID IID_IDxDiagContainer;

constexpr DWORD DXDIAG_DX9_SDK_VERSION = 111;

struct DXDIAG_INIT_PARAMS {
    DWORD dwSize;  // sizeof(DXDIAG_INIT_PARAMS)
    DWORD dwDxDiagHeaderVersion;
    BOOL bAllowWHQLChecks;
    LPVOID pReserved;
};

class IDxDiagContainer : public IUnknown {
public:
    // E_INVALIDARG for a container or property that does not exist.
    virtual HRESULT GetChildContainer(const wchar_t* name, IDxDiagContainer** child) = 0;
    // Texts as VT_BSTR, numbers as VT_UI4.
    virtual HRESULT GetProp(const wchar_t* name, VARIANT* value) = 0;
};

class IDxDiagProvider : public IUnknown {
public:
    // E_INVALIDARG for a block of another size or header version.
    virtual HRESULT Initialize(DXDIAG_INIT_PARAMS* parameters) = 0;
    // E_FAIL before Initialize.
    virtual HRESULT GetRootContainer(IDxDiagContainer** root) = 0;
};
