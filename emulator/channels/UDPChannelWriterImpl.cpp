#include "emulator/channels/UDPChannelWriterImpl.h"

#include "emulator/channels/ChannelReport.h"
#include "emulator/channels/SentenceBacklog.h"

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <system_error>
#include <utility>

namespace {

std::string MulticastProblem(int error, const std::string& interfaceText)
{
    if (error == ENODEV) return "Error : [UDP] there is no network interface " + interfaceText + " (--udp-interface).";
    if (error == EADDRNOTAVAIL)
        return "Error : [UDP] no network interface has the address " + interfaceText + " (--udp-interface).";
    return "Error : [UDP] error setting multicast options, code = " + std::to_string(error);
}

} // namespace

std::optional<UdpDestination> ParseUdpDestination(const std::string& text)
{
    return ParseHostPort(text);
}

void UDPChannelWriterImpl::SetMulticast(int hops, std::string interfaceText)
{
    m_multicastHops = hops;
    m_multicastInterface = std::move(interfaceText);
}

bool UDPChannelWriterImpl::Open(const char* target)
{
    const std::string text = target != nullptr ? target : "";
    const std::optional<UdpDestination> destination = ParseUdpDestination(text);
    if (!destination) {
        ReportChannelLine("Error : [UDP] invalid destination, HOST:PORT expected. (" + text + ")");
        m_stopEvent.Set();
        return false;
    }
    std::string lookupError;
    const int error = m_sender.Open(destination->host, destination->port, lookupError);
    if (error == -1) {
        ReportChannelLine("Error : [UDP] cannot resolve host " + destination->host + ": " + lookupError);
        m_stopEvent.Set();
        return false;
    }
    if (error != 0) {
        ReportChannelLine("Error : [UDP] error creating socket, code = " + std::to_string(error));
        m_stopEvent.Set();
        return false;
    }
    if (m_sender.IsMulticast()) {
        if (const int failure = m_sender.SetMulticast(m_multicastHops, m_multicastInterface); failure != 0) {
            ReportChannelLine(MulticastProblem(failure, m_multicastInterface));
            m_sender.Close();
            m_stopEvent.Set();
            return false;
        }
    }
    try {
        m_senderThread = std::thread(&UDPChannelWriterImpl::SenderThreadProc, this);
    } catch (const std::system_error& e) {
        ReportChannelLine("Error : [UDP] cannot create the sender thread, code = " + std::to_string(e.code().value()));
        m_sender.Close();
        m_stopEvent.Set();
        return false;
    }
    return true;
}

bool UDPChannelWriterImpl::Write(const char* data, std::uint32_t count)
{
    if (!m_sender.IsOpen() || !IsAlive()) return false;
    if (data == nullptr || count == 0) return true;
    const std::string_view text(data, count);
    std::size_t dropped = 0;
    {
        std::lock_guard lock(m_queueLock);
        // What was sent goes once it is the larger part, so the copying stays linear.
        if (m_first > 0 && m_first * 2 >= m_ends.size()) {
            const std::size_t sentBytes = DatagramStart(m_first);
            m_text.erase(0, sentBytes);
            m_ends.erase(m_ends.begin(), m_ends.begin() + static_cast<std::ptrdiff_t>(m_first));
            for (std::size_t& end : m_ends) end -= sentBytes;
            m_first = 0;
        }
        const std::size_t base = m_text.size();
        m_text.append(text);
        for (std::size_t start = 0; start < text.size();) {
            const std::size_t end = text.find("\r\n", start);
            start = end == std::string_view::npos ? text.size() : end + 2;
            m_ends.push_back(base + start);
        }
        m_bound.NoteStep(text.size());
        m_pacing.StepArrived(DatagramPacing::Clock::now());
        // A queue past its bound loses its oldest messages, all their datagrams.
        for (const std::size_t limit = m_bound.Limit(); WaitingBytes() > limit; ++dropped) ++m_first;
        for (; m_first < m_ends.size() && !StartsMessage(std::string_view(m_text).substr(DatagramStart(m_first)));
             ++dropped)
            ++m_first;
    }
    m_wake.notify_one();
    m_loss.Dropped(dropped);
    return true;
}

std::size_t UDPChannelWriterImpl::WaitingBytes() const
{
    return m_text.size() - DatagramStart(m_first);
}

void UDPChannelWriterImpl::SendWaiting(std::size_t count)
{
    for (; count > 0 && m_first < m_ends.size(); --count) {
        const std::size_t start = DatagramStart(m_first);
        const int error = m_sender.Send(m_text.data() + start, m_ends[m_first] - start);
        // No room in the system: the datagram waits for the next turn. Refused,
        // unreachable and the like: it is lost, as it would be on the air.
        if (error == EAGAIN || error == EWOULDBLOCK || error == ENOBUFS) return;
        ++m_first;
    }
}

void UDPChannelWriterImpl::SenderThreadProc()
{
    using Clock = DatagramPacing::Clock;
    std::unique_lock lock(m_queueLock);
    while (!m_closing) {
        const std::size_t waiting = WaitingDatagrams();
        if (waiting == 0) {
            // Wakes now and then without a write, so that a loss count is still told.
            m_wake.wait_for(lock, std::chrono::seconds(1));
            m_loss.Poll();
            continue;
        }
        const Clock::time_point now = Clock::now();
        SendWaiting(m_pacing.Allowance(waiting, now));
        m_loss.Poll(now);
        m_wake.wait_until(lock, now + DatagramPacing::kTick, [this] { return m_closing; });
    }
}

bool UDPChannelWriterImpl::Close()
{
    {
        std::lock_guard lock(m_queueLock);
        m_closing = true;
    }
    m_wake.notify_one();
    if (m_senderThread.joinable()) m_senderThread.join();
    // The run is over: what waits leaves at once.
    if (m_sender.IsOpen()) SendWaiting(WaitingDatagrams());
    m_loss.Dropped(WaitingDatagrams());
    m_first = m_ends.size();
    m_loss.Flush();
    m_sender.Close();
    m_stopEvent.Set();
    return true;
}

void UDPChannelWriterImpl::Release()
{
    Close();
    delete this;
}
