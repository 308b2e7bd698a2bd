#include "emulator/channels/TCPServerChannelWriterImpl.h"

#include "emulator/channels/ChannelReport.h"
#include "emulator/channels/TcpClientSlot.h"
#include "emulator/channels/TcpPortText.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <new>
#include <sstream>
#include <string>
#include <system_error>
#include <utility>

#include <sys/socket.h>

namespace {

// Without a write, a pass ends after this long.
constexpr std::chrono::milliseconds kPassLength{1000};
// After a failed wait, so that a lasting failure does not spin.
constexpr std::chrono::milliseconds kRetryPause{100};
// How long a client that ended its sending side has to answer the empty line with a
// reset; on loopback the answer comes within microseconds.
constexpr std::chrono::milliseconds kHangUpAnswerWait{50};
constexpr int kListenBacklog = SOMAXCONN;
constexpr std::chrono::milliseconds kSetUpLimit{2000};  // Open waits this long for the bind
// After Close, how long the client may take to read what was written before it.
constexpr std::chrono::milliseconds kCloseDeliveryLimit{1500};

const char* const kConnected = "Information : [TCP] client connected.";
const char* const kRefused = "Information : [TCP] connection refused, only one connection allowed.";
const char* const kDisconnected = "Information : [TCP] client disconnected.";

void DropClient(TcpClientSlot& client)
{
    client.Free();
    ReportChannelLine(kDisconnected);
}

void ReportWithCode(const char* text, int code)
{
    ReportChannelLine(std::string(text) + std::to_string(code));
}

} // namespace

bool TCPServerChannelWriterImpl::Open(const char* target)
{
    if (target == nullptr) {
        ReportChannelLine("Error : [TCP] empty connection string ");
        m_stopEvent.Set();
        return false;
    }
    const std::optional<std::uint32_t> port = ParseTcpPortText(target);
    if (!port) {
        ReportChannelLine("Error : [TCP] invalid port number. (" + std::string(target) + ")");
        m_stopEvent.Set();
        return false;
    }
    if (m_serverThread.joinable()) {
        ReportChannelLine("Error : [TCP] server thread already exists.");
        return false;
    }
    m_port = *port;
    try {
        m_serverThread = std::thread(&TCPServerChannelWriterImpl::ServerThreadProc, this);
    } catch (const std::system_error&) {
        return false;
    }
    // A port that cannot be bound is a run that never started: Open says so. The
    // thread decides at once; the bound only guards against a stalled system call.
    if (!m_setUp.Wait(kSetUpLimit)) return true;
    return !m_stopEvent.IsSet();
}

bool TCPServerChannelWriterImpl::Write(const char* data, std::uint32_t count)
{
    bool wasEmpty = false;
    {
        std::lock_guard lock(m_queueLock);
        if (data == nullptr || count == 0) return false;
        wasEmpty = m_pendingData.empty();
        m_pendingData.insert(m_pendingData.end(), data, data + count);
    }
    // A queue that held text already has a wake-up on its way: the server thread
    // clears the signal before it takes the queue.
    if (wasEmpty) m_wake.Signal();
    return true;
}

bool TCPServerChannelWriterImpl::Close()
{
    if (!m_serverThread.joinable()) return false;
    m_stopEvent.Set();
    m_wake.Signal();
    m_serverThread.join();
    m_listenSocket.Close();
    return true;
}

void TCPServerChannelWriterImpl::Release()
{
    Close();
    delete this;
}

void TCPServerChannelWriterImpl::ServerThreadProc()
{
    platform::NetworkSubsystem network;
    if (const int error = network.Start(); error != 0) {
        ReportWithCode("Error : [TCP] error initializing network subsystem, code = ", error);
        m_stopEvent.Set();
        m_setUp.Set();
        return;
    }
    if (!StartListening()) {
        m_stopEvent.Set();
        m_setUp.Set();
        m_listenSocket.Close();
        return;
    }
    m_setUp.Set();
    try {
        ServeClients();
    } catch (const std::bad_alloc&) {
        // A client's backlog the machine cannot hold: the output ends, as a lost one does.
        ReportChannelLine("Error : [TCP] out of memory, the output is closed.");
        m_stopEvent.Set();
    }
    m_listenSocket.Close();
}

bool TCPServerChannelWriterImpl::StartListening()
{
    if (const int error = platform::CreateTcpSocket(m_listenSocket); error != 0) {
        ReportWithCode("Error : [TCP] error creating socket, code = ", error);
        return false;
    }
    if (const int error = platform::SetNonBlocking(m_listenSocket); error != 0) {
        ReportWithCode("Error : [TCP] error setting socket to nonblocking mode, code = ", error);
        return false;
    }
    // Without it a restart within the TIME_WAIT period of the last client would be
    // refused; failing to set it only costs that convenience.
    platform::AllowAddressReuse(m_listenSocket);
    if (const int error = platform::BindAnyIPv4(m_listenSocket, static_cast<std::uint16_t>(m_port & 0xFFFF));
        error != 0) {
        ReportWithCode("Error : [TCP] error binding socket, code = ", error);
        return false;
    }
    if (const int error = platform::Listen(m_listenSocket, kListenBacklog); error != 0) {
        ReportWithCode("Error : [TCP] error starting local socket for listening, code = ", error);
        return false;
    }
    // Port 0 leaves the choice to the system, and nobody could find the server.
    if ((m_port & 0xFFFF) == 0) {
        ReportChannelLine("Information : [TCP] listening on port " +
                          std::to_string(platform::LocalPort(m_listenSocket)) + ".");
    }
    return true;
}

