// The reference counting and interface lookup every COM object of this
// platform shares, and the classes CoCreateInstance can make.
#pragma once

#include <atomic>

#include "platform/com.h"

namespace vexa::platform {

// An object implementing one interface (and IUnknown); it starts with one
// reference and deletes itself when the last is released.
template <typename Interface, const IID& InterfaceId>
class ComObject : public Interface {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == IID_IUnknown || iid == InterfaceId) {
            *object = static_cast<Interface*>(this);
            this->AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

private:
    std::atomic<ULONG> references_{1};
};

// The classes of wmi.cpp and dxdiag.cpp; each returns a new object with
// one reference, or null when the current machine does not offer it.
IUnknown* createWbemLocator();
IUnknown* createWbemRefresher();
IUnknown* createDxDiagProvider();

} // namespace vexa::platform
