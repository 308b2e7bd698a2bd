#include "tests/encoding/GpsdView.h"

#include <cmath>
#include <cstdio>
#include <set>

namespace {

using testsupport::AisRecord;

std::string B(bool v) { return v ? "true" : "false"; }
template <typename T>
std::string N(T v) { return std::to_string(v); }
// A scaled value back in the field's units, or the field's "not available" value.
std::string Raw(const std::optional<double>& v, double unitsPerValue, long long sentinel)
{
    return std::to_string(v ? std::llround(*v * unitsPerValue) : sentinel);
}

void Head(AisRecord& r, const AisHeader& h)
{
    r["type"] = N(h.type);
    r["repeat"] = N(h.repeat);
    r["mmsi"] = N(h.mmsi);
}

void Place(AisRecord& r, const AisPosition& p, double unitsPerDeg)
{
    r["accuracy"] = B(p.accurate);
    r["lon"] = Raw(p.longitudeDeg, unitsPerDeg, std::llround(181 * unitsPerDeg));
    r["lat"] = Raw(p.latitudeDeg, unitsPerDeg, std::llround(91 * unitsPerDeg));
}

void Dims(AisRecord& r, const AisDimensions& d)
{
    r["to_bow"] = N(d.toBowM);
    r["to_stern"] = N(d.toSternM);
    r["to_port"] = N(d.toPortM);
    r["to_starboard"] = N(d.toStarboardM);
}

std::string Heading(const std::optional<std::uint16_t>& h) { return N(h ? *h : 511); }

std::string Stamp(const AisDateTime& t)
{
    char text[48];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02uZ", unsigned{t.year}, unsigned{t.month},
                  unsigned{t.day}, unsigned{t.hour}, unsigned{t.minute}, unsigned{t.second});
    return text;
}

struct GpsdView {
    AisRecord& r;
    void operator()(const AisPositionReportA& m)
    {
        Head(r, m);
        r["status"] = N(m.navStatus);
        r["turn"] = N(m.rateOfTurnRaw);
        r["speed"] = Raw(m.speedKnots, 10, 1023);
        Place(r, m.position, 600000);
        r["course"] = Raw(m.courseDeg, 10, 3600);
        r["heading"] = Heading(m.headingDeg);
        r["second"] = N(m.utcSecond);
        r["maneuver"] = N(m.maneuver);
        r["raim"] = B(m.raim);
        r["radio"] = N(m.radioStatus);
    }
    void operator()(const AisBaseStationReport& m)
    {
        Head(r, m);
        r["timestamp"] = Stamp(m.utc);
        Place(r, m.position, 600000);
        r["epfd"] = N(m.epfd);
        r["raim"] = B(m.raim);
        r["radio"] = N(m.radioStatus);
    }
    void operator()(const AisStaticVoyageData& m)
    {
        Head(r, m);
        r["ais_version"] = N(m.aisVersion);
        r["imo"] = N(m.imo);
        r["callsign"] = m.callSign;
        r["shipname"] = m.name;
        r["shiptype"] = N(m.shipType);
        Dims(r, m.dimensions);
        r["epfd"] = N(m.epfd);
        char eta[32];
        std::snprintf(eta, sizeof eta, "%02u-%02uT%02u:%02uZ", unsigned{m.eta.month}, unsigned{m.eta.day},
                      unsigned{m.eta.hour}, unsigned{m.eta.minute});
        r["eta"] = eta;
        r["draught"] = Raw(m.draughtM, 10, 0);
        r["destination"] = m.destination;
        r["dte"] = N(m.dteNotReady ? 1 : 0);
    }
    void operator()(const AisSarAircraftReport& m)
    {
        Head(r, m);
        r["alt"] = N(m.altitudeM ? *m.altitudeM : 4095);
        r["speed"] = Raw(m.speedKnots, 1, 1023);
        Place(r, m.position, 600000);
        r["course"] = Raw(m.courseDeg, 10, 3600);
        r["second"] = N(m.utcSecond);
        r["regional"] = N(m.altitudeBarometric ? 1 : 0);
        r["dte"] = N(m.dteNotReady ? 1 : 0);
        r["raim"] = B(m.raim);
        r["radio"] = N(m.radioStatus);
    }
    void operator()(const AisSafetyBroadcast& m)
    {
        Head(r, m);
        r["text"] = m.text;
    }
    void operator()(const AisPositionReportB& m)
    {
        Head(r, m);
        r["speed"] = Raw(m.speedKnots, 10, 1023);
        Place(r, m.position, 600000);
        r["course"] = Raw(m.courseDeg, 10, 3600);
        r["heading"] = Heading(m.headingDeg);
        r["second"] = N(m.utcSecond);
        r["cs"] = B(m.carrierSense);
        r["display"] = B(m.display);
        r["dsc"] = B(m.dsc);
        r["band"] = B(m.wholeBand);
        r["msg22"] = B(m.acceptsMessage22);
        r["raim"] = B(m.raim);
        r["radio"] = N(m.radioStatus);
    }
    void operator()(const AisExtendedReportB& m)
    {
        Head(r, m);
        r["speed"] = Raw(m.speedKnots, 10, 1023);
        Place(r, m.position, 600000);
        r["course"] = Raw(m.courseDeg, 10, 3600);
        r["heading"] = Heading(m.headingDeg);
        r["second"] = N(m.utcSecond);
        r["shipname"] = m.name;
        r["shiptype"] = N(m.shipType);
        Dims(r, m.dimensions);
        r["epfd"] = N(m.epfd);
        r["raim"] = B(m.raim);
        r["dte"] = N(m.dteNotReady ? 1 : 0);
        r["assigned"] = B(m.assigned);
    }
    void operator()(const AisAidToNavigationReport& m)
    {
        Head(r, m);
        r["aid_type"] = N(m.aidType);
        r["name"] = m.name;
        Place(r, m.position, 600000);
        Dims(r, m.dimensions);
        r["epfd"] = N(m.epfd);
        r["second"] = N(m.utcSecond);
        r["regional"] = N(m.atonStatus);
        r["off_position"] = B(m.offPosition);
        r["raim"] = B(m.raim);
        r["virtual_aid"] = B(m.virtualAid);
    }
    void operator()(const AisStaticDataA& m)
    {
        Head(r, m);
        r["part"] = "A";
        r["shipname"] = m.name;
    }
    void operator()(const AisStaticDataB& m)
    {
        Head(r, m);
        r["part"] = "B";
        r["shiptype"] = N(m.shipType);
        r["vendorid"] = m.vendorId;
        r["model"] = N(m.unitModel);
        r["serial"] = N(m.serialNumber);
        r["callsign"] = m.callSign;
        if (m.mothershipMmsi) r["mothership_mmsi"] = N(*m.mothershipMmsi);
        else Dims(r, m.dimensions);
    }
    void operator()(const AisLongRangeReport& m)
    {
        Head(r, m);
        r["status"] = N(m.navStatus);
        Place(r, m.position, 600);
        r["speed"] = Raw(m.speedKnots, 1, 63);
        r["course"] = Raw(m.courseDeg, 1, 511);
        r["raim"] = B(m.raim);
        r["gnss"] = B(m.positionLatency);
    }
    void operator()(const OwnShipSentence&) { r["class"] = "GPS"; }
};

