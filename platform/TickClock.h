#pragma once

#include <cstdint>
#include <functional>

namespace platform {

// The system's millisecond tick count: 32 bits that wrap after about 49.7 days,
// held zero-extended in 64 bits.
std::uint64_t GetTickCount();

// Where a component reads its ticks from; tests put a clock of their own here.
using TickSource = std::function<std::uint64_t()>;

// Elapsed milliseconds from an earlier tick to a later one, across one wrap of the
// 32-bit counter.
constexpr std::uint64_t TickElapsed(std::uint64_t then, std::uint64_t now)
{
    return now >= then ? now - then : 4294967295ULL - then + now;
}

} // namespace platform
