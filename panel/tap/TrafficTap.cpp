#include "panel/tap/TrafficTap.h"

#include <algorithm>
#include <array>
#include <vector>

namespace tap {

namespace {

using Clock = std::chrono::steady_clock;

// Reading stops for a frame after this long, however much is still waiting.
constexpr std::chrono::milliseconds kLongestDrain{100};
// The next frame waits at least this many times as long as the last one took to build.
constexpr int kBuildTimeFactor = 4;

std::int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

} // namespace

TrafficTap::TrafficTap() = default;

TrafficTap::~TrafficTap()
{
    m_stop = true;
    m_wake.Signal();
    if (m_thread.joinable()) m_thread.join();
}

int TrafficTap::Open(FrameReady onFrame)
{
    if (m_thread.joinable()) return 0;
    if (const int error = m_receiver.OpenLoopback(); error != 0) return error;
    m_onFrame = std::move(onFrame);
    m_thread = std::thread([this] { Run(); });
    return 0;
}

void TrafficTap::Restart(std::optional<std::uint32_t> formMmsi)
{
    {
        const std::lock_guard lock(m_mutex);
        m_restart = true;
        m_formMmsi = formMmsi;
        m_frame.reset();
    }
    m_wake.Signal();
}

std::unique_ptr<TapFrame> TrafficTap::TakeFrame()
{
    const std::lock_guard lock(m_mutex);
    return std::move(m_frame);
}

void TrafficTap::Publish(const TrafficPicture& picture, const TapCounters& counters,
                         std::optional<std::uint32_t> formMmsi)
{
    std::vector<Target> targets;
    picture.Snapshot(targets);
    auto frame = std::make_unique<TapFrame>(MakeFrame(std::move(targets), picture.Own(), formMmsi, NowMs()));
    frame->counters = counters;
    {
        const std::lock_guard lock(m_mutex);
        // A restart while this frame was built makes it stale.
        if (m_restart) return;
        m_frame = std::move(frame);
    }
    if (m_onFrame) m_onFrame();
}

void TrafficTap::Run()
{
    auto picture = std::make_unique<TrafficPicture>();
    auto reader = std::make_unique<NmeaReader>();
    std::vector<NmeaMessage> messages;
    TapCounters counters;
    std::optional<std::uint32_t> formMmsi;
    bool changed = false;
    Clock::time_point lastFrame = Clock::now();
    Clock::duration spacing = kFrameInterval;

    // News come out at the frame spacing; without news, lost times still move on.
    const auto nextFrame = [&] {
        return lastFrame + (changed ? spacing : std::max<Clock::duration>(spacing, kQuietFrameInterval));
    };
    while (!m_stop) {
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(nextFrame() - Clock::now());
        std::array<platform::PollItem, 2> items{};
        items[0].handle = m_receiver.Handle();
        items[0].wantRead = true;
        items[1].handle = m_wake.Handle();
        items[1].wantRead = true;
        platform::WaitAny(items, std::clamp(wait, std::chrono::milliseconds(1), kQuietFrameInterval));
        if (items[1].readable) m_wake.Clear();
        if (m_stop) break;
        {
            const std::lock_guard lock(m_mutex);
            if (m_restart) {
                m_restart = false;
                formMmsi = m_formMmsi;
                picture = std::make_unique<TrafficPicture>();
                reader = std::make_unique<NmeaReader>();
                counters = {};
                changed = true;
            }
        }
        const Clock::time_point drainStart = Clock::now();
        while (!m_stop && Clock::now() - drainStart < kLongestDrain) {
            const std::vector<std::string_view>& datagrams = m_receiver.ReceiveWaiting();
            if (datagrams.empty()) break;
            const std::int64_t nowMs = NowMs();
            for (const std::string_view datagram : datagrams) {
                messages.clear();
                reader->FeedDatagram(datagram, messages);
                for (const NmeaMessage& message : messages) picture->Apply(message, nowMs);
            }
            counters.datagrams += datagrams.size();
            changed = true;
        }
        const bool anyone = picture->Size() > 0 || picture->Own().lastHeardMs != 0;
        const Clock::time_point now = Clock::now();
        if (!(changed || anyone) || now < nextFrame()) continue;
        counters.reader = reader->Stats();
        counters.leftOut = picture->LeftOut();
        Publish(*picture, counters, formMmsi);
        const Clock::time_point built = Clock::now();
        spacing = std::max<Clock::duration>(kFrameInterval, kBuildTimeFactor * (built - now));
        lastFrame = built;
        changed = false;
    }
}

} // namespace tap
