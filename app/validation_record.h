// The validation record: about a hundred values of the machine read
// through the query layer, each a comma-terminated text field padded with
// spaces to whole 16-byte blocks and encrypted (AES-128, ECB) with the
// field key, then sealed by a digest block (Whirlpool and MD5 over the
// encrypted fields, scrambled with the millisecond clock). The record is
// built into the application's record buffer; the validation file and the
// submission carry it out of the program.
#pragma once

#include <cstddef>
#include <cstdint>

#include "app/validation_crypto.h"

class CvexaApp;

// Builds the record into the application's record buffer; nothing when the
// application must not validate. The caller holds the library lock.
void BuildValidationRecord(CvexaApp& app);
// Appends one field made of `text` (at most 254 characters are used) and a
// comma; a field that no longer fits the fields' room is dropped.
void AppendValidationField(const wchar_t* text, CvexaApp& app);
// Fills bytes 16 to 18 of a 19-byte buffer whose first 16 hold an MD5
// digest from the millisecond clock, and mixes words of the scramble table
// into the digest.
void ScrambleDigest(uint8_t* bytes);

namespace vexa::validation {

constexpr size_t kDigestBlockBytes = 48;
constexpr size_t kScrambledDigestBytes = 19;

// The name of a processor logo by class code.
struct ProcessorLogoRow {
    uint32_t classCode;
    const wchar_t* name;
};
// The logo name of the first row with that class code; null when no row
// has it (a row with an empty name gives an empty name).
const wchar_t* ProcessorLogoName(uint32_t classCode);

// The key of every field and of the digest block: the low bytes of the
// program's four version words plus '0', then the fixed key text.
AesKey FieldKey(const CvexaApp& app);

// The scramble tables: 32 words, and 16 rows of 4 word numbers.
extern const uint32_t kScrambleWords[32];
extern const uint8_t kScrambleIndexes[16][4];

} // namespace vexa::validation
