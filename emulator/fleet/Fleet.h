#pragma once

// A fleet is data: one compact record per vessel in one vector, texts stored once in a
// pool and referred to by index, so a million vessels fit in a few hundred megabytes.

#include "emulator/scenario/Route.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

// The most vessels one run takes: a million run in real time on one core, ten million
// fit in a few gigabytes.
inline constexpr std::size_t kMaxFleetVessels = 10000000;

// The AIS message types a station sends, as bits.
enum FleetMessage : std::uint16_t {
    kSendMsg1 = 1U << 0,
    kSendMsg5 = 1U << 1,
    kSendMsg18 = 1U << 2,
    kSendMsg19 = 1U << 3,
    kSendMsg24 = 1U << 4,
    kSendMsg4 = 1U << 5,
    kSendMsg9 = 1U << 6,
    kSendMsg14 = 1U << 7,
    kSendMsg21 = 1U << 8,
    kSendMsg27 = 1U << 9,
};

struct FleetVessel {
    double latitude = 0.0;   // degrees
    double longitude = 0.0;  // degrees
    float speed = 0.0F;      // knots
    float course = 0.0F;     // degrees
    float rateOfTurn = 0.0F; // degrees per minute
    std::uint32_t mmsi = 0;
    std::uint32_t imo = 0;
    std::uint32_t name = 0;         // text pool index
    std::uint32_t callSign = 0;     // text pool index
    std::uint32_t destination = 0;  // text pool index
    std::int32_t dims[4] = {};      // metres to bow, stern, port, starboard
    std::int32_t shipType = 0;
    std::int32_t navStatus = 0;
    std::int32_t epfd = 1;
    std::uint32_t lastSent[5] = {};  // ms ticks of messages 1, 5, 18, 19, 24
    std::uint16_t messages = 0;      // FleetMessage bits
    bool accuracy = true;
    bool ownShip = false;            // AIVDO and GPS sentences
    // Stations of other kinds (a vessel leaves these as they are). Packed so that a
    // station stays 128 bytes.
    std::uint32_t stationLastSent[5] = {};  // ms ticks of messages 4, 9, 14, 21, 27
    std::uint32_t safetyText = 0;           // text pool index of the message 14 text
    std::uint16_t altitude = 0;             // metres, message 9's field value (4095 not available)
    std::uint8_t kind : 3 = 0;              // StationKind
    std::uint8_t beaconTest : 1 = 0;        // a distress beacon in test mode
    std::uint8_t channelB : 1 = 0;          // the station's next transmission goes on channel B
    std::uint8_t atonType : 5 = 0;          // type of aid to navigation, 0-31
    std::uint8_t atonVirtual : 1 = 0;
    std::uint8_t atonOffPosition : 1 = 0;
    std::uint8_t silent : 1 = 0;            // sends nothing, and still moves
    // Voyage data and keeping to water.
    std::uint8_t eta[4] = {};        // month, day, hour, minute; month 0: message 5 carries the local time
    std::uint8_t steering = 0;       // KeepToWater's state; its kKeepToWater bit switches it on
    float plannedCourse = 0.0F;      // degrees: the course resumed once clear of land
    float plannedSpeed = 0.0F;       // knots: the speed resumed once clear of land
    float clearAheadKm = 0.0F;       // water known ahead on the present course
    std::uint32_t routeSlot = 0;     // 1 + index into Fleet::followers; 0: no route (straight motion)
};

// A vessel on a route: the route it sails and where it is on it.
struct RouteFollower {
    std::uint32_t route = 0;  // index into Fleet::routes
    RouteState state;
};

// Bit i stands for column i of the station field table (StationColumns.h).
using ColumnMask = std::uint64_t;

// A change of one station at a moment of simulated time (a scenario's event).
struct FleetEvent {
    double atS = 0.0;          // seconds of simulated time from the start
    std::uint32_t vessel = 0;  // index into Fleet::vessels
    ColumnMask columns = 0;    // the fields it sets, to the values they have in `after`
    FleetVessel after;         // the station with the event's fields set (texts in the fleet's pool)
    std::int8_t send = -1;     // 0: falls silent, 1: sends again, -1: as it was
};

// Texts stored once each, addressed by a small index.
class TextPool {
public:
    std::uint32_t Intern(const std::string& text);
    const char* Text(std::uint32_t index) const { return m_texts[index].c_str(); }
    std::size_t Size() const { return m_texts.size(); }
    // Drops the look-up table once the fleet is complete; the texts stay.
    void Freeze() { std::unordered_map<std::string, std::uint32_t>().swap(m_index); }

private:
    std::vector<std::string> m_texts;
    std::unordered_map<std::string, std::uint32_t> m_index;
};

struct Fleet {
    std::vector<FleetVessel> vessels;
    TextPool texts;
    // Only vessels on routes have a follower; the routes are shared.
    std::vector<Route> routes;
    std::vector<RouteFollower> followers;
    std::vector<FleetEvent> events;  // by time; equal times in the order given
};
