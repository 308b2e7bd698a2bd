// A real run's stream, a random fleet and an own ship, through our decoder and gpsd's.
#include "emulator/encoding/NmeaReader.h"
#include "tests/encoding/GpsdView.h"
#include "tests/encoding/ReadInPieces.h"
#include "tests/support/GpsDecode.h"
#include "tests/support/Subprocess.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <map>
#include <set>
#include <vector>

namespace {

std::size_t CountOf(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// Runs vesgen into a file until `enough` says the text suffices (or 20 s pass), then
// stops it and returns the whole lines written.
template <typename Enough>
std::string RunVesgen(std::vector<std::string> args, Enough enough)
{
    testsupport::TempDir lockDir, work;
    const char* const tmp = std::getenv("TMPDIR");
    const std::string saved = tmp ? tmp : "";
    setenv("TMPDIR", lockDir.Path().c_str(), 1);  // the single-instance lock, apart from other runs
    const std::string file = work.File("run.nmea");
    args.insert(args.begin(), {testsupport::ProgramPath("vesgen"), "--output", file, "--ignore-timings"});
    testsupport::BackgroundProcess vesgen(args);
    std::string text;
    for (int waitedMs = 0; waitedMs < 20000 && !enough(text); waitedMs += 200) {
        usleep(200 * 1000);
        text = testsupport::ReadWholeFile(file);
    }
    vesgen.Stop(SIGINT);
    if (tmp) setenv("TMPDIR", saved.c_str(), 1);
    else unsetenv("TMPDIR");
    text = testsupport::ReadWholeFile(file);
    text.erase(text.find_last_of('\n') + 1);  // a line the stop may have cut
    return text;
}

class DecoderOnVesgenStream : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(access(testsupport::ProgramPath("vesgen").c_str(), X_OK), 0) << "vesgen is not built";
        KVL_REQUIRE_GPSDECODE();
    }
    // Decodes with both decoders and compares message by message.
    void Compare(const std::string& text)
    {
        // gpsdecode also reports the GPS sentences' fixes, as TPV records.
        std::vector<testsupport::AisRecord> gpsd;
        for (auto& record : testsupport::GpsDecode(text, {"-s"}))
            (record.at("class") == "TPV" ? tpv : gpsd).push_back(std::move(record));
        NmeaReaderStats stats;
        const std::vector<NmeaMessage> all = ReadInPieces(text, 3, &stats);
        EXPECT_EQ(stats.badChecksum + stats.malformed + stats.unsupported + stats.droppedFragments, 0u);
        for (const NmeaMessage& m : all) {
            if (const auto* s = std::get_if<OwnShipSentence>(&m)) gps.push_back(*s);
            else ais.push_back(m);
        }
        ASSERT_EQ(ais.size(), gpsd.size());
        int failures = 0;
        for (std::size_t i = 0; i < ais.size() && failures < 20; ++i) {
            const testsupport::AisRecord mine = AsGpsdRecord(ais[i]);
            const std::string differences = DifferencesFromGpsd(mine, gpsd[i]);
            failures += differences.empty() ? 0 : 1;
            EXPECT_EQ(differences, "") << "message " << i << " of type " << mine.at("type");
            ourMmsis.insert(mine.at("mmsi"));
            theirMmsis.insert(gpsd[i].at("mmsi"));
            if (mine.at("type") == "1" || mine.at("type") == "18") lastPosition[mine.at("mmsi")] = mine;
        }
    }
    std::vector<NmeaMessage> ais;
    std::vector<OwnShipSentence> gps;
    std::vector<testsupport::AisRecord> tpv;
    std::set<std::string> ourMmsis, theirMmsis;
    std::map<std::string, testsupport::AisRecord> lastPosition;
};

TEST_F(DecoderOnVesgenStream, RandomFleetAgreesWithGpsdecodeOnEveryMessageAndEveryMmsi)
{
    const std::string text = RunVesgen({"--fleet-random", "500", "--fleet-seed", "3", "--nmea-domsg1", "--nmea-domsg5",
                                        "--nmea-domsg18", "--nmea-domsg24", "--nmea-own-ship"},
                                       [](const std::string& t) { return CountOf(t, "\n") > 3000; });
    Compare(text);
    EXPECT_GT(ais.size(), 1500u) << "the run sent too little to compare";
    EXPECT_EQ(ourMmsis, theirMmsis);
    EXPECT_GT(ourMmsis.size(), 400u);
}

// The own ship's GPS sentences and its AIVDO report tell the same position and motion.
TEST_F(DecoderOnVesgenStream, OwnShipGpsAgreesWithItsOwnReport)
{
    const std::string text = RunVesgen({"--fleet-random", "20", "--fleet-seed", "3", "--nmea-domsg1", "--nmea-domsg18",
                                        "--nmea-own-ship", "--vessel-mmsi", "244123456", "--vessel-lat", "-33.8568",
                                        "--vessel-lon", "151.2153", "--vessel-sog", "12.5", "--vessel-cog", "270"},
                                       [](const std::string& t) { return CountOf(t, "$GPRMC") >= 3; });
    Compare(text);
    EXPECT_EQ(ourMmsis.size(), 21u);
    ASSERT_GE(gps.size(), 10u);
    const OwnShipSentence& rmc = gps[gps.size() - 5];
    ASSERT_EQ(rmc.kind, GpsSentenceKind::Rmc);
    const testsupport::AisRecord& own = lastPosition.at("244123456");
    EXPECT_NEAR(rmc.latitudeDeg.value_or(0), std::stod(own.at("lat")) / 600000.0, 1e-3);
    EXPECT_NEAR(rmc.longitudeDeg.value_or(0), std::stod(own.at("lon")) / 600000.0, 1e-3);
    EXPECT_DOUBLE_EQ(rmc.speedKnots.value_or(0), 12.5);
    EXPECT_EQ(own.at("speed"), "125");
    EXPECT_DOUBLE_EQ(gps.back().headingDeg.value_or(0), 270.0);
    for (const NmeaMessage& m : ais) EXPECT_EQ(AisHeaderOf(m)->ownShip, AisHeaderOf(m)->mmsi == 244123456u);

    // gpsdecode's fixes from the same sentences, matched by time of day ("...T14:31:33.830Z").
    ASSERT_FALSE(tpv.empty());
    for (const testsupport::AisRecord& fix : tpv) {
        const std::string time = fix.at("time").substr(11);
        const double secondsOfDay =
            std::stoi(time.substr(0, 2)) * 3600 + std::stoi(time.substr(3, 2)) * 60 + std::stod(time.substr(6));
        const auto ours = std::find_if(gps.begin(), gps.end(), [&](const OwnShipSentence& s) {
            return s.kind == GpsSentenceKind::Rmc && std::abs(s.utcSecondsOfDay.value_or(-1) - secondsOfDay) < 0.005;
        });
        ASSERT_NE(ours, gps.end()) << fix.at("time");
        EXPECT_NEAR(ours->latitudeDeg.value_or(0), std::stod(fix.at("lat")), 1e-8);
        EXPECT_NEAR(ours->longitudeDeg.value_or(0), std::stod(fix.at("lon")), 1e-8);
        EXPECT_NEAR(ours->speedKnots.value_or(0) * 1852.0 / 3600.0, std::stod(fix.at("speed")), 1e-3);
        EXPECT_NEAR(ours->courseDeg.value_or(0), std::stod(fix.at("track")), 1e-6);
    }
}

} // namespace
