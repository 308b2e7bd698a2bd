#pragma once

#include "emulator/channels/CChannelWriterBase.h"
#include "emulator/channels/SentenceBacklog.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

// Gives a writer that may wait for its device (a file, a pipe, a terminal, a serial
// port) a thread of its own, so that among several outputs a slow device holds up only
// its own: Write queues the text and returns at once; the thread hands it on to the
// writer, whose own backlog and bounds then apply as they do to a single output.
// The queue holds whole sentences while the writer is busy; past its bound (64 KiB or
// a few steps) whole oldest messages are dropped and told to `countDropped`.
class RelayChannelWriter final : public IChannelWriter {
public:
    using DropCounter = std::function<void(std::uint64_t sentences)>;

    // Takes an opened writer; Start must follow.
    RelayChannelWriter(ChannelWriterPtr inner, DropCounter countDropped);
    // Starts the thread; false when the system gives none.
    bool Start();

    bool Open(const char*) override { return false; }
    bool Write(const char* data, std::uint32_t count) override;
    // Hands on what is queued, ends the thread, then closes the writer (which delivers
    // its own backlog within its bound).
    bool Close() override;
    bool Flush() override { return true; }
    void Release() override;
    bool SetSerialState(DCB) override { return false; }
    bool IsAlive() override { return m_inner->IsAlive(); }

private:
    ~RelayChannelWriter() = default;
    void ThreadProc();

    ChannelWriterPtr m_inner;
    const DropCounter m_countDropped;
    std::thread m_thread;
    std::mutex m_lock;  // guards everything below
    std::condition_variable m_wake;
    SentenceBacklog m_queue;
    bool m_closing = false;
};
