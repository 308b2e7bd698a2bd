#include "emulator/app/UpdateCheck.h"
#include "fuzz/FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <string>

// The answer is the rest of an "@resp:" line that a line feed ends, and holds no line
// break of its own.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string reply(reinterpret_cast<const char*>(data), size);
    const auto answer = FindUpdateResponse(reply);
    if (answer) {
        KVL_FUZZ_CHECK(answer->find_first_of("\r\n") == std::string::npos);
        KVL_FUZZ_CHECK(reply.find("@resp:" + *answer + "\n") != std::string::npos);
    } else {
        KVL_FUZZ_CHECK(reply.find("@resp:\n") == std::string::npos);
    }
    return 0;
}
