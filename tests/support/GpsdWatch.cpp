#include "tests/support/GpsdWatch.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

namespace testsupport {

std::vector<std::string> WatchGpsdAis(std::uint16_t port, const std::function<bool(const std::vector<std::string>&)>& enough,
                                      std::chrono::seconds limit)
{
    std::vector<std::string> reports;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int fd = -1;
    while (std::chrono::steady_clock::now() < deadline) {
        fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) break;
        close(fd);
        fd = -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (fd < 0) return reports;
    const std::string watch = "?WATCH={\"enable\":true,\"json\":true}\n";
    send(fd, watch.data(), watch.size(), MSG_NOSIGNAL);
    std::string pending;
    while (!enough(reports) && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) != 1) continue;
        char buffer[4096];
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        pending.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
            const std::string line = pending.substr(0, end);
            if (line.find("\"class\":\"AIS\"") != std::string::npos) reports.push_back(line);
        }
    }
    close(fd);
    return reports;
}

} // namespace testsupport
