// vesgen given inputs that are wrong, huge or strange: each ends within seconds with one
// clear line and exit status 255, under an 8 GB address-space limit, or runs on with a
// warning where a tester may mean it.
#include "tests/support/Subprocess.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

using testsupport::ProgramPath;

class HostileInput : public testing::Test {
public:
    void SetUp() override
    {
        ASSERT_EQ(access(ProgramPath("vesgen").c_str(), X_OK), 0) << "vesgen is not built";
        setenv("TMPDIR", m_lockDir.Path().c_str(), 1);
    }

    // vesgen under an address-space limit, in kilobytes as `ulimit -v` takes it. A
    // sanitizer's build maps terabytes of shadow memory and runs without one.
    testsupport::ProcessResult RunLimited(const std::vector<std::string>& args, const std::string& limitKb = "8000000")
    {
#ifdef KVL_INSTRUMENTED_BUILD
        const std::string limit = "true";
#else
        const std::string limit = "ulimit -v " + limitKb;
#endif
        std::vector<std::string> argv{"/bin/sh", "-c", limit + " && exec \"$0\" \"$@\"", ProgramPath("vesgen")};
        argv.insert(argv.end(), args.begin(), args.end());
        return testsupport::RunProcess(argv, {}, std::chrono::seconds(15));
    }

