#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "panel/tap/TargetDetails.h"
#include "panel/tap/TrafficTap.h"
#include "platform/DatagramSender.h"
#include "tests/support/GpsDecode.h"
#include "tests/support/Subprocess.h"
#include "tests/support/TempDir.h"

namespace {

using namespace std::chrono_literals;

Target Station(std::uint32_t mmsi, StationKind kind, double lat = 52.0, double lon = 4.0)
{
    Target t;
    t.mmsi = mmsi;
    t.kind = kind;
    t.latitudeDeg = lat;
    t.longitudeDeg = lon;
    t.lastHeardMs = t.lastPositionMs = 1000000;
    return t;
}

// The own ship is the AIVDO station when one is heard, else the form's vessel; a form station
// made a beacon keeps its distress symbol.
TEST(ChartFeed, OwnShipAndItsReference)
{
    const std::vector<Target> targets = {Station(244000101, StationKind::ClassA, 52.0, 4.0),
                                         Station(970000001, StationKind::Sart, 52.1, 4.0)};
    OwnShip none;
    const tap::TapFrame byForm = tap::MakeFrame(targets, none, 244000101, 1000000);
    ASSERT_EQ(byForm.stations, 2u);
    // Speed, course and heading never reported: not available on the chart, not zero.
    const chart::ChartTarget& silent = byForm.scene.Targets()[1];
    EXPECT_TRUE(std::isnan(silent.sogKnots) && std::isnan(silent.cogDeg) && std::isnan(silent.headingDeg));
    EXPECT_EQ(byForm.ownIndex, std::optional<std::size_t>(0));
    EXPECT_EQ(byForm.scene.Targets()[0].kind, chart::StationKind::OwnShip);
    ASSERT_TRUE(byForm.reference);
    EXPECT_EQ(byForm.reference->latitudeDeg, 52.0);

    const tap::TapFrame beacon = tap::MakeFrame(targets, none, 970000001, 1000000);
    EXPECT_FALSE(beacon.ownIndex);
    EXPECT_EQ(beacon.scene.Targets()[1].kind, chart::StationKind::Sart);

    OwnShip aivdo;
    aivdo.mmsi = 211000001;
    aivdo.latitudeDeg = 51.0;
    aivdo.longitudeDeg = 3.0;
    const tap::TapFrame own = tap::MakeFrame(targets, aivdo, 244000101, 1000000);
    ASSERT_EQ(own.stations, 3u);
    EXPECT_EQ(own.ownIndex, std::optional<std::size_t>(2));
    EXPECT_EQ(own.scene.Targets()[0].kind, chart::StationKind::ClassA);
    EXPECT_EQ(own.reference->latitudeDeg, 51.0);
    EXPECT_EQ(tap::DescribeTarget(own, 2).at(0).value, "211000001");
}

std::string Value(const std::vector<tap::DetailRow>& rows, const std::string& label)
{
    for (const tap::DetailRow& row : rows)
        if (row.label == label) return row.value;
    return "<no " + label + ">";
}

// A target's fields as the pane shows them; CPA and TCPA as the flat-earth computation gives them.
TEST(TargetDetails, FieldsCpaAndLost)
{
    Target t = Station(244000102, StationKind::ClassA, 52.0, 4.1);
    t.name.Assign("STENA TRADER");
    t.destination.Assign("HARWICH");
    t.shipType = 70;
    t.navStatus = 0;
    t.speedKnots = 12.0;
    t.courseDeg = 270.0;
    t.headingDeg = 271.0;
    t.lastMessageType = 1;
    t.lastHeardMs = 1000000 - 3000;
    Target own = Station(244000101, StationKind::ClassA, 52.0, 4.0);
    own.speedKnots = 0.0;
    own.courseDeg = 0.0;
    tap::TapFrame frame = tap::MakeFrame({own, t}, OwnShip{}, 244000101, 1000000);
    const std::vector<tap::DetailRow> rows = tap::DescribeTarget(frame, 1);
    EXPECT_EQ(Value(rows, "MMSI"), "244000102");
    EXPECT_EQ(Value(rows, "Name"), "STENA TRADER");
    EXPECT_EQ(Value(rows, "Type"), "70 Cargo, all ships of this type");
    EXPECT_EQ(Value(rows, "Position"), "52\u00b0 00.000' N, 004\u00b0 06.000' E");
    EXPECT_EQ(Value(rows, "SOG"), "12.0 kn");
    EXPECT_EQ(Value(rows, "COG"), "270.0\u00b0");
    EXPECT_EQ(Value(rows, "Heading"), "271\u00b0");
    EXPECT_EQ(Value(rows, "Status"), "0 Under way using engine");
    EXPECT_EQ(Value(rows, "Destination"), "HARWICH");
    EXPECT_EQ(Value(rows, "Last message"), "type 1, 3 s ago");
    // 6' of longitude at 52 N is 3.69 NM; straight at the own ship at 12 kn: 18.5 minutes.
    EXPECT_EQ(Value(rows, "CPA"), "0.00 NM");
    EXPECT_EQ(Value(rows, "TCPA"), "18.5 min");
    EXPECT_EQ(Value(rows, "Lost"), "<no Lost>");
    EXPECT_EQ(Value(tap::DescribeTarget(frame, 0), "CPA"), "<no CPA>");   // the own ship itself

    // Class A at 12 kn: lost after 60 s without a position.
    frame = tap::MakeFrame({t}, OwnShip{}, std::nullopt, t.lastPositionMs + 70000);
    const std::vector<tap::DetailRow> alone = tap::DescribeTarget(frame, 0);
    EXPECT_EQ(Value(alone, "CPA"), "no own ship position");
    EXPECT_EQ(Value(alone, "Lost"), "no position for 70 s (limit 60 s)");
    EXPECT_TRUE(tap::DescribeTarget(frame, 1).empty());
}

// Takes frames until `done` holds for one, or the limit passes; the last frame seen.
std::unique_ptr<tap::TapFrame> WaitForFrame(tap::TrafficTap& tap, const std::function<bool(const tap::TapFrame&)>& done,
                                            std::chrono::milliseconds limit = 15s)
{
    std::unique_ptr<tap::TapFrame> last;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (auto frame = tap.TakeFrame()) last = std::move(frame);
        if (last && done(*last)) break;
        std::this_thread::sleep_for(50ms);
    }
    return last;
}

