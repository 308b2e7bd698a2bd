#pragma once

#include "emulator/channels/CChannelWriterBase.h"
#include "emulator/channels/LossReport.h"
#include "emulator/channels/SentenceBacklog.h"
#include "platform/NetworkAddress.h"
#include "platform/Socket.h"
#include "platform/WakeSignal.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// The TCP client channel: connects out to a consumer that listens (an aggregator, a
// plotter in server mode) and sends it the stream. A connection thread does all the
// network work, so Write only queues and a step never waits for the network.
//
// A refused or failed connection attempt, and a connection lost, are told in one line
// each, and the next attempt follows after a pause that starts at 1 s and doubles up to
// kLongestPause; a connection made resets it. While there is no connection, whole
// sentences are dropped and counted (see LossReport); a new connection gets current
// sentences only. A consumer slower than the stream builds a backlog bound like a TCP
// server client's (kBacklogLimit, or a few steps); past it whole oldest messages are
// dropped and counted, and the connection stays.
class TCPClientChannelWriterImpl final : public CChannelWriterBase {
public:
    static constexpr std::size_t kBacklogLimit = std::size_t{8} << 20;
    static constexpr std::chrono::seconds kFirstPause{1};
    static constexpr std::chrono::seconds kLongestPause{30};

    TCPClientChannelWriterImpl() = default;

    // Takes "HOST:PORT" or "[IPV6]:PORT", resolves the host and starts the connection
    // thread, which makes the first attempt at once. False for a text of another form
    // or a host that does not resolve.
    bool Open(const char* target) override;
    // Queues whole sentences for the connection thread and wakes it.
    bool Write(const char* data, std::uint32_t count) override;
    // Ends the thread; a connected consumer is first sent what was written before, for
    // up to 1.5 s, and then the connection is closed in order (reset if cut mid-sentence).
    bool Close() override;
    bool Flush() override { return true; }
    void Release() override;
    bool SetSerialState(DCB) override { return false; }

    // Sentences dropped since Open, with or without a connection.
    std::uint64_t DroppedSentences() const;

private:
    enum class State { Waiting, Connecting, Connected };
    using Clock = std::chrono::steady_clock;

    ~TCPClientChannelWriterImpl() = default;

    void ThreadProc();
    void Run();
    // Tries the destination's addresses from `m_addressIndex` on, until one connects or
    // is under way; when none is left the attempt has failed.
    void TryAddresses(Clock::time_point now);
    void AttemptFailed(int error, Clock::time_point now);
    void Connected();
    void Lost(int error, Clock::time_point now);
    // Reads and drops what the consumer sends; false when the connection failed.
    bool DrainIncoming(int& error);
    // Moves what Write queued to the backlog, or drops it without a connection.
    void TakeQueue();
    // Sends what the socket takes now; false with `error` when the connection failed.
    bool SendWhatFits(int& error);
    void DeliverRest();
    std::chrono::seconds NextPause();

    std::string m_destination;  // as written, for the lines
    std::vector<platform::SocketAddress> m_addresses;
    std::thread m_thread;
    std::mutex m_queueLock;  // guards m_pending
    std::string m_pending;
    const platform::WakeSignal m_wake;

    // The connection thread's.
    platform::Socket m_socket;
    State m_state = State::Waiting;
    std::size_t m_addressIndex = 0;
    int m_attemptError = 0;
    Clock::time_point m_deadline;  // Waiting: the next attempt; Connecting: its end
    std::chrono::seconds m_pause = kFirstPause;
    bool m_everConnected = false;
    bool m_peerEndedSending = false;
    SentenceBacklog m_backlog{kBacklogLimit};
    // Made by Open, naming the destination.
    std::optional<LossReport> m_offlineLoss;
    std::optional<LossReport> m_slowLoss;
};
