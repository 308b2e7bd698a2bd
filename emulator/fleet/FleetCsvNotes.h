#pragma once

#include "emulator/fleet/Fleet.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The warnings of one fleet file, without "Warning : ". Each kind is told for its
// first few lines, in line order, and the rest is summed up in one more line.
class FleetCsvNotes {
public:
    static constexpr std::size_t kToldPerKind = 10;

    // `warnings` may be null: then nothing is kept.
    FleetCsvNotes(std::string fileName, std::vector<std::string>* warnings);

    // A value outside what the messages carry, described whole.
    void OutOfRange(std::string text);
    // A row that became a vessel.
    void Row(std::size_t line, std::uint32_t mmsi);
    // After the last row: MMSIs shared between rows or with `earlier` vessels (the command
    // line's), several rows without an MMSI column of their own, a file without rows.
    void Finish(bool hasMmsiColumn, std::uint32_t commandLineMmsi, const std::vector<FleetVessel>& earlier);

private:
    void Tell(std::string text);

    std::string m_file;
    std::vector<std::string>* m_warnings;
    std::size_t m_outOfRange = 0;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> m_rows;  // MMSI, line
};