std::set<std::uint32_t> MmsisOf(const tap::TapFrame& frame)
{
    std::set<std::uint32_t> mmsis;
    for (const chart::ChartTarget& t : frame.scene.Targets()) mmsis.insert(t.mmsi);
    return mmsis;
}

std::set<std::uint32_t> GpsdecodeMmsis(const std::string& sentences)
{
    std::set<std::uint32_t> mmsis;
    for (const auto& record : testsupport::GpsDecode(sentences))
        if (record.count("mmsi") != 0) mmsis.insert(static_cast<std::uint32_t>(std::stoul(record.at("mmsi"))));
    return mmsis;
}

// What vesgen wrote to a file, sent to the tap line by line as its UDP output does: the tap
// knows exactly the stations gpsdecode finds in the same bytes, beacons with their kind.
TEST(TrafficTap, KnowsEveryStationGpsdecodeFinds)
{
    KVL_REQUIRE_GPSDECODE();
    testsupport::TempDir work;
    const std::string file = work.File("run.nmea");
    testsupport::BackgroundProcess vesgen({testsupport::ProgramPath("vesgen"), "--vessel-mmsi", "244000101",
                                           "--vessel-lat", "51.9", "--vessel-lon", "3.7", "--nmea-domsg1", "--nmea-own-ship",
                                           "--fleet-random", "300", "--fleet-seed", "5", "--fleet-beacons", "3",
                                           "--fleet-base-stations", "1", "--ignore-timings", "--output", file});
    std::this_thread::sleep_for(2500ms);
    ASSERT_EQ(vesgen.Stop(SIGTERM).exitCode, 0);
    const std::string sentences = testsupport::ReadWholeFile(file);
    const std::set<std::uint32_t> expected = GpsdecodeMmsis(sentences);
    ASSERT_GE(expected.size(), 305u);

    tap::TrafficTap tap;
    ASSERT_EQ(tap.Open({}), 0);
    tap.Restart(244000101);
    platform::DatagramSender sender;
    std::string lookupError;
    ASSERT_EQ(sender.Open("127.0.0.1", tap.Port(), lookupError), 0);
    std::istringstream lines(sentences);
    int sent = 0;
    for (std::string line; std::getline(lines, line);) {
        line += '\n';
        sender.Send(line.data(), line.size());
        // Paced a little: the test checks decoding, not the socket's buffer.
        if (++sent % 200 == 0) std::this_thread::sleep_for(2ms);
    }
    const auto frame = WaitForFrame(tap, [&](const tap::TapFrame& f) { return f.stations >= expected.size(); });
    ASSERT_TRUE(frame);
    EXPECT_EQ(MmsisOf(*frame), expected);
    EXPECT_EQ(frame->counters.reader.badChecksum + frame->counters.reader.malformed, 0u);
    std::map<chart::StationKind, int> kinds;
    for (const chart::ChartTarget& t : frame->scene.Targets()) ++kinds[t.kind];
    EXPECT_EQ(kinds[chart::StationKind::OwnShip], 1);
    EXPECT_EQ(kinds[chart::StationKind::Sart] + kinds[chart::StationKind::Mob] + kinds[chart::StationKind::Epirb], 3);
    EXPECT_EQ(kinds[chart::StationKind::BaseStation], 1);
}

