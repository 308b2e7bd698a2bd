#pragma once

#include <string>

namespace platform {

// Opens a web address with the desktop's default handler (xdg-open), started directly,
// never through a shell. Only http:// and https:// addresses without blanks or control
// characters are opened; anything else is refused. True when the handler ran and
// reported success.
bool ShellOpen(const std::string& address);

// The same, without waiting for the handler: where no desktop session answers, xdg-open runs
// the browser in the foreground and ends only when it closes, which a window must not wait
// for. The handler's end is collected on a thread of its own, so no zombie stays behind.
// True when the handler was started.
bool StartShellOpen(const std::string& address);

// The address rule of ShellOpen.
bool IsOpenableWebAddress(const std::string& address);

} // namespace platform
