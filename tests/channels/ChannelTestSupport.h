#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace channeltest {

// Sends everything written to a descriptor (2 for standard error, 1 for standard
// output) to a private file while the object lives, then puts the descriptor back.
class FdCapture {
public:
    explicit FdCapture(int fd);
    ~FdCapture();
    FdCapture(const FdCapture&) = delete;
    FdCapture& operator=(const FdCapture&) = delete;

    std::string Text() const;
    // Waits until `needle` has appeared `times` times; false when the limit passed.
    bool WaitFor(const std::string& needle, int times = 1,
                 std::chrono::milliseconds limit = std::chrono::seconds(10)) const;

private:
    int m_fd;
    int m_saved;
    int m_file;
};

int CountOf(const std::string& text, const std::string& needle);

// Polls `condition` until it holds or the limit passes.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit);

// A port on which nothing listens right now (the kernel's choice of a free one).
std::uint16_t FreeTcpPort();
// Whether a socket could be bound to the port on all addresses at this moment.
bool IsTcpPortFree(std::uint16_t port);

// A TCP connection to 127.0.0.1, closed when the object goes.
class LoopbackClient {
public:
    // Retries until the server accepts the connection or the limit passes.
    explicit LoopbackClient(std::uint16_t port, std::chrono::milliseconds limit = std::chrono::seconds(5));
    ~LoopbackClient();
    LoopbackClient(const LoopbackClient&) = delete;
    LoopbackClient& operator=(const LoopbackClient&) = delete;

    bool Connected() const { return m_fd >= 0; }
    // Reads until the received text contains `needle` or the limit passes; returns
    // everything received so far.
    const std::string& ReadUntil(const std::string& needle, std::chrono::milliseconds limit = std::chrono::seconds(5));
    // Reads until the server closes the connection; false when the limit passed first.
    bool WaitForServerClose(std::chrono::milliseconds limit = std::chrono::seconds(5));
    // Goes away with a reset instead of an orderly close.
    void Abort();
    void Close();
    const std::string& Received() const { return m_received; }

private:
    int m_fd = -1;
    std::string m_received;
};

} // namespace channeltest
