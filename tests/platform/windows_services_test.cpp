// The Windows services the software, WMI and DirectX code calls, answered
// from the machine: the COM runtime, the WMI locator and its values, the
// DirectX diagnostic provider, registry keys, the edition functions, the
// versions of system files and the virtual-machine probe instructions.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "machine/host_machine.h"
#include "platform/com.h"
#include "platform/dxdiag.h"
#include "platform/environment.h"
#include "platform/os_edition.h"
#include "platform/registry.h"
#include "platform/resources.h"
#include "platform/sysinfo.h"
#include "platform/testing.h"
#include "platform/vm_probes.h"
#include "platform/wmi.h"
#include "tests/support/image_dir.h"
#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

class WindowsServices : public ::testing::Test {
protected:
    void Boot(const std::string& manifest, bool smbios = false) {
        ImageDir image;
        image.write("machine.json", manifest);
        if (smbios) image.write("smbios.bin", readFile(sourcePath("machines/x58-nehalem/smbios.bin")));
        machine_.emplace(image.load());
    }
    void TearDown() override {
        platform::testing::restoreComClasses();
        machine_.reset();
    }
    std::optional<machine::ScopedMachine> machine_;
};

TEST_F(WindowsServices, ComNeedsItsLibraryOnTheThread) {
    Boot("{}");
    IWbemLocator* locator = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                               reinterpret_cast<void**>(&locator)),
              CO_E_NOTINITIALIZED);
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
    platform::testing::resetComSecurity();
    EXPECT_EQ(CoInitializeSecurity(nullptr, -1, nullptr, nullptr, 0, 3, nullptr, 0, nullptr), S_OK);
    EXPECT_EQ(CoInitializeSecurity(nullptr, -1, nullptr, nullptr, 0, 3, nullptr, 0, nullptr), RPC_E_TOO_LATE);
    ASSERT_EQ(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                               reinterpret_cast<void**>(&locator)),
              S_OK);
    IWbemServices* wrong = nullptr;
    EXPECT_EQ(locator->QueryInterface(IID_IWbemServices, reinterpret_cast<void**>(&wrong)), E_NOINTERFACE);
    EXPECT_EQ(locator->Release(), 0u);
    platform::testing::unregisterComClass(CLSID_WbemLocator);
    EXPECT_EQ(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                               reinterpret_cast<void**>(&locator)),
              REGDB_E_CLASSNOTREG);
    CoUninitialize();
    CoUninitialize();
}

TEST_F(WindowsServices, BstrVariantAndSafeArray) {
    BSTR text = SysAllocString(L"Win32_VideoController");
    EXPECT_EQ(SysStringLen(text), 21u);
    EXPECT_EQ(std::wstring(text), L"Win32_VideoController");
    SysFreeString(text);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);

    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 3, 2);
    ASSERT_TRUE(array);
    static_cast<uint8_t*>(array->pvData)[1] = 7;
    LONG lower = 0, upper = 0;
    EXPECT_EQ(SafeArrayGetLBound(array, 1, &lower), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(array, 1, &upper), S_OK);
    EXPECT_EQ(lower, 3);
    EXPECT_EQ(upper, 4);
    uint8_t element = 0;
    LONG index = 4;
    EXPECT_EQ(SafeArrayGetElement(array, &index, &element), S_OK);
    EXPECT_EQ(element, 7);
    index = 5;
    EXPECT_EQ(SafeArrayGetElement(array, &index, &element), DISP_E_BADINDEX);
    index = 2;
    EXPECT_EQ(SafeArrayGetElement(array, &index, &element), DISP_E_BADINDEX);
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_ARRAY | VT_UI1;
    value.parray = array;
    EXPECT_EQ(VariantClear(&value), S_OK);
    EXPECT_EQ(value.vt, VT_EMPTY);
}

// Connects, enumerates the class and reads one property of the first instance.
HRESULT FirstValue(const wchar_t* nameSpace, const wchar_t* className, const wchar_t* property, VARIANT& value,
                   CIMTYPE& type) {
    IWbemLocator* locator = nullptr;
    HRESULT result = CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                      reinterpret_cast<void**>(&locator));
    if (FAILED(result)) return result;
    IWbemServices* services = nullptr;
    BSTR space = SysAllocString(nameSpace);
    result = locator->ConnectServer(space, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &services);
    SysFreeString(space);
    locator->Release();
    if (FAILED(result)) return result;
    IEnumWbemClassObject* instances = nullptr;
    BSTR name = SysAllocString(className);
    result = services->CreateInstanceEnum(name, WBEM_FLAG_SHALLOW, nullptr, &instances);
    SysFreeString(name);
    services->Release();
    if (FAILED(result)) return result;
    IWbemClassObject* first = nullptr;
    ULONG returned = 0;
    result = instances->Next(100, 1, &first, &returned);
    instances->Release();
    if (result != WBEM_S_NO_ERROR) return result;
    result = first->Get(property, 0, &value, &type, nullptr);
    first->Release();
    return result;
}

