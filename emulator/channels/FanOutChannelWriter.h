#pragma once

#include "emulator/channels/CChannelWriterBase.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// Several outputs as one channel: every output gets each write, the same text in the
// same order. Each output keeps its own backlog, loss count and lines; none of them
// waits for its device inside Write (a writer that could is given a thread of its own,
// see RelayChannelWriter), so a slow or lost output never holds up the others. An
// output that ends is left out from then on, with a line naming it; the channel is
// alive while any output is.
class FanOutChannelWriter final : public IChannelWriter {
public:
    struct Output {
        std::string name;  // as the command line gave it, for the lines
        ChannelWriterPtr writer;  // opened
    };

    explicit FanOutChannelWriter(std::vector<Output> outputs);

    bool Open(const char*) override { return IsAlive(); }
    bool Write(const char* data, std::uint32_t count) override;
    // Closes every output at once, each on a thread of its own, so that each gets its
    // whole delivery bound for the text still waiting for it.
    bool Close() override;
    bool Flush() override { return true; }
    void Release() override;
    bool SetSerialState(DCB) override { return false; }
    bool IsAlive() override;

private:
    ~FanOutChannelWriter() = default;

    std::vector<Output> m_outputs;
    std::vector<bool> m_ended;  // the writing thread's: outputs already told as ended
    std::atomic<bool> m_closed{false};
};
