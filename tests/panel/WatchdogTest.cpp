#include <gtest/gtest.h>

#include <mutex>

#include "panel/core/CommandLine.h"
#include "panel/core/Watchdog.h"
#include "tests/panel/FakeEmulator.h"

namespace {

using namespace std::chrono_literals;

// Writes down what the watch-dog reports, in order.
class RecordedRun final : public panel::IRunEvents {
public:
    void RunStarted() override { Add("<started>"); }
    void RunOutput(std::string line) override { Add(std::move(line)); }
    void RunStopped() override
    {
        Add("<stopped>");
        m_stopped.Set();
    }

    std::vector<std::string> Events()
    {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    bool WaitStopped() { return m_stopped.Wait(10s); }

private:
    void Add(std::string event)
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back(std::move(event));
    }

    std::mutex m_mutex;
    std::vector<std::string> m_events;
    platform::Event m_stopped;
};

class Watchdog : public testing::Test {
protected:
    void Run(const std::wstring& name)
    {
        platform::PipeEnds pipe;
        ASSERT_EQ(platform::CreateInheritablePipe(pipe), 0);
        int error = 0;
        m_context.process = platform::ChildProcess::Start(
            panel::MakeEmulatorCommandLine(m_dir.Path(), L"--vessel-name \"" + name + L"\" "), pipe.write, m_dir.Path(), error);
        ASSERT_NE(m_context.process, nullptr);
        pipe.write.Close();
        m_context.pipeRead = std::make_shared<platform::FileHandle>(std::move(pipe.read));
        m_context.stopEvent = m_stop;
        m_context.events = m_run;
        m_thread = std::make_unique<panel::WatchdogThread>(m_context);
    }

    void TearDown() override
    {
        if (m_context.process) m_context.process->Terminate();
        m_stop->Set();
    }

    FakeEmulatorDir m_dir;
    std::shared_ptr<platform::Event> m_stop = std::make_shared<platform::Event>();
    std::shared_ptr<RecordedRun> m_run = std::make_shared<RecordedRun>();
    panel::WatchdogContext m_context;
    std::unique_ptr<panel::WatchdogThread> m_thread;
};

TEST_F(Watchdog, BurstBecomesOneLineEachInOrder)
{
    Run(L"BURST");
    ASSERT_TRUE(m_run->WaitStopped());
    EXPECT_EQ(m_run->Events(), (std::vector<std::string>{"<started>", "one\r\n", "two\r\n", "three\r\n", "<stopped>"}));
}

TEST_F(Watchdog, UnterminatedLastPieceComesBeforeTheStop)
{
    Run(L"PARTIAL");
    ASSERT_TRUE(m_run->WaitStopped());
    EXPECT_EQ(m_run->Events(), (std::vector<std::string>{"<started>", "first\n", "last piece", "<stopped>"}));
}

TEST_F(Watchdog, LineSplitAcrossReadsComesOnce)
{
    Run(L"SPLIT");
    ASSERT_TRUE(m_run->WaitStopped());
    EXPECT_EQ(m_run->Events(), (std::vector<std::string>{"<started>", "hello\n", "<stopped>"}));
}

TEST_F(Watchdog, SeesTheStopEventWhileTheEmulatorIsSilent)
{
    Run(L"SILENT");
    EXPECT_FALSE(m_thread->WaitForEnd(300ms));
    m_stop->Set();
    EXPECT_TRUE(m_thread->WaitForEnd(3s));
    m_thread->Join();
    EXPECT_EQ(m_run->Events(), std::vector<std::string>{"<started>"});
    EXPECT_FALSE(m_context.process->WaitForExit(0ms)) << "the emulator is left running";
}

} // namespace
