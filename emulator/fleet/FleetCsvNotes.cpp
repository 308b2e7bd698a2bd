#include "emulator/fleet/FleetCsvNotes.h"

#include <algorithm>

namespace {

constexpr std::uint32_t kCommandLine = 0;  // a line number no row has

struct SharedMmsi {
    std::uint32_t line;
    std::uint32_t firstLine;  // kCommandLine: the command line's vessel
    std::uint32_t mmsi;
};

} // namespace

FleetCsvNotes::FleetCsvNotes(std::string fileName, std::vector<std::string>* warnings)
    : m_file(std::move(fileName)), m_warnings(warnings)
{
}

void FleetCsvNotes::Tell(std::string text)
{
    if (m_warnings != nullptr) m_warnings->push_back(std::move(text));
}

void FleetCsvNotes::OutOfRange(std::string text)
{
    if (++m_outOfRange <= kToldPerKind) Tell(std::move(text));
}

void FleetCsvNotes::Row(std::size_t line, std::uint32_t mmsi)
{
    m_rows.emplace_back(mmsi, static_cast<std::uint32_t>(line));
}

void FleetCsvNotes::Finish(bool hasMmsiColumn, std::uint32_t commandLineMmsi, const std::vector<FleetVessel>& earlier)
{
    if (m_outOfRange > kToldPerKind)
        Tell(m_file + ": " + std::to_string(m_outOfRange - kToldPerKind) +
             " more values outside what AIS messages carry");
    if (m_rows.empty()) {
        Tell(m_file + " holds no vessels, only its header row");
        return;
    }
    if (!hasMmsiColumn) {
        if (m_rows.size() > 1)
            Tell(m_file + " has no vessel-mmsi column: its " + std::to_string(m_rows.size()) + " vessels (lines " +
                 std::to_string(m_rows.front().second) + " to " + std::to_string(m_rows.back().second) +
                 ") all take the MMSI " + std::to_string(commandLineMmsi) + "; a plotter shows them as one");
        return;
    }

    std::vector<std::uint32_t> before;
    for (const FleetVessel& v : earlier) before.push_back(v.mmsi);
    std::sort(before.begin(), before.end());
    std::sort(m_rows.begin(), m_rows.end());
    std::vector<SharedMmsi> shared;
    std::uint32_t firstLine = 0;  // of the run of rows with the present MMSI
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const auto [mmsi, line] = m_rows[i];
        const bool first = i == 0 || m_rows[i - 1].first != mmsi;
        if (first) firstLine = line;
        if (std::binary_search(before.begin(), before.end(), mmsi)) {
            shared.push_back({line, kCommandLine, mmsi});
        } else if (!first) {
            shared.push_back({line, firstLine, mmsi});
        }
    }
    std::vector<std::pair<std::uint32_t, std::uint32_t>>().swap(m_rows);
    const std::size_t told = std::min(shared.size(), kToldPerKind);
    std::partial_sort(shared.begin(), shared.begin() + static_cast<std::ptrdiff_t>(told), shared.end(),
                      [](const SharedMmsi& a, const SharedMmsi& b) { return a.line < b.line; });
    for (std::size_t i = 0; i < told; ++i) {
        const SharedMmsi& s = shared[i];
        Tell(m_file + " line " + std::to_string(s.line) + ": MMSI " + std::to_string(s.mmsi) +
             (s.firstLine == kCommandLine ? std::string(" is also the command line's vessel's")
                                          : " is also on line " + std::to_string(s.firstLine)) +
             "; a plotter shows them as one");
    }
    if (shared.size() > told)
        Tell(m_file + ": " + std::to_string(shared.size() - told) + " more rows with an MMSI used before");
}
