#include "emulator/fleet/FleetCsv.h"

#include "emulator/encoding/PrintableText.h"
#include "emulator/fleet/CsvText.h"
#include "emulator/fleet/FleetCsvNotes.h"
#include "emulator/fleet/StationColumns.h"
#include "emulator/fleet/StationReports.h"
#include "emulator/fleet/VesselRanges.h"
#include "emulator/stations/StationKinds.h"

#include <boost/lexical_cast.hpp>

#include <optional>
#include <string_view>
#include <vector>

bool ParseFleetCsv(const std::string& text, const std::string& name, const VesselTemplate& defaults, Fleet& fleet,
                   std::string& error, std::vector<std::string>* warnings)
{
    const std::string shownName = PrintableText(name);
    std::string_view body(text);
    if (body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
    CsvRecordReader reader(body);
    const auto quoteFault = [&] {
        error = shownName + " line " + std::to_string(reader.BadLine()) + ": a quoted field is not closed properly";
        return false;
    };
    std::vector<CsvField> header;
    if (!reader.Next(header)) {
        if (reader.BadLine() != 0) return quoteFault();
        error = shownName + " line 1: the header row naming the columns is missing";
        return false;
    }
    if (header.size() == 1 && header.front().text.empty()) {
        error = shownName + " line 1: the header row naming the columns is missing";
        return false;
    }
    const auto where = [&](const CsvField& field, std::size_t c) {
        return shownName + " line " + std::to_string(field.line) + ", column " + std::to_string(c + 1);
    };
    std::vector<std::size_t> columns;
    std::vector<const ValueRange*> ranges;
    bool hasMmsi = false;
    for (std::size_t c = 0; c < header.size(); ++c) {
        const std::string& title = header[c].text;
        const std::optional<std::size_t> column = StationColumnIndex(title);
        if (!column) {
            error = where(header[c], c) + ": unknown column \"" + PrintableExcerpt(title) + "\"";
            return false;
        }
        for (std::size_t earlier = 0; earlier < c; ++earlier)
            if (header[earlier].text == title) {
                error = where(header[c], c) + ": column \"" + title + "\" appears twice";
                return false;
            }
        columns.push_back(*column);
        ranges.push_back(RangeOfColumn(title));
        hasMmsi = hasMmsi || title == "vessel-mmsi";
    }

    FleetCsvNotes notes(shownName, warnings);
    // Rows land here first, with their own texts, so that a fault adds nothing.
    Fleet rows;
    std::vector<CsvField> record;
    StationDraft row;
    while (reader.Next(record)) {
        if (record.size() == 1 && record.front().text.empty()) continue;
        if (record.size() != header.size()) {
            error = shownName + " line " + std::to_string(record.front().line) + ": " + std::to_string(record.size()) +
                    " fields where the header names " + std::to_string(header.size());
            return false;
        }
        if (rows.vessels.size() >= kMaxFleetVessels) {
            error = shownName + " line " + std::to_string(record.front().line) + ": more than " +
                    std::to_string(kMaxFleetVessels) + " vessels, the most a run takes";
            return false;
        }
        row = StationDraft{defaults.vessel, defaults.name, defaults.callSign, defaults.destination, {}, defaults.safetyText};
        for (std::size_t c = 0; c < record.size(); ++c) {
            const std::string& cell = record[c].text;
            if (cell.empty()) continue;  // the command line's value
            if (!SetStationColumn(columns[c], cell, row)) {
                error = where(record[c], c) + " (" + header[c].text + "): \"" + PrintableExcerpt(cell) +
                        "\" is not a valid value";
                return false;
            }
            if (ranges[c] != nullptr && !InRange(*ranges[c], boost::lexical_cast<double>(cell)))
                notes.OutOfRange(where(record[c], c) + " (" + header[c].text + "): " + PrintableExcerpt(cell) +
                                 " is " + OutOfRangeText(*ranges[c]));
        }
        // A row of another kind than the command line's starts from its kind's messages.
        row.vessel.messages = DraftMessages(row, defaults.vessel);
        row.vessel.name = rows.texts.Intern(row.name);
        row.vessel.callSign = rows.texts.Intern(row.callSign);
        row.vessel.destination = rows.texts.Intern(row.destination);
        row.vessel.safetyText = rows.texts.Intern(
            SafetyTextFor(row.safetyText, static_cast<StationKind>(row.vessel.kind), row.vessel.beaconTest));
        rows.vessels.push_back(row.vessel);
        notes.Row(record.front().line, row.vessel.mmsi);
    }
    if (reader.BadLine() != 0) return quoteFault();

    notes.Finish(hasMmsi, defaults.vessel.mmsi, fleet.vessels);
    // The rows' texts move to the fleet's pool, each distinct one once.
    std::vector<std::uint32_t> moved(rows.texts.Size());
    for (std::size_t i = 0; i < moved.size(); ++i) moved[i] = fleet.texts.Intern(rows.texts.Text(static_cast<std::uint32_t>(i)));
    fleet.vessels.reserve(fleet.vessels.size() + rows.vessels.size());
    for (FleetVessel& v : rows.vessels) {
        v.name = moved[v.name];
        v.callSign = moved[v.callSign];
        v.destination = moved[v.destination];
        v.safetyText = moved[v.safetyText];
        fleet.vessels.push_back(v);
    }
    return true;
}

bool ReadFleetCsv(const std::string& path, const VesselTemplate& defaults, Fleet& fleet, std::string& error,
                  std::vector<std::string>* warnings)
{
    std::string text;
    if (!ReadFleetFile(path, text, error)) return false;
    return ParseFleetCsv(text, path, defaults, fleet, error, warnings);
}