    std::string File(const std::string& name, const std::string& text)
    {
        const std::string path = m_work.File(name);
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    testsupport::TempDir m_lockDir;
    testsupport::TempDir m_work;
};

struct HostileRow {
    std::string name;
    std::function<std::vector<std::string>(HostileInput&)> args;
    std::string told;  // on standard error
    std::string limitKb = "8000000";
};

TEST_F(HostileInput, EachEndsWithAClearLineAndExitStatus255)
{
    const std::string hugeField = "vessel-name,vessel-mmsi\nA,\"" + std::string(20000000, '9') + "\x1b[2J\"\n";
    const HostileRow rows[] = {
        {"CountAboveTheMaximum", [](auto&) { return std::vector<std::string>{"--fleet-random", "100000000"}; },
         "Error : --fleet-random 100000000 is more than the 10000000 vessels a run takes\n"},
#ifndef KVL_INSTRUMENTED_BUILD
        {"CountTheMachineCannotHold",
         [](auto&) { return std::vector<std::string>{"--fleet-random", "10000000", "--fleet-seed", "1"}; },
         "Error : out of memory;", "1000000"},
#endif
        {"EndlessDevice", [](auto&) { return std::vector<std::string>{"--fleet", "/dev/zero"}; },
         "Error : /dev/zero: is not a regular file; a fleet is read from a file\n"},
        {"RandomDevice", [](auto&) { return std::vector<std::string>{"--fleet", "/dev/urandom"}; },
         "Error : /dev/urandom: is not a regular file"},
        {"FifoWithoutWriter",
         [](HostileInput& t) {
             const std::string fifo = t.m_work.File("fleet.fifo");
             mkfifo(fifo.c_str(), 0600);
             return std::vector<std::string>{"--fleet", fifo};
         },
         "fleet.fifo: is not a regular file"},
        {"Folder", [](HostileInput& t) { return std::vector<std::string>{"--fleet", t.m_work.Path().string()}; },
         ": is a folder, not a fleet file\n"},
        {"LargerThanAFleetFileHolds",
         [](HostileInput& t) {
             const std::string path = t.File("big.csv", "");
             truncate(path.c_str(), (std::int64_t{256} << 20) + 1);
             return std::vector<std::string>{"--fleet", path};
         },
         "big.csv: is larger than 256 MiB, the most a fleet file may hold\n"},
        {"HugeFieldIsCutShort",
         [&hugeField](HostileInput& t) { return std::vector<std::string>{"--fleet", t.File("huge.csv", hugeField)}; },
         "(vessel-mmsi): \"" + std::string(40, '9') + "... (20000004 bytes)\" is not a valid value\n"},
        {"NotANumber",
         [](HostileInput& t) {
             return std::vector<std::string>{"--fleet", t.File("nan.csv", "vessel-lat,vessel-mmsi\nnan,1\n")};
         },
         "nan.csv line 2, column 1 (vessel-lat): \"nan\" is not a valid value\n"},
    };
    for (const HostileRow& row : rows) {
        SCOPED_TRACE(row.name);
        const auto start = std::chrono::steady_clock::now();
        const testsupport::ProcessResult r = RunLimited(row.args(*this), row.limitKb);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
        EXPECT_EQ(r.exitCode, 255) << r.err;
        EXPECT_NE(r.err.find(row.told), std::string::npos) << r.err;
        EXPECT_LT(r.err.size(), 600u) << "a short account, not an echo";
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(HostileInput, HeaderOnlyFileIsNamedBeforeNothingToDo)
{
    const std::string path = File("empty.csv", "vessel-name,vessel-mmsi\n");
    const testsupport::ProcessResult r = RunLimited({"--fleet", path});
    EXPECT_EQ(r.exitCode, 255);
    EXPECT_EQ(r.err.find("Warning : " + path + " holds no vessels, only its header row\nError : Nothing to do!"), 0u)
        << r.err;
}

TEST_F(HostileInput, AnyStartOfVersionThatTheParserTakesPrintsTheVersion)
{
    for (const char* argument : {"--version", "--vers", "--ver"}) {
        const testsupport::ProcessResult r = RunLimited({argument});
        EXPECT_EQ(r.exitCode, 0) << argument;
        EXPECT_EQ(r.out.rfind("KVL AIS Emulator", 0), 0u) << argument << ": " << r.out;
    }
    const testsupport::ProcessResult ambiguous = RunLimited({"--ve"});
    EXPECT_EQ(ambiguous.exitCode, 255);
    EXPECT_NE(ambiguous.out.find("ambiguous"), std::string::npos) << ambiguous.out;
}

TEST_F(HostileInput, DoubtfulValuesAndIdleOptionsAreWarnedAndTheRunGoesOn)
{
    const std::string csv = File("fleet.csv", "vessel-mmsi,vessel-lat\n244000001,91\n244000001,52\n");
    const std::string out = m_work.File("out.txt");
    testsupport::BackgroundProcess fleet({ProgramPath("vesgen"), "--fleet", csv, "--vessel-sog", "3e38",
                                          "--nmea-domsg1", "--ignore-timings", "--output", out});
    sleep(2);
    const testsupport::ProcessResult r = fleet.Stop(SIGINT);
    EXPECT_NE(r.err.find("Warning : " + csv + " line 2, column 2 (vessel-lat): 91 is outside what AIS messages carry "
                         "(-90 to 90 degrees)\n"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("Warning : " + csv + " line 3: MMSI 244000001 is also on line 2"), std::string::npos);
    EXPECT_NE(r.err.find("Warning : --vessel-sog 3e+38 is outside what AIS messages carry (0 to 102.2 knots)\n"),
              std::string::npos);
    EXPECT_NE(testsupport::ReadWholeFile(out).find("!AIVDM"), std::string::npos) << "the run went on";

    // Fleet options without a fleet, and an own ship that sends only what its GPS says.
    const std::string own = m_work.File("own.txt");
    testsupport::BackgroundProcess single({ProgramPath("vesgen"), "--nmea-own-ship", "--fleet-seed", "4",
                                           "--fleet-area", "1,2,3,4", "--output", own});
    sleep(2);
    const testsupport::ProcessResult s = single.Stop(SIGINT);
    EXPECT_NE(s.err.find("Warning : --fleet-area applies to a fleet"), std::string::npos) << s.err;
    EXPECT_NE(s.err.find("Warning : --fleet-seed applies to a fleet"), std::string::npos) << s.err;
    const std::string gps = testsupport::ReadWholeFile(own);
    EXPECT_NE(gps.find("$GPRMC,"), std::string::npos) << s.err;
    EXPECT_EQ(gps.find("!AIVD"), std::string::npos);
}

} // namespace
