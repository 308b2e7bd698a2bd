// The built vesgen program, run as a child process.

#include "tests/support/GpsDecode.h"
#include "tests/support/Subprocess.h"
#include "tests/support/FreePort.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <regex>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using namespace std::chrono_literals;
using testsupport::AisRecord;
using testsupport::ProcessResult;

const std::string kAlreadyStarted =
    "Warning : KVL AIS Emulator already started. Simulator support only one active instance.\n\n";
const std::string kNothingToDo =
    "Error : Nothing to do!\nPlease specify required types of message for generating with --nmea-domsg<X> key, "
    "where X = 1,5,18,19,24\n";
constexpr int kExitMinusOne = 255;  // main's -1 as a Linux exit status

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start + 1));
    return lines;
}

std::vector<AisRecord> OfType(const std::vector<AisRecord>& records, const std::string& type)
{
    std::vector<AisRecord> found;
    for (const AisRecord& r : records)
        if (r.count("type") && r.at("type") == type) found.push_back(r);
    return found;
}

long Number(const AisRecord& r, const std::string& key)
{
    return r.count(key) ? std::stol(r.at(key)) : -999999999L;
}

std::uint16_t FreeTcpPort()
{
    return testsupport::FreeLoopbackPort(SOCK_STREAM);
}

// A TCP client of the emulator's server port.
class Client {
public:
    explicit Client(std::uint16_t port)
    {
        m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        m_connected = connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~Client() { close(m_fd); }
    bool Connected() const { return m_connected; }
    // Reads until `enough` holds for what was read, the peer closes, or the limit passes.
    // Returns false when the peer closed the connection.
    bool ReadUntil(const std::function<bool(const std::string&)>& enough, std::chrono::milliseconds limit)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!enough(m_received) && std::chrono::steady_clock::now() < deadline) {
            pollfd pfd{m_fd, POLLIN, 0};
            if (poll(&pfd, 1, 50) != 1) continue;
            char buffer[4096];
            const ssize_t n = recv(m_fd, buffer, sizeof buffer, 0);
            if (n <= 0) return false;
            m_received.append(buffer, static_cast<std::size_t>(n));
        }
        return true;
    }
    const std::string& Received() const { return m_received; }

private:
    int m_fd = -1;
    bool m_connected = false;
    std::string m_received;
};

std::function<bool(const std::string&)> AtLeastLines(std::size_t count)
{
    return [count](const std::string& text) { return Lines(text).size() >= count; };
}

class VesgenEndToEnd : public testing::Test {
protected:
    // Each test gets its own temp directory for the single-instance lock file, so that
    // emulators of other test runs on the machine do not meet ours.
    void SetUp() override
    {
        // A missing program fails every test: a run that tests nothing must not pass.
        ASSERT_TRUE(std::filesystem::exists(testsupport::ProgramPath("vesgen")))
            << testsupport::ProgramPath("vesgen") << " does not exist (KVL_BIN_DIR names the folder of vesgen)";
        const char* old = std::getenv("TMPDIR");
        m_hadTmpDir = old != nullptr;
        if (old) m_oldTmpDir = old;
        setenv("TMPDIR", m_lockDir.Path().c_str(), 1);
    }
    void TearDown() override
    {
        if (m_hadTmpDir) setenv("TMPDIR", m_oldTmpDir.c_str(), 1);
        else unsetenv("TMPDIR");
    }

    static std::vector<std::string> Command(std::vector<std::string> args)
    {
        args.insert(args.begin(), testsupport::ProgramPath("vesgen"));
        return args;
    }
    static ProcessResult Run(const std::vector<std::string>& args, std::chrono::milliseconds limit = 20s)
    {
        return testsupport::RunProcess(Command(args), {}, limit);
    }

    testsupport::TempDir m_lockDir;
    testsupport::TempDir m_work;
    bool m_hadTmpDir = false;
    std::string m_oldTmpDir;
};

TEST_F(VesgenEndToEnd, HelpPrintsBannerAndOptionsAndEndsWithMinusOne)
{
    for (const char* word : {"--help", "-h"}) {
        const ProcessResult r = Run({word, "--nmea-domsg1", "--output", m_work.File("out.txt")});
        EXPECT_EQ(r.exitCode, kExitMinusOne) << word;
        EXPECT_EQ(r.out.rfind("KVL AIS Emulator\n", 0), 0U) << word;
        EXPECT_NE(r.out.find("\nAllowed options:\n  -h [ --help ]"), std::string::npos) << word;
        EXPECT_NE(r.out.find("  --check-update [=arg(=1)]      Check for software updates\n"), std::string::npos);
        EXPECT_EQ(r.out.substr(r.out.size() - 2), "\n\n") << word;
        EXPECT_EQ(r.err, "") << word;
        EXPECT_FALSE(std::filesystem::exists(m_work.File("out.txt"))) << word;
    }
}