// gpsdecode prints raw values even where they are off the field's range; ours calls them
// "not available". This brings gpsdecode's to the same sentinel.
std::string Normalised(const AisRecord& gpsd, const std::string& key, const std::string& value)
{
    const int type = std::stoi(gpsd.at("type"));
    const bool longRange = type == 27;
    struct Range {
        const char* key;
        long long low, high, sentinel;
    };
    const Range ranges[] = {
        {"lon", longRange ? -108000 : -108000000, longRange ? 108000 : 108000000, longRange ? 108600 : 108600000},
        {"lat", longRange ? -54000 : -54000000, longRange ? 54000 : 54000000, longRange ? 54600 : 54600000},
        {"course", 0, longRange ? 359 : 3599, longRange ? 511 : 3600},
        {"heading", 0, 359, 511},
    };
    for (const Range& range : ranges) {
        if (key != range.key) continue;
        const long long v = std::stoll(value);
        return std::to_string(v < range.low || v > range.high ? range.sentinel : v);
    }
    if (key == "vendorid") {  // gpsdecode reads seven characters; the ID is the first three
        std::string id = value.substr(0, 3);
        while (!id.empty() && id.back() == ' ') id.pop_back();
        return id;
    }
    if (key == "regional" && type == 9) return std::to_string(std::stoi(value) >> 7);  // altitude sensor bit
    return value;
}

} // namespace

testsupport::AisRecord AsGpsdRecord(const NmeaMessage& message)
{
    AisRecord record;
    std::visit(GpsdView{record}, message);
    return record;
}

std::string DifferencesFromGpsd(const AisRecord& mine, const AisRecord& gpsd)
{
    static const std::set<std::string> kIgnored = {"class", "device", "scaled", "status_text", "shiptype_text",
                                                   "epfd_text", "aid_type_text"};
    if (!gpsd.count("type")) return "gpsdecode record without a type";
    AisRecord theirs = gpsd;
    // gpsdecode joins a part B to an earlier part A of the same MMSI, even with -s, and
    // prints the pair without "part": compare its part B fields.
    if (theirs.at("type") == "24" && !theirs.count("part") && mine.count("part") && mine.at("part") == "B") {
        theirs.erase("shipname");
        theirs["part"] = "B";
    }
    std::string differences;
    const bool classB = theirs.at("type") == "18" || theirs.at("type") == "19";
    for (const auto& [key, value] : theirs) {
        // Bits reserved for regional applications in class B reports are not read.
        if (kIgnored.count(key) || (classB && (key == "reserved" || key == "regional"))) continue;
        const auto ours = mine.find(key);
        const std::string expected = Normalised(theirs, key, value);
        if (ours == mine.end()) differences += key + ": missing vs " + value + "\n";
        else if (ours->second != expected) differences += key + ": " + ours->second + " vs " + value + "\n";
    }
    for (const auto& [key, value] : mine)
        if (!theirs.count(key)) differences += key + ": " + value + " vs missing\n";
    return differences;
}
