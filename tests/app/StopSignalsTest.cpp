// Stop signals held back from every thread and taken by the main loop's wait.
#include "platform/StopSignals.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <thread>

#include <poll.h>
#include <pthread.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

struct SignalRow {
    const char* name;
    int signal;
    bool ignoredBefore;  // the program was started with the signal ignored (nohup)
};

class StopSignalsTest : public testing::TestWithParam<SignalRow> {};

TEST_P(StopSignalsTest, SignalReachesOnlyTheWaitUnlessItWasIgnored)
{
    const SignalRow& row = GetParam();
    struct sigaction before {};
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(sigaction(row.signal, row.ignoredBefore ? &ignore : nullptr, &before), 0);
    // A stop that was taken leaves the signals held; each row starts as a new program.
    sigset_t maskBefore;
    pthread_sigmask(SIG_SETMASK, nullptr, &maskBefore);
    {
        platform::StopSignals signals;
        EXPECT_FALSE(signals.Wait(20ms));
        // A worker started now sits in a wait that a delivered signal would cut short.
        int pipeFds[2];
        ASSERT_EQ(pipe(pipeFds), 0);
        int pollResult = -2;
        int pollError = 0;
        std::thread worker([&] {
            pollfd p{pipeFds[0], POLLIN, 0};
            pollResult = poll(&p, 1, 600);
            pollError = errno;
        });
        std::this_thread::sleep_for(100ms);
        ASSERT_EQ(kill(getpid(), row.signal), 0);
        EXPECT_EQ(signals.Wait(row.ignoredBefore ? 300ms : 5000ms), !row.ignoredBefore);
        worker.join();
        EXPECT_EQ(pollResult, 0) << "the worker's wait was interrupted, errno " << pollError;
        close(pipeFds[0]);
        close(pipeFds[1]);
    }
    pthread_sigmask(SIG_SETMASK, &maskBefore, nullptr);
    sigaction(row.signal, &before, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Rows, StopSignalsTest,
                         testing::Values(SignalRow{"Interrupt", SIGINT, false}, SignalRow{"Terminate", SIGTERM, false},
                                         SignalRow{"HangUp", SIGHUP, false}, SignalRow{"IgnoredHangUp", SIGHUP, true},
                                         SignalRow{"IgnoredInterrupt", SIGINT, true}),
                         [](const testing::TestParamInfo<SignalRow>& info) { return std::string(info.param.name); });

// `timeout` signals the program and then its process group, and a wrapper script may
// pass its own signal on: a request that comes once the stop has begun must not
// kill the program while it closes its outputs.
TEST(StopSignals, LaterRequestsDoNotCutAStopThatHasBegun)
{
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        {
            platform::StopSignals signals;
            kill(getpid(), SIGTERM);
            if (!signals.Wait(5000ms)) _exit(3);
        }
        kill(getpid(), SIGTERM);
        kill(getpid(), SIGINT);
        usleep(100000);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace
