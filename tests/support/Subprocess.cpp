#include "tests/support/Subprocess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace testsupport {
namespace {

struct Pipe {
    int fd[2] = {-1, -1};
    Pipe()
    {
        if (pipe2(fd, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
    }
};

int Spawn(const std::vector<std::string>& argv, const std::optional<std::string>& workDir,
          int inFd, int outFd, int errFd)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (inFd >= 0) posix_spawn_file_actions_adddup2(&actions, inFd, 0);
    else posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    if (workDir) posix_spawn_file_actions_addchdir_np(&actions, workDir->c_str());
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) throw std::runtime_error("cannot start " + argv[0]);
    return pid;
}

void ReadSome(int& fd, std::string& into)
{
    char buf[4096];
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n > 0) into.append(buf, static_cast<size_t>(n));
    else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
        close(fd);
        fd = -1;
    }
}

} // namespace

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& input,
                         std::chrono::milliseconds limit, const std::optional<std::string>& workDir)
{
    Pipe in, out, err;
    const int pid = Spawn(argv, workDir, in.fd[0], out.fd[1], err.fd[1]);
    close(in.fd[0]);
    close(out.fd[1]);
    close(err.fd[1]);
    int inFd = in.fd[1], outFd = out.fd[0], errFd = err.fd[0];
    fcntl(inFd, F_SETFL, O_NONBLOCK);
    signal(SIGPIPE, SIG_IGN);
    size_t written = 0;
    if (input.empty()) { close(inFd); inFd = -1; }

    ProcessResult result;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (outFd >= 0 || errFd >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) { result.timedOut = true; kill(pid, SIGKILL); break; }
        pollfd fds[3] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}, {inFd, POLLOUT, 0}};
        if (poll(fds, 3, static_cast<int>(left)) < 0 && errno != EINTR) break;
        if (fds[0].revents) ReadSome(outFd, result.out);
        if (fds[1].revents) ReadSome(errFd, result.err);
        if (inFd >= 0 && fds[2].revents) {
            const ssize_t n = write(inFd, input.data() + written, input.size() - written);
            if (n > 0) written += static_cast<size_t>(n);
            if (n < 0 && errno != EAGAIN) written = input.size();
            if (written == input.size()) { close(inFd); inFd = -1; }
        }
    }
    for (int fd : {inFd, outFd, errFd}) if (fd >= 0) close(fd);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv, const std::optional<std::string>& workDir)
{
    Pipe out, err;
    m_pid = Spawn(argv, workDir, -1, out.fd[1], err.fd[1]);
    close(out.fd[1]);
    close(err.fd[1]);
    m_outFd = out.fd[0];
    m_errFd = err.fd[0];
    fcntl(m_outFd, F_SETFL, O_NONBLOCK);
    fcntl(m_errFd, F_SETFL, O_NONBLOCK);
}

BackgroundProcess::~BackgroundProcess()
{
    if (!m_reaped && m_pid > 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, &m_status, 0);
    }
    if (m_outFd >= 0) close(m_outFd);
    if (m_errFd >= 0) close(m_errFd);
}

void BackgroundProcess::Drain(int timeoutMs)
{
    pollfd fds[2] = {{m_outFd, POLLIN, 0}, {m_errFd, POLLIN, 0}};
    if (poll(fds, 2, timeoutMs) <= 0) return;
    if (fds[0].revents) ReadSome(m_outFd, m_out);
    if (fds[1].revents) ReadSome(m_errFd, m_err);
}

bool BackgroundProcess::Running()
{
    if (m_reaped) return false;
    if (waitpid(m_pid, &m_status, WNOHANG) == m_pid) m_reaped = true;
    return !m_reaped;
}

const std::string& BackgroundProcess::OutSoFar() { Drain(0); return m_out; }
const std::string& BackgroundProcess::ErrSoFar() { Drain(0); return m_err; }

ProcessResult BackgroundProcess::Wait(std::chrono::milliseconds limit)
{
    ProcessResult result;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (true) {
        Drain(10);
        if (!Running() && m_outFd < 0 && m_errFd < 0) break;
        if (!Running()) { Drain(10); if (m_outFd >= 0 || m_errFd >= 0) { Drain(50); } break; }
        if (std::chrono::steady_clock::now() > deadline) { result.timedOut = true; break; }
    }
    while (m_outFd >= 0 || m_errFd >= 0) {
        const int before = static_cast<int>(m_out.size() + m_err.size());
        Drain(100);
        if (static_cast<int>(m_out.size() + m_err.size()) == before) break;
    }
    result.out = m_out;
    result.err = m_err;
    result.exitCode = (m_reaped && WIFEXITED(m_status)) ? WEXITSTATUS(m_status) : -1;
    return result;
}

ProcessResult BackgroundProcess::Stop(int signal, std::chrono::milliseconds limit)
{
    if (Running()) kill(m_pid, signal);
    return Wait(limit);
}

std::string ProgramPath(const std::string& name)
{
    const char* dir = std::getenv("KVL_BIN_DIR");
    return std::string(dir ? dir : "bin") + "/" + name;
}

} // namespace testsupport