TEST_F(VesgenEndToEnd, NoMessageTypeIsNothingToDo)
{
    const std::string file = m_work.File("out.txt");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--output", file}, {"--output", file, "--nmea-domsg1=0", "--ignore-timings"}}) {
        const ProcessResult r = Run(args);
        EXPECT_EQ(r.exitCode, kExitMinusOne);
        EXPECT_EQ(r.err, kNothingToDo);
        EXPECT_EQ(r.out, "");
        EXPECT_FALSE(std::filesystem::exists(file));
    }
}

TEST_F(VesgenEndToEnd, CommandLineErrorsArePrintedOnStandardOutput)
{
    struct Row {
        std::string name;
        std::vector<std::string> args;
        std::string out;
    };
    const std::vector<Row> rows = {
        {"unknown option", {"--nmea-domsg1", "--bogus"}, "unrecognised option '--bogus'"},
        {"repeated option", {"--nmea-domsg1", "--vessel-mmsi", "1", "--vessel-mmsi", "2"},
         "option '--vessel-mmsi' cannot be specified more than once"},
        {"text for a number", {"--nmea-domsg1", "--vessel-mmsi", "abc"},
         "the argument ('abc') for option '--vessel-mmsi' is invalid"},
        {"value missing at the end", {"--nmea-domsg1", "--vessel-accuracy"},
         "the required argument for option '--vessel-accuracy' is missing"},
    };
    const std::string file = m_work.File("out.txt");
    for (const Row& row : rows) {
        std::vector<std::string> args{"--output", file};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const ProcessResult r = Run(args);
        EXPECT_EQ(r.exitCode, kExitMinusOne) << row.name;
        EXPECT_EQ(r.out, row.out) << row.name;
        EXPECT_EQ(r.err, "") << row.name;
        EXPECT_FALSE(std::filesystem::exists(file)) << row.name;
    }
}

TEST_F(VesgenEndToEnd, SecondInstanceIsRefusedAndTheFirstKeepsRunning)
{
    const std::string file = m_work.File("first.txt");
    testsupport::BackgroundProcess first(Command({"--output", file, "--nmea-domsg1", "--ignore-timings"}));
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(file); }, 10s)) << first.ErrSoFar();

    const std::string secondFile = m_work.File("second.txt");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--help"}, {"--check-update"}, {"--bogus"},
          {"--output", secondFile, "--nmea-domsg5"}}) {
        const ProcessResult r = Run(args);
        EXPECT_EQ(r.exitCode, 1) << args[0];
        EXPECT_EQ(r.err, kAlreadyStarted) << args[0];
        EXPECT_EQ(r.out, "") << args[0];
    }
    EXPECT_FALSE(std::filesystem::exists(secondFile));
    EXPECT_TRUE(first.Running());
    // The first one still writes.
    const auto size = std::filesystem::file_size(file);
    EXPECT_TRUE(WaitFor([&] { return std::filesystem::file_size(file) > size; }, 5s));
    first.Stop(SIGKILL);

    // Its death frees the guard at once.
    EXPECT_EQ(Run({"--help"}).exitCode, kExitMinusOne);
}

