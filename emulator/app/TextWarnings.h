#pragma once

#include "emulator/app/VesselSettings.h"

#include <ostream>

// Writes one "Warning : ..." line for each text option (name, call sign, destination)
// that holds characters the AIS six-bit alphabet cannot carry as typed, saying what
// will be sent instead, and one for a safety text or aid-to-navigation name longer than
// its message carries. The sentences themselves are not changed.
void WarnAboutUnsendableText(const VesselSettings& settings, std::ostream& err);

// Writes one "Warning : ..." line for each numeric option whose value lies outside what
// the AIS messages carry (see VesselRanges); the value is still used as given.
void WarnAboutOutOfRangeValues(const VesselSettings& settings, std::ostream& err);
