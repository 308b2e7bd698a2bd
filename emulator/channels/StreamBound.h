#pragma once

#include <array>
#include <cstddef>

// The bound of a backlog that grows with the stream it carries: never below a floor,
// and at least kStepsKept times the largest of the last kStepsRemembered steps, so that
// a reader that keeps up never loses a large step to the bound.
class StreamBound {
public:
    static constexpr std::size_t kStepsKept = 4;
    static constexpr std::size_t kStepsRemembered = 16;

    explicit StreamBound(std::size_t floorBytes) : m_floor(floorBytes) {}

    // One step of the stream (one write) of `bytes`.
    void NoteStep(std::size_t bytes);
    std::size_t Limit() const;

private:
    std::size_t m_floor;
    std::array<std::size_t, kStepsRemembered> m_recent{};
    std::size_t m_next = 0;
};
