#pragma once

#include <string_view>

namespace platform {

// Opens a web address in the desktop's browser (xdg-open, started without a shell and not
// waited for). Only http:// and https:// addresses are opened; returns false for anything
// else or when the opener cannot be started.
bool ShellOpen(std::string_view address);

} // namespace platform
