// Runs the vexa program as a child process in surroundings of its own: a
// fresh program folder and temporary folder, the machine to run on, and
// the object namespace of the test process (so its services and mutexes
// are the test's). Standard input is empty; nothing may wait for it.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace vexa::test {

struct VexaResult {
    int exitCode = -1;  // -1: killed after the time limit or not started
    std::string out;    // standard output
    std::string err;    // standard error
};

class VexaRun {
public:
    // `machine`: a machine image folder, or empty for the host.
    explicit VexaRun(std::string machine = {});
    ~VexaRun();
    VexaRun(const VexaRun&) = delete;
    VexaRun& operator=(const VexaRun&) = delete;

    VexaResult run(const std::vector<std::string>& arguments) const;
    // Runs as run() does and sends `stopSignal` once `ready` holds (asked
    // every 10 ms while the program runs).
    VexaResult runAndSignal(const std::vector<std::string>& arguments, int stopSignal,
                            const std::function<bool()>& ready) const;

    // Later runs may write files of at most `bytes` (0: no limit); a longer
    // write fails as on a full disk.
    void limitFileSize(size_t bytes) { fileSizeLimit_ = bytes; }
    // Later runs get an object namespace (mutexes, service records) of
    // their own, in objectFolder(), instead of the test process's.
    void useOwnNamespace();
    const std::string& objectFolder() const { return objects_; }
    // The names in the own object namespace, sorted.
    std::vector<std::string> objectFiles() const;
    // Runs from now on use the temporary folder of `owner`, as instances of
    // one user share theirs.
    void shareTempFolder(const VexaRun& owner) { temp_ = owner.temp_; }

    const std::string& programFolder() const { return program_; }
    const std::string& tempFolder() const { return temp_; }
    std::string programFile(const std::string& name) const { return program_ + "/" + name; }
    // The names in the program folder, sorted.
    std::vector<std::string> programFiles() const;
    // The names in the temporary folder, recursively, sorted.
    std::vector<std::string> tempFiles() const;

private:
    std::string machine_;
    std::string root_;
    std::string program_;
    std::string temp_;
    std::string objects_;
    size_t fileSizeLimit_ = 0;
};

} // namespace vexa::test
