#include "platform/ShellOpen.h"

#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <string_view>
#include <sys/wait.h>
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
        return false;
    }
    pid_t pid = -1;
    if (posix_spawnp(&pid, program.c_str(), nullptr, attributes.Get(), argv.data(), environ) != 0) return false;
    // xdg-open hands the address to the browser and returns; waiting keeps no zombie
    // behind and tells whether a handler was found.
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace platform
