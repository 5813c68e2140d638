// The validation file (".vvf"): the record, encrypted once more with the
// record key, as lower-case hexadecimal text followed by the program's four
// version words plus 5 as two digits each. The submission carries the same
// text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "app/validation_crypto.h"

class CvexaApp;

namespace vexa::validation {

// The key of the whole record, applied over the encrypted fields.
AesKey RecordKey();
// Each byte as two lower-case hexadecimal digits, in byte order.
std::string HexDigits(const uint8_t* bytes, size_t length);
// Builds the record into the application's record buffer and encrypts it
// with the record key; false when it could not be encrypted. The caller
// holds the library lock.
bool BuildEncryptedRecord(CvexaApp& app);
// The record's text as the file and the submission carry it: each byte of
// the application's record as two lower-case digits, then the version
// numbers ("%02d" of each word plus 5, cut to two digits).
std::string ValidationText(const CvexaApp& app);

} // namespace vexa::validation

// Builds the record under the library lock, encrypts it with the record key
// and writes the validation file at `path`, replacing one that is there.
// Nothing when the application must not validate, the lock is not obtained
// or the file cannot be written; no message in any case.
void WriteValidationFile(CvexaApp& app, const wchar_t* path);
