#include "platform/wmi.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "machine/machine.h"
#include "platform/internal/com_object.h"
#include "platform/text.h"

const CLSID CLSID_WbemLocator = {0x4590F811, 0x1D3A, 0x11D0, {0x89, 0x1F, 0x00, 0xAA, 0x00, 0x4B, 0x2E, 0x24}};
const CLSID CLSID_WbemRefresher = {0xC71566F2, 0x561E, 0x11D1, {0xAD, 0x87, 0x00, 0xC0, 0x4F, 0xD8, 0xFD, 0xFF}};
const IID IID_IWbemLocator = {0xDC12A687, 0x737F, 0x11CF, {0x88, 0x4D, 0x00, 0xAA, 0x00, 0x4B, 0x2E, 0x24}};
const IID IID_IWbemServices = {0x9556DC99, 0x828C, 0x11CF, {0xA3, 0x7E, 0x00, 0xAA, 0x00, 0x32, 0x40, 0xC7}};
const IID IID_IEnumWbemClassObject = {0x027947E1, 0xD731, 0x11CE, {0xA3, 0x57, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01}};
const IID IID_IWbemClassObject = {0xDC12A681, 0x737F, 0x11CF, {0x88, 0x4D, 0x00, 0xAA, 0x00, 0x4B, 0x2E, 0x24}};
const IID IID_IWbemRefresher = {0x49353C99, 0x516B, 0x11D1, {0xAE, 0xA6, 0x00, 0xC0, 0x4F, 0xB6, 0x88, 0x20}};
const IID IID_IWbemConfigureRefresher = {0x49353C92, 0x516B, 0x11D1, {0xAE, 0xA6, 0x00, 0xC0, 0x4F, 0xB6, 0x88, 0x20}};

namespace vexa::platform {
namespace {

using machine::WmiClass;
using machine::WmiInstance;
using machine::WmiValue;

constexpr const char* kStandardNamespaces[] = {"root\\cimv2", "root\\wmi", "root\\SecurityCenter"};
constexpr const char* kRawSmbiosNamespace = "root\\wmi";
constexpr const char* kRawSmbiosClass = "MSSmBios_RawSMBiosTables";

bool sameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// "//./root/cimv2", "\\.\root\cimv2" -> "root\cimv2".
std::string namespaceName(const wchar_t* text) {
    std::string name = text ? toNarrow(text) : std::string();
    std::replace(name.begin(), name.end(), '/', '\\');
    if (name.rfind("\\\\.\\", 0) == 0) name.erase(0, 4);
    return name;
}

WmiValue integerValue(uint32_t cimType, int64_t number) {
    WmiValue value;
    value.cimType = cimType;
    value.integer = number;
    return value;
}

// The raw SMBIOS table as Windows' SMBIOS driver hands it to WMI.
WmiClass rawSmbiosClass(const machine::SmbiosData& smbios) {
    WmiInstance instance;
    WmiValue instanceName;
    instanceName.text = "SMBiosData";
    WmiValue data;
    data.cimType = machine::cim::kUint8 | machine::cim::kFlagArray;
    data.bytes = smbios.table;
    instance.properties = {
        {"InstanceName", instanceName},
        {"Active", integerValue(machine::cim::kBoolean, 1)},
        {"Used20CallingMethod", integerValue(machine::cim::kBoolean, 0)},
        {"SmbiosMajorVersion", integerValue(machine::cim::kUint8, smbios.majorVersion)},
        {"SmbiosMinorVersion", integerValue(machine::cim::kUint8, smbios.minorVersion)},
        {"DmiRevision", integerValue(machine::cim::kUint8, smbios.docRevision)},
        {"Size", integerValue(machine::cim::kUint32, int64_t(smbios.table.size()))},
        {"SMBiosData", data},
    };
    return WmiClass{kRawSmbiosNamespace, kRawSmbiosClass, {instance}};
}

// Every class of the current machine, the published SMBIOS table included.
std::vector<WmiClass> machineClasses() {
    machine::Machine& hw = machine::current();
    std::vector<WmiClass> classes = hw.wmiClasses();
    const bool listed = std::any_of(classes.begin(), classes.end(), [](const WmiClass& c) {
        return sameText(c.nameSpace, kRawSmbiosNamespace) && sameText(c.name, kRawSmbiosClass);
    });
    if (!listed)
        if (const auto smbios = hw.smbios(); smbios && !smbios->table.empty())
            classes.push_back(rawSmbiosClass(*smbios));
    return classes;
}

bool namespaceExists(const std::string& name) {
    for (const char* standard : kStandardNamespaces)
        if (sameText(name, standard)) return true;
    const auto classes = machineClasses();
    return std::any_of(classes.begin(), classes.end(), [&](const WmiClass& c) { return sameText(c.nameSpace, name); });
}

BSTR wideCopy(const std::string& text) { return SysAllocString(toWide(text).c_str()); }

HRESULT toVariant(const WmiValue& value, VARIANT* out) {
    VariantInit(out);
    if (value.null) {
        out->vt = VT_NULL;
        return S_OK;
    }
    switch (value.cimType) {
    case machine::cim::kString:
    case machine::cim::kDateTime:
    case machine::cim::kSint64:
    case machine::cim::kUint64:
        out->vt = VT_BSTR;
        out->bstrVal = wideCopy(value.text);
        return S_OK;
    case machine::cim::kSint8:
    case machine::cim::kSint16:
        out->vt = VT_I2;
        out->iVal = SHORT(value.integer);
        return S_OK;
    case machine::cim::kUint8:
        out->vt = VT_UI1;
        out->bVal = BYTE(value.integer);
        return S_OK;
    case machine::cim::kUint16:
    case machine::cim::kSint32:
    case machine::cim::kUint32:
        out->vt = VT_I4;
        out->lVal = LONG(uint32_t(value.integer));
        return S_OK;
    case machine::cim::kReal32:
        out->vt = VT_R4;
        out->fltVal = float(value.real);
        return S_OK;
    case machine::cim::kReal64:
        out->vt = VT_R8;
        out->dblVal = value.real;
        return S_OK;
    case machine::cim::kBoolean:
        out->vt = VT_BOOL;
        out->boolVal = value.integer ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    case machine::cim::kUint8 | machine::cim::kFlagArray: {
        SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, ULONG(value.bytes.size()));
        if (!array) return E_OUTOFMEMORY;
        if (!value.bytes.empty()) std::memcpy(array->pvData, value.bytes.data(), value.bytes.size());
        out->vt = VT_ARRAY | VT_UI1;
        out->parray = array;
        return S_OK;
    }
    default:
        return WBEM_E_FAILED;
    }
}

class ClassObject final : public ComObject<IWbemClassObject, IID_IWbemClassObject> {
public:
    explicit ClassObject(WmiInstance instance) : instance_(std::move(instance)) {}

