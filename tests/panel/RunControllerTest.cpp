#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <fstream>
#include <mutex>

#include "panel/core/RunController.h"
#include "tests/panel/FakeEmulator.h"

namespace {

using namespace std::chrono_literals;

// The owner's event queue: the watch-dogs post, the test takes the events in order.
class EventQueue final : public panel::IRunEventSink {
public:
    void Post(panel::RunEvent event) override
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back(std::move(event));
        m_posted.notify_all();
    }

    std::optional<panel::RunEvent> Take(std::chrono::milliseconds limit = 10s)
    {
        std::unique_lock lock(m_mutex);
        if (!m_posted.wait_for(lock, limit, [this] { return !m_events.empty(); })) return std::nullopt;
        panel::RunEvent event = std::move(m_events.front());
        m_events.pop_front();
        return event;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<panel::RunEvent> m_events;
};

class RunControllerTest : public testing::Test {
protected:
    // Hands events to the controller until one of `news` from the current run was accepted.
    // Returns the output lines accepted on the way.
    std::vector<std::string> DeliverUntil(panel::RunNews news)
    {
        std::vector<std::string> lines;
        while (const std::optional<panel::RunEvent> event = m_events->Take()) {
            const bool accepted = m_run.Accept(*event);
            EXPECT_EQ(accepted, event->run == m_run.CurrentRun()) << event->run;
            if (accepted && event->news == panel::RunNews::Output) lines.push_back(event->line);
            if (accepted && event->news == news) return lines;
        }
        ADD_FAILURE() << "no event " << static_cast<int>(news) << " of run " << m_run.CurrentRun();
        return lines;
    }

    void TearDown() override { m_run.Terminate(); }

    FakeEmulatorDir m_dir;
    std::shared_ptr<EventQueue> m_events = std::make_shared<EventQueue>();
    panel::RunController m_run{m_dir.Path(), m_events};
};

// An update check replaces a running emulator while that run's end is still queued: the old
// run's news do not move the state; the check is the running one until its own end.
TEST_F(RunControllerTest, LateNewsOfAReplacedRunChangeNothing)
{
    std::ofstream(m_dir.Path() / "slow-update") << "";
    ASSERT_EQ(m_run.Start(L"--vessel-name \"SILENT\" "), panel::StartResult::Started);
    const std::uint64_t first = m_run.CurrentRun();
    DeliverUntil(panel::RunNews::Started);
    EXPECT_EQ(m_run.State(), panel::RunState::Running);

    m_run.Stop();   // the first run's end is now queued
    ASSERT_EQ(m_run.Start(L"--check-update"), panel::StartResult::Started);
    EXPECT_NE(m_run.CurrentRun(), first);
    EXPECT_EQ(m_run.State(), panel::RunState::Starting);
    DeliverUntil(panel::RunNews::Started);
    EXPECT_EQ(m_run.State(), panel::RunState::Running);
    EXPECT_TRUE(m_run.IsActive());   // still waiting before its answer
    EXPECT_EQ(DeliverUntil(panel::RunNews::Stopped), std::vector<std::string>{"update check\n"});
    EXPECT_EQ(m_run.State(), panel::RunState::Idle);
    EXPECT_FALSE(m_run.IsActive());
}

// Run pressed again right after a run ended by itself, before its end was delivered.
TEST_F(RunControllerTest, RestartBeforeTheEndOfARunEndedByItselfWasDelivered)
{
    ASSERT_EQ(m_run.Start(L"--vessel-name \"BURST\" "), panel::StartResult::Started);
    ASSERT_TRUE(std::optional<panel::RunEvent>(m_events->Take()).has_value());   // its start, not yet handed over
    std::this_thread::sleep_for(300ms);   // it has ended and its watch-dog has posted the rest
    ASSERT_EQ(m_run.Start(L"--vessel-name \"SILENT\" "), panel::StartResult::Started);
    DeliverUntil(panel::RunNews::Started);
    EXPECT_EQ(m_run.State(), panel::RunState::Running);
    EXPECT_TRUE(m_run.IsActive());
    m_run.Stop();
    DeliverUntil(panel::RunNews::Stopped);
    EXPECT_EQ(m_run.State(), panel::RunState::Idle);
}

} // namespace
