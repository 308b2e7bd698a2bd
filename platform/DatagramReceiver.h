#pragma once

#include "platform/Socket.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace platform {

// A UDP socket bound to a port the system picks on the IPv4 loopback address, read without
// waiting, many datagrams per call. Its receive buffer is made as large as the system allows,
// so that a burst of a large fleet's sentences is not lost before the reader gets to it.
class DatagramReceiver {
public:
    DatagramReceiver();
    ~DatagramReceiver();
    DatagramReceiver(const DatagramReceiver&) = delete;
    DatagramReceiver& operator=(const DatagramReceiver&) = delete;

    // 0, or the errno value of the step that failed.
    int OpenLoopback();
    bool IsOpen() const { return m_socket.IsValid(); }
    int Handle() const { return m_socket.NativeHandle(); }
    std::uint16_t Port() const { return m_port; }

    // Reads the datagrams waiting, at most `maxDatagrams`, each cut at `maxBytes`; returns
    // them in order. Empty when none waits (or the socket failed).
    const std::vector<std::string_view>& ReceiveWaiting(std::size_t maxDatagrams = 256, std::size_t maxBytes = 2048);

private:
    struct Batch;   // the system's message headers, kept from call to call

    Socket m_socket;
    std::uint16_t m_port = 0;
    std::unique_ptr<Batch> m_batch;
    std::vector<char> m_buffer;
    std::vector<std::string_view> m_received;
};

} // namespace platform