// The live path: vesgen's own UDP output into the tap, and a new run forgets the last one.
TEST(TrafficTap, LiveRunThenRestart)
{
    tap::TrafficTap tap;
    std::atomic<int> told{0};
    ASSERT_EQ(tap.Open([&told] { ++told; }), 0);
    tap.Restart(244000101);
    testsupport::BackgroundProcess vesgen({testsupport::ProgramPath("vesgen"), "--vessel-mmsi", "244000101",
                                           "--vessel-lat", "51.9", "--vessel-lon", "3.7", "--nmea-domsg1",
                                           "--fleet-random", "500", "--fleet-seed", "9", "--ignore-timings",
                                           "--output", "UDP*127.0.0.1:" + std::to_string(tap.Port())});
    auto frame = WaitForFrame(tap, [](const tap::TapFrame& f) { return f.stations >= 501; });
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->stations, 501u);
    EXPECT_EQ(frame->scene.Targets()[*frame->ownIndex].mmsi, 244000101u);
    EXPECT_GT(told.load(), 0);
    EXPECT_EQ(vesgen.Stop(SIGTERM).exitCode, 0);

    tap.Restart(std::nullopt);
    frame = WaitForFrame(tap, [](const tap::TapFrame& f) { return f.stations == 0; }, 5s);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->stations, 0u);
}

// Datagrams that are no sentences are counted and change nothing.
TEST(TrafficTap, HostileDatagramsAreCounted)
{
    tap::TrafficTap tap;
    ASSERT_EQ(tap.Open({}), 0);
    platform::DatagramSender sender;
    std::string lookupError;
    ASSERT_EQ(sender.Open("127.0.0.1", tap.Port(), lookupError), 0);
    const auto framed = [](const std::string& body) {
        unsigned char sum = 0;
        for (const char c : body) sum ^= static_cast<unsigned char>(c);
        char tail[8];
        std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
        return "!" + body + tail;
    };
    const std::string good = framed("AIVDM,1,1,,A,13u?etPv2;0n:dDPwUM1U1Cb069D,0");
    std::string wrongSum = good;
    wrongSum[wrongSum.size() - 3] = wrongSum[wrongSum.size() - 3] == '0' ? '1' : '0';
    const std::string junk[] = {std::string(3000, 'x'), std::string("\0\0\xff!AIVDM,1,1", 14), wrongSum,
                                framed("AIVDM,1,1,,A,1\x7f\x7f,0")};
    for (const std::string& datagram : junk) sender.Send(datagram.data(), datagram.size());
    sender.Send(good.data(), good.size());
    const auto frame = WaitForFrame(tap, [](const tap::TapFrame& f) { return f.stations == 1; }, 5s);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->stations, 1u);
    EXPECT_EQ(frame->counters.datagrams, 5u);
    EXPECT_EQ(frame->counters.reader.badChecksum, 1u);
    EXPECT_GE(frame->counters.reader.malformed + frame->counters.reader.overlongLines, 2u);
}

} // namespace
