#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Splits a command line into program name and arguments by the rules of the Windows C runtime,
// so that a command line composed for a Windows program reaches it as the same words:
// - words are separated by blanks and tabs outside double quotes;
// - the program name is the first word, from the first character on, even when empty; it is
//   read like the arguments (Windows reads it without escapes, but its paths cannot hold a
//   quote, and ours can);
// - 2n backslashes before a double quote give n backslashes and the quote
//   opens or closes a quoted part; 2n+1 backslashes before a quote give n backslashes and a
//   literal quote; backslashes elsewhere are plain characters;
// - inside a quoted part, two double quotes in a row give one literal quote and the part goes on.
std::vector<std::wstring> SplitCommandLine(std::wstring_view commandLine);

// UTF-8 form of a wide text, as the operating system takes program arguments and paths.
std::string ToUtf8(std::wstring_view text);

// One owned file descriptor, closed when the owner goes.
class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(int fd) : m_fd(fd) {}
    ~FileHandle() { Close(); }
    FileHandle(FileHandle&& other) noexcept : m_fd(other.Release()) {}
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    int Get() const { return m_fd; }
    int Release();
    void Close();

private:
    int m_fd = -1;
};

struct PipeEnds {
    FileHandle read;
    FileHandle write;
};

// An anonymous pipe whose ends a child started afterwards inherits. Returns 0 or the errno.
int CreateInheritablePipe(PipeEnds& pipe);

// Keeps a descriptor out of every child started afterwards. Returns 0 or the errno.
int SetNotInheritable(const FileHandle& handle);

// Reads up to `size` bytes, waiting at most `timeout` for some to arrive.
// Returns the count read; 0 when nothing came in time or the writers have all gone
// (`endOfData` tells which), -1 on a read error.
long ReadWithTimeout(const FileHandle& handle, char* buffer, std::size_t size,
                     std::chrono::milliseconds timeout, bool& endOfData);

// A started program. Destroying this object leaves a running program running: only Terminate
// ends it, or the end of the starter: the program is killed when the thread that started it
// ends, however it ends (the parent-death signal), so start it from a thread that lives as long
// as the process. It gets a process group of its own (a signal to the starter's group does
// not reach it) and keeps SIGPIPE ignored, so it survives the starter closing the output pipe.
class ChildProcess {
public:
    class Key {
        friend class ChildProcess;
        Key() = default;
    };
    ChildProcess(Key, int pid) : m_pid(pid) {}
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // Collects an ended program's exit status so that no zombie stays behind.
    ~ChildProcess();

    // Starts the program named by the first word of `commandLine` (words as SplitCommandLine
    // cuts them) with its standard output and standard error on `output`, standard input
    // from /dev/null, no other descriptor, and `workDir` as its current directory. Returns null and sets `error`
    // (an errno) when the program cannot be started.
    static std::unique_ptr<ChildProcess> Start(std::wstring_view commandLine, const FileHandle& output,
                                               const std::filesystem::path& workDir, int& error);

    // True once the program has ended; waits at most `timeout` for that.
    bool WaitForExit(std::chrono::milliseconds timeout);
    // Ends the program at once (SIGKILL) and collects it, waiting a moment at most for its end;
    // nothing happens when it has ended already.
    void Terminate();
    int Pid() const { return m_pid; }

private:
    bool ReapLocked();

    const int m_pid;
    std::mutex m_mutex;   // the waiting watch-dog and the user-interface thread both ask
    bool m_reaped = false;
};

// Waits until the child `pid` has ended and collects it. A program that has done its work but
// means to leave a started program running calls this instead of ending, since its end would
// end the program too. Returns at once for a process that is no (longer a) child.
void WaitForChild(int pid);

} // namespace platform
