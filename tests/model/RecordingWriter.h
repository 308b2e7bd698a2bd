#pragma once

#include "emulator/channels/IChannelWriter.h"

#include <string>
#include <vector>

// A channel that keeps every block written to it, one entry per Write.
struct RecordingWriter final : IChannelWriter {
    std::vector<std::string>* blocks;
    explicit RecordingWriter(std::vector<std::string>* into) : blocks(into) {}
    bool Open(const char*) override { return true; }
    bool Write(const char* data, std::uint32_t count) override
    {
        blocks->emplace_back(data, count);
        return true;
    }
    bool Close() override { return true; }
    bool Flush() override { return true; }
    void Release() override { delete this; }
    bool SetSerialState(DCB) override { return false; }
    bool IsAlive() override { return true; }
};