struct VariantCase {
    const wchar_t* property;
    VARTYPE vt;
    CIMTYPE cim;
};

TEST_F(WindowsServices, WmiDeliversValuesAsWindowsDoes) {
    Boot(R"({"wmi": {"root\\cimv2": {"Test": [{"s": "text", "i8": {"sint8": -3}, "u8": {"uint8": 3},
             "i16": {"sint16": -300}, "u16": {"uint16": 60000}, "i32": {"sint32": -70000},
             "u32": {"uint32": 4000000000},
             "i64": {"sint64": -5}, "u64": {"uint64": "18446744073709551615"}, "r32": {"real32": 0.5},
             "r64": {"real64": 0.25}, "b": false, "d": {"datetime": "20110621000000.000000-000"},
             "a": {"uint8[]": "01 02"}, "n": null}]}}})");
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    const VariantCase cases[] = {
        {L"s", VT_BSTR, CIM_STRING},   {L"i8", VT_I2, CIM_SINT8},      {L"u8", VT_UI1, CIM_UINT8},
        {L"i16", VT_I2, CIM_SINT16},   {L"u16", VT_I4, CIM_UINT16},    {L"i32", VT_I4, CIM_SINT32},
        {L"u32", VT_I4, CIM_UINT32},   {L"i64", VT_BSTR, CIM_SINT64},  {L"u64", VT_BSTR, CIM_UINT64},
        {L"r32", VT_R4, CIM_REAL32},   {L"r64", VT_R8, CIM_REAL64},    {L"b", VT_BOOL, CIM_BOOLEAN},
        {L"d", VT_BSTR, CIM_DATETIME}, {L"A", VT_ARRAY | VT_UI1, CIM_UINT8 | CIM_FLAG_ARRAY},
        {L"n", VT_NULL, CIM_STRING},
    };
    for (const VariantCase& c : cases) {
        SCOPED_TRACE(std::string(c.property, c.property + wcslen(c.property)));
        VARIANT value;
        VariantInit(&value);
        CIMTYPE type = -1;
        ASSERT_EQ(FirstValue(L"\\\\.\\ROOT\\CIMV2", L"test", c.property, value, type), WBEM_S_NO_ERROR);
        EXPECT_EQ(value.vt, c.vt);
        EXPECT_EQ(type, c.cim);
        if (c.vt == VT_I2) {
            EXPECT_LT(value.iVal, 0);
        }
        if (type == CIM_UINT64) {
            EXPECT_EQ(std::wstring(value.bstrVal), L"18446744073709551615");
        }
        if (type == CIM_UINT32) {
            EXPECT_EQ(uint32_t(value.lVal), 4000000000u);
        }
        VariantClear(&value);
    }
    VARIANT value;
    VariantInit(&value);
    CIMTYPE type = 0;
    EXPECT_EQ(FirstValue(L"root\\cimv2", L"Test", L"missing", value, type), WBEM_E_NOT_FOUND);
    EXPECT_EQ(FirstValue(L"root\\cimv2", L"Nothing", L"s", value, type), WBEM_E_INVALID_CLASS);
    EXPECT_EQ(FirstValue(L"root\\nothing", L"Test", L"s", value, type), WBEM_E_INVALID_NAMESPACE);
    CoUninitialize();
}

TEST_F(WindowsServices, TheRawSmbiosTableUnlessTheMachineListsTheClassItself) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    Boot("{}", true);
    VARIANT value;
    VariantInit(&value);
    CIMTYPE type = 0;
    ASSERT_EQ(FirstValue(L"root\\wmi", L"MSSmBios_RawSMBiosTables", L"SMBiosData", value, type), WBEM_S_NO_ERROR);
    ASSERT_EQ(value.vt, VT_ARRAY | VT_UI1);
    EXPECT_EQ(value.parray->rgsabound[0].cElements, machine_->get().smbios()->table.size());
    VariantClear(&value);

    Boot(R"({"wmi": {"root\\wmi": {"MSSmBios_RawSMBiosTables": []}}})", true);
    EXPECT_EQ(FirstValue(L"root\\wmi", L"MSSmBios_RawSMBiosTables", L"SMBiosData", value, type), WBEM_S_FALSE);
    Boot("{}");
    EXPECT_EQ(FirstValue(L"root\\wmi", L"MSSmBios_RawSMBiosTables", L"SMBiosData", value, type),
              WBEM_E_INVALID_CLASS);
    CoUninitialize();
}

