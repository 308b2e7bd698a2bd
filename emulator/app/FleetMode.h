#pragma once

#include "emulator/app/VesselSettings.h"

// True when the command line asks for a fleet (a file or random vessels).
bool WantsFleet(const VesselSettings& settings);

enum class FleetOutcome {
    Ran,           // ran until its channel or its thread ended
    NeverStarted,  // the output could not be opened or configured
    BadRequest,    // wrong fleet options or file, or nothing to send
    OutOfMemory,   // a step larger than the machine can hold ended the run
};

// Builds the fleet (the command-line vessel first, when it has anything to send) and
// runs it until its channel or its thread ends. Faults are reported on standard error.
FleetOutcome RunFleet(const VesselSettings& settings);
