#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "platform/ChildProcess.h"
#include "platform/Event.h"

namespace panel {

// Where the watch-dog reports a run. Called on the watch-dog's thread, so an implementation
// only hands the news over to its owner's thread.
class IRunEvents {
public:
    virtual void RunStarted() = 0;
    // One line of the emulator's output with its line end, or a last piece without one.
    virtual void RunOutput(std::string line) = 0;
    virtual void RunStopped() = 0;

protected:
    ~IRunEvents() = default;
};

// What one run's watch-dog reads. Shared, so that a watch-dog left behind at exit never
// touches anything its starter has freed.
struct WatchdogContext {
    std::shared_ptr<const platform::Event> stopEvent;   // set only when the panel closes
    std::shared_ptr<platform::ChildProcess> process;
    std::shared_ptr<const platform::FileHandle> pipeRead;
    std::shared_ptr<IRunEvents> events;
};

// Relays the emulator's output line by line until the emulator has ended and its output is
// drained (then reports the stop) or the stop event is set (then it just returns). Sees the
// stop event within a fraction of a second even while the emulator is silent.
int WatchdogThreadProc(const WatchdogContext& context);

// The thread running WatchdogThreadProc, with a bounded wait for its end.
class WatchdogThread {
public:
    // Throws std::system_error when no thread can be created.
    explicit WatchdogThread(WatchdogContext context);
    // Joins a thread that has ended; one that has not is left to end by itself.
    ~WatchdogThread();
    WatchdogThread(const WatchdogThread&) = delete;
    WatchdogThread& operator=(const WatchdogThread&) = delete;

    // True once the thread has ended; waits at most `timeout` for that.
    bool WaitForEnd(std::chrono::milliseconds timeout) const;
    void Join();

private:
    std::shared_ptr<platform::Event> m_ended;
    std::thread m_thread;
};

} // namespace panel
