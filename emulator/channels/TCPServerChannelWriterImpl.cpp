#include "emulator/channels/TCPServerChannelWriterImpl.h"

#include "emulator/channels/ChannelReport.h"
#include "emulator/channels/TcpClientSlot.h"
#include "emulator/channels/TcpPortText.h"
#include "platform/NetworkAddress.h"

#include <algorithm>
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

std::string RefusalLine(std::size_t clientLimit)
{
    if (clientLimit == 1) return kRefused;
    return "Information : [TCP] connection refused, only " + std::to_string(clientLimit) + " connections allowed.";
}
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
    const auto port = static_cast<std::uint16_t>(m_port & 0xFFFF);
    if (!CreateListeningSocket(port)) return false;
    if (const int error = platform::Listen(m_listenSocket, kListenBacklog); error != 0) {
        ReportWithCode("Error : [TCP] error starting local socket for listening, code = ", error);
        return false;
    }
    // Port 0 leaves the choice to the system, and nobody could find the server.
    if (port == 0) {
        ReportChannelLine("Information : [TCP] listening on port " +
                          std::to_string(platform::LocalPort(m_listenSocket)) + ".");
    }
    return true;
}

bool TCPServerChannelWriterImpl::CreateListeningSocket(std::uint16_t port)
{
    platform::SocketAddress bindAddress;
    if (!m_bindAddress.empty()) {
        std::vector<platform::SocketAddress> found;
        std::string lookupError;
        if (platform::ResolveAddresses(m_bindAddress, port, platform::SocketType::Stream, found, lookupError) != 0) {
            ReportChannelLine("Error : [TCP] cannot listen on " + m_bindAddress + ": " + lookupError);
            return false;
        }
        bindAddress = found.front();
    }
    const int created = m_bindAddress.empty() ? platform::CreateTcpSocket(m_listenSocket)
                                              : platform::CreateStreamSocket(bindAddress.family, m_listenSocket);
    if (created != 0) {
        ReportWithCode("Error : [TCP] error creating socket, code = ", created);
        return false;
    }
    if (const int error = platform::SetNonBlocking(m_listenSocket); error != 0) {
        ReportWithCode("Error : [TCP] error setting socket to nonblocking mode, code = ", error);
        return false;
    }
    // Without it a restart within the TIME_WAIT period of the last client would be
    // refused; failing to set it only costs that convenience.
    platform::AllowAddressReuse(m_listenSocket);
    const int bound = m_bindAddress.empty() ? platform::BindAnyIPv4(m_listenSocket, port)
                                            : platform::BindTo(m_listenSocket, bindAddress);
    if (bound != 0) {
        ReportWithCode("Error : [TCP] error binding socket, code = ", bound);
        return false;
    }
    return true;
}

