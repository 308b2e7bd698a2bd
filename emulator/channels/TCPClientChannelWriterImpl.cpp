#include "emulator/channels/TCPClientChannelWriterImpl.h"

#include "emulator/channels/ChannelReport.h"
#include "emulator/channels/HostPortText.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <new>
#include <system_error>
#include <utility>

namespace {

// Without a write or an attempt due, a pass ends after this long, to tell losses.
constexpr std::chrono::milliseconds kPassLength{1000};
// After a failed wait, so that a lasting failure does not spin.
constexpr std::chrono::milliseconds kRetryPause{100};
// A connection under way that the network neither takes nor refuses (a host that is
// down) counts as failed after this long.
constexpr std::chrono::seconds kConnectLimit{10};
// After Close, how long the consumer may take to read what was written before it.
constexpr std::chrono::milliseconds kCloseDeliveryLimit{1500};
constexpr std::size_t kReadChunk = 4096;

std::string ErrorText(int error)
{
    return std::generic_category().message(error);
}

std::size_t SentencesIn(std::string_view text)
{
    const auto ends = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    return ends + (!text.empty() && text.back() != '\n' ? 1 : 0);
}

std::chrono::milliseconds Until(std::chrono::steady_clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return std::clamp(left, std::chrono::milliseconds{0}, kPassLength);
}

} // namespace

bool TCPClientChannelWriterImpl::Open(const char* target)
{
    const std::string text = target != nullptr ? target : "";
    const std::optional<HostPort> destination = ParseHostPort(text);
    if (!destination) {
        ReportChannelLine("Error : [TCP] invalid address, HOST:PORT expected. (" + text + ")");
        m_stopEvent.Set();
        return false;
    }
    if (m_thread.joinable()) {
        ReportChannelLine("Error : [TCP] connection thread already exists.");
        return false;
    }
    std::string lookupError;
    if (platform::ResolveAddresses(destination->host, destination->port, platform::SocketType::Stream, m_addresses,
                                   lookupError) != 0) {
        ReportChannelLine("Error : [TCP] cannot resolve host " + destination->host + ": " + lookupError);
        m_stopEvent.Set();
        return false;
    }
    m_destination = text;
    m_offlineLoss.emplace("TCP", LossReport::Sink{}, "no connection to " + m_destination);
    m_slowLoss.emplace("TCP", LossReport::Sink{}, m_destination + " too slow");
    try {
        m_thread = std::thread(&TCPClientChannelWriterImpl::ThreadProc, this);
    } catch (const std::system_error& e) {
        ReportChannelLine("Error : [TCP] cannot create the connection thread, code = " +
                          std::to_string(e.code().value()));
        m_stopEvent.Set();
        return false;
    }
    return true;
}

bool TCPClientChannelWriterImpl::Write(const char* data, std::uint32_t count)
{
    if (!m_thread.joinable() || !IsAlive()) return false;
    if (data == nullptr || count == 0) return true;
    bool wasEmpty = false;
    {
        std::lock_guard lock(m_queueLock);
        wasEmpty = m_pending.empty();
        m_pending.append(data, count);
    }
    // A queue that held text already has a wake-up on its way.
    if (wasEmpty) m_wake.Signal();
    return true;
}

bool TCPClientChannelWriterImpl::Close()
{
    if (!m_thread.joinable()) return false;
    m_stopEvent.Set();
    m_wake.Signal();
    m_thread.join();
    return true;
}

void TCPClientChannelWriterImpl::Release()
{
    Close();
    delete this;
}

std::uint64_t TCPClientChannelWriterImpl::DroppedSentences() const
{
    return (m_offlineLoss ? m_offlineLoss->Total() : 0) + (m_slowLoss ? m_slowLoss->Total() : 0);
}

void TCPClientChannelWriterImpl::ThreadProc()
{
    try {
        Run();
    } catch (const std::bad_alloc&) {
        // A backlog the machine cannot hold: the output ends, as a lost one does.
        ReportChannelLine("Error : [TCP] out of memory, the output is closed.");
        m_stopEvent.Set();
    }
    m_socket.Close();
}

void TCPClientChannelWriterImpl::Run()
{
    m_addressIndex = 0;
    TryAddresses(Clock::now());
    while (!m_stopEvent.IsSet()) {
        std::array<platform::PollItem, 2> items{};
        items[0] = {.handle = m_wake.Handle(), .wantRead = true};
        std::chrono::milliseconds wait = kPassLength;
        if (m_state == State::Connected) {
            items[1] = {.handle = m_socket.NativeHandle(), .wantRead = !m_peerEndedSending,
                        .wantWrite = !m_backlog.Empty()};
        } else {
            if (m_state == State::Connecting) items[1] = {.handle = m_socket.NativeHandle(), .wantWrite = true};
            wait = Until(m_deadline);
        }
        const platform::Readiness readiness = platform::WaitAny(items, wait);
        if (readiness == platform::Readiness::Failed && m_stopEvent.Wait(kRetryPause)) break;
        if (m_stopEvent.IsSet()) break;
        // Cleared before the queue is taken, so a write after that wakes the next wait.
        if (items[0].readable) m_wake.Clear();

        const Clock::time_point now = Clock::now();
        if (m_state == State::Connecting) {
            if (items[1].writable || items[1].failed) {
                const int error = platform::ConnectOutcome(m_socket);
                if (error == 0) {
                    Connected();
                } else {
                    m_attemptError = error;
                    ++m_addressIndex;
                    TryAddresses(now);
                }
            } else if (now >= m_deadline) {
                m_attemptError = ETIMEDOUT;
                ++m_addressIndex;
                TryAddresses(now);
            }
        } else if (m_state == State::Connected) {
            int error = 0;
            if (items[1].failed) {
                const int pending = platform::ConnectOutcome(m_socket);
                Lost(pending != 0 ? pending : ECONNRESET, now);
            } else if (items[1].readable && !DrainIncoming(error)) {
                Lost(error, now);
            }
        } else if (now >= m_deadline) {
            m_addressIndex = 0;
            TryAddresses(now);
        }

        TakeQueue();
        if (m_state == State::Connected) {
            int error = 0;
            if (!SendWhatFits(error)) Lost(error, now);
        }
        m_offlineLoss->Poll(now);
        m_slowLoss->Poll(now);
    }
    DeliverRest();
}

