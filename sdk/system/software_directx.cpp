// The installed DirectX version: what the DirectX diagnostic provider says,
// else what the versions of the DirectX files of the system folder tell.
#include <cctype>
#include <cstdio>
#include <string>

#include "platform/dxdiag.h"
#include "platform/environment.h"
#include "platform/os_edition.h"
#include "platform/text.h"
#include "sdk/core/file_version.h"
#include "sdk/core/helpers.h"
#include "sdk/system/software_interface.h"

namespace {

struct DirectXVersion {
    int major = 0, minor = 0;
    char letter = ' ';
};

// ---- The diagnostic provider ----

// A text property; empty when the container does not have it.
std::string TextProperty(IDxDiagContainer* container, const wchar_t* name) {
    VARIANT value;
    VariantInit(&value);
    std::string text;
    if (SUCCEEDED(container->GetProp(name, &value)) && value.vt == VT_BSTR && value.bstrVal)
        text = vexa::platform::toNarrow(value.bstrVal);
    VariantClear(&value);
    return text;
}

bool NumberProperty(IDxDiagContainer* container, const wchar_t* name, int& number) {
    VARIANT value;
    VariantInit(&value);
    const bool found = SUCCEEDED(container->GetProp(name, &value)) && (value.vt == VT_UI4 || value.vt == VT_I4);
    if (found) number = static_cast<int>(value.lVal);
    VariantClear(&value);
    return found;
}

// "DirectX 9.0c" and "DirectX 11" give 9.0 and 11.0.
void ReadVersionText(const std::string& text, const char* format, DirectXVersion& version) {
    int major = 0, minor = 0;
    if (std::sscanf(text.c_str(), format, &major, &minor) >= 1) {
        version.major = major;
        version.minor = minor;
    }
}

void ReadSystemInfo(IDxDiagContainer* system, DirectXVersion& version) {
    ReadVersionText(TextProperty(system, L"szDirectXVersionLongEnglish"), "DirectX %d.%d", version);
    if (version.major == 0)
        ReadVersionText(TextProperty(system, L"szDirectXVersionEnglish"), "Direct X %d.%d", version);
    if (version.major == 0) {
        int major = 0, minor = 0;
        if (NumberProperty(system, L"dwDirectXVersionMajor", major)) version.major = major;
        if (NumberProperty(system, L"dwDirectXVersionMinor", minor)) version.minor = minor;
    }
    const std::string letter = TextProperty(system, L"szDirectXVersionLetter");
    if (!letter.empty()) version.letter = letter[0];
}

bool AskProvider(DirectXVersion& version) {
    const HRESULT initialised = CoInitialize(nullptr);
    IDxDiagProvider* provider = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_DxDiagProvider, nullptr, CLSCTX_INPROC_SERVER, IID_IDxDiagProvider,
                                   reinterpret_cast<void**>(&provider)))) {
        DXDIAG_INIT_PARAMS parameters {};
        parameters.dwSize = sizeof parameters;
        parameters.dwDxDiagHeaderVersion = DXDIAG_DX9_SDK_VERSION;
        parameters.bAllowWHQLChecks = FALSE;
        IDxDiagContainer* root = nullptr;
        IDxDiagContainer* system = nullptr;
        if (SUCCEEDED(provider->Initialize(&parameters)) && SUCCEEDED(provider->GetRootContainer(&root)) &&
            SUCCEEDED(root->GetChildContainer(L"DxDiag_SystemInfo", &system)))
            ReadSystemInfo(system, version);
        if (system) system->Release();
        if (root) root->Release();
        provider->Release();
    }
    if (SUCCEEDED(initialised)) CoUninitialize();
    return version.major != 0;
}

// ---- The files ----

constexpr uint64_t Version(uint64_t a, uint64_t b, uint64_t c, uint64_t d) { return a << 48 | b << 32 | c << 16 | d; }

enum class Test { AtLeast, ByFirstField, Present };

// One row: the file, its test and the version it proves. ByFirstField
// compares a file whose first field is 4 with `atLeast`, one whose first
// field is 5 with `atLeastInFive`.
struct FileRow {
    const char* file;
    Test test;
    uint64_t atLeast, atLeastInFive;
    DirectXVersion proves;
};

