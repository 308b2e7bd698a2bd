#pragma once

#include "emulator/channels/IChannelWriter.h"

#include <functional>
#include <string>
#include <vector>

enum class OutputKind { File, Serial, Tcp, Udp, TcpClient };

struct OutputClassification {
    OutputKind kind = OutputKind::File;
    std::string portText;  // for Tcp and TcpClient: everything after the first "TCP*"; for Udp: after "UDP*"
};

// Classifies the text of the output option: "UDP*" at the start (any case) selects UDP
// datagrams to HOST:PORT, "TCP*" anywhere selects the TCP server, or the TCP client
// when the text after it has a host part (a colon: HOST:PORT, [IPV6]:PORT),
// "COM" + digits (whole text, any case) a serial port, anything else a file or device.
OutputClassification ClassifyOutput(const std::string& output);

struct SerialLineSettings {
    int baudRate = 38400;
    int dataBits = 8;
    int stopBits = 1;  // 1 gives one stop bit, any other value two
};

// The network outputs' settings, taken from their own options.
struct NetworkOptions {
    static constexpr int kMaxTcpClients = 1024;
    static constexpr int kMaxHops = 255;

    int tcpClients = 1;        // clients the TCP server serves at once, 1 to kMaxTcpClients
    std::string tcpBind;       // address the TCP server listens on; empty: every IPv4 interface
    int udpTtl = 1;            // TTL or hop limit of multicast datagrams, 0 to kMaxHops
    std::string udpInterface;  // interface multicast leaves from (address or name); empty: the system's choice
};

struct OutputSettings {
    SerialLineSettings serial;
    NetworkOptions network;
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

// As SelectAndOpenChannel, with the network outputs' settings too.
bool OpenChannel(std::string& output, const OutputSettings& settings, IChannelWriter*& writer,
                 const SerialDeviceResolver& resolveDevice = SerialDevicePath);

// The line that refuses the network options, or nothing when they hold.
std::string NetworkOptionsProblem(const NetworkOptions& options);
// The line that refuses an output text of a form no channel takes (a TCP or UDP text
// without a usable port or address), or nothing. Files and ports are judged by opening.
std::string OutputTextProblem(const std::string& output);

// Opens every output of a run into `writer`. The network options are checked first.
// One output gives the channel OpenChannel gives. Several give a FanOutChannelWriter:
// every text is checked before anything is opened, files are opened after the other
// outputs (opening a file empties it), and when one fails, those already open are
// closed again. On failure (reported on
// standard error) `writer` is null and the run must not start.
bool OpenOutputs(const std::vector<std::string>& outputs, const OutputSettings& settings, IChannelWriter*& writer,
                 const SerialDeviceResolver& resolveDevice = SerialDevicePath);
