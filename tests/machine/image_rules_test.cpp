// The rules every machine image is loaded under: files only from inside
// the image folder, one byte budget for all its files, messages safe for a
// terminal, and a folder that holds no image refused where a user names it.
#include "machine/image_files.h"
#include "machine/image_loader.h"
#include "machine/text_scan.h"

#include "tests/support/image_dir.h"

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>

namespace vexa::machine {
namespace {

namespace fs = std::filesystem;
using test::ImageDir;

// A file beside the image folder, which no image may read.
class Outside {
public:
    Outside() : path_(fs::temp_directory_path() / "outside-the-image") {
        fs::create_directories(path_);
        std::ofstream(path_ / "secret.bin", std::ios::binary) << std::string(16, 'S');
    }
    ~Outside() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    std::string folder() const { return path_.string(); }
    std::string file() const { return (path_ / "secret.bin").string(); }

private:
    fs::path path_;
};

struct HostileCase {
    const char* name;
    // Builds the image; `outside` is the folder beside it.
    void (*build)(const ImageDir& image, const Outside& outside);
    const char* message;
};

void link(const ImageDir& image, const std::string& target, const std::string& name) {
    fs::create_directories((fs::path(image.path()) / name).parent_path());
    fs::create_symlink(target, fs::path(image.path()) / name);
}

void memoryFile(const ImageDir& image, const std::string& file) {
    image.write("machine.json", R"({"memory": [{"base": 0, "size": 4096, "file": ")" + file + R"("}]})");
}

const HostileCase kHostile[] = {
    {"memory file climbing out",
     [](const ImageDir& image, const Outside&) { memoryFile(image, "../outside-the-image/secret.bin"); },
     "../outside-the-image/secret.bin: leaves the image folder"},
    {"memory file climbing out through a folder",
     [](const ImageDir& image, const Outside&) { memoryFile(image, "spd/../../outside-the-image/secret.bin"); },
     "leaves the image folder"},
    {"memory file by absolute path",
     [](const ImageDir& image, const Outside& outside) { memoryFile(image, outside.file()); },
     "an absolute path; files are named relative to the image folder"},
    {"memory file linked out",
     [](const ImageDir& image, const Outside& outside) {
         link(image, outside.file(), "ram.bin");
         memoryFile(image, "ram.bin");
     },
     "ram.bin: a link that leads out of the image folder"},
    {"memory file in a folder linked out",
     [](const ImageDir& image, const Outside& outside) {
         link(image, outside.folder(), "dumps");
         memoryFile(image, "dumps/secret.bin");
     },
     "dumps/secret.bin: a link that leads out of the image folder"},
    {"cpuid.txt linked out",
     [](const ImageDir& image, const Outside& outside) { link(image, outside.file(), "cpuid.txt"); },
     "cpuid.txt: a link that leads out"},
    {"smbios.bin linked out",
     [](const ImageDir& image, const Outside& outside) { link(image, outside.file(), "smbios.bin"); },
     "smbios.bin: a link that leads out"},
    {"SPD module linked out",
     [](const ImageDir& image, const Outside& outside) { link(image, outside.file(), "spd/0.bin"); },
     "spd/0.bin: a link that leads out"},
    {"spd folder linked out",
     [](const ImageDir& image, const Outside& outside) { link(image, outside.folder(), "spd"); },
     "spd: a link that leads out"},
    {"smbus device climbing out",
     [](const ImageDir& image, const Outside&) {
         image.write("machine.json",
                     R"({"smbus": {"devices": [{"address": "0x50", "spd": "../../../../../../etc/passwd"}]}})");
     },
     "etc/passwd: leaves the image folder"},
    {"smbus register image by absolute path",
     [](const ImageDir& image, const Outside&) {
         image.write("machine.json", R"({"smbus": {"devices": [{"address": "0x2c", "registers": "/etc/passwd"}]}})");
     },
     "/etc/passwd: an absolute path"},
    {"acpi table linked out",
     [](const ImageDir& image, const Outside& outside) { link(image, outside.file(), "acpi/DSDT"); },
     "acpi/DSDT: a link that leads out"},
    {"acpi folder linked out",
     [](const ImageDir& image, const Outside& outside) { link(image, outside.folder(), "acpi"); },
     "acpi: a link that leads out"},
    {"drive sector climbing out",
     [](const ImageDir& image, const Outside&) {
         image.write("machine.json", R"({"drives": [{"identify": "../outside-the-image/secret.bin"}]})");
     },
     "leaves the image folder"},
    {"drive sector linked out",
     [](const ImageDir& image, const Outside& outside) {
         link(image, outside.file(), "drives/0.identify.bin");
         image.write("machine.json", R"({"drives": [{"identify": "drives/0.identify.bin"}]})");
     },
     "a link that leads out"},
};

class HostileImages : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileImages, AreRefusedWithAMessage) {
    const Outside outside;
    const ImageDir image;
    GetParam().build(image, outside);
    const std::string error = image.loadError();
    EXPECT_NE(error.find(GetParam().message), std::string::npos) << error;
    EXPECT_EQ(error.find("SSSS"), std::string::npos) << "the outside file was read";
}

INSTANTIATE_TEST_SUITE_P(Images, HostileImages, ::testing::ValuesIn(kHostile),
                         [](const auto& test) {
                             std::string name;
                             for (const char* c = test.param.name; *c; ++c)
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return name;
                         });

TEST(ImageRules, LinksAndDotsThatStayInsideAreFollowed) {
    const ImageDir image;
    image.write("dumps/ram.bin", std::string(16, '\x5A'));
    link(image, "dumps/ram.bin", "ram.bin");
    image.write("machine.json",
                R"({"memory": [{"base": 0, "size": 16, "file": "ram.bin"},
                               {"base": 4096, "size": 16, "file": "dumps/../dumps/./ram.bin"}]})");
    const auto machine = image.load();
    ASSERT_TRUE(machine);
    uint8_t bytes[2] = {};
    ASSERT_TRUE(machine->readPhysical(4096 + 15, std::span(bytes, 1)));
    EXPECT_EQ(bytes[0], 0x5A);
}

