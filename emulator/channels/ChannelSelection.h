#pragma once

#include "emulator/channels/IChannelWriter.h"

#include <string>

enum class OutputKind { File, Serial, Tcp };

struct OutputClassification {
    OutputKind kind = OutputKind::File;
    std::string portText;  // for Tcp: everything after the first "TCP*"
};

// Classifies the text of the output option: "TCP*" anywhere selects the TCP server,
// "COM" + digits (whole text, any case) a serial port, anything else a file or device.
OutputClassification ClassifyOutput(const std::string& output);

struct SerialLineSettings {
    int baudRate = 38400;
    int dataBits = 8;
    int stopBits = 1;  // 1 gives one stop bit, any other value two
};

// Selects, creates and opens the channel for `output`, and configures a serial port.
// For TCP, `output` is replaced by its port text. The created writer is stored in
// `writer` even when opening fails, so that its owner releases it. Failures are
// reported on standard error. Returns true when the channel is ready.
bool SelectAndOpenChannel(std::string& output, const SerialLineSettings& serial, IChannelWriter*& writer);
