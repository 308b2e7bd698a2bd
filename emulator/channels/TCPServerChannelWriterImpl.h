#pragma once

#include "emulator/channels/CChannelWriterBase.h"
#include "platform/Socket.h"

#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

// The TCP server channel: a server thread listens on the port, serves one client at a
// time and sends it what Write queued; without a client the queued text is dropped.
class TCPServerChannelWriterImpl final : public CChannelWriterBase {
public:
    TCPServerChannelWriterImpl() = default;

    // Takes the port text (unsigned decimal, trailing characters ignored) and starts
    // the server thread.
    bool Open(const char* target) override;
    // Queues the bytes for the server thread; never waits for the network.
    bool Write(const char* data, std::uint32_t count) override;
    // Stops the server thread (it sees the stop event within about 1.1 s) and waits
    // for it, so nothing it uses is freed under it.
    bool Close() override;
    bool Flush() override { return true; }
    void Release() override;
    bool SetSerialState(DCB) override { return false; }

private:
    ~TCPServerChannelWriterImpl() = default;

    void ServerThreadProc();
    bool StartListening();
    void ServeClients();
    void SendPendingData(platform::Socket& client);

    std::thread m_serverThread;
    std::uint32_t m_port = 0;  // the listening socket uses the low 16 bits
    std::mutex m_queueLock;    // guards m_pendingData
    std::vector<char> m_pendingData;
    platform::Socket m_listenSocket;  // the server thread's while it runs
};
