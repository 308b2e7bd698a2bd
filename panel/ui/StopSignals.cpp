#include "panel/ui/StopSignals.h"

#include <QSocketNotifier>
#include <array>
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The write end of the watcher's pipe: a signal handler can reach nothing but a global.
std::atomic<int> g_signalPipe{-1};

extern "C" void OnStopSignal(int signal)
{
    const int savedErrno = errno;
    const int fd = g_signalPipe.load();
    const unsigned char byte = static_cast<unsigned char>(signal);
    // Non-blocking: a full pipe already holds a wake-up.
    if (fd >= 0) [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    errno = savedErrno;
}

bool IsIgnored(int signal)
{
    struct sigaction current = {};
    return ::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

// A signal ignored when the watcher came (the panel started under nohup) stays ignored.
void SetHandlers(void (*handler)(int), const std::array<bool, std::size(kStopSignals)>& keepIgnored)
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
        if (!keepIgnored[i]) ::sigaction(kStopSignals[i], &action, nullptr);
}

} // namespace

CStopSignalWatcher::CStopSignalWatcher(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), m_onSignal(std::move(onSignal))
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    m_read = platform::FileHandle(fds[0]);
    m_write = platform::FileHandle(fds[1]);
    int expected = -1;
    if (!g_signalPipe.compare_exchange_strong(expected, m_write.Get())) {
        // Another watcher has the signals.
        m_read.Close();
        m_write.Close();
        return;
    }
    m_notifier = new QSocketNotifier(static_cast<qintptr>(m_read.Get()), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &CStopSignalWatcher::OnReadable);
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i) m_ignoredAtStart[i] = IsIgnored(kStopSignals[i]);
    SetHandlers(OnStopSignal, m_ignoredAtStart);
}

CStopSignalWatcher::~CStopSignalWatcher()
{
    if (!m_write.IsOpen()) return;
    SetHandlers(SIG_DFL, m_ignoredAtStart);
    g_signalPipe.store(-1);
}

void CStopSignalWatcher::OnReadable()
{
    unsigned char bytes[64];
    bool any = false;
    while (::read(m_read.Get(), bytes, sizeof bytes) > 0) any = true;
    if (any && m_onSignal) m_onSignal();
}
