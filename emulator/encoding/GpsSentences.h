#pragma once

// The sentences a GPS receiver and a heading sensor give a chart plotter about its own
// ship: $GPRMC, $GPGGA, $GPVTG, $GPZDA and $HEHDT, in that order.

#include "platform/LocalClock.h"

#include <string>

struct OwnShipFix {
    double latitudeDeg = 0.0;   // north positive
    double longitudeDeg = 0.0;  // east positive
    double speedKnots = 0.0;
    double courseDeg = 0.0;     // true; also the heading, as the vessel has no other
    platform::LocalTime utc;    // with milliseconds
};

struct SentenceOptions {
    bool checksum = true;
    bool upperCaseChecksum = false;
};

// Appends the five sentences, each with its "\r\n", to `out`. A position outside the
// earth's ranges is sent as no fix (RMC void, GGA quality 0, empty position fields).
void AppendGpsSentences(const OwnShipFix& fix, const SentenceOptions& options, std::string& out);

// "$" + body [+ "*" + checksum] + "\r\n".
std::string FrameNmea(const std::string& body, const SentenceOptions& options);
