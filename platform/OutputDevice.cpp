#include "platform/OutputDevice.h"

#include "platform/Signals.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// The simulation thread may be inside Write when the model stops, and the model waits
// for it only 3000 ms; half of that is the most a write may take.
constexpr std::chrono::milliseconds kWriteBudget{1500};

DeviceKind KindOf(int fd, const struct stat& st)
{
    if (S_ISREG(st.st_mode)) return DeviceKind::RegularFile;
    if (S_ISFIFO(st.st_mode)) return DeviceKind::Pipe;
    if (S_ISSOCK(st.st_mode)) return DeviceKind::Socket;
    if (S_ISCHR(st.st_mode) && isatty(fd)) return DeviceKind::Terminal;
    return DeviceKind::OtherDevice;
}

// Errors after which no later write can succeed: the reader or the device is gone, or
// the descriptor can never be written to.
bool IsPermanentWriteError(int error)
{
    return error == EPIPE || error == EIO || error == ENXIO || error == ENODEV || error == ECONNRESET ||
           error == EBADF || error == EINVAL;
}

class ScopedFd {
public:
    explicit ScopedFd(int fd) : m_fd(fd) {}
    ~ScopedFd()
    {
        if (m_fd >= 0) ::close(m_fd);
    }
    ScopedFd(const ScopedFd&) = delete;
    ScopedFd& operator=(const ScopedFd&) = delete;
    int Get() const { return m_fd; }
    int Take() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

} // namespace

ClosedStandardStreams FillClosedStandardStreams()
{
    bool closed[3] = {};
    for (int fd = 0; fd < 3; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        closed[fd] = true;
        // open() takes the lowest free number, which is this one while the lower ones are open.
        const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) {
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
    return {closed[0], closed[1], closed[2]};
}

OutputDevice::OutputDevice(int fd, DeviceKind kind, bool nonBlocking)
    : m_fd(fd), m_kind(kind), m_nonBlocking(nonBlocking)
{
}

OutputDevice::~OutputDevice()
{
    Close();
}

OutputDevice::OutputDevice(OutputDevice&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)),
      m_kind(std::exchange(other.m_kind, DeviceKind::None)),
      m_nonBlocking(other.m_nonBlocking),
      m_lineAtOpen(std::exchange(other.m_lineAtOpen, std::nullopt))
{
}

OutputDevice& OutputDevice::operator=(OutputDevice&& other) noexcept
{
    if (this != &other) {
        Close();
        m_fd = std::exchange(other.m_fd, -1);
        m_kind = std::exchange(other.m_kind, DeviceKind::None);
        m_nonBlocking = other.m_nonBlocking;
        m_lineAtOpen = std::exchange(other.m_lineAtOpen, std::nullopt);
    }
    return *this;
}

int OutputDevice::KeepLineSettingsForClose()
{
    if (m_fd < 0) return EBADF;
    if (m_lineAtOpen) return 0;
    termios settings{};
    if (::tcgetattr(m_fd, &settings) != 0) return errno;
    m_lineAtOpen = settings;
    return 0;
}

void OutputDevice::Close()
{
    // At once rather than after draining: a receiver holding flow control must not
    // hold the close.
    if (m_fd >= 0 && m_lineAtOpen) ::tcsetattr(m_fd, TCSANOW, &*m_lineAtOpen);
    m_lineAtOpen.reset();
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_kind = DeviceKind::None;
}

int OutputDevice::OpenExclusive(const std::string& path, OpenMode mode, OutputDevice& device)
{
    IgnoreBrokenPipeSignal();
    // Non-blocking from the start: a FIFO without a reader or a serial line without
    // carrier would otherwise hold open() indefinitely.
    int flags = O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    if (mode == OpenMode::CreateOrTruncate) flags |= O_CREAT;
    ScopedFd fd(::open(path.c_str(), flags, 0666));
    if (fd.Get() < 0) return errno;

    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) return errno;
    const DeviceKind kind = KindOf(fd.Get(), st);

    // Files and ports are used by one writer at a time. The lock is taken before the
    // truncation, so a refused open leaves the other holder's data intact.
    if (kind == DeviceKind::RegularFile || kind == DeviceKind::Terminal) {
        if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) return errno;
    }
    if (kind == DeviceKind::RegularFile && mode == OpenMode::CreateOrTruncate) {
        if (::ftruncate(fd.Get(), 0) != 0) return errno;
    }
    device = OutputDevice(fd.Take(), kind, true);
    return 0;
}

int OutputDevice::OpenStandardOutput(OutputDevice& device)
{
    IgnoreBrokenPipeSignal();
    struct stat st {};
    if (::fstat(STDOUT_FILENO, &st) != 0) return errno;
    const DeviceKind kind = KindOf(STDOUT_FILENO, st);

    if (kind == DeviceKind::Pipe || kind == DeviceKind::Terminal || kind == DeviceKind::OtherDevice) {
        // A fresh open file description of the same pipe or terminal: its non-blocking
        // mode then stays ours instead of changing the stream other processes share.
        const int fd = ::open("/proc/self/fd/1", O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd >= 0) {
            device = OutputDevice(fd, kind, true);
            return 0;
        }
        if (errno == ENXIO) return errno;  // a pipe whose reader is gone
    }
    // Regular files and sockets never need the non-blocking mode (files do not block,
    // sockets are sent to per call without waiting); a shared duplicate serves.
    const int fd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (fd < 0) return errno;
    device = OutputDevice(fd, kind, kind == DeviceKind::RegularFile || kind == DeviceKind::Socket);
    return 0;
}

DeviceWriteResult OutputDevice::Write(const char* data, std::size_t count)
{
    return Write(data, count, kWriteBudget);
}

DeviceWriteResult OutputDevice::Write(const char* data, std::size_t count, std::chrono::milliseconds budget)
{
    DeviceWriteResult result;
    if (m_fd < 0) {
        result.error = EBADF;
        return result;
    }
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::min(budget, kWriteBudget);

    // Waits until the device takes more data; false when the budget has run out.
    auto waitWritable = [&] {
        for (;;) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return false;
            pollfd p{m_fd, POLLOUT, 0};
            const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
            if (ready > 0) return true;
            if (ready == 0 || errno != EINTR) return false;
        }
    };

    while (result.written < count) {
        const char* rest = data + result.written;
        std::size_t restCount = count - result.written;
        ssize_t n = 0;
        if (m_kind == DeviceKind::Socket) {
            n = ::send(m_fd, rest, restCount, MSG_DONTWAIT | MSG_NOSIGNAL);
        } else if (m_nonBlocking) {
            n = ::write(m_fd, rest, restCount);
        } else {
            // A blocking description shared with others: only as much as a pipe takes
            // at once when it reports room, so the write itself cannot stall.
            if (!waitWritable()) {
                result.error = EAGAIN;
                break;
            }
            n = ::write(m_fd, rest, std::min<std::size_t>(restCount, PIPE_BUF));
        }
        if (n > 0) {
            result.written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            result.error = errno;
            result.channelGone = IsPermanentWriteError(errno);
            break;
        }
        if (!waitWritable()) {
            result.error = EAGAIN;
            break;
        }
    }
    return result;
}

int OutputDevice::Flush()
{
    if (m_fd < 0) return EBADF;
    if (m_kind != DeviceKind::RegularFile) return 0;
    return ::fsync(m_fd) == 0 ? 0 : errno;
}

} // namespace platform
