// The built vesgen program in odd surroundings: something else at the lock path, a
// closed standard output, a reader that goes away.

#include "tests/support/Subprocess.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using namespace std::chrono_literals;

const char kLockName[] = "6c1f0a52-93be-4d7e-a1c4-2b8e5f7d9013";

struct Outcome {
    bool ended = false;
    int exitCode = -1;
    std::string err;
};

// Runs vesgen with standard output closed or on `outFd`, standard error collected,
// and kills it if it runs past `limit`.
Outcome RunVesgen(std::vector<std::string> args, int outFd, std::chrono::milliseconds limit)
{
    args.insert(args.begin(), testsupport::ProgramPath("vesgen"));
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    int err[2];
    EXPECT_EQ(pipe2(err, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (outFd < 0) posix_spawn_file_actions_addclose(&actions, STDOUT_FILENO);
    else posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(err[1]);
    Outcome outcome;
    if (spawned != 0) {
        close(err[0]);
        ADD_FAILURE() << "cannot start vesgen";
        return outcome;
    }

    const auto deadline = std::chrono::steady_clock::now() + limit;
    char buffer[512];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{err[0], POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        const ssize_t n = read(err[0], buffer, sizeof buffer);
        if (n <= 0) break;  // every holder of the pipe is gone
        outcome.err.append(buffer, static_cast<std::size_t>(n));
    }
    close(err[0]);
    int status = 0;
    bool reaped = false;
    while (!(reaped = waitpid(pid, &status, WNOHANG) == pid) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    if (!reaped) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return outcome;
    }
    outcome.ended = WIFEXITED(status);
    if (!outcome.ended) return outcome;
    outcome.exitCode = WEXITSTATUS(status);
    return outcome;
}

class VesgenRobustness : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(std::filesystem::exists(testsupport::ProgramPath("vesgen"))) << "vesgen is not built";
        const char* old = std::getenv("TMPDIR");
        if (old) m_oldTmpDir = old;
        setenv("TMPDIR", m_lockDir.Path().c_str(), 1);
    }
    void TearDown() override
    {
        if (m_oldTmpDir) setenv("TMPDIR", m_oldTmpDir->c_str(), 1);
        else unsetenv("TMPDIR");
    }

    testsupport::TempDir m_lockDir;
    testsupport::TempDir m_work;
    std::optional<std::string> m_oldTmpDir;
};

TEST_F(VesgenRobustness, SomethingOtherThanAFileAtTheLockPathIsALockFailure)
{
    const std::string lockPath = (m_lockDir.Path() / kLockName).string();
    ASSERT_EQ(mkfifo(lockPath.c_str(), 0600), 0);
    const Outcome fifo = RunVesgen({"--nmea-domsg1", "--output", m_work.File("out.txt")}, -1, 1s);
    EXPECT_TRUE(fifo.ended) << "a FIFO at the lock path held the program";
    EXPECT_EQ(fifo.exitCode, 1);
    EXPECT_EQ(fifo.err, "Error : Flags initialization error.\n");
    EXPECT_FALSE(std::filesystem::exists(m_work.File("out.txt")));

    std::filesystem::remove(lockPath);
    std::filesystem::create_directory(lockPath);
    const Outcome folder = RunVesgen({"--nmea-domsg1", "--output", m_work.File("out.txt")}, -1, 5s);
    EXPECT_EQ(folder.exitCode, 1);
    EXPECT_EQ(folder.err, "Error : Flags initialization error.\n");
}

TEST_F(VesgenRobustness, ClosedStandardOutputForTheConsoleIsToldAndFails)
{
    for (const std::string output : {"CON", "con"}) {
        const Outcome r = RunVesgen({"--nmea-domsg1", "--ignore-timings", "--output", output}, -1, 5s);
        EXPECT_TRUE(r.ended) << output;
        EXPECT_EQ(r.exitCode, 1) << output;
        EXPECT_EQ(r.err, "Error : standard output is closed, there is nowhere to write the sentences.\n");
    }
    // The lock never took descriptor 1: a file output still runs, and writes nothing else there.
    const std::string file = m_work.File("out.txt");
    const Outcome toFile = RunVesgen({"--nmea-domsg1", "--ignore-timings", "--output", file}, -1, 1500ms);
    EXPECT_FALSE(toFile.ended);
    EXPECT_EQ(toFile.err, "");
    EXPECT_GT(std::filesystem::file_size(file), 0U);
}

TEST_F(VesgenRobustness, ReaderGoingAwayIsToldInOneLine)
{
    int out[2];
    ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
    close(out[0]);  // the reader is gone before the first sentence
    const Outcome r = RunVesgen({"--nmea-domsg1", "--ignore-timings", "--output", "CON"}, out[1], 10s);
    close(out[1]);
    EXPECT_TRUE(r.ended);
    EXPECT_EQ(r.exitCode, 0) << "the run started and ended";
    EXPECT_EQ(r.err, "Error : [FILE] write error, code = 32\n");
}

} // namespace
