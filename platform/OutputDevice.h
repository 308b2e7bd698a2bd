#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

#include <termios.h>

namespace platform {

enum class DeviceKind { None, RegularFile, Terminal, Pipe, Socket, OtherDevice };

enum class OpenMode {
    CreateOrTruncate,  // a missing file is created, an existing regular file emptied
    ExistingDevice,    // the path must exist; nothing is created or truncated
};

struct DeviceWriteResult {
    std::size_t written = 0;   // bytes the operating system took
    int error = 0;             // errno of the failure that ended the write, 0 if none
    bool channelGone = false;  // the reader or the device has gone for good
};

struct ClosedStandardStreams {
    bool input = false;
    bool output = false;
    bool error = false;
};

// Puts /dev/null on each of descriptors 0, 1 and 2 that is closed, so that no file
// opened later can take its number. Says which ones were closed.
ClosedStandardStreams FillClosedStandardStreams();

// A file, device, pipe or the standard output, opened for writing only. Nothing is
// buffered here: every Write goes to the operating system. Writes to anything but a
// regular file never block for longer than about 1.5 s; what does not fit in that
// time is left unwritten.
class OutputDevice {
public:
    OutputDevice() = default;
    ~OutputDevice();
    OutputDevice(OutputDevice&& other) noexcept;
    OutputDevice& operator=(OutputDevice&& other) noexcept;
    OutputDevice(const OutputDevice&) = delete;
    OutputDevice& operator=(const OutputDevice&) = delete;

    // Opens `path` exclusively: a regular file or terminal that another holder has
    // locked is refused. A FIFO without a reader is refused (ENXIO) instead of waiting.
    // Returns 0 or the errno of the step that failed; on failure nothing stays open.
    static int OpenExclusive(const std::string& path, OpenMode mode, OutputDevice& device);

    // A handle on the process's standard output whose closing leaves descriptor 1
    // untouched, and whose non-blocking mode is not shared with other holders of it.
    static int OpenStandardOutput(OutputDevice& device);

    bool IsOpen() const { return m_fd >= 0; }
    DeviceKind Kind() const { return m_kind; }
    int NativeHandle() const { return m_fd; }

    DeviceWriteResult Write(const char* data, std::size_t count);
    // The same, waiting for room at most `budget` (at most the 1.5 s above).
    DeviceWriteResult Write(const char* data, std::size_t count, std::chrono::milliseconds budget);

    // Pushes file data to the disk; other kinds hold nothing to flush. 0 or errno.
    int Flush();

    // Keeps the terminal line settings of now, once, to be put back on Close: a port
    // (maybe the machine's console) is left as it was found. 0 or errno.
    int KeepLineSettingsForClose();

    void Close();

private:
    OutputDevice(int fd, DeviceKind kind, bool nonBlocking);

    int m_fd = -1;
    DeviceKind m_kind = DeviceKind::None;
    bool m_nonBlocking = false;  // false only for a shared standard output description
    std::optional<termios> m_lineAtOpen;
};

} // namespace platform
