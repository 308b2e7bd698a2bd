#include "emulator/fleet/StationReports.h"

namespace {

StationKind KindOf(const FleetVessel& v)
{
    return static_cast<StationKind>(v.kind);
}

// The framing of the station's next transmission; the channel after it is the other one.
SentenceFraming NextTransmission(FleetVessel& v, const StationStep& step)
{
    SentenceFraming framing = step.framing;
    framing.channel = v.channelB ? 'B' : 'A';
    v.channelB = !v.channelB;
    return framing;
}

struct MessageBitRow {
    int message;
    std::uint16_t bit;
};
constexpr MessageBitRow kMessageBits[] = {
    {1, kSendMsg1},   {4, kSendMsg4},   {5, kSendMsg5},   {9, kSendMsg9},   {14, kSendMsg14},
    {18, kSendMsg18}, {19, kSendMsg19}, {21, kSendMsg21}, {24, kSendMsg24}, {27, kSendMsg27},
};

} // namespace

std::uint16_t MessageBit(int message)
{
    for (const MessageBitRow& row : kMessageBits)
        if (row.message == message) return row.bit;
    return 0;
}

std::uint16_t DefaultMessageBits(StationKind kind)
{
    std::uint16_t bits = 0;
    for (const std::uint8_t message : StationKindOf(kind).defaultMessages) bits |= MessageBit(message);
    return bits;
}

std::string SafetyTextFor(const std::string& given, StationKind kind, bool beaconTest)
{
    return given.empty() ? DefaultSafetyText(kind, beaconTest) : given;
}

int ReportedNavStatus(const FleetVessel& v)
{
    const StationKindRow& row = StationKindOf(KindOf(v));
    const int status = v.beaconTest ? row.testNavStatus : row.activeNavStatus;
    return status < 0 ? v.navStatus : status;
}

void AppendStationMessage(int message, FleetVessel& v, StationStep& step, std::string& out)
{
    const SentenceFraming framing = NextTransmission(v, step);
    switch (message) {
    case 4: {
        BaseStationReport r;
        r.mmsi = v.mmsi;
        r.utc = step.utc;
        r.accuracy = v.accuracy;
        r.latitudeDeg = v.latitude;
        r.longitudeDeg = v.longitude;
        r.epfd = v.epfd;
        AppendBaseStationReport(r, framing, out);
        break;
    }
    case 9: {
        SarAircraftReport r;
        r.mmsi = v.mmsi;
        r.altitudeMetres = v.altitude;
        r.speedKnots = v.speed;
        r.accuracy = v.accuracy;
        r.latitudeDeg = v.latitude;
        r.longitudeDeg = v.longitude;
        r.courseDeg = v.course;
        r.second = step.utc.second;
        AppendSarAircraftReport(r, framing, out);
        break;
    }
    case 14:
        AppendSafetyBroadcast({v.mmsi, step.texts.Text(v.safetyText)}, framing, step.ids, out);
        break;
    case 21: {
        AidToNavigationReport r;
        r.mmsi = v.mmsi;
        r.atonType = v.atonType;
        r.name = step.texts.Text(v.name);
        r.accuracy = v.accuracy;
        r.latitudeDeg = v.latitude;
        r.longitudeDeg = v.longitude;
        for (int i = 0; i < 4; ++i) r.dims[i] = v.dims[i];
        r.epfd = v.epfd;
        r.second = step.utc.second;
        r.offPosition = v.atonOffPosition;
        r.virtualAton = v.atonVirtual;
        AppendAidToNavigationReport(r, framing, step.ids, out);
        break;
    }
    case 27: {
        LongRangeReport r;
        r.mmsi = v.mmsi;
        r.accuracy = v.accuracy;
        r.navStatus = ReportedNavStatus(v);
        r.latitudeDeg = v.latitude;
        r.longitudeDeg = v.longitude;
        r.speedKnots = v.speed;
        r.courseDeg = v.course;
        AppendLongRangeReport(r, framing, out);
        break;
    }
    default:
        break;
    }
}

void AppendBeaconBurst(FleetVessel& v, StationStep& step, std::string& out)
{
    BeaconPositionReport r;
    r.mmsi = v.mmsi;
    r.navStatus = ReportedNavStatus(v);
    r.speedKnots = v.speed;
    r.accuracy = v.accuracy;
    r.latitudeDeg = v.latitude;
    r.longitudeDeg = v.longitude;
    r.courseDeg = v.course;
    r.second = step.utc.second;
    for (unsigned i = 0; i < StationKindOf(KindOf(v)).burstReports; ++i)
        AppendBeaconPositionReport(r, NextTransmission(v, step), out);
}
