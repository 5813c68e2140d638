#include "platform/dxdiag.h"

#include <cwchar>
#include <optional>

#include "platform/internal/com_object.h"
#include "platform/testing.h"
#include "platform/text.h"

const CLSID CLSID_DxDiagProvider = {0xA65B8071, 0x3BFE, 0x4213, {0x9A, 0x5B, 0x49, 0x1D, 0xA4, 0x46, 0x1C, 0xA7}};
const IID IID_IDxDiagProvider = {0x9C6B4CB0, 0x23F8, 0x49CC, {0xA3, 0xED, 0x45, 0xA5, 0x50, 0x00, 0xA6, 0xD2}};
const IID IID_IDxDiagContainer = {0x7D0F462F, 0x4064, 0x4862, {0xBC, 0x7F, 0x93, 0x3E, 0x50, 0x58, 0xC1, 0x0F}};

namespace vexa::platform {
namespace {

using machine::DxDiagFacts;

constexpr const wchar_t* kSystemInfo = L"DxDiag_SystemInfo";

HRESULT textProperty(const std::string& text, VARIANT* value) {
    if (text.empty()) return E_INVALIDARG;
    value->vt = VT_BSTR;
    value->bstrVal = SysAllocString(toWide(text).c_str());
    return S_OK;
}

HRESULT numberProperty(const std::optional<uint32_t>& number, VARIANT* value) {
    if (!number) return E_INVALIDARG;
    value->vt = VT_UI4;
    value->ulVal = *number;
    return S_OK;
}

// The root (system information below it) or the system information itself.
class Container final : public ComObject<IDxDiagContainer, IID_IDxDiagContainer> {
public:
    Container(DxDiagFacts facts, bool root) : facts_(std::move(facts)), root_(root) {}

    HRESULT GetChildContainer(const wchar_t* name, IDxDiagContainer** child) override {
        if (!name || !child) return E_POINTER;
        *child = nullptr;
        if (!root_ || std::wcscmp(name, kSystemInfo) != 0) return E_INVALIDARG;
        *child = new Container(facts_, false);
        return S_OK;
    }

    HRESULT GetProp(const wchar_t* name, VARIANT* value) override {
        if (!name || !value) return E_POINTER;
        VariantInit(value);
        if (root_) return E_INVALIDARG;
        const std::wstring property = name;
        if (property == L"szDirectXVersionLongEnglish") return textProperty(facts_.versionLongEnglish, value);
        if (property == L"szDirectXVersionEnglish") return textProperty(facts_.versionEnglish, value);
        if (property == L"szDirectXVersionLetter") return textProperty(facts_.letter, value);
        if (property == L"dwDirectXVersionMajor") return numberProperty(facts_.major, value);
        if (property == L"dwDirectXVersionMinor") return numberProperty(facts_.minor, value);
        return E_INVALIDARG;
    }

private:
    DxDiagFacts facts_;
    bool root_;
};

class Provider final : public ComObject<IDxDiagProvider, IID_IDxDiagProvider> {
public:
    explicit Provider(DxDiagFacts facts) : facts_(std::move(facts)) {}

    HRESULT Initialize(DXDIAG_INIT_PARAMS* parameters) override {
        if (!parameters) return E_POINTER;
        if (parameters->dwSize != sizeof(DXDIAG_INIT_PARAMS) ||
            parameters->dwDxDiagHeaderVersion != DXDIAG_DX9_SDK_VERSION)
            return E_INVALIDARG;
        initialised_ = true;
        return S_OK;
    }

    HRESULT GetRootContainer(IDxDiagContainer** root) override {
        if (!root) return E_POINTER;
        *root = nullptr;
        if (!initialised_) return E_FAIL;
        *root = new Container(facts_, true);
        return S_OK;
    }

private:
    DxDiagFacts facts_;
    bool initialised_ = false;
};

} // namespace

IUnknown* createDxDiagProvider() {
    const auto facts = testing::windowsIdentity().dxdiag;
    return facts ? new Provider(*facts) : nullptr;
}

} // namespace vexa::platform
