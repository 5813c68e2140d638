#include "app/settings_file.h"

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cwchar>

#include "app/unicode_text_file.h"
#include "sdk/core/file_version.h"
#include "sdk/core/helpers.h"

namespace {

constexpr wchar_t kSectionLine[] = L"[Vexa]";

enum class KeyKind {
    FontName,      // the value text
    FontSize,      // "Key=%d", stored as it is
    Colour,        // "Key=%X", read as RRGGBB
    Switch,        // "Key=%d" as 0/1, else ON / OFF
    AccessMode,    // "PCI=%d" clamped to 0..2, else ON / OFF
    BusCount,      // "MaxPCIBus=%d" clamped to 1..256
    NumericSwitch  // "Key=%d" as 0/1 only
};

struct KeyRule {
    const wchar_t* match;   // the substring that selects the rule
    const wchar_t* prefix;  // what a line must begin with for the numeric form
    KeyKind kind;
    int VexaSettings::*number = nullptr;
    wchar_t (VexaSettings::*name)[VexaSettings::kFontNameChars] = nullptr;
};

// In matching order: "ACPI" before "PCI" and "MaxPCIBus" before "PCI"
// (both contain "PCI"); the '=' of "Display=", "Chipset=" and "SPD=" keeps
// "UseDisplayAPI" lines from matching "Display".
const KeyRule kKeyRules[] = {
    {L"TextFontName", L"TextFontName=", KeyKind::FontName, nullptr, &VexaSettings::TextFontName},
    {L"LabelFontName", L"LabelFontName=", KeyKind::FontName, nullptr, &VexaSettings::LabelFontName},
    {L"TextFontSize", L"TextFontSize=", KeyKind::FontSize, &VexaSettings::TextFontSize},
    {L"LabelFontSize", L"LabelFontSize=", KeyKind::FontSize, &VexaSettings::LabelFontSize},
    {L"TextFontColor", L"TextFontColor=", KeyKind::Colour},
    {L"ACPI", L"ACPI=", KeyKind::Switch, &VexaSettings::ACPI},
    {L"DMI", L"DMI=", KeyKind::Switch, &VexaSettings::DMI},
    {L"Sensor", L"Sensor=", KeyKind::Switch, &VexaSettings::Sensor},
    {L"SMBus", L"SMBus=", KeyKind::Switch, &VexaSettings::SMBus},
    {L"Display=", L"Display=", KeyKind::Switch, &VexaSettings::Display},
    {L"UseDisplayAPI", L"UseDisplayAPI=", KeyKind::Switch, &VexaSettings::UseDisplayAPI},
    {L"MaxPCIBus", L"MaxPCIBus=", KeyKind::BusCount, &VexaSettings::MaxPCIBus},
    {L"PCI", L"PCI=", KeyKind::AccessMode, &VexaSettings::PCI},
    {L"BusClock", L"BusClock=", KeyKind::NumericSwitch, &VexaSettings::BusClock},
    {L"Chipset=", L"Chipset=", KeyKind::Switch, &VexaSettings::Chipset},
    {L"SPD=", L"SPD=", KeyKind::Switch, &VexaSettings::SPD},
    {L"CheckUpdates", L"CheckUpdates=", KeyKind::Switch, &VexaSettings::CheckUpdates},
};

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v' || c == L'\f'; }

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// The numeric form of a key as a "%d" (base 10) or "%X" (base 16)
// conversion reads it right after the prefix: blanks, a sign (decimal) or
// "0x" (hexadecimal), at least one digit. Decimal values saturate at the
// int range, hexadecimal ones at 32 bits.
bool ScanNumber(const wchar_t* line, const wchar_t* prefix, int base, long long& value) {
    const size_t prefixLength = std::wcslen(prefix);
    if (std::wcsncmp(line, prefix, prefixLength) != 0) return false;
    const wchar_t* p = line + prefixLength;
    while (IsBlank(*p)) ++p;
    bool negative = false;
    if (base == 10 && (*p == L'+' || *p == L'-')) negative = *p++ == L'-';
    if (base == 16 && p[0] == L'0' && (p[1] == L'x' || p[1] == L'X') && HexDigit(p[2]) >= 0) p += 2;
    const long long limit = base == 10 ? (negative ? -(long long)INT_MIN : INT_MAX) : 0xFFFFFFFFLL;
    long long magnitude = 0;
    int digits = 0;
    for (int digit; (digit = HexDigit(*p)) >= 0 && digit < base; ++p, ++digits)
        magnitude = std::min(limit, magnitude * base + digit);
    if (digits == 0) return false;
    value = negative ? -magnitude : magnitude;
    return true;
}

// 1 for a value beginning with "ON", 0 for "OFF", -1 for anything else.
int OnOffValue(const wchar_t* line) {
    wchar_t value[kSettingsTextChars];
    IniLineValue(line, value);
    if (std::wcsncmp(value, L"ON", 2) == 0) return 1;
    if (std::wcsncmp(value, L"OFF", 3) == 0) return 0;
    return -1;
}

// 0x00BBGGRR <-> 0xRRGGBB.
COLORREF SwapRedAndBlue(uint32_t colour) {
    return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

void ApplyRule(const KeyRule& rule, const wchar_t* line, VexaSettings& settings) {
    long long number = 0;
    const bool numeric = rule.kind != KeyKind::FontName &&
                         ScanNumber(line, rule.prefix, rule.kind == KeyKind::Colour ? 16 : 10, number);
    switch (rule.kind) {
    case KeyKind::FontName: {
        wchar_t value[kSettingsTextChars];
        IniLineValue(line, value);
        std::wcsncpy(settings.*rule.name, value, VexaSettings::kFontNameChars - 1);
        (settings.*rule.name)[VexaSettings::kFontNameChars - 1] = L'\0';
        return;
    }
    case KeyKind::FontSize:
        if (numeric) settings.*rule.number = static_cast<int>(number);
        return;
    case KeyKind::Colour:
        if (numeric) settings.TextFontColor = SwapRedAndBlue(static_cast<uint32_t>(number));
        return;
    case KeyKind::Switch:
    case KeyKind::AccessMode: {
        if (numeric) {
            settings.*rule.number = rule.kind == KeyKind::Switch ? (number != 0 ? 1 : 0)
                                                                 : static_cast<int>(std::clamp(number, 0LL, 2LL));
        } else if (const int onOff = OnOffValue(line); onOff >= 0) {
            settings.*rule.number = onOff;
        }
        return;
    }
    case KeyKind::BusCount:
        if (numeric) settings.*rule.number = static_cast<int>(std::clamp(number, 1LL, 256LL));
        return;
    case KeyKind::NumericSwitch:
        if (numeric) settings.*rule.number = number != 0 ? 1 : 0;
        return;
    }
}

void AppendLine(std::wstring& text, const wchar_t* format, ...) {
    wchar_t line[kSettingsTextChars];
    va_list args;
    va_start(args, format);
    FormatStringWV(line, kSettingsTextChars, format, args);
    va_end(args);
    text += line;
    text += L'\n';
}

int AsSwitch(int value) { return value ? 1 : 0; }

} // namespace

void IniLineValue(const wchar_t* line, wchar_t (&value)[kSettingsTextChars]) {
    value[0] = L'\0';
    const wchar_t* equals = line ? std::wcschr(line, L'=') : nullptr;
    if (!equals) return;
    size_t length = 0;
    for (const wchar_t* p = equals + 1; *p && *p != L'\n' && length + 1 < kSettingsTextChars; ++p)
        value[length++] = *p;
    value[length] = L'\0';
}

void ApplySettingsLine(const wchar_t* line, VexaSettings& settings) {
    for (const KeyRule& rule : kKeyRules) {
        if (std::wcsstr(line, rule.match)) {
            ApplyRule(rule, line, settings);
            return;
        }
    }
}

void ApplySettingsLines(const std::vector<std::wstring>& lines, VexaSettings& settings) {
    bool inSection = false;
    for (const std::wstring& line : lines) {
        if (inSection) ApplySettingsLine(line.c_str(), settings);
        else inSection = std::wcsstr(line.c_str(), kSectionLine) != nullptr;
    }
}

std::wstring SettingsFileText(const VexaSettings& s, const FileVersionInfo& version) {
    std::wstring text;
    AppendLine(text, L"%s", kSectionLine);
    AppendLine(text, L"VERSION=%d.%d.%d.%d", static_cast<int>(version.Major), static_cast<int>(version.Minor),
               static_cast<int>(version.Build), static_cast<int>(version.Revision));
    AppendLine(text, L"TextFontName=%s", s.TextFontName);
    AppendLine(text, L"TextFontSize=%d", s.TextFontSize);
    AppendLine(text, L"TextFontColor=%06X", static_cast<unsigned>(SwapRedAndBlue(s.TextFontColor)));
    AppendLine(text, L"LabelFontName=%s", s.LabelFontName);
    AppendLine(text, L"LabelFontSize=%d", s.LabelFontSize);
    AppendLine(text, L"ACPI=%d", AsSwitch(s.ACPI));
    AppendLine(text, L"PCI=%d", s.PCI);
    AppendLine(text, L"MaxPCIBus=%d", s.MaxPCIBus);
    AppendLine(text, L"DMI=%d", AsSwitch(s.DMI));
    AppendLine(text, L"Sensor=%d", AsSwitch(s.Sensor));
    AppendLine(text, L"SMBus=%d", AsSwitch(s.SMBus));
    AppendLine(text, L"Display=%d", AsSwitch(s.Display));
    AppendLine(text, L"UseDisplayAPI=%d", AsSwitch(s.UseDisplayAPI));
    AppendLine(text, L"BusClock=%d", AsSwitch(s.BusClock));
    AppendLine(text, L"Chipset=%d", AsSwitch(s.Chipset));
    AppendLine(text, L"SPD=%d", AsSwitch(s.SPD));
    AppendLine(text, L"CheckUpdates=%d", AsSwitch(s.CheckUpdates));
    return text;
}

void ReadSettingsFile(const char* path, VexaSettings& settings) {
    std::vector<std::wstring> lines;
    if (ReadUnicodeTextLines(path, kSettingsLineChars, lines)) ApplySettingsLines(lines, settings);
}

bool WriteSettingsFile(const char* path, const VexaSettings& settings, const FileVersionInfo& version,
                       std::string* error) {
    return WriteUnicodeTextFile(path, SettingsFileText(settings, version), error);
}
