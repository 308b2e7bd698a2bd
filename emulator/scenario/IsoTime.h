#pragma once

#include <optional>
#include <string_view>

// Seconds since 1970-01-01T00:00:00Z of an ISO 8601 date and time as GPX and scenario
// files write it: YYYY-MM-DDThh:mm:ss with optional fraction and a zone of Z or +hh:mm
// / -hh:mm (a time without a zone is taken as UTC). Nothing for any other text.
std::optional<double> ParseIsoTime(std::string_view text);
