#pragma once

#include "emulator/channels/CChannelWriterBase.h"
#include "emulator/channels/DatagramPacing.h"
#include "emulator/channels/HostPortText.h"
#include "emulator/channels/LossReport.h"
#include "emulator/channels/StreamBound.h"
#include "platform/DatagramSender.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// Where a UDP output sends.
using UdpDestination = HostPort;

std::optional<UdpDestination> ParseUdpDestination(const std::string& text);

// The UDP channel: each sentence goes out as one datagram to one destination, which
// may be a broadcast address or a multicast group. UDP has no client to lose, so a destination that is
// unreachable or refuses never ends or slows the run: such sends are dropped.
//
// Write only queues; a sender thread spreads each step's datagrams over the step (see
// DatagramPacing), with sends that never wait. A datagram the system has no room for
// waits for the next turn; the queue is bounded like a file's backlog (64 KiB or a few
// steps), and the whole oldest sentences it drops are told on standard error.
class UDPChannelWriterImpl final : public CChannelWriterBase {
public:
    UDPChannelWriterImpl() = default;

    // For a multicast destination: the TTL or hop limit, and the interface to send from
    // (an address or a name; empty: the system's choice). Set before Open; other
    // destinations ignore them.
    void SetMulticast(int hops, std::string interfaceText);
    // Takes "HOST:PORT", resolves it, makes the socket and starts the sender thread.
    bool Open(const char* target) override;
    // Queues each "\r\n"-terminated sentence of the data as a datagram; a trailing
    // piece without line end goes as one datagram of its own.
    bool Write(const char* data, std::uint32_t count) override;
    // Ends the sender thread and sends what still waits at once.
    bool Close() override;
    bool Flush() override { return true; }
    void Release() override;
    bool SetSerialState(DCB) override { return false; }

    // Sentences dropped from a queue past its bound, since Open.
    std::uint64_t DroppedSentences() const { return m_loss.Total(); }

private:
    ~UDPChannelWriterImpl() = default;

    void SenderThreadProc();
    // Sends up to `count` waiting datagrams; stops early when the system has no room.
    void SendWaiting(std::size_t count);
    std::size_t WaitingDatagrams() const { return m_ends.size() - m_first; }
    std::size_t WaitingBytes() const;
    std::size_t DatagramStart(std::size_t index) const { return index == 0 ? 0 : m_ends[index - 1]; }

    platform::DatagramSender m_sender;
    int m_multicastHops = 1;
    std::string m_multicastInterface;
    std::thread m_senderThread;
    std::mutex m_queueLock;  // guards everything below
    std::condition_variable m_wake;
    bool m_closing = false;
    std::string m_text;                // datagrams queued, back to back
    std::vector<std::size_t> m_ends;   // where each datagram of m_text ends
    std::size_t m_first = 0;           // datagrams of m_ends already sent or dropped
    StreamBound m_bound{64 * 1024};
    DatagramPacing m_pacing;
    LossReport m_loss{"UDP"};
};
