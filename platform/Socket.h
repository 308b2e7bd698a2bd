#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

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

// The port a bound socket listens on (the system's choice after binding port 0); 0
// when it cannot be read.
std::uint16_t LocalPort(const Socket& socket);

// One descriptor of a WaitAny call: what to wait for, and what was found.
struct PollItem {
    int handle = -1;  // skipped when negative
    bool wantRead = false;
    bool wantWrite = false;
    bool readable = false;
    bool writable = false;
    // An error on the connection or a hang-up in both directions; reported whatever
    // was asked for. A peer that only ended its sending side does not count.
    bool failed = false;
};

// Waits until one of the items is ready or the timeout passes, and fills in the results.
Readiness WaitAny(std::span<PollItem> items, std::chrono::milliseconds timeout);

// Accepts a pending connection as a non-blocking socket; an invalid Socket with `error`
// set on failure (EAGAIN when nothing is pending).
Socket Accept(const Socket& listener, int& error);

// True when the peer has ended its sending side: a half-close or a full close, which
// look the same from here until data is sent to it.
bool PeerEndedSending(const Socket& socket);

// Waits up to `wait` for the connection to fail (reset or error); false when it still
// stands at the end.
bool ConnectionFails(const Socket& socket, std::chrono::milliseconds wait);

// Makes the next Close end the connection with a reset instead of an orderly close, so
// that the peer sees a failure; 0 or the error code.
int ResetOnClose(const Socket& socket);

// Sends without waiting for room and without the broken-pipe signal. Returns the bytes
// sent, or -1 with `error` set.
long SendNoWait(const Socket& socket, const char* data, std::size_t count, int& error);

} // namespace platform
