#include "emulator/channels/RelayChannelWriter.h"

#include <string>
#include <string_view>
#include <system_error>
#include <utility>

RelayChannelWriter::RelayChannelWriter(ChannelWriterPtr inner, DropCounter countDropped)
    : m_inner(std::move(inner)), m_countDropped(std::move(countDropped))
{
}

bool RelayChannelWriter::Start()
{
    try {
        m_thread = std::thread(&RelayChannelWriter::ThreadProc, this);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

bool RelayChannelWriter::Write(const char* data, std::uint32_t count)
{
    if (!m_inner->IsAlive()) return false;
    if (data == nullptr || count == 0) return true;
    std::size_t dropped = 0;
    {
        std::lock_guard lock(m_lock);
        m_queue.NoteStep(count);
        m_queue.Append(std::string_view(data, count));
        dropped = m_queue.TakeDroppedSentences();
    }
    m_wake.notify_one();
    if (dropped != 0 && m_countDropped) m_countDropped(dropped);
    return true;
}

void RelayChannelWriter::ThreadProc()
{
    std::string text;
    std::unique_lock lock(m_lock);
    for (;;) {
        m_wake.wait(lock, [this] { return m_closing || !m_queue.Empty(); });
        if (m_queue.Empty()) return;  // closing with nothing left
        const std::string_view pending = m_queue.Pending();
        text.assign(pending);
        m_queue.Consume(pending.size());
        lock.unlock();
        // The writer may wait here for its device; Write goes on queueing meanwhile.
        if (m_inner->IsAlive()) m_inner->Write(text.data(), static_cast<std::uint32_t>(text.size()));
        lock.lock();
    }
}

bool RelayChannelWriter::Close()
{
    if (m_thread.joinable()) {
        {
            std::lock_guard lock(m_lock);
            m_closing = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }
    return m_inner->Close();
}

void RelayChannelWriter::Release()
{
    Close();
    delete this;
}
