// The update check's reading of the maker's version file: a text that
// begins with "[BRENIK_VER]" and holds entries ended by ";" (carriage
// returns and line feeds dropped anywhere; the header belongs to the first
// entry). The first entry that contains "vexa" decides: "vexa=%d.%d.%d.%d"
// gives the offered version words; any other form ends the search.
#pragma once

namespace vexa::update {

constexpr char kVersionFileHeader[] = "[BRENIK_VER]";
constexpr wchar_t kAgent[] = L"Brenik";
// The one read of the reply.
constexpr unsigned kMaxReplyBytes = 512;

// 1 when `text` is at least as long as `prefix` and begins with it.
int IsPrefixOf(const char* text, const char* prefix);

// True with the four words when the file offers a version of this program.
bool FindOfferedVersion(const char* text, int words[4]);

// ((major x 10 + minor) x 10 + build) x 10 + revision.
long long VersionNumber(const int words[4]);

} // namespace vexa::update
