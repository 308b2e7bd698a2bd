#include "emulator/encoding/AisDecoder.h"
#include "emulator/encoding/NmeaReader.h"
#include "emulator/traffic/TrafficPicture.h"
#include "fuzz/FuzzCheck.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// Any bytes, cut into pieces of any size: the reader never crashes, holds no more than
// its limits allow, hands out only values within their fields' ranges, and the traffic
// picture built from them gives finite CPAs.
namespace {

void CheckRange(const std::optional<double>& v, double low, double high)
{
    if (v) KVL_FUZZ_CHECK(*v >= low && *v <= high);
}

void CheckPosition(const AisPosition& p)
{
    CheckRange(p.latitudeDeg, -90, 90);
    CheckRange(p.longitudeDeg, -180, 180);
}

void CheckCourse(const std::optional<double>& v) { CheckRange(v, 0, 359.9); }

// Six-bit text: ' '..'_' without the '@' padding and without trailing blanks.
void CheckText(const std::string& text, std::size_t maxChars)
{
    KVL_FUZZ_CHECK(text.size() <= maxChars);
    for (const char c : text) KVL_FUZZ_CHECK(c >= ' ' && c <= '_' && c != '@');
    KVL_FUZZ_CHECK(text.empty() || text.back() != ' ');
}

struct Check {
    void operator()(const AisPositionReportA& m)
    {
        CheckPosition(m.position);
        CheckRange(m.speedKnots, 0, 102.2);
        CheckCourse(m.courseDeg);
        KVL_FUZZ_CHECK(!m.headingDeg || *m.headingDeg <= 359);
        KVL_FUZZ_CHECK(m.navStatus <= 15 && m.utcSecond <= 63 && m.radioStatus < (1U << 19));
        CheckRange(m.rateOfTurnDegPerMin, -720, 720);
    }
    void operator()(const AisBaseStationReport& m) { CheckPosition(m.position); }
    void operator()(const AisStaticVoyageData& m)
    {
        CheckText(m.name, 20);
        CheckText(m.callSign, 7);
        CheckText(m.destination, 20);
        CheckRange(m.draughtM, 0.1, 25.5);
    }
    void operator()(const AisSarAircraftReport& m)
    {
        CheckPosition(m.position);
        CheckRange(m.speedKnots, 0, 1022);
        CheckCourse(m.courseDeg);
        KVL_FUZZ_CHECK(!m.altitudeM || *m.altitudeM <= 4094);
    }
    void operator()(const AisSafetyBroadcast& m) { CheckText(m.text, 161); }
    void operator()(const AisPositionReportB& m)
    {
        CheckPosition(m.position);
        CheckRange(m.speedKnots, 0, 102.2);
        CheckCourse(m.courseDeg);
    }
    void operator()(const AisExtendedReportB& m)
    {
        CheckPosition(m.position);
        CheckText(m.name, 20);
    }
    void operator()(const AisAidToNavigationReport& m)
    {
        CheckPosition(m.position);
        CheckText(m.name, 34);
    }
    void operator()(const AisStaticDataA& m) { CheckText(m.name, 20); }
    void operator()(const AisStaticDataB& m)
    {
        CheckText(m.vendorId, 3);
        CheckText(m.callSign, 7);
        KVL_FUZZ_CHECK(!m.mothershipMmsi || m.mmsi / 10000000 == 98);
    }
    void operator()(const AisLongRangeReport& m)
    {
        CheckPosition(m.position);
        CheckRange(m.speedKnots, 0, 62);
        CheckRange(m.courseDeg, 0, 359);
    }
    void operator()(const OwnShipSentence& s)
    {
        CheckRange(s.latitudeDeg, -90, 90);
        CheckRange(s.longitudeDeg, -180, 180);
        KVL_FUZZ_CHECK(s.latitudeDeg.has_value() == s.longitudeDeg.has_value());
        CheckRange(s.speedKnots, 0, 1e6);
        CheckRange(s.courseDeg, 0, 359.999999);
        CheckRange(s.headingDeg, 0, 359.999999);
        CheckRange(s.utcSecondsOfDay, 0, 86399.999);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    // The first byte sets the piece size: the same text must read alike however it is cut.
    const std::size_t piece = 1 + data[0] % 97;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const NmeaReaderLimits limits;
    NmeaReader reader(limits);
    TrafficPicture picture(64);
    std::vector<NmeaMessage> out;
    for (std::size_t at = 0; at < text.size(); at += piece) {
        reader.Feed(text.substr(at, piece), out);
        KVL_FUZZ_CHECK(reader.BufferedBytes() <= limits.maxLineBytes + limits.maxPendingMessages * kMaxAisPayloadChars);
    }
    reader.EndLine(out);
    KVL_FUZZ_CHECK(reader.Stats().messages == out.size());

    NmeaReader whole;
    std::vector<NmeaMessage> wholeOut;
    whole.FeedDatagram(text, wholeOut);
    KVL_FUZZ_CHECK(wholeOut.size() == out.size());

    std::int64_t nowMs = 0;
    for (const NmeaMessage& message : out) {
        std::visit(Check{}, message);
        picture.Apply(message, nowMs += 100);
    }
    for (const Target& target : picture.Targets()) {
        const auto cpa = CpaToOwnShip(picture.Own(), target);
        if (cpa) KVL_FUZZ_CHECK(std::isfinite(cpa->cpaNm) && std::isfinite(cpa->tcpaMin) && cpa->rangeNm >= 0);
    }
    return 0;
}
