// Reading whole files of a machine image or of /sys with an upper bound on
// their size, so that a huge or endless file (a character device, a FIFO)
// cannot exhaust memory or hold the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vexa::machine {

enum class FileStatus { Ok, Missing, Error };

// Reads at most `limit` bytes; a file holding more is an error. Missing
// means the path names nothing; `error` then stays empty.
FileStatus readFileBytes(const std::string& path, size_t limit, std::vector<uint8_t>& bytes,
                         std::string& error);
FileStatus readFileText(const std::string& path, size_t limit, std::string& text, std::string& error);
// The same for a file the caller opened; the descriptor is closed. `path`
// names the file in messages.
FileStatus readOpenedFile(int fd, const std::string& path, size_t limit, std::vector<uint8_t>& bytes,
                          std::string& error);
FileStatus readOpenedFile(int fd, const std::string& path, size_t limit, std::string& text, std::string& error);

// The names in a folder, dot entries left out, at most 4096 of them (far
// more than any sysfs folder holds), in the order the folder lists them;
// empty when the folder cannot be read.
std::vector<std::string> listFolder(const std::string& path);

// The first line of a sysfs attribute of at most 4096 bytes (a page, all the
// kernel gives), trimmed; empty when it cannot be read.
std::string readSysfsAttribute(const std::string& path);

} // namespace vexa::machine
