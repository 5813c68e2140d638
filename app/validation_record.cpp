#include "app/validation_record.h"

#include <cstring>
#include <string>

#include "app/info_parser.h"
#include "app/validation_fields.h"
#include "app/vexa_app.h"
#include "platform/text.h"
#include "platform/threads.h"
#include "sdk/core/helpers.h"

namespace {

using vexa::validation::kAesBlockBytes;

// A field's wide text: "%s," within 256 characters, so at most 254 of the
// text's own characters and the comma.
constexpr size_t kFieldChars = 256;

std::string ToAnsi(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string bytes(size_t(size), '\0');
    if (WideCharToMultiByte(CP_ACP, 0, text, -1, bytes.data(), size, nullptr, nullptr) <= 0) return {};
    bytes.resize(std::strlen(bytes.c_str()));
    return bytes;
}

std::string Hex(const uint8_t* bytes, size_t count, bool upper) {
    static const char kLower[] = "0123456789abcdef";
    static const char kUpper[] = "0123456789ABCDEF";
    const char* digits = upper ? kUpper : kLower;
    std::string text;
    text.reserve(count * 2);
    for (size_t i = 0; i < count; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0xF];
    }
    return text;
}

// The digest block: Whirlpool and MD5 chained over the encrypted fields,
// scrambled, as 38 upper-case digits and 10 spaces, encrypted like a field.
void AppendDigestBlock(CvexaApp& app) {
    using namespace vexa::validation;
    uint8_t* record = app.m_pValidationRecord.get();
    const size_t used = size_t(app.m_iValidationRecordLength);
    const WhirlpoolDigest w1 = Whirlpool(record, used);
    const std::string h1 = Hex(w1.data(), w1.size(), false);
    const Md5Digest m1 = Md5(h1.data(), h1.size());
    const std::string h2 = Hex(m1.data(), m1.size(), false);
    const WhirlpoolDigest w2 = Whirlpool(h2.data(), h2.size());
    const std::string h3 = Hex(w2.data(), w2.size(), false);
    const Md5Digest m2 = Md5(h3.data(), h3.size());

    uint8_t scrambled[kScrambledDigestBytes] = {};
    std::memcpy(scrambled, m2.data(), m2.size());
    ScrambleDigest(scrambled);

    uint8_t block[kDigestBlockBytes];
    std::memset(block, ' ', sizeof block);
    const std::string digits = Hex(scrambled, sizeof scrambled, true);
    std::memcpy(block, digits.data(), digits.size());
    if (!EncryptBlocks(FieldKey(app), block, sizeof block)) return;
    // The record buffer keeps room for the digest block beyond the fields.
    std::memcpy(record + used, block, sizeof block);
    app.m_iValidationRecordLength += int(sizeof block);
}

} // namespace

void AppendValidationField(const wchar_t* text, CvexaApp& app) {
    wchar_t field[kFieldChars];
    FormatStringW(field, kFieldChars, L"%s,", text ? text : L"");
    // A text cut by the bound loses its comma: the field always ends in one.
    const size_t length = std::wcslen(field);
    if (length == kFieldChars - 1 && field[length - 1] != L',') field[length - 1] = L',';

    std::string bytes = ToAnsi(field);
    const size_t n = bytes.size();
    const size_t p = (n + kAesBlockBytes) / kAesBlockBytes * kAesBlockBytes;
    const size_t used = size_t(app.m_iValidationRecordLength);
    if (used + p > CvexaApp::kValidationFieldBytes) return;
    bytes.resize(p, ' ');
    if (!vexa::validation::EncryptBlocks(vexa::validation::FieldKey(app), reinterpret_cast<uint8_t*>(bytes.data()), p))
        return;
    std::memcpy(app.m_pValidationRecord.get() + used, bytes.data(), p);
    app.m_iValidationRecordLength += int(p);
}

void ScrambleDigest(uint8_t* bytes) {
    using namespace vexa::validation;
    const DWORD t1 = timeGetTime();
    timeGetTime();
    const DWORD t3 = timeGetTime();
    const uint32_t a = t1 % 16;
    bytes[16] = uint8_t(t3 % 16);
    bytes[17] = uint8_t(t3 % 256);
    bytes[18] = uint8_t((0x80 + a) ^ bytes[17]);
    for (size_t j = 0; j < 4; ++j) {
        const uint32_t word = kScrambleWords[kScrambleIndexes[a][j]];
        for (size_t b = 0; b < 4; ++b) bytes[4 * j + b] ^= uint8_t(word >> (8 * b));
    }
}

void BuildValidationRecord(CvexaApp& app) {
    if (app.g_bNoValidation || !app.m_pValidationRecord) return;
    std::memset(app.m_pValidationRecord.get(), 0, CvexaApp::kValidationRecordBytes);
    app.m_iValidationRecordLength = 0;
    vexa::validation::ForEachRecordField(app, [&app](const wchar_t* text) { AppendValidationField(text, app); });
    AppendDigestBlock(app);
}
