#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// One outgoing TCP connection over IPv4. Sending never raises SIGPIPE.
class ClientSocket {
public:
    enum class ConnectResult { Connected, ResolveFailed, ConnectFailed };
    enum class Readiness { Readable, TimedOut, Failed };
    struct Received {
        long count = 0;          // bytes received; 0 when the peer closed; -1 on an error
        bool wouldBlock = false; // nothing to read yet on a non-blocking socket
    };

    ClientSocket() = default;
    ~ClientSocket();
    ClientSocket(const ClientSocket&) = delete;
    ClientSocket& operator=(const ClientSocket&) = delete;

    // Resolves `host` to its first IPv4 address and connects to `port`, giving up after
    // `limit`, name resolution included, so that neither a resolver nor an unreachable
    // host can stall the caller. The socket is left blocking.
    ConnectResult Connect(const std::string& host, std::uint16_t port, std::chrono::milliseconds limit);
    bool SetNonBlocking();
    // One send call; the number of bytes sent or -1.
    long Send(const char* data, std::size_t count);
    Readiness WaitReadable(std::chrono::milliseconds timeout);
    Received Receive(char* buffer, std::size_t capacity);
    void Close();

private:
    int m_fd = -1;
};

} // namespace platform
