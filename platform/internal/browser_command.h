// The desktop's web browser as the registry's "shell\open\command" gives
// it: its command line with the quoted placeholder "%1" for the address.
// The browser is the one `xdg-settings get default-web-browser` names (the
// Exec line of its desktop entry); else xdg-open, when it is installed;
// else there is none. Looked up once per process (tests replace it with
// testing::setBrowserCommand, shell.h).
#pragma once

#include <optional>
#include <string>

namespace vexa::platform {

std::optional<std::string> browserCommand();

// The command of a desktop entry's Exec value: the file and address field
// codes (%u %U %f %F) become "%1", the other codes are dropped, "%%" is a
// percent sign; "%1" is appended quoted when there was no such code.
std::string commandFromDesktopExec(const std::string& exec);

} // namespace vexa::platform
