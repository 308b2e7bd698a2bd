#include "fuzz/FuzzCheck.h"
#include "platform/ChildProcess.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Windows-rules splitting: each input byte is one character, which covers every rule
// (blanks, tabs, quotes, backslashes). Splitting never adds characters, and a line
// without quotes, backslashes or blanks is one word.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::wstring line;
    for (std::size_t i = 0; i < size; ++i) line += static_cast<wchar_t>(data[i]);
    const auto words = platform::SplitCommandLine(line);

    std::size_t total = 0;
    for (const auto& word : words) {
        total += word.size();
        (void)platform::ToUtf8(word);
    }
    KVL_FUZZ_CHECK(total <= line.size());
    if (!line.empty() && line.find_first_of(L" \t\"\\") == std::wstring::npos) {
        KVL_FUZZ_CHECK(words.size() == 1 && words[0] == line);
    }
    return 0;
}