// One file named again and again counts each time against the budget,
// which stops the load before it reads anything: a sparse file costs no
// disk, and the refusal comes before its bytes are read.
TEST(ImageRules, AllFilesTogetherStayWithinTheBudget) {
    const ImageDir image;
    constexpr uint64_t kFileBytes = 64 * 1024 * 1024;
    {
        std::ofstream file(fs::path(image.path()) / "ram.bin", std::ios::binary);
    }
    fs::resize_file(fs::path(image.path()) / "ram.bin", kFileBytes);
    std::string regions;
    for (int i = 0; i < 50; ++i)
        regions += std::string(i ? "," : "") + R"({"base": ")" + std::to_string(uint64_t(i) * kFileBytes) +
                   R"(", "size": ")" + std::to_string(kFileBytes) + R"(", "file": "ram.bin"})";
    image.write("machine.json", R"({"memory": [)" + regions + "]}");
    const auto start = std::chrono::steady_clock::now();
    const std::string error = image.loadError();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // The manifest and three files leave less than a fourth file's bytes.
    EXPECT_NE(error.find("memory[3]: "), std::string::npos) << error;
    EXPECT_NE(error.find("more than 268435456 bytes in all"), std::string::npos) << error;
    EXPECT_LT(seconds, 1.0);
}

TEST(ImageRules, ReadsAreCountedAndLimitedPerFile) {
    const ImageDir image;
    image.write("a.bin", std::string(100, 'a'));
    ImageFiles files(image.path());
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_EQ(files.read("a.bin", 100, bytes, error), FileStatus::Ok);
    EXPECT_EQ(files.read("a.bin", 100, bytes, error), FileStatus::Ok);
    EXPECT_EQ(files.bytesRead(), 200u);
    EXPECT_EQ(files.read("a.bin", 99, bytes, error), FileStatus::Error);
    EXPECT_NE(error.find("a.bin: larger than 99 bytes"), std::string::npos) << error;
    EXPECT_EQ(files.read("none.bin", 99, bytes, error), FileStatus::Missing);
    EXPECT_EQ(error, "");
}

// Names from the image reach messages; control sequences in them must not
// reach the terminal.
TEST(ImageRules, NamesInMessagesAreEscaped) {
    const ImageDir image;
    image.write("acpi/\x1b]0;owned\x07", "not a table");
    const std::string error = image.loadError();
    EXPECT_NE(error.find("acpi/\\x1b]0;owned\\x07: "), std::string::npos) << error;
    for (char c : error) EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7F) << error;
}

TEST(ImageRules, EscapingKeepsTextAndUtf8AndEscapesControls) {
    const struct {
        std::string text, escaped;
    } cases[] = {
        {"plain/path.bin: 12", "plain/path.bin: 12"},
        {"\x1b[31mred", "\\x1b[31mred"},
        {std::string("nul\0in", 6), "nul\\x00in"},
        {"tab\tdel\x7f", "tab\\x09del\\x7f"},
        {"\xea\xb8\xb0\xea\xb3\x84", "\xea\xb8\xb0\xea\xb3\x84"},  // Korean stays
        {"\xc2\x9b" "31m", "\\xc2\\x9b31m"},                        // C1 CSI in UTF-8
        {"\x9b" "31m", "\\x9b31m"},                                 // CSI as a raw byte
        {"\xe2\x82", "\\xe2\\x82"},                                 // cut sequence
        {"\xed\xa0\x80", "\\xed\\xa0\\x80"},                        // surrogate
        {"\xc0\xaf", "\\xc0\\xaf"},                                 // overlong '/'
    };
    for (const auto& c : cases) EXPECT_EQ(escapeForMessage(c.text), c.escaped) << c.escaped;
}

TEST(ImageRules, FolderWithoutImageFilesIsRefusedWhereTheUserNamesIt) {
    const ImageDir image;
    image.write("notes.txt", "not part of an image");
    std::string error;
    EXPECT_FALSE(loadMachineImage(image.path(), error, ImageContent::AtLeastOneFile));
    EXPECT_NE(error.find(image.path() + ": not a machine image (it holds none of machine.json cpuid.txt"),
              std::string::npos)
        << error;
    EXPECT_TRUE(loadMachineImage(image.path(), error, ImageContent::Any)) << error;
    image.write("spd/readme", "");
    EXPECT_TRUE(loadMachineImage(image.path(), error, ImageContent::AtLeastOneFile)) << error;
    EXPECT_FALSE(loadMachineImage("/", error, ImageContent::Any));
    EXPECT_NE(error.find("/: the root folder cannot be a machine image"), std::string::npos) << error;
}

} // namespace
} // namespace vexa::machine
