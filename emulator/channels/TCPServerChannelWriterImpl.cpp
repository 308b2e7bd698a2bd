#include "emulator/channels/TCPServerChannelWriterImpl.h"

#include "emulator/channels/ChannelReport.h"
#include "emulator/channels/TcpPortText.h"

#include <chrono>
#include <sstream>
#include <string>
#include <system_error>

namespace {

constexpr std::chrono::milliseconds kStopPollInterval{100};
constexpr std::chrono::milliseconds kConnectionWait{1000};
constexpr int kListenBacklog = 0;

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
    return true;
}

bool TCPServerChannelWriterImpl::Write(const char* data, std::uint32_t count)
{
    std::lock_guard lock(m_queueLock);
    if (data == nullptr || count == 0) return false;
    m_pendingData.insert(m_pendingData.end(), data, data + count);
    return true;
}

bool TCPServerChannelWriterImpl::Close()
{
    if (!m_serverThread.joinable()) return false;
    m_stopEvent.Set();
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
        return;
    }
    if (!StartListening()) {
        m_stopEvent.Set();
        m_listenSocket.Close();
        return;
    }
    ServeClients();
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
    return true;
}

void TCPServerChannelWriterImpl::ServeClients()
{
    platform::Socket client;
    while (!m_stopEvent.Wait(kStopPollInterval)) {
        const platform::Readiness pending = platform::WaitReadable(m_listenSocket, kConnectionWait);
        if (pending == platform::Readiness::Failed) continue;
        if (pending == platform::Readiness::Ready) {
            // A client that has already hung up would otherwise be found out only by a
            // later send, and a plotter reconnecting meanwhile would be refused.
            if (client.IsValid() && platform::PeerHasClosed(client)) {
                client.Close();
                ReportChannelLine("Information : [TCP] client disconnected.");
            }
            if (!client.IsValid()) {
                client = platform::Accept(m_listenSocket);
                if (client.IsValid()) ReportChannelLine("Information : [TCP] client connected.");
                continue;
            }
            platform::Socket newcomer = platform::Accept(m_listenSocket);
            if (newcomer.IsValid()) {
                newcomer.Close();
                ReportChannelLine("Information : [TCP] connection refused, only one connection allowed.");
            }
        }
        SendPendingData(client);
    }
}

void TCPServerChannelWriterImpl::SendPendingData(platform::Socket& client)
{
    bool disconnected = false;
    {
        std::lock_guard lock(m_queueLock);
        if (!client.IsValid()) {
            m_pendingData.clear();
            return;
        }
        if (m_pendingData.empty()) return;
        // One send of everything; what the client's socket cannot take at once counts
        // as a lost client, so a stalled reader never holds the queue.
        int error = 0;
        const long sent = platform::SendNoWait(client, m_pendingData.data(), m_pendingData.size(), error);
        if (sent <= 0) {
            client.Close();
            disconnected = true;
        } else {
            m_pendingData.erase(m_pendingData.begin(), m_pendingData.begin() + sent);
        }
    }
    // Printed outside the lock: a stalled standard error must not hold up Write.
    if (disconnected) ReportChannelLine("Information : [TCP] client disconnected.");
}
