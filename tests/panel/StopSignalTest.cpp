#include <gtest/gtest.h>

#include <csignal>
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

bool Gone(int pid)
{
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

// A panel ended by the session takes the emulator it started along and ends normally.
TEST_P(StopSignal, PanelEndsItsEmulatorAndQuits)
{
    const FakeEmulatorDir fake;
    testsupport::BackgroundProcess panel({KVL_SIGNAL_PROBE, fake.Path().string()});
    int emulator = -1;
    for (int i = 0; i < 200 && emulator <= 0; ++i) {
        const std::string& out = panel.OutSoFar();
        if (const auto at = out.find("pid "); at != std::string::npos && out.find('\n', at) != std::string::npos)
            emulator = std::stoi(out.substr(at + 4));
        else
            std::this_thread::sleep_for(50ms);
    }
    ASSERT_GT(emulator, 0) << panel.OutSoFar() << panel.ErrSoFar();
    ASSERT_FALSE(Gone(emulator));

    const testsupport::ProcessResult result = panel.Stop(GetParam().signal);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    bool gone = Gone(emulator);
    for (int i = 0; i < 40 && !gone; ++i) {
        std::this_thread::sleep_for(50ms);
        gone = Gone(emulator);
    }
    EXPECT_TRUE(gone) << "emulator " << emulator << " outlived its panel";
    if (!gone) ::kill(emulator, SIGKILL);
}

INSTANTIATE_TEST_SUITE_P(Rows, StopSignal,
                         testing::Values(SignalRow{"Term", SIGTERM}, SignalRow{"Hangup", SIGHUP},
                                         SignalRow{"Interrupt", SIGINT}),
                         [](const testing::TestParamInfo<SignalRow>& info) { return std::string(info.param.name); });

} // namespace
