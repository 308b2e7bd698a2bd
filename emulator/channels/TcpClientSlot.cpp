#include "emulator/channels/TcpClientSlot.h"

#include <cerrno>
#include <utility>

void TcpClientSlot::Take(platform::Socket socket)
{
    m_socket = std::move(socket);
    m_backlog.clear();
    m_sent = 0;
    m_midSentence = false;
}

void TcpClientSlot::Free()
{
    if (m_midSentence) platform::ResetOnClose(m_socket);
    m_socket.Close();
    m_backlog.clear();
    m_backlog.shrink_to_fit();  // a slow reader's backlog may have been megabytes
    m_sent = 0;
    m_midSentence = false;
}

void TcpClientSlot::KeepOnlySentenceInProgress()
{
    std::size_t end = m_sent;
    if (m_midSentence) {
        while (end < m_backlog.size() && m_backlog[end] != '\n') ++end;
        if (end < m_backlog.size()) ++end;
    }
    m_backlog.resize(end);
}

bool TcpClientSlot::Queue(std::vector<char>&& text, std::size_t limit)
{
    if (m_backlog.size() - m_sent + text.size() > limit) return false;
    if (!HasBacklog()) {
        m_backlog = std::move(text);
        m_sent = 0;
        return true;
    }
    // Moving the unsent tail down only once the sent part is the larger keeps the
    // copying linear in the bytes sent.
    if (m_sent >= m_backlog.size() / 2) {
        m_backlog.erase(m_backlog.begin(), m_backlog.begin() + static_cast<std::ptrdiff_t>(m_sent));
        m_sent = 0;
    }
    m_backlog.insert(m_backlog.end(), text.begin(), text.end());
    return true;
}

bool TcpClientSlot::SendWhatFits()
{
    while (HasBacklog()) {
        int error = 0;
        const long sent = platform::SendNoWait(m_socket, m_backlog.data() + m_sent, m_backlog.size() - m_sent, error);
        if (sent > 0) {
            m_sent += static_cast<std::size_t>(sent);
            m_midSentence = m_backlog[m_sent - 1] != '\n';
            continue;
        }
        if (sent < 0 && error == EINTR) continue;
        return sent < 0 && (error == EAGAIN || error == EWOULDBLOCK);
    }
    m_backlog.clear();
    m_sent = 0;
    return true;
}

bool TcpClientSlot::StillReads(std::chrono::milliseconds answerWait)
{
    if (!platform::PeerEndedSending(m_socket)) return true;
    if (!HasBacklog()) {
        static constexpr char kEmptyLine[] = "\r\n";
        int error = 0;
        const long sent = platform::SendNoWait(m_socket, kEmptyLine, sizeof kEmptyLine - 1, error);
        if (sent <= 0 && error != EAGAIN && error != EWOULDBLOCK) return false;
        if (sent == 1) {  // the line's end is still owed
            m_backlog.assign(kEmptyLine + 1, kEmptyLine + 2);
            m_sent = 0;
            m_midSentence = true;
        }
    }
    return !platform::ConnectionFails(m_socket, answerWait);
}
