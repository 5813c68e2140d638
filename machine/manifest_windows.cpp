// The keys of machine.json's "os.windows" beyond the version fields: the
// version told to programs, the edition, the XP variants, the DirectX
// diagnostic provider, the versions of system files and the registry keys
// that exist.
//
//   "reported_version": {"major": 6, "minor": 2, "build": 9200},
//   "product_info": 1, "media_center": false, "tablet_pc": false,
//   "dxdiag": {"long_english": "DirectX 11", "english": "4.09.0000.0904",
//              "major": 9, "minor": 0, "letter": "c"},
//   "system_files": {"d3d9.dll": "6.1.7600.16385"},
//   "registry_keys": ["SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009"]
#include "machine/manifest_schema.h"
#include "machine/text_scan.h"

#include <algorithm>
#include <cctype>

namespace vexa::machine::schema {
namespace {

uint32_t word32(const json& object, const char* key, const std::string& path, uint32_t fallback) {
    const json* value = member(object, key);
    return value ? uint32_t(unsignedValue(*value, child(path, key), UINT32_MAX)) : fallback;
}

ReportedVersion reportedVersion(const json& value, const std::string& path) {
    expectObject(value, path, {"major", "minor", "build"});
    const ReportedVersion defaults;
    return ReportedVersion{word32(value, "major", path, defaults.majorVersion),
                           word32(value, "minor", path, defaults.minorVersion),
                           word32(value, "build", path, defaults.buildNumber)};
}

DxDiagFacts dxdiag(const json& value, const std::string& path) {
    expectObject(value, path, {"long_english", "english", "major", "minor", "letter"});
    DxDiagFacts facts;
    const auto textOf = [&](const char* key) {
        const json* item = member(value, key);
        return item ? text(*item, child(path, key)) : std::string();
    };
    facts.versionLongEnglish = textOf("long_english");
    facts.versionEnglish = textOf("english");
    facts.letter = textOf("letter");
    if (member(value, "major")) facts.major = word32(value, "major", path, 0);
    if (member(value, "minor")) facts.minor = word32(value, "minor", path, 0);
    return facts;
}

// "6.1.7600.16385": four decimal words.
std::array<uint16_t, 4> fileVersion(const json& value, const std::string& path) {
    const std::string version = text(value, path);
    std::array<uint16_t, 4> words{};
    std::string_view rest = version;
    for (size_t i = 0; i < words.size(); ++i) {
        const size_t dot = rest.find('.');
        uint64_t word = 0;
        const bool last = i + 1 == words.size();
        if ((dot == std::string_view::npos) != last || !parseDecimal(rest.substr(0, dot), word, 0xFFFF))
            fail(path, quoteForMessage(version) + " is not a file version such as \"6.1.7600.16385\"");
        words[i] = uint16_t(word);
        if (!last) rest.remove_prefix(dot + 1);
    }
    return words;
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

} // namespace

void readWindowsDetails(const json& section, WindowsIdentity& identity) {
    const std::string path = "os.windows";
    if (const json* version = member(section, "reported_version"))
        identity.reportedVersion = reportedVersion(*version, child(path, "reported_version"));
    identity.productInfo = word32(section, "product_info", path, identity.productInfo);
    if (const json* flag = member(section, "media_center"))
        identity.mediaCenter = boolean(*flag, child(path, "media_center"));
    if (const json* flag = member(section, "tablet_pc")) identity.tabletPc = boolean(*flag, child(path, "tablet_pc"));
    if (const json* provider = member(section, "dxdiag")) identity.dxdiag = dxdiag(*provider, child(path, "dxdiag"));
    if (const json* files = member(section, "system_files")) {
        const std::string filesPath = child(path, "system_files");
        if (!files->is_object()) fail(filesPath, "expected an object of file name -> version");
        for (const auto& item : files->items()) {
            const std::string where = child(filesPath, item.key());
            if (item.key().empty() || item.key().find_first_of("\\/") != std::string::npos)
                fail(where, "expected the name of a file in the system folder");
            if (!identity.systemFiles.emplace(lowerCase(item.key()), fileVersion(item.value(), where)).second)
                fail(where, "the file is listed twice");
        }
    }
    if (const json* keys = member(section, "registry_keys")) {
        const std::string keysPath = child(path, "registry_keys");
        size_t i = 0;
        for (const json& key : array(*keys, keysPath))
            identity.registryKeys.push_back(text(key, element(keysPath, i++)));
    }
}

} // namespace vexa::machine::schema
