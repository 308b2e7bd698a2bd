#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Text from a user or a file as it may be shown on a terminal: every byte outside
// printable ASCII (control characters, escape sequences, any non-ASCII byte) as \xNN.
std::string PrintableText(std::string_view text);

// The same, cut after `maxBytes` bytes of the text with "..." and the length, so that a
// huge field does not flood the error stream.
std::string PrintableExcerpt(std::string_view text, std::size_t maxBytes = 40);
