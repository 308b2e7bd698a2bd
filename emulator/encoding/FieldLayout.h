#pragma once

// Message layouts as data: a table of (first bit, width, literal or value source) rows
// that reads like the layout in ITU-R M.1371, walked by one builder. Each composer keeps
// its own context type, the data its value sources read.

#include <cassert>
#include <cstddef>
#include <span>
#include <string>

template <class Context>
struct FieldRow {
    using Source = std::string (*)(const Context&, unsigned width);
    unsigned startBit;
    unsigned width;
    const char* field;
    const char* literal;  // appended unchanged when not null
    Source source;
};

// Each row must start where the previous one ended, a literal must be as wide as its
// field, and the layout must add up to the message length: checked while compiling.
template <class Context>
constexpr bool IsContiguous(std::span<const FieldRow<Context>> layout, unsigned messageBits)
{
    unsigned next = 0;
    for (const FieldRow<Context>& row : layout) {
        if (row.startBit != next) return false;
        if (row.literal && std::char_traits<char>::length(row.literal) != row.width) return false;
        next += row.width;
    }
    return next == messageBits;
}
template <class Context, std::size_t N>
constexpr bool IsContiguous(const FieldRow<Context> (&layout)[N], unsigned messageBits)
{
    return IsContiguous(std::span<const FieldRow<Context>>(layout), messageBits);
}

// Walks a layout; each row's documented start bit must equal the length so far.
template <class Context>
std::string BuildBits(std::span<const FieldRow<Context>> layout, const Context& context)
{
    std::string bits;
    for (const FieldRow<Context>& row : layout) {
        assert(bits.size() == row.startBit && "field starts at the wrong bit");
        bits += row.literal ? std::string(row.literal) : row.source(context, row.width);
        assert(bits.size() == row.startBit + row.width && "field has the wrong width");
    }
    return bits;
}
template <class Context, std::size_t N>
std::string BuildBits(const FieldRow<Context> (&layout)[N], const Context& context)
{
    return BuildBits(std::span<const FieldRow<Context>>(layout), context);
}
