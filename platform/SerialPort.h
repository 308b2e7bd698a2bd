#pragma once

#include "platform/OutputDevice.h"

#include <cstdint>

namespace platform {

// The line settings a serial port writer controls. Parity and flow control are not
// here: they stay as the port has them.
struct SerialLine {
    std::uint32_t baudRate = 0;  // bits per second; 0 when the port's speed has no number here
    int dataBits = 8;            // 5 to 8
    bool twoStopBits = false;
};

// The port's present line settings, standing in for its default configuration.
// Returns 0 or errno (ENOTTY for something that is not a serial port).
int ReadSerialLine(const OutputDevice& port, SerialLine& line);

// Sets speed, data bits and stop bits and switches output post-processing off, so
// that "\r\n" leaves the port as it is; every other setting is kept. A speed or a
// data-bit count the port cannot take is refused with EINVAL, never replaced. The
// port's settings from before the first change come back when it is closed.
// Returns 0 or errno.
int ApplySerialLine(OutputDevice& port, const SerialLine& line);

} // namespace platform
