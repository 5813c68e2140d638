#include "tests/app/validation_test_support.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "sdk/core/file_version.h"
#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

namespace fs = std::filesystem;

std::string ToHex(const std::string& text) {
    std::string hex;
    char digits[3];
    for (unsigned char c : text) {
        std::snprintf(digits, sizeof digits, "%02x", c);
        hex += digits;
    }
    return hex;
}

// A private folder for OpenSSL's input and output files.
class Scratch {
public:
    Scratch() {
        std::string pattern = (fs::temp_directory_path() / "validation-XXXXXX").string();
        path_ = mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~Scratch() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    // Runs `command` (which names the files "in" and "out") with "in"
    // holding `input`; what it wrote to "out".
    std::string Run(const std::string& input, const std::string& command) const {
        const std::string in = path_ + "/in", out = path_ + "/out";
        std::ofstream(in, std::ios::binary).write(input.data(), std::streamsize(input.size()));
        const std::string line = "cd '" + path_ + "' && " + command + " 2>err";
        EXPECT_EQ(std::system(line.c_str()), 0) << line << ": " << readFile(path_ + "/err");
        return readFile(out);
    }

private:
    std::string path_;
};

} // namespace

const std::string kFieldKeyHex = ToHex(std::string("1540") + "vexa.valid#7");
const std::string kRecordKeyHex = ToHex("Vx-record/key+16");

std::string Decrypt(const std::string& bytes, const std::string& keyHex) {
    return Scratch().Run(bytes, "openssl enc -d -aes-128-ecb -nopad -in in -out out -K " + keyHex);
}

std::string DigestHex(const std::string& bytes, const char* algorithm) {
    const std::string printed = Scratch().Run(
        bytes, std::string("openssl dgst -provider legacy -provider default -r -out out -") + algorithm + " in");
    return printed.substr(0, printed.find(' '));
}

std::string HexToBytes(const std::string& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes += char(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

std::vector<std::string> SplitFields(const std::string& plain) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t end = 16; end <= plain.size(); end += 16) {
        const size_t comma = plain.find_last_not_of(' ', end - 1);
        const size_t spaces = end - 1 - comma;
        if (comma == std::string::npos || comma < start || plain[comma] != ',' || spaces < 1 || spaces > 16) continue;
        fields.push_back(plain.substr(start, comma - start));
        start = end;
    }
    EXPECT_EQ(start, plain.size()) << "bytes after the last field";
    return fields;
}

std::string Inflate(const std::string& stream) {
    return Scratch().Run(stream, "python3 -c \"import zlib; open('out', 'wb').write(zlib.decompress(open('in', 'rb').read()))\"");
}

ValidationApp::ValidationApp() {
    FileVersionInfo& version = *app.m_pVersionInfo;
    version.Major = 1, version.Minor = 5, version.Build = 4, version.Revision = 0;
}

std::string ValidationApp::Record() const {
    return std::string(reinterpret_cast<const char*>(app.m_pValidationRecord.get()),
                       size_t(app.m_iValidationRecordLength));
}

} // namespace vexa::test
