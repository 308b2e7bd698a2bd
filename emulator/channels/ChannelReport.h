#pragma once

#include <string_view>

// Prints one diagnostic line of a channel on standard error, with its line end, and
// flushes it. The line leaves in one piece, so lines of different threads never mix.
void ReportChannelLine(std::string_view line);
