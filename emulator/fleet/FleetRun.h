#pragma once

#include "emulator/channels/ChannelSelection.h"
#include "emulator/fleet/FleetEngine.h"
#include "platform/Event.h"
#include "platform/TickClock.h"

#include <string>
#include <thread>

struct IChannelWriter;

// A fleet's run: one output channel and one simulation thread that steps the whole
// fleet about once a second and hands each step's sentences to the channel in one write.
// Start and Stop keep the single vessel's order and bounds.
class FleetRun {
public:
    FleetRun(FleetEngine& engine, std::string output, SerialLineSettings serial);
    ~FleetRun();
    FleetRun(const FleetRun&) = delete;
    FleetRun& operator=(const FleetRun&) = delete;

    // Opens the channel and starts the thread; vessels from `firstSpread` on start at
    // spread phases. False when the channel could not be
    // opened (reported on standard error).
    bool Start(std::size_t firstSpread, std::uint32_t seed);
    // Ends the thread (waiting at most 3000 ms for it to reach its wait, then joining)
    // and closes and releases the channel.
    void Stop();
    // The channel is alive and the thread runs.
    bool Running() const;

private:
    void ThreadProc();

    FleetEngine& m_engine;
    std::string m_output;
    SerialLineSettings m_serial;
    IChannelWriter* m_writer = nullptr;  // owned from Start to Stop, destroyed by Release
    std::thread m_thread;
    platform::Event m_stopEvent;
    platform::Event m_threadEnded{true};
};
