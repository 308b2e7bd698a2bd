#include "platform/SerialPort.h"

#include <array>
#include <cerrno>

#include <termios.h>

namespace platform {

namespace {

struct SpeedRow {
    std::uint32_t baudRate;
    speed_t code;
};

// Every speed termios has a constant for; B0 (hang up) is not a speed.
constexpr std::array kSpeeds{
    SpeedRow{50, B50},           SpeedRow{75, B75},           SpeedRow{110, B110},
    SpeedRow{134, B134},         SpeedRow{150, B150},         SpeedRow{200, B200},
    SpeedRow{300, B300},         SpeedRow{600, B600},         SpeedRow{1200, B1200},
    SpeedRow{1800, B1800},       SpeedRow{2400, B2400},       SpeedRow{4800, B4800},
    SpeedRow{9600, B9600},       SpeedRow{19200, B19200},     SpeedRow{38400, B38400},
    SpeedRow{57600, B57600},     SpeedRow{115200, B115200},   SpeedRow{230400, B230400},
    SpeedRow{460800, B460800},   SpeedRow{500000, B500000},   SpeedRow{576000, B576000},
    SpeedRow{921600, B921600},   SpeedRow{1000000, B1000000}, SpeedRow{1152000, B1152000},
    SpeedRow{1500000, B1500000}, SpeedRow{2000000, B2000000}, SpeedRow{2500000, B2500000},
    SpeedRow{3000000, B3000000}, SpeedRow{3500000, B3500000}, SpeedRow{4000000, B4000000},
};

struct DataBitsRow {
    int dataBits;
    tcflag_t size;
};

constexpr std::array kDataBits{
    DataBitsRow{5, CS5},
    DataBitsRow{6, CS6},
    DataBitsRow{7, CS7},
    DataBitsRow{8, CS8},
};

} // namespace

int ReadSerialLine(const OutputDevice& port, SerialLine& line)
{
    if (!port.IsOpen()) return EBADF;
    termios settings{};
    if (::tcgetattr(port.NativeHandle(), &settings) != 0) return errno;

    line = SerialLine{};
    const speed_t speed = ::cfgetospeed(&settings);
    for (const SpeedRow& row : kSpeeds) {
        if (row.code == speed) line.baudRate = row.baudRate;
    }
    for (const DataBitsRow& row : kDataBits) {
        if (row.size == (settings.c_cflag & CSIZE)) line.dataBits = row.dataBits;
    }
    line.twoStopBits = (settings.c_cflag & CSTOPB) != 0;
    return 0;
}

int ApplySerialLine(OutputDevice& port, const SerialLine& line)
{
    if (!port.IsOpen()) return EBADF;

    const SpeedRow* speed = nullptr;
    for (const SpeedRow& row : kSpeeds) {
        if (row.baudRate == line.baudRate) speed = &row;
    }
    const DataBitsRow* size = nullptr;
    for (const DataBitsRow& row : kDataBits) {
        if (row.dataBits == line.dataBits) size = &row;
    }
    if (speed == nullptr || size == nullptr) return EINVAL;

    termios original{};
    if (::tcgetattr(port.NativeHandle(), &original) != 0) return errno;
    if (const int error = port.KeepLineSettingsForClose(); error != 0) return error;
    termios settings = original;
    if (::cfsetospeed(&settings, speed->code) != 0) return errno;
    if (::cfsetispeed(&settings, speed->code) != 0) return errno;
    settings.c_cflag = (settings.c_cflag & ~CSIZE) | size->size;
    if (line.twoStopBits) {
        settings.c_cflag |= CSTOPB;
    } else {
        settings.c_cflag &= ~CSTOPB;
    }
    settings.c_oflag &= ~OPOST;
    if (::tcsetattr(port.NativeHandle(), TCSANOW, &settings) != 0) return errno;

    // tcsetattr succeeds when any one change was made; a driver that dropped the speed
    // or the character size (a pseudo-terminal keeps only 8 data bits) must not pass
    // unnoticed, nor leave the port half changed.
    termios applied{};
    if (::tcgetattr(port.NativeHandle(), &applied) != 0) return errno;
    const tcflag_t checked = CSIZE | CSTOPB;
    if (::cfgetospeed(&applied) != speed->code || (applied.c_cflag & checked) != (settings.c_cflag & checked) ||
        (applied.c_oflag & OPOST) != 0) {
        ::tcsetattr(port.NativeHandle(), TCSANOW, &original);
        return EINVAL;
    }
    return 0;
}

} // namespace platform