TEST_F(VesgenEndToEnd, OutputThatCannotBeOpenedIsARunThatNeverStarted)
{
    const std::string file = m_work.File("no-such-folder/log.txt");
    const ProcessResult r = Run({"--output", file, "--nmea-domsg1", "--ignore-timings"}, 10s);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 1);
    const std::string prefix = "Error : [FILE] error opening file (" + file + "), code = ";
    ASSERT_EQ(r.err.rfind(prefix, 0), 0U) << r.err;
    EXPECT_TRUE(std::regex_match(r.err.substr(prefix.size()), std::regex(R"(\d+\n)"))) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST_F(VesgenEndToEnd, CheckUpdateRunsOnlyTheCheck)
{
    const std::string file = m_work.File("out.txt");
    const ProcessResult r = Run({"--check-update", "--nmea-domsg1", "--ignore-timings", "--output", file});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");  // the deployment's update host is not reachable from here: silence
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(VesgenEndToEnd, GuardThatCannotBeCreatedIsAFlagsError)
{
    // A link where the lock file belongs is never followed.
    std::filesystem::create_symlink(m_work.File("elsewhere"), m_lockDir.Path() / "6c1f0a52-93be-4d7e-a1c4-2b8e5f7d9013");
    const std::string file = m_work.File("out.txt");
    const ProcessResult r = Run({"--output", file, "--nmea-domsg1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Error : Flags initialization error.\n");
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_FALSE(std::filesystem::exists(m_work.File("elsewhere")));
}

// A run to a file with every message type at every step, stopped from outside.
TEST_F(VesgenEndToEnd, RunToFileDecodesWithTheGivenParticulars)
{
    KVL_REQUIRE_GPSDECODE();
    const std::string file = m_work.File("log.txt");
    testsupport::BackgroundProcess run(Command({
        "--output", file, "--ignore-timings", "--nmea-domsg1", "--nmea-domsg5", "--nmea-domsg18", "--nmea-domsg19",
        "--nmea-domsg24", "--vessel-mmsi", "244123456", "--vessel-imo", "9074729", "--vessel-name", "TEST VESSEL",
        "--vessel-call", "PD1234", "--vessel-type", "70", "--vessel-dima", "100", "--vessel-dimb", "20",
        "--vessel-dimc", "8", "--vessel-dimd", "12", "--vessel-lat", "52.5", "--vessel-lon", "4.25",
        "--vessel-sog", "12.5", "--vessel-cog", "135", "--vessel-status", "5", "--vessel-accuracy", "0",
        "--vessel-postdevice", "3", "--port-dest", "ROTTERDAM"}));
    // Two steps of 1 + 2 + 1 + 1 + 2 sentences.
    constexpr std::size_t kLinesPerStep = 7;
    ASSERT_TRUE(WaitFor([&] { return Lines(testsupport::ReadWholeFile(file)).size() >= 2 * kLinesPerStep; }, 10s))
        << run.ErrSoFar();
    EXPECT_TRUE(run.Running());
    const ProcessResult r = run.Stop(SIGTERM);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");

    const std::string text = testsupport::ReadWholeFile(file);
    const std::vector<std::string> lines = Lines(text);
    EXPECT_EQ(lines.size() % kLinesPerStep, 0U);
    const std::regex sentence(R"(!AIVDM,[12],[12],\d?,[AB],[0-9:;<=>?@A-W`a-w]+,[0-5]\*[0-9a-f]{2}\r\n)");
    for (const std::string& line : lines) EXPECT_TRUE(std::regex_match(line, sentence)) << line;

    const std::vector<AisRecord> records = testsupport::GpsDecode(text);
    EXPECT_EQ(records.size(), 5 * lines.size() / kLinesPerStep);  // every sentence decodes
    for (const AisRecord& r1 : OfType(records, "1")) {
        EXPECT_EQ(r1.at("mmsi"), "244123456");
        EXPECT_EQ(r1.at("status"), "5");
        EXPECT_EQ(r1.at("speed"), "125");
        EXPECT_NEAR(Number(r1, "course"), 1350, 1);
        EXPECT_EQ(r1.at("accuracy"), "false");
        EXPECT_NEAR(Number(r1, "lat"), 52.5 * 600000, 1000);  // 1/10000 minute; a few seconds at 12.5 kn
        EXPECT_NEAR(Number(r1, "lon"), 4.25 * 600000, 1000);
    }
    for (const AisRecord& r5 : OfType(records, "5")) {
        EXPECT_EQ(r5.at("imo"), "9074729");
        EXPECT_EQ(r5.at("callsign"), "PD1234");
        EXPECT_EQ(r5.at("shipname"), "TEST VESSEL");
        EXPECT_EQ(r5.at("shiptype"), "70");
        EXPECT_EQ(r5.at("to_bow"), "100");
        EXPECT_EQ(r5.at("to_stern"), "20");
        EXPECT_EQ(r5.at("to_port"), "8");
        EXPECT_EQ(r5.at("to_starboard"), "12");
        EXPECT_EQ(r5.at("epfd"), "3");
        EXPECT_EQ(r5.at("destination"), "ROTTERDAM");
    }
    for (const AisRecord& r18 : OfType(records, "18")) {
        EXPECT_EQ(r18.at("mmsi"), "244123456");
        EXPECT_EQ(r18.at("speed"), "125");
        EXPECT_NEAR(Number(r18, "lat"), 52.5 * 600000, 1000);
    }
    for (const AisRecord& r19 : OfType(records, "19")) {
        EXPECT_EQ(r19.at("shipname"), "TEST VESSEL");
        EXPECT_EQ(r19.at("shiptype"), "70");
        EXPECT_EQ(r19.at("to_bow"), "100");
    }
    for (const AisRecord& r24 : OfType(records, "24")) {
        EXPECT_EQ(r24.at("mmsi"), "244123456");
        EXPECT_EQ(r24.at("shipname"), "TEST VESSEL");
        EXPECT_EQ(r24.at("callsign"), "PD1234");
        EXPECT_EQ(r24.at("to_starboard"), "12");
    }
    for (const char* type : {"1", "5", "18", "19", "24"})
        EXPECT_GE(OfType(records, type).size(), 2U) << "type " << type;
}

TEST_F(VesgenEndToEnd, IgnoreCrcLeavesEveryChecksumOut)
{
    KVL_REQUIRE_GPSDECODE();
    const std::string file = m_work.File("log.txt");
    testsupport::BackgroundProcess run(Command({"--output", file, "--ignore-timings", "--ignore-crc", "--nmea-domsg1",
                                                "--nmea-domsg5", "--vessel-mmsi", "211000001"}));
    ASSERT_TRUE(WaitFor([&] { return Lines(testsupport::ReadWholeFile(file)).size() >= 6; }, 10s)) << run.ErrSoFar();
    run.Stop(SIGKILL);
    const std::string text = testsupport::ReadWholeFile(file);
    EXPECT_EQ(text.find('*'), std::string::npos);
    for (const std::string& line : Lines(text))
        EXPECT_TRUE(std::regex_match(line, std::regex(R"(!AIVDM,.*,[0-5]\r\n)"))) << line;
    const std::vector<AisRecord> records = testsupport::GpsDecode(text);
    ASSERT_FALSE(OfType(records, "1").empty());
    EXPECT_EQ(OfType(records, "1")[0].at("mmsi"), "211000001");
    EXPECT_FALSE(OfType(records, "5").empty());
}

TEST_F(VesgenEndToEnd, TcpOutputServesOneClientAndRefusesASecond)
{
    KVL_REQUIRE_GPSDECODE();
    const std::uint16_t port = FreeTcpPort();
    testsupport::BackgroundProcess run(Command({"--output", "TCP*" + std::to_string(port), "--ignore-timings",
                                                "--nmea-domsg1", "--nmea-domsg18", "--vessel-mmsi", "244000777"}));
    std::unique_ptr<Client> first;
    ASSERT_TRUE(WaitFor(
        [&] {
            first = std::make_unique<Client>(port);
            return first->Connected();
        },
        10s))
        << run.ErrSoFar();
    ASSERT_TRUE(first->ReadUntil(AtLeastLines(2), 10s));

    Client second(port);
    ASSERT_TRUE(second.Connected());  // accepted by the backlog, then closed by the server
    EXPECT_FALSE(second.ReadUntil([](const std::string&) { return false; }, 10s));
    EXPECT_EQ(second.Received(), "");

    const std::size_t before = Lines(first->Received()).size();
    EXPECT_TRUE(first->ReadUntil(AtLeastLines(before + 2), 10s));
    EXPECT_TRUE(run.Running());

    const std::vector<AisRecord> records = testsupport::GpsDecode(first->Received());
    ASSERT_FALSE(OfType(records, "1").empty());
    ASSERT_FALSE(OfType(records, "18").empty());
    EXPECT_EQ(OfType(records, "1")[0].at("mmsi"), "244000777");

    // A client that goes away does not end the run; the next one is served.
    first.reset();
    std::unique_ptr<Client> third;
    ASSERT_TRUE(WaitFor(
        [&] {
            third = std::make_unique<Client>(port);
            return third->Connected() && third->ReadUntil(AtLeastLines(1), 3s) && !third->Received().empty();
        },
        15s));
    EXPECT_TRUE(run.Running());
    const ProcessResult r = run.Stop(SIGKILL);
    EXPECT_NE(r.err.find("Information : [TCP] client connected.\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Information : [TCP] connection refused, only one connection allowed.\n"), std::string::npos)
        << r.err;
    EXPECT_EQ(r.out, "");
}

// Console output into a pipe whose reader goes away: the run ends by itself with exit
// code 0; no SIGPIPE kills the program.
TEST_F(VesgenEndToEnd, ConsoleReaderGoingAwayEndsTheRunCleanly)
{
    int out[2];
    ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> args = Command({"--output", "CON", "--ignore-timings", "--nmea-domsg1"});
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);

    char buffer[256];
    pollfd pfd{out[0], POLLIN, 0};
    ASSERT_EQ(poll(&pfd, 1, 10000), 1);
    EXPECT_GT(read(out[0], buffer, sizeof buffer), 0);
    close(out[0]);

    int status = 0;
    const bool ended = WaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 10s);
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    EXPECT_TRUE(ended);
    EXPECT_FALSE(WIFSIGNALED(status) && WTERMSIG(status) == SIGPIPE);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

} // namespace
