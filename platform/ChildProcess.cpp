#include "platform/ChildProcess.h"

#include "platform/Signals.h"

#include <cerrno>
#include <cstdint>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
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

    // The program name: quotes group, nothing is escaped.
    std::wstring program;
    bool quoted = false;
    for (; i < line.size(); ++i) {
        const wchar_t c = line[i];
        if (c == L'"') quoted = !quoted;
        else if (!quoted && isBlank(c)) break;
        else program += c;
    }
    words.push_back(std::move(program));

    for (;;) {
        while (i < line.size() && isBlank(line[i])) ++i;
        if (i == line.size()) break;
        std::wstring word;
        quoted = false;
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

class SpawnSetup {
public:
    SpawnSetup()
    {
        posix_spawn_file_actions_init(&m_actions);
        posix_spawnattr_init(&m_attr);
    }
    ~SpawnSetup()
    {
        posix_spawn_file_actions_destroy(&m_actions);
        posix_spawnattr_destroy(&m_attr);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    posix_spawn_file_actions_t m_actions;
    posix_spawnattr_t m_attr;
};

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
    std::vector<std::string> args;
    for (const auto& w : words) args.push_back(ToUtf8(w));
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    SpawnSetup setup;
    const int out = output.Get();
    int rc = posix_spawn_file_actions_addopen(&setup.m_actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (rc == 0) rc = posix_spawn_file_actions_adddup2(&setup.m_actions, out, STDOUT_FILENO);
    if (rc == 0) rc = posix_spawn_file_actions_adddup2(&setup.m_actions, out, STDERR_FILENO);
    if (rc == 0 && out > STDERR_FILENO) rc = posix_spawn_file_actions_addclose(&setup.m_actions, out);
    // Nothing else goes along: a descriptor this program was handed by its own starter would
    // otherwise stay open for as long as the child runs.
    if (rc == 0) rc = posix_spawn_file_actions_addclosefrom_np(&setup.m_actions, STDERR_FILENO + 1);
    if (rc == 0) rc = posix_spawn_file_actions_addchdir_np(&setup.m_actions, workDir.c_str());

    sigset_t noSignals;
    sigemptyset(&noSignals);
    if (rc == 0) rc = posix_spawnattr_setflags(&setup.m_attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);
    if (rc == 0) rc = posix_spawnattr_setpgroup(&setup.m_attr, 0);
    if (rc == 0) rc = posix_spawnattr_setsigmask(&setup.m_attr, &noSignals);

    pid_t pid = -1;
    if (rc == 0) rc = posix_spawn(&pid, argv[0], &setup.m_actions, &setup.m_attr, argv.data(), environ);
    if (rc != 0) {
        error = rc;
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

} // namespace platform
