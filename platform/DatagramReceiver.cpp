#include "platform/DatagramReceiver.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <netinet/in.h>
#include <sys/socket.h>

namespace platform {

namespace {

// Asked for; the system caps it at its net.core.rmem_max.
constexpr int kReceiveBufferBytes = 16 * 1024 * 1024;

} // namespace

struct DatagramReceiver::Batch {
    std::vector<iovec> slices;
    std::vector<mmsghdr> headers;
};

DatagramReceiver::DatagramReceiver() : m_batch(std::make_unique<Batch>()) {}

DatagramReceiver::~DatagramReceiver() = default;

int DatagramReceiver::OpenLoopback()
{
    Socket candidate(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!candidate.IsValid()) return errno;
    const int bytes = kReceiveBufferBytes;
    ::setsockopt(candidate.NativeHandle(), SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(candidate.NativeHandle(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return errno;
    m_port = LocalPort(candidate);
    if (m_port == 0) return EADDRNOTAVAIL;
    m_socket = std::move(candidate);
    return 0;
}

const std::vector<std::string_view>& DatagramReceiver::ReceiveWaiting(std::size_t maxDatagrams, std::size_t maxBytes)
{
    m_received.clear();
    if (!m_socket.IsValid() || maxDatagrams == 0 || maxBytes == 0) return m_received;
    m_buffer.resize(maxDatagrams * maxBytes);
    std::vector<iovec>& slices = m_batch->slices;
    std::vector<mmsghdr>& headers = m_batch->headers;
    slices.resize(maxDatagrams);
    headers.resize(maxDatagrams);
    for (std::size_t i = 0; i < maxDatagrams; ++i) {
        slices[i] = {m_buffer.data() + i * maxBytes, maxBytes};
        headers[i] = {};
        headers[i].msg_hdr.msg_iov = &slices[i];
        headers[i].msg_hdr.msg_iovlen = 1;
    }
    const int count = ::recvmmsg(m_socket.NativeHandle(), headers.data(), static_cast<unsigned>(maxDatagrams),
                                 MSG_DONTWAIT, nullptr);
    for (int i = 0; i < count; ++i)
        m_received.emplace_back(m_buffer.data() + static_cast<std::size_t>(i) * maxBytes,
                                std::min<std::size_t>(headers[static_cast<std::size_t>(i)].msg_len, maxBytes));
    return m_received;
}

} // namespace platform
