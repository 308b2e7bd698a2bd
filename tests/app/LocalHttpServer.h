#pragma once

#include "platform/Event.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace apptest {

// A one-connection HTTP server on the loopback interface, run by a thread of its own:
// it accepts one client, reads its request up to the empty line, then answers as told.
class LocalHttpServer {
public:
    enum class Behaviour {
        ReplyAndClose,   // sends the reply and closes
        ReplyAndHold,    // sends the reply and keeps the connection open until destroyed
        SendEndlessly,   // sends the reply, then data until the client goes away
    };

    LocalHttpServer(Behaviour behaviour, std::string reply);
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    std::uint16_t Port() const { return m_port; }
    // The request bytes the client sent (waits up to a few seconds for them).
    std::string Request();
    // Bytes pushed to the client by an endless sender before it went away.
    std::size_t BytesSent();

private:
    void Serve();

    Behaviour m_behaviour;
    std::string m_reply;
    int m_listenFd = -1;
    std::uint16_t m_port = 0;
    platform::Event m_done;
    platform::Event m_requestRead;
    std::mutex m_mutex;
    std::string m_request;
    std::size_t m_sent = 0;
    std::thread m_thread;
};

// A loopback port on which nobody listens.
std::uint16_t ClosedLoopbackPort();

} // namespace apptest