void TCPServerChannelWriterImpl::ServeClients()
{
    std::vector<TcpClientSlot> clients(m_clientLimit);
    std::vector<LeavingClient> leaving;
    std::vector<platform::PollItem> items;
    constexpr std::size_t kFirstClient = 2;  // after the listening socket and the wake-up
    bool acceptPaused = false;
    while (!m_stopEvent.IsSet()) {
        items.assign(kFirstClient + clients.size() + leaving.size(), {});
        items[0] = {.handle = acceptPaused ? -1 : m_listenSocket.NativeHandle(), .wantRead = true};
        items[1] = {.handle = m_wake.Handle(), .wantRead = true};
        for (std::size_t i = 0; i < clients.size(); ++i)
            items[kFirstClient + i] = {.handle = clients[i].Handle(), .wantWrite = clients[i].HasBacklog()};
        const std::size_t firstLeaving = kFirstClient + clients.size();
        for (std::size_t i = 0; i < leaving.size(); ++i)
            items[firstLeaving + i] = {.handle = leaving[i].slot.Handle(), .wantWrite = leaving[i].slot.HasBacklog()};
        const std::size_t leavingPolled = leaving.size();
        const platform::Readiness readiness = platform::WaitAny(items, kPassLength);
        if (readiness == platform::Readiness::Failed && m_stopEvent.Wait(kRetryPause)) break;
        if (m_stopEvent.IsSet()) break;
        acceptPaused = false;

        // Cleared before the queue is taken, so a write after that wakes the next wait.
        if (items[1].readable) m_wake.Clear();
        for (std::size_t i = 0; i < clients.size(); ++i)
            if (clients[i].IsTaken() && items[kFirstClient + i].failed) DropClient(clients[i]);
        if (items[0].readable) acceptPaused = !AcceptPending(clients);
        // Whatever else happened in this pass, the queue goes to the clients or away.
        HandQueueTo(clients, &leaving);
        for (TcpClientSlot& client : clients)
            if (client.IsTaken() && !client.SendWhatFits()) DropClient(client);
        const auto now = std::chrono::steady_clock::now();
        for (std::size_t i = leaving.size(); i-- > 0;) {
            TcpClientSlot& slot = leaving[i].slot;
            const bool failed = i < leavingPolled && items[firstLeaving + i].failed;
            if (failed || !slot.SendWhatFits() || !slot.HasBacklog() || now >= leaving[i].until) {
                slot.Free();
                leaving.erase(leaving.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
    }
    DeliverRest(clients);
    for (TcpClientSlot& client : clients) client.Free();
    for (LeavingClient& client : leaving) client.slot.Free();
}

void TCPServerChannelWriterImpl::DeliverRest(std::vector<TcpClientSlot>& clients)
{
    // A client whose backlog would overflow is let go at once.
    HandQueueTo(clients, nullptr);
    const auto deadline = std::chrono::steady_clock::now() + kCloseDeliveryLimit;
    std::vector<platform::PollItem> items;
    std::vector<TcpClientSlot*> waiting;
    for (;;) {
        waiting.clear();
        for (TcpClientSlot& client : clients)
            if (client.IsTaken() && client.HasBacklog()) waiting.push_back(&client);
        if (waiting.empty()) return;
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return;
        items.assign(waiting.size(), {});
        for (std::size_t i = 0; i < waiting.size(); ++i) items[i] = {.handle = waiting[i]->Handle(), .wantWrite = true};
        if (platform::WaitAny(items, left) == platform::Readiness::Failed) return;
        // A client that fails is let go now; the others go on.
        for (std::size_t i = 0; i < waiting.size(); ++i)
            if (items[i].failed || !waiting[i]->SendWhatFits()) waiting[i]->Free();
    }
}

bool TCPServerChannelWriterImpl::AcceptPending(std::vector<TcpClientSlot>& clients)
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

    const auto isFree = [](const TcpClientSlot& client) { return !client.IsTaken(); };
    if (std::none_of(clients.begin(), clients.end(), isFree)) {
        for (TcpClientSlot& client : clients)
            if (!client.StillReads(kHangUpAnswerWait)) DropClient(client);
    }
    for (platform::Socket& newcomer : newcomers) {
        const auto place = std::find_if(clients.begin(), clients.end(), isFree);
        if (place != clients.end()) {
            place->Take(std::move(newcomer));
            ReportChannelLine(kConnected);
        } else {
            newcomer.Close();
            ReportChannelLine(RefusalLine(m_clientLimit));
        }
    }
    return healthy;
}

void TCPServerChannelWriterImpl::HandQueueTo(std::vector<TcpClientSlot>& clients, std::vector<LeavingClient>* leaving)
{
    std::vector<char> batch;
    {
        std::lock_guard lock(m_queueLock);
        batch.swap(m_pendingData);
    }
    if (batch.empty()) return;
    m_clientBound.NoteStep(batch.size());
    std::size_t readers = 0;
    for (const TcpClientSlot& client : clients) readers += client.IsTaken() ? 1 : 0;
    // Without a client the text is dropped: a later client gets only current sentences.
    for (TcpClientSlot& client : clients) {
        if (!client.IsTaken()) continue;
        // The last reader takes the batch itself, the others a copy.
        std::vector<char> text = --readers == 0 ? std::move(batch) : batch;
        if (client.Queue(std::move(text), m_clientBound.Limit())) continue;
        if (leaving == nullptr) {
            client.Free();
            continue;
        }
        client.KeepOnlySentenceInProgress();
        leaving->push_back({std::exchange(client, TcpClientSlot{}), std::chrono::steady_clock::now() + kPassLength});
        ReportChannelLine(kDisconnected);
    }
}
