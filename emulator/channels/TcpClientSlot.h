#pragma once

#include "platform/Socket.h"

#include <chrono>
#include <cstddef>
#include <vector>

// The one client of the TCP server and the text still owed to it. Text goes out as
// fast as the client's socket takes it; a partial send keeps its tail for the next
// turn, so the reader sees every byte in order. A reader slower than the stream builds
// a backlog; past its bound (at least kBacklogLimit, and more for a stream of larger
// steps) the client is dropped, never a part of the stream.
// A client let go mid-sentence is owed the rest of that sentence: it gets a clean end
// only after a whole sentence, and a reset when it must go before that.
// Used by the server thread alone.
class TcpClientSlot {
public:
    static constexpr std::size_t kBacklogLimit = std::size_t{8} << 20;

    bool IsTaken() const { return m_socket.IsValid(); }
    int Handle() const { return m_socket.NativeHandle(); }
    bool HasBacklog() const { return m_sent < m_backlog.size(); }

    void Take(platform::Socket socket);
    // Closes the connection; what it was still owed is dropped. A reader left holding
    // a cut sentence gets a reset, so it sees a failure rather than a clean end.
    void Free();
    // Keeps only the rest of the sentence in progress (nothing at a sentence end), to be
    // sent before the connection is closed.
    void KeepOnlySentenceInProgress();

    // Adds whole sentences after the backlog; false when that would pass `limit` bytes.
    bool Queue(std::vector<char>&& text, std::size_t limit = kBacklogLimit);
    // Sends what the socket takes now; false when the connection has failed.
    bool SendWhatFits();

    // Whether the client still reads. A peer that has ended its sending side may have
    // only half-closed (a read-only consumer) or be gone; only data sent to it tells,
    // so an idle one gets an empty line, which a gone peer answers with a reset.
    bool StillReads(std::chrono::milliseconds answerWait);

private:
    platform::Socket m_socket;
    std::vector<char> m_backlog;
    std::size_t m_sent = 0;  // bytes at the front of m_backlog already sent
    bool m_midSentence = false;  // the last byte sent was not a sentence end
};
