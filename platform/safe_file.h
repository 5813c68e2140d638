// The one way the program writes the files it produces (reports, vexa.ini,
// window captures, validation files, dumps) and reads its settings back,
// safe when it runs as root in a folder other users can write to.
//
// Writing never goes through the final name: the bytes go to a new
// temporary file in the same folder (created exclusively under a random
// name, never through a link), which is flushed, synced and renamed over
// the final name only when every write and the close succeeded. A crash,
// a kill or a failed write therefore leaves the old file whole, and a
// failure removes the temporary file. The final name must be free or hold
// a regular file of the effective user: a symbolic link, a FIFO, a device,
// a folder or another user's file is refused and left untouched. A file
// that is replaced keeps its permission bits.
//
// Reading opens only a regular file, never through a link at the final
// name and without waiting on a FIFO or device.
//
// Paths may use '\' as separator. Errors are texts naming the file and the
// reason ("cannot write r.txt: it is a symbolic link").
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

namespace vexa::platform {

// A file being written: check isOpen(), write to stream(), then commit().
// Destroyed without a successful commit, it removes its temporary file and
// leaves the final name as it was.
//
//     SafeFileWriter file("report.txt");
//     if (!file.isOpen()) return fail(file.error());
//     std::fputs(text, file.stream());
//     if (!file.commit()) return fail(file.error());
class SafeFileWriter {
public:
    explicit SafeFileWriter(const std::string& path);
    ~SafeFileWriter();
    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    // True while the temporary file is open for writing.
    bool isOpen() const { return stream_ != nullptr; }
    // A buffered stream on the temporary file; null when it is not open.
    // Write errors are kept by the stream and found by commit().
    FILE* stream() const { return stream_; }
    // Flushes, syncs and closes the temporary file, checking each step and
    // every earlier write, then renames it over the final name. False (with
    // error() set and the final name untouched) on any failure.
    bool commit();
    // Why opening or committing failed; empty while all is well.
    const std::string& error() const { return error_; }

private:
    struct Target;  // the temporary file's descriptor behind the stream

    void fail(const std::string& reason);
    void discard();

    std::string path_;       // the final name, native
    std::string temporary_;  // the temporary file beside it
    std::unique_ptr<Target> target_;
    FILE* stream_ = nullptr;
    std::string error_;
};

// The whole file in one step through SafeFileWriter; false with `error`
// set when it could not be written.
bool writeSafeFile(const std::string& path, const void* data, size_t size, std::string& error);

// At most `maxBytes` of a regular file into `bytes`; false with `error` set
// when the file is missing, is no regular file (a link at the final name, a
// FIFO, a device or a folder) or cannot be read.
bool readRegularFile(const std::string& path, size_t maxBytes, std::string& bytes, std::string& error);

} // namespace vexa::platform
