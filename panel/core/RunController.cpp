#include "panel/core/RunController.h"

#include <system_error>

#include "panel/core/CommandLine.h"

namespace panel {
namespace {

// The watch-dog's news, with the identity of its run, into the owner's sink.
class TaggedRunEvents final : public IRunEvents {
public:
    TaggedRunEvents(std::uint64_t run, std::shared_ptr<IRunEventSink> sink) : m_run(run), m_sink(std::move(sink)) {}

    void RunStarted() override { m_sink->Post({m_run, RunNews::Started, {}}); }
    void RunOutput(std::string line) override { m_sink->Post({m_run, RunNews::Output, std::move(line)}); }
    void RunStopped() override { m_sink->Post({m_run, RunNews::Stopped, {}}); }

private:
    const std::uint64_t m_run;
    const std::shared_ptr<IRunEventSink> m_sink;
};

// Closing waits this long for the watch-dog before it gives up on it.
constexpr std::chrono::milliseconds kDestroyWait(5000);

} // namespace

RunController::RunController(std::filesystem::path programDirectory, std::shared_ptr<IRunEventSink> sink)
    : m_programDirectory(std::move(programDirectory)),
      m_sink(std::move(sink)),
      m_hStopEvent(std::make_shared<platform::Event>())
{
}

RunController::~RunController()
{
    StopWatchdog(kDestroyWait);
}

StartResult RunController::Start(std::wstring_view arguments)
{
    // A run that ended by itself: its watch-dog ends once the output is drained.
    if (m_hWatchdog) {
        m_hWatchdog->Join();
        ReleaseRunHandles();
    }
    const std::wstring commandLine = MakeEmulatorCommandLine(m_programDirectory, arguments);

    platform::PipeEnds pipe;
    if (platform::CreateInheritablePipe(pipe) != 0) return StartResult::PipeFailed;
    m_hPipeRead = std::make_shared<platform::FileHandle>(std::move(pipe.read));
    m_hPipeWrite = std::move(pipe.write);
    if (platform::SetNotInheritable(*m_hPipeRead) != 0) {
        ReleaseRunHandles();
        return StartResult::PipeSetupFailed;
    }
    int error = 0;
    m_hProcess = platform::ChildProcess::Start(commandLine, m_hPipeWrite, m_programDirectory, error);
    if (!m_hProcess) {
        ReleaseRunHandles();
        return StartResult::ProcessFailed;
    }
    // Only the child holds the write end now, so its end is the end of the data.
    m_hPipeWrite.Close();
    const std::uint64_t run = m_run + 1;
    try {
        m_hWatchdog = std::make_unique<WatchdogThread>(
            WatchdogContext{m_hStopEvent, m_hProcess, m_hPipeRead, std::make_shared<TaggedRunEvents>(run, m_sink)});
    } catch (const std::system_error&) {
        m_hProcess->Terminate();
        ReleaseRunHandles();
        return StartResult::WatchdogFailed;
    }
    m_run = run;
    m_state = RunState::Starting;
    return StartResult::Started;
}

bool RunController::IsActive()
{
    return m_hProcess && !m_hProcess->WaitForExit(std::chrono::milliseconds(0));
}

int RunController::Pid() const
{
    return m_hProcess ? m_hProcess->Pid() : -1;
}

void RunController::Stop()
{
    Terminate();
    if (m_hWatchdog) m_hWatchdog->Join();
    ReleaseRunHandles();
}

void RunController::Terminate()
{
    if (m_hProcess) m_hProcess->Terminate();
}

void RunController::StopWatchdog(std::chrono::milliseconds timeout)
{
    if (!m_hWatchdog) return;
    m_hStopEvent->Set();
    if (m_hWatchdog->WaitForEnd(timeout)) m_hWatchdog->Join();
}

void RunController::ReleaseRunHandles()
{
    m_hProcess.reset();
    m_hWatchdog.reset();
    m_hPipeRead.reset();
    m_hPipeWrite.Close();
}

bool RunController::Accept(const RunEvent& event)
{
    if (event.run != m_run || m_state == RunState::Idle) return false;
    if (event.news == RunNews::Started && m_state == RunState::Starting) m_state = RunState::Running;
    if (event.news == RunNews::Stopped) m_state = RunState::Idle;
    return true;
}

} // namespace panel
