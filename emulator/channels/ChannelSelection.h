#pragma once

#include "emulator/channels/IChannelWriter.h"

#include <functional>
#include <string>

enum class OutputKind { File, Serial, Tcp, Udp };

struct OutputClassification {
    OutputKind kind = OutputKind::File;
    std::string portText;  // for Tcp: everything after the first "TCP*"; for Udp: after "UDP*"
};

// Classifies the text of the output option: "UDP*" at the start (any case) selects UDP
// datagrams to HOST:PORT, "TCP*" anywhere selects the TCP server,
// "COM" + digits (whole text, any case) a serial port, anything else a file or device.
OutputClassification ClassifyOutput(const std::string& output);

struct SerialLineSettings {
    int baudRate = 38400;
    int dataBits = 8;
    int stopBits = 1;  // 1 gives one stop bit, any other value two
};

// Selects, creates and opens the channel for `output`, and configures a serial port.
// For TCP, `output` is replaced by its port text, for UDP by its HOST:PORT text. The created writer is stored in
// `writer` even when opening fails, so that its owner releases it. Failures are
// reported on standard error. Returns true when the channel is ready.
bool SelectAndOpenChannel(std::string& output, const SerialLineSettings& serial, IChannelWriter*& writer);

// Maps a serial name as written (COM2, com2) to the path of the device opened for it.
using SerialDeviceResolver = std::function<std::string(const std::string& comName)>;

// The usual mapping: COMn is /dev/ttyS(n-1), so COM1 is /dev/ttyS0. "COM" alone and
// "COM0" name no port; they map to /dev/ttyS and /dev/ttyS-1, which do not exist.
std::string SerialDevicePath(const std::string& comName);

// As above, with the serial device taken from `resolveDevice` (the three-argument form
// uses SerialDevicePath).
bool SelectAndOpenChannel(std::string& output, const SerialLineSettings& serial, IChannelWriter*& writer,
                          const SerialDeviceResolver& resolveDevice);
