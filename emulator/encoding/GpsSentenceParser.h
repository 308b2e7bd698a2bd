#pragma once

// Reads the own ship's GPS and heading sentences (RMC, GGA, VTG, ZDA, HDT) into an
// OwnShipSentence. The fields are the sentence's comma-separated fields after the address.

#include "emulator/encoding/AisMessages.h"

#include <span>
#include <string_view>

enum class GpsParseStatus : std::uint8_t { Ok, Malformed, Unsupported };

// `formatter` is the three letters after the talker ("RMC").
GpsParseStatus ParseGpsSentence(std::string_view formatter, std::span<const std::string_view> fields,
                                OwnShipSentence& out);
