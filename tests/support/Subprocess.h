#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

struct ProcessResult {
    int exitCode = -1;      // exit status, or -1 when the process was killed by a signal
    bool timedOut = false;  // killed because it ran past the time limit
    std::string out;        // everything written to standard output
    std::string err;        // everything written to standard error
};

// Runs a program (no shell), feeds it `input` on standard input and collects both
// output streams until it ends or the time limit passes (then it is killed).
ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& input = {},
                         std::chrono::milliseconds limit = std::chrono::seconds(20),
                         const std::optional<std::string>& workDir = std::nullopt);

// A process that keeps running while the test talks to it; killed when destroyed.
class BackgroundProcess {
public:
    explicit BackgroundProcess(const std::vector<std::string>& argv,
                               const std::optional<std::string>& workDir = std::nullopt);
    ~BackgroundProcess();
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    bool Running();
    // Sends a signal and collects the rest of the output; returns the result.
    ProcessResult Stop(int signal, std::chrono::milliseconds limit = std::chrono::seconds(10));
    // Waits for the process to end by itself, up to the limit.
    ProcessResult Wait(std::chrono::milliseconds limit);
    // Output read so far (drains the pipes without blocking).
    const std::string& OutSoFar();
    const std::string& ErrSoFar();
    int Pid() const { return m_pid; }

private:
    void Drain(int timeoutMs);
    int m_pid = -1;
    int m_outFd = -1;
    int m_errFd = -1;
    bool m_reaped = false;
    int m_status = 0;
    std::string m_out;
    std::string m_err;
};

// Path of a built program (vesgen, vespanel) in the bin folder of the build tree.
std::string ProgramPath(const std::string& name);

} // namespace testsupport
