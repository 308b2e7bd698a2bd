#pragma once

#include "emulator/channels/IChannelWriter.h"
#include "platform/Event.h"

#include <memory>

// What every writer shares: the manual-reset stop event and the one IsAlive on it.
// The event is never reset, so a writer serves one run.
class CChannelWriterBase : public IChannelWriter {
public:
    bool IsAlive() final;

protected:
    CChannelWriterBase() = default;
    ~CChannelWriterBase() = default;
    CChannelWriterBase(const CChannelWriterBase&) = delete;
    CChannelWriterBase& operator=(const CChannelWriterBase&) = delete;

    platform::Event m_stopEvent;  // created not signalled
};

// Owns a writer and destroys it through its Release, for owners that are not the model.
struct ChannelWriterReleaser {
    void operator()(IChannelWriter* writer) const
    {
        if (writer != nullptr) writer->Release();
    }
};
using ChannelWriterPtr = std::unique_ptr<IChannelWriter, ChannelWriterReleaser>;
