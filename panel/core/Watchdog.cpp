#include "panel/core/Watchdog.h"

#include <array>

#include "panel/core/LineCutter.h"

namespace panel {
namespace {

// Each pass waits this long for the emulator to end; it paces the passes.
constexpr std::chrono::milliseconds kExitWait(100);
// A read waits at most this long for output, so that a silent emulator cannot hide the stop event.
constexpr std::chrono::milliseconds kReadWait(100);
constexpr std::size_t kReadBytes = 1024;

} // namespace

int WatchdogThreadProc(const WatchdogContext& context)
{
    IRunEvents& events = *context.events;
    events.RunStarted();
    LineCutter pending;
    std::array<char, kReadBytes> buffer{};
    while (!context.stopEvent->IsSet()) {
        const bool ended = context.process->WaitForExit(kExitWait);
        bool endOfData = false;
        const long count = platform::ReadWithTimeout(*context.pipeRead, buffer.data(), buffer.size(), kReadWait, endOfData);
        if (count > 0) {
            pending.Append(std::string_view(buffer.data(), static_cast<std::size_t>(count)));
            while (std::optional<std::string> line = pending.NextLine()) events.RunOutput(std::move(*line));
        } else if (ended) {
            if (std::string rest = pending.TakeRest(); !rest.empty()) events.RunOutput(std::move(rest));
            events.RunStopped();
            break;
        }
    }
    return 0;
}

WatchdogThread::WatchdogThread(WatchdogContext context)
    : m_ended(std::make_shared<platform::Event>())
{
    m_thread = std::thread([context = std::move(context), ended = m_ended] {
        try {
            WatchdogThreadProc(context);
        } catch (...) {
            // Nothing to report to: the run's end is still signalled below.
        }
        ended->Set();
    });
}

WatchdogThread::~WatchdogThread()
{
    if (!m_thread.joinable()) return;
    if (m_ended->IsSet()) m_thread.join();
    else m_thread.detach();   // it holds its own share of everything it reads
}

bool WatchdogThread::WaitForEnd(std::chrono::milliseconds timeout) const
{
    return m_ended->Wait(timeout);
}

void WatchdogThread::Join()
{
    if (m_thread.joinable()) m_thread.join();
}

} // namespace panel