TEST_F(WindowsServices, TheDiagnosticProviderOnlyWhereTheMachineHasOne) {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    Boot("{}");
    IDxDiagProvider* provider = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_DxDiagProvider, nullptr, CLSCTX_INPROC_SERVER, IID_IDxDiagProvider,
                               reinterpret_cast<void**>(&provider)),
              REGDB_E_CLASSNOTREG);
    Boot(R"({"os": {"windows": {"dxdiag": {"long_english": "DirectX 9.0c", "major": 9}}}})");
    ASSERT_EQ(CoCreateInstance(CLSID_DxDiagProvider, nullptr, CLSCTX_INPROC_SERVER, IID_IDxDiagProvider,
                               reinterpret_cast<void**>(&provider)),
              S_OK);
    IDxDiagContainer* root = nullptr;
    EXPECT_EQ(provider->GetRootContainer(&root), E_FAIL) << "not initialised";
    DXDIAG_INIT_PARAMS parameters {sizeof parameters, 100, FALSE, nullptr};
    EXPECT_EQ(provider->Initialize(&parameters), E_INVALIDARG);
    parameters.dwDxDiagHeaderVersion = DXDIAG_DX9_SDK_VERSION;
    ASSERT_EQ(provider->Initialize(&parameters), S_OK);
    ASSERT_EQ(provider->GetRootContainer(&root), S_OK);
    IDxDiagContainer* system = nullptr;
    ASSERT_EQ(root->GetChildContainer(L"DxDiag_SystemInfo", &system), S_OK);
    VARIANT value;
    VariantInit(&value);
    ASSERT_EQ(system->GetProp(L"szDirectXVersionLongEnglish", &value), S_OK);
    EXPECT_EQ(std::wstring(value.bstrVal), L"DirectX 9.0c");
    VariantClear(&value);
    ASSERT_EQ(system->GetProp(L"dwDirectXVersionMajor", &value), S_OK);
    EXPECT_EQ(value.vt, VT_UI4);
    EXPECT_EQ(value.ulVal, 9u);
    EXPECT_EQ(system->GetProp(L"dwDirectXVersionMinor", &value), E_INVALIDARG) << "not offered";
    EXPECT_EQ(system->GetProp(L"szDirectXVersionLetter", &value), E_INVALIDARG);
    system->Release();
    root->Release();
    provider->Release();
    CoUninitialize();
}

TEST_F(WindowsServices, RegistryKeysOfTheIdentityAndTheirParents) {
    Boot(R"({"os": {"windows": {
        "registry_keys": ["SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009"]}}})");
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\microsoft\\windows nt\\currentversion\\hotfix\\q246009", 0,
                            KEY_READ, &key),
              LONG(ERROR_SUCCESS));
    EXPECT_EQ(RegCloseKey(key), LONG(ERROR_SUCCESS));
    EXPECT_EQ(RegCloseKey(key), LONG(ERROR_INVALID_HANDLE));
    HKEY parent = nullptr, child = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft", 0, KEY_READ, &parent), LONG(ERROR_SUCCESS));
    EXPECT_EQ(RegOpenKeyExA(parent, "Windows NT\\CurrentVersion\\Hotfix", 0, KEY_READ, &child), LONG(ERROR_SUCCESS));
    RegCloseKey(child);
    RegCloseKey(parent);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q24600", 0,
                            KEY_READ, &key),
              LONG(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(key, nullptr);
}

TEST_F(WindowsServices, EditionFunctionsAndTheVersionTold) {
    Boot(R"({"os": {"windows": {"major": 6, "minor": 3, "build": 9600, "product_info": 4, "tablet_pc": true,
                                "reported_version": {"major": 6, "minor": 2, "build": 9200}}}})");
    DWORD type = 99;
    EXPECT_TRUE(GetProductInfo(6, 3, 0, 0, &type));
    EXPECT_EQ(type, 4u);
    EXPECT_EQ(GetSystemMetrics(SM_TABLETPC), 1);
    EXPECT_EQ(GetSystemMetrics(SM_MEDIACENTER), 0);
    OSVERSIONINFOEXA version {};
    version.dwOSVersionInfoSize = sizeof version;
    ASSERT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version)));
    EXPECT_EQ(version.dwMinorVersion, 2u);
    EXPECT_EQ(version.dwBuildNumber, 9200u);
    Boot(R"({"os": {"windows": {"major": 5, "minor": 1}}})");
    EXPECT_FALSE(GetProductInfo(5, 1, 0, 0, &type)) << "XP has no product types";
    EXPECT_EQ(type, PRODUCT_UNDEFINED);
}

