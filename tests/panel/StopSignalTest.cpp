#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/panel/FakeEmulator.h"
#include "tests/support/Subprocess.h"

namespace {

using namespace std::chrono_literals;

struct SignalRow {
    const char* name;
    int signal;
};

void PrintTo(const SignalRow& row, std::ostream* out) { *out << row.name; }

class StopSignal : public testing::TestWithParam<SignalRow> {};

// Ended: no such process, or one that has ended and waits to be collected by whoever
// adopted it (not every init collects at once).
bool Gone(int pid)
{
    if (::kill(pid, 0) != 0 && errno == ESRCH) return true;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

// True when `pid` is gone within `limit`; one still there is killed, so no test leaves it behind.
bool GoneWithin(int pid, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!Gone(pid) && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(20ms);
    if (Gone(pid)) return true;
    ::kill(pid, SIGKILL);
    return false;
}

// Waits for `text` followed by a line end in what `process` wrote; returns where it starts.
std::size_t WaitForOutput(testsupport::BackgroundProcess& process, const std::string& text)
{
    for (int i = 0; i < 400; ++i) {
        const std::string& out = process.OutSoFar();
        if (const auto at = out.find(text); at != std::string::npos && out.find('\n', at) != std::string::npos)
            return at;
        std::this_thread::sleep_for(25ms);
    }
    return std::string::npos;
}

// The emulator's process id that the probe printed, or -1.
int EmulatorPid(testsupport::BackgroundProcess& probe)
{
    const std::size_t at = WaitForOutput(probe, "pid ");
    if (at == std::string::npos) return -1;
    const int pid = std::stoi(probe.OutSoFar().substr(at + 4));
    return pid > 0 && !Gone(pid) ? pid : -1;
}

// A panel ended by the session takes the emulator it started along and ends normally.
TEST_P(StopSignal, PanelEndsItsEmulatorAndQuits)
{
    const FakeEmulatorDir fake;
    testsupport::BackgroundProcess panel({KVL_SIGNAL_PROBE, fake.Path().string()});
    const int emulator = EmulatorPid(panel);
    ASSERT_GT(emulator, 0) << panel.OutSoFar() << panel.ErrSoFar();

    const testsupport::ProcessResult result = panel.Stop(GetParam().signal);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(GoneWithin(emulator, 2s)) << "emulator " << emulator << " outlived its panel";
}

INSTANTIATE_TEST_SUITE_P(Rows, StopSignal,
                         testing::Values(SignalRow{"Term", SIGTERM}, SignalRow{"Hangup", SIGHUP},
                                         SignalRow{"Interrupt", SIGINT}),
                         [](const testing::TestParamInfo<SignalRow>& info) { return std::string(info.param.name); });

// A panel that cannot clean up (killed, crashed) still takes its emulator along.
TEST(PanelDeath, KilledPanelLeavesNoEmulator)
{
    const FakeEmulatorDir fake;
    testsupport::BackgroundProcess panel({KVL_SIGNAL_PROBE, fake.Path().string()});
    const int emulator = EmulatorPid(panel);
    ASSERT_GT(emulator, 0) << panel.OutSoFar() << panel.ErrSoFar();
    panel.Stop(SIGKILL);
    EXPECT_TRUE(GoneWithin(emulator, 2s)) << "emulator " << emulator << " outlived its killed panel";
}

// The X server going away ends the panel without any of its own clean-up.
TEST(PanelDeath, DisplayGoneLeavesNoEmulator)
{
    const char* const server = "/usr/bin/Xvfb";
    if (!std::filesystem::exists(server)) GTEST_SKIP() << "no Xvfb";
    // -displayfd: the server picks a free display and writes its number once it is ready.
    testsupport::BackgroundProcess xvfb({server, "-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1280x1024x24"});
    std::string display;
    for (int i = 0; i < 400 && display.empty(); ++i) {
        const std::string& out = xvfb.OutSoFar();
        if (out.find('\n') != std::string::npos) display = ":" + out.substr(0, out.find('\n'));
        else std::this_thread::sleep_for(25ms);
    }
    ASSERT_FALSE(display.empty()) << xvfb.ErrSoFar();

    const FakeEmulatorDir fake;
    testsupport::BackgroundProcess panel({KVL_SIGNAL_PROBE, fake.Path().string(), "display=" + display});
    const int emulator = EmulatorPid(panel);
    ASSERT_GT(emulator, 0) << panel.OutSoFar() << panel.ErrSoFar();
    xvfb.Stop(SIGTERM);   // gone all the same for its clients, and it cleans up after itself
    const testsupport::ProcessResult result = panel.Wait(5s);
    EXPECT_FALSE(result.timedOut) << "the panel outlived its display";
    EXPECT_TRUE(GoneWithin(emulator, 2s)) << "emulator " << emulator << " outlived its panel's display";
}

// Under nohup the hang-up stays ignored: the panel and its run go on, and end as usual after.
TEST(PanelDeath, HangupIgnoredAtStartStaysIgnored)
{
    const FakeEmulatorDir fake;
    struct sigaction ignore = {};
    struct sigaction previous = {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGHUP, &ignore, &previous);
    testsupport::BackgroundProcess panel({KVL_SIGNAL_PROBE, fake.Path().string()});
    ::sigaction(SIGHUP, &previous, nullptr);
    const int emulator = EmulatorPid(panel);
    ASSERT_GT(emulator, 0) << panel.OutSoFar() << panel.ErrSoFar();

    ::kill(panel.Pid(), SIGHUP);
    std::this_thread::sleep_for(500ms);
    EXPECT_TRUE(panel.Running()) << "the panel quit on a hang-up it was told to ignore";
    EXPECT_FALSE(Gone(emulator));
    const testsupport::ProcessResult result = panel.Stop(SIGTERM);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(GoneWithin(emulator, 2s));
}

// Closing and answering No leaves the emulator running; the panel's process stays, windowless,
// until it has ended, because the emulator ends with it.
TEST(PanelDeath, AnsweringNoOnCloseLeavesTheEmulatorRunning)
{
    const FakeEmulatorDir fake;
    testsupport::BackgroundProcess panel({KVL_SIGNAL_PROBE, fake.Path().string(), "close-no"});
    const int emulator = EmulatorPid(panel);
    ASSERT_GT(emulator, 0) << panel.OutSoFar() << panel.ErrSoFar();
    ASSERT_NE(WaitForOutput(panel, "closed"), std::string::npos) << panel.ErrSoFar();
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(Gone(emulator)) << "the emulator did not outlive the window";

    ::kill(emulator, SIGTERM);
    const testsupport::ProcessResult result = panel.Wait(5s);
    EXPECT_FALSE(result.timedOut) << "the panel stayed after its emulator ended";
    EXPECT_EQ(result.exitCode, 0) << result.err;
}

} // namespace
