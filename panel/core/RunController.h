#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "panel/core/Watchdog.h"
#include "platform/ChildProcess.h"
#include "platform/Event.h"

namespace panel {

// What a watch-dog reports, tagged with the run it belongs to.
enum class RunNews { Started, Output, Stopped };

struct RunEvent {
    std::uint64_t run = 0;
    RunNews news = RunNews::Started;
    std::string line;   // Output only: one line with its line end, or a last piece without one
};

// Takes a watch-dog's news over to the owner's thread. Called on the watch-dog's thread; the
// owner hands each event back to RunController::Accept on its own thread, in order.
class IRunEventSink {
public:
    virtual void Post(RunEvent event) = 0;

protected:
    ~IRunEventSink() = default;
};

enum class RunState {
    Idle,       // nothing started, or the last run's end has been accepted
    Starting,   // child and watch-dog exist; the run's start not yet accepted
    Running,    // its start accepted, its end not yet
};

enum class StartResult { Started, PipeFailed, PipeSetupFailed, ProcessFailed, WatchdogFailed };

// One emulator run at a time: the child process, its output pipe, the watch-dog that relays
// the output, and the run state. Every run gets a new identity; events of an earlier run are
// refused, so whatever order they arrive in, only the current run moves the state.
// Used from one thread; only the watch-dogs run on others, and they only post.
class RunController {
public:
    RunController(std::filesystem::path programDirectory, std::shared_ptr<IRunEventSink> sink);
    // Stops the watch-dog within the closing bound; a running emulator keeps running.
    ~RunController();
    RunController(const RunController&) = delete;
    RunController& operator=(const RunController&) = delete;

    // Starts the emulator with `arguments`. A previous run that ended by itself is collected
    // first; one still running must have been stopped by the caller.
    StartResult Start(std::wstring_view arguments);

    // True while the emulator last started is running.
    bool IsActive();
    RunState State() const { return m_state; }
    std::uint64_t CurrentRun() const { return m_run; }
    int Pid() const;

    // Ends the emulator, waits for its watch-dog to deliver the rest of its output and the stop,
    // and lets go of the run. The stop is still to be accepted.
    void Stop();
    // Ends the emulator, if one runs, without waiting for anything.
    void Terminate();
    // Tells the watch-dog to stop and waits at most `timeout` for it; one that has not ended
    // by then is left to end by itself.
    void StopWatchdog(std::chrono::milliseconds timeout);
    // Lets go of the process, watch-dog and pipe ends (a running emulator keeps running).
    void ReleaseRunHandles();

    // True when `event` belongs to the current run; then its start or stop moves the state.
    bool Accept(const RunEvent& event);

private:
    const std::filesystem::path m_programDirectory;
    const std::shared_ptr<IRunEventSink> m_sink;
    std::shared_ptr<platform::ChildProcess> m_hProcess;
    std::unique_ptr<WatchdogThread> m_hWatchdog;
    std::shared_ptr<platform::FileHandle> m_hPipeRead;
    platform::FileHandle m_hPipeWrite;
    // Set only when the panel goes; tells the watch-dog to stop.
    const std::shared_ptr<platform::Event> m_hStopEvent;
    std::uint64_t m_run = 0;
    RunState m_state = RunState::Idle;
};

} // namespace panel
