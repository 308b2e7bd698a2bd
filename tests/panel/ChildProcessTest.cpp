#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "panel/core/CommandLine.h"
#include "platform/ChildProcess.h"
#include "tests/panel/FakeEmulator.h"

namespace {

using namespace std::chrono_literals;

// A started fake emulator with the read end of its output pipe.
struct StartedChild {
    platform::FileHandle read;
    std::unique_ptr<platform::ChildProcess> process;
    int error = 0;
};

StartedChild Start(const std::filesystem::path& dir, const std::wstring& arguments)
{
    StartedChild child;
    platform::PipeEnds pipe;
    EXPECT_EQ(platform::CreateInheritablePipe(pipe), 0);
    EXPECT_EQ(platform::SetNotInheritable(pipe.read), 0);
    child.process = platform::ChildProcess::Start(panel::MakeEmulatorCommandLine(dir, arguments), pipe.write, dir, child.error);
    child.read = std::move(pipe.read);
    return child;
}

// Everything the child writes until it has ended and its output is drained.
std::string ReadAll(StartedChild& child)
{
    std::string out;
    char buffer[256];
    for (int passes = 0; passes < 200; ++passes) {
        bool endOfData = false;
        const long n = platform::ReadWithTimeout(child.read, buffer, sizeof buffer, 100ms, endOfData);
        if (n > 0) out.append(buffer, static_cast<std::size_t>(n));
        if (endOfData) break;
    }
    return out;
}

TEST(ChildProcess, MissingProgramIsReported)
{
    testsupport::TempDir empty;
    StartedChild child = Start(empty.Path(), L"--x ");
    EXPECT_EQ(child.process, nullptr);
    EXPECT_EQ(child.error, ENOENT);
}

TEST(ChildProcess, ArgumentsDirectoryAndStandardStreams)
{
    FakeEmulatorDir dir;
    StartedChild child = Start(dir.Path(), L"--vessel-name \"ARGS \"Q\"\" --vessel-call \"a\\\"b\" ");
    ASSERT_NE(child.process, nullptr);
    const std::string out = ReadAll(child);
    EXPECT_EQ(out, "arg:--vessel-name\narg:ARGS Q\narg:--vessel-call\narg:a\"b\ncwd:" +
                       std::filesystem::canonical(dir.Path()).string() + "\nstdin:end\n");
    EXPECT_TRUE(child.process->WaitForExit(5s));
}

// The panel's folder may hold a quote or backslashes; it still starts its own emulator there.
TEST(ChildProcess, StartsFromAFolderWithQuoteAndBackslashes)
{
    testsupport::TempDir base;
    const std::filesystem::path dir = base.Path() / "a\"b \\c\\";
    std::filesystem::create_directory(dir);
    std::filesystem::create_symlink(KVL_FAKE_EMULATOR, dir / "vesgen");
    StartedChild child = Start(dir, L"--vessel-name \"ARGS\" ");
    ASSERT_NE(child.process, nullptr) << child.error;
    EXPECT_EQ(ReadAll(child), "arg:--vessel-name\narg:ARGS\ncwd:" + std::filesystem::canonical(dir).string() +
                                  "\nstdin:end\n");
    EXPECT_TRUE(child.process->WaitForExit(5s));
}

TEST(ChildProcess, StandardErrorSharesThePipe)
{
    FakeEmulatorDir dir;
    StartedChild child = Start(dir.Path(), L"--vessel-name \"STDERR\" ");
    ASSERT_NE(child.process, nullptr);
    EXPECT_EQ(ReadAll(child), "to stdout\nto stderr\n");
}

TEST(ChildProcess, TerminateEndsItAndItHasItsOwnProcessGroup)
{
    FakeEmulatorDir dir;
    StartedChild child = Start(dir.Path(), L"--vessel-name \"SILENT\" ");
    ASSERT_NE(child.process, nullptr);
    EXPECT_FALSE(child.process->WaitForExit(100ms));
    EXPECT_EQ(::getpgid(child.process->Pid()), child.process->Pid());
    child.process->Terminate();
    EXPECT_TRUE(child.process->WaitForExit(5s));
    child.process->Terminate();   // after the end: nothing happens
}

TEST(ChildProcess, TerminatedProgramLeavesNoZombie)
{
    FakeEmulatorDir dir;
    StartedChild child = Start(dir.Path(), L"--vessel-name \"SILENT\" ");
    ASSERT_NE(child.process, nullptr);
    const std::string proc = "/proc/" + std::to_string(child.process->Pid());
    child.process->Terminate();
    // Let go of at once, as a start that fails half-way does.
    child.process.reset();
    EXPECT_FALSE(std::filesystem::exists(proc));
}

TEST(ChildProcess, SurvivesItsReaderGoing)
{
    FakeEmulatorDir dir;
    StartedChild child = Start(dir.Path(), L"--vessel-name \"TICK\" ");
    ASSERT_NE(child.process, nullptr);
    char buffer[64];
    bool endOfData = false;
    EXPECT_GT(platform::ReadWithTimeout(child.read, buffer, sizeof buffer, 2s, endOfData), 0);
    child.read.Close();
    // It keeps running after its writes have failed.
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!std::filesystem::exists(dir.Path() / "fake.epipe") && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(std::filesystem::exists(dir.Path() / "fake.epipe"));
    EXPECT_FALSE(child.process->WaitForExit(200ms));
    child.process->Terminate();
    EXPECT_TRUE(child.process->WaitForExit(5s));
}

TEST(ChildProcess, TakesNoOtherDescriptorOfTheStarter)
{
    // A pipe the starter holds, inheritable, as one handed down to the panel by whoever started it.
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    platform::FileHandle otherRead(fds[0]);
    platform::FileHandle otherWrite(fds[1]);

    FakeEmulatorDir dir;
    StartedChild child = Start(dir.Path(), L"--vessel-name \"SILENT\" ");
    ASSERT_NE(child.process, nullptr);
    otherWrite.Close();
    // With the starter's end closed, only a copy in the child could keep the pipe open.
    char buffer[8];
    bool endOfData = false;
    EXPECT_EQ(platform::ReadWithTimeout(otherRead, buffer, sizeof buffer, 2s, endOfData), 0);
    EXPECT_TRUE(endOfData);
    EXPECT_FALSE(child.process->WaitForExit(0ms));
    child.process->Terminate();
    EXPECT_TRUE(child.process->WaitForExit(5s));
}

TEST(ChildProcess, ReadWithTimeoutReturnsWhenNothingComes)
{
    platform::PipeEnds pipe;
    ASSERT_EQ(platform::CreateInheritablePipe(pipe), 0);
    char buffer[8];
    bool endOfData = true;
    EXPECT_EQ(platform::ReadWithTimeout(pipe.read, buffer, sizeof buffer, 20ms, endOfData), 0);
    EXPECT_FALSE(endOfData);
    pipe.write.Close();
    EXPECT_EQ(platform::ReadWithTimeout(pipe.read, buffer, sizeof buffer, 20ms, endOfData), 0);
    EXPECT_TRUE(endOfData);
}

} // namespace
