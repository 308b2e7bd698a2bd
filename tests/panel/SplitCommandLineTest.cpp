#include <gtest/gtest.h>

#include "platform/ChildProcess.h"

namespace {

struct SplitRow {
    const char* name;
    std::wstring line;
    std::vector<std::wstring> words;   // program name first
};

// Test names show the row's name, not its bytes.
void PrintTo(const SplitRow& row, std::ostream* out) { *out << row.name; }

class SplitCommandLine : public testing::TestWithParam<SplitRow> {};

TEST_P(SplitCommandLine, WindowsRuntimeRules)
{
    EXPECT_EQ(platform::SplitCommandLine(GetParam().line), GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SplitCommandLine,
    testing::Values(
        // The rows of the Windows C runtime's documentation, behind a program name.
        SplitRow{"QuotedWithBlanks", L"p \"a b c\" d e", {L"p", L"a b c", L"d", L"e"}},
        SplitRow{"EscapedQuoteAndBackslash", L"p \"ab\\\"c\" \"\\\\\" d", {L"p", L"ab\"c", L"\\", L"d"}},
        SplitRow{"BackslashesWithoutQuote", L"p a\\\\\\b d\"e f\"g h", {L"p", L"a\\\\\\b", L"de fg", L"h"}},
        SplitRow{"OddBackslashesBeforeQuote", L"p a\\\\\\\"b c d", {L"p", L"a\\\"b", L"c", L"d"}},
        SplitRow{"EvenBackslashesBeforeQuote", L"p a\\\\\\\\\"b c\" d e", {L"p", L"a\\\\b c", L"d", L"e"}},
        SplitRow{"DoubledQuoteInsideQuotes", L"p a\"b\"\" c d", {L"p", L"ab\" c d"}},
        // What the panel composes.
        SplitRow{"ProgramPathWithBlankAndTwoBlanks", L"\"/opt/kvl ais/vesgen\"  --check-update",
                 {L"/opt/kvl ais/vesgen", L"--check-update"}},
        SplitRow{"ProgramNameKeepsBackslashes", L"\"C:\\x\\vesgen.exe\" a", {L"C:\\x\\vesgen.exe", L"a"}},
        SplitRow{"EmptyQuotedArgument", L"p --vessel-name \"\" --x ", {L"p", L"--vessel-name", L"", L"--x"}},
        SplitRow{"QuoteTypedIntoName", L"p --vessel-name \"SEA \"STAR\"\" --vessel-call \"X\" ",
                 {L"p", L"--vessel-name", L"SEA STAR", L"--vessel-call", L"X"}},
        SplitRow{"UnclosedQuoteRunsToTheEnd", L"p \"a b", {L"p", L"a b"}},
        SplitRow{"TabsSeparate", L"p\ta\t\tb", {L"p", L"a", L"b"}},
        SplitRow{"TrailingBackslashes", L"p a\\\\", {L"p", L"a\\\\"}},
        SplitRow{"ProgramOnly", L"p", {L"p"}},
        SplitRow{"Empty", L"", {L""}}),
    [](const testing::TestParamInfo<SplitRow>& info) { return std::string(info.param.name); });

TEST(ToUtf8, EncodesWideText)
{
    EXPECT_EQ(platform::ToUtf8(L"A\u00e9\u20ac\U0001F6A2"), "A\xc3\xa9\xe2\x82\xac\xf0\x9f\x9a\xa2");
}

} // namespace
