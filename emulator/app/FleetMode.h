#pragma once

#include "emulator/app/VesselSettings.h"

// True when the command line asks for a fleet (a file or random vessels).
bool WantsFleet(const VesselSettings& settings);

// Builds the fleet (the command-line vessel first, when it has anything to send) and
// runs it until its channel or its thread ends. Returns the process exit code: -1 when
// the fleet options or file are wrong or nothing is to be sent.
int RunFleet(const VesselSettings& settings);