    HRESULT Get(const wchar_t* name, LONG, VARIANT* value, CIMTYPE* type, LONG* flavor) override {
        if (!name) return WBEM_E_INVALID_PARAMETER;
        const std::string wanted = toNarrow(name);
        for (const machine::WmiProperty& property : instance_.properties) {
            if (!sameText(property.name, wanted)) continue;
            if (type) *type = CIMTYPE(property.value.cimType);
            if (flavor) *flavor = 0;
            return value ? toVariant(property.value, value) : WBEM_S_NO_ERROR;
        }
        return WBEM_E_NOT_FOUND;
    }

private:
    WmiInstance instance_;
};

class InstanceEnumerator final : public ComObject<IEnumWbemClassObject, IID_IEnumWbemClassObject> {
public:
    explicit InstanceEnumerator(std::vector<WmiInstance> instances) : instances_(std::move(instances)) {}

    HRESULT Next(LONG, ULONG count, IWbemClassObject** objects, ULONG* returned) override {
        if (!objects || !returned) return WBEM_E_INVALID_PARAMETER;
        ULONG given = 0;
        while (given < count && next_ < instances_.size()) objects[given++] = new ClassObject(instances_[next_++]);
        *returned = given;
        return given == count ? WBEM_S_NO_ERROR : WBEM_S_FALSE;
    }

private:
    std::vector<WmiInstance> instances_;
    size_t next_ = 0;
};

class Services final : public ComObject<IWbemServices, IID_IWbemServices> {
public:
    explicit Services(std::string nameSpace) : nameSpace_(std::move(nameSpace)) {}

    HRESULT CreateInstanceEnum(BSTR className, LONG, IWbemContext*, IEnumWbemClassObject** enumerator) override {
        if (!className || !enumerator) return WBEM_E_INVALID_PARAMETER;
        *enumerator = nullptr;
        const std::string wanted = toNarrow(className);
        for (WmiClass& wmiClass : machineClasses()) {
            if (!sameText(wmiClass.nameSpace, nameSpace_) || !sameText(wmiClass.name, wanted)) continue;
            *enumerator = new InstanceEnumerator(std::move(wmiClass.instances));
            return WBEM_S_NO_ERROR;
        }
        return WBEM_E_INVALID_CLASS;
    }

private:
    std::string nameSpace_;
};

class Locator final : public ComObject<IWbemLocator, IID_IWbemLocator> {
public:
    HRESULT ConnectServer(BSTR nameSpace, BSTR, BSTR, BSTR, LONG, BSTR, IWbemContext*,
                          IWbemServices** services) override {
        if (!services) return WBEM_E_INVALID_PARAMETER;
        *services = nullptr;
        const std::string name = namespaceName(nameSpace);
        if (name.empty() || !namespaceExists(name)) return WBEM_E_INVALID_NAMESPACE;
        *services = new Services(name);
        return WBEM_S_NO_ERROR;
    }
};

class Refresher final : public IWbemRefresher, public IWbemConfigureRefresher {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IWbemRefresher) *object = static_cast<IWbemRefresher*>(this);
        else if (iid == IID_IWbemConfigureRefresher) *object = static_cast<IWbemConfigureRefresher*>(this);
        else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT Refresh(LONG) override { return WBEM_S_NO_ERROR; }

private:
    std::atomic<ULONG> references_{1};
};

} // namespace

IUnknown* createWbemLocator() { return new Locator; }
IUnknown* createWbemRefresher() { return static_cast<IWbemRefresher*>(new Refresher); }

} // namespace vexa::platform
