#pragma once

#include "emulator/channels/ChannelSelection.h"
#include "emulator/fleet/FleetEngine.h"
#include "emulator/model/SimulationClock.h"
#include "platform/Event.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

struct IChannelWriter;

// A fleet's run: one output channel (which may feed several outputs) and one simulation thread that steps the whole
// fleet once a second of simulated time and hands each step's sentences to the channel
// in one write. Steps keep their cadence on the clock: each is due one period after the
// previous one was due, and a run that falls behind says so on standard error. At a time
// factor other than 1 a step's positions and times are those of the simulated second it
// stands for, so that a thread a few milliseconds late does not shift simulated time;
// at 1 they are the real clock's, as they always were.
// Start and Stop keep the single vessel's order and bounds.
class FleetRun {
public:
    // `timeFactor`: simulated seconds per real second (see SimulationClock).
    FleetRun(FleetEngine& engine, std::string output, SerialLineSettings serial, double timeFactor = 1.0);
    // Every output of `outputs` gets each step (see OpenOutputs).
    FleetRun(FleetEngine& engine, std::vector<std::string> outputs, OutputSettings settings, double timeFactor = 1.0);
    ~FleetRun();
    FleetRun(const FleetRun&) = delete;
    FleetRun& operator=(const FleetRun&) = delete;

    // Opens the channel and starts the thread; vessels from `firstSpread` on start at
    // spread phases. False when the channel could not be
    // opened (reported on standard error).
    bool Start(std::size_t firstSpread, std::uint32_t seed) { return Start(StartPhases{0, firstSpread}, seed); }
    bool Start(StartPhases phases, std::uint32_t seed);
    // Ends the thread (waiting at most 3000 ms for it to reach its wait, then joining)
    // and closes and releases the channel.
    void Stop();
    // The channel is alive and the thread runs.
    bool Running() const;
    // The thread ended because the machine could not hold a step (told on standard error).
    bool OutOfMemory() const { return m_outOfMemory; }

private:
    void ThreadProc();
    void StepUntilStopped();

    FleetEngine& m_engine;
    std::vector<std::string> m_outputs;
    OutputSettings m_settings;
    SimulationClock m_clock;  // the simulation thread's once it runs
    std::uint64_t m_stepDueMs = 0;  // simulated time of the step being made
    IChannelWriter* m_writer = nullptr;  // owned from Start to Stop, destroyed by Release
    std::thread m_thread;
    platform::Event m_stopEvent;
    platform::Event m_threadEnded{true};
    std::atomic<bool> m_outOfMemory{false};
    std::atomic<bool> m_stopping{false};  // tells a step in progress to end early
};
