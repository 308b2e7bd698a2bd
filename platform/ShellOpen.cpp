#include "platform/ShellOpen.h"

#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <string_view>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <vector>

extern char** environ;

namespace platform {
namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

class SpawnAttributes {
public:
    SpawnAttributes() { posix_spawnattr_init(&m_attributes); }
    ~SpawnAttributes() { posix_spawnattr_destroy(&m_attributes); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    posix_spawnattr_t* Get() { return &m_attributes; }

private:
    posix_spawnattr_t m_attributes;
};

// Starts xdg-open with the address as its one argument; -1 when it cannot be started.
pid_t SpawnOpener(const std::string& address)
{
    std::string program = "xdg-open";
    std::string argument = address;
    std::vector<char*> argv{program.data(), argument.data(), nullptr};
    // An ignored SIGPIPE (the emulator ignores it for itself) would stay ignored across
    // exec; the opener and the browser it starts get the default disposition back.
    SpawnAttributes attributes;
    sigset_t restored;
    sigemptyset(&restored);
    sigaddset(&restored, SIGPIPE);
    if (posix_spawnattr_setsigdefault(attributes.Get(), &restored) != 0 ||
        posix_spawnattr_setflags(attributes.Get(), POSIX_SPAWN_SETSIGDEF) != 0) {
        return -1;
    }
    pid_t pid = -1;
    if (posix_spawnp(&pid, program.c_str(), nullptr, attributes.Get(), argv.data(), environ) != 0) return -1;
    return pid;
}

// Waits for the opener's end; false when it cannot be collected.
bool WaitForOpener(pid_t pid, int& status)
{
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

} // namespace

bool IsOpenableWebAddress(const std::string& address)
{
    const bool http = StartsWithNoCase(address, "http://");
    const bool https = StartsWithNoCase(address, "https://");
    if (!http && !https) return false;
    const std::size_t schemeLength = http ? 7 : 8;
    if (address.size() == schemeLength) return false;  // no host
    for (const char c : address) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7f) return false;
    }
    return true;
}

bool ShellOpen(const std::string& address)
{
    if (!IsOpenableWebAddress(address)) return false;
    const pid_t pid = SpawnOpener(address);
    if (pid < 0) return false;
    // Waiting keeps no zombie behind and tells whether a handler was found.
    int status = 0;
    if (!WaitForOpener(pid, status)) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool StartShellOpen(const std::string& address)
{
    if (!IsOpenableWebAddress(address)) return false;
    // Started on the caller's thread: a start from another thread could take along a
    // descriptor that the caller holds open for a moment only, such as a pipe end meant for
    // one child.
    const pid_t pid = SpawnOpener(address);
    if (pid < 0) return false;
    try {
        std::thread([pid] {
            int status = 0;
            WaitForOpener(pid, status);
        }).detach();
    } catch (const std::system_error&) {
        // No thread to collect it with: it stays a zombie until this program ends, which is
        // better than a caller held up by a browser.
    }
    return true;
}

} // namespace platform
