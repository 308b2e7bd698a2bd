#include "emulator/channels/CBasicFileWriter.h"

#include "emulator/channels/ChannelReport.h"
#include "platform/SerialPort.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <string_view>

namespace {

// A device already behind waits this long for room, so that a slow reader costs each
// step little time; a reader that keeps up takes whole steps within the full wait.
constexpr std::chrono::milliseconds kBehindWriteBudget{250};
// After Close, how long a slow reader may take the text still waiting for it.
constexpr std::chrono::milliseconds kCloseDeliveryLimit{1500};

// The console's device name, in any letter case.
bool IsConsoleName(std::string_view name)
{
    constexpr std::string_view kConsole = "CON";
    return std::equal(name.begin(), name.end(), kConsole.begin(), kConsole.end(), [](char a, char b) {
        return std::toupper(static_cast<unsigned char>(a)) == b;
    });
}

} // namespace

bool CBasicFileWriter::Open(const char* target)
{
    return OpenTarget(target, platform::OpenMode::CreateOrTruncate);
}

bool CBasicFileWriter::OpenDevice(const char* path)
{
    return OpenTarget(path, platform::OpenMode::ExistingDevice);
}

bool CBasicFileWriter::OpenTarget(const char* target, platform::OpenMode mode)
{
    if (m_file.IsOpen()) Close();
    if (target == nullptr) {
        ReportChannelLine("Error : [FILE] empty file name.");
        return false;
    }
    const int error = mode == platform::OpenMode::CreateOrTruncate && IsConsoleName(target)
                          ? platform::OutputDevice::OpenStandardOutput(m_file)
                          : platform::OutputDevice::OpenExclusive(target, mode, m_file);
    if (error != 0) {
        m_lastError = static_cast<std::uint32_t>(error);
        ReportChannelLine("Error : [FILE] error opening file (" + std::string(target) +
                          "), code = " + std::to_string(m_lastError));
        m_stopEvent.Set();
        return false;
    }
    return true;
}

bool CBasicFileWriter::Write(const char* data, std::uint32_t count)
{
    if (!m_file.IsOpen()) return false;
    if (data == nullptr && count != 0) return false;
    const std::string_view text(data, count);
    if (!text.empty()) m_backlog.NoteStep(text.size());
    platform::DeviceWriteResult result;
    if (m_backlog.Empty()) {
        // The device first: only what it does not take waits, so a device that keeps up
        // gets every sentence however large the write.
        result = m_file.Write(text.data(), text.size());
        if (!result.channelGone) m_backlog.KeepUntaken(text, result.written);
    } else {
        // What a slow device did not take last time goes first, so the reader sees every
        // sentence whole and in order; the backlog is bounded by dropping whole sentences.
        m_backlog.Append(text);
        const std::string_view pending = m_backlog.Pending();
        result = m_file.Write(pending.data(), pending.size(), kBehindWriteBudget);
        m_backlog.Consume(result.written);
    }
    if (result.error != 0) m_lastError = static_cast<std::uint32_t>(result.error);
    // A reader or device that has gone for good ends the run; anything else (a full
    // disk, a reader too slow to take the text) only delays the text.
    if (result.channelGone) {
        m_backlog.Clear();
        m_backlog.TakeDroppedSentences();  // the run ends with the error line, not a loss count
        if (!m_stopEvent.IsSet())
            ReportChannelLine("Error : [FILE] write error, code = " + std::to_string(result.error));
        m_stopEvent.Set();
        return false;
    }
    const std::size_t dropped = m_backlog.TakeDroppedSentences();
    m_loss.Dropped(dropped);
    return dropped == 0 && m_backlog.Empty();
}

bool CBasicFileWriter::Close()
{
    if (!m_file.IsOpen()) return false;
    DeliverBacklog();
    Flush();
    m_backlog.Clear();
    m_loss.Dropped(m_backlog.TakeDroppedSentences());
    m_loss.Flush();
    m_file.Close();
    m_stopEvent.Set();
    return true;
}

void CBasicFileWriter::DeliverBacklog()
{
    // A sentence at a time, so that a reader that stops taking text in between is
    // left after a whole one (a pipe takes up to 4 KiB in one piece or not at all).
    const auto deadline = std::chrono::steady_clock::now() + kCloseDeliveryLimit;
    while (!m_backlog.Empty() && std::chrono::steady_clock::now() < deadline) {
        const std::string_view pending = m_backlog.Pending();
        const std::size_t end = pending.find('\n');
        const std::size_t size = end == std::string_view::npos ? pending.size() : end + 1;
        const platform::DeviceWriteResult result = m_file.Write(pending.data(), size);
        m_backlog.Consume(result.written);
        if (result.written < size) return;
    }
}

bool CBasicFileWriter::Flush()
{
    if (!m_file.IsOpen()) return false;
    const int error = m_file.Flush();
    if (error != 0) {
        m_lastError = static_cast<std::uint32_t>(error);
        return false;
    }
    return true;
}

void CBasicFileWriter::Release()
{
    Close();
    delete this;
}

bool CBasicFileWriter::SetSerialState(DCB state)
{
    if (!m_file.IsOpen()) {
        m_lastError = EBADF;
        return false;
    }
    if (state.StopBits != ONESTOPBIT && state.StopBits != TWOSTOPBITS) {
        m_lastError = EINVAL;  // one and a half stop bits has no termios setting
        return false;
    }
    platform::SerialLine line;
    line.baudRate = state.BaudRate;
    line.dataBits = state.ByteSize;
    line.twoStopBits = state.StopBits == TWOSTOPBITS;
    const int error = platform::ApplySerialLine(m_file, line);
    if (error != 0) {
        m_lastError = static_cast<std::uint32_t>(error);
        return false;
    }
    return true;
}

bool CBasicFileWriter::GetDefaultSerialState(DCB& state)
{
    platform::SerialLine line;
    const int error = platform::ReadSerialLine(m_file, line);
    if (error != 0) {
        m_lastError = static_cast<std::uint32_t>(error);
        return false;
    }
    state.BaudRate = line.baudRate;
    state.ByteSize = static_cast<std::uint8_t>(line.dataBits);
    state.StopBits = line.twoStopBits ? TWOSTOPBITS : ONESTOPBIT;
    return true;
}