constexpr FileRow kFileRows[] = {
    {"\\ddraw.dll", Test::AtLeast, Version(4, 2, 0, 95), 0, {1, 0, ' '}},
    {"\\ddraw.dll", Test::AtLeast, Version(4, 3, 0, 1096), 0, {2, 0, ' '}},
    {"\\ddraw.dll", Test::AtLeast, Version(4, 4, 0, 68), 0, {3, 0, ' '}},
    {"\\d3drg8x.dll", Test::AtLeast, Version(4, 4, 0, 70), 0, {3, 0, 'a'}},
    {"\\ddraw.dll", Test::AtLeast, Version(4, 5, 0, 155), 0, {5, 0, ' '}},
    {"\\ddraw.dll", Test::AtLeast, Version(4, 6, 0, 318), 0, {6, 0, ' '}},
    {"\\ddraw.dll", Test::AtLeast, Version(4, 6, 0, 436), 0, {6, 1, ' '}},
    {"\\dplayx.dll", Test::AtLeast, Version(4, 6, 3, 518), 0, {6, 1, 'a'}},
    {"\\ddraw.dll", Test::AtLeast, Version(4, 7, 0, 700), 0, {7, 0, ' '}},
    {"\\dinput.dll", Test::AtLeast, Version(4, 7, 0, 716), 0, {7, 0, 'a'}},
    {"\\ddraw.dll", Test::ByFirstField, Version(4, 8, 0, 400), Version(5, 1, 2258, 400), {8, 0, ' '}},
    {"\\d3d8.dll", Test::ByFirstField, Version(4, 8, 1, 881), Version(5, 1, 2600, 881), {8, 1, ' '}},
    {"\\d3d8.dll", Test::ByFirstField, Version(4, 8, 1, 901), Version(5, 1, 2600, 901), {8, 1, 'a'}},
    {"\\mpg2splt.ax", Test::AtLeast, Version(6, 3, 1, 885), 0, {8, 1, 'b'}},
    {"\\dpnet.dll", Test::ByFirstField, Version(4, 9, 0, 134), Version(5, 2, 3677, 134), {8, 2, ' '}},
    {"\\d3d9.dll", Test::Present, 0, 0, {9, 0, ' '}},
    {"\\d3d10.dll", Test::Present, 0, 0, {10, 0, ' '}},
    {"\\d3d11.dll", Test::Present, 0, 0, {11, 0, ' '}},
};

// The four fields of a file's version as one number; false when its version
// resource cannot be read.
bool FileVersionOf(const char* folder, const char* file, uint64_t& version) {
    char path[MAX_PATH + 32];
    FormatString(path, sizeof path, "%s%s", folder, file);
    FileVersionInfo info;
    GetFileVersionInfoStrings(path, &info);
    if (info.Major == 0xFFFFFFFF) return false;
    version = Version(info.Major & 0xFFFF, info.Minor & 0xFFFF, info.Build & 0xFFFF, info.Revision & 0xFFFF);
    return true;
}

bool Holds(const FileRow& row, uint64_t version) {
    switch (row.test) {
    case Test::AtLeast: return version >= row.atLeast;
    case Test::ByFirstField: {
        const uint64_t first = version >> 48;
        return (first == 4 && version >= row.atLeast) || (first == 5 && version >= row.atLeastInFive);
    }
    case Test::Present: return true;
    }
    return false;
}

// Each row that holds overrides the rows before it.
void ReadFileVersions(DirectXVersion& version) {
    char folder[MAX_PATH];
    const UINT length = GetSystemDirectoryA(folder, sizeof folder);
    if (length == 0 || length >= sizeof folder) return;
    for (const FileRow& row : kFileRows) {
        uint64_t fileVersion = 0;
        if (FileVersionOf(folder, row.file, fileVersion) && Holds(row, fileVersion)) version = row.proves;
    }
}

} // namespace

void CSoftwareInterface::DetectDirectX() {
    // DirectX is Windows' own; another system has none to report.
    if (vexa::platform::hostSystem()) return;
    DirectXVersion version;
    if (!AskProvider(version)) {
        version = DirectXVersion{};
        ReadFileVersions(version);
    }
    if (version.major == 0 && version.minor == 0) return;
    const char letter =
        version.letter == '\0' ? ' ' : static_cast<char>(std::tolower(static_cast<unsigned char>(version.letter)));
    if (letter == ' ')
        FormatString(m_szDirectX, sizeof m_szDirectX, "%d.%d", version.major, version.minor);
    else
        FormatString(m_szDirectX, sizeof m_szDirectX, "%d.%d%c", version.major, version.minor, letter);
}
