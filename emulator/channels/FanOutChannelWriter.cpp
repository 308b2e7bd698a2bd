#include "emulator/channels/FanOutChannelWriter.h"

#include "emulator/channels/ChannelReport.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <utility>

FanOutChannelWriter::FanOutChannelWriter(std::vector<Output> outputs)
    : m_outputs(std::move(outputs)), m_ended(m_outputs.size(), false)
{
}

bool FanOutChannelWriter::Write(const char* data, std::uint32_t count)
{
    bool any = false;
    for (std::size_t i = 0; i < m_outputs.size(); ++i) {
        if (m_ended[i]) continue;
        IChannelWriter& writer = *m_outputs[i].writer;
        if (writer.IsAlive()) writer.Write(data, count);
        if (writer.IsAlive()) {
            any = true;
            continue;
        }
        m_ended[i] = true;
        const auto left = static_cast<std::size_t>(std::count(m_ended.begin(), m_ended.end(), false));
        ReportChannelLine("Warning : output " + m_outputs[i].name + " has ended; " +
                          (left == 0 ? std::string("no output is left.")
                                     : std::to_string(left) + (left == 1 ? " output goes on." : " outputs go on.")));
    }
    return any;
}

bool FanOutChannelWriter::IsAlive()
{
    return !m_closed && std::any_of(m_outputs.begin(), m_outputs.end(),
                                    [](const Output& output) { return output.writer->IsAlive(); });
}

bool FanOutChannelWriter::Close()
{
    if (m_closed) return false;
    m_closed = true;
    std::vector<std::thread> closers;
    for (Output& output : m_outputs) {
        IChannelWriter* writer = output.writer.get();
        try {
            closers.emplace_back([writer] { writer->Close(); });
        } catch (const std::system_error&) {
            writer->Close();  // no thread to be had: this one closes in turn
        }
    }
    for (std::thread& closer : closers) closer.join();
    return true;
}

void FanOutChannelWriter::Release()
{
    Close();
    delete this;
}
