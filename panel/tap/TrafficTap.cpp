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
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_copied.notify_all();
    m_wake.Signal();
    if (m_reader.joinable()) m_reader.join();
    if (m_builder.joinable()) m_builder.join();
}

int TrafficTap::Open(FrameReady onFrame)
{
    if (m_reader.joinable()) return 0;
    if (const int error = m_receiver.OpenLoopback(); error != 0) return error;
    m_onFrame = std::move(onFrame);
    m_builder = std::thread([this] { Build(); });
    m_reader = std::thread([this] { Read(); });
    return 0;
}

void TrafficTap::Restart(std::optional<std::uint32_t> formMmsi)
{
    {
        const std::lock_guard lock(m_mutex);
        m_restart = true;
        ++m_run;
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

bool TrafficTap::Offer(const TrafficPicture& picture, const TapCounters& counters, std::optional<std::uint32_t> formMmsi,
                       std::uint64_t run)
{
    const std::lock_guard lock(m_mutex);
    if (m_building || m_copy) return false;
    Copy& copy = m_copy.emplace();
    picture.Snapshot(copy.targets);
    copy.own = picture.Own();
    copy.formMmsi = formMmsi;
    copy.counters = counters;
    copy.run = run;
    m_copied.notify_one();
    return true;
}

void TrafficTap::Build()
{
    std::unique_lock lock(m_mutex);
    while (!m_stop) {
        m_copied.wait(lock, [this] { return m_stop || m_copy; });
        if (m_stop) break;
        Copy copy = std::move(*m_copy);
        m_copy.reset();
        m_building = true;
        lock.unlock();
        const Clock::time_point start = Clock::now();
        auto frame = std::make_unique<TapFrame>(MakeFrame(std::move(copy.targets), copy.own, copy.formMmsi, NowMs()));
        frame->counters = copy.counters;
        const Clock::duration took = Clock::now() - start;
        lock.lock();
        m_building = false;
        m_lastBuild = took;
        // A restart while this frame was built makes it stale.
        if (copy.run != m_run) continue;
        m_frame = std::move(frame);
        lock.unlock();
        if (m_onFrame) m_onFrame();
        lock.lock();
    }
}

void TrafficTap::Read()
{
    auto picture = std::make_unique<TrafficPicture>();
    auto reader = std::make_unique<NmeaReader>();
    std::vector<NmeaMessage> messages;
    TapCounters counters;
    std::optional<std::uint32_t> formMmsi;
    std::uint64_t run = 0;   // the restart the picture belongs to
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
                run = m_run;
                formMmsi = m_formMmsi;
                picture = std::make_unique<TrafficPicture>();
                reader = std::make_unique<NmeaReader>();
                counters = {};
                changed = true;
            }
            spacing = std::max<Clock::duration>(kFrameInterval, kBuildTimeFactor * m_lastBuild);
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
        if (!(changed || anyone) || Clock::now() < nextFrame()) continue;
        counters.reader = reader->Stats();
        counters.leftOut = picture->LeftOut();
        // A builder still busy takes the next copy instead.
        if (!Offer(*picture, counters, formMmsi, run)) continue;
        lastFrame = Clock::now();
        changed = false;
    }
}

} // namespace tap
