#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace platform {

// One socket handle, closed when the object goes.
class Socket {
public:
    Socket() = default;
    explicit Socket(int handle) : m_handle(handle) {}
    ~Socket();
    Socket(Socket&& other) noexcept;
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool IsValid() const { return m_handle >= 0; }
    int NativeHandle() const { return m_handle; }
    void Close();

private:
    int m_handle = -1;
};

// The network subsystem for the lifetime of the object. POSIX sockets need no start-up,
// so Start always succeeds here; it keeps the order of the server's steps.
class NetworkSubsystem {
public:
    int Start();  // 0 or an error code
};

// The functions below return 0 on success and otherwise the error code (errno).
int CreateTcpSocket(Socket& socket);  // IPv4 stream socket, close-on-exec
int SetNonBlocking(const Socket& socket);
// Lets a restarted server bind while connections of the previous one linger in
// TIME_WAIT; a port another socket listens on is still refused.
int AllowAddressReuse(const Socket& socket);
int BindAnyIPv4(const Socket& socket, std::uint16_t port);
int Listen(const Socket& socket, int backlog);

enum class Readiness { Ready, TimedOut, Failed };

// Waits until the socket is readable (for a listening socket: a connection is pending).
Readiness WaitReadable(const Socket& socket, std::chrono::milliseconds timeout);

// Accepts a pending connection as a non-blocking socket; an invalid Socket on failure.
Socket Accept(const Socket& listener);

// True when the peer of a connected socket has closed its end or the connection has
// failed; data the peer sent and nobody read does not count as closed.
bool PeerHasClosed(const Socket& socket);

// Sends without waiting for room and without the broken-pipe signal. Returns the bytes
// sent, or -1 with `error` set.
long SendNoWait(const Socket& socket, const char* data, std::size_t count, int& error);

} // namespace platform
