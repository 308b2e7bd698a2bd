#include "emulator/channels/ChannelReport.h"

#include <iostream>
#include <string>

void ReportChannelLine(std::string_view line)
{
    std::string text(line);
    text += '\n';
    std::cerr << text << std::flush;
}
