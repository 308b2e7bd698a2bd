#pragma once

#include "emulator/app/VesselSettings.h"

class CVesselModelImpl;

// Name of the machine-wide single-instance guard.
inline constexpr const char* kInstanceLockName = "6c1f0a52-93be-4d7e-a1c4-2b8e5f7d9013";

// Copies the parsed settings into a freshly constructed model, before Start. The output
// text goes to the constructor; ignore-crc goes to the encoder.
void ApplySettings(const VesselSettings& settings, CVesselModelImpl& model);

// vesgen's program entry: guard, parse, dispatch, run the model until its channel or
// its simulation thread ends. Returns the process exit code.
int RunVesgen(int argc, char** argv);
