// vexa.ini: the [Vexa] section of a Unicode text file beside the program,
// one "Key=value" per line. Reading applies every line after the first one
// that contains "[Vexa]" (later sections included) to the settings, each
// line matched against the keys by substring in a fixed order, the first
// key found winning; writing replaces the file with the section in its
// fixed layout.
#pragma once

#include <string>
#include <vector>

#include "app/settings.h"

struct FileVersionInfo;

constexpr char kSettingsFileName[] = "vexa.ini";
// Lines are read in chunks of at most this many characters.
constexpr size_t kSettingsLineChars = 254;
// A value text, and a written line, hold at most 255 characters.
constexpr size_t kSettingsTextChars = 256;

// The text after the first '=' of a line up to its end or line feed; empty
// for a line without '='.
void IniLineValue(const wchar_t* line, wchar_t (&value)[kSettingsTextChars]);

// Applies one line of the section to the settings; a line without a known
// key or with a value the key does not accept changes nothing.
void ApplySettingsLine(const wchar_t* line, VexaSettings& settings);

// Applies the lines that follow the first line containing "[Vexa]".
void ApplySettingsLines(const std::vector<std::wstring>& lines, VexaSettings& settings);

// The file's text as written: the section line, the program's version and
// one line per key, each ending in a line feed.
std::wstring SettingsFileText(const VexaSettings& settings, const FileVersionInfo& version);

// Reads the file of that name into the settings; a missing or unreadable
// file, or one that is no regular file, changes nothing.
void ReadSettingsFile(const char* path, VexaSettings& settings);
// Replaces the file whole (a kill while writing leaves the old one); false,
// with the reason in `error`, when it cannot be written or its name holds
// something other than a regular file of the user, which stays untouched.
bool WriteSettingsFile(const char* path, const VexaSettings& settings, const FileVersionInfo& version,
                       std::string* error = nullptr);
