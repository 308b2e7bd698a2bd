#pragma once

// The chart's tap on the run: a loopback UDP port that the emulator is given as one more
// output, read on a thread of its own and decoded into the traffic picture; a copy of the
// picture is turned into a chart frame a few times a second on a second thread, so that
// reading never waits for indexing. The user-interface thread only takes finished frames.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "panel/tap/ChartFeed.h"
#include "platform/DatagramReceiver.h"
#include "platform/WakeSignal.h"

namespace tap {

class TrafficTap {
public:
    // Called on the tap's thread when a new frame waits; it should only hand the news over.
    using FrameReady = std::function<void()>;

    // Frames come this often while stations are heard, and at least once a second while any
    // are known (targets turn lost without news). A frame that takes long to build spaces
    // the next ones out.
    static constexpr std::chrono::milliseconds kFrameInterval{250};
    static constexpr std::chrono::milliseconds kQuietFrameInterval{1000};

    TrafficTap();
    // Stops the thread; a FrameReady call in progress ends first.
    ~TrafficTap();
    TrafficTap(const TrafficTap&) = delete;
    TrafficTap& operator=(const TrafficTap&) = delete;

    // Binds the port and starts the thread; 0, or the errno value of the failed step.
    int Open(FrameReady onFrame);
    bool IsOpen() const { return m_receiver.IsOpen(); }
    std::uint16_t Port() const { return m_receiver.Port(); }

    // A new run: every station is forgotten. `formMmsi`: the form's vessel, the own ship when
    // the run sends no AIVDO one.
    void Restart(std::optional<std::uint32_t> formMmsi);

    // The newest frame, or null when none came since the last call.
    std::unique_ptr<TapFrame> TakeFrame();

private:
    // A copy of the picture, waiting to become a frame.
    struct Copy {
        std::vector<Target> targets;
        OwnShip own;
        std::optional<std::uint32_t> formMmsi;
        TapCounters counters;
        std::uint64_t run = 0;
    };

    void Read();
    void Build();
    // Hands a copy of the picture of restart `run` to the builder unless it is still busy with
    // the last one; false then.
    bool Offer(const TrafficPicture& picture, const TapCounters& counters, std::optional<std::uint32_t> formMmsi,
               std::uint64_t run);

    platform::DatagramReceiver m_receiver;
    platform::WakeSignal m_wake;
    FrameReady m_onFrame;
    std::atomic<bool> m_stop{false};
    std::thread m_reader;
    std::thread m_builder;

    std::mutex m_mutex;   // guards what follows
    std::condition_variable m_copied;
    std::optional<Copy> m_copy;   // for the builder
    bool m_building = false;
    std::chrono::steady_clock::duration m_lastBuild{};
    std::unique_ptr<TapFrame> m_frame;
    std::uint64_t m_run = 0;   // counts restarts; frames of an earlier run are dropped
    bool m_restart = false;
    std::optional<std::uint32_t> m_formMmsi;
};

} // namespace tap
