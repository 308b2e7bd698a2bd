#pragma once

// What kind of station a target is, and how long it may stay silent before a display
// shows it as lost.

#include <cstdint>
#include <string_view>

enum class StationKind : std::uint8_t {
    Unknown,      // heard only through messages that do not tell (a safety text)
    ClassA,
    ClassB,
    BaseStation,
    AtonReal,
    AtonVirtual,
    SarAircraft,
    Sart,         // AIS search and rescue transmitter
    Mob,          // man-overboard device
    Epirb,        // EPIRB with an AIS locating signal
};

std::string_view StationKindName(StationKind kind);

// The kind a message tells, or Unknown when it does not (message 14, a type not listed).
// Distress devices are known by their MMSI (ITU-R M.585: 970 SART, 972 MOB, 974 EPIRB)
// whatever they send, and a position report with navigational status 14 ("AIS-SART
// active") is a SART.
StationKind KindFromMessage(std::uint8_t messageType, std::uint32_t mmsi, std::uint8_t navStatus, bool virtualAid);

bool IsDistress(StationKind kind);

// Seconds without a position report after which the target counts as lost. Class A and
// B depend on speed and, for class A, on being at anchor or moored; an unknown speed
// counts as moving at up to 14 knots. `carrierSense` tells the two class B kinds apart
// (message 18's unit flag).
std::uint32_t LostAfterS(StationKind kind, bool carrierSense, std::uint8_t navStatus, double speedKnots);
