// The files of one machine image, read under the rules every image keeps
// (docs/machine-images.md):
//
// - A file is named relative to the image folder and must lie inside it:
//   an absolute name, a ".." that climbs out, or a symbolic link whose
//   target is outside the folder is refused.
// - All the files read for one image hold at most kImageByteBudget bytes
//   together, whichever keys name them and however often; each file has its
//   own, smaller limit as well.
//
// Messages name a file as "<image folder>/<name>".
#pragma once

#include "machine/file_bytes.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vexa::machine {

constexpr size_t kImageByteBudget = size_t(256) * 1024 * 1024;

class ImageFiles {
public:
    // `directory` as messages show it; its real path is found on first use.
    explicit ImageFiles(std::string directory) : directory_(std::move(directory)) {}

    const std::string& directory() const { return directory_; }
    // "<image folder>/<name>", as messages name a file.
    std::string shown(const std::string& name) const { return directory_ + "/" + name; }

    // Finds the real path of the image folder, which every other call
    // needs; Missing when the folder does not exist. The root folder is
    // refused: every path would be inside it.
    FileStatus findRoot(std::string& error);

    // Reads the file `name` of the image: at most `limit` bytes, and no more
    // than the budget has left. Missing leaves `error` empty.
    FileStatus read(const std::string& name, size_t limit, std::vector<uint8_t>& bytes, std::string& error);
    FileStatus read(const std::string& name, size_t limit, std::string& text, std::string& error);

    // The size of the file `name` of the image as the file system gives it.
    FileStatus sizeOf(const std::string& name, uint64_t& bytes, std::string& error);
    // What the budget has left, and the message for a file that does not fit.
    size_t budgetLeft() const { return kImageByteBudget - used_; }
    std::string overBudget(const std::string& name) const;

    // The names of the entries of the folder `name` that are regular files
    // (or links to one), sorted. Missing when there is no such folder.
    FileStatus list(const std::string& name, std::vector<std::string>& files, std::string& error);

    // True when `name` is inside the image and names something.
    bool exists(const std::string& name);

    // Bytes read so far, counted against kImageByteBudget.
    size_t bytesRead() const { return used_; }

private:
    // The real path of `name` inside the image. Missing when it names
    // nothing; Error (with the reason) when it is not a name inside the image.
    FileStatus resolve(const std::string& name, std::string& real, std::string& error);
    template <typename Buffer>
    FileStatus readInside(const std::string& name, size_t limit, Buffer& out, std::string& error);

    std::string directory_;
    std::string root_;  // the real path of the folder; empty until found
    size_t used_ = 0;
};

} // namespace vexa::machine
