#pragma once

#include "emulator/app/VesselSettings.h"

#include <iosfwd>
#include <string>

// Parses vesgen's command line into `settings`. Returns true when the run may go on;
// false after the help was printed or a command-line error was reported, both on `out`
// (standard output), in which case `settings` is left untouched.
bool ParseCommandLine(int argc, char** argv, VesselSettings& settings, std::ostream& out);
bool ParseCommandLine(int argc, char** argv, VesselSettings& settings);

// True when `--version`, or any start of it the parser takes for it (`--vers`), is among
// the arguments: the program prints VersionText() and ends before it takes the
// single-instance lock or opens anything.
bool WantsVersion(int argc, char** argv);
std::string VersionText();  // "KVL AIS Emulator 1.0.192"
