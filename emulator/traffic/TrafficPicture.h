#pragma once

// The traffic picture a chart draws: one record per station heard, keyed by MMSI, and the
// own ship, updated from decoded messages. Records are plain, fixed-size and contiguous,
// so a display takes a snapshot with one copy and never reads the live table. Times are
// the caller's monotonic milliseconds.

#include "emulator/encoding/AisMessages.h"
#include "emulator/traffic/Cpa.h"
#include "emulator/traffic/TargetRules.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string_view>
#include <unordered_map>
#include <vector>

// Text kept in place, cut at N characters.
template <std::size_t N>
struct ShortText {
    std::array<char, N> chars{};
    std::uint8_t size = 0;

    void Assign(std::string_view text)
    {
        size = static_cast<std::uint8_t>(std::min(text.size(), N));
        std::copy_n(text.begin(), size, chars.begin());
    }
    std::string_view View() const { return {chars.data(), size}; }
};

constexpr double kUnknown = std::numeric_limits<double>::quiet_NaN();

struct Target {
    std::uint32_t mmsi = 0;
    StationKind kind = StationKind::Unknown;
    bool carrierSense = true;        // class B unit type from message 18; most class B are "CS"
    std::uint8_t lastMessageType = 0;
    std::uint8_t navStatus = kAisNavStatusNotDefined;
    std::uint8_t shipType = kAisShipTypeNotAvailable;  // or the aid type of an AtoN
    AisDimensions dimensions;
    double latitudeDeg = kUnknown;   // NaN until a position is reported
    double longitudeDeg = kUnknown;
    double speedKnots = kUnknown;
    double courseDeg = kUnknown;
    double headingDeg = kUnknown;
    std::int64_t lastHeardMs = 0;      // any message
    std::int64_t lastPositionMs = 0;   // the last position report; a target is lost from here
    ShortText<34> name;                // 20 characters and an AtoN's extension of 14
    ShortText<7> callSign;
    ShortText<20> destination;

    bool HasPosition() const { return !std::isnan(latitudeDeg) && !std::isnan(longitudeDeg); }
    Motion AsMotion() const { return {latitudeDeg, longitudeDeg, speedKnots, courseDeg}; }
};

struct OwnShip {
    std::uint32_t mmsi = 0;  // from its AIVDO reports; 0 until one is heard
    double latitudeDeg = kUnknown;
    double longitudeDeg = kUnknown;
    double speedKnots = kUnknown;
    double courseDeg = kUnknown;
    double headingDeg = kUnknown;
    std::int64_t lastHeardMs = 0;
    ShortText<20> name;

    bool HasPosition() const { return !std::isnan(latitudeDeg) && !std::isnan(longitudeDeg); }
    Motion AsMotion() const { return {latitudeDeg, longitudeDeg, speedKnots, courseDeg}; }
};

class TrafficPicture {
public:
    // Beyond `maxTargets` stations, new MMSIs are counted and left out (a flood of made-up
    // identities must not take all memory).
    explicit TrafficPicture(std::size_t maxTargets = 250000);

    // Own-ship sentences and AIVDO reports update the own ship, other messages their
    // target. Messages 24 part A/B, 5 and 19 fill names and static data.
    void Apply(const NmeaMessage& message, std::int64_t nowMs);

    const OwnShip& Own() const { return m_own; }
    std::size_t Size() const { return m_targets.size(); }
    const std::vector<Target>& Targets() const { return m_targets; }
    const Target* Find(std::uint32_t mmsi) const;
    std::uint64_t LeftOut() const { return m_leftOut; }

    // Copies the table; `out` keeps its capacity from one snapshot to the next.
    void Snapshot(std::vector<Target>& out) const { out.assign(m_targets.begin(), m_targets.end()); }

    // Removes targets lost for longer than `keepLostMs`; returns how many.
    std::size_t Prune(std::int64_t nowMs, std::int64_t keepLostMs);

private:
    Target* Slot(std::uint32_t mmsi, std::int64_t nowMs);

    std::vector<Target> m_targets;
    std::unordered_map<std::uint32_t, std::uint32_t> m_index;  // MMSI -> position in m_targets
    std::size_t m_maxTargets;
    std::uint64_t m_leftOut = 0;
    OwnShip m_own;
};

// Lost: silent for longer than its kind allows since its last position report (or its
// first message when it never reported one).
bool IsLost(const Target& target, std::int64_t nowMs);

// CPA and TCPA of the target to the own ship; empty when either position is unknown.
std::optional<CpaResult> CpaToOwnShip(const OwnShip& own, const Target& target);
