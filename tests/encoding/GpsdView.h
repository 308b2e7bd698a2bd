#pragma once

// Our decoder's messages seen the way gpsdecode -u prints them, so the two can be
// compared field by field.

#include "emulator/encoding/AisMessages.h"
#include "tests/support/GpsDecode.h"

#include <string>

// The record gpsdecode -u -s would print for the message: its keys, unscaled values,
// and the sentinel where the message says "not available".
testsupport::AisRecord AsGpsdRecord(const NmeaMessage& message);

// Compares every field of `mine` with gpsdecode's record (values off their field's range
// count as "not available"); every key gpsdecode prints must be covered. Returns the
// differences, one "key: ours vs gpsd" per line, or nothing when they agree.
std::string DifferencesFromGpsd(const testsupport::AisRecord& mine, const testsupport::AisRecord& gpsd);
