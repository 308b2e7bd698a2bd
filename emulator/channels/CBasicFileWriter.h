#pragma once

#include "emulator/channels/CChannelWriterBase.h"
#include "emulator/channels/LossReport.h"
#include "emulator/channels/SentenceBacklog.h"
#include "platform/OutputDevice.h"

#include <cstdint>
#include <string>

// The writer for files, the console ("CON", any case) and serial ports. Every Write
// goes to the operating system; only what a slow device leaves untaken waits, in a
// backlog of whole sentences that leaves first on the next Write. The backlog's bound
// grows with the writes (see SentenceBacklog); what it drops is told on standard error.
class CBasicFileWriter final : public CChannelWriterBase {
public:
    CBasicFileWriter() = default;

    // Creates the file or empties an existing one; "CON" is the standard output.
    bool Open(const char* target) override;
    bool Write(const char* data, std::uint32_t count) override;
    bool Close() override;
    bool Flush() override;
    void Release() override;
    bool SetSerialState(DCB state) override;

    // Opens a serial port's device: it must exist and is never created or truncated.
    // Failures are reported as Open reports them.
    bool OpenDevice(const char* path);

    // The port's present line settings, standing in for its default configuration.
    bool GetDefaultSerialState(DCB& state);

    // The operating system's error code of the last failed operation.
    std::uint32_t LastError() const { return m_lastError; }

    // Sentences dropped for a device too slow for the stream, since Open.
    std::uint64_t DroppedSentences() const { return m_loss.Total(); }
    // Sentences dropped on their way to this writer (by a queue in front of it), told
    // with its own; any thread may call it.
    void TellDropped(std::uint64_t sentences) { m_loss.Dropped(sentences); }

private:
    ~CBasicFileWriter() = default;
    bool OpenTarget(const char* target, platform::OpenMode mode);
    // On Close: what waits in the backlog gets up to 1.5 s more to go out.
    void DeliverBacklog();

    platform::OutputDevice m_file;  // not open while no file is held
    SentenceBacklog m_backlog;
    LossReport m_loss{"FILE"};
    std::uint32_t m_lastError = 0;
};
