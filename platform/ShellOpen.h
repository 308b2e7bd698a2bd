#pragma once

#include <string>

namespace platform {

// Opens a web address with the desktop's default handler (xdg-open), started directly,
// never through a shell. Only http:// and https:// addresses without blanks or control
// characters are opened; anything else is refused. True when the handler ran and
// reported success.
bool ShellOpen(const std::string& address);

// The address rule of ShellOpen.
bool IsOpenableWebAddress(const std::string& address);

} // namespace platform