void TCPServerChannelWriterImpl::ServeClients()
{
    TcpClientSlot client;
    // A client let go for falling behind, while it is sent the rest of its last sentence.
    TcpClientSlot leaving;
    std::chrono::steady_clock::time_point leavingUntil;
    bool acceptPaused = false;
    while (!m_stopEvent.IsSet()) {
        std::array<platform::PollItem, 4> items{};
        items[0] = {.handle = acceptPaused ? -1 : m_listenSocket.NativeHandle(), .wantRead = true};
        items[1] = {.handle = m_wake.Handle(), .wantRead = true};
        items[2] = {.handle = client.Handle(), .wantWrite = client.HasBacklog()};
        items[3] = {.handle = leaving.Handle(), .wantWrite = leaving.HasBacklog()};
        const platform::Readiness readiness = platform::WaitAny(items, kPassLength);
        if (readiness == platform::Readiness::Failed && m_stopEvent.Wait(kRetryPause)) break;
        if (m_stopEvent.IsSet()) break;
        acceptPaused = false;

        // Cleared before the queue is taken, so a write after that wakes the next wait.
        if (items[1].readable) m_wake.Clear();
        if (client.IsTaken() && items[2].failed) DropClient(client);
        if (items[0].readable) acceptPaused = !AcceptPending(client);
        // Whatever else happened in this pass, the queue goes to the client or away.
        if (!HandQueueTo(client)) {
            leaving.Free();  // an earlier one still owed a sentence end goes now
            client.KeepOnlySentenceInProgress();
            leaving = std::exchange(client, TcpClientSlot{});
            leavingUntil = std::chrono::steady_clock::now() + kPassLength;
            ReportChannelLine(kDisconnected);
        }
        if (client.IsTaken() && !client.SendWhatFits()) DropClient(client);
        if (leaving.IsTaken() && (items[3].failed || !leaving.SendWhatFits() || !leaving.HasBacklog() ||
                                  std::chrono::steady_clock::now() >= leavingUntil)) {
            leaving.Free();
        }
    }
    DeliverRest(client);
    client.Free();
    leaving.Free();
}

void TCPServerChannelWriterImpl::DeliverRest(TcpClientSlot& client)
{
    if (!client.IsTaken() || !HandQueueTo(client)) return;
    const auto deadline = std::chrono::steady_clock::now() + kCloseDeliveryLimit;
    while (client.HasBacklog()) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return;
        std::array<platform::PollItem, 1> items{};
        items[0] = {.handle = client.Handle(), .wantWrite = true};
        if (platform::WaitAny(items, left) == platform::Readiness::Failed || items[0].failed) return;
        if (!client.SendWhatFits()) return;
    }
}

bool TCPServerChannelWriterImpl::AcceptPending(TcpClientSlot& client)
{
    std::vector<platform::Socket> newcomers;
    bool healthy = true;
    for (;;) {
        int error = 0;
        platform::Socket accepted = platform::Accept(m_listenSocket, error);
        if (accepted.IsValid()) {
            newcomers.push_back(std::move(accepted));
            continue;
        }
        if (error == EINTR || error == ECONNABORTED) continue;
        // Anything but an empty queue of connections (out of descriptors, say) leaves
        // the listening socket readable; it is left alone for a pass.
        healthy = error == EAGAIN || error == EWOULDBLOCK;
        break;
    }
    if (newcomers.empty()) return healthy;

    if (client.IsTaken() && !client.StillReads(kHangUpAnswerWait)) DropClient(client);
    auto next = newcomers.begin();
    if (!client.IsTaken()) {
        client.Take(std::move(*next++));
        ReportChannelLine(kConnected);
    }
    for (; next != newcomers.end(); ++next) {
        next->Close();
        ReportChannelLine(kRefused);
    }
    return healthy;
}

bool TCPServerChannelWriterImpl::HandQueueTo(TcpClientSlot& client)
{
    std::vector<char> batch;
    {
        std::lock_guard lock(m_queueLock);
        batch.swap(m_pendingData);
    }
    if (batch.empty()) return true;
    m_clientBound.NoteStep(batch.size());
    // Without a client the text is dropped: a later client gets only current sentences.
    return !client.IsTaken() || client.Queue(std::move(batch), m_clientBound.Limit());
}
