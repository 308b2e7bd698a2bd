#include <gtest/gtest.h>

#include "panel/core/LineCutter.h"

namespace {

struct CutRow {
    const char* name;
    std::vector<std::string> reads;
    std::vector<std::string> lines;
    std::string rest;
};

void PrintTo(const CutRow& row, std::ostream* out) { *out << row.name; }

class LineCutting : public testing::TestWithParam<CutRow> {};

TEST_P(LineCutting, LinesKeepTheirEndsAndSplitReadsJoin)
{
    panel::LineCutter cutter;
    std::vector<std::string> lines;
    for (const std::string& read : GetParam().reads) {
        cutter.Append(read);
        while (auto line = cutter.NextLine()) lines.push_back(*line);
    }
    EXPECT_EQ(lines, GetParam().lines);
    EXPECT_EQ(cutter.TakeRest(), GetParam().rest);
    EXPECT_EQ(cutter.TakeRest(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LineCutting,
    testing::Values(CutRow{"Burst", {"a\r\nb\r\nc\r\n"}, {"a\r\n", "b\r\n", "c\r\n"}, ""},
                    CutRow{"SplitAcrossReads", {"hel", "lo\nwor", "ld\n"}, {"hello\n", "world\n"}, ""},
                    CutRow{"CarriageReturnAloneIsNoLineEnd", {"a\rb\n"}, {"a\rb\n"}, ""},
                    CutRow{"UnterminatedRest", {"x\n", "partial"}, {"x\n"}, "partial"},
                    CutRow{"EmptyLines", {"\n\n"}, {"\n", "\n"}, ""},
                    CutRow{"ZeroBytesKept", {std::string("a\0b\n", 4)}, {std::string("a\0b\n", 4)}, ""},
                    CutRow{"NothingAtAll", {}, {}, ""}),
    [](const testing::TestParamInfo<CutRow>& info) { return std::string(info.param.name); });

} // namespace
