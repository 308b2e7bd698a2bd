#pragma once

#include "emulator/channels/CChannelWriterBase.h"
#include "emulator/channels/StreamBound.h"
#include "emulator/channels/TcpClientSlot.h"
#include "platform/Event.h"
#include "platform/Socket.h"
#include "platform/WakeSignal.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// The TCP server channel: a server thread listens on the port, serves up to a set number
// of clients at a time (one unless told otherwise) and sends each what Write queued;
// without a client the queued text is dropped.
//
// Write wakes the server thread, so each step's sentences leave at once; otherwise a
// pass ends after a second, to take connections and see the stop event. Every pass
// accepts every pending connection (each takes a free place, the others are closed
// with the refusal line) and then hands the whole queue to every client or drops it, so
// the queue never outlives a pass and a newcomer gets only current sentences.
//
// A place is freed only by a real hang-up: a reset, an error, a failed send or a
// backlog overflow (see TcpClientSlot). Each client has its own backlog, bound at 8 MiB
// or a few times the largest recent batch, whichever is more, so a client that reads at
// full speed is never dropped, however large the steps, and a slow one never holds up
// the others. A client that has only ended its sending side (a read-only consumer)
// keeps its place; when a newcomer finds every place taken, such a client is sent an
// empty line between sentences, and it gives way only if that is answered by a reset,
// as a peer that has closed both directions does. A client dropped for overflowing its
// backlog is first sent the rest of the sentence in progress, for up to a pass, while
// its place already takes newcomers; if it does not read that in time, it gets a reset.
class TCPServerChannelWriterImpl final : public CChannelWriterBase {
public:
    TCPServerChannelWriterImpl() = default;

    // Before Open: how many clients may read at once (at least 1), and the address to
    // listen on (a numeric address or a name; empty: every IPv4 interface).
    void SetClientLimit(std::size_t clients) { m_clientLimit = clients < 1 ? 1 : clients; }
    void SetBindAddress(std::string address) { m_bindAddress = std::move(address); }

    // Takes the port text (unsigned decimal, trailing characters ignored) and starts
    // the server thread.
    bool Open(const char* target) override;
    // Queues the bytes (whole sentences) for the server thread and wakes it; never
    // waits for the network.
    bool Write(const char* data, std::uint32_t count) override;
    // Stops the server thread (woken at once) and waits for it, so nothing it uses is
    // freed under it. The client is first sent what was written before, for up to
    // 1.5 s, and then closed in order, or reset if it is left with a cut sentence.
    bool Close() override;
    bool Flush() override { return true; }
    void Release() override;
    bool SetSerialState(DCB) override { return false; }

private:
    ~TCPServerChannelWriterImpl() = default;

    // A client let go for falling behind, while it is sent the rest of its last sentence.
    struct LeavingClient {
        TcpClientSlot slot;
        std::chrono::steady_clock::time_point until;
    };

    void ServerThreadProc();
    bool StartListening();
    bool CreateListeningSocket(std::uint16_t port);
    void ServeClients();
    // False when accepting failed for a reason that waiting will not cure at once.
    bool AcceptPending(std::vector<TcpClientSlot>& clients);
    // Hands the queue to every client; a client whose backlog would overflow moves to
    // `leaving` (without it, it is let go). Without a client the text is dropped.
    void HandQueueTo(std::vector<TcpClientSlot>& clients, std::vector<LeavingClient>* leaving);
    // On Close: sends the clients the queue and their backlogs, within a bound.
    void DeliverRest(std::vector<TcpClientSlot>& clients);

    std::thread m_serverThread;
    std::uint32_t m_port = 0;  // the listening socket uses the low 16 bits
    std::size_t m_clientLimit = 1;
    std::string m_bindAddress;  // empty: every IPv4 interface
    std::mutex m_queueLock;    // guards m_pendingData
    std::vector<char> m_pendingData;
    platform::Socket m_listenSocket;  // the server thread's while it runs
    StreamBound m_clientBound{TcpClientSlot::kBacklogLimit};  // the server thread's
    const platform::WakeSignal m_wake;  // Write and Close wake the server thread
    platform::Event m_setUp;            // set once the thread listens or has failed to
};