void TCPClientChannelWriterImpl::TryAddresses(Clock::time_point now)
{
    for (; m_addressIndex < m_addresses.size(); ++m_addressIndex) {
        const platform::SocketAddress& address = m_addresses[m_addressIndex];
        m_socket.Close();
        if (const int error = platform::CreateStreamSocket(address.family, m_socket); error != 0) {
            m_attemptError = error;
            continue;
        }
        const int error = platform::StartConnect(m_socket, address);
        if (error == 0) {
            Connected();
            return;
        }
        if (error == EINPROGRESS) {
            m_state = State::Connecting;
            m_deadline = now + kConnectLimit;
            return;
        }
        m_attemptError = error;
    }
    AttemptFailed(m_attemptError, now);
}

std::chrono::seconds TCPClientChannelWriterImpl::NextPause()
{
    const std::chrono::seconds pause = m_pause;
    m_pause = std::min(m_pause * 2, std::chrono::seconds{kLongestPause});
    return pause;
}

void TCPClientChannelWriterImpl::AttemptFailed(int error, Clock::time_point now)
{
    m_socket.Close();
    m_state = State::Waiting;
    const std::chrono::seconds pause = NextPause();
    m_deadline = now + pause;
    ReportChannelLine("Warning : [TCP] cannot connect to " + m_destination + " (" + ErrorText(error) +
                      "), next try in " + std::to_string(pause.count()) + " s.");
}

void TCPClientChannelWriterImpl::Connected()
{
    m_state = State::Connected;
    m_pause = kFirstPause;
    m_peerEndedSending = false;
    ReportChannelLine(std::string("Information : [TCP] ") + (m_everConnected ? "reconnected" : "connected") + " to " +
                      m_destination + ".");
    m_everConnected = true;
}

void TCPClientChannelWriterImpl::Lost(int error, Clock::time_point now)
{
    m_socket.Close();
    m_backlog.Clear();
    m_offlineLoss->Dropped(m_backlog.TakeDroppedSentences(), now);
    m_state = State::Waiting;
    const std::chrono::seconds pause = NextPause();
    m_deadline = now + pause;
    ReportChannelLine("Warning : [TCP] connection to " + m_destination + " lost (" + ErrorText(error) +
                      "), next try in " + std::to_string(pause.count()) + " s.");
}

bool TCPClientChannelWriterImpl::DrainIncoming(int& error)
{
    // A consumer may talk back (a greeting, a query); nothing it says is needed.
    std::array<char, kReadChunk> buffer{};
    for (;;) {
        const long received = platform::ReceiveNoWait(m_socket, buffer.data(), buffer.size(), error);
        if (received > 0) continue;
        if (received == 0) {
            // Only its sending side may have ended; whether it still reads, sends tell.
            m_peerEndedSending = true;
            return true;
        }
        if (error == EINTR) continue;
        return error == EAGAIN || error == EWOULDBLOCK;
    }
}

void TCPClientChannelWriterImpl::TakeQueue()
{
    std::string text;
    {
        std::lock_guard lock(m_queueLock);
        text.swap(m_pending);
    }
    if (text.empty()) return;
    m_backlog.NoteStep(text.size());
    if (m_state != State::Connected) {
        m_offlineLoss->Dropped(SentencesIn(text));
        return;
    }
    m_backlog.Append(text);
    m_slowLoss->Dropped(m_backlog.TakeDroppedSentences());
}

bool TCPClientChannelWriterImpl::SendWhatFits(int& error)
{
    while (!m_backlog.Empty()) {
        const std::string_view pending = m_backlog.Pending();
        const long sent = platform::SendNoWait(m_socket, pending.data(), pending.size(), error);
        if (sent > 0) {
            m_backlog.Consume(static_cast<std::size_t>(sent));
            continue;
        }
        if (sent < 0 && error == EINTR) continue;
        return sent < 0 && (error == EAGAIN || error == EWOULDBLOCK);
    }
    return true;
}

void TCPClientChannelWriterImpl::DeliverRest()
{
    TakeQueue();
    if (m_state == State::Connected) {
        const auto deadline = Clock::now() + kCloseDeliveryLimit;
        int error = 0;
        bool failed = !SendWhatFits(error);
        while (!failed && !m_backlog.Empty() && Clock::now() < deadline) {
            std::array<platform::PollItem, 1> items{};
            items[0] = {.handle = m_socket.NativeHandle(), .wantWrite = true};
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            failed = platform::WaitAny(items, left) == platform::Readiness::Failed || items[0].failed ||
                     !SendWhatFits(error);
        }
        // A consumer left holding a cut sentence sees a failure, not a clean end.
        if (m_backlog.FrontStarted()) platform::ResetOnClose(m_socket);
        m_backlog.Clear();
        m_slowLoss->Dropped(m_backlog.TakeDroppedSentences());
    }
    m_socket.Close();
    m_offlineLoss->Flush();
    m_slowLoss->Flush();
}
