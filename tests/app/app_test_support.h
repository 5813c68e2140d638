// What the application's tests share: a private program folder, recorders
// of message boxes and shell requests, and the traces a driver
// installation leaves.
#pragma once

#include <string>
#include <vector>

#include "platform/message_box.h"
#include "platform/shell.h"

namespace vexa::test {

// A fresh folder below the test's temporary folder, named by
// VEXA_PROGRAM_DIR while the object lives.
class ProgramFolder {
public:
    ProgramFolder();
    ~ProgramFolder();
    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Records every message box and answers each with `answer` (0: the
// default answer).
class MessageBoxRecorder {
public:
    explicit MessageBoxRecorder(int answer = 0);
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;
    const std::vector<platform::testing::MessageBoxCall>& boxes() const { return boxes_; }

private:
    std::vector<platform::testing::MessageBoxCall> boxes_;
};

// Records every shell request and answers each with `result`.
class ShellRecorder {
public:
    explicit ShellRecorder(INT_PTR result);
    ~ShellRecorder();
    ShellRecorder(const ShellRecorder&) = delete;
    ShellRecorder& operator=(const ShellRecorder&) = delete;
    const std::vector<platform::testing::ShellRequest>& requests() const { return requests_; }

private:
    std::vector<platform::testing::ShellRequest> requests_;
};

// The driver service's record in the object namespace of this process.
bool driverServiceExists();
// The driver's folder in the temporary folder.
bool driverFolderExists();

} // namespace vexa::test
