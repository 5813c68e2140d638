// What the validation tests share: OpenSSL's command-line tool as the
// independent reader of the record's cipher and digests, the record's
// plain fields, and an application object of version 1.5.4.0.
#pragma once

#include <string>
#include <vector>

#include "app/vexa_app.h"

namespace vexa::test {

// The field key of a program with version 1.5.4.0 and the record key, as
// hexadecimal digits, written out by hand.
extern const std::string kFieldKeyHex;
extern const std::string kRecordKeyHex;

// AES-128-ECB decryption of whole blocks with the key, by OpenSSL.
std::string Decrypt(const std::string& bytes, const std::string& keyHex = kFieldKeyHex);
// The lower-case hexadecimal digest OpenSSL gives for the bytes
// ("whirlpool", "md5").
std::string DigestHex(const std::string& bytes, const char* algorithm);
std::string HexToBytes(const std::string& hex);
// A zlib stream inflated by Python's zlib.
std::string Inflate(const std::string& stream);
// The plain fields of a decrypted record: each field is its text and a
// comma, then 1 to 16 spaces up to a 16-byte boundary.
std::vector<std::string> SplitFields(const std::string& plain);

struct ValidationApp {
    ValidationApp();
    std::string Record() const;
    CvexaApp app;
};

} // namespace vexa::test
