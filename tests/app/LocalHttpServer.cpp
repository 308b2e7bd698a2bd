#include "tests/app/LocalHttpServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace apptest {
namespace {

int ListenOnLoopback(std::uint16_t& port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error("socket failed");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 4) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(fd);
        throw std::runtime_error("cannot listen on loopback");
    }
    port = ntohs(address.sin_port);
    return fd;
}

bool Readable(int fd, int timeoutMs)
{
    pollfd pfd{fd, POLLIN, 0};
    return poll(&pfd, 1, timeoutMs) == 1;
}

} // namespace

LocalHttpServer::LocalHttpServer(Behaviour behaviour, std::string reply)
    : m_behaviour(behaviour), m_reply(std::move(reply))
{
    m_listenFd = ListenOnLoopback(m_port);
    m_thread = std::thread([this] { Serve(); });
}

LocalHttpServer::~LocalHttpServer()
{
    m_done.Set();
    m_thread.join();
    close(m_listenFd);
}

std::string LocalHttpServer::Request()
{
    m_requestRead.Wait(std::chrono::seconds(5));
    std::lock_guard lock(m_mutex);
    return m_request;
}

std::size_t LocalHttpServer::BytesSent()
{
    std::lock_guard lock(m_mutex);
    return m_sent;
}

void LocalHttpServer::Serve()
{
    int client = -1;
    while (client < 0 && !m_done.IsSet()) {
        if (Readable(m_listenFd, 20)) client = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    }
    if (client < 0) return;

    std::string request;
    char buffer[1024];
    while (request.find("\r\n\r\n") == std::string::npos && !m_done.IsSet()) {
        if (!Readable(client, 20)) continue;
        const ssize_t n = recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        request.append(buffer, static_cast<std::size_t>(n));
    }
    {
        std::lock_guard lock(m_mutex);
        m_request = request;
    }
    m_requestRead.Set();

    send(client, m_reply.data(), m_reply.size(), MSG_NOSIGNAL);
    if (m_behaviour == Behaviour::ReplyAndHold) {
        m_done.WaitForever();
    } else if (m_behaviour == Behaviour::SendEndlessly) {
        const std::string chunk(4096, 'x');
        while (!m_done.IsSet()) {
            pollfd pfd{client, POLLOUT, 0};
            if (poll(&pfd, 1, 20) != 1) continue;
            const ssize_t n = send(client, chunk.data(), chunk.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0 && errno != EAGAIN) break;  // the client has gone
            if (n > 0) {
                std::lock_guard lock(m_mutex);
                m_sent += static_cast<std::size_t>(n);
            }
        }
    }
    close(client);
}

std::uint16_t ClosedLoopbackPort()
{
    std::uint16_t port = 0;
    close(ListenOnLoopback(port));  // bound, then released: nobody listens there now
    return port;
}

} // namespace apptest
