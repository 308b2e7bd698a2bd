#pragma once

#include "emulator/channels/CChannelWriterBase.h"
#include "emulator/channels/StreamBound.h"
#include "emulator/channels/TcpClientSlot.h"
#include "platform/Event.h"
#include "platform/Socket.h"
#include "platform/WakeSignal.h"

#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

// The TCP server channel: a server thread listens on the port, serves one client at a
// time and sends it what Write queued; without a client the queued text is dropped.
//
// Write wakes the server thread, so each step's sentences leave at once; otherwise a
// pass ends after a second, to take connections and see the stop event. Every pass
// accepts every pending connection (the first takes a free place, the others are closed
// with the refusal line) and then hands the whole queue to the client or drops it, so
// the queue never outlives a pass and a newcomer gets only current sentences.
//
// The place is freed only by a real hang-up: a reset, an error, a failed send or a
// backlog overflow (see TcpClientSlot). The client's bound is 8 MiB or a few times the
// largest recent batch, whichever is more, so a client that reads at full speed is
// never dropped, however large the steps. A client that has only ended its sending side
// (a read-only consumer) keeps it; when a newcomer arrives, such a client is sent an
// empty line between sentences, and it gives way only if that is answered by a reset,
// as a peer that has closed both directions does. A client dropped for overflowing its
// backlog is first sent the rest of the sentence in progress, for up to a pass, while
// its place already takes newcomers; if it does not read that in time, it gets a reset.
class TCPServerChannelWriterImpl final : public CChannelWriterBase {
public:
    TCPServerChannelWriterImpl() = default;

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

    void ServerThreadProc();
    bool StartListening();
    void ServeClients();
    // False when accepting failed for a reason that waiting will not cure at once.
    bool AcceptPending(TcpClientSlot& client);
    // False when the client's backlog would overflow; the text is then dropped.
    bool HandQueueTo(TcpClientSlot& client);
    // On Close: sends the client the queue and its backlog, within a bound.
    void DeliverRest(TcpClientSlot& client);

    std::thread m_serverThread;
    std::uint32_t m_port = 0;  // the listening socket uses the low 16 bits
    std::mutex m_queueLock;    // guards m_pendingData
    std::vector<char> m_pendingData;
    platform::Socket m_listenSocket;  // the server thread's while it runs
    StreamBound m_clientBound{TcpClientSlot::kBacklogLimit};  // the server thread's
    const platform::WakeSignal m_wake;  // Write and Close wake the server thread
    platform::Event m_setUp;            // set once the thread listens or has failed to
};
