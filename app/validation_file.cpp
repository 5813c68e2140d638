#include "app/validation_file.h"

#include <cstdio>
#include <iterator>

#include "app/validation_record.h"
#include "app/vexa_app.h"
#include "platform/safe_file.h"
#include "platform/text.h"
#include "sdk/core/file_version.h"
#include "sdk/core/sdk.h"

namespace vexa::validation {
namespace {

// The record key, kept out of the program's plain texts: each character
// XOR 0x3C.
constexpr uint8_t kRecordKeyText[16] = {'V' ^ 0x3C, 'x' ^ 0x3C, '-' ^ 0x3C, 'r' ^ 0x3C, 'e' ^ 0x3C, 'c' ^ 0x3C,
                                        'o' ^ 0x3C, 'r' ^ 0x3C, 'd' ^ 0x3C, '/' ^ 0x3C, 'k' ^ 0x3C, 'e' ^ 0x3C,
                                        'y' ^ 0x3C, '+' ^ 0x3C, '1' ^ 0x3C, '6' ^ 0x3C};

// "%02d" of the word plus 5, cut to its first two digits.
std::string VersionNumber(uint32_t word) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%02d", int(word) + 5);
    return std::string(digits, 2);
}

} // namespace

AesKey RecordKey() {
    AesKey key{};
    for (size_t i = 0; i < std::size(kRecordKeyText); ++i) key[i] = uint8_t(kRecordKeyText[i] ^ 0x3C);
    return key;
}

std::string HexDigits(const uint8_t* bytes, size_t length) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * length);
    for (size_t i = 0; i < length; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0xF];
    }
    return text;
}

bool BuildEncryptedRecord(CvexaApp& app) {
    BuildValidationRecord(app);
    return EncryptBlocks(RecordKey(), app.m_pValidationRecord.get(), size_t(app.m_iValidationRecordLength));
}

std::string ValidationText(const CvexaApp& app) {
    const uint8_t* record = app.m_pValidationRecord.get();
    std::string text = HexDigits(record, record ? size_t(app.m_iValidationRecordLength) : 0);
    const FileVersionInfo* version = app.m_pVersionInfo;
    for (uint32_t word : {version ? version->Major : 0xFFFFFFFFu, version ? version->Minor : 0xFFFFFFFFu,
                          version ? version->Build : 0xFFFFFFFFu, version ? version->Revision : 0xFFFFFFFFu})
        text += VersionNumber(word);
    return text;
}

} // namespace vexa::validation

void WriteValidationFile(CvexaApp& app, const wchar_t* path) {
    if (app.g_bNoValidation || !path) return;
    BRENIKSDK* sdk = GetSDK();
    uint32_t status = 0;
    if (!sdk || !sdk->Lock(&status, INFINITE)) return;
    if (vexa::validation::BuildEncryptedRecord(app)) {
        const std::string text = vexa::validation::ValidationText(app);
        std::string error;
        vexa::platform::writeSafeFile(vexa::platform::toNarrow(path), text.data(), text.size(), error);
    }
    sdk->Unlock();
}