TEST_F(WindowsServices, TheHostTellsItsOwnSystemAnImageNone) {
    Boot("{}");
    EXPECT_FALSE(platform::hostSystem()) << "an image stands for a Windows PC";
    ImageDir root;
    root.write("usr/lib/os-release", "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n");
    root.write("proc/sys/kernel/ostype", "Linux\n");
    root.write("proc/sys/kernel/osrelease", "6.1.0-18-amd64\n");
    machine_.emplace(std::make_unique<machine::HostMachine>(root.path()));
    const auto system = platform::hostSystem();
    ASSERT_TRUE(system);
    EXPECT_EQ(system->distribution, "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(system->kernel, "Linux 6.1.0-18-amd64");
    EXPECT_FALSE(system->architecture.empty());
}

TEST_F(WindowsServices, SystemFilesCarryTheVersionsTheIdentityGives) {
    Boot(R"({"os": {"windows": {"system_files": {"D3D9.dll": "6.1.7601.17514"}}}})");
    char folder[MAX_PATH];
    ASSERT_GT(GetSystemDirectoryA(folder, sizeof folder), 0u);
    for (const std::string name : {"\\d3d9.dll", "/D3D9.DLL"}) {
        const std::string path = folder + name;
        DWORD handle = 0;
        const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
        ASSERT_GT(size, 0u) << path;
        std::vector<uint8_t> block(size);
        ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<LPVOID*>(&fixed), &length));
        EXPECT_EQ(fixed->dwFileVersionMS, 0x00060001u);
        EXPECT_EQ(fixed->dwFileVersionLS, 0x1DB1446Au);  // 7601.17514
    }
    DWORD handle = 0;
    EXPECT_EQ(GetFileVersionInfoSizeA((std::string(folder) + "\\d3d10.dll").c_str(), &handle), 0u);
    EXPECT_EQ(GetFileVersionInfoSizeA((std::string(folder) + "\\sub\\d3d9.dll").c_str(), &handle), 0u);
}

struct ProbeCase {
    const char* vm;
    DWORD virtualPc, vmware;  // the exception codes, 0 for none
};

TEST_F(WindowsServices, ProbeInstructionsAnsweredByTheMachine) {
    const BYTE virtualPc[] = {0x0F, 0x3F, 0x07, 0x0B};
    const BYTE in[] = {0xED};
    const ProbeCase cases[] = {{"none", STATUS_ILLEGAL_INSTRUCTION, STATUS_PRIVILEGED_INSTRUCTION},
                               {"vmware", STATUS_ILLEGAL_INSTRUCTION, 0},
                               {"virtualpc", 0, STATUS_PRIVILEGED_INSTRUCTION}};
    for (const ProbeCase& c : cases) {
        SCOPED_TRACE(c.vm);
        Boot(std::string(R"({"vm": ")") + c.vm + "\"}");
        PROBE_REGISTERS registers {1, 0, 0, 0};
        EXPECT_EQ(ExecuteGuardedInstruction(virtualPc, sizeof virtualPc, &registers), c.virtualPc);
        EXPECT_EQ(registers.Ebx, 0u);
        registers = {0x564D5868, 0, 10, 0x5658};
        EXPECT_EQ(ExecuteGuardedInstruction(in, sizeof in, &registers), c.vmware);
        EXPECT_EQ(registers.Ebx, c.vmware == 0 ? 0x564D5868u : 0u);
    }
    Boot(R"({"vm": "vmware"})");
    PROBE_REGISTERS registers {0x564D5868, 0, 10, 0x5659};
    EXPECT_EQ(ExecuteGuardedInstruction(in, sizeof in, &registers), STATUS_PRIVILEGED_INSTRUCTION) << "another port";
    const BYTE other[] = {0x0F, 0x0B};
    EXPECT_EQ(ExecuteGuardedInstruction(other, sizeof other, &registers), STATUS_ILLEGAL_INSTRUCTION);
}

} // namespace
} // namespace vexa::test
