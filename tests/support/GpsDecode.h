#pragma once

#include <map>
#include <string>
#include <vector>

namespace testsupport {

// One decoded AIS record: the flat JSON object that gpsdecode prints, field by field.
// Numbers, booleans and strings are all kept as their text (strings without quotes).
using AisRecord = std::map<std::string, std::string>;

bool GpsDecodeAvailable();

// Feeds NMEA sentences to the real gpsdecode (unscaled JSON) and returns one record
// per decoded message, with `options` added to its command line ("-s": the two parts of
// message 24 as two records). gpsdecode drops sentences with a wrong checksum.
std::vector<AisRecord> GpsDecode(const std::string& sentences, const std::vector<std::string>& options = {});

// Decoded messages per vessel and type, counts[mmsi][type], for streams too large to keep
// every record. gpsdecode prints one record for the two parts of a message 24.
using MessageCounts = std::map<std::string, std::map<int, std::size_t>>;
MessageCounts GpsDecodeCounts(const std::string& sentences);

} // namespace testsupport

// Fails the current test when gpsdecode is not installed (package gpsd-clients).
#define KVL_REQUIRE_GPSDECODE()                                                        \
    do {                                                                               \
        if (!testsupport::GpsDecodeAvailable())                                        \
            GTEST_FAIL() << "gpsdecode not found: install the Debian package gpsd-clients"; \
    } while (0)
