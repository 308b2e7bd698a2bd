#include "platform/ChildProcess.h"

#include "platform/Signals.h"

#include <cerrno>
#include <cstdint>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace platform {

std::vector<std::wstring> SplitCommandLine(std::wstring_view line)
{
    std::vector<std::wstring> words;
    const auto isBlank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
    std::size_t i = 0;
    // The program name follows the same rules as every other word, so that a path holding a
    // quote can be written; it starts at the first character and is a word even when empty.
    for (bool first = true;; first = false) {
        if (!first) {
            while (i < line.size() && isBlank(line[i])) ++i;
            if (i == line.size()) break;
        }
        std::wstring word;
        bool quoted = false;
        while (i < line.size()) {
            const wchar_t c = line[i];
            if (!quoted && isBlank(c)) break;
            if (c == L'\\') {
                std::size_t slashes = 0;
                while (i < line.size() && line[i] == L'\\') { ++slashes; ++i; }
                if (i < line.size() && line[i] == L'"') {
                    word.append(slashes / 2, L'\\');
                    if (slashes % 2 == 1) { word += L'"'; ++i; }
                    // An even count leaves the quote to the next pass, as a delimiter.
                } else {
                    word.append(slashes, L'\\');
                }
                continue;
            }
            if (c == L'"') {
                if (quoted && i + 1 < line.size() && line[i + 1] == L'"') {
                    word += L'"';
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            word += c;
            ++i;
        }
        words.push_back(std::move(word));
    }
    return words;
}

std::string ToUtf8(std::wstring_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const wchar_t wc : text) {
        auto c = static_cast<std::uint32_t>(wc);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;   // no such character
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept
{
    if (this != &other) {
        Close();
        m_fd = other.Release();
    }
    return *this;
}

int FileHandle::Release()
{
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

void FileHandle::Close()
{
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

int CreateInheritablePipe(PipeEnds& pipe)
{
    int fds[2];
    if (::pipe(fds) != 0) return errno;
    pipe.read = FileHandle(fds[0]);
    pipe.write = FileHandle(fds[1]);
    return 0;
}

int SetNotInheritable(const FileHandle& handle)
{
    const int flags = ::fcntl(handle.Get(), F_GETFD);
    if (flags < 0 || ::fcntl(handle.Get(), F_SETFD, flags | FD_CLOEXEC) != 0) return errno;
    return 0;
}

long ReadWithTimeout(const FileHandle& handle, char* buffer, std::size_t size,
                     std::chrono::milliseconds timeout, bool& endOfData)
{
    endOfData = false;
    pollfd fd{handle.Get(), POLLIN, 0};
    const int ready = ::poll(&fd, 1, static_cast<int>(timeout.count()));
    if (ready < 0) return errno == EINTR ? 0 : -1;
    if (ready == 0) return 0;
    const ssize_t n = ::read(handle.Get(), buffer, size);
    if (n < 0) return errno == EINTR || errno == EAGAIN ? 0 : -1;
    if (n == 0) endOfData = true;
    return static_cast<long>(n);
}

namespace {

// Everything the started program needs, made before the fork: between fork and exec the child
// of a threaded program may only make system calls.
struct ExecPlan {
    std::vector<std::string> args;
    std::vector<char*> argv;
    std::string workDir;
    int output = -1;
    pid_t parent = -1;
};

// A write the child makes when it cannot go on; the parent reads it as the reason.
[[noreturn]] void FailInChild(int reportFd, int error)
{
    [[maybe_unused]] const ssize_t n = ::write(reportFd, &error, sizeof error);
    ::_exit(127);
}

// Runs in the forked child. The parent-death signal ends the program with the panel however the
// panel ends (killed, crashed, its display gone), not only when it stops the run itself.
[[noreturn]] void RunChild(const ExecPlan& plan, int reportFd)
{
    // The starter's handlers must not run here (one writes into the starter's own pipe); ignored
    // signals stay ignored, as across exec.
    for (int signal = 1; signal < NSIG; ++signal) {
        struct sigaction current = {};
        if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler != SIG_IGN &&
            current.sa_handler != SIG_DFL) {
            struct sigaction byDefault = {};
            byDefault.sa_handler = SIG_DFL;
            ::sigaction(signal, &byDefault, nullptr);
        }
    }
    if (::setpgid(0, 0) != 0) FailInChild(reportFd, errno);
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) FailInChild(reportFd, errno);
    // The starter may have died before the line above: then nobody would send the signal.
    if (::getppid() != plan.parent) ::_exit(127);

    // The output first: it may itself be descriptor 0 when the starter had no standard input.
    if (::dup2(plan.output, STDOUT_FILENO) < 0 || ::dup2(plan.output, STDERR_FILENO) < 0)
        FailInChild(reportFd, errno);
    const int input = ::open("/dev/null", O_RDONLY);
    if (input < 0 || ::dup2(input, STDIN_FILENO) < 0) FailInChild(reportFd, errno);
    if (::chdir(plan.workDir.c_str()) != 0) FailInChild(reportFd, errno);
    // Nothing else goes along: a descriptor this program was handed by its own starter would
    // otherwise stay open for as long as the child runs. The report pipe closes itself on exec.
    const unsigned first = STDERR_FILENO + 1;
    const auto report = static_cast<unsigned>(reportFd);
    if (report > first) ::close_range(first, report - 1, 0);
    ::close_range(report + 1, ~0U, 0);

    sigset_t noSignals;
    sigemptyset(&noSignals);
    ::sigprocmask(SIG_SETMASK, &noSignals, nullptr);
    ::execve(plan.argv[0], plan.argv.data(), environ);
    FailInChild(reportFd, errno);
}

} // namespace

std::unique_ptr<ChildProcess> ChildProcess::Start(std::wstring_view commandLine, const FileHandle& output,
                                                  const std::filesystem::path& workDir, int& error)
{
    // Ignored signals stay ignored across exec: with SIGPIPE ignored here, the program is not
    // killed by writing into the pipe after its reader has gone (the panel closed without it).
    IgnoreBrokenPipeSignal();
    const std::vector<std::wstring> words = SplitCommandLine(commandLine);
    if (words.front().empty()) {
        error = ENOENT;
        return nullptr;
    }
    ExecPlan plan;
    for (const auto& w : words) plan.args.push_back(ToUtf8(w));
    for (auto& a : plan.args) plan.argv.push_back(a.data());
    plan.argv.push_back(nullptr);
    plan.workDir = workDir.string();
    plan.output = output.Get();
    plan.parent = ::getpid();

    int reportFds[2];
    if (::pipe2(reportFds, O_CLOEXEC) != 0) {
        error = errno;
        return nullptr;
    }
    FileHandle reportRead(reportFds[0]);
    FileHandle reportWrite(reportFds[1]);
    // Above the standard descriptors, which the child replaces.
    if (reportWrite.Get() <= STDERR_FILENO) {
        reportWrite = FileHandle(::fcntl(reportWrite.Get(), F_DUPFD_CLOEXEC, STDERR_FILENO + 1));
        if (!reportWrite.IsOpen()) {
            error = errno;
            return nullptr;
        }
    }

    // No signal is handled between the fork and the child's reset of the handlers.
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &previous);
    const pid_t pid = ::fork();
    if (pid == 0) RunChild(plan, reportWrite.Get());
    const int forkError = errno;
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (pid < 0) {
        error = forkError;
        return nullptr;
    }
    reportWrite.Close();

    // The report pipe closes on exec; a number in it is why the child could not get there.
    int childError = 0;
    ssize_t n = 0;
    do {
        n = ::read(reportRead.Get(), &childError, sizeof childError);
    } while (n < 0 && errno == EINTR);
    if (n != 0) {
        ::waitpid(pid, nullptr, 0);
        error = n == static_cast<ssize_t>(sizeof childError) ? childError : ECHILD;
        return nullptr;
    }
    error = 0;
    return std::make_unique<ChildProcess>(Key{}, pid);
}

ChildProcess::~ChildProcess()
{
    std::lock_guard lock(m_mutex);
    ReapLocked();
}

bool ChildProcess::ReapLocked()
{
    if (m_reaped) return true;
    int status = 0;
    const pid_t r = ::waitpid(m_pid, &status, WNOHANG);
    if (r == m_pid || (r < 0 && errno == ECHILD)) m_reaped = true;
    return m_reaped;
}

bool ChildProcess::WaitForExit(std::chrono::milliseconds timeout)
{
    constexpr auto kPollStep = std::chrono::milliseconds(5);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (ReapLocked()) return true;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return false;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(kPollStep, deadline - now));
    }
}

void ChildProcess::Terminate()
{
    {
        std::lock_guard lock(m_mutex);
        // Until it is reaped the process id cannot have been given to another process.
        if (ReapLocked()) return;
        ::kill(m_pid, SIGKILL);
    }
    // A killed program is gone within moments; collecting it here means that an owner who
    // lets go of it right away leaves no zombie. One stuck in the kernel is not waited for long.
    constexpr auto kEndWait = std::chrono::milliseconds(1000);
    WaitForExit(kEndWait);
}

void WaitForChild(int pid)
{
    while (pid > 0 && ::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

} // namespace platform
